// What only the Windows host has: its command line and long paths.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/fs_win32.hpp"
#include "platform/process_win32.hpp"

namespace {

TEST(SplitCommandLine, FollowsTheRuntimesRules) {
  struct Case {
    const wchar_t* line;
    std::vector<std::wstring> arguments;
  };
  const Case cases[] = {
      {L"gmgather.exe", {}},
      {L"\"C:\\Program Files\\gm\\gmgather.exe\" def.csv", {L"def.csv"}},
      {L"g a,b\t c\\d\\", {L"a,b", L"c\\d\\"}},
      {L"g \"ab\\\"c\" \"\\\\\" d", {L"ab\"c", L"\\", L"d"}},
      {L"g a\\\\\\\"b c d", {L"a\\\"b", L"c", L"d"}},
      {L"g a\\\\\\\\\"b c\" d e", {L"a\\\\b c", L"d", L"e"}},
      {L"g a\"b\"\" c d", {L"ab\"", L"c", L"d"}},
      {L"g \"\" \"unclosed b", {L"", L"unclosed b"}},
      {L"\"C:\\a b\\g.exe\"x y", {L"y"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(c.line)));
    EXPECT_EQ(platform::split_command_line(c.line), c.arguments);
  }
}

TEST(LongPathForm, OnlyForFullPathsOfMaxPathOrMore) {
  const std::wstring name(250, L'n');
  struct Case {
    std::wstring path, form;
  };
  const Case cases[] = {
      {L"C:\\short\\def.csv", L"C:\\short\\def.csv"},
      {L"C:\\d\\" + name + L".csv", L"C:\\d\\" + name + L".csv"},  // 259 characters
      {L"C:\\dd\\" + name + L".csv", L"\\\\?\\C:\\dd\\" + name + L".csv"},
      {L"C:/x/../dd/./" + name + L".csv", L"\\\\?\\C:\\dd\\" + name + L".csv"},
      {L"\\\\server\\share\\" + name, L"\\\\?\\UNC\\server\\share\\" + name},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path.size());
    EXPECT_EQ(platform::long_path_form(c.path), c.form);
  }
}

}  // namespace
