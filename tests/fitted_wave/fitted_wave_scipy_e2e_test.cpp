// The design wave as written, held to scipy: tests/fitted_wave/check_fitted_wave.py
// measures it with the free-vibration tail (tests/spectra/reference_spectra.py). On the
// realistic example and on sets built from the real records: a short phase case (25 s),
// 40 s ones, a 2000 s one, a target with one period x 3, targets x 10 above and below,
// and uncorrected records that drift. Skipped where /usr/bin/python3 cannot import scipy.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <sstream>
#include <string>

#include "fitted_wave/real_sets.hpp"
#include "support/data_set.hpp"
#include "support/process.hpp"

namespace {

namespace fs = std::filesystem;
using fitted_wave_test::RealSet;
using testing_support::ScratchFolder;

constexpr const char* kPython = "/usr/bin/python3";

bool scipy_available() {
  return access(kPython, X_OK) == 0 &&
         std::system((std::string(kPython) + " -c 'import scipy' >/dev/null 2>&1").c_str()) == 0;
}

std::map<std::string, double> measure(const fs::path& folder) {
  const fs::path out = folder / "check.txt";
  const std::string command = std::string(kPython) + " " GMGATHER_TESTS_DIR "/fitted_wave/check_fitted_wave.py " +
                              folder.string() + " > " + out.string();
  EXPECT_EQ(std::system(command.c_str()), 0) << command;
  std::ifstream in(out);
  std::map<std::string, double> cells;
  std::string name;
  double value = 0.0;
  while (in >> name >> value) cells[name] = value;
  return cells;
}

// The figures of the summary line on standard error, as printed.
struct Summary {
  double min_ratio = NAN, variation = NAN, mean_ratio = NAN;
  bool met = false;
};
Summary summary_of(const std::string& err) {
  Summary s;
  const std::size_t at = err.find("gmgather: design wave: ");
  char verdict[16] = {};
  const bool read = at != std::string::npos &&
                    std::sscanf(err.c_str() + at,
                                "gmgather: design wave: min R %lf, variation %lf, mean R %lf, criteria %15[a-z]",
                                &s.min_ratio, &s.variation, &s.mean_ratio, verdict) == 4;
  EXPECT_TRUE(read) << "no summary line: " << err;
  s.met = std::string(verdict) == "met";
  return s;
}

enum class Expect { Met, Missed, Either };

// What every written wave must be, in scipy's measure, and what the run says of it: the
// status and the summary are scipy's verdict on the criteria, each criterion missed has
// its line; the wave is at rest at both ends, keeps the phase case's amplitudes at
// periods under half the axis's shortest, and its layout.
void expect_written_as_said(const testing_support::RunResult& r, const std::map<std::string, double>& c,
                            Expect expect, bool quiet_lead_in) {
  ASSERT_TRUE(c.count("min_ratio")) << r.err;
  const bool min_met = c.at("min_ratio") >= 0.85, variation_met = c.at("variation") <= 0.05,
             mean_met = std::fabs(c.at("mean_ratio") - 1.0) <= 0.02;
  const bool met = min_met && variation_met && mean_met;
  if (expect != Expect::Either) {
    EXPECT_EQ(met, expect == Expect::Met);
  }
  EXPECT_EQ(r.status, met ? 0 : 4) << r.err;
  EXPECT_EQ(r.out, "");
  const Summary s = summary_of(r.err);
  EXPECT_EQ(s.met, met);
  EXPECT_NEAR(s.min_ratio, c.at("min_ratio"), 0.6e-4);
  EXPECT_NEAR(s.variation, c.at("variation"), 0.6e-4);
  EXPECT_NEAR(s.mean_ratio, c.at("mean_ratio"), 0.6e-4);
  EXPECT_EQ(r.err.find("min R = ") != std::string::npos, !min_met) << r.err;
  EXPECT_EQ(r.err.find("variation of R = ") != std::string::npos, !variation_met) << r.err;
  EXPECT_EQ(r.err.find("|mean R - 1| = ") != std::string::npos, !mean_met) << r.err;
  EXPECT_LE(std::fabs(c.at("wave_final_velocity")), 0.01 * c.at("wave_peak_velocity"));
  EXPECT_LE(std::fabs(c.at("wave_final_displacement")), 0.05 * c.at("wave_peak_displacement"));
  EXPECT_LE(c.at("first_sample"), 0.01);
  EXPECT_GE(c.at("band_low"), 0.9);
  EXPECT_LE(c.at("band_high"), 1.1);
  // A target that raises the bands the phase case carries early (a velocity pulse, P waves
  // against a low target) moves the wave's energy forward by design: bounded more loosely.
  EXPECT_LE(c.at("lead_in"), quiet_lead_in ? 0.02 : 0.1);
  EXPECT_EQ(c.at("wave_samples"), c.at("phase_samples"));
  EXPECT_EQ(c.at("same_times"), 1.0);
  std::printf("R %.4f %.4f %.4f | a %.1f/%.1f v %.2f/%.2f d %.2f/%.2f end v %.2e d %.2e | lead %.4f | bands %.4f-%.4f\n",
              c.at("min_ratio"), c.at("variation"), c.at("mean_ratio"), c.at("wave_peak_acceleration"),
              c.at("phase_peak_acceleration"), c.at("wave_peak_velocity"), c.at("phase_peak_velocity"),
              c.at("wave_peak_displacement"), c.at("phase_peak_displacement"), c.at("wave_final_velocity"),
              c.at("wave_final_displacement"), c.at("lead_in"), c.at("band_low"), c.at("band_high"));
}

struct Case {
  RealSet set;
  Expect expect;
  bool quiet_lead_in;
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.set.name; }

class RealRecordSets : public testing::TestWithParam<Case> {};

TEST_P(RealRecordSets, WriteTheWaveAsTheySayInScipysMeasure) {
  if (!scipy_available()) GTEST_SKIP() << kPython << " cannot import scipy (Debian: python3-scipy)";
  const Case& c = GetParam();
  const ScratchFolder folder;
  fitted_wave_test::data_set_of(c.set).write_to(folder);
  const auto r = testing_support::run_with_arguments(folder.path(), {"--fit", "def.csv"});
  expect_written_as_said(r, measure(folder.path()), c.expect, c.quiet_lead_in);
}

const char* const kChiChi = "chichi1999";
const char* const kKocaeli = "kocaeli1999";
const char* const kSylmar = "northridge1994_sylmar_360";

// Met: what the issue holds the method to; Either: what it may end with status 4 after
// doing what it can (the record's own content above the band still drives the shortest
// oscillators, or a short record's notches leave some periods without content).
INSTANTIATE_TEST_SUITE_P(
    FittedWave, RealRecordSets,
    testing::Values(Case{{"short_25s_kobe", {"kobe1995"}, 0}, Expect::Either, false},
                    Case{{"s40_loma_prieta", {"lomaprieta1989_hallsvalley_090"}, 0}, Expect::Either, false},
                    Case{{"drift_el_centro", {"elcentro1940_ns"}, 0}, Expect::Either, true},
                    Case{{"drift_san_fernando_n79w", {"sanfernando1971_ventura_n79w"}, 0}, Expect::Met, true},
                    Case{{"s60_sylmar", {kSylmar}, 0}, Expect::Met, false},
                    Case{{"s60_chichi", {kChiChi}, 0}, Expect::Met, true},
                    Case{{"s68_kocaeli", {kKocaeli}, 0}, Expect::Met, true},
                    Case{{"chichi_x10", {kChiChi}, 0, 10.0}, Expect::Met, true},
                    Case{{"chichi_x0_1", {kChiChi}, 0, 0.1}, Expect::Met, false},
                    Case{{"kocaeli_x10", {kKocaeli}, 0, 10.0}, Expect::Met, true},
                    Case{{"kocaeli_x0_1", {kKocaeli}, 0, 0.1}, Expect::Met, false},
                    Case{{"sharp_peak_x3", {kChiChi}, 0, 1.0, 3.0}, Expect::Missed, true},
                    Case{{"long_2000s", {kChiChi, kKocaeli, "elcentro1940_ns", kSylmar, "lomaprieta1989_hallsvalley_090",
                                         "kobe1995", "sanfernando1971_ventura_n79w"},
                          100000},
                         Expect::Met, true}),
    [](const testing::TestParamInfo<Case>& c) { return std::string(c.param.set.name); });

TEST(FittedWave, RealisticExampleMeetsTheCriteriaInScipysMeasure) {
  if (!scipy_available()) GTEST_SKIP() << kPython << " cannot import scipy (Debian: python3-scipy)";
  const ScratchFolder folder;
  fs::copy(GMGATHER_EXAMPLES_DIR "/realistic", folder.path(), fs::copy_options::recursive);
  const auto r = testing_support::run_with_arguments(folder.path(), {"--fit", "--spectra", "def.csv"});
  expect_written_as_said(r, measure(folder.path()), Expect::Met, true);
}

}  // namespace
