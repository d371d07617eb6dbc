#include "spectra/oscillator.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "spectra/test_records.hpp"

namespace {

using spectra::Path;
constexpr double kStep = 0.02;
constexpr double kDamping = 0.05;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

struct Spectrum {
  std::vector<double> sv, psv;
};

Spectrum spectrum_of(const std::vector<double>& samples, const std::vector<double>& periods, Path path) {
  Spectrum s{std::vector<double>(periods.size()), std::vector<double>(periods.size())};
  spectra::response_spectrum(samples, periods, kStep, kDamping, s.sv, s.psv, path);
  return s;
}

bool same_bits(const std::vector<double>& a, const std::vector<double>& b) {
  return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0;
}

// Every vector path gives the plain path's bits, on real and synthetic records, with blocks
// of every size: the run's axis and 14 periods more, on both sides of the switch between the
// series and the closed form (s = 1 at 0.1257 s) and at the far ends of the axis.
TEST(ResponseSpectrum, EveryPathGivesThePlainPathsBits) {
  std::vector<double> periods = spectra_test::run_period_axis();
  ASSERT_EQ(periods.size(), 55u);
  for (double t : {0.01, 0.05, 0.1, 0.125, 0.126, 0.3, 30.0, 1e-9, 1e-200, 1e12, 1e300, 0.0, -1.0, kNaN}) {
    periods.push_back(t);
  }
  std::vector<spectra_test::Record> records = spectra_test::real_records();
  for (auto& r : spectra_test::synthetic_records()) records.push_back(r);
  // Large enough to overflow within a few steps at short periods.
  records.push_back({"overflowing", std::vector<double>(50, 1e306)});
  // States of -0 and +0 whose magnitudes tie with the peak of +0: a peak rule that took the
  // sign of either side would leave -0 in the cells.
  std::vector<double> zeros(300, -0.0);
  for (std::size_t i = 0; i < zeros.size(); i += 3) zeros[i] = 0.0;
  records.push_back({"signed zeros", zeros});
  for (const auto& record : records) {
    SCOPED_TRACE(record.name);
    ASSERT_FALSE(record.samples.empty());
    const Spectrum plain = spectrum_of(record.samples, periods, Path::Plain);
    for (Path path : {Path::Sse2, Path::Avx2, Path::Avx512, Path::Best}) {
      if (!spectra::path_available(path)) continue;
      SCOPED_TRACE(spectra::path_name(path));
      const Spectrum other = spectrum_of(record.samples, periods, path);
      EXPECT_TRUE(same_bits(plain.sv, other.sv));
      EXPECT_TRUE(same_bits(plain.psv, other.psv));
    }
  }
}

TEST(ResponseSpectrum, SameBitsForOneTwoAndEightThreads) {
  const std::vector<double> periods = spectra_test::run_period_axis();
  ASSERT_EQ(periods.size(), 55u);
  const std::vector<spectra_test::Record> records = spectra_test::real_records();
  std::vector<Spectrum> first;
  for (int threads : {1, 2, 8}) {
    std::vector<Spectrum> results(
        records.size(), Spectrum{std::vector<double>(periods.size()), std::vector<double>(periods.size())});
    std::vector<spectra::CaseSpectrum> cases;
    for (std::size_t c = 0; c < records.size(); ++c)
      cases.push_back({records[c].samples, results[c].sv, results[c].psv});
    spectra::case_spectra(cases, periods, kStep, kDamping, parallel::Pool(threads));
    if (first.empty()) first = results;
    for (std::size_t c = 0; c < records.size(); ++c) {
      EXPECT_TRUE(same_bits(results[c].sv, first[c].sv) && same_bits(results[c].psv, first[c].psv))
          << threads << " threads, " << records[c].name;
    }
  }
}

TEST(ResponseSpectrum, CellsThatCannotBeComputedAreNaNAndNoSamplesGiveRest) {
  const double inf = std::numeric_limits<double>::infinity();
  const std::vector<double> periods = {1.0, 0.0, -2.0, kNaN, inf};
  const Spectrum s = spectrum_of({100.0, -50.0}, periods, Path::Best);
  EXPECT_TRUE(s.sv[0] > 0.0 && s.psv[0] > 0.0);
  for (std::size_t j = 1; j < periods.size(); ++j) EXPECT_TRUE(std::isnan(s.sv[j]) && std::isnan(s.psv[j]));
  const Spectrum spoilt = spectrum_of({100.0, -inf, -50.0}, periods, Path::Best);  // and NaN: see scipy test
  EXPECT_TRUE(std::isnan(spoilt.sv[0]) && std::isnan(spoilt.psv[0]));
  const Spectrum rest = spectrum_of({}, periods, Path::Best);
  EXPECT_TRUE(rest.sv[0] == 0.0 && rest.psv[0] == 0.0 && std::isnan(rest.sv[1]));
  // A time step or a damping the method does not take spoils every cell.
  std::vector<double> sv(1), psv(1);
  for (const auto& [step, damping] :
       {std::pair{0.0, 0.05}, {kNaN, 0.05}, {0.02, 0.0}, {0.02, 1.0}, {0.02, kNaN}}) {
    spectra::response_spectrum(std::vector<double>{100.0}, std::vector<double>{1.0}, step, damping, sv, psv);
    EXPECT_TRUE(std::isnan(sv[0]) && std::isnan(psv[0])) << step << " " << damping;
  }
}

// At very long periods the oscillator barely pulls back: its relative velocity is minus
// the ground velocity, integrated from rest by the trapezoid rule with the first velocity
// a1 * dt / 2, as the run integrates it.
TEST(ResponseSpectrum, SvTendsToThePeakVelocityAtVeryLongPeriods) {
  for (const auto& record : spectra_test::real_records()) {
    ASSERT_FALSE(record.samples.empty()) << record.name;
    double v = 0.0, before = 0.0, peak = 0.0;
    for (double a : record.samples) {
      v += kStep * 0.5 * (a + before);
      before = a;
      peak = std::max(peak, std::fabs(v));
    }
    const Spectrum s = spectrum_of(record.samples, {1e12, 1e300}, Path::Best);
    EXPECT_NEAR(s.sv[0], peak, 1e-10 * peak) << record.name;
    EXPECT_NEAR(s.sv[1], peak, 1e-10 * peak) << record.name;
    EXPECT_LT(s.psv[1], 1e-290);
  }
}

}  // namespace
