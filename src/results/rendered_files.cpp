#include "results/rendered_files.hpp"

#include <algorithm>
#include <array>
#include <vector>

#include "expect/expect.hpp"
#include "platform/memory.hpp"
#include "textio/report.hpp"
#include "textio/value_records.hpp"

namespace results {
namespace {

// Bytes of one block of records: large enough that a write moves a good amount at once,
// small enough that a few per thread stay well inside the memory a run may take.
constexpr std::size_t kBlockBytes = std::size_t{1} << 18;
// Records rendered in one call, whose first fields may share a pass.
constexpr int kRecordsAtOnce = 16;

// An output unit's bytes kept in memory: a file's header, rendered before it is opened.
class MemorySink : public textio::ByteSink {
 public:
  bool write(const char* data, std::size_t n) override {
    bytes.append(data, n);
    return true;
  }
  std::string bytes;
};

std::string header_bytes(const gm::RunTables& t, const FileContent& file,
                         platform::Console& reports) {
  MemorySink sink;
  textio::OutputUnit unit(file.unit(), 4096, false, reports);
  unit.attach(sink, file.name());
  write_header(t, file, unit);
  unit.flush();
  return std::move(sink.bytes);
}

// The blocks in flight: `window` slots of kBlockBytes, each with what was rendered into it.
struct Slots {
  explicit Slots(std::size_t count) : memory(count * kBlockBytes), bytes(count), overflowed(count) {}
  char* slot(std::size_t s) noexcept { return memory.data() + s * kBlockBytes; }
  platform::LargeBuffer memory;
  std::vector<std::size_t> bytes;
  std::vector<std::size_t> overflowed;  // records with a field too wide
};

// Renders the data records block by block on the pool and writes the blocks in order;
// `overflowed` counts the records with a field too wide. A failed write stops the
// rendering and leaves the unit failed, which the staging reports.
void write_rows(const DataRows& rows, textio::OutputUnit& unit, Slots& slots,
                const parallel::Pool& pool, std::size_t& overflowed) {
  if (rows.count <= 0) return;
  const std::size_t length = textio::value_record_length(rows.values);
  const auto per_block = static_cast<int>(std::max<std::size_t>(1, kBlockBytes / length));
  const std::size_t blocks = gm::checked_size((rows.count + per_block - 1) / per_block, "rows.count is positive here");
  const std::size_t window = slots.bytes.size();
  // Rows held in no table: each slot's block of values, made before it is rendered, in
  // one allocation for the file that the slots reuse block after block.
  const std::size_t made_per_slot = rows.fill != nullptr ? gm::checked_size(per_block * rows.row_step, "rows made have values") : 0;
  std::vector<double> made(window * made_per_slot);
  const auto render = [&](std::size_t i) {
    const std::size_t s = i % window;
    const int first = static_cast<int>(i) * per_block + 1;
    const int last = std::min(rows.count, first + per_block - 1);
    double* block = nullptr;  // row j at block + (j - first) * row_step
    if (rows.fill != nullptr) {
      block = made.data() + s * made_per_slot;
      rows.fill(*rows.source, first, last - first + 1, block);
    }
    const auto row = [&](int j) -> const double* {
      return block != nullptr ? block + static_cast<std::ptrdiff_t>(j - first) * rows.row_step : rows.row(j);
    };
    char* out = slots.slot(s);
    std::size_t over = 0;
    for (int j = first; j <= last; j += kRecordsAtOnce) {
      const int records = std::min(kRecordsAtOnce, last - j + 1);
      std::array<double, kRecordsAtOnce> firsts;
      for (int r = 0; r < records; ++r) firsts[static_cast<std::size_t>(r)] = rows.first(j + r);
      over += static_cast<std::size_t>(textio::render_value_records(firsts.data(), records, row(j), rows.row_step,
                                                                    rows.value_step, rows.values, out));
      out += static_cast<std::size_t>(records) * length;
    }
    slots.bytes[s] = static_cast<std::size_t>(out - slots.slot(s));
    slots.overflowed[s] = over;
  };
  const auto write = [&](std::size_t i) {
    const std::size_t s = i % window;
    overflowed += slots.overflowed[s];
    return unit.write_bytes(slots.slot(s), slots.bytes[s]);
  };
  pool.for_each_in_order(blocks, window, render, write);
}

}  // namespace

void HeldReports::show(platform::Console& console) const {
  for (const auto& [line, times] : lines_) {
    for (std::size_t k = 0; k < times; ++k) console.write_error(line);
  }
}

bool write_rendered(const gm::RunTables& t, const std::vector<FileContent>& contents, commit::StagedFiles& files,
                    HeldReports& reports, const parallel::Pool& pool) {
  if (contents.empty()) return true;
  // Two blocks per thread: one being rendered while the one before waits to be written.
  Slots slots(2 * static_cast<std::size_t>(pool.threads()));
  for (const FileContent& file : contents) {
    const std::string header = header_bytes(t, file, reports);
    std::size_t overflowed = 0;
    const auto fault = files.write(file.unit(), file.name(), [&](textio::OutputUnit& unit) {
      if (unit.write_bytes(header.data(), header.size())) {
        write_rows(file.rows, unit, slots, pool, overflowed);
      }
    });
    if (fault) return false;
    // A statement reports once however many of its fields overflowed.
    reports.hold(textio::report_line(textio::Severity::Error,
                                     textio::Fault{textio::kErrOutputConversion, file.unit(),
                                                   std::string(file.name())}),
                 overflowed);
  }
  return true;
}

}  // namespace results
