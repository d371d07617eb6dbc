#pragma once
// A run's error end as the console or standard error shows it, a piece to a line, on the
// one line a check lists it: the pieces joined as a check joins them, the closing
// " [Enter]" left out. A report line stays as it is; a hint after the message (the
// command-line form's "gmgather: hint: ..." line) is no part of it.
#include <string>
#include <string_view>

#include "check/findings.hpp"

namespace testing_support {

inline std::string error_end_on_one_line(std::string_view shown) {
  std::string text;
  while (!shown.empty()) {
    const std::size_t end = shown.find('\n');
    std::string_view piece = shown.substr(0, end);
    shown.remove_prefix(end == std::string_view::npos ? shown.size() : end + 1);
    if (piece.ends_with('\r')) piece.remove_suffix(1);
    if (piece.starts_with("gmgather: hint: ")) continue;
    text = check::join_message({text, piece});
  }
  return text;
}

}  // namespace testing_support
