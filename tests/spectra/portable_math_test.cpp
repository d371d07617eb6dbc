#include "spectra/portable_math.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>

namespace {

using spectra::portable_exp;
using spectra::portable_sincos_turns;

// Against the C library where its own argument is exact: e^x over the whole range, sin and
// cos within an eighth of a turn, where 2 pi t is rounded finely (away from sin's zero).
TEST(PortableMath, WithinAnUlpOrTwoOfTheCLibrary) {
  const auto ulps = [](double got, double want) {
    return std::fabs(got - want) / (std::nextafter(std::fabs(want), INFINITY) - std::fabs(want));
  };
  std::mt19937_64 rng(11);
  std::uniform_real_distribution<double> uniform(-1.0, 1.0);
  double exp_worst = 0.0, sincos_worst = 0.0;
  for (int i = 0; i < 200000; ++i) {
    const double x = 708.0 * uniform(rng), t = uniform(rng) / 8.0;
    exp_worst = std::max(exp_worst, ulps(portable_exp(x), std::exp(x)));
    const auto [s, c] = portable_sincos_turns(t);
    if (std::fabs(t) > 1e-3)
      sincos_worst = std::max(sincos_worst, ulps(s, std::sin(2 * std::numbers::pi * t)));
    sincos_worst = std::max(sincos_worst, ulps(c, std::cos(2 * std::numbers::pi * t)));
  }
  EXPECT_LE(exp_worst, 1.0);
  EXPECT_LE(sincos_worst, 2.0);
  EXPECT_TRUE(portable_exp(0.0) == 1.0 && portable_exp(-708.5) == 0.0 && std::isnan(portable_exp(NAN)));
}

// ln over the whole range of doubles, subnormals included, and closely around 1, where
// f = x - 1 is small and the host's result has its most significant digits there.
TEST(PortableMath, LogWithinAnUlpOfTheCLibrary) {
  std::mt19937_64 rng(13);
  std::uniform_real_distribution<double> exponent(-1074.0, 1024.0), near_one(-1e-3, 1e-3);
  double worst = 0.0, worst_at = 0.0;
  const auto check = [&](double x) {
    const double want = std::log(x);
    if (want == 0.0) {
      EXPECT_EQ(spectra::portable_log(x), 0.0) << x;
      return;
    }
    const double ulps = std::fabs(spectra::portable_log(x) - want) /
                        (std::nextafter(std::fabs(want), INFINITY) - std::fabs(want));
    if (ulps > worst) worst = ulps, worst_at = x;
  };
  for (int i = 0; i < 200000; ++i) {
    check(std::ldexp(1.0 + 0.5 * (1.0 + near_one(rng) * 1e3), static_cast<int>(exponent(rng))));
    check(1.0 + near_one(rng));
    check(1.0 + near_one(rng) * 1e-10);
  }
  for (int k = -1074; k < 1024; ++k) check(std::ldexp(1.0, k));
  EXPECT_LE(worst, 1.0) << "at " << worst_at;
  EXPECT_EQ(spectra::portable_log(0.0), -INFINITY);
  EXPECT_EQ(spectra::portable_log(INFINITY), INFINITY);
  EXPECT_TRUE(std::isnan(spectra::portable_log(-1e-300)) && std::isnan(spectra::portable_log(NAN)));
}

// The reduction in turns is exact: whole turns and quarters, also past any whole number of
// turns, land on the exact values; 1e9 + 15/128 is exact in a double, and so is its sine.
TEST(PortableMath, ExactReductionInTurns) {
  const double cases[][3] = {
      {-3.0, 0.0, 1.0},
      {0.25, 1.0, 0.0},
      {-0.25, -1.0, 0.0},
      {0.5, 0.0, -1.0},
      {1e6 + 0.75, -1.0, 0.0},
      {1e300, 0.0, 1.0},
      {INFINITY, 0.0, 1.0},
      {1e9 + 15.0 / 128.0, portable_sincos_turns(15.0 / 128.0).sin, portable_sincos_turns(15.0 / 128.0).cos}};
  for (const auto& c : cases) {
    const auto [s, co] = portable_sincos_turns(c[0]);
    EXPECT_TRUE(s == c[1] && co == c[2]) << c[0] << ": " << s << ", " << co;
  }
  EXPECT_TRUE(std::isnan(portable_sincos_turns(NAN).cos));
}

}  // namespace
