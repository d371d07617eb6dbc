// GMGATHER_ENCODING: the command-line form writes UTF-8 into pipes and files when asked,
// on both streams; the dialogue keeps its Shift-JIS bytes whatever the setting says, and a
// setting the program does not know is named on standard error and changes nothing.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "driver/command_line.hpp"
#include "driver/program.hpp"
#include "support/cp932.hpp"
#include "support/data_set.hpp"
#include "support/process.hpp"

namespace {

using testing_support::DataSet;
using testing_support::RunResult;
using testing_support::ScratchFolder;
using testing_support::to_cp932;

RunResult run_with(const ScratchFolder& folder, const std::string& setting, const std::vector<std::string>& arguments,
                   const std::string& input = "") {
  std::vector<std::string> environment;
  if (!setting.empty()) environment.push_back("GMGATHER_ENCODING=" + setting);
  return testing_support::run_program(GMGATHER_EXE, folder.path(), input, 0, testing_support::launcher(), arguments,
                                      {}, environment);
}

TEST(OutputEncoding, SettingsAreReadAsDocumented) {
  struct Case {
    const char* setting;
    gm::OutputEncoding want;
    bool noted;
  };
  const Case cases[] = {
      {nullptr, gm::OutputEncoding::ShiftJis, false}, {"", gm::OutputEncoding::ShiftJis, false},
      {"utf-8", gm::OutputEncoding::Utf8, false},     {"UTF-8", gm::OutputEncoding::Utf8, false},
      {"Utf8", gm::OutputEncoding::Utf8, false},      {"shift_jis", gm::OutputEncoding::ShiftJis, false},
      {"SJIS", gm::OutputEncoding::ShiftJis, false},  {"utf-16", gm::OutputEncoding::ShiftJis, true},
      {"utf-8 ", gm::OutputEncoding::ShiftJis, true}, {"u", gm::OutputEncoding::ShiftJis, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.setting == nullptr ? "(unset)" : c.setting);
    std::string note;
    EXPECT_EQ(gm::output_encoding(c.setting, &note), c.want);
    EXPECT_EQ(note.empty(), !c.noted);
    if (c.noted) {
      EXPECT_EQ(note.find(std::string("GMGATHER_ENCODING=") + c.setting + " is neither"), 10u);
    }
  }
}

// Each stream, each form: the bytes as written, converted only where the setting and the
// form both ask for it.
TEST(OutputEncoding, CommandLineFormWritesUtf8IntoPipesTheDialogueKeepsShiftJis) {
  ScratchFolder folder;
  DataSet::small().write_to(folder);
  folder.write("quake/case2/" + std::string(testing_support::kWaveformHost), "2,0.01\r\n10 -10\r\n");
  const std::string missing = "定義 ファイル.csv";
  // The path the host opened, so that an editor can open it (the first finding: case 1's
  // short record): slashes on Linux, the definition file's backslashes on Windows (the
  // program under test runs through Wine when it has a launcher).
  const std::string sep = testing_support::launcher().empty() ? "/" : "\\";
  const std::string check_line = "quake" + sep + "case1" + sep + "加速度波形.acc:1: warning: ";
  struct Case {
    const char* what;
    std::string setting;
    std::vector<std::string> arguments;
    std::string input;
    std::string out_starts, err;  // UTF-8 text; compared as the bytes the form should give
    bool utf8;
  };
  const Case cases[] = {
      {"error message, asked for UTF-8", "utf-8", {missing}, "", "", missing + " not exist !\r\n", true},
      {"error message, no setting", "", {missing}, "", "", missing + " not exist !\r\n", false},
      {"error message, an unknown setting", "latin1", {missing}, "", "",
       "gmgather: GMGATHER_ENCODING=latin1 is neither utf-8 nor shift_jis; writing Shift-JIS\r\n" + missing +
           " not exist !\r\n",
       false},
      {"the check's findings on standard output", "UTF-8", {"--check", "def.csv"}, "", check_line, "", true},
      {"the check's findings, no setting", "", {"--check", "def.csv"}, "", check_line, "", false},
      {"the help", "utf8", {"--help"}, "", gm::help_text(), "", true},
      {"the dialogue keeps its bytes", "utf-8", {}, "nothing.csv\n\n",
       "震源断層/ケースフォルダ定義ファイル:nothing.csv not exist ! [Enter]", "", false},
      {"the dialogue with an option keeps them too", "utf-8", {"--report"}, "nothing.csv\n\n",
       "震源断層/ケースフォルダ定義ファイル:nothing.csv not exist ! [Enter]", "", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const RunResult r = run_with(folder, c.setting, c.arguments, c.input);
    const std::string want_out = c.utf8 ? c.out_starts : to_cp932(c.out_starts);
    EXPECT_EQ(r.out.substr(0, want_out.size()), want_out);
    EXPECT_EQ(r.err, c.utf8 ? c.err : to_cp932(c.err));
  }
}

// A byte of a folder path that is not Shift-JIS must not reach a UTF-8 reader as it is.
TEST(OutputEncoding, BytesThatAreNotShiftJisBecomeReplacementCharacters) {
  ScratchFolder folder;
  DataSet::small().write_to(folder);
  std::string def = folder.read("def.csv");
  def.replace(def.find("quake\\fault1"), 12, "quake\xA0" "fault1");
  folder.write("def.csv", def);
  const RunResult r = run_with(folder, "utf-8", {"def.csv"});
  EXPECT_EQ(r.err, "quake\uFFFDfault1\\Velmora長周期.csv not exist !\r\n");
  EXPECT_EQ(r.status, 1);
}

}  // namespace
