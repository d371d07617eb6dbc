#pragma once
// Reading records (lines ended by LF, a CR before the LF dropped) from a unit, in two
// ways: free-form (values separated by blanks, TABs, commas or record ends, as many
// records as the item list needs) and fixed-width (fields of a layout, a comma ending a
// numeric field early). Every statement starts at the beginning of a new record and drops
// the rest of the last record it touched.
//
// Statements return a status: 0 on success, otherwise the error number (24 for the end of
// the file; 39, 59, 61, 64). What the caller does with it (a report, an error end, a count
// kept at zero) is decided by the caller.
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "platform/console.hpp"
#include "platform/fs.hpp"
#include "textio/fixed_text.hpp"
#include "textio/read_observer.hpp"
#include "textio/report.hpp"

namespace textio {

// The longest value a free-form read takes; a longer one is a syntax error.
inline constexpr std::size_t kMaxValueLength = 2049;

// Where a reader gets its bytes.
class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // Up to n bytes: the count read, 0 at the end, -1 on a read error. May return fewer
  // bytes than asked for (an interactive console gives one line at a time).
  virtual std::ptrdiff_t read(char* buffer, std::size_t n) = 0;
};

// An item of a read statement: where a value goes.
struct Item {
  enum class Kind { Integer, Real, Text };
  Kind kind;
  void* target;
  std::size_t length;  // bytes of a text item

  static Item integer(std::int32_t& v) noexcept { return {Kind::Integer, &v, 0}; }
  static Item real(double& v) noexcept { return {Kind::Real, &v, 0}; }
  template <std::size_t N>
  static Item text(FixedText<N>& field) noexcept {
    return {Kind::Text, field.bytes.data(), N};
  }
};

// A field descriptor of a fixed-width layout: Iw, Fw.d or Aw, repeated `repeat` times.
struct FieldDescriptor {
  enum class Kind { I, F, A };
  Kind kind;
  int width;
  int decimals;
  int repeat;
};
using FieldLayout = std::span<const FieldDescriptor>;

class RecordReader {
 public:
  RecordReader(int unit, std::size_t buffer_size = kDefaultBufferSize);

  // Connects a source, named `name` in reports, positioned at its first record, with no
  // observer.
  void attach(ByteSource& source, std::string_view name);
  void detach() noexcept;
  // Tells `observer` (none: null) what the statements from now on pass over, until the
  // next attach. Changes nothing that is read.
  void set_observer(ReadObserver* observer) noexcept { observer_ = observer; }

  int unit() const noexcept { return unit_; }
  const std::string& name() const noexcept { return name_; }
  // The fault of the last statement that failed with `number`, with the place it failed
  // and the bytes that did not read.
  Fault fault(int number) const {
    return Fault{number, unit_, name_, fault_line_, fault_column_, fault_item_, fault_text_};
  }

  // The 1-based line where the last statement stopped taking values, before the rest of
  // its record was dropped: the line of its last value, field or slash.
  int stop_line() const noexcept { return stop_line_; }

  // Free-form read into the items. Null values, a slash and items after the end of the
  // list keep their values. With no items, reads one record and discards it.
  int read_free_form(std::span<const Item> items);
  // Free-form read of `count` reals into first[0], first[stride], first[2*stride], ...
  int read_free_form_reals(double* first, std::ptrdiff_t stride, std::size_t count);
  // Fixed-width read of the items through the layout, which starts again on a new
  // record when it is used up before the items.
  int read_fixed_width(FieldLayout layout, std::span<const Item> items);
  // Reads one record and discards it.
  int skip_record() { return read_free_form({}); }
  // Passes over everything from the position (the record after the last statement) to
  // the end of the source, and tallies it. Reads nothing into any item: what a run leaves
  // unread behind its last statement, for an observer's owner to look at.
  PassedOver pass_over_rest();

  static constexpr std::size_t kDefaultBufferSize = std::size_t{1} << 18;

 private:
  struct Token {
    enum class Kind { Value, Null, Slash };
    Kind kind = Kind::Value;
    std::string_view text;
    bool quoted = false;
  };

  // A value of a read of reals that could be half of a CommaPair, waiting for the next.
  struct PairHalf {
    bool waiting = false;
    std::uint64_t comma = 0;  // offset of the comma behind it in the source
    Place place;
    std::size_t item = 0;
    std::size_t length = 0;
    char text[kObservedRestBytes] = {};
  };

