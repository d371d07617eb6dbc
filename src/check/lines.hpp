#pragma once
// The bytes of an input file as the record layer cuts them: lines, the numeric fields of a
// fixed-width record, free-form values. The scans of a check look at the bytes this way,
// so that what they point at is what the reader took.
#include <cstddef>
#include <span>
#include <string_view>

namespace check {

// One record: the bytes of a line without its LF and one CR before the LF.
struct Line {
  std::string_view text;
  int number = 0;          // 1-based
  std::size_t offset = 0;  // of its first byte in the file
};

// The lines of `bytes` from `offset` on, the first of them numbered `number`. A last line
// without LF is a line; nothing after a final LF is.
class LineReader {
 public:
  explicit LineReader(std::string_view bytes, std::size_t offset = 0, int number = 1) noexcept
      : bytes_(bytes), offset_(offset), number_(number) {}
  bool next(Line& line) noexcept;

 private:
  std::string_view bytes_;
  std::size_t offset_;
  int number_;
};

// Line `number` (1-based) of the bytes; an empty line numbered 0 when there is none.
Line line_at(std::string_view bytes, int number) noexcept;

// A numeric field (Iw, Fw.d) of a fixed-width record.
struct NumericField {
  std::string_view text;    // its bytes, without the comma that ended it
  std::size_t start = 0;    // 0-based byte of the record where it starts
  bool present = false;     // it starts before the record's end (else it is empty)
  bool ended_by_comma = false;
  // It took all its bytes, no comma among them, and the record goes on right behind it
  // with neither a blank nor its end: a value cut in two, or a comma that makes the next
  // field an empty one.
  bool full = false;
  char next = 0;            // the byte right behind a full field
};

// Cuts fields.size() numeric fields of `width` bytes each from the record, as the
// fixed-width reader does: a comma within a field's bytes ends it and is consumed, and
// past the record's end every field is empty.
void cut_numeric_fields(std::string_view record, std::size_t width, std::span<NumericField> fields) noexcept;

// The field without the blanks around it.
std::string_view trim_blanks(std::string_view field) noexcept;
// Blanks between the field's other bytes, which a numeric field ignores: "40   2" -> 402.
bool has_blank_inside(std::string_view field) noexcept;

// Bytes that end a free-form value, in a check's eyes: blank, TAB, comma, slash, CR, LF.
bool ends_free_form_value(char c) noexcept;
// The free-form value that starts at `at` in the text (up to the byte that ends it).
std::string_view free_form_value(std::string_view text, std::size_t at) noexcept;
// How many free-form values the bytes hold.
std::size_t count_free_form_values(std::string_view bytes) noexcept;

}  // namespace check
