// End-to-end runs given their definition file on the command line, and the options: no
// prompt, no pause, error messages on standard error, exit status 3 for a command line the
// program cannot take.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "driver/command_line.hpp"
#include "platform/console.hpp"
#include "support/data_set.hpp"
#include "support/process.hpp"

namespace {

namespace fs = std::filesystem;
using testing_support::DataSet;
using testing_support::kResultFiles;
using testing_support::kSpectrumHost;
using testing_support::kSpectrumName;
using testing_support::kWaveformHost;
using testing_support::kWaveformName;
using testing_support::run_in;
using testing_support::run_with_arguments;
using testing_support::RunResult;
using testing_support::ScratchFolder;

std::string sjis(const std::string& utf8) { return platform::shift_jis_from_utf8(utf8); }

void edit_definition(const ScratchFolder& f, const std::string& from, const std::string& to) {
  std::string def = f.read("def.csv");
  const std::size_t at = def.find(from);
  ASSERT_NE(at, std::string::npos) << from;
  def.replace(at, from.size(), to);
  f.write("def.csv", def);
}

TEST(CommandLine, RunWritesWhatAnAnswerAtThePromptWrites) {
  ScratchFolder prompted, given;
  DataSet::small().write_to(prompted);
  DataSet::small().write_to(given);
  ASSERT_EQ(run_in(prompted, "def.csv\n").status, 0);
  for (const std::vector<std::string>& arguments : {std::vector<std::string>{"def.csv"}, {"--report", "def.csv"}}) {
    SCOPED_TRACE(arguments.front());
    const RunResult r = run_with_arguments(given.path(), arguments);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "");
    ASSERT_EQ(r.status, 0);
    for (const char* name : kResultFiles) EXPECT_TRUE(given.read(name) == prompted.read(name)) << name;
  }
}

// Each error end once: its message on standard error without " [Enter]", each line ended,
// and exit status 1. No console input is given: a pause would meet its end and report it.
TEST(CommandLine, ErrorEndsGoToStandardErrorWithoutAPause) {
  struct Case {
    const char* what;
    void (*prepare)(const ScratchFolder&);
    std::string err;
  };
  const std::string fault2 = "quake\\fault2" + kSpectrumName;
  const std::string case2 = "quake\\case2" + kWaveformName;
  const Case cases[] = {
      {"E1", [](const ScratchFolder& f) { fs::remove(f.path() / "def.csv"); }, "def.csv not exist !\r\n"},
      {"E2", [](const ScratchFolder& f) { edit_definition(f, "2,3\r\n", "2,22\r\n"); },
       "Fault number or Case number Error !\r\n"},
      {"E3", [](const ScratchFolder& f) { edit_definition(f, "2,quake\\fault2", "3,quake\\fault2"); },
       "Fault data line no.\r\n2\r\nError !\r\n"},
      {"E4", [](const ScratchFolder& f) { edit_definition(f, "2,quake\\fault2", "1,quake\\fault2"); },
       "Fault data no.\r\n2\r\n not exist !\r\n"},
      {"E5", [](const ScratchFolder& f) { edit_definition(f, "2,quake\\case2", "4,quake\\case2"); },
       "Case data line no.\r\n3\r\nError !\r\n"},
      {"E6", [](const ScratchFolder& f) { edit_definition(f, "2,quake\\case2", "1,quake\\case2"); },
       "Case data no.\r\n2\r\n not exist !\r\n"},
      {"E7", [](const ScratchFolder& f) { fs::remove(f.path() / "quake/fault2" / kSpectrumHost); },
       fault2 + " not exist !\r\n"},
      {"E8", [](const ScratchFolder& f) { fs::remove(f.path() / "quake/case2" / kWaveformHost); },
       case2 + " not exist !\r\n"},
      {"E9", [](const ScratchFolder& f) { f.write(std::string("quake/case2/") + kWaveformHost, "100001,0.02\r\n1\r\n"); },
       case2 + " too many samples !\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ScratchFolder folder;
    DataSet::small().write_to(folder);
    for (const char* name : kResultFiles) folder.write(name, std::string("old ") + name);
    c.prepare(folder);
    const auto before = folder.snapshot();
    const RunResult r = run_with_arguments(folder.path(), {"def.csv"});
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, c.err);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(folder.snapshot(), before);
  }
}

