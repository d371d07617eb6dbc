// The arguments on a POSIX host: the terminal's UTF-8 in Shift-JIS, other bytes kept.
#include "platform/process.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/cp932.hpp"

namespace {

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

}  // namespace
