// The process on a POSIX host: arguments in Shift-JIS, never alone on a console, and the
// working folder entered and named in Shift-JIS.
#include "platform/process.hpp"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/cp932.hpp"
#include "support/process.hpp"

namespace {

namespace fs = std::filesystem;
using testing_support::to_cp932;

TEST(ProgramArguments, AreTheTerminalsUtf8InShiftJisWithOtherBytesKept) {
  std::vector<std::string> given = {
      "gmgather", "定義 ファイル,1.csv", "sub/def.csv", "\xe9t\xe9.csv", "é.csv", "\xe5\xae", ""};
  std::vector<char*> argv;
  for (std::string& a : given) argv.push_back(a.data());
  const std::vector<std::string> want = {
      to_cp932("定義 ファイル,1.csv"),
      "sub/def.csv",
      "\xe9t\xe9.csv",  // not UTF-8 (Latin-1): kept
      "\xc3\xa9.csv",   // UTF-8 without a Shift-JIS spelling: kept
      "\xe5\xae",       // a character cut short: kept
      "",
  };
  EXPECT_EQ(platform::program_arguments(static_cast<int>(argv.size()), argv.data()), want);
}

class WorkingFolder : public testing::Test {
 protected:
  void SetUp() override {
    start_ = fs::current_path();
    fs::create_directories(scratch_.path() / "定義" / "sub");
    fs::current_path(scratch_.path());
  }
  void TearDown() override { fs::current_path(start_); }

  std::string sjis_root() const { return to_cp932(scratch_.path().string()); }

  testing_support::ScratchFolder scratch_;
  fs::path start_;
};

TEST_F(WorkingFolder, IsNeverAloneOnAConsole) { EXPECT_FALSE(platform::host_session().alone_on_console()); }

TEST_F(WorkingFolder, IsEnteredByTheFilesPathWhichStillFindsTheFile) {
  platform::Session& session = platform::host_session();
  struct Case {
    std::string path;  // Shift-JIS
    std::string full;
    fs::path folder;   // where the run then works
  };
  const std::string kanji = to_cp932("定義");
  const Case cases[] = {
      {"def.csv", sjis_root() + "/def.csv", scratch_.path()},
      {kanji + "\\sub\\def.csv", sjis_root() + "/" + kanji + "\\sub\\def.csv", scratch_.path() / "定義" / "sub"},
      {sjis_root() + "/" + kanji + "/d.csv", sjis_root() + "/" + kanji + "/d.csv", scratch_.path() / "定義"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    fs::current_path(scratch_.path());
    EXPECT_EQ(session.enter_folder_of(c.path), c.full);
    EXPECT_EQ(fs::current_path(), c.folder);
    EXPECT_EQ(session.working_folder(), to_cp932(c.folder.string()));
  }
  fs::current_path(scratch_.path());
  EXPECT_EQ(session.enter_folder_of("missing\\def.csv"), std::nullopt);
  EXPECT_EQ(fs::current_path(), scratch_.path());
}

}  // namespace
