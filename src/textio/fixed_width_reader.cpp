// Reading records laid out in fixed-width fields.
#include <algorithm>
#include <cstring>

#include "textio/number_parse.hpp"
#include "textio/reader_bytes.hpp"
#include "textio/record_reader.hpp"

namespace textio {
namespace {

std::size_t pass_width(FieldLayout layout) noexcept {
  std::size_t width = 0;
  for (const FieldDescriptor& d : layout) {
    width += static_cast<std::size_t>(d.width) * static_cast<std::size_t>(d.repeat);
  }
  return width;
}

// Stores one field of a fixed-width record in its item; a status other than kStatusOk
// when the field's kind and the item's do not match, or the number does not read.
int store_field(const FieldDescriptor& d, const Item& item, std::string_view field) {
  const auto w = static_cast<std::size_t>(d.width);
  switch (d.kind) {
    case FieldDescriptor::Kind::I: {
      if (item.kind != Item::Kind::Integer) return kErrFormatMismatch;
      const IntResult r = parse_integer_field(field);
      if (r.ec != NumberError::None) return kErrInputConversion;
      *static_cast<std::int32_t*>(item.target) = r.value;
      return kStatusOk;
    }
    case FieldDescriptor::Kind::F: {
      if (item.kind != Item::Kind::Real) return kErrFormatMismatch;
      const RealResult r = parse_real_field(field, d.decimals);
      if (r.ec != NumberError::None) return kErrInputConversion;
      *static_cast<double*>(item.target) = r.value;
      return kStatusOk;
    }
    case FieldDescriptor::Kind::A: {
      if (item.kind != Item::Kind::Text) return kErrFormatMismatch;
      // The field is w bytes, blank-completed where the record ended; an item shorter
      // than the field keeps its last bytes, a longer one is padded with blanks.
      char* target = static_cast<char*>(item.target);
      const std::size_t skip = w > item.length ? w - item.length : 0;
      for (std::size_t i = 0; i < item.length; ++i) {
        const std::size_t at = skip + i;
        target[i] = (at < w && at < field.size()) ? field[at] : ' ';
      }
      return kStatusOk;
    }
  }
  return kStatusOk;
}

}  // namespace

// The first bytes of the current record, at most `want` of them (a longer record is cut:
// a layout pass never reaches further). A CR before the LF is not part of the record.
std::string_view RecordReader::record_window(std::size_t want) {
  if (end_ - pos_ <= want) ensure_window(want + 1);
  const char* p = buffer_.get() + pos_;
  const std::size_t avail = end_ - pos_;
  const std::size_t look = std::min(avail, want + 1);
  const void* lf = std::memchr(p, '\n', look);
  if (lf == nullptr) return {p, std::min(avail, want)};
  std::size_t n = static_cast<std::size_t>(static_cast<const char*>(lf) - p);
  if (n > 0 && p[n - 1] == '\r') --n;
  return {p, std::min(n, want)};
}

// Up to n bytes of the current record from its byte `at`, as far as the buffer holds them
// (the record window stops at the layout's width; an observer looks a little beyond it).
std::string_view RecordReader::record_bytes(std::size_t at, std::size_t n) const noexcept {
  if (pos_ + at >= end_) return {};
  const char* p = buffer_.get() + pos_ + at;
  const std::size_t look = std::min(n + 1, end_ - pos_ - at);
  std::size_t k = 0;
  while (k < look && p[k] != '\n') ++k;
  if (k < look && k > 0 && p[k - 1] == '\r') --k;  // the CR before the LF is no byte of the record
  return {p, std::min(k, n)};
}

// Tells the observer of the field buffer_[pos_ + start] of the record, cut as `field`,
// `next` the record's byte behind it (past the comma that ended it, if one did).
void RecordReader::tell_field(const FieldDescriptor& d, std::size_t item, std::string_view record,
                              std::size_t start, std::string_view field, bool by_comma, std::size_t next) {
  FieldCut cut;
  cut.place = place_at(pos_ + start);
  cut.item = static_cast<int>(item + 1);
  cut.numeric = d.kind != FieldDescriptor::Kind::A;
  cut.text = field;
  cut.present = start < record.size();
  cut.ended_by_comma = by_comma;
  if (cut.numeric && !by_comma && field.size() == static_cast<std::size_t>(d.width) && !field.empty() &&
      field.back() != ' ') {
    const std::string_view behind = record_bytes(next, kObservedRestBytes);
    if (!behind.empty() && behind[0] != ' ') {
      cut.full = true;
      cut.next = behind[0];
      std::size_t n = 0;
      while (n < behind.size() && !detail::ends_value(behind[n])) ++n;
      cut.rest = behind.substr(0, n);
    }
  }
  observer_->field(cut);
}

int RecordReader::read_fixed_width(FieldLayout layout, std::span<const Item> items) {
  int status = begin_record();
  if (status != kStatusOk) return fail(status, items.empty() ? 0 : 1);
  if (layout.empty()) {
    end_statement(false);
    return status;
  }
  const std::size_t width = pass_width(layout);
  // An observer is told of a value that runs on behind the last field: a little more of
  // the record is brought into the buffer for it.
  if (observer_ != nullptr) ensure_window(width + kObservedRestBytes + 2);
  std::string_view record = record_window(width);
  std::size_t cursor = 0;
  std::size_t d_index = 0;
  int d_used = 0;
  for (std::size_t i = 0; i < items.size(); ++i) {
    const Item& item = items[i];
    if (d_index == layout.size()) {  // layout used up: it starts again on a new record
      pos_ += cursor;  // what the record drops begins behind its last field
      end_statement(true);
      status = begin_record();
      if (status != kStatusOk) return fail(status, i + 1);
      if (observer_ != nullptr) ensure_window(width + kObservedRestBytes + 2);
      record = record_window(width);
      cursor = 0;
      d_index = 0;
      d_used = 0;
    }
    const FieldDescriptor& d = layout[d_index];
    if (++d_used >= d.repeat) {
      ++d_index;
      d_used = 0;
    }
    const std::size_t take = std::min(static_cast<std::size_t>(d.width), record.size() - cursor);
    const std::size_t field_start = cursor;
    std::string_view field = record.substr(cursor, take);
    cursor += take;
    bool by_comma = false;
    if (d.kind != FieldDescriptor::Kind::A) {
      // A comma inside a numeric field ends it early and is consumed with it.
      const std::size_t comma = field.find(',');
      if (comma != std::string_view::npos) {
        cursor -= take - comma - 1;
        field = field.substr(0, comma);
        by_comma = true;
      }
    }
    if (observer_ != nullptr) tell_field(d, i, record, field_start, field, by_comma, cursor);
    status = store_field(d, item, field);
    if (status != kStatusOk) {
      mark_value(pos_ + field_start);
      fail_field(status, i + 1, field);
      break;
    }
  }
  pos_ += cursor;
  end_statement(true);
  return status;
}

}  // namespace textio
