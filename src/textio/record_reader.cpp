#include "textio/record_reader.hpp"

#include <algorithm>
#include <cstring>
#include <limits>

#include "textio/number_parse.hpp"
#include "textio/reader_bytes.hpp"

namespace textio {
namespace {

using detail::ends_value;
using detail::is_digit;
using detail::is_quote;
using detail::number_status;

// Fits a text value to a text item of item_length bytes: a shorter value is padded with
// blanks, a longer one keeps its first bytes.
void fit_text(char* target, std::size_t item_length, std::string_view value) noexcept {
  const std::size_t n = std::min(item_length, value.size());
  if (n > 0) std::memcpy(target, value.data(), n);
  std::memset(target + n, ' ', item_length - n);
}

}  // namespace

RecordReader::RecordReader(int unit, std::size_t buffer_size)
    : unit_(unit),
      buffer_(new char[std::max<std::size_t>(buffer_size, 8 * kMaxValueLength)]),
      capacity_(std::max<std::size_t>(buffer_size, 8 * kMaxValueLength)),
      value_(new char[kMaxValueLength + 1]) {
  fault_text_.reserve(kFaultTextBytes);  // so that noting a fault never allocates
}

void RecordReader::attach(ByteSource& source, std::string_view name) {
  source_ = &source;
  observer_ = nullptr;
  name_.assign(name);
  pos_ = end_ = 0;
  at_end_ = read_failed_ = after_value_ = start_told_ = false;
  start_have_ = 0;
  before_buffer_ = '\n';
  repeat_left_ = 0;
  discarded_ = line_start_ = value_column_ = value_offset_ = 0;
  lines_passed_ = value_line_ = 0;
  stop_line_ = fault_line_ = fault_column_ = fault_item_ = 0;
  fault_text_.clear();
}

void RecordReader::detach() noexcept {
  source_ = nullptr;
  pos_ = end_ = 0;
  at_end_ = true;
}

// Moves the unread bytes to the front and reads once more from the source. An
// interactive source gives what the user has typed so far, so this never loops.
bool RecordReader::fill() {
  if (at_end_ || source_ == nullptr) return false;
  if (pos_ > 0) {
    before_buffer_ = buffer_[pos_ - 1];
    discarded_ += pos_;
    std::memmove(buffer_.get(), buffer_.get() + pos_, end_ - pos_);
    end_ -= pos_;
    pos_ = 0;
  }
  if (end_ == capacity_) return false;
  const std::ptrdiff_t n = source_->read(buffer_.get() + end_, capacity_ - end_);
  if (n > 0) {
    const std::size_t from = end_;
    end_ += static_cast<std::size_t>(n);
    if (!start_told_ && observer_ != nullptr) note_start(from);
    return true;
  }
  if (n < 0) read_failed_ = true;
  at_end_ = true;
  if (!start_told_ && observer_ != nullptr) note_start(end_);
  return false;
}

// Keeps the source's first bytes as they come in, buffer_[from, end_) being new, and tells
// them once there are enough (or the source ended): a source may hand them over a byte at
// a time, each taken by a statement before the next comes.
void RecordReader::note_start(std::size_t from) {
  // An observer set after bytes were read would be told bytes from the middle.
  if (discarded_ + from != start_have_) {
    start_told_ = true;
    return;
  }
  const std::size_t n = std::min(end_ - from, kObservedStartBytes - start_have_);
  std::memcpy(start_.data() + start_have_, buffer_.get() + from, n);
  start_have_ += n;
  if (start_have_ < kObservedStartBytes && !at_end_) return;
  start_told_ = true;
  observer_->began({start_.data(), start_have_});
}

bool RecordReader::more() { return pos_ < end_ || (fill() && pos_ < end_); }

// The position has just passed an LF.
void RecordReader::pass_line_end() noexcept {
  ++lines_passed_;
  line_start_ = discarded_ + pos_;
}

// The value or field that begins at buffer_[at], in the current line, is being read.
void RecordReader::mark_value(std::size_t at) noexcept {
  value_line_ = lines_passed_;
  value_column_ = discarded_ + at - line_start_;
  value_offset_ = discarded_ + at;
}

namespace {
int to_int(std::int64_t n) noexcept {
  return static_cast<int>(std::clamp<std::int64_t>(n, 0, std::numeric_limits<int>::max()));
}
}  // namespace

int RecordReader::current_line() const noexcept { return to_int(lines_passed_ + 1); }

// buffer_[at], in the current line.
Place RecordReader::place_at(std::size_t at) const noexcept {
  return {current_line(), to_int(static_cast<std::int64_t>(std::min<std::uint64_t>(
                              discarded_ + at - line_start_, std::numeric_limits<int>::max() - 1)) + 1)};
}

// Notes where a statement failed and returns its status. `item` is the 1-based item that
// got no value (0: a statement without items). A value that did not read is placed at its
// first byte; the end of the data on the file's last line (0 for an empty file), since
// the line after a final LF is no line of the file.
int RecordReader::fail(int status, std::size_t item) noexcept {
  fault_item_ = to_int(static_cast<std::int64_t>(std::min<std::size_t>(item, std::numeric_limits<int>::max())));
  fault_text_.clear();
  if (status == kErrEndOfFile || status == kErrRead) {
    const std::uint64_t here = discarded_ + pos_;
    fault_line_ = to_int(here == 0 ? 0 : here == line_start_ ? lines_passed_ : lines_passed_ + 1);
    fault_column_ = 0;
    return status;
  }
  fault_line_ = to_int(value_line_ + 1);
  fault_column_ = to_int(static_cast<std::int64_t>(
      std::min<std::uint64_t>(value_column_, std::numeric_limits<int>::max() - 1)) + 1);
  // The value as it stands in the source, while the buffer still holds its first byte
  // (a quoted value that ran over a refill has left it behind).
  if (value_offset_ >= discarded_ && value_offset_ - discarded_ < end_) {
    const char* p = buffer_.get() + (value_offset_ - discarded_);
    const std::size_t look = std::min<std::size_t>(kFaultTextBytes, end_ - (value_offset_ - discarded_));
    std::size_t n = 0;
    while (n < look && !ends_value(p[n])) ++n;
    fault_text_.assign(p, n);
  }
  return status;
}

int RecordReader::fail_field(int status, std::size_t item, std::string_view field) noexcept {
  fail(status, item);
  fault_text_.assign(field.substr(0, kFaultTextBytes));
  return status;
}

// Makes at least `want` bytes from the position contiguous in the buffer, or fewer when
// the record (its LF) or the source ends before them.
void RecordReader::ensure_window(std::size_t want) {
  while (end_ - pos_ < want && !at_end_) {
    if (std::memchr(buffer_.get() + pos_, '\n', end_ - pos_) != nullptr) return;
    if (!fill()) return;
  }
}

int RecordReader::end_of_data_status() const noexcept {
  return read_failed_ ? kErrRead : kErrEndOfFile;
}

int RecordReader::begin_record() {
  repeat_left_ = 0;
  after_value_ = false;
  return more() ? kStatusOk : end_of_data_status();
}

void RecordReader::end_statement(bool tell) {
  repeat_left_ = 0;
  after_value_ = false;
  stop_line_ = current_line();
  if (tell && observer_ != nullptr) {
    observer_->dropped(pass_over(true));
    return;
  }
  for (;;) {
    const void* lf = std::memchr(buffer_.get() + pos_, '\n', end_ - pos_);
    if (lf != nullptr) {
      pos_ = static_cast<std::size_t>(static_cast<const char*>(lf) - buffer_.get()) + 1;
      pass_line_end();
      return;
    }
    pos_ = end_;
    if (!fill()) return;
  }
}

bool RecordReader::peek(std::size_t ahead, char& c) {
  while (end_ - pos_ <= ahead) {
    if (!fill()) return false;
  }
  c = buffer_[pos_ + ahead];
  return true;
}

int RecordReader::next_token(Token& token) {
  if (repeat_left_ > 0) {
    --repeat_left_;
    token = repeat_token_;
    return kStatusOk;
  }
  const int status = to_next_value();
  if (status != kStatusOk) return status;
  mark_value(pos_);
  const char c = buffer_[pos_];
  if (c == ',') {
    ++pos_;
    token = Token{Token::Kind::Null, {}, false};
    return kStatusOk;
  }
  if (c == '/') {
    token = Token{Token::Kind::Slash, {}, false};
    return kStatusOk;
  }
  return scan_value(token);
}

int RecordReader::scan_value(Token& token) {
  if (end_ - pos_ < kMaxValueLength + 2) ensure_window(kMaxValueLength + 2);
  // A repeat count: digits and a star in front of the value (r*c), or nothing behind the
  // star (r*, r null values). The count belongs to the value: r*c as a whole is held to
  // the longest value, which also keeps all of it inside the window made above.
  std::size_t q = pos_;
  const std::size_t digits_end = std::min(end_, pos_ + kMaxValueLength);
  while (q < digits_end && is_digit(buffer_[q])) ++q;
  if (q > pos_ && q < digits_end && buffer_[q] == '*') {
    std::uint64_t r = 0;
    for (std::size_t i = pos_; i < q; ++i) {
      r = std::min<std::uint64_t>(r * 10 + static_cast<std::uint64_t>(buffer_[i] - '0'),
                                  std::uint64_t{1} << 40);
    }
    if (r == 0) return kErrListSyntax;
    const std::size_t room = kMaxValueLength - (q + 1 - pos_);
    pos_ = q + 1;
    Token copy;
    if (pos_ == end_ || ends_value(buffer_[pos_])) {
      copy = Token{Token::Kind::Null, {}, false};
      after_value_ = true;
    } else {
      const int status = is_quote(buffer_[pos_]) ? scan_quoted(copy, room) : scan_plain(copy, room);
      if (status != kStatusOk) return status;
      if (!copy.quoted) {  // keep the copies safe from the buffer's next refill
        std::memcpy(value_.get(), copy.text.data(), copy.text.size());
        copy.text = {value_.get(), copy.text.size()};
      }
    }
    repeat_token_ = copy;
    repeat_left_ = r - 1;
    token = copy;
    return kStatusOk;
  }
  if (is_quote(buffer_[pos_])) return scan_quoted(token);
  return scan_plain(token);
}

int RecordReader::scan_plain(Token& token, std::size_t limit) {
  const char* p = buffer_.get() + pos_;
  const std::size_t look = std::min(end_ - pos_, limit + 1);
  std::size_t n = 0;
  while (n < look && !ends_value(p[n])) ++n;
  if (n > limit) return kErrListSyntax;
  token = Token{Token::Kind::Value, {p, n}, false};
  pos_ += n;
  after_value_ = true;
  return kStatusOk;
}

// A quoted value: the bytes up to the next single mark of the same kind, two marks in a
// row standing for one. It may go on over record ends; the next record's bytes follow
// directly (the LF, and a CR before it, add nothing).
int RecordReader::scan_quoted(Token& token, std::size_t limit) {
  const char mark = buffer_[pos_++];
  std::size_t n = 0;
  char* out = value_.get();
  for (;;) {
    if (!more()) return end_of_data_status();
    const char c = buffer_[pos_];
    char next = 0;
    if (c == mark) {
      if (peek(1, next) && next == mark) {
        pos_ += 2;
      } else {
        ++pos_;
        break;
      }
    } else if (c == '\n') {
      ++pos_;
      pass_line_end();
      continue;
    } else if (c == '\r' && peek(1, next) && next == '\n') {
      pos_ += 2;
      pass_line_end();
      continue;
    } else {
      ++pos_;
    }
    if (n == limit) return kErrListSyntax;
    out[n++] = c;
  }
  token = Token{Token::Kind::Value, {out, n}, true};
  after_value_ = true;
  return kStatusOk;
}

int RecordReader::store(const Item& item, const Token& token) {
  switch (item.kind) {
    case Item::Kind::Integer: {
      if (token.quoted) return kErrListSyntax;
      const IntResult r = parse_integer(token.text);
      if (r.ec == NumberError::None) *static_cast<std::int32_t*>(item.target) = r.value;
      return number_status(r.ec, kErrListSyntax);
    }
    case Item::Kind::Real: {
      if (token.quoted) return kErrListSyntax;
      const RealResult r = parse_real(token.text);
      if (r.ec == NumberError::None) *static_cast<double*>(item.target) = r.value;
      return number_status(r.ec, kErrListSyntax);
    }
    case Item::Kind::Text:
      fit_text(static_cast<char*>(item.target), item.length, token.text);
      return kStatusOk;
  }
  return kErrFormatMismatch;
}

template <class Store>
int RecordReader::free_form(std::size_t count, Store&& store_item) {
  int status = begin_record();
  if (status != kStatusOk) return fail(status, count > 0 ? 1 : 0);
  std::size_t i = 0;
  for (; i < count; ++i) {
    Token token;
    status = next_token(token);
    if (status != kStatusOk || token.kind == Token::Kind::Slash) break;
    if (token.kind == Token::Kind::Null) continue;
    status = store_item(i, token);
    if (status != kStatusOk) break;
  }
  if (status != kStatusOk) {
    fail(status, i + 1);
  } else if (i < count && observer_ != nullptr) {
    observer_->slash(place_at(pos_), i);
  }
  end_statement(count > 0);
  return status;
}

int RecordReader::read_free_form(std::span<const Item> items) {
  return free_form(items.size(), [&](std::size_t i, const Token& token) {
    return store(items[i], token);
  });
}

InputFileUnit::InputFileUnit(int unit) : reader_(unit) {}

int InputFileUnit::open_for_reading(std::string_view path) {
  close_unit();
  const platform::OpenError error = source_.file.open(path);
  if (error != platform::OpenError::None) return open_error_number(error);
  reader_.attach(source_, path);
  return kStatusOk;
}

void InputFileUnit::close_unit() noexcept {
  reader_.detach();
  source_.file.close();
}

}  // namespace textio
