// End-to-end runs with 1, 2 and 8 threads: the console, the exit status and every byte of
// every result file must be the same whatever the number of threads, the response spectra
// file and the page (but for its run time) too when asked for.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "support/data_set.hpp"
#include "support/process.hpp"

namespace {

using testing_support::kResultFiles;
using testing_support::RunResult;
using testing_support::ScratchFolder;

// The files asked for by --spectra and --report; the page's run time differs run by run.
const char* const kAskedFiles[] = {"参考･各ケースの応答スペクトル.csv", "参考･結果図表.html"};
std::string without_run_time(const std::string& page) {
  return std::regex_replace(page, std::regex("<td>[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9:]{8}</td>"), "<td>-</td>");
}

// Runs the program in `folder` with each thread count and requires the same outcome;
// `asked`: with --spectra and --report too.
void expect_same_for_any_thread_count(const ScratchFolder& folder, const std::string& answer, bool asked = false) {
  std::string first_out, first_err;
  int first_status = -1;
  std::vector<std::string> first_files;
  for (const char* threads : {"1", "2", "8"}) {
    SCOPED_TRACE(std::string(threads) + " threads");
    const RunResult r = testing_support::run_program(
        GMGATHER_EXE, folder.path(), answer, 0, testing_support::launcher(),
        asked ? std::vector<std::string>{"--spectra", "--report"} : std::vector<std::string>{}, threads);
    std::vector<std::string> files;
    for (const char* name : kResultFiles) files.push_back(folder.read(name));
    if (asked) {
      files.push_back(folder.read(kAskedFiles[0]));
      files.push_back(without_run_time(folder.read(kAskedFiles[1])));
    }
    if (first_status == -1) {
      ASSERT_EQ(r.status, 0) << r.err;
      first_out = r.out;
      first_err = r.err;
      first_status = r.status;
      first_files = files;
      continue;
    }
    EXPECT_EQ(r.status, first_status);
    EXPECT_EQ(r.out, first_out);
    EXPECT_EQ(r.err, first_err);
    for (std::size_t i = 0; i < files.size(); ++i) {
      EXPECT_TRUE(files[i] == first_files[i]) << (i < 6 ? kResultFiles[i] : kAskedFiles[i - 6]);
    }
  }
}

TEST(Threads, RealisticExampleIsTheSameForAnyThreadCount) {
  ScratchFolder folder;
  std::filesystem::copy(GMGATHER_EXAMPLES_DIR "/realistic", folder.path(),
                        std::filesystem::copy_options::recursive);
  expect_same_for_any_thread_count(folder, "def.csv\r\n");
  expect_same_for_any_thread_count(folder, "def.csv\r\n", true);
}

// 100000 samples five to a line in one of three forms: E-format; fixed point with commas;
// and a mix of D exponents, repeat counts and values too wide for the result files'
// fields, which take the reader's and the writer's slower roads.
std::string samples(int form) {
  constexpr int kSamples = 100000;
  std::string w;
  w.reserve(static_cast<std::size_t>(kSamples) * 19);
  unsigned x = static_cast<unsigned>(form) + 1;
  double a = 0.0;
  char buffer[48];
  for (int j = 1; j <= kSamples; ++j) {
    x = x * 1103515245u + 12345u;
    a = 0.95 * a + (static_cast<double>((x >> 8) % 20001) - 10000.0) / 125.0;
    if (form == 0) {
      std::snprintf(buffer, sizeof buffer, "%17.9E", a);
    } else if (form == 1) {
      std::snprintf(buffer, sizeof buffer, "%10.3f,", a);
    } else if (j % 1000 == 0) {
      std::snprintf(buffer, sizeof buffer, " %.1f", 3e7 + j);  // too wide for F14.6
    } else if (j % 7 == 0 && j < kSamples) {
      std::snprintf(buffer, sizeof buffer, " 2*%.4fD0", a);     // two samples at once
      ++j;
    } else {
      std::snprintf(buffer, sizeof buffer, " %.6e", a);
    }
    w += buffer;
    if (j % 5 == 0 || j == kSamples) w += "\r\n";
  }
  return w;
}

// The largest run the limits allow (6 faults, 21 cases, up to 100000 samples), in all the
// forms above and of different lengths, so that blocks end mid-case and columns run out.
TEST(Threads, LargestRunIsTheSameForAnyThreadCount) {
  testing_support::DataSet d = testing_support::DataSet::small();
  d.spectra.resize(6, d.spectra[0]);
  d.samples.assign(21, {});  // only the count matters to the definition file
  ScratchFolder folder;
  d.write_to(folder);  // the definition file, the faults and 21 placeholder waveforms
  const std::string forms[] = {samples(0), samples(1), samples(2)};
  for (int c = 1; c <= 21; ++c) {
    const int n = c % 4 == 0 ? 100000 - 37 * c : 100000;
    folder.write("quake/case" + std::to_string(c) + "/" + testing_support::kWaveformHost,
                 std::to_string(n) + ",0.02\r\n" + forms[c % 3]);
  }
  expect_same_for_any_thread_count(folder, "def.csv\r\n");
  expect_same_for_any_thread_count(folder, "def.csv\r\n", true);
}

}  // namespace
