#include "results/result_files.hpp"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <optional>
#include <random>
#include <string>

#include "commit/staged_files.hpp"
#include "evaluation/evaluation.hpp"
#include "platform/console.hpp"
#include "results/result_set.hpp"
#include "support/fake_console.hpp"
#include "support/process.hpp"
#include "support/test_file_system.hpp"

#include "support/tables.hpp"

namespace {

using testing_support::ScratchFolder;

const char* const kFiles[] = {
    "入力用･目標速度スペクトル.csv",       "入力用･位相用加速度波形.csv",
    "参考･各震源断層の速度スペクトル.csv", "参考･各ケースの加速度波形.csv",
    "参考･各ケースの速度波形.csv",         "参考･各ケースの最大速度.csv",
};
const std::string kTime = "\x8e\x9e\x8d\x8f(s)";    // 時刻(s)
const std::string kPeriod = "\x8e\xfc\x8a\xfa(s)";  // 周期(s)

using testing_support::fresh_tables;

// What the evaluation sets before the files are written: the rows of the per-case files,
// and the velocity checkpoints its writer starts from. The peaks stay as the test set them.
void find_longest_case(gm::RunTables& t) {
  t.longest_case_samples = 0;
  for (int c = 1; c <= t.case_count; ++c) t.longest_case_samples = std::max(t.longest_case_samples, t.case_sample_count(c));
  double peaks[gm::kMaxCases];
  std::memcpy(peaks, t.case_peak_velocity, sizeof peaks);
  evaluation::integrate_case_velocities(t);
  std::memcpy(t.case_peak_velocity, peaks, sizeof peaks);
}

// Writes the result files of `t` in a scratch folder and keeps the folder for reading.
struct Written {
  ScratchFolder folder;
  testing_support::FakeConsole console;
  explicit Written(gm::RunTables& t) {
    char previous[4096];
    EXPECT_NE(getcwd(previous, sizeof previous), nullptr);
    EXPECT_EQ(chdir(folder.path().c_str()), 0);
    find_longest_case(t);
    EXPECT_FALSE(results::write_result_files(t, console, parallel::Pool(1)).has_value());
    EXPECT_EQ(chdir(previous), 0);
  }
  std::string file(int i) const { return folder.read(kFiles[i]); }
  // Line n (from 0) of result file i, without its CR LF.
  std::string line(int i, int n) const {
    const std::string bytes = file(i);
    std::size_t at = 0;
    for (int k = 0; k < n; ++k) at = bytes.find("\r\n", at) + 2;
    return bytes.substr(at, bytes.find("\r\n", at) - at);
  }
};

TEST(PeakVelocityFile, ThreeCases) {
  gm::RunTables& t = fresh_tables();
  t.fault_count = 1;
  t.case_count = 3;
  t.peak_velocity(1) = 12.3456789;
  t.peak_velocity(2) = 45.6;
  t.peak_velocity(3) = 30.0;
  t.case_rank(1) = 3;
  t.case_rank(2) = 1;
  t.case_rank(3) = 2;
  t.phase_case = 3;
  const Written w(t);
  EXPECT_EQ(w.file(5),
            "\x83\x50\x81\x5b\x83\x58\x94\xd4\x8d\x86      ,No. 1      ,No. 2      ,No. 3\r\n"
            "\x8d\xc5\x91\xe5\x91\xac\x93\x78(cm/s),     12.345679,     45.600000,     30.000000\r\n"
            "\x8d\xc5\x91\xe5\x91\xac\x93\x78\x8f\x87\x88\xca,  3,  1,  2\r\n");
  // Every case without samples: the waveform files hold their header alone.
  EXPECT_EQ(w.file(1), "\x8e\x9e\x8d\x8f(s),\x89\xc1\x91\xac\x93\x78(cm/s2)\r\n");
  EXPECT_EQ(w.file(3), kTime + "      ,No. 1      ,No. 2      ,No. 3  ,(cm/s2)\r\n");
  EXPECT_EQ(w.file(4), kTime + "      ,No. 1      ,No. 2      ,No. 3   ,(cm/s)\r\n");
}

TEST(SpectrumFiles, ThreeFaultsAndTheTarget) {
  gm::RunTables& t = fresh_tables();
  t.fault_count = 3;
  t.case_count = 1;
  t.phase_case = 1;
  const double periods[] = {0.1, 0.2, 0.5};
  const double values[3][3] = {{10.0, 5.5, 3.25}, {20.125, 11.0, 7.0}, {48.0, 30.5, 12.75}};
  for (int j = 1; j <= 3; ++j) {
    t.period(j) = periods[j - 1];
    for (int k = 1; k <= 3; ++k) t.spectrum(k, j) = values[j - 1][k - 1];
  }
  t.target(1) = 10.787677;
  t.period(55) = 10.00005;  // rounds half away from the binary value below the tie
  const Written w(t);
  EXPECT_EQ(w.line(2, 0), kPeriod + "      ,No. 1      ,No. 2      ,No. 3   ,(cm/s)");
  EXPECT_EQ(w.line(2, 1), "      0.1000,     10.000000,      5.500000,      3.250000");
  EXPECT_EQ(w.line(2, 2), "      0.2000,     20.125000,     11.000000,      7.000000");
  EXPECT_EQ(w.line(2, 3), "      0.5000,     48.000000,     30.500000,     12.750000");
  EXPECT_EQ(w.line(0, 0), "\x8e\xfc\x8a\xfa(s),\x91\xac\x93\x78Sv(cm/s)");
  EXPECT_EQ(w.line(0, 1), "      0.1000,     10.787677");
  EXPECT_EQ(w.line(0, 4), "      0.0000,      0.000000");  // rows past the data hold zeros
  EXPECT_EQ(w.line(0, 55), "     10.0000,      0.000000");
  EXPECT_EQ(w.file(0).size(), 22u + 55 * 29);
  EXPECT_EQ(w.file(2).size(), (kPeriod.size() + 3 * 12 + 10 + 2) + 55u * (12 + 3 * 15 + 2));
}

TEST(SpectrumFiles, SixFaultsEndWithTheUnitLabel) {
  gm::RunTables& t = fresh_tables();
  t.fault_count = 6;
  t.case_count = 1;
  t.phase_case = 1;
  const Written w(t);
  EXPECT_EQ(w.line(2, 0), kPeriod + "      ,No. 1      ,No. 2      ,No. 3      ,No. 4      ,No. 5"
                                    "      ,No. 6   ,(cm/s)");
}

TEST(WaveformFiles, CasesOfDifferentLengths) {
  gm::RunTables& t = fresh_tables();
  t.fault_count = 1;
  t.case_count = 2;
  t.case_sample_count(1) = 3;
  t.case_sample_count(2) = 2;
  // The velocity: (0.02 / 2) * (a(j) + a(j - 1)) + v(j - 1), from rest.
  const double acc[2][3] = {{0.0, 0.5, 1.234567}, {0.0, -0.25, 0}};
  for (int c = 1; c <= 2; ++c) {
    for (int j = 1; j <= t.case_sample_count(c); ++j) t.acceleration(c, j) = acc[c - 1][j - 1];
  }
  t.phase_case = 2;
  const Written w(t);
  EXPECT_EQ(w.file(3), kTime + "      ,No. 1      ,No. 2  ,(cm/s2)\r\n"
                               "      0.0000,      0.000000,      0.000000\r\n"
                               "      0.0200,      0.500000,     -0.250000\r\n"
                               "      0.0400,      1.234567,      0.000000\r\n");
  EXPECT_EQ(w.file(4), kTime + "      ,No. 1      ,No. 2   ,(cm/s)\r\n"
                               "      0.0000,      0.000000,      0.000000\r\n"
                               "      0.0200,      0.005000,     -0.002500\r\n"
                               "      0.0400,      0.022346,      0.000000\r\n");
  // The phase file follows the phase case alone.
  EXPECT_EQ(w.file(1), "\x8e\x9e\x8d\x8f(s),\x89\xc1\x91\xac\x93\x78(cm/s2)\r\n"
                       "      0.0000,      0.000000\r\n"
                       "      0.0200,     -0.250000\r\n");
}

TEST(WaveformFiles, LongestRunAndWideColumns) {
  gm::RunTables& t = fresh_tables();
  t.fault_count = 1;
  t.case_count = 21;
  t.case_sample_count(21) = gm::kMaxSamples;
  t.acceleration(21, gm::kMaxSamples) = -375.25;
  // Velocities built up step by step (a step moves at most 0.02 times the widest
  // acceleration F14.6 holds) to reach the width of their fields in row 57, their last:
  // case 1 9999999.5 (7 integer digits fill F14.6 exactly), case 2 -1017000 (7 integer
  // digits and a sign do not).
  t.case_sample_count(1) = 57;
  t.case_sample_count(2) = 57;
  for (int j = 2; j <= 56; ++j) t.acceleration(1, j) = 9e6;
  t.acceleration(1, 57) = 9999950.0;
  for (int j = 1; j <= 57; ++j) t.acceleration(2, j) = -900000.0;
  t.phase_case = 21;
  const Written w(t);
  const std::string header = w.line(3, 0);
  EXPECT_EQ(header.substr(header.size() - 22), "      ,No.21  ,(cm/s2)");
  EXPECT_EQ(w.line(3, 100000).substr(0, 12), "   1999.9800");
  EXPECT_EQ(w.line(3, 100000).substr(12 + 20 * 15), ",   -375.250000");
  EXPECT_EQ(w.line(1, 100000), "   1999.9800,   -375.250000");
  EXPECT_EQ(w.line(4, 57).substr(12, 30), ",9999999.500000,**************");
  EXPECT_EQ(w.line(4, 56).substr(12, 30), ",9810000.000000,-999000.000000");
  EXPECT_EQ(w.line(4, 58).substr(12, 30), ",      0.000000,      0.000000");
  EXPECT_EQ(w.line(3, 1).size(), 327u);
  EXPECT_EQ(w.console.err,
            "txtrec: error (63): output conversion error, unit 25, file "
            "\x8e\x51\x8d\x6c\xa5\x8a\x65\x83\x50\x81\x5b\x83\x58\x82\xcc\x91\xac\x93\x78\x94\x67\x8c\x60.csv\n");
}

// Tables with something in every corner: 21 cases of different lengths (some with no
// samples, the longest over several blocks of records), values too wide for their fields
// in both waveform tables, the peaks and the spectra.
gm::RunTables& busy_tables() {
  gm::RunTables& t = fresh_tables();
  t.fault_count = 6;
  t.case_count = 21;
  std::mt19937_64 rng(7);
  std::normal_distribution<double> step(0.0, 40.0);
  for (int j = 1; j <= gm::kPeriodCount; ++j) {
    t.period(j) = 0.1 * j;
    for (int k = 1; k <= 6; ++k) t.spectrum(k, j) = 100.0 * k + j + 0.125 * static_cast<double>(rng() % 8);
    t.target(j) = j == 9 ? 12345678.0 : 3.0 * j;
  }
  for (int c = 1; c <= 21; ++c) {
    const int n = c % 5 == 0 ? 0 : 1000 * c + 7 * c;
    t.case_sample_count(c) = n;
    double a = 0.0;
    for (int j = 1; j <= n; ++j) {
      a = 0.95 * a + step(rng);
      t.acceleration(c, j) = j % 997 == 0 ? -2e7 : a;
    }
    t.peak_velocity(c) = c == 4 ? 1e9 : c;
    t.case_rank(c) = 22 - c;
  }
  t.phase_case = 11;
  return t;
}

struct Outcome {
  std::optional<textio::Fault> fault;
  std::string err;
  std::map<std::string, std::string> files;
};

// Writes the result files in a fresh folder holding a file of an earlier run, with at most
// `limit` bytes per file (0: none): by the program's own way with `threads`, or (0
// threads) by statement alone, the way every other way is held to.
Outcome write_in_folder(gm::RunTables& t, int threads, rlim_t limit) {
  ScratchFolder folder;
  folder.write(kFiles[3], "earlier run\r\n");
  char previous[4096];
  EXPECT_NE(getcwd(previous, sizeof previous), nullptr);
  EXPECT_EQ(chdir(folder.path().c_str()), 0);
  platform::prepare_process();  // a write over the limit fails rather than ends the test
  rlimit saved{};
  getrlimit(RLIMIT_FSIZE, &saved);
  if (limit > 0) {
    const rlimit capped{limit, saved.rlim_max};
    setrlimit(RLIMIT_FSIZE, &capped);
  }
  testing_support::FakeConsole console;
  Outcome o;
  find_longest_case(t);
  if (threads > 0) {
    o.fault = results::write_result_files(t, console, parallel::Pool(threads));
  } else {
    const parallel::Pool one(1);
    commit::StagedFiles files(platform::host_file_system(), console, one);
    for (const results::FileContent& f : results::result_contents(t, {})) {
      o.fault = files.write(f.unit(), f.name(), [&](textio::OutputUnit& u) { results::write_by_statements(t, f, u); });
      if (o.fault) break;
    }
    if (!o.fault) o.fault = files.place_all();
  }
  setrlimit(RLIMIT_FSIZE, &saved);
  EXPECT_EQ(chdir(previous), 0);
  o.err = console.err;
  o.files = folder.snapshot();
  return o;
}

void expect_same_outcome(const Outcome& got, const Outcome& want) {
  ASSERT_EQ(got.fault.has_value(), want.fault.has_value());
  if (want.fault) {
    EXPECT_EQ(got.fault->number, want.fault->number);
    EXPECT_EQ(got.fault->unit, want.fault->unit);
    EXPECT_EQ(got.fault->file, want.fault->file);
  }
  EXPECT_EQ(got.err, want.err);
  EXPECT_EQ(got.files.size(), want.files.size());
  for (const auto& [name, bytes] : want.files) {
    const auto it = got.files.find(name);
    ASSERT_NE(it, got.files.end()) << name;
    EXPECT_TRUE(it->second == bytes) << name << ": " << it->second.size() << " vs " << bytes.size() << " bytes";
  }
}

// The same bytes, reports and fault as a write by statement, for any number of threads;
// also when a file cannot be written whole (a size limit stands for a full disk): then the
// same reports come before the fault (those of every record rendered before the failed
// write), and no file of the attempt is left behind.
TEST(ResultFiles, EndAsByStatementsForAnyThreadCount) {
  gm::RunTables& t = busy_tables();
  const auto acceleration_file = static_cast<rlim_t>(t.case_sample_count(21) + 1) * 329;
  // None; in the target spectrum; the phase file; the second flush of a 1 MiB buffer of
  // the acceleration file; its last.
  for (rlim_t limit : {rlim_t{0}, rlim_t{1000}, rlim_t{200000}, rlim_t{(rlim_t{1} << 20) + 5000},
                       acceleration_file - 100}) {
    SCOPED_TRACE("limit " + std::to_string(limit));
    const Outcome want = write_in_folder(t, 0, limit);
    ASSERT_NE(want.err, "");
    ASSERT_EQ(want.fault.has_value(), limit != 0);
    for (int threads : {1, 2, 8}) {
      SCOPED_TRACE(std::to_string(threads) + " threads");
      expect_same_outcome(write_in_folder(t, threads, limit), want);
    }
  }
}

// What the options' files hold is made once, after every file a run always writes was
// written whole and before any file of an option: not at all when one of the first files
// cannot be written, and not again when an option's file cannot be and the run goes back
// to writing by statement. The page it makes is the page written.
TEST(ResultFiles, OptionsFilesAreMadeOnceAfterTheFirstFiles) {
  using testing_support::Call;
  gm::RunTables& t = busy_tables();
  find_longest_case(t);
  const std::string page = "<!doctype html><p>made late</p>";
  const std::string page_name(results::kReportPageFile);
  std::vector<std::string> always;
  for (const results::ResultFile& f : results::result_set()) {
    if (f.option == results::Option::None) always.push_back(std::string(f.name) + ".part");
  }
  const std::vector<std::string> failing = {"", std::string(results::kCaseAccelerationFile), page_name};
  for (const std::string& fails : failing) {
    for (int threads : {1, 2}) {
      SCOPED_TRACE("fails " + fails + ", " + std::to_string(threads) + " threads");
      testing_support::MemoryFileSystem memory;
      testing_support::FailingFileSystem fs(memory);
      if (!fails.empty()) fs.fail(Call::Write, fails + ".part");
      testing_support::FakeConsole console;
      int made = 0;
      std::vector<std::string> created_before;
      const auto prepare = [&](results::Request& asked) {
        ++made;
        for (const testing_support::LoggedCall& c : fs.log()) {
          if (c.call == Call::Create) created_before.push_back(c.path);
        }
        asked.page = page;
      };
      results::Request request;
      request.report = true;
      request.spectra = true;
      const auto fault = results::write_result_files(t, console, parallel::Pool(threads), request, fs, prepare);
      ASSERT_EQ(fault.has_value(), !fails.empty());
      if (fault) {
        EXPECT_EQ(fault->file, fails);
      }
      const bool first_files_whole = fails != std::string(results::kCaseAccelerationFile);
      EXPECT_EQ(made, first_files_whole ? 1 : 0);
      if (first_files_whole) {
        EXPECT_EQ(created_before, always);
      }
      if (fails.empty()) {
        EXPECT_EQ(memory.entries()[page_name], page);
      }
    }
  }
}

}  // namespace
