// What only the Windows host has: its command line, long paths, and the console question
// asked with no console at all.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/fs_win32.hpp"
#include "platform/process.hpp"
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
      {L"C:\\gm\\gmgather.exe\t \"D:\\quake data\\def.csv\"  ", {L"D:\\quake data\\def.csv"}},
      {L"g a,b c\\d\\", {L"a,b", L"c\\d\\"}},
      {L"g \"a b\" c d", {L"a b", L"c", L"d"}},
      {L"g \"ab\\\"c\" \"\\\\\" d", {L"ab\"c", L"\\", L"d"}},
      {L"g a\\\\\\b d\"e f\"g h", {L"a\\\\\\b", L"de fg", L"h"}},
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
      {L"rel\\..\\def.csv", L"rel\\..\\def.csv"},
      {L"C:\\d\\" + name + L".csv", L"C:\\d\\" + name + L".csv"},  // 259 characters
      {L"C:\\dd\\" + name + L".csv", L"\\\\?\\C:\\dd\\" + name + L".csv"},
      {L"C:/x/../dd/./" + name + L".csv", L"\\\\?\\C:\\dd\\" + name + L".csv"},
      {L"\\\\server\\share\\" + name, L"\\\\?\\UNC\\server\\share\\" + name},
      {L"\\\\?\\C:\\dd\\" + name + L".csv", L"\\\\?\\C:\\dd\\" + name + L".csv"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path.size());
    EXPECT_EQ(platform::long_path_form(c.path), c.form);
  }
}

TEST(ConsoleProcesses, NoConsoleIsNotAConsoleOfItsOwn) {
  // The tests run with pipes for standard streams and no console.
  EXPECT_FALSE(platform::host_session().alone_on_console());
}

}  // namespace
