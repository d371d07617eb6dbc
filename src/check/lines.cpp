#include "check/lines.hpp"

#include <algorithm>
#include <cstring>

namespace check {

bool LineReader::next(Line& line) noexcept {
  if (offset_ >= bytes_.size()) return false;
  const std::size_t lf = bytes_.find('\n', offset_);
  const std::size_t end = lf == std::string_view::npos ? bytes_.size() : lf;
  std::size_t text_end = end;
  if (lf != std::string_view::npos && text_end > offset_ && bytes_[text_end - 1] == '\r') --text_end;
  line = Line{bytes_.substr(offset_, text_end - offset_), number_, offset_};
  offset_ = lf == std::string_view::npos ? bytes_.size() : lf + 1;
  ++number_;
  return true;
}

Line line_at(std::string_view bytes, int number) noexcept {
  std::size_t offset = 0;
  for (int n = 1; n < number; ++n) {
    const void* lf = std::memchr(bytes.data() + offset, '\n', bytes.size() - offset);
    if (lf == nullptr) return {};
    offset = static_cast<std::size_t>(static_cast<const char*>(lf) - bytes.data()) + 1;
  }
  LineReader lines(bytes, offset, number);
  Line line;
  return number >= 1 && lines.next(line) ? line : Line{};
}

void cut_numeric_fields(std::string_view record, std::size_t width, std::span<NumericField> fields) noexcept {
  std::size_t cursor = 0;
  for (NumericField& field : fields) {
    field = NumericField{};
    field.start = cursor;
    field.present = cursor < record.size();
    const std::size_t take = std::min(width, record.size() - cursor);
    field.text = record.substr(cursor, take);
    cursor += take;
    const std::size_t comma = field.text.find(',');
    if (comma != std::string_view::npos) {
      cursor = field.start + comma + 1;
      field.text = field.text.substr(0, comma);
      field.ended_by_comma = true;
    } else if (take == width && cursor < record.size() && record[cursor] != ' ' &&
               field.text.back() != ' ') {
      field.full = true;
      field.next = record[cursor];
    }
  }
}

std::string_view trim_blanks(std::string_view field) noexcept {
  const std::size_t first = field.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  return field.substr(first, field.find_last_not_of(' ') - first + 1);
}

bool has_blank_inside(std::string_view field) noexcept {
  return trim_blanks(field).find(' ') != std::string_view::npos;
}

bool ends_free_form_value(char c) noexcept {
  return c == ' ' || c == '\t' || c == ',' || c == '/' || c == '\r' || c == '\n';
}

std::string_view free_form_value(std::string_view text, std::size_t at) noexcept {
  if (at >= text.size()) return {};
  std::size_t end = at;
  while (end < text.size() && !ends_free_form_value(text[end])) ++end;
  return text.substr(at, end - at);
}

std::size_t count_free_form_values(std::string_view bytes) noexcept {
  std::size_t count = 0;
  bool in_value = false;
  for (char c : bytes) {
    const bool ends = ends_free_form_value(c);
    count += static_cast<std::size_t>(!ends && !in_value);
    in_value = !ends;
  }
  return count;
}

}  // namespace check
