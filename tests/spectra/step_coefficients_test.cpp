#include "spectra/step_coefficients.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>

namespace {

using namespace spectra::detail;

// Near the switch, the series (exact there) and the closed form (exact further out) are
// both in reach: each holds the other to 1e-14 across the switch, for the damping of a run
// and for others.
TEST(StepMap, SeriesAndClosedFormAgreeAcrossTheSwitch) {
  for (double h : {0.01, 0.05, 0.3, 0.9}) {
    for (double s : {0.5, 0.9, 1.0, 1.1, 2.0, 3.0}) {
      SCOPED_TRACE(testing::Message() << "h " << h << ", s " << s);
      const StepMap a = step_map_series(s, h);
      const StepMap b = step_map_closed(s, s * std::sqrt(1.0 - h * h) / (2.0 * std::numbers::pi), h);
      const double tolerance = s > 1.0 ? 1e-13 : 1e-14;  // the series' terms grow past s = 1
      for (int i = 0; i < 2; ++i) {
        for (int j = 0; j < 2; ++j) EXPECT_NEAR(a.phi[i][j], b.phi[i][j], tolerance);
        EXPECT_NEAR(a.gamma0[i], b.gamma0[i], tolerance * std::fabs(b.gamma0[i]) + 1e-300);
        EXPECT_NEAR(a.gamma1[i], b.gamma1[i], tolerance * std::fabs(b.gamma1[i]));
      }
    }
  }
}

// As the period grows, the oscillator's velocity becomes the trapezoid rule's and its
// displacement the ramp integral: Gamma0 -> (s/3, 1/2) and Gamma1 -> (s/6, 1/2), with
// corrections of the order of h s.
TEST(StepMap, LongPeriodLimit) {
  const double s = 1e-8;
  const double within = 1e-8;
  const StepMap m = step_map_series(s, 0.05);
  EXPECT_NEAR(m.gamma0[0], s / 3.0, within * s);
  EXPECT_NEAR(m.gamma1[0], s / 6.0, within * s);
  EXPECT_NEAR(m.gamma0[1], 0.5, within);
  EXPECT_NEAR(m.gamma1[1], 0.5, within);
  EXPECT_NEAR(m.phi[0][0], 1.0, within);
  EXPECT_NEAR(m.phi[0][1], s, within * s);
}

TEST(ScaledStep, NotComputableOutsideTheMethodsDomain) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  const struct {
    double period, step, damping;
  } cases[] = {{0.0, 0.02, 0.05}, {-1.0, 0.02, 0.05}, {nan, 0.02, 0.05}, {inf, 0.02, 0.05},
               {1.0, 0.0, 0.05},  {1.0, inf, 0.05},   {1.0, nan, 0.05},  {1.0, 0.02, 0.0},
               {1.0, 0.02, 1.0},  {1.0, 0.02, -0.1},  {1.0, 0.02, nan}};
  for (const auto& c : cases) {
    EXPECT_FALSE(scaled_step(c.period, c.step, c.damping).computable)
        << c.period << " " << c.step << " " << c.damping;
  }
  for (double period : {1e-300, 1e-9, 0.02, 1.0, 1e300}) {
    const ScaledStep s = scaled_step(period, 0.02, 0.05);
    EXPECT_TRUE(s.computable && std::isfinite(s.psi12) && std::isfinite(s.psi21) && s.velocity_scale > 0.0)
        << period;
  }
}

}  // namespace
