// Fuzzing of the record reader with every read statement the program makes, several of
// them in a row on one unit, as the program reads a file.
//
// Input layout:
//   byte 0     how the source hands out its bytes: in chunks of 1 to 64 bytes (0-191), or
//              all at once (192-255)
//   bytes 1-2  the sample count of the waveform-samples statement (0 to 1024)
//   byte 3     the number of statements n (0 to 16)
//   n bytes    the statements, one byte each (below, modulo 8)
//   the rest   the unit's bytes
//
// Every input is read twice in lockstep: once in one piece into a large buffer, once in
// the chunks chosen into the smallest buffer, with the items preset to different
// sentinels. Both readings must agree on every status and every item, and an item either
// keeps its sentinel in both (it got no value) or holds the same value in both (it was
// overwritten whole): that catches items touched on errors, half-filled texts and any
// dependence on where the buffer is refilled. A third reading in one piece takes the
// samples as a list of real items, through the general free-form path, and must agree
// with the first: the samples statement takes plain reals by a shorter road. The chunked
// reading has an observer, which must change nothing read; a fourth reading in one piece
// has one too, and both observers must be told the same (but whether a line holds a
// decimal point, which a line longer than the small buffer shows in part), and both
// faults name the same bytes (unless the chunked reader's buffer has let them go). While every statement so far consumed
// whole records (skips, fixed-width reads, zero samples), a small model of the
// fixed-width rules with reference conversions predicts each status and value exactly.
#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "check.hpp"
#include "inputs/file_layouts.hpp"
#include "reference_numbers.hpp"
#include "support/memory_source.hpp"
#include "textio/fixed_text.hpp"
#include "textio/record_reader.hpp"
#include "textio/report.hpp"

namespace {

using fuzzing::require;
using textio::FieldDescriptor;
using textio::Item;

// The read statements of the program.
enum class Op {
  Skip,            // a header line, the Enter pause: an empty item list
  Answer,          // the definition-file name: one 40-byte text, free-form
  Counts,          // the definition file's counts: two integers, free-form
  FolderLine,      // a fault or case line: I20, A400
  SpectrumRow,     // a spectrum row: 28F20.0 into 28 reals
  SpectrumRow30,   // the same layout with 30 reals: the layout starts again on a new record
  WaveformHeader,  // I20, F20.0
  Samples,         // the samples: free-form reals into every 30th double
};
constexpr int kOpCount = 8;

constexpr int kUnit = inputs::kWaveformUnit;
constexpr std::string_view kUnitName = "fuzz\\unit.dat";
constexpr std::size_t kStride = 30;  // the case tables' row length
constexpr std::size_t kMaxSampleCount = 1024;

// One sentinel set per reading: what every item holds before each statement.
struct Sentinel {
  char text;
  std::int32_t integer;
  std::uint64_t real_bits;  // a NaN, which no read can produce
};
constexpr Sentinel kSentinelA{'\xA5', -1'234'567'891, 0x7ff8'0000'0000'0a5aULL};
constexpr Sentinel kSentinelB{'\x5A', 1'987'654'321, 0x7ff8'0000'0000'05a5ULL};

// The items of every statement, for one reading.
struct Items {
  textio::FixedText40 answer;
  std::int32_t counts[2];
  std::int32_t number;
  textio::FixedText400 path;
  double reals[30];
  std::int32_t sample_count;
  double step;
  std::vector<double> samples;

