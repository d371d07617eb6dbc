// How the program decides on a console window of its own: only a run given its definition
// file, alone on its console (a file dropped on the program), enters the file's folder and
// ends with the line that names the result folder and a wait for Enter; whatever else it
// was given there, it waits too, so the window does not close before it can be read.
#include "driver/program.hpp"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "driver/command_line.hpp"
#include "driver/messages.hpp"
#include "driver/run.hpp"
#include "support/fake_console.hpp"
#include "support/tables.hpp"

namespace {

using testing_support::FakeConsole;

// A session whose console the test decides; `enter_folder_of` reports `full_path`.
class FakeSession : public platform::Session {
 public:
  bool alone_on_console() override { return alone; }
  std::optional<std::string> enter_folder_of(std::string_view sjis_path) override {
    entered.emplace_back(sjis_path);
    return full_path;
  }
  std::string working_folder() override { return "C:\\start"; }

  bool alone = false;
  std::optional<std::string> full_path;
  std::vector<std::string> entered;
};

std::string closing_line(const std::string& folder) {
  return platform::shift_jis_from_utf8(gm::kResultFolderLine) + folder + " [Enter]";
}

TEST(ConsoleWindowOfItsOwn, OnlyADefinitionFileAloneOnItsConsoleEntersItsFolderAndWaits) {
  struct Case {
    const char* what;
    std::vector<std::string> arguments;
    bool alone;
    std::optional<std::string> full_path;
    std::string out, err;
    std::vector<std::string> entered;
    int status;
    bool waits;  // reads one line: the window's wait, or the pause of the prompt's message
  };
  const std::string missing = "missing.csv";
  const std::string full = "D:\\quake\\missing.csv";
  const Case cases[] = {
      {"dropped: the full path, then the closing line", {missing}, true, full,
       closing_line("C:\\start"), full + " not exist !\r\n", {missing}, 1, true},
      {"dropped, the folder refused: stays, says where", {missing}, true, std::nullopt,
       closing_line("C:\\start"), missing + " not exist !\r\n", {missing}, 1, true},
      {"from a shell", {missing}, false, full, "", missing + " not exist !\r\n", {}, 1, false},
      {"double-clicked: the prompt as always", {}, true, full,
       std::string(gm::kPrompt) + missing + " not exist ! [Enter]", "", {}, 1, true},
      {"two files dropped: the error, and a wait", {"a.csv", "b.csv"}, true, full, "",
       platform::shift_jis_from_utf8(gm::problem_text(gm::CommandLine::Problem::SecondFile)) + "b.csv\r\n" +
           platform::shift_jis_from_utf8(gm::usage_text()),
       {}, 3, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FakeConsole console(c.arguments.empty() ? missing + "\n\nmore" : "\nmore");
    FakeSession session;
    session.alone = c.alone;
    session.full_path = c.full_path;
    const int status = gm::run_program(console, session, testing_support::fresh_tables(), c.arguments, parallel::Pool(1));
    EXPECT_EQ(status, c.status);
    EXPECT_EQ(console.out, c.out);
    EXPECT_EQ(console.err, c.err);
    EXPECT_EQ(session.entered, c.entered);
    EXPECT_EQ(console.unread_input(), c.waits ? "more" : "\nmore");
  }
}

}  // namespace
