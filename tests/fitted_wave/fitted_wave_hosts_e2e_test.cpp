// The design wave's bytes: the same for 1, 2 and 8 threads; and, where the program under
// test is another build (the wine-e2e preset: gmgather.exe under Wine), against the build
// here on sets built from the real records: the same status and messages, and the same
// bytes, or rows that differ by one unit in the last printed digit where the two systems'
// sin and cos give the transform's twiddle factors differently (none expected: every
// decision of the fit is taken with a margin). The count of such rows is recorded (and
// printed) for each set.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "fitted_wave/real_sets.hpp"
#include "support/data_set.hpp"
#include "support/process.hpp"

namespace {

namespace fs = std::filesystem;
using testing_support::ScratchFolder;

const std::string kWaveFile = "入力用･模擬地震波形.csv";

// Sets built from the real records: the largest phase case, a 60 s one that meets the
// criteria and a 40 s one that may not (status 4 writes the wave too).
std::vector<fitted_wave_test::RealSet> host_sets() {
  return {{"long_100000", {"chichi1999", "kocaeli1999", "elcentro1940_ns", "northridge1994_sylmar_360"}, 100000},
          {"chichi_60s", {"chichi1999"}, 0},
          {"loma_prieta_40s", {"lomaprieta1989_hallsvalley_090"}, 0}};
}

std::vector<std::string> rows(const std::string& bytes) {
  std::vector<std::string> out;
  for (std::size_t at = 0; at < bytes.size();) {
    const std::size_t end = bytes.find("\r\n", at);
    out.push_back(bytes.substr(at, end - at));
    at = end == std::string::npos ? bytes.size() : end + 2;
  }
  return out;
}

// Rows that differ, each by one unit in the last digit of its value; -1 if any differs more.
int last_digit_rows(const std::string& a, const std::string& b) {
  const std::vector<std::string> ra = rows(a), rb = rows(b);
  if (ra.size() != rb.size()) return -1;
  int differing = 0;
  for (std::size_t i = 0; i < ra.size(); ++i) {
    if (ra[i] == rb[i]) continue;
    const std::size_t comma = ra[i].find(',');
    if (comma == std::string::npos || ra[i].substr(0, comma) != rb[i].substr(0, comma)) return -1;
    const double units = std::fabs(std::strtod(ra[i].c_str() + comma + 1, nullptr) -
                                   std::strtod(rb[i].c_str() + comma + 1, nullptr)) * 1e6;
    if (units > 1.5) return -1;
    ++differing;
  }
  return differing;
}

TEST(FittedWaveBytes, SameForOneTwoAndEightThreads) {
  const ScratchFolder folder;
  fitted_wave_test::data_set_of({"kocaeli_x3", {"kocaeli1999"}, 20000, 3.0}).write_to(folder);
  std::string first;
  for (const char* threads : {"1", "2", "8"}) {
    const auto r = testing_support::run_program(GMGATHER_EXE, folder.path(), "", 0, testing_support::launcher(),
                                                {"--fit", "def.csv"}, threads);
    ASSERT_TRUE(r.status == 0 || r.status == 4) << r.err;
    const std::string wave = folder.read(kWaveFile);
    ASSERT_FALSE(wave.empty());
    if (first.empty()) first = wave;
    EXPECT_EQ(wave, first) << threads << " threads";
  }
}

TEST(FittedWaveBytes, AgainstTheBuildHereAtMostTheLastDigit) {
  for (const fitted_wave_test::RealSet& set : host_sets()) {
    SCOPED_TRACE(set.name);
    const ScratchFolder under_test, here;
    fitted_wave_test::data_set_of(set).write_to(under_test);
    fitted_wave_test::data_set_of(set).write_to(here);
    const auto a = testing_support::run_with_arguments(under_test.path(), {"--fit", "def.csv"});
    const auto b = testing_support::run_program(GMGATHER_REFERENCE_EXE, here.path(), "", 0, "", {"--fit", "def.csv"});
    ASSERT_TRUE(a.status == 0 || a.status == 4) << a.err;
    EXPECT_EQ(a.status, b.status);
    EXPECT_EQ(a.err, b.err);
    const int differing = last_digit_rows(under_test.read(kWaveFile), here.read(kWaveFile));
    EXPECT_GE(differing, 0) << "rows differ by more than one unit in the last digit";
    RecordProperty(std::string("rows_differing_in_last_digit_") + set.name, differing);
    std::printf("%s: %d rows differ in the last digit\n", set.name, differing);
  }
}

}  // namespace
