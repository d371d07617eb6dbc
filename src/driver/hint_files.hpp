#pragma once
// What the hints look at in the files of a run that ended in error: the start of a file,
// its encoding, its first lines, and the diagnoses that need more than one file.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace gm::detail {

// The first bytes of a file (enough for a spectrum table's header and rows), or nothing
// when it cannot be opened or read.
std::optional<std::string> peek(std::string_view sjis_path);

enum class Encoding {
  Plain,         // Shift-JIS or ASCII, as the program reads it
  Utf8,          // valid UTF-8 with characters beyond ASCII, without a byte-order mark
  Utf8WithMark,  // begins with EF BB BF
  Utf16,         // begins with a UTF-16 byte-order mark, or a quarter of its bytes are NUL
};
// encoding_of("\xEF\xBB\xBF" "1500,0.02") -> Utf8WithMark; encoding_of("t\r\n1,\xE6\x96\xAD") -> Utf8;
// encoding_of("t\r\n1,\x92\x66") -> Plain (Shift-JIS that is no UTF-8).
Encoding encoding_of(std::string_view bytes);

// Up to `count` lines from the start, without their LF and a CR before it.
std::vector<std::string_view> first_lines(std::string_view bytes, std::size_t count);
// The words of a line, separated by blanks and tabs.
std::vector<std::string_view> words(std::string_view line);
// The text before the first comma, without blanks around it.
std::string_view first_field(std::string_view line);

// A number as a field holds one: "-1.5", "2", "1.0E+03", "3." ("1,5", "1..2", "" are not).
bool is_number(std::string_view text);
// Digits only, after an optional sign.
bool is_whole_number(std::string_view text);
// A line of a spectrum table's data: at least two comma-separated fields, the first two
// numbers (a period and its frequency, or the first two columns).
bool is_data_row(std::string_view line);

// A name as one would type it after "gmgather --check": in quotes when it holds a blank.
std::string as_argument(std::string_view name);

// E2: what line 2 of the definition file holds against the limits.
std::string counts_hint(std::string_view definition_file, std::string_view bytes);

// E7 and E8: why the file at `path` (a folder path, then the file's fixed name) did not
// open, as far as the definition file and the folder tell; "" when they tell nothing.
std::string not_opened_hint(std::string_view definition_file, std::string_view path);

}  // namespace gm::detail
