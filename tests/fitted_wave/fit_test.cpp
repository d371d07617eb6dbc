// The pieces of the fit against what they must do, and the fit's own guarantees: the wave
// keeps the record's length, ends at rest, is the same bits on any number of threads,
// and a record that cannot be fitted is named for its reason.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <limits>
#include <vector>

#include "fitted_wave/fit.hpp"
#include "fitted_wave/fourier.hpp"
#include "fitted_wave/spectral_ratio.hpp"

namespace {

constexpr double kPi = 3.14159265358979323846;  // M_PI is not standard C++: MinGW has none

using fitted_wave::Problem;

// Periods 4, 2, 1 s (out of order on purpose): frequencies 0.25, 0.5, 1 Hz.
TEST(RatioCarrier, LinearInLogFrequencyHeldThenTapered) {
  const std::vector<double> periods = {2.0, 4.0, 1.0};
  const std::vector<double> ratios = {3.0, 2.0, 5.0};  // at 0.5, 0.25, 1 Hz
  const fitted_wave::RatioCarrier carrier(periods);
  const double step = 0.03125;  // Hz: bin k at k / 32 Hz
  std::vector<double> f(200);
  carrier.carry(ratios, step, f);
  struct Case {
    double hz;
    double want;
  };
  const double mid = 2.0 + (3.0 - 2.0) * std::log(0.375 / 0.25) / std::log(2.0);
  for (const Case c : {Case{0.25, 2.0}, Case{0.5, 3.0}, Case{1.0, 5.0}, Case{0.375, mid},
                       Case{0.125, 2.0},     // held one octave below
                       Case{0.0625, 1.0},    // tapered to 1 one octave further
                       Case{2.0, 5.0},       // held one octave above
                       Case{4.0, 1.0},       // and tapered to 1
                       Case{3.0, 1.0 + 4.0 * (1.0 - std::log(1.5) / std::log(2.0))}}) {
    const auto k = static_cast<std::size_t>(std::lround(c.hz / step));
    EXPECT_NEAR(f[k], c.want, 1e-12) << c.hz << " Hz";
  }
  EXPECT_EQ(f[0], 1.0);
}

TEST(RealFourier, RoundTripAndKnownBin) {
  const std::size_t n = 64;
  fitted_wave::RealFourier fourier(n);
  std::vector<double> x(n);
  for (std::size_t i = 0; i < n; ++i) x[i] = std::cos(2.0 * kPi * 5.0 * static_cast<double>(i) / 64.0) + 0.25;
  std::vector<std::complex<double>> spectrum;
  fourier.forward(x, spectrum);
  ASSERT_EQ(spectrum.size(), n / 2 + 1);
  EXPECT_NEAR(spectrum[0].real(), 16.0, 1e-12);
  EXPECT_NEAR(std::abs(spectrum[5]), 32.0, 1e-12);
  EXPECT_NEAR(std::abs(spectrum[6]), 0.0, 1e-12);
  std::vector<double> back;
  fourier.inverse(spectrum, back);
  for (std::size_t i = 0; i < n; ++i) EXPECT_NEAR(back[i], x[i], 1e-14);
}

TEST(TransformLength, HoldsTheRecordAndTwoLongestPeriods) {
  EXPECT_EQ(fitted_wave::transform_length(3000, 500.0), 4096u);
  EXPECT_EQ(fitted_wave::transform_length(3096, 500.0), 4096u);
  EXPECT_EQ(fitted_wave::transform_length(3097, 500.0), 8192u);
  EXPECT_EQ(fitted_wave::transform_length(100000, 500.0), 131072u);
}

TEST(CheckFit, NamesEachReason) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  std::vector<double> record(600);
  for (std::size_t i = 0; i < record.size(); ++i) record[i] = std::sin(0.3 * static_cast<double>(i));
  const std::vector<double> periods = {0.5, 1.0, 10.0};
  const std::vector<double> target = {50.0, 80.0, 20.0};
  struct Case {
    const char* name;
    std::vector<double> record, periods, target;
    Problem problem;
    int row;
  };
  std::vector<double> with_nan = record;
  with_nan[17] = nan;
  const Case cases[] = {
      {"fits", record, periods, target, Problem::None, 0},
      {"nan sample", with_nan, periods, target, Problem::NonFiniteSample, 0},
      {"all zero", std::vector<double>(600, 0.0), periods, target, Problem::NoMotion, 0},
      {"constant", std::vector<double>(600, 3.5), periods, target, Problem::NoMotion, 0},
      {"no samples", {}, periods, target, Problem::NoMotion, 0},
      {"shorter than 10 s", std::vector<double>(record.begin(), record.begin() + 499), periods, target,
       Problem::TooShort, 0},
      {"zero target", record, periods, {50.0, 0.0, 20.0}, Problem::BadTarget, 2},
      {"negative target", record, periods, {50.0, 80.0, -1.0}, Problem::BadTarget, 3},
      {"infinite target", record, periods, {inf, 80.0, 20.0}, Problem::BadTarget, 1},
      {"zero period", record, {0.5, 0.0, 10.0}, target, Problem::BadPeriod, 2},
  };
  for (const Case& c : cases) {
    const fitted_wave::Check check = fitted_wave::check_fit(c.record, c.periods, c.target, 0.02);
    EXPECT_EQ(check.problem, c.problem) << c.name;
    EXPECT_EQ(check.row, c.row) << c.name;
  }
}