  void preset(const Sentinel& s, std::size_t sample_slots) {
    answer.bytes.fill(s.text);
    path.bytes.fill(s.text);
    counts[0] = counts[1] = number = sample_count = s.integer;
    const double r = std::bit_cast<double>(s.real_bits);
    std::fill(std::begin(reals), std::end(reals), r);
    step = r;
    // Copied from a row made once: a fill loop here, instrumented for coverage like all
    // code of the target, would cost more than the reads themselves.
    static std::vector<double> row_a(kMaxSampleCount * kStride,
                                     std::bit_cast<double>(kSentinelA.real_bits));
    static std::vector<double> row_b(kMaxSampleCount * kStride,
                                     std::bit_cast<double>(kSentinelB.real_bits));
    samples.resize(sample_slots);
    if (sample_slots == 0) return;
    std::memcpy(samples.data(), (s.real_bits == kSentinelA.real_bits ? row_a : row_b).data(),
                sample_slots * sizeof(double));
  }
};

// Runs one statement on a reader; returns its status. With `samples_as_items`, the
// samples are read as a list of real items instead of by the samples statement.
int run_statement(Op op, textio::RecordReader& reader, Items& items, std::size_t sample_count,
                  bool samples_as_items = false) {
  switch (op) {
    case Op::Skip: return reader.skip_record();
    case Op::Answer: {
      const Item item = Item::text(items.answer);
      return reader.read_free_form({&item, 1});
    }
    case Op::Counts: {
      const std::array<Item, 2> list{Item::integer(items.counts[0]),
                                     Item::integer(items.counts[1])};
      return reader.read_free_form(list);
    }
    case Op::FolderLine: {
      const std::array<Item, 2> list{Item::integer(items.number), Item::text(items.path)};
      return reader.read_fixed_width(inputs::layouts::kFolderLine, list);
    }
    case Op::SpectrumRow:
    case Op::SpectrumRow30: {
      std::array<Item, 30> list{};
      for (std::size_t i = 0; i < list.size(); ++i) list[i] = Item::real(items.reals[i]);
      const std::size_t n = op == Op::SpectrumRow ? 28 : 30;
      return reader.read_fixed_width(inputs::layouts::kSpectrumRow, std::span(list.data(), n));
    }
    case Op::WaveformHeader: {
      const std::array<Item, 2> list{Item::integer(items.sample_count), Item::real(items.step)};
      return reader.read_fixed_width(inputs::layouts::kWaveformHeader, list);
    }
    case Op::Samples:
      if (samples_as_items) {
        static std::vector<Item> list;
        list.clear();
        for (std::size_t i = 0; i < sample_count; ++i) list.push_back(Item::real(items.samples[i * kStride]));
        return reader.read_free_form(list);
      }
      return reader.read_free_form_reals(items.samples.data(), static_cast<std::ptrdiff_t>(kStride),
                                         sample_count);
  }
  return -999;
}

// The statuses a statement may return: success, the end of the data, and the errors its
// items can meet (a text takes any bytes; only a value over 2049 bytes is wrong).
bool allowed_status(Op op, int status) {
  if (status == textio::kStatusOk || status == textio::kErrEndOfFile) return true;
  switch (op) {
    case Op::Skip: return false;
    case Op::Answer: return status == textio::kErrListSyntax;
    case Op::Counts:
    case Op::Samples:
      return status == textio::kErrListSyntax || status == textio::kErrInputConversion;
    case Op::FolderLine:
    case Op::SpectrumRow:
    case Op::SpectrumRow30:
    case Op::WaveformHeader: return status == textio::kErrInputConversion;
  }
  return false;
}

// Both readings agree on an item: untouched in both, or the same value in both.
template <class T>
void require_agree(const T& a, const T& b, const T& sentinel_a, const T& sentinel_b,
                   const char* what) {
  const bool untouched =
      std::memcmp(&a, &sentinel_a, sizeof a) == 0 && std::memcmp(&b, &sentinel_b, sizeof b) == 0;
  require(untouched || std::memcmp(&a, &b, sizeof a) == 0, what);
}

template <std::size_t N>
void require_agree_text(const textio::FixedText<N>& a, const textio::FixedText<N>& b,
                        const char* what) {
  textio::FixedText<N> sa, sb;
  sa.bytes.fill(kSentinelA.text);
  sb.bytes.fill(kSentinelB.text);
  const bool untouched = a.bytes == sa.bytes && b.bytes == sb.bytes;
  require(untouched || a.bytes == b.bytes, what, a.view(), b.view());
  // A record's LF is never part of a value.
  require(untouched || a.view().find('\n') == std::string_view::npos, "a text item holds an LF",
          a.view());
}

void require_agree_real(double a, double b, const char* what) {
  const auto bits_a = std::bit_cast<std::uint64_t>(a);
  const auto bits_b = std::bit_cast<std::uint64_t>(b);
  const bool untouched = bits_a == kSentinelA.real_bits && bits_b == kSentinelB.real_bits;
  require(untouched || bits_a == bits_b, what);
  // No read produces an infinity or a NaN: such text is an error.
  require(untouched || std::isfinite(a), "a real item holds a non-finite value");
}

void compare(Op op, const Items& a, const Items& b, std::size_t sample_count) {
  switch (op) {
    case Op::Skip: break;
    case Op::Answer: require_agree_text(a.answer, b.answer, "answer text"); break;
    case Op::Counts:
      require_agree(a.counts[0], b.counts[0], kSentinelA.integer, kSentinelB.integer,
                    "first count");
      require_agree(a.counts[1], b.counts[1], kSentinelA.integer, kSentinelB.integer,
                    "second count");
      break;
    case Op::FolderLine:
      require_agree(a.number, b.number, kSentinelA.integer, kSentinelB.integer,
                    "folder line number");
      require_agree_text(a.path, b.path, "folder line path");
      break;
    case Op::SpectrumRow:
    case Op::SpectrumRow30:
      for (std::size_t i = 0; i < 30; ++i) {
        require_agree_real(a.reals[i], b.reals[i], "spectrum field");
      }
      break;
    case Op::WaveformHeader:
      require_agree(a.sample_count, b.sample_count, kSentinelA.integer, kSentinelB.integer,
                    "sample count");
      require_agree_real(a.step, b.step, "time step");
      break;
    case Op::Samples: {
      for (std::size_t i = 0; i < sample_count; ++i) {
        require_agree_real(a.samples[i * kStride], b.samples[i * kStride], "sample");
      }
      // Only every 30th double, and only as many as asked for, may be written: with the
      // sample slots put back to the sentinel, the whole row must be sentinels again.
      static Items sentinels;
      sentinels.preset(kSentinelA, a.samples.size());
      static std::vector<double> slots;
      slots = a.samples;
      for (std::size_t i = 0; i < sample_count; ++i) slots[i * kStride] = sentinels.samples[0];
      require(
          std::memcmp(slots.data(), sentinels.samples.data(), slots.size() * sizeof(double)) == 0,
          "a double between or after the samples was written");
      break;
    }
  }
}

// The unit's records as the rules define them, for predicting whole-record statements.
class RecordModel {
 public:
  explicit RecordModel(std::string_view data) : data_(data) {}

