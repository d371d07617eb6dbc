// End-to-end runs given their definition file on the command line, and the options: no
// prompt, no pause, error messages on standard error, exit status 3 for a command line the
// program cannot take.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "driver/command_line.hpp"
#include "platform/console.hpp"
#include "support/cp932.hpp"
#include "support/data_set.hpp"
#include "support/process.hpp"
#include "support/warnings_line.hpp"

namespace {

namespace fs = std::filesystem;
using testing_support::DataSet;
using testing_support::kResultFiles;
using testing_support::kSpectrumName;
using testing_support::kWaveformName;
using testing_support::program_path;
using testing_support::run_with_arguments;
using testing_support::RunResult;
using testing_support::ScratchFolder;
using testing_support::to_cp932;

std::string sjis(const std::string& utf8) { return platform::shift_jis_from_utf8(utf8); }

void edit_definition(const ScratchFolder& f, const std::string& from, const std::string& to) {
  std::string def = f.read("def.csv");
  ASSERT_NE(def.find(from), std::string::npos) << from;
  f.write("def.csv", def.replace(def.find(from), from.size(), to));
}

TEST(CommandLine, RunWritesWhatAnAnswerAtThePromptWrites) {
  ScratchFolder prompted, given;
  DataSet::small().write_to(prompted);
  DataSet::small().write_to(given);
  ASSERT_EQ(testing_support::run_in(prompted, "def.csv\n").status, 0);
  const RunResult r = run_with_arguments(given.path(), {"def.csv"});
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, testing_support::warnings_line(testing_support::kSmallSetWarnings, "def.csv"));
  ASSERT_EQ(r.status, 0);
  for (const char* name : kResultFiles) EXPECT_TRUE(given.read(name) == prompted.read(name)) << name;
}

// Each error end: its message on standard error without " [Enter]", each line ended, exit
// status 1, and its hint where it has one. No console input is given: a pause would meet
// its end and report it (status 2).
TEST(CommandLine, ErrorEndsGoToStandardErrorWithoutAPause) {
  const std::string fault2 = "quake\\fault2" + kSpectrumName, case2 = "quake\\case2" + kWaveformName;
  const std::string waveform2 = "quake/case2/" + std::string(testing_support::kWaveformHost);
  const auto no_file = [](const std::string& path, const std::string& name) {
    return "gmgather: hint: the folder \"" + path + "\" is there, but holds no file named exactly \"" + name.substr(1) +
           "\"\r\n";
  };
  const std::vector<std::pair<std::function<void(const ScratchFolder&)>, std::string>> cases = {
      {[](auto& f) { fs::remove(f.path() / "def.csv"); }, "def.csv not exist !\r\n"},
      {[](auto& f) { edit_definition(f, "2,3\r\n", "2,22\r\n"); },
       "Fault number or Case number Error !\r\ngmgather: hint: line 2 of def.csv gives 2 fault(s) and 22 case(s): a "
       "run takes 1 to 6 faults and 1 to 21 cases\r\n"},
      {[](auto& f) { edit_definition(f, "2,quake\\fault2", "3,q"); }, "Fault data line no.\r\n2\r\nError !\r\n"},
      {[](auto& f) { edit_definition(f, "2,quake\\fault2", "1,q"); }, "Fault data no.\r\n2\r\n not exist !\r\n"},
      {[](auto& f) { edit_definition(f, "2,quake\\case2", "4,q"); }, "Case data line no.\r\n3\r\nError !\r\n"},
      {[](auto& f) { edit_definition(f, "2,quake\\case2", "1,q"); }, "Case data no.\r\n2\r\n not exist !\r\n"},
      {[&](auto& f) { fs::remove(f.path() / "quake/fault2" / testing_support::kSpectrumHost); },
       fault2 + " not exist !\r\n" + no_file("quake\\fault2", kSpectrumName)},
      {[&](auto& f) { fs::remove(f.path() / waveform2); },
       case2 + " not exist !\r\n" + no_file("quake\\case2", kWaveformName)},
      {[&](auto& f) { f.write(waveform2, "100001,0.02\r\n1\r\n"); },
       case2 + " too many samples !\r\ngmgather: hint: a case holds at most 100000 samples (2000 s at 0.02 s): "
               "check the count on line 1 of " + case2 + "\r\n"},
  };
  for (const auto& [prepare, err] : cases) {
    SCOPED_TRACE(err);
    ScratchFolder folder;
    DataSet::small().write_to(folder);
    for (const char* name : kResultFiles) folder.write(name, "old");
    prepare(folder);
    const auto before = folder.snapshot();
    const RunResult r = run_with_arguments(folder.path(), {"def.csv"});
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, err);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(folder.snapshot(), before);
  }
}

