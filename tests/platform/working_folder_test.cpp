// The working folder the report page names: the folder the run works in, as the host
// spells it (UTF-8 on Linux).
#include "platform/display.hpp"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "support/process.hpp"

namespace {

TEST(WorkingFolder, IsTheFolderTheRunWorksIn) {
  testing_support::ScratchFolder scratch;
  const std::filesystem::path japanese = scratch.path() / "作業フォルダ";
  std::filesystem::create_directory(japanese);
  char previous[4096];
  ASSERT_NE(getcwd(previous, sizeof previous), nullptr);
  ASSERT_EQ(chdir(japanese.c_str()), 0);
  const std::string shown = platform::working_folder();
  ASSERT_EQ(chdir(previous), 0);
  EXPECT_EQ(shown, std::filesystem::canonical(japanese).string());
}

// Bytes that no CP932 table maps on this host (Windows maps 0x80, 0xA0 and 0xFD-0xFF to
// U+0080 and private-use characters; the page replaces U+0080 itself).
TEST(DisplayText, StrayBytesOfTheHostTable) {
  const std::string mark = "\xEF\xBF\xBD";
  EXPECT_EQ(platform::display_text("\x80\xa0\xfd"), mark + mark + mark);
}

}  // namespace