  bool valid() const { return valid_; }
  void invalidate() { valid_ = false; }
  void consume_all() { offset_ = data_.size(); }

  // The next record without its LF (and without a CR just before the LF).
  bool next_record(std::string_view& record) {
    if (offset_ >= data_.size()) return false;
    const std::size_t lf = data_.find('\n', offset_);
    const std::size_t end = lf == std::string_view::npos ? data_.size() : lf;
    std::size_t stop = end;
    if (lf != std::string_view::npos && stop > offset_ && data_[stop - 1] == '\r') --stop;
    record = data_.substr(offset_, stop - offset_);
    offset_ = lf == std::string_view::npos ? data_.size() : lf + 1;
    return true;
  }

 private:
  std::string_view data_;
  std::size_t offset_ = 0;
  bool valid_ = true;
};

// A fixed-width statement by the rules: fields cut at w bytes or at a comma (numeric
// fields only), blank-completed at the end of the record; the layout starts again on the
// next record when items remain. Items are written into `items` as the reader should.
struct ModelItem {
  Item::Kind kind;
  void* target;
};

int model_fixed_width(RecordModel& model, std::span<const FieldDescriptor> layout,
                      std::span<const ModelItem> items) {
  std::vector<FieldDescriptor> fields;  // the layout with its repeats written out
  for (const FieldDescriptor& d : layout) {
    for (int r = 0; r < d.repeat; ++r) fields.push_back(d);
  }
  std::string_view record;
  if (!model.next_record(record)) return textio::kErrEndOfFile;
  std::size_t cursor = 0;
  std::size_t next_field = 0;
  for (const ModelItem& item : items) {
    if (next_field == fields.size()) {
      if (!model.next_record(record)) return textio::kErrEndOfFile;
      cursor = 0;
      next_field = 0;
    }
    const FieldDescriptor& d = fields[next_field++];
    const std::size_t start = cursor;
    std::string_view field =
        record.substr(std::min(start, record.size()), static_cast<std::size_t>(d.width));
    cursor = start + field.size();
    if (d.kind != FieldDescriptor::Kind::A) {
      const std::size_t comma = field.find(',');
      if (comma != std::string_view::npos) {
        field = field.substr(0, comma);
        cursor = start + comma + 1;
      }
    }
    switch (d.kind) {
      case FieldDescriptor::Kind::I: {
        const textio::IntResult r = fuzzing::reference_integer_field(field);
        if (r.ec != textio::NumberError::None) return textio::kErrInputConversion;
        *static_cast<std::int32_t*>(item.target) = r.value;
        break;
      }
      case FieldDescriptor::Kind::F: {
        const textio::RealResult r = fuzzing::reference_real_field(field, d.decimals);
        if (r.ec != textio::NumberError::None) return textio::kErrInputConversion;
        *static_cast<double*>(item.target) = r.value;
        break;
      }
      case FieldDescriptor::Kind::A: {  // only A400 into a 400-byte text here
        auto* text = static_cast<textio::FixedText400*>(item.target);
        textio::assign_text(*text, field);
        break;
      }
    }
  }
  return textio::kStatusOk;
}

// What the model predicts for a whole-record statement, written into `items`; -1 when
// the statement is not one the model covers.
int model_statement(Op op, RecordModel& model, Items& items, std::size_t sample_count) {
  std::string_view record;
  switch (op) {
    case Op::Skip: return model.next_record(record) ? textio::kStatusOk : textio::kErrEndOfFile;
    case Op::Samples:
      if (sample_count != 0) return -1;
      return model.next_record(record) ? textio::kStatusOk : textio::kErrEndOfFile;
    case Op::FolderLine: {
      const std::array<ModelItem, 2> list{ModelItem{Item::Kind::Integer, &items.number},
                                          ModelItem{Item::Kind::Text, &items.path}};
      return model_fixed_width(model, inputs::layouts::kFolderLine, list);
    }
    case Op::SpectrumRow:
    case Op::SpectrumRow30: {
      std::array<ModelItem, 30> list{};
      for (std::size_t i = 0; i < list.size(); ++i) list[i] = {Item::Kind::Real, &items.reals[i]};
      const std::size_t n = op == Op::SpectrumRow ? 28 : 30;
      return model_fixed_width(model, inputs::layouts::kSpectrumRow, std::span(list.data(), n));
    }
    case Op::WaveformHeader: {
      const std::array<ModelItem, 2> list{ModelItem{Item::Kind::Integer, &items.sample_count},
                                          ModelItem{Item::Kind::Real, &items.step}};
      return model_fixed_width(model, inputs::layouts::kWaveformHeader, list);
    }
    case Op::Answer:
    case Op::Counts: return -1;
  }
  return -1;
}

void require_same_items(Op op, const Items& got, const Items& want) {
  switch (op) {
    case Op::FolderLine:
      require(got.number == want.number, "folder line number differs from the model");
      require(got.path.bytes == want.path.bytes, "folder line path differs from the model",
              got.path.view(), want.path.view());
      break;
    case Op::SpectrumRow:
    case Op::SpectrumRow30:
      require(std::memcmp(got.reals, want.reals, sizeof got.reals) == 0,
              "spectrum fields differ from the model");
      break;
    case Op::WaveformHeader:
      require(got.sample_count == want.sample_count, "sample count differs from the model");
      require(std::bit_cast<std::uint64_t>(got.step) == std::bit_cast<std::uint64_t>(want.step),
              "time step differs from the model");
      break;
    case Op::Skip:
    case Op::Samples:
    case Op::Answer:
    case Op::Counts: break;
  }
}

// What an observer is told, as text, to compare two readings' observers.
struct Recorder : textio::ReadObserver {
  std::string told;
  void field(const textio::FieldCut& c) override {
    told += "F" + std::to_string(c.item) + "@" + std::to_string(c.place.line) + ":" + std::to_string(c.place.column) +
            "[" + std::string(c.text) + "]" + (c.present ? "p" : "") + (c.ended_by_comma ? "c" : "") +
            (c.full ? "f" + std::string(1, c.next) + "[" + std::string(c.rest) + "]" : "") + "\n";
  }
  void dropped(const textio::PassedOver& p) override {
    require(p.from.line >= 1 && p.from.column >= 1, "what a statement dropped has no place");
    told += "D@" + std::to_string(p.from.line) + ":" + std::to_string(p.from.column) + " " +
            std::to_string(p.values) + " " + std::to_string(p.lines_used) + " " + std::to_string(p.first_used_line) +
            "\n";
  }
  void slash(textio::Place p, std::size_t items) override {
    told += "S@" + std::to_string(p.line) + ":" + std::to_string(p.column) + " " + std::to_string(items) + "\n";
  }
  void comma_pair(const textio::CommaPair& p) override {
    require(!p.first.empty() && !p.second.empty(), "a comma pair without its values");
    told += "P@" + std::to_string(p.place.line) + " " + std::to_string(p.item) + "[" + std::string(p.first) + "," +
            std::string(p.second) + "]\n";
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 4) return 0;
  const std::size_t chunk = data[0] < 192 ? 1 + data[0] % 64 : std::size_t{1} << 20;
  const std::size_t sample_count = (data[1] | (std::size_t{data[2]} << 8)) % (kMaxSampleCount + 1);
  const std::size_t op_count = data[3] % 17;
  if (size < 4 + op_count) return 0;
  const std::uint8_t* ops = data + 4;
  const std::string_view bytes(reinterpret_cast<const char*>(data + 4 + op_count),
                               size - 4 - op_count);

