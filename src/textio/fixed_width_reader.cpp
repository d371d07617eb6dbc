// Reading records laid out in fixed-width fields.
#include <algorithm>
#include <cstring>

#include "textio/number_parse.hpp"
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

int RecordReader::read_fixed_width(FieldLayout layout, std::span<const Item> items) {
  int status = begin_record();
  if (status != kStatusOk) return fail(status, items.empty() ? 0 : 1);
  if (layout.empty()) {
    end_statement();
    return status;
  }
  const std::size_t width = pass_width(layout);
  std::string_view record = record_window(width);
  std::size_t cursor = 0;
  std::size_t d_index = 0;
  int d_used = 0;
  for (std::size_t i = 0; i < items.size(); ++i) {
    const Item& item = items[i];
    if (d_index == layout.size()) {  // layout used up: it starts again on a new record
      end_statement();
      status = begin_record();
      if (status != kStatusOk) return fail(status, i + 1);
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
    if (d.kind != FieldDescriptor::Kind::A) {
      // A comma inside a numeric field ends it early and is consumed with it.
      const std::size_t comma = field.find(',');
      if (comma != std::string_view::npos) {
        cursor -= take - comma - 1;
        field = field.substr(0, comma);
      }
    }
    status = store_field(d, item, field);
    if (status != kStatusOk) {
      mark_value(pos_ + field_start);
      fail(status, i + 1);
      break;
    }
  }
  end_statement();
  return status;
}

}  // namespace textio
