#pragma once
// Formatted writing: a statement renders its items through a field layout into records
// (lines ended by CR LF) and hands them to a file or the console.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "platform/console.hpp"
#include "platform/fs.hpp"
#include "textio/number_format.hpp"
#include "textio/report.hpp"

namespace textio {

// A descriptor of an output layout.
struct Descriptor {
  enum class Kind {
    A,           // a text in as many positions as it has bytes
    Aw,          // a text in `width` positions: right-aligned when shorter, cut when longer
    I,           // an integer in `width` positions
    F,           // a real in `width` positions with `decimals` decimals
    Dollar,      // no line end after the record still open when the statement ends
    GroupBegin,  // `repeat` times the descriptors up to the matching GroupEnd
    GroupEnd,
  };
  Kind kind;
  int width = 0;
  int decimals = 0;
  int repeat = 0;
};
using Layout = std::span<const Descriptor>;

// Where an output unit's bytes go.
class ByteSink {
 public:
  virtual ~ByteSink() = default;
  // Writes all n bytes; false when the host refused them.
  virtual bool write(const char* data, std::size_t n) = 0;
};

// An output unit: a numbered destination with a buffer. Once a write has failed the unit
// is failed for good: later output is dropped and `fault()` tells what happened.
class OutputUnit {
 public:
  // A console unit (flush_each_statement) shows every statement at once; a file unit
  // writes its buffer in big chunks. Overflow reports go to `diagnostics`.
  OutputUnit(int unit, std::size_t buffer_size, bool flush_each_statement,
             platform::Console& diagnostics);

  void attach(ByteSink& sink, std::string_view name);
  void detach() noexcept;
  // Writes what is buffered; false when the unit has failed.
  bool flush();
  // Writes n bytes as they stand after what is buffered (records rendered elsewhere, in
  // their final form); false when the unit has failed.
  bool write_bytes(const char* data, std::size_t n);

  int unit() const noexcept { return unit_; }
  const std::string& name() const noexcept { return name_; }
  bool failed() const noexcept { return failed_; }
  Fault fault() const { return Fault{kErrWrite, unit_, name_}; }

 private:
  friend class WriteStatement;
  // Room for n more bytes at the end of the buffer (n <= capacity): flushes when needed.
  char* reserve(std::size_t n) {
    if (static_cast<std::size_t>(limit_ - next_) < n) flush();
    return next_;
  }
  void append(const char* data, std::size_t n);
  void end_of_statement(bool overflowed);

  int unit_;
  std::string name_;
  ByteSink* sink_ = nullptr;
  std::unique_ptr<char[]> buffer_;
  char* next_;   // where the next byte goes
  char* limit_;  // the end of the buffer
  bool flush_each_statement_;
  bool failed_ = false;
  platform::Console& diagnostics_;
};

// One write statement. Items are given one at a time, in layout order; `end()` closes the
// statement (the destructor does it if not done). Example, rule R3:
//   WriteStatement s(unit, layouts::kR3);
//   s.real(0.0); s.text(","); s.real(0.0); s.end();    // "      0.0000,      0.000000\r\n"
class WriteStatement {
 public:
  WriteStatement(OutputUnit& unit, Layout layout);
  ~WriteStatement();
  WriteStatement(const WriteStatement&) = delete;
  WriteStatement& operator=(const WriteStatement&) = delete;

  void text(std::string_view value) {
    const Descriptor& d = take_descriptor();
    // The common case, a text exactly as wide as its field (the "," of a data line).
    if (d.kind == Descriptor::Kind::Aw && value.size() == static_cast<std::size_t>(d.width)) {
      std::memcpy(unit_.reserve(value.size()), value.data(), value.size());
      unit_.next_ += value.size();
      return;
    }
    put_text(d, value);
  }
  void integer(std::int32_t value);
  void real(double value) {
    const Descriptor& d = take_descriptor();
    const auto w = static_cast<std::size_t>(d.width);
    char* out = unit_.reserve(w);
    if (d.kind != Descriptor::Kind::F || !format_fixed(value, d.width, d.decimals, out)) {
      mark_overflow(out, d.width);
    }
    unit_.next_ += w;
  }
  void end();

 private:
  static constexpr bool is_data(Descriptor::Kind k) noexcept {
    return k == Descriptor::Kind::A || k == Descriptor::Kind::Aw || k == Descriptor::Kind::I ||
           k == Descriptor::Kind::F;
  }
  const Descriptor& take_descriptor() {
    if (index_ < layout_.size()) {
      // The end of a group that goes round again, the usual step in a long data line.
      if (layout_[index_].kind == Descriptor::Kind::GroupEnd && group_left_ > 1) {
        --group_left_;
        index_ = group_begin_ + 1;
      }
      if (is_data(layout_[index_].kind)) return layout_[index_++];
    }
    return take_descriptor_slow();
  }
  const Descriptor& take_descriptor_slow();
  void put_text(const Descriptor& d, std::string_view value);
  void mark_overflow(char* field, int width) noexcept;
  // Steps to the next data descriptor, carrying out control descriptors on the way;
  // false at the end of the layout.
  bool to_data();
  void hand_over(bool line_end);

  OutputUnit& unit_;
  Layout layout_;
  std::size_t index_ = 0;
  std::size_t group_begin_ = 0;
  int group_left_ = 0;
  bool suppress_line_end_ = false;
  bool overflowed_ = false;
  bool ended_ = false;
};

// A result file as an output unit: created (or emptied) by its bare name.
class OutputFileUnit {
 public:
  OutputFileUnit(int unit, platform::Console& diagnostics);
  // 0, or the error number of the refusal (9 denied, 29 not found, 42, 43, 30).
  int open_for_writing(std::string_view name) { return open_for_writing(name, name); }
  // The same for the file `path`, which reports call `name` (a file written under a
  // temporary name is reported by the name it is written for).
  int open_for_writing(std::string_view path, std::string_view name);
  // Writes what is left and releases the file; false (fault 38) when anything failed.
  bool close_unit();
  // Writes what is left and hands the file, still open, to `keep` (to be flushed to the
  // disk and closed there); false (fault 38) when anything failed.
  bool finish_unit(platform::OutputFile& keep);
  OutputUnit& unit() noexcept { return unit_; }

  static constexpr std::size_t kBufferSize = std::size_t{1} << 20;

 private:
  struct FileSink : ByteSink {
    platform::OutputFile file;
    bool write(const char* data, std::size_t n) override { return file.write(data, n); }
  };
  FileSink sink_;
  OutputUnit unit_;
};

// Standard output, or standard error, as a byte sink.
class ConsoleSink : public ByteSink {
 public:
  enum class Stream { Output, Error };
  explicit ConsoleSink(platform::Console& console, Stream stream = Stream::Output)
      : console_(console), stream_(stream) {}
  bool write(const char* data, std::size_t n) override {
    return stream_ == Stream::Output ? console_.write_output({data, n}) : console_.write_error({data, n});
  }

 private:
  platform::Console& console_;
  Stream stream_;
};

}  // namespace textio