  bool more();
  bool fill();
  void note_start(std::size_t from);
  void pass_line_end() noexcept;
  void mark_value(std::size_t at) noexcept;
  int current_line() const noexcept;
  Place place_at(std::size_t at) const noexcept;
  int fail(int status, std::size_t item) noexcept;
  int fail_field(int status, std::size_t item, std::string_view field) noexcept;
  void ensure_window(std::size_t want);
  int begin_record();
  // Drops the rest of the record; `tell`: an observer hears what was dropped.
  void end_statement(bool tell);
  PassedOver pass_over(bool one_record);
  template <class Skip>
  bool skip_while(Skip skip);
  int to_next_value();
  int next_token(Token& token);
  bool take_plain_real(double& target);
  std::size_t take_plain_reals(double* first, std::ptrdiff_t stride, std::size_t i, std::size_t count,
                               PairHalf& half);
  int scan_value(Token& token);
  // `limit`: the most bytes the value may hold (less than kMaxValueLength after a repeat
  // count, which is part of the value).
  int scan_plain(Token& token, std::size_t limit = kMaxValueLength);
  int scan_quoted(Token& token, std::size_t limit = kMaxValueLength);
  bool peek(std::size_t ahead, char& c);
  int end_of_data_status() const noexcept;
  int store(const Item& item, const Token& token);
  template <class Store>
  int free_form(std::size_t count, Store&& store_item);
  void note_real(std::size_t begin, std::size_t end, std::size_t item, std::size_t count, PairHalf& half);
  bool point_on_line(std::size_t value_end);
  std::string_view record_window(std::size_t want);
  std::string_view record_bytes(std::size_t at, std::size_t n) const noexcept;
  void tell_field(const FieldDescriptor& d, std::size_t item, std::string_view record, std::size_t start,
                  std::string_view field, bool by_comma, std::size_t next);

  int unit_;
  std::string name_;
  ByteSource* source_ = nullptr;
  ReadObserver* observer_ = nullptr;
  std::unique_ptr<char[]> buffer_;
  std::size_t capacity_;
  std::size_t pos_ = 0;
  std::size_t end_ = 0;
  bool at_end_ = false;       // the source has no more bytes
  bool read_failed_ = false;  // the source reported an error
  bool after_value_ = false;  // a value was just taken: its separator is still to be passed
  bool start_told_ = false;   // the observer heard the source's first bytes
  std::array<char, kObservedStartBytes> start_{};  // those bytes, as they come in
  std::size_t start_have_ = 0;
  char before_buffer_ = '\n';  // the byte before buffer_[0] (a line end at the start)
  // A value r*c hands out r copies of c; these are the copies still to come.
  std::uint64_t repeat_left_ = 0;
  Token repeat_token_;
  std::unique_ptr<char[]> value_;  // quoted and repeated values are assembled here

  // Places, for the faults: counted where the reader passes a record end anyway (between
  // values, at the end of a statement, inside a quoted value), so that the sample loop does
  // not look at each byte a second time. Offsets count the bytes of the source.
  std::uint64_t discarded_ = 0;     // bytes of the source before buffer_[0]
  std::int64_t lines_passed_ = 0;   // record ends (LF) passed so far
  std::uint64_t line_start_ = 0;    // offset of the first byte of the current line
  std::int64_t value_line_ = 0;     // the value or field being read: lines passed before it
  std::uint64_t value_column_ = 0;  // and its bytes before it in its line
  std::uint64_t value_offset_ = 0;  // and its offset in the source
  int stop_line_ = 0;
  int fault_line_ = 0;
  int fault_column_ = 0;
  int fault_item_ = 0;
  std::string fault_text_;
};

// A file unit: an input file connected to a reader under a fixed unit number.
class InputFileUnit {
 public:
  explicit InputFileUnit(int unit);
  // Connects the existing file `path` (Shift-JIS, as built by the program): 0, or the
  // error number of the refusal (29 not found, 9 denied, 42 no device, 43 bad name, 30).
  int open_for_reading(std::string_view path);
  void close_unit() noexcept;
  RecordReader& reader() noexcept { return reader_; }

 private:
  struct FileSource : ByteSource {
    platform::InputFile file;
    std::ptrdiff_t read(char* buffer, std::size_t n) override { return file.read(buffer, n); }
  };
  FileSource source_;
  RecordReader reader_;
};

// The console's standard input as a byte source.
class ConsoleSource : public ByteSource {
 public:
  explicit ConsoleSource(platform::Console& console) : console_(console) {}
  std::ptrdiff_t read(char* buffer, std::size_t n) override {
    return console_.read_input(buffer, n);
  }

 private:
  platform::Console& console_;
};

}  // namespace textio
