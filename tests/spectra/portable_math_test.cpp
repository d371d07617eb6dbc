#include "spectra/portable_math.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>
#include <random>

namespace {

using spectra::portable_exp;
using spectra::portable_sincos_turns;

// Units in the last place of `want` between the two.
double ulps(double got, double want) {
  return std::fabs(got - want) / (std::nextafter(std::fabs(want), INFINITY) - std::fabs(want));
}

TEST(PortableExp, WithinAnUlpOfTheCLibraryOverItsRange) {
  std::mt19937_64 rng(11);
  std::uniform_real_distribution<double> argument(-708.0, 709.0);
  double worst = 0.0;
  for (int i = 0; i < 200000; ++i) {
    const double x = i < 1000 ? -1.0 + i / 500.0 : argument(rng);
    worst = std::max(worst, ulps(portable_exp(x), std::exp(x)));
  }
  EXPECT_LE(worst, 1.0);
}

TEST(PortableExp, Ends) {
  EXPECT_EQ(portable_exp(0.0), 1.0);
  EXPECT_EQ(portable_exp(-708.5), 0.0);
  EXPECT_EQ(portable_exp(-1e300), 0.0);
  EXPECT_EQ(portable_exp(710.0), std::numeric_limits<double>::infinity());
  EXPECT_TRUE(std::isnan(portable_exp(std::numeric_limits<double>::quiet_NaN())));
}

// Compared where a turn is small enough for 2 pi t to be rounded finely: the C library's
// sin and cos take the rounded 2 pi t, whose own error grows with t.
TEST(PortableSinCos, WithinTwoUlpsOfTheCLibraryAwayFromZeros) {
  std::mt19937_64 rng(12);
  std::uniform_real_distribution<double> turn(-1.0, 1.0);
  double worst = 0.0;
  for (int i = 0; i < 200000; ++i) {
    const double t = turn(rng) / 8.0;  // |2 pi t| <= pi / 4: no zero of sin inside but 0
    const double x = 2.0 * std::numbers::pi * t;
    const auto [s, c] = portable_sincos_turns(t);
    if (std::fabs(t) > 1e-3) worst = std::max(worst, ulps(s, std::sin(x)));
    worst = std::max(worst, ulps(c, std::cos(x)));
  }
  EXPECT_LE(worst, 2.0);
}

// The reduction in turns is exact: whole turns, quarters and their sums with any whole
// number of turns land on the exact values, and the sign follows sin's oddness.
TEST(PortableSinCos, ExactReductionInTurns) {
  const struct {
    double turns, sin, cos;
  } cases[] = {
      {0.0, 0.0, 1.0},    {1.0, 0.0, 1.0},      {-3.0, 0.0, 1.0},        {0.25, 1.0, 0.0},
      {-0.25, -1.0, 0.0}, {0.5, 0.0, -1.0},     {1e6 + 0.75, -1.0, 0.0}, {4503599627370496.0, 0.0, 1.0},
      {1e300, 0.0, 1.0},  {INFINITY, 0.0, 1.0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.turns);
    const auto [s, co] = portable_sincos_turns(c.turns);
    EXPECT_EQ(s, c.sin);
    EXPECT_EQ(co, c.cos);
  }
  // 1e9 + 15/128 is exact in a double, and so is its reduction.
  const auto [s1, c1] = portable_sincos_turns(1e9 + 15.0 / 128.0);
  const auto [s2, c2] = portable_sincos_turns(15.0 / 128.0);
  EXPECT_EQ(s1, s2);
  EXPECT_EQ(c1, c2);
  EXPECT_EQ(portable_sincos_turns(-0.1).sin, -portable_sincos_turns(0.1).sin);
  EXPECT_TRUE(std::isnan(portable_sincos_turns(NAN).cos));
}

}  // namespace