// The argument is the name, all of it: no free-form rules, no 40-byte cut.
TEST(CommandLine, NamesAreTakenWhole) {
  ScratchFolder folder;
  DataSet::small().write_to(folder);
  const std::string long_folder = "a folder whose name alone is longer than forty bytes";
  const std::string odd = "sub, dir/def 1, v2.csv";
  const std::string japanese = "定義 ファイル,第1版.csv";
  for (const std::string& name : {long_folder + "/def.csv", odd, japanese}) {
    folder.write(name, folder.read("def.csv"));
  }
  const std::string absolute = testing_support::program_path(folder.path() / long_folder / "def.csv");
  ASSERT_GT(absolute.size(), 40u);
  for (const std::string& name : {absolute, odd, japanese}) {
    SCOPED_TRACE(name);
    for (const char* result : kResultFiles) fs::remove(folder.path() / result);
    const RunResult r = run_with_arguments(folder.path(), {name});
    EXPECT_EQ(r.err, "");
    ASSERT_EQ(r.status, 0);
    for (const char* result : kResultFiles) EXPECT_TRUE(fs::exists(folder.path() / result)) << result;
  }
  // A name that does not exist is quoted whole, as the program has it (Shift-JIS).
  for (const std::string& missing : {absolute + ".missing", std::string("no such, file.csv"), std::string("存在しない 定義.csv")}) {
    SCOPED_TRACE(missing);
    const RunResult r = run_with_arguments(folder.path(), {missing});
    EXPECT_EQ(r.err, sjis(missing) + " not exist !\r\n");
    EXPECT_EQ(r.status, 1);
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
  const std::string deep_sjis = testing_support::program_path(deep) + "\\";
  for (std::size_t at = def.find(",quake"); at != std::string::npos; at = def.find(",quake", at + 1)) {
    def.insert(at + 1, deep_sjis);
  }
  folder.write((deep / "def.csv").string(), def);
  const std::string absolute = testing_support::program_path(folder.path() / deep / "def.csv");
  ASSERT_GT(absolute.size(), 300u);
  const RunResult r = run_with_arguments(folder.path(), {absolute});
  EXPECT_EQ(r.err, "");
  ASSERT_EQ(r.status, 0);
  for (const char* name : kResultFiles) EXPECT_TRUE(fs::exists(folder.path() / name)) << name;
}

std::string usage_error(gm::CommandLine::Problem problem, const std::string& argument) {
  return sjis(gm::problem_text(problem)) + argument + "\r\n" + sjis(gm::usage_text());
}

TEST(CommandLine, OptionsAndCommandLineErrors) {
  using Problem = gm::CommandLine::Problem;
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
      {{"--report", "-h"}, help, "", 0},
      {{"--version"}, version, "", 0},
      {{"-V"}, version, "", 0},
      {{"--bogus"}, "", usage_error(Problem::UnknownOption, "--bogus"), 3},
      {{"--bogus", "--help"}, "", usage_error(Problem::UnknownOption, "--bogus"), 3},
      {{"-x", "def.csv"}, "", usage_error(Problem::UnknownOption, "-x"), 3},
      {{"--Report"}, "", usage_error(Problem::UnknownOption, "--Report"), 3},
      {{"a.csv", "b.csv"}, "", usage_error(Problem::SecondFile, "b.csv"), 3},
      {{"-def.csv"}, "", usage_error(Problem::UnknownOption, "-def.csv"), 3},
      {{"--", "-def.csv"}, "", "", 0},
      {{"--", "--help"}, "", "--help not exist !\r\n", 1},
  };
  ScratchFolder folder;
  DataSet::small().write_to(folder);
  folder.write("-def.csv", folder.read("def.csv"));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arguments.front() + (c.arguments.size() > 1 ? " " + c.arguments[1] : ""));
    const RunResult r = run_with_arguments(folder.path(), c.arguments);
    EXPECT_EQ(r.out, c.out);
    EXPECT_EQ(r.err, c.err);
    EXPECT_EQ(r.status, c.status);
  }
}

}  // namespace
