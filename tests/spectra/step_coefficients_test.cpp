#include "spectra/step_coefficients.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace {

using namespace spectra::detail;

// Near the switch, the series (exact there) and the closed form (exact further out) are
// both in reach: each holds the other across the switch, for a run's damping and others.
TEST(StepMap, SeriesAndClosedFormAgreeAcrossTheSwitch) {
  for (double h : {0.01, 0.05, 0.3, 0.9}) {
    for (double s : {0.5, 0.9, 1.0, 1.1, 2.0, 3.0}) {
      SCOPED_TRACE(testing::Message() << "h " << h << ", s " << s);
      const StepMap a = step_map_series(s, h);
      const StepMap b = step_map_closed(s, s * std::sqrt(1.0 - h * h) / (2.0 * std::numbers::pi), h);
      const double tolerance = s > 1.0 ? 1e-13 : 1e-14;  // the series' terms grow past s = 1
      for (int i = 0; i < 2; ++i) {
        for (int j = 0; j < 2; ++j) EXPECT_NEAR(a.phi[i][j], b.phi[i][j], tolerance);
        EXPECT_NEAR(a.gamma0[i], b.gamma0[i], tolerance * std::fabs(b.gamma0[i]));
        EXPECT_NEAR(a.gamma1[i], b.gamma1[i], tolerance * std::fabs(b.gamma1[i]));
      }
    }
  }
}

}  // namespace
