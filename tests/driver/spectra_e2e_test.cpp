// Runs asked for the response spectra, end to end: the file comes only when asked and the
// six stay the same bytes; a later run without the option takes it away; and its printed
// values are scipy's (Debian's python3-scipy, tests/spectra/reference_spectra.py) to the
// printed digit, on the realistic example and on a small synthetic set.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "spectra/test_records.hpp"
#include "support/data_set.hpp"
#include "support/process.hpp"
#include "support/warnings_line.hpp"

namespace {

namespace fs = std::filesystem;
using testing_support::DataSet;
using testing_support::kResultFiles;
using testing_support::run_with_arguments;
using testing_support::ScratchFolder;

const char* const kSpectraHost = "参考･各ケースの応答スペクトル.csv";
constexpr const char* kPython = "/usr/bin/python3";

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

TEST(SpectraRun, TheFileComesOnlyWhenAskedAndAPlainRunTakesItAway) {
  ScratchFolder plain;
  DataSet::small().write_to(plain);
  ASSERT_EQ(run_with_arguments(plain.path(), {"def.csv"}).status, 0);
  EXPECT_FALSE(fs::exists(plain.path() / kSpectraHost));

  ScratchFolder folder;
  DataSet::small().write_to(folder);
  const auto r = run_with_arguments(folder.path(), {"--spectra", "def.csv"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, testing_support::warnings_line(testing_support::kSmallSetWarnings, "--spectra def.csv"));
  for (const char* name : kResultFiles) EXPECT_TRUE(plain.read(name) == folder.read(name)) << name;
  // A title, the column heads, then 55 period rows of the target and Sv, pSv of 3 cases.
  const std::vector<std::string> rows = lines_of(folder.read(kSpectraHost));
  ASSERT_EQ(rows.size(), 57u);
  EXPECT_EQ(std::count(rows[2].begin(), rows[2].end(), ','), 7);
  EXPECT_EQ(folder.snapshot().size(), plain.snapshot().size() + 1);

  // Without the option the earlier file goes, and the rest is the plain run's.
  ASSERT_EQ(run_with_arguments(folder.path(), {"def.csv"}).status, 0);
  EXPECT_FALSE(fs::exists(folder.path() / kSpectraHost));
  EXPECT_TRUE(folder.snapshot() == plain.snapshot());
}

// The samples of an input waveform as a careful reader takes them: the count from the
// first line, then numbers split at blanks and commas (a repeat "r*v", D exponents).
std::vector<double> read_waveform(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::string first;
  std::getline(in, first);
  const long count = std::strtol(first.c_str(), nullptr, 10);
  std::vector<double> samples;
  std::string token;
  while (static_cast<long>(samples.size()) < count && in >> token) {
    for (std::size_t at; (at = token.find(',')) != std::string::npos;) token[at] = ' ';
    std::istringstream pieces(token);
    for (std::string p; pieces >> p;) {
      for (char& ch : p) ch = (ch == 'D' || ch == 'd') ? 'E' : ch;
      const std::size_t star = p.find('*');
      const long repeat = star == std::string::npos ? 1 : std::strtol(p.c_str(), nullptr, 10);
      const double v = std::strtod(p.c_str() + (star == std::string::npos ? 0 : star + 1), nullptr);
      for (long i = 0; i < repeat; ++i) samples.push_back(v);
    }
  }
  samples.resize(static_cast<std::size_t>(count));
  return samples;
}

// scipy's Sv and pSv per record, per period.
std::vector<std::vector<double>> scipy_spectra(const fs::path& scratch, const std::vector<double>& periods,
                                               const std::vector<std::vector<double>>& records) {
  {
    std::ofstream f(scratch / "records.txt");
    char number[40];
    f << "periods " << periods.size() << "\n";
    for (const double p : periods) f << (std::snprintf(number, sizeof number, "%.17g", p), number) << "\n";
    for (std::size_t i = 0; i < records.size(); ++i) {
      f << "record " << records[i].size() << "\n";
      for (const double a : records[i]) f << (std::snprintf(number, sizeof number, "%.17g", a), number) << "\n";
    }
  }
  const std::string command = std::string(kPython) + " " GMGATHER_TESTS_DIR "/spectra/reference_spectra.py " +
                              (scratch / "records.txt").string() + " " + (scratch / "reference.txt").string();
  EXPECT_EQ(std::system(command.c_str()), 0) << command;
  std::vector<std::vector<double>> out;
  std::ifstream in(scratch / "reference.txt");
  for (std::string line; std::getline(in, line);) {
    std::istringstream cells(line);
    std::string cell;
    out.emplace_back();
    while (cells >> cell) out.back().push_back(std::strtod(cell.c_str(), nullptr));
  }
  return out;
}

// Every Sv and pSv field of the file against scipy: the printed F14.6 field is the
// reference rounded, or, where the reference lies within a hair of a rounding boundary,
// within half a unit of the last digit plus that hair. Returns how many fields round
// differently from the reference printed the same way.
int expect_printed_as_scipy(const std::string& file, const std::vector<std::vector<double>>& want, int cases) {
  const std::vector<std::string> rows = lines_of(file);
  EXPECT_EQ(rows.size(), 57u);
  int differ = 0;
  for (std::size_t j = 2; j < rows.size(); ++j) {
    std::vector<std::string> fields;
    std::istringstream in(rows[j]);
    for (std::string f; std::getline(in, f, ',');) fields.push_back(f);
    EXPECT_EQ(static_cast<int>(fields.size()), 2 + 2 * cases) << rows[j];
    for (int c = 1; c <= cases && static_cast<int>(fields.size()) == 2 + 2 * cases; ++c) {
      for (int k = 0; k < 2; ++k) {
        const double reference = want[static_cast<std::size_t>(c - 1)][2 * (j - 2) + static_cast<std::size_t>(k)];
        const std::string& got = fields[static_cast<std::size_t>(2 * c + k)];
        char printed[64];
        std::snprintf(printed, sizeof printed, "%14.6f", reference);
        if (got == printed) continue;
        ++differ;
        EXPECT_NEAR(std::strtod(got.c_str(), nullptr), reference, 0.5e-6 + 1e-9 * std::fabs(reference) + 1e-12)
            << "row " << j - 1 << " case " << c << (k == 0 ? " Sv" : " pSv") << ": " << got << " against "
            << printed;
      }
    }
  }
  return differ;
}

// A value as the data set's files write it, then read back: what the program gets.
double as_written(double v, const char* format) {
  char text[64];
  std::snprintf(text, sizeof text, format, v);
  return std::strtod(text, nullptr);
}

bool scipy_available() { return std::system((std::string(kPython) + " -c 'import scipy' >/dev/null 2>&1").c_str()) == 0; }

TEST(SpectraRun, PrintedValuesAreScipysToThePrintedDigit) {
  if (!scipy_available()) GTEST_SKIP() << kPython << " cannot import scipy (Debian: python3-scipy)";
  // The realistic example, then a small set: a sine, a pulse, a random walk and records of
  // one and two samples, on the short periods of DataSet::small.
  DataSet small = DataSet::small();
  small.samples.clear();
  std::vector<double> sine, pulse(500, 0.0), walk;
  for (int i = 0; i < 1500; ++i) sine.push_back(as_written(100.0 * std::sin(0.1 * i), "%10.3f"));
  pulse[3] = 981.0;
  unsigned x = 7;
  double a = 0.0;
  for (int i = 0; i < 3000; ++i) {
    x = x * 1103515245u + 12345u;
    a = 0.95 * a + (static_cast<double>((x >> 8) % 20001) - 10000.0) / 125.0;
    walk.push_back(as_written(a, "%10.3f"));
  }
  small.samples = {sine, pulse, walk, {250.0}, {250.0, -100.0}};
  for (const bool realistic : {true, false}) {
    SCOPED_TRACE(realistic ? "realistic example" : "small set");
    ScratchFolder folder;
    if (realistic) {
      fs::copy(GMGATHER_EXAMPLES_DIR "/realistic", folder.path(), fs::copy_options::recursive);
    } else {
      small.write_to(folder);
    }
    const auto r = run_with_arguments(folder.path(), {"--spectra", "def.csv"});
    ASSERT_EQ(r.status, 0) << r.err;
    std::vector<std::vector<double>> records;
    std::vector<double> periods;
    if (realistic) {
      for (const char* c : {"C01", "C02", "C03", "C04", "C05", "C06", "C07_追加検討"}) {
        records.push_back(read_waveform(folder.path() / "cases" / c / testing_support::kWaveformHost));
      }
      periods = spectra_test::run_period_axis();
    } else {
      // Case c is in quake\casec whatever the order of the definition file's lines.
      records = small.samples;
      for (const double p : small.periods) periods.push_back(as_written(p, "%.3f"));
    }
    ASSERT_EQ(periods.size(), 55u);
    const auto want = scipy_spectra(folder.path(), periods, records);
    ASSERT_EQ(want.size(), records.size());
    const int differ = expect_printed_as_scipy(folder.read(kSpectraHost), want, static_cast<int>(records.size()));
    std::printf("%s: %d of %zu printed fields round differently from scipy's\n",
                realistic ? "realistic example" : "small set", differ, records.size() * 110);
  }
}

}  // namespace
