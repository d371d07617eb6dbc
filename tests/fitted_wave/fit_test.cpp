// The pieces of the fit against what they must do, and the fit's own guarantees: the
// factor's shape at and beyond the band, the wave brought to rest at both ends, the wave
// written never the phase case itself and chosen by the stated order, the same bits on
// any number of threads, and a record that cannot be fitted named for its reason.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

#include "fitted_wave/dense_solve.hpp"
#include "fitted_wave/fit.hpp"
#include "fitted_wave/fourier.hpp"
#include "fitted_wave/matching_model.hpp"
#include "spectra/ground_motion.hpp"
#include "spectra/oscillator.hpp"

namespace {

constexpr double kPi = 3.14159265358979323846;  // M_PI is not standard C++: MinGW has none

using fitted_wave::Problem;

// Periods 4, 2, 1 s (out of order on purpose): frequencies 0.25, 0.5, 1 Hz, bins 1/128 Hz
// apart; g = 2, 3, 5 by rising frequency.
TEST(FactorShape, InterpolatesInsideHoldsAndTapersToExactlyOneOutside) {
  const std::vector<double> periods = {2.0, 4.0, 1.0};
  const double step = 1.0 / 128.0;
  const fitted_wave::FactorShape shape(periods, step, 1024);
  ASSERT_EQ(shape.unknowns(), 3u);
  EXPECT_EQ(shape.unknown_of(0), 1u);
  std::vector<double> f(1024);
  shape.factors(std::vector<double>{2.0, 3.0, 5.0}, f);
  // Half a cosine from 1 to 0 over [0, 1].
  const auto fall = [](double x) { return x <= 0 ? 1.0 : x >= 1 ? 0.0 : 0.5 + 0.5 * std::cos(kPi * x); };
  const double below = std::log2(0.25 / 0.09375), above = std::log2(1.5);
  struct Case {
    double hz, want;
  } cases[] = {
      {0.0, 1.0},                                              // zero frequency: the phase case's
      {0.25, 2.0}, {0.5, 3.0}, {1.0, 5.0},                     // at the axis
      {0.375, 2.0 + std::log2(1.5)},                           // linear in log frequency
      {0.125, 2.0},                                            // held one octave below
      {0.09375, 1.0 + fall(below - 1.0)},                      // then tapering
      {0.0625, 1.0}, {1.0 / 128, 1.0},                         // to exactly 1 two octaves below
      {1.375, 5.0},                                            // held half an octave above
      {1.5, 1.0 + 4.0 * fall((above - 0.5) / 0.5)},            // then tapering
      {2.0, 1.0}, {7.0, 1.0},                                  // to exactly 1 an octave above
  };
  for (const Case& c : cases) EXPECT_NEAR(f[static_cast<std::size_t>(c.hz / step)], c.want, 1e-12) << c.hz << " Hz";
  EXPECT_EQ(f[256], 1.0);
  EXPECT_EQ(f[8], 1.0);
}

TEST(FactorShape, RepeatedPeriodsShareOneValue) {
  const fitted_wave::FactorShape shape(std::vector<double>{1.0, 2.0, 1.0}, 0.01, 64);
  ASSERT_EQ(shape.unknowns(), 2u);
  EXPECT_EQ(shape.unknown_of(0), 1u);
  EXPECT_EQ(shape.unknown_of(1), 0u);
  EXPECT_EQ(shape.unknown_of(2), 1u);
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

// A fit gives back the tables after its one forward transform: the inverses made with
// tables built again must be the bits of those made with the first ones.
TEST(RealFourier, TablesGivenBackAreBuiltAgainTheSame) {
  const std::size_t n = 4096;
  std::vector<double> x(n);
  for (std::size_t i = 0; i < n; ++i) x[i] = std::sin(0.37 * static_cast<double>(i * i % 1013)) * 100.0;
  fitted_wave::RealFourier kept(n), released(n);
  std::vector<std::complex<double>> a, b;
  kept.forward(x, a);
  released.forward(x, b);
  released.release_tables();
  std::vector<double> back_kept, back_released;
  for (int round = 0; round < 2; ++round) {
    kept.inverse(a, back_kept);
    released.inverse(b, back_released);
    ASSERT_EQ(back_kept.size(), back_released.size());
    EXPECT_EQ(0, std::memcmp(back_kept.data(), back_released.data(), n * sizeof(double))) << round;
    released.release_tables();
  }
}

TEST(TransformLength, HoldsTheRecordAndFourLongestPeriods) {
  EXPECT_EQ(fitted_wave::transform_length(2000, 500.0), 4096u);
  EXPECT_EQ(fitted_wave::transform_length(2096, 500.0), 4096u);
  EXPECT_EQ(fitted_wave::transform_length(2097, 500.0), 8192u);
  EXPECT_EQ(fitted_wave::transform_length(100000, 500.0), 131072u);
}

TEST(SolveDense, SolvesAndRefusesSingularOrNotFinite) {
  std::vector<double> a = {2, 1, 1, 3}, b = {3, 5};
  ASSERT_TRUE(fitted_wave::solve_dense(a, b, 2));
  EXPECT_NEAR(b[0], 0.8, 1e-15);
  EXPECT_NEAR(b[1], 1.4, 1e-15);
  std::vector<double> singular = {1, 2, 2, 4}, rhs = {1, 1};
  EXPECT_FALSE(fitted_wave::solve_dense(singular, rhs, 2));
  std::vector<double> nan = {1, 0, 0, std::numeric_limits<double>::quiet_NaN()}, rhs2 = {1, 1};
  EXPECT_FALSE(fitted_wave::solve_dense(nan, rhs2, 2));
}

TEST(WaveShaping, RoundsAsTheFieldAndTapersFromTheOnset) {
  EXPECT_EQ(fitted_wave::to_field(0.1234565), 0.123456);  // 123456.49999999999 after the product
  EXPECT_EQ(fitted_wave::to_field(-2.5e-7), -0.0);
  EXPECT_EQ(fitted_wave::to_field(1e9), 1e9);             // beyond every field: left for the check
  std::vector<double> quiet(2000, 0.0);
  for (std::size_t i = 300; i < 2000; ++i) quiet[i] = std::sin(0.3 * static_cast<double>(i));
  struct Case {
    const char* name;
    std::vector<double> record;
    std::size_t start, end;
  } cases[] = {
      {"lead-in of 6 s", quiet, 318, 50},  // where 1 % of the energy is reached (numpy.searchsorted)
      {"moving at once", std::vector<double>(1000, 1.0), 50, 50},
      {"a quarter at most", std::vector<double>(100, 1.0), 25, 25},
  };
  for (const Case& c : cases) {
    const fitted_wave::Tapers t = fitted_wave::tapers_for(c.record, 0.02);
    EXPECT_EQ(t.start, c.start) << c.name;
    EXPECT_EQ(t.end, c.end) << c.name;
  }
}

// A record that drifts (an offset and a slow pulse) comes back to rest at both ends, its
// first and last samples 0, as the run integrates it.
TEST(WaveShaping, BringsADriftingRecordToRest) {
  std::vector<double> a(3000);
  for (std::size_t i = 0; i < a.size(); ++i) {
    const double t = 0.02 * static_cast<double>(i);
    a[i] = 200.0 * std::sin(9.0 * t) * std::exp(-t / 10.0) + 4.0 + 30.0 * std::exp(-(t - 20.0) * (t - 20.0) / 8.0);
  }
  fitted_wave::Shaper shaper(a.size(), 0.02, fitted_wave::tapers_for(a, 0.02));
  ASSERT_TRUE(shaper.shape(a));
  std::vector<double> v(a.size()), d(a.size());
  const double peak_v = spectra::integrate_from_rest(a, 0.02, v);
  const double peak_d = spectra::integrate_from_rest(v, 0.02, d);
  EXPECT_EQ(a.front(), 0.0);
  EXPECT_EQ(a.back(), 0.0);
  EXPECT_LE(std::fabs(v.back()), 1e-6 * peak_v);
  EXPECT_LE(std::fabs(d.back()), 1e-6 * peak_d);
  // Uncorrected, the offset alone would carry the displacement to 4 * 60^2 / 2 cm.
  EXPECT_LT(peak_d, 200.0);
}

TEST(WaveShaping, TooShortForItsTermsStillTapersAndRounds) {
  std::vector<double> a = {1.0000004, 2.0, 3.0};
  fitted_wave::Shaper shaper(a.size(), 0.02, {0, 0});
  EXPECT_FALSE(shaper.shape(a));
  EXPECT_EQ(a[0], 1.0);
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
      {"exactly 10 s", std::vector<double>(record.begin(), record.begin() + 500), periods, target, Problem::None, 0},
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

TEST(FitsItsField, TheWidestValuesOfEachSign) {
  struct Case {
    double value;
    bool fits;
  } cases[] = {{9999999.999999, true},   {9999999.9999996, false}, {-999999.999999, true},
               {-999999.9999996, false}, {std::nan(""), false},     {-0.0000004, true}};
  for (const Case& c : cases) EXPECT_EQ(fitted_wave::fits_its_field(std::vector<double>{0.0, c.value}), c.fits) << c.value;
}

// A record of 40 s: noise through a resonance near 2 Hz under a rise-and-decay envelope
// (the same numbers on every host), and an offset that leaves its velocity far from rest
// unless the fit brings it back.
std::vector<double> test_record() {
  std::vector<double> a(2000);
  std::uint64_t seed = 5;
  double state = 0.0, previous = 0.0;
  for (std::size_t i = 0; i < a.size(); ++i) {
    seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
    const double white = static_cast<double>(seed >> 11) / 9007199254740992.0 - 0.5;
    const double next = 1.5 * state - 0.8 * previous + white;
    previous = state;
    state = next;
    const double t = 0.02 * static_cast<double>(i);
    a[i] = 100.0 * state * (t / 4.0) * std::exp(1.0 - t / 4.0) + 5.0;
  }
  return a;
}

struct Axis {
  std::vector<double> periods, target;
};
Axis test_axis(double sharp_peak) {
  Axis a;
  for (int j = 0; j < 30; ++j) {
    a.periods.push_back(0.2 * std::pow(50.0, j / 29.0));
    a.target.push_back(80.0 * std::min(1.0, a.periods.back() / 0.6) * (j == 15 ? sharp_peak : 1.0));
  }
  return a;
}

TEST(FitWave, MeetsTheCriteriaKeepsLengthEndsAtRestSameBitsOnAnyThreads) {
  const std::vector<double> record = test_record();
  const Axis axis = test_axis(1.0);
  std::vector<fitted_wave::Fit> fits;
  for (const int threads : {1, 2, 8}) {
    const parallel::Pool pool(threads);
    fits.push_back(fitted_wave::fit_wave(record, axis.periods, axis.target, 0.02, pool));
  }
  const fitted_wave::Fit& fit = fits[0];
  ASSERT_EQ(fit.wave.size(), record.size());
  EXPECT_TRUE(fit.all_met) << fit.measure.min_ratio << " " << fit.measure.variation << " " << fit.measure.mean_ratio
                           << " " << fit.best << " " << fit.values[3] << " " << fit.values[4] << " " << fit.values[5];
  EXPECT_EQ(fit.best, fit.iterations);  // stopped at the first wave meeting them
  EXPECT_EQ(fit.worst.size(), static_cast<std::size_t>(fit.iterations) + 1);
  EXPECT_FALSE(fit.too_large);
  for (const fitted_wave::Fit& other : fits) {
    EXPECT_EQ(other.wave, fit.wave);
    EXPECT_EQ(other.iterations, fit.iterations);
  }
}

// One period raised 3 times over its neighbours: the criteria cannot all be met. The
// wave written is an adjusted one, the best by the criteria met (by the stop margin),
// then the least max |R - 1|, and what is said of it holds for it.
TEST(FitWave, UnreachableTargetGivesTheBestAdjustedWaveAndSaysWhatItMisses) {
  const std::vector<double> record = test_record();
  const Axis axis = test_axis(3.0);
  const parallel::Pool pool(2);
  const fitted_wave::Fit fit = fitted_wave::fit_wave(record, axis.periods, axis.target, 0.02, pool, 6);
  EXPECT_EQ(fit.iterations, 6);
  ASSERT_EQ(fit.clear.size(), 7u);
  ASSERT_GE(fit.best, 1);
  for (std::size_t i = 1; i < fit.clear.size(); ++i) {
    const auto b = static_cast<std::size_t>(fit.best);
    EXPECT_TRUE(fit.clear[i] < fit.clear[b] || (fit.clear[i] == fit.clear[b] && fit.worst[i] >= fit.worst[b])) << i;
  }
  EXPECT_FALSE(fit.all_met);
  EXPECT_FALSE(fit.met[static_cast<std::size_t>(fitted_wave::Criterion::MinRatio)]);
  EXPECT_EQ(fit.values[0], fit.measure.min_ratio);
}

// A target that the phase case itself meets: the fit still adjusts once and writes that.
TEST(FitWave, NeverWritesThePhaseCaseItself) {
  const std::vector<double> record = test_record();
  const Axis axis = test_axis(1.0);
  std::vector<double> shaped = record;
  fitted_wave::Shaper(record.size(), 0.02, fitted_wave::tapers_for(record, 0.02)).shape(shaped);
  std::vector<double> sv(axis.periods.size()), own(axis.periods.size());
  spectra::response_spectrum(shaped, axis.periods, 0.02, 0.05, sv, own);
  const parallel::Pool pool(1);
  const fitted_wave::Fit fit = fitted_wave::fit_wave(record, axis.periods, own, 0.02, pool);
  EXPECT_EQ(fit.clear[0], static_cast<int>(fitted_wave::kCriteria));
  EXPECT_EQ(fit.best, 1);
  EXPECT_EQ(fit.iterations, 1);
}

}  // namespace
