#include "textio/record_writer.hpp"

#include <algorithm>
#include <cstring>
#include <utility>

#include "textio/number_format.hpp"

namespace textio {

OutputUnit::OutputUnit(int unit, std::size_t buffer_size, bool flush_each_statement,
                       platform::Console& diagnostics)
    : unit_(unit),
      buffer_(new char[std::max<std::size_t>(buffer_size, 4096)]),
      next_(buffer_.get()),
      limit_(buffer_.get() + std::max<std::size_t>(buffer_size, 4096)),
      flush_each_statement_(flush_each_statement),
      diagnostics_(diagnostics) {}

void OutputUnit::attach(ByteSink& sink, std::string_view name) {
  sink_ = &sink;
  name_.assign(name);
  next_ = buffer_.get();
  failed_ = false;
}

void OutputUnit::detach() noexcept {
  sink_ = nullptr;
  next_ = buffer_.get();
}

bool OutputUnit::flush() {
  const auto used = static_cast<std::size_t>(next_ - buffer_.get());
  if (used > 0 && !failed_) {
    if (sink_ == nullptr || !sink_->write(buffer_.get(), used)) failed_ = true;
  }
  next_ = buffer_.get();
  return !failed_;
}

bool OutputUnit::write_bytes(const char* data, std::size_t n) {
  if (!flush()) return false;
  if (n > 0 && (sink_ == nullptr || !sink_->write(data, n))) failed_ = true;
  return !failed_;
}

void OutputUnit::append(const char* data, std::size_t n) {
  while (n > 0) {
    if (next_ == limit_) flush();
    const std::size_t chunk = std::min(n, static_cast<std::size_t>(limit_ - next_));
    std::memcpy(next_, data, chunk);
    next_ += chunk;
    data += chunk;
    n -= chunk;
  }
}

void OutputUnit::end_of_statement(bool overflowed) {
  if (flush_each_statement_) flush();
  // One report for the statement, however many of its fields overflowed; the run goes on.
  if (overflowed) {
    diagnostics_.write_error(
        report_line(Severity::Error, Fault{kErrOutputConversion, unit_, name_}));
  }
}

WriteStatement::WriteStatement(OutputUnit& unit, Layout layout) : unit_(unit), layout_(layout) {}

WriteStatement::~WriteStatement() { end(); }

bool WriteStatement::to_data() {
  while (index_ < layout_.size()) {
    const Descriptor& d = layout_[index_];
    switch (d.kind) {
      case Descriptor::Kind::GroupBegin:
        group_begin_ = index_;
        group_left_ = d.repeat;
        ++index_;
        break;
      case Descriptor::Kind::GroupEnd:
        if (--group_left_ > 0) {
          index_ = group_begin_ + 1;
        } else {
          ++index_;
        }
        break;
      case Descriptor::Kind::Dollar:
        suppress_line_end_ = true;
        ++index_;
        break;
      default:
        return true;
    }
  }
  return false;
}

// The descriptor for the next item, past any control descriptors: when the layout is used
// up, the record is handed over and the walk resumes at the last group (or the first
// descriptor).
const Descriptor& WriteStatement::take_descriptor_slow() {
  if (!to_data()) {
    // The record is handed over with its line end even after a $: the flag only speaks
    // for the record still open when the statement ends.
    hand_over(true);
    // The walk resumes at the last group, or at the first descriptor when there is none.
    index_ = 0;
    for (std::size_t i = 0; i < layout_.size(); ++i) {
      if (layout_[i].kind == Descriptor::Kind::GroupBegin) index_ = i;
    }
    if (!to_data()) {  // a layout without data descriptors: write items as they are
      static constexpr Descriptor kPlain{Descriptor::Kind::A};
      return kPlain;
    }
  }
  return layout_[index_++];
}

void WriteStatement::hand_over(bool line_end) {
  if (line_end) {
    std::memcpy(unit_.reserve(2), "\r\n", 2);
    unit_.next_ += 2;
  }
}

void WriteStatement::mark_overflow(char* field, int width) noexcept {
  std::memset(field, '*', static_cast<std::size_t>(width));
  overflowed_ = true;
}

void WriteStatement::put_text(const Descriptor& d, std::string_view value) {
  switch (d.kind) {
    case Descriptor::Kind::A:
      unit_.append(value.data(), value.size());
      return;
    case Descriptor::Kind::Aw: {
      const auto w = static_cast<std::size_t>(d.width);
      if (value.size() < w) {
        char* out = unit_.reserve(w);
        const std::size_t pad = w - value.size();
        std::memset(out, ' ', pad);
        std::memcpy(out + pad, value.data(), value.size());
        unit_.next_ += w;
      } else {
        unit_.append(value.data(), w);
      }
      return;
    }
    default:  // a text where a number belongs cannot be rendered
      mark_overflow(unit_.reserve(static_cast<std::size_t>(d.width)), d.width);
      unit_.next_ += d.width;
      return;
  }
}

void WriteStatement::integer(std::int32_t value) {
  const Descriptor& d = take_descriptor();
  const auto w = static_cast<std::size_t>(d.width);
  char* out = unit_.reserve(w);
  if (d.kind != Descriptor::Kind::I || !format_integer(value, d.width, out)) {
    mark_overflow(out, d.width);
  }
  unit_.next_ += w;
}

void WriteStatement::end() {
  if (ended_) return;
  ended_ = true;
  to_data();  // a $ behind the last item still counts
  hand_over(!suppress_line_end_);
  unit_.end_of_statement(overflowed_);
}

OutputFileUnit::OutputFileUnit(int unit, platform::Console& diagnostics)
    : unit_(unit, kBufferSize, false, diagnostics) {}

int OutputFileUnit::open_for_writing(std::string_view path, std::string_view name) {
  const platform::OpenError error = sink_.file.create(path);
  if (error != platform::OpenError::None) return open_error_number(error);
  unit_.attach(sink_, name);
  return kStatusOk;
}

bool OutputFileUnit::finish_unit(platform::OutputFile& keep) {
  const bool ok = unit_.flush();
  keep = std::move(sink_.file);
  unit_.detach();
  return ok;
}

bool OutputFileUnit::close_unit() {
  bool ok = unit_.flush();
  if (sink_.file.is_open() && !sink_.file.close()) ok = false;
  unit_.detach();
  return ok;
}

}  // namespace textio
