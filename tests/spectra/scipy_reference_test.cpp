// The spectra against an independent implementation: tests/spectra/reference_spectra.py
// computes them with scipy (Debian's python3-scipy); skipped where /usr/bin/python3 cannot
// import scipy.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "spectra/oscillator.hpp"
#include "spectra/test_records.hpp"

namespace {

namespace fs = std::filesystem;

constexpr const char* kPython = "/usr/bin/python3";

bool scipy_available() {
  return access(kPython, X_OK) == 0 &&
         std::system((std::string(kPython) + " -c 'import scipy' >/dev/null 2>&1").c_str()) == 0;
}

void write_input(const fs::path& path, const std::vector<double>& periods,
                 const std::vector<spectra_test::Record>& records) {
  FILE* f = std::fopen(path.c_str(), "w");
  ASSERT_NE(f, nullptr);
  std::fprintf(f, "periods %zu\n", periods.size());
  for (double p : periods) std::fprintf(f, "%.17g\n", p);
  for (const auto& r : records) {
    std::string name = r.name;
    std::replace(name.begin(), name.end(), ' ', '_');
    std::fprintf(f, "record %s %zu\n", name.c_str(), r.samples.size());
    for (double a : r.samples) std::fprintf(f, "%.17g\n", a);
  }
  ASSERT_EQ(std::fclose(f), 0);
}

// Real records and the synthetic ones, on the run's axis and a few periods more: at the
// short end, where the closed form of the step takes over from the series (0.1257 s).
TEST(ScipyReference, AgreesToOnePartInTenToTheNinth) {
  if (!scipy_available()) GTEST_SKIP() << kPython << " cannot import scipy (Debian: python3-scipy)";
  std::vector<double> periods = {0.02, 0.05, 0.1, 0.125, 0.13, 0.3, 1.0, 3.0, 10.0};
  for (double t : spectra_test::run_period_axis()) periods.push_back(t);
  ASSERT_EQ(periods.size(), 9u + 55u);
  std::vector<spectra_test::Record> records = spectra_test::real_records();
  for (auto& r : spectra_test::synthetic_records()) records.push_back(r);

  const fs::path scratch = fs::temp_directory_path() / ("gmgather-spectra-" + std::to_string(getpid()));
  fs::create_directories(scratch);
  write_input(scratch / "records.txt", periods, records);
  const std::string command = std::string(kPython) + " " GMGATHER_TESTS_DIR "/spectra/reference_spectra.py " +
                              (scratch / "records.txt").string() + " " + (scratch / "reference.txt").string();
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
  std::ifstream reference(scratch / "reference.txt");
  double worst = 0.0;
  for (const auto& record : records) {
    SCOPED_TRACE(record.name);
    std::string line;
    ASSERT_TRUE(std::getline(reference, line));
    std::istringstream cells(line);
    std::string name;
    cells >> name;
    std::vector<double> sv(periods.size()), psv(periods.size());
    spectra::response_spectrum(record.samples, periods, 0.02, 0.05, sv, psv);
    for (std::size_t j = 0; j < periods.size(); ++j) {
      SCOPED_TRACE(testing::Message() << "period " << periods[j]);
      std::string want_sv, want_psv;
      cells >> want_sv >> want_psv;
      for (const auto& [got, text] : {std::pair{sv[j], want_sv}, {psv[j], want_psv}}) {
        const double want = std::strtod(text.c_str(), nullptr);
        if (!std::isfinite(want)) {
          EXPECT_TRUE(std::isnan(got)) << got << " against " << text;
          continue;
        }
        EXPECT_NEAR(got, want, 1e-9 * std::fabs(want) + 1e-12);
        if (want != 0.0) worst = std::max(worst, std::fabs(got - want) / std::fabs(want));
      }
    }
  }
  std::printf("largest relative deviation from scipy: %.3g\n", worst);
  fs::remove_all(scratch);
}

}  // namespace
