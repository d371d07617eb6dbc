#pragma once
// The line a command-line run writes on standard error after its end when its inputs held
// warnings, and the warnings the small data set always holds.
#include <string>

namespace testing_support {

// The small data set's records of 3, 2 and 1 samples: each shorter than the fewest a
// record may hold without a warning.
inline constexpr int kSmallSetWarnings = 3;

// "gmgather: 3 warning(s) in the inputs; gmgather --check def.csv lists them", ended;
// `check_arguments` as the line shows them after "--check ".
inline std::string warnings_line(int warnings, const std::string& check_arguments) {
  return "gmgather: " + std::to_string(warnings) + " warning(s) in the inputs; gmgather --check " + check_arguments +
         " lists them\r\n";
}

// A definition file's name as the line shows it (the argument in Shift-JIS), between double
// quotes when it holds a blank.
inline std::string named(const std::string& sjis_name) {
  return sjis_name.find_first_of(" \t") == std::string::npos ? sjis_name : "\"" + sjis_name + "\"";
}

// The short-record warnings among a check's listed lines.
inline int short_record_warnings(const std::string& listed) {
  int n = 0;
  for (std::size_t at = listed.find("(2 s at 0.02 s)"); at != std::string::npos;
       at = listed.find("(2 s at 0.02 s)", at + 1)) {
    ++n;
  }
  return n;
}

}  // namespace testing_support
