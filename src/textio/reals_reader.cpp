// The read of many reals (a waveform's samples), the reader's hot path, and what it tells
// an observer of the values it takes and the bytes it passes over.
#include <algorithm>
#include <cstdint>
#include <cstring>

#include "textio/number_parse.hpp"
#include "textio/quick_real.hpp"
#include "textio/reader_bytes.hpp"
#include "textio/record_reader.hpp"

namespace textio {
namespace {

using detail::digit_value;
using detail::ends_value;
using detail::is_blank_like;
using detail::is_digit;
using detail::kQuickLookahead;
using detail::quick_real;
using detail::quick_unsigned_real;

bool is_space(char c) noexcept { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// The separator that fixed-width writing leaves after the value that ends at p, and the
// value after it, taken whole: a blank and the value's sign, or two blanks, perhaps after
// a CR LF (then `new_line` is where the next line starts). The digits then start two bytes
// on, whatever the sign: a branch that goes the same way for every sample, where a scan
// for the sign would wait on each byte it reads. Null for anything else, or a value the
// quick road does not take. `p` has kQuickLookahead + 4 bytes.
inline const char* usual_separator_and_real(const char* p, double& value, const char*& start,
                                            const char*& new_line) noexcept {
  const char* s = p;
  if (s[0] == '\r' && s[1] == '\n') s += 2;
  const char sign = s[1];
  if (s[0] != ' ' || !(sign == ' ' || sign == '-' || sign == '+') || digit_value(s[2]) >= 10) return nullptr;
  start = s + 1 + static_cast<int>(sign == ' ');
  new_line = s != p ? s : nullptr;
  return quick_unsigned_real(s + 2, sign == '-', value);
}

// Past blanks, TABs, CRs and record ends from p, to the first other byte or `end`; counts
// the record ends passed in `lines` and keeps where the last line starts.
inline const char* pass_blanks_and_line_ends(const char* p, const char* end, std::int64_t& lines,
                                             const char*& line_start) noexcept {
  for (; p != end; ++p) {
    if (*p == '\n') {
      ++lines;
      line_start = p + 1;
    } else if (!is_blank_like(*p)) {
      break;
    }
  }
  return p;
}

// A plain real at p that a byte in the buffer ends, within the longest value, as the value
// scan and parse_real would take it; where it ends, or null. `p` has kQuickLookahead bytes.
inline const char* plain_real(const char* p, const char* end, double& value) noexcept {
  if (const char* next = quick_real(p, value)) return next;
  const RealPrefix real = parse_real_prefix(p, end);
  if (real.next == nullptr || real.next == end || !ends_value(*real.next) ||
      static_cast<std::size_t>(real.next - p) > kMaxValueLength || real.result.ec != NumberError::None) {
    return nullptr;
  }
  value = real.result.value;
  return real.next;
}

}  // namespace

// The separator scan and the plain real below take, one at a time, the values that the
// samples' own loop (take_plain_reals) leaves: at a buffer's end, after a repeat count.

// Steps pos_ over the bytes that `skip` accepts, refilling as needed; false when the data
// ends first. The scan runs on a pointer between refills.
template <class Skip>
bool RecordReader::skip_while(Skip skip) {
  for (;;) {
    const char* p = buffer_.get() + pos_;
    const char* const end = buffer_.get() + end_;
    while (p != end && skip(*p)) ++p;
    pos_ = static_cast<std::size_t>(p - buffer_.get());
    if (p != end) return true;
    if (!fill()) return false;
  }
}

int RecordReader::to_next_value() {
  // The separator after the previous value: blanks, then at most one comma, all within
  // the record that holds the value.
  if (after_value_) {
    after_value_ = false;
    if (skip_while(is_blank_like) && buffer_[pos_] == ',') ++pos_;
  }
  // Blanks, TABs, CRs and record ends; the values may come from as many records as needed.
  // One pass on a pointer, as skip_while, that also counts the record ends it passes: the
  // count and the start of the last line are written back once, after the pass.
  for (;;) {
    const char* p = buffer_.get() + pos_;
    const char* const end = buffer_.get() + end_;
    const char* line_start = nullptr;
    std::int64_t lines = 0;
    p = pass_blanks_and_line_ends(p, end, lines, line_start);
    pos_ = static_cast<std::size_t>(p - buffer_.get());
    if (line_start != nullptr) {
      lines_passed_ += lines;
      line_start_ = discarded_ + static_cast<std::size_t>(line_start - buffer_.get());
    }
    if (p != end) return kStatusOk;
    if (!fill()) return end_of_data_status();
  }
}

// A plain real read straight from the buffer, as the value scan and parse_real would take
// it, in one pass. Taken only when the real ends at a byte that ends a value, inside the
// buffer and within the longest value: then the value's bytes are exactly the real's.
// Anything else (a repeat count, a quote, a null value, a value cut by the buffer's end,
// an error) is left where it stands for the general path.
bool RecordReader::take_plain_real(double& target) {
  const char* const p = buffer_.get() + pos_;
  const char* const end = buffer_.get() + end_;
  const RealPrefix real = parse_real_prefix(p, end);
  if (real.next == nullptr || real.next == end || !ends_value(*real.next) ||
      static_cast<std::size_t>(real.next - p) > kMaxValueLength ||
      real.result.ec != NumberError::None) {
    return false;
  }
  target = real.result.value;
  pos_ = static_cast<std::size_t>(real.next - buffer_.get());
  after_value_ = true;
  return true;
}

// Items first[i * stride] on, as long as they are plain reals separated as to_next_value
// and take_plain_real would pass and take them, with the buffer holding kQuickLookahead
// bytes past each value's first: one pass over the bytes, on pointers, with the counts of
// to_next_value kept in registers and written back where the loop stops. Stops, the
// state as those two would leave it, at the first item it cannot take so (the general
// path judges that one), at a buffer's end, or after the last item; returns the next i.
std::size_t RecordReader::take_plain_reals(double* first, std::ptrdiff_t stride, std::size_t i, std::size_t count,
                                           PairHalf& half) {
  const bool observed = observer_ != nullptr;
  const char* const base = buffer_.get();
  const char* p = base + pos_;
  const char* end = base + end_;
  bool after = after_value_;
  std::int64_t lines = 0;
  const char* line_start = nullptr;
  const auto write_back = [&] {
    pos_ = static_cast<std::size_t>(p - base);
    after_value_ = after;
    if (line_start != nullptr) {
      lines_passed_ += lines;
      line_start_ = discarded_ + static_cast<std::size_t>(line_start - base);
      lines = 0;
      line_start = nullptr;
    }
  };
  while (i < count) {
    double value;
    const char* start = nullptr;  // the value's first byte
    const char* next = nullptr;   // the byte after it
    if (after && static_cast<std::size_t>(end - p) >= kQuickLookahead + 4) {
      const char* new_line = nullptr;
      next = usual_separator_and_real(p, value, start, new_line);
      if (next != nullptr && new_line != nullptr) {
        ++lines;
        line_start = new_line;
      }
    }
    if (next == nullptr) {
      if (after) {
        while (p != end && is_blank_like(*p)) ++p;
        if (p == end) break;
        p += static_cast<int>(*p == ',');
        after = false;
      }
      p = pass_blanks_and_line_ends(p, end, lines, line_start);
      if (static_cast<std::size_t>(end - p) < kQuickLookahead) break;
      start = p;
      next = plain_real(p, end, value);
      if (next == nullptr) break;
    }
    first[static_cast<std::ptrdiff_t>(i) * stride] = value;
    p = next;
    after = true;
    ++i;
    // Only a value behind a comma, or with one behind it, can be half of a pair.
    if (observed && (half.waiting || *p == ',')) {
      write_back();
      note_real(static_cast<std::size_t>(start - base), pos_, i - 1, count, half);
      p = base + pos_;  // looking along the line may have refilled the buffer
      end = base + end_;
    }
  }
  write_back();
  return i;
}

// One loop, watched or not: the usual values go by take_plain_reals, the rest one at a
// time by the general path.
int RecordReader::read_free_form_reals(double* first, std::ptrdiff_t stride, std::size_t count) {
  const bool observed = observer_ != nullptr;
  int status = begin_record();
  if (status != kStatusOk) return fail(status, count > 0 ? 1 : 0);
  PairHalf half;
  std::size_t i = 0;
  for (;; ++i) {
    if (repeat_left_ == 0) i = take_plain_reals(first, stride, i, count, half);
    if (i == count) break;
    double& target = first[static_cast<std::ptrdiff_t>(i) * stride];
    if (repeat_left_ == 0) {
      status = to_next_value();
      if (status != kStatusOk) break;
      const std::size_t start = pos_;
      if (take_plain_real(target)) {
        if (observed && (half.waiting || buffer_[pos_] == ',')) note_real(start, pos_, i, count, half);
        continue;
      }
    }
    Token token;
    status = next_token(token);
    if (status != kStatusOk || token.kind == Token::Kind::Slash) break;
    if (token.kind == Token::Kind::Null) {
      half.waiting = false;
      continue;
    }
    if (token.quoted) {
      status = kErrListSyntax;
      break;
    }
    const RealResult r = parse_real(token.text);
    if (r.ec != NumberError::None) {
      status = detail::number_status(r.ec, kErrListSyntax);
      break;
    }
    target = r.value;
    if (observed) {
      // A value in the buffer as written; a repeated one is a copy (in value_), no pair of
      // anything.
      if (token.text.data() != value_.get()) {
        const auto begin = static_cast<std::size_t>(token.text.data() - buffer_.get());
        note_real(begin, begin + token.text.size(), i, count, half);
      } else {
        half.waiting = false;
      }
    }
  }
  if (status != kStatusOk) {
    fail(status, i + 1);
  } else if (i < count && observed) {
    observer_->slash(place_at(pos_), i);
  }
  end_statement(true);
  return status;
}

// The value buffer_[begin, end) went to item `item` (0-based) of `count`: the second half
// of a pair with the one before it, or perhaps the first half of one with the next.
// Kept out of the loop (rarely called), so that the loop stays small enough for the build
// to melt the real scan into it.
[[gnu::noinline, gnu::cold]] void RecordReader::note_real(std::size_t begin, std::size_t end, std::size_t item,
                                                          std::size_t count, PairHalf& half) {
  const char behind = end < end_ ? buffer_[end] : '\n';  // the end of the data ends a line
  const char* const b = buffer_.get() + begin;
  const char* const e = buffer_.get() + end;
  const char* d = b;
  if (d != e && (*d == '-' || *d == '+')) ++d;
  const bool digits = d != e && std::all_of(d, e, is_digit);
  if (half.waiting && digits && d == b && discarded_ + begin == half.comma + 1 &&
      (is_space(behind) || item + 1 == count)) {
    // The second value is copied first: looking along the line may refill the buffer.
    char second[kObservedRestBytes];
    const std::size_t n = std::min(end - begin, kObservedRestBytes);
    std::memcpy(second, b, n);
    const bool point = point_on_line(end);
    observer_->comma_pair(CommaPair{half.place, half.item, {half.text, half.length}, {second, n}, point});
  }
  half.waiting = false;
  const char before = begin > 0 ? buffer_[begin - 1] : before_buffer_;
  if (digits && behind == ',' && is_space(before)) {
    half.waiting = true;
    half.comma = discarded_ + end;
    half.place = place_at(begin);
    half.item = item + 1;
    half.length = std::min(end - begin, kObservedRestBytes);
    std::memcpy(half.text, b, half.length);
  }
}

// Whether the current line holds a '.', from its start (as far as the buffer still holds
// it) to its end (as far as the buffer can take it in); `value_end` is the position.
bool RecordReader::point_on_line(std::size_t value_end) {
  const std::size_t line_begin = line_start_ > discarded_ ? static_cast<std::size_t>(line_start_ - discarded_) : 0;
  if (std::memchr(buffer_.get() + line_begin, '.', value_end - line_begin) != nullptr) return true;
  std::size_t from = value_end;
  for (;;) {
    const char* const p = buffer_.get() + from;
    const void* lf = std::memchr(p, '\n', end_ - from);
    const std::size_t upto = lf != nullptr ? static_cast<std::size_t>(static_cast<const char*>(lf) - p) : end_ - from;
    if (std::memchr(p, '.', upto) != nullptr) return true;
    if (lf != nullptr || at_end_) return false;
    const std::size_t seen = end_ - pos_;  // what lies behind the position, already looked at
    if (!fill()) return false;
    from = pos_ + seen;
  }
}

// From the position to the end of the record (through its LF) or of the source: the
// values and the used lines among the bytes, counted as PassedOver says.
PassedOver RecordReader::pass_over(bool one_record) {
  PassedOver tally;
  tally.from = place_at(pos_);
  int line = current_line();
  bool in_value = false;
  bool used = false;
  bool cr = false;  // a CR that is part of the line unless an LF follows it
  const auto line_ends = [&] {
    if (used && tally.lines_used++ == 0) tally.first_used_line = line;
    ++line;
    used = cr = in_value = false;
  };
  for (;;) {
    if (pos_ == end_ && !fill()) break;
    const char c = buffer_[pos_++];
    if (c == '\n') {
      pass_line_end();
      line_ends();
      if (one_record) return tally;
      continue;
    }
    used = used || cr || (c != ' ' && c != '\r');
    cr = c == '\r';
    const bool ends = ends_value(c);
    tally.values += static_cast<std::uint64_t>(!ends && !in_value);
    in_value = !ends;
  }
  used = used || cr;  // the last line has no LF: its CR stays in it
  if (used && tally.lines_used++ == 0) tally.first_used_line = line;
  return tally;
}

PassedOver RecordReader::pass_over_rest() {
  repeat_left_ = 0;
  after_value_ = false;
  return pass_over(false);
}

}  // namespace textio
