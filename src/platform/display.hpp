#pragma once
// What the report page tells about the run's host: Shift-JIS text turned into UTF-8 for
// display, the working folder and the local date and time. These only describe the run
// to a reader, so none of them can fail it: what the host cannot spell shows as U+FFFD.
#include <string>
#include <string_view>

namespace platform {

// Shift-JIS (CP932) bytes as UTF-8 text. A character that is not CP932 (a stray byte, a
// lead byte without its partner, an unassigned pair) becomes one U+FFFD, and the text
// goes on after it:
//   display_text("\x95\x5c")      -> "表"
//   display_text("a\x81 b")       -> "a\uFFFD b"    (0x81 needs a trail byte; ' ' is none)
//   display_text("\x85\x40")      -> "\uFFFD"       (a well-formed pair that names nothing)
std::string display_text(std::string_view sjis);

// The current working folder as the host names it, in UTF-8 (a POSIX name that is not
// UTF-8 shows U+FFFD where it fails); empty when the host cannot tell.
std::string working_folder();

// The host's local date and time, to the second.
struct LocalTime {
  int year = 0;
  int month = 0;  // 1-12
  int day = 0;    // 1-31
  int hour = 0;
  int minute = 0;
  int second = 0;
};
LocalTime local_time();

}  // namespace platform
