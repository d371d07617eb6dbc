// The spectra against an independent implementation: tests/spectra/reference_spectra.py
// computes them with scipy (Debian's python3-scipy); skipped where /usr/bin/python3 cannot
// import scipy.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "spectra/input_energy.hpp"
#include "spectra/oscillator.hpp"
#include "spectra/test_records.hpp"

namespace {

// Real records and the synthetic ones, on the run's axis and a few periods more at the
// short end, where the closed form of the step takes over from the series (0.1257 s):
// Sv and pSv (h = 0.05, with the free vibration after the record) and the energy
// spectrum (h = 0.10).
TEST(ScipyReference, AgreesToOnePartInTenToTheNinth) {
  const std::string python = "/usr/bin/python3";
  if (access(python.c_str(), X_OK) != 0 ||
      std::system((python + " -c 'import scipy' 2>/dev/null").c_str()) != 0) {
    GTEST_SKIP() << python << " cannot import scipy (Debian: python3-scipy)";
  }
  std::vector<double> periods = {0.02, 0.05, 0.1, 0.125, 0.13, 0.3, 1.0, 3.0, 10.0};
  for (double t : spectra_test::run_period_axis()) periods.push_back(t);
  ASSERT_EQ(periods.size(), 9u + 55u);
  std::vector<spectra_test::Record> records = spectra_test::real_records();
  for (auto& r : spectra_test::synthetic_records()) records.push_back(r);

  const auto scratch =
      std::filesystem::temp_directory_path() / ("gmgather-spectra-" + std::to_string(getpid()));
  std::filesystem::create_directories(scratch);
  FILE* input = std::fopen((scratch / "records.txt").c_str(), "w");
  ASSERT_NE(input, nullptr);
  std::fprintf(input, "periods %zu\n", periods.size());
  for (double p : periods) std::fprintf(input, "%.17g\n", p);
  std::fprintf(input, "energy 0.1\n");
  for (const auto& r : records) {
    std::fprintf(input, "record %zu\n", r.samples.size());
    for (double a : r.samples) std::fprintf(input, "%.17g\n", a);
  }
  ASSERT_EQ(std::fclose(input), 0);
  const std::string command = python + " " GMGATHER_TESTS_DIR "/spectra/reference_spectra.py " +
                              (scratch / "records.txt").string() + " " + (scratch / "reference.txt").string();
  ASSERT_EQ(std::system(command.c_str()), 0) << command;

  std::ifstream reference(scratch / "reference.txt");
  double worst = 0.0;
  const parallel::Pool pool(2);
  for (const auto& record : records) {
    std::vector<double> sv(periods.size()), psv(periods.size()), ve(periods.size());
    spectra::response_spectrum(record.samples, periods, 0.02, 0.05, sv, psv);
    spectra::energy_spectrum(record.samples, periods, 0.02, 0.10, ve, pool);
    const std::size_t m = periods.size();
    for (std::size_t j = 0; j < 3 * m; ++j) {
      std::string text;  // Sv, pSv, Sv, ..., then V_E as Python writes them: "nan" and "inf" too
      reference >> text;
      const double want = std::strtod(text.c_str(), nullptr);
      const double got = j >= 2 * m ? ve[j - 2 * m] : j % 2 == 0 ? sv[j / 2] : psv[j / 2];
      SCOPED_TRACE(testing::Message() << record.name << ", period " << periods[j < 2 * m ? j / 2 : j - 2 * m]
                                      << (j >= 2 * m ? " V_E" : j % 2 ? " pSv" : " Sv"));
      if (!std::isfinite(want)) {
        EXPECT_TRUE(std::isnan(got)) << got << " against " << text;
      } else {
        EXPECT_NEAR(got, want, 1e-9 * std::fabs(want) + 1e-12);
        if (want != 0.0) worst = std::max(worst, std::fabs(got - want) / std::fabs(want));
      }
    }
  }
  ASSERT_TRUE(reference.good());
  std::printf("largest relative deviation from scipy: %.3g\n", worst);
  std::filesystem::remove_all(scratch);
}

}  // namespace