  testing_support::MemorySource whole(bytes);
  testing_support::MemorySource chunked(bytes, chunk);
  testing_support::MemorySource whole_again(bytes);
  testing_support::MemorySource whole_watched(bytes);
  textio::RecordReader reader_a(kUnit, std::size_t{1} << 16);
  textio::RecordReader reader_b(kUnit, 0);  // the smallest buffer the reader allows
  textio::RecordReader reader_c(kUnit, std::size_t{1} << 16);
  textio::RecordReader reader_d(kUnit, std::size_t{1} << 16);
  reader_a.attach(whole, kUnitName);
  reader_b.attach(chunked, kUnitName);
  reader_c.attach(whole_again, kUnitName);
  reader_d.attach(whole_watched, kUnitName);
  Recorder told_b, told_d;
  reader_b.set_observer(&told_b);
  reader_d.set_observer(&told_d);
  RecordModel model(bytes);

  static Items a, b, c, d, predicted;  // kept between inputs: the sample slots are large
  const std::size_t sample_slots = std::max<std::size_t>(sample_count, 1) * kStride;
  bool ended = false;
  for (std::size_t k = 0; k < op_count; ++k) {
    const auto op = static_cast<Op>(ops[k] % kOpCount);
    a.preset(kSentinelA, op == Op::Samples ? sample_slots : 0);
    b.preset(kSentinelB, op == Op::Samples ? sample_slots : 0);
    c.preset(kSentinelB, op == Op::Samples ? sample_slots : 0);
    d.preset(kSentinelB, op == Op::Samples ? sample_slots : 0);
    const int status_a = run_statement(op, reader_a, a, sample_count);
    const int status_b = run_statement(op, reader_b, b, sample_count);
    const int status_c = run_statement(op, reader_c, c, sample_count, true);
    const int status_d = run_statement(op, reader_d, d, sample_count);
    require(status_a == status_d, "an observer changed what was read", std::to_string(status_a) + " vs " +
            std::to_string(status_d));
    compare(op, a, d, sample_count);
    require(told_b.told == told_d.told, "two observers were told differently", told_b.told, told_d.told);
    require(status_a == status_c, "the samples statement and a list of reals disagree",
            std::to_string(status_a) + " vs " + std::to_string(status_c));
    compare(op, a, c, sample_count);

    const std::string statuses = std::to_string(status_a) + " vs " + std::to_string(status_b);
    require(status_a == status_b, "the two readings disagree on the status", statuses);
    require(allowed_status(op, status_a), "a status this statement cannot have",
            std::to_string(status_a));
    require(!ended || status_a == textio::kErrEndOfFile,
            "a statement after the end of the data did not end");
    ended = status_a == textio::kErrEndOfFile;
    if (status_a != textio::kStatusOk) {
      const textio::Fault fault = reader_a.fault(status_a);
      require(fault.number == status_a && fault.unit == kUnit && fault.file == kUnitName,
              "the fault does not name the unit and its file", fault.file);
      const textio::Fault chunked_fault = reader_b.fault(status_b);
      require(chunked_fault.text == fault.text || chunked_fault.text.empty(),
              "the two readings' faults name different bytes", chunked_fault.text, fault.text);
      require(fault.text.size() <= textio::kFaultTextBytes, "a fault's bytes beyond their bound");
    }
    compare(op, a, b, sample_count);

    if (model.valid()) {
      predicted.preset(kSentinelA, 0);
      const int expected = model_statement(op, model, predicted, sample_count);
      if (expected == -1) {
        // A free-form list may run over any number of records: the model loses its place,
        // unless the data ran out.
        if (status_a == textio::kErrEndOfFile) {
          model.consume_all();
        } else {
          model.invalidate();
        }
      } else {
        require(status_a == expected, "status differs from the model", std::to_string(status_a),
                std::to_string(expected));
        require_same_items(op, a, predicted);
      }
    }
  }
  return 0;
}