// The argument is the name, all of it: no free-form rules, no 40-byte cut; a name that
// does not exist is quoted whole, in Shift-JIS.
TEST(CommandLine, NamesAreTakenWhole) {
  ScratchFolder folder;
  DataSet::small().write_to(folder);
  const std::string deeper = "a folder whose name alone is longer than forty bytes/def.csv";
  const std::string absolute = program_path(folder.path() / deeper);
  const std::vector<std::string> names = {absolute, "sub, dir/def 1, v2.csv", "定義 ファイル,第1版.csv"};
  for (const std::string& name : {deeper, names[1], names[2]}) folder.write(name, folder.read("def.csv"));
  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    for (const char* result : kResultFiles) fs::remove(folder.path() / result);
    const RunResult r = run_with_arguments(folder.path(), {name});
    EXPECT_EQ(r.err, testing_support::warnings_line(testing_support::kSmallSetWarnings,
                                                    testing_support::named(to_cp932(name))));
    ASSERT_EQ(r.status, 0);
    EXPECT_TRUE(fs::exists(folder.path() / kResultFiles[5]));
    const RunResult missing = run_with_arguments(folder.path(), {name + "x"});
    EXPECT_EQ(missing.err, sjis(name + "x") + " not exist !\r\n");
  }
}

// Paths longer than Windows' 260 characters: the definition file's, given absolute, and
// those of the folders it names, relative to the working folder. (The working folder
// itself cannot be that deep: Windows does not start a program in such a folder.)
TEST(CommandLine, PathsLongerThan260CharactersOpen) {
  ScratchFolder folder;
  fs::path deep;
  for (int i = 0; i < 10; ++i) deep /= "level " + std::to_string(i) + " of a deep folder tree";
  fs::create_directories(folder.path() / deep);
  DataSet::small().write_to(folder);
  fs::rename(folder.path() / "quake", folder.path() / deep / "quake");
  std::string def = folder.read("def.csv");
  for (std::size_t at = def.find(",quake"); at != std::string::npos; at = def.find(",quake", at + 1)) {
    def.insert(at + 1, program_path(deep) + "\\");
  }
  folder.write((deep / "def.csv").string(), def);
  const std::string absolute = program_path(folder.path() / deep / "def.csv");
  ASSERT_GT(absolute.size(), 300u);
  const RunResult r = run_with_arguments(folder.path(), {absolute});
  EXPECT_EQ(r.err, testing_support::warnings_line(testing_support::kSmallSetWarnings, testing_support::named(absolute)));
  ASSERT_EQ(r.status, 0);
  for (const char* name : kResultFiles) EXPECT_TRUE(fs::exists(folder.path() / name)) << name;
}

TEST(CommandLine, OptionsAreReadFromLeftToRight) {
  using Problem = gm::CommandLine::Problem;
  const auto usage_error = [](Problem problem, const std::string& argument) {
    return sjis(gm::problem_text(problem)) + argument + "\r\n" + sjis(gm::usage_text());
  };
  struct Case {
    std::vector<std::string> arguments;
    std::string out, err;
    int status;
  };
  const std::string help = sjis(gm::help_text());
  const std::string version = std::string("gmgather ") + GMGATHER_VERSION + "\r\n";
  const Case cases[] = {
      {{"--help"}, help, "", 0},
      {{"-h", "--bogus"}, help, "", 0},
      {{"--version"}, version, "", 0},
      {{"-V"}, version, "", 0},
      {{"--report", "def.csv"}, "", testing_support::warnings_line(3, "--report def.csv"), 0},
      {{"--bogus", "--help"}, "", usage_error(Problem::UnknownOption, "--bogus"), 3},
      {{"-def.csv"}, "", usage_error(Problem::UnknownOption, "-def.csv"), 3},
      {{"a.csv", "b.csv"}, "", usage_error(Problem::SecondFile, "b.csv"), 3},
      {{"--", "-def.csv"}, "", testing_support::warnings_line(3, "-- -def.csv"), 0},
      {{"--", "--help"}, "", "--help not exist !\r\n", 1},
      {{"-"}, "", "- not exist !\r\n", 1},
  };
  ScratchFolder folder;
  DataSet::small().write_to(folder);
  folder.write("-def.csv", folder.read("def.csv"));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arguments.front() + " " + c.arguments.back());
    const RunResult r = run_with_arguments(folder.path(), c.arguments);
    EXPECT_EQ(r.out, c.out);
    EXPECT_EQ(r.err, c.err);
    EXPECT_EQ(r.status, c.status);
  }
}

}  // namespace