// A record of 40 s: a decaying mix of waves, and an offset that leaves its velocity far
// from rest unless the fit brings it back.
std::vector<double> test_record() {
  std::vector<double> a(2000);
  for (std::size_t i = 0; i < a.size(); ++i) {
    const double t = 0.02 * static_cast<double>(i);
    a[i] = (100.0 * std::sin(7.0 * t) + 60.0 * std::sin(2.1 * t + 1.0) + 30.0 * std::sin(0.9 * t)) * t *
               std::exp(-t / 8.0) +
           5.0;
  }
  return a;
}

TEST(FitWave, MeetsTheCriteriaKeepsLengthEndsAtRestSameBitsOnAnyThreads) {
  const std::vector<double> record = test_record();
  std::vector<double> periods, target;
  for (int j = 0; j < 30; ++j) {
    periods.push_back(0.2 * std::pow(50.0, j / 29.0));
    target.push_back(80.0 * std::min(1.0, periods.back() / 0.6));
  }
  std::vector<fitted_wave::Fit> fits;
  for (const int threads : {1, 2, 8}) {
    const parallel::Pool pool(threads);
    fits.push_back(fitted_wave::fit_wave(record, periods, target, 0.02, pool));
  }
  const fitted_wave::Fit& fit = fits[0];
  ASSERT_EQ(fit.wave.size(), record.size());
  EXPECT_TRUE(fit.measure.passes({})) << fit.measure.min_ratio << " " << fit.measure.variation << " "
                                      << fit.measure.mean_ratio;
  EXPECT_EQ(fit.best, fit.iterations);  // stopped at the first wave meeting them
  EXPECT_EQ(fit.worst.size(), static_cast<std::size_t>(fit.iterations) + 1);
  std::vector<double> v(record.size());
  fitted_wave::integrate_velocity(fit.wave, 0.02, v);
  double peak = 0.0;
  for (const double x : v) peak = std::max(peak, std::fabs(x));
  EXPECT_LE(std::fabs(v.back()), 0.02 * peak);
  for (const fitted_wave::Fit& other : fits) {
    EXPECT_EQ(other.wave, fit.wave);
    EXPECT_EQ(other.iterations, fit.iterations);
  }
}

TEST(FitWave, UnreachableCriteriaStillGiveTheBestWaveAfterTheLimit) {
  const std::vector<double> record = test_record();
  const std::vector<double> periods = {0.5, 1.0, 2.0, 4.0};
  const std::vector<double> target = {50.0, 50.0, 50.0, 50.0};
  const parallel::Pool pool(1);
  const fitted_wave::Criteria impossible{1.5, 0.0, 0.0};
  const fitted_wave::Fit fit = fitted_wave::fit_wave(record, periods, target, 0.02, pool, impossible, 3);
  EXPECT_EQ(fit.iterations, 3);
  EXPECT_EQ(fit.worst.size(), 4u);
  double least = fit.worst[0];
  for (const double w : fit.worst) least = std::min(least, w);
  EXPECT_EQ(fit.worst[static_cast<std::size_t>(fit.best)], least);
}

}  // namespace
