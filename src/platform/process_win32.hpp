#pragma once
// Exposed for tests of the Windows build.
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// The arguments of a Windows command line after the program's name, split as the C
// runtime splits them for argv: blanks and TABs separate; "..." groups; 2n backslashes
// before a '"' give n and the '"' quotes, 2n+1 give n and a literal '"'; other backslashes
// are literal; "" inside quotes is a literal '"'. The program's name ends at the first
// blank, or at its closing '"', and knows no escapes. Examples, arguments in [ ]:
//   prog "a b" c          ->  [a b] [c]
//   prog a\\\"b "c\\"      ->  [a\"b] [c\]
//   prog "C:\x y\d.csv"    ->  [C:\x y\d.csv]
//   prog ""               ->  [] (one empty argument)
std::vector<std::wstring> split_command_line(std::wstring_view line);

}  // namespace platform
