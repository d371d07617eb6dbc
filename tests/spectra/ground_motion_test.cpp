#include "spectra/ground_motion.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// The largest magnitude is chosen without a branch; these are the values where such a
// choice can differ from "replace when not smaller": a NaN (never taken, and the values
// after it are NaN too), a first sample that is NaN, -0.0, ties of opposite signs, an
// infinity.
TEST(IntegrateFromRest, LargestMagnitudeAsTheRuleSays) {
  struct Case {
    const char* what;
    std::vector<double> in;
    double peak;
  };
  const Case cases[] = {
      {"none", {}, 0.0},
      {"one sample", {-4.0}, 1.0},  // out[0] = 0.5 * -4 * 0.5
      {"rise and fall", {2.0, 4.0, -20.0}, 2.0},  // 0.5, 2.0, -2.0: a tie of opposite signs
      {"negative zero", {-0.0, -0.0}, 0.0},
      {"NaN after a value", {2.0, kNaN, 4.0}, 0.5},
      {"NaN first", {kNaN, 1.0}, 0.0},
      {"infinite", {1.0, kInf}, kInf},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<double> out(c.in.size(), 7.0);
    const double peak = spectra::integrate_from_rest(c.in, 0.5, out);
    EXPECT_EQ(peak, c.peak);
    EXPECT_FALSE(std::signbit(peak));
    // Each value as the rule gives it, in its order of rounding.
    double before = 0.0;
    for (std::size_t j = 0; j < c.in.size(); ++j) {
      const double want = j == 0 ? 0.25 * c.in[0] : 0.25 * (c.in[j] + c.in[j - 1]) + before;
      if (std::isnan(want)) {
        EXPECT_TRUE(std::isnan(out[j])) << j;
      } else {
        EXPECT_EQ(out[j], want) << j;
      }
      before = want;
    }
  }
}

}  // namespace
