// gmgather --check end to end: for each input set, the check agrees with the run on the
// same folder (status 0 exactly when the run ends normally, the run's own ending message
// as the first error), lists what it finds on standard output with a count at the end,
// and leaves the folder exactly as it was.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "support/cp932.hpp"
#include "support/data_set.hpp"
#include "support/error_end.hpp"
#include "support/process.hpp"
#include "support/warnings_line.hpp"

namespace {

namespace fs = std::filesystem;
using testing_support::DataSet;
using testing_support::kResultFiles;
using testing_support::RunResult;
using testing_support::run_with_arguments;
using testing_support::ScratchFolder;

// The first line of standard output that lists an error, from its text on.
std::string first_error(const std::string& out) {
  const std::size_t at = out.find(": error: ");
  if (at == std::string::npos) return "";
  const std::size_t end = out.find("\r\n", at);
  return out.substr(at + 9, end - at - 9);
}

std::string last_line(const std::string& out) {
  const std::size_t end = out.size() >= 2 ? out.size() - 2 : 0;
  const std::size_t begin = out.rfind("\r\n", end - 1);
  return out.substr(begin == std::string::npos ? 0 : begin + 2, end - (begin == std::string::npos ? 0 : begin + 2));
}

// Cases of 8 s (the axis reaches 5.5 s) with content at every period, the spectra of
// period row `row` (from 0) times `factor`.
void fit_set(ScratchFolder& f, std::size_t row, double factor) {
  DataSet d = DataSet::small();
  for (std::size_t c = 0; c < d.samples.size(); ++c) {
    d.samples[c].clear();
    for (int j = 0; j < 400; ++j) d.samples[c].push_back(100.0 * double(c + 1) * std::sin(0.002 * j * j));
  }
  for (std::vector<double>& s : d.spectra) s[row] = s[row] * factor;
  d.write_to(f);
}

TEST(CheckRun, AgreesWithTheRunAndChangesNothing) {
  struct Case {
    const char* what;
    std::function<void(ScratchFolder&)> spoil;
    const char* summary;  // null: the design wave's status 4, whose warnings the check lists
    std::vector<std::string> options = {};
  };
  const std::string waveform = std::string("quake/case2/") + testing_support::kWaveformHost;
  const Case cases[] = {
      // The small set's records of 3, 2 and 1 samples are each a warning.
      {"a clean set", [](ScratchFolder&) {}, "0 error(s), 3 warning(s)"},
      {"a waveform sampled at 0.01 s: a warning, the run goes on",
       [&](ScratchFolder& f) { f.write(waveform, "2,0.01\r\n10 -10\r\n"); }, "0 error(s), 4 warning(s)"},
      {"a missing waveform and a sample that is text: two errors at once",
       [&](ScratchFolder& f) {
         fs::remove(f.path() / waveform);
         f.write(std::string("quake/case3/") + testing_support::kWaveformHost, "1,0.02\r\nabc\r\n");
       },
       "2 error(s), 1 warning(s)"},
      {"a result file's name held by a folder",
       [](ScratchFolder& f) { f.write(std::string(kResultFiles[4]) + "/inside", "x"); }, "1 error(s), 3 warning(s)"},
      {"--fit on records shorter than the longest period: the fit's own error, no fit made",
       [](ScratchFolder&) {}, "1 error(s), 3 warning(s)", {"--fit"}},
      {"--fit on long records and a target of zero at 1 s: the fit's error names the period",
       [](ScratchFolder& f) {
         DataSet d = DataSet::small();
         for (std::size_t c = 0; c < d.samples.size(); ++c) {
           d.samples[c].clear();
           for (int j = 0; j < 400; ++j) d.samples[c].push_back(double(c + 1) * ((j * 7) % 11 - 5));
         }
         for (std::vector<double>& s : d.spectra) s[9] = 0.0;
         d.write_to(f);
       },
       "1 error(s), 2 warning(s)", {"--fit"}},
      {"--fit with one period of the target 50 times its neighbours: status 4 foreseen, each miss a warning",
       [](ScratchFolder& f) { fit_set(f, 30, 50.0); }, nullptr, {"--fit"}},
      {"--fit with a target of 1e9 cm/s at one period: a wave no F14.6 field holds (F6)",
       [](ScratchFolder& f) { fit_set(f, 0, 1e9); }, "1 error(s), 0 warning(s)", {"--fit"}},
      // Counts that read no sample, with each option that reads the samples again: the
      // run ends as the check says, never by a signal.
      {"a count of -5 with --spectra",
       [&](ScratchFolder& f) { f.write(waveform, "-5,0.02\r\n10 -10\r\n"); }, "0 error(s), 3 warning(s)",
       {"--spectra"}},
      {"a count of -5 with --report",
       [&](ScratchFolder& f) { f.write(waveform, "-5,0.02\r\n10 -10\r\n"); }, "0 error(s), 3 warning(s)",
       {"--report"}},
      {"every case without samples, with --spectra and --report",
       [](ScratchFolder& f) {
         for (const char* c : {"case1", "case2", "case3"}) {
           f.write(std::string("quake/") + c + "/" + testing_support::kWaveformHost, "-1,0.02\r\n\r\n");
         }
       },
       "0 error(s), 3 warning(s)", {"--spectra", "--report"}},
      {"--fit on a one-case set whose count is -5: the fit's own error",
       [](ScratchFolder& f) {
         DataSet d = DataSet::small();
         d.samples = {{1.0, 2.0}};
         d.write_to(f);
         f.write(std::string("quake/case1/") + testing_support::kWaveformHost, "-5,0.02\r\n1 2\r\n");
       },
       "1 error(s), 1 warning(s)", {"--fit"}},
      {"--spectra with a folder under the name of its file",
       [](ScratchFolder& f) { f.write("参考･各ケースの応答スペクトル.csv/inside", "x"); }, "1 error(s), 3 warning(s)",
       {"--spectra"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ScratchFolder checked;
    ScratchFolder run;
    for (ScratchFolder* f : {&checked, &run}) {
      DataSet::small().write_to(*f);
      c.spoil(*f);
    }
    const auto before = checked.snapshot();
    std::vector<std::string> arguments = c.options;
    arguments.push_back("def.csv");
    std::vector<std::string> checking = {"--check"};
    checking.insert(checking.end(), arguments.begin(), arguments.end());
    const RunResult check = run_with_arguments(checked.path(), checking);
    EXPECT_TRUE(checked.snapshot() == before) << "the check changed the folder";
    if (c.summary != nullptr) {
      EXPECT_EQ(last_line(check.out), c.summary) << check.out;
    }
    const RunResult r = run_with_arguments(run.path(), arguments);
    EXPECT_GE(r.status, 0) << "the run ended by a signal";
    EXPECT_EQ(check.status == 0, r.status == 0) << check.out << r.err;
    EXPECT_EQ(r.status == 4, c.summary == nullptr) << r.err;
    // A run that ends normally, or with its design wave short of the criteria, counts the
    // warnings as the check does, in one last line that names the check's command.
    const std::string summary = last_line(check.out);
    const std::size_t comma = summary.find(", ");
    const int warnings = comma == std::string::npos ? -1 : std::atoi(summary.c_str() + comma + 2);
    // The options in the order of the help, whatever their order on the command line.
    std::string check_arguments;
    for (const char* option : {"--report", "--spectra", "--fit"}) {
      if (std::find(c.options.begin(), c.options.end(), option) != c.options.end()) {
        check_arguments.append(option).append(" ");
      }
    }
    check_arguments += "def.csv";
    if ((r.status == 0 || r.status == 4) && warnings > 0) {
      EXPECT_TRUE(r.err.ends_with(testing_support::warnings_line(warnings, check_arguments))) << r.err << check.out;
    } else {
      EXPECT_EQ(r.err.find("warning(s) in the inputs"), std::string::npos) << r.err;
    }
    if (r.status == 4) {
      // The design wave written but short of its criteria: each miss the run names, the
      // check lists as a warning in the same words, and no error.
      EXPECT_EQ(check.status, 4) << check.out;
      EXPECT_EQ(first_error(check.out), "");
      constexpr std::string_view kWarned = "gmgather: warning: ";
      int misses = 0;
      for (std::size_t at = r.err.find(kWarned); at != std::string::npos; at = r.err.find(kWarned, at + 1), ++misses) {
        const std::string text = r.err.substr(at + kWarned.size(), r.err.find("\r\n", at) - at - kWarned.size());
        EXPECT_NE(check.out.find(": warning: " + text + "\r\n"), std::string::npos) << text;
      }
      EXPECT_GT(misses, 0) << r.err;
    } else if (r.status != 0) {
      EXPECT_EQ(check.status, 1);
      const std::string ending = r.status == 1 ? testing_support::error_end_on_one_line(r.err)
                                               : r.err.substr(0, r.err.find_first_of("\r\n"));
      EXPECT_EQ(first_error(check.out), ending);
    }
  }
}

// A run asked for the page reads as a plain run, the check watching: the page opens with
// its warnings, and the result files are those of a plain run.
TEST(CheckRun, ThePageOpensWithTheWarningsOfTheInputs) {
  ScratchFolder plain;
  ScratchFolder reported;
  for (ScratchFolder* f : {&plain, &reported}) {
    DataSet::small().write_to(*f);
    f->write(std::string("quake/case2/") + testing_support::kWaveformHost, "2,0.01\r\n10 -10\r\n");
  }
  ASSERT_EQ(run_with_arguments(plain.path(), {"def.csv"}).status, 0);
  ASSERT_EQ(run_with_arguments(reported.path(), {"--report", "def.csv"}).status, 0);
  for (const char* name : kResultFiles) EXPECT_TRUE(plain.read(name) == reported.read(name)) << name;
  const std::string page = reported.read("参考･結果図表.html");
  const std::size_t warnings = page.find("<section id=\"warnings\">");
  ASSERT_NE(warnings, std::string::npos);
  EXPECT_LT(warnings, page.find("<section id=\"summary\">"));
  EXPECT_NE(page.find("quake\\case2\\加速度波形.acc:1: the sampling interval `0.01` is not 0.02", warnings),
            std::string::npos);
}

// A list that cannot be written ends as every other output that cannot: the record
// layer's report of standard output, status 2.
TEST(CheckRun, AListThatCannotBeWrittenEndsWithTheReportOfStandardOutput) {
  ScratchFolder folder;
  DataSet::small().write_to(folder);
  const auto to_full_disk = [&](std::vector<std::string> arguments) {
    std::vector<std::string> command = {"-c", "exec \"$@\" > /dev/full", "sh"};
    if (!testing_support::launcher().empty()) command.push_back(testing_support::launcher());
    command.push_back(GMGATHER_EXE);
    command.insert(command.end(), arguments.begin(), arguments.end());
    return testing_support::run_program("/bin/sh", folder.path(), "", 0, "", command);
  };
  const RunResult help = to_full_disk({"--help"});
  EXPECT_EQ(help.status, 2);
  EXPECT_EQ(help.err, "txtrec: severe (38): error during write, unit 6, file stdout\n");
  for (const std::vector<std::string>& arguments :
       {std::vector<std::string>{"--check", "def.csv"}, {"--check", "--spectra", "def.csv"}}) {
    const RunResult check = to_full_disk(arguments);
    EXPECT_EQ(check.status, help.status);
    EXPECT_EQ(check.err, help.err);
  }
}

TEST(CheckRun, NeedsADefinitionFile) {
  ScratchFolder folder;
  const RunResult r = run_with_arguments(folder.path(), {"--check"});
  EXPECT_EQ(r.status, 3);
  EXPECT_EQ(r.out, "");
}

}  // namespace
