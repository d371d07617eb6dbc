// Fuzzing of a check's reading of one input file against the run's own reading of the
// same bytes: a waveform or a spectrum table (as fault 1 or as fault 2, held to a clean
// fault 1), read by the run's readers with the check watching and without; or a
// definition file, which the check reads on past a line in error.
//
// Input layout:
//   byte 0     the file's kind, modulo 4: waveform, table of fault 1, table of fault 2,
//              definition file
//   the rest   the file's bytes
//
// Properties: the check ends in error exactly when the run's reading does, and then lists
// that error first, in the run's words (the report line's text for the record layer);
// the run tables hold the same values after both readings (for a definition file, when the
// run reads it through); every finding's line lies within the file; and nothing reads
// outside the bytes (the sanitizers watch).
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "inputs/file_layouts.hpp"
#include "check.hpp"
#include "check/definition_check.hpp"
#include "check/input_set_check.hpp"
#include "inputs/definition_file.hpp"
#include "driver/messages.hpp"
#include "inputs/spectrum_table.hpp"
#include "inputs/waveform.hpp"
#include "support/memory_source.hpp"
#include "tables/run_tables.hpp"

namespace {

using fuzzing::require;

const check::ErrorTexts kTexts{gm::kNotExist,  gm::kBadCounts,    gm::kBadFaultLine, gm::kBadCaseLine,
                               gm::kLineError, gm::kMissingFault, gm::kMissingCase,  gm::kTooManySamples};
constexpr std::string_view kName = "fuzz\\file.dat";

std::string clean_table() {
  std::string table;
  for (int i = 1; i <= 15; ++i) table += "h\n";
  for (int j = 1; j <= 55; ++j) {
    table += std::to_string(j);
    for (int f = 2; f <= 28; ++f) table += ",1";
    table += "\n";
  }
  return table;
}

// The file's name in a reading's outcome.
inputs::InputOutcome named() {
  inputs::InputOutcome outcome;
  outcome.path = kName;
  return outcome;
}

// A reading of a spectrum table or waveform, as fault or case `number`, by the run's own
// reader, watched by `watch` (none: a plain run's).
inputs::InputOutcome read_file(gm::RunTables& t, int kind, int number, const std::string& bytes,
                               inputs::InputWatch* watch) {
  testing_support::MemorySource source(bytes, 7);
  textio::RecordReader reader(kind == 0 ? inputs::kWaveformUnit : inputs::kSpectrumTableUnit);
  reader.attach(source, kName);
  return kind == 0 ? inputs::read_open_waveform(t, number, reader, named(), watch)
                   : inputs::read_open_spectrum_table(t, number, reader, named(), watch);
}

// What a run's reading of the bytes comes to: "" or its error, in a check's words.
std::string run_reading(gm::RunTables& t, int kind, const std::string& bytes) {
  if (kind == 3) {
    testing_support::MemorySource source(bytes, 7);
    textio::RecordReader reader(inputs::kDefinitionFileUnit);
    reader.attach(source, kName);
    const inputs::DefinitionOutcome o = inputs::read_definition_file(t, reader);
    const std::string n = std::to_string(o.number);
    using Kind = inputs::DefinitionOutcome::Kind;
    switch (o.kind) {
      case Kind::Ok: return "";
      case Kind::BadCounts: return check::join_message({gm::kBadCounts});
      case Kind::BadFaultLine: return check::join_message({gm::kBadFaultLine, n, gm::kLineError});
      case Kind::MissingFault: return check::join_message({gm::kMissingFault, n, gm::kNotExist});
      case Kind::BadCaseLine: return check::join_message({gm::kBadCaseLine, n, gm::kLineError});
      case Kind::MissingCase: return check::join_message({gm::kMissingCase, n, gm::kNotExist});
      case Kind::Fault: return check::record_error_text(o.fault, "");
    }
    return "";
  }
  if (kind == 2) read_file(t, 1, 1, clean_table(), nullptr);
  const inputs::InputOutcome o = read_file(t, kind, kind == 0 ? 1 : kind, bytes, nullptr);
  using Kind = inputs::InputOutcome::Kind;
  if (o.kind == Kind::TooManySamples) return check::join_message({std::string(kName) + std::string(gm::kTooManySamples)});
  return o.kind == Kind::Fault ? check::record_error_text(o.fault, "") : "";
}

check::Findings check_reading(gm::RunTables& t, int kind, const std::string& bytes) {
  if (kind == 3) {
    testing_support::MemorySource source(bytes, 7);
    textio::RecordReader reader(inputs::kDefinitionFileUnit);
    reader.attach(source, kName);
    check::Findings out;
    check::check_definition(t, kName, reader, kTexts, out);
    return out;
  }
  check::InputSetWatch watch("fuzz\\def.csv", kTexts);
  if (kind == 2) {
    read_file(t, 1, 1, clean_table(), &watch);
    watch.take_findings();
  }
  read_file(t, kind, kind == 0 ? 1 : kind, bytes, &watch);
  return watch.take_findings();
}

// The cells a reading of this kind fills.
std::string tables_read(const gm::RunTables& t, int kind) {
  std::string cells;
  auto add = [&](const void* p, std::size_t n) { cells.append(static_cast<const char*>(p), n); };
  if (kind == 0) {
    add(&t.case_integer_table[0], sizeof(std::int32_t));
    const int n = t.case_sample_count(1);
    if (n > 0 && n <= gm::kMaxSamples) add(t.acceleration_column(1), static_cast<std::size_t>(n) * sizeof(double));
  } else if (kind == 3) {
    add(&t.fault_count, sizeof t.fault_count);
    add(&t.case_count, sizeof t.case_count);
    add(t.fault_folders, sizeof t.fault_folders);
    add(t.fault_folder_lengths, sizeof t.fault_folder_lengths);
    add(t.case_folders, sizeof t.case_folders);
    add(t.case_folder_lengths, sizeof t.case_folder_lengths);
  } else {
    add(t.period_table, sizeof t.period_table);
    add(t.fault_spectra, sizeof t.fault_spectra);
  }
  return cells;
}

// Tables with the cells a reading fills back at zero (two instances: the run's and the
// check's). Zeroing all 48 MB of each would cost most of every input's time.
gm::RunTables& clean_tables(int which) {
  static gm::RunTables tables[2];
  gm::RunTables& t = tables[which];
  t.period_count = gm::kPeriodCount;
  t.time_step = gm::kTimeStep;
  t.fault_count = t.case_count = 0;
  std::memset(t.fault_folders, 0, sizeof t.fault_folders);
  std::memset(t.fault_folder_lengths, 0, sizeof t.fault_folder_lengths);
  std::memset(t.case_folders, 0, sizeof t.case_folders);
  std::memset(t.case_folder_lengths, 0, sizeof t.case_folder_lengths);
  std::memset(t.period_table, 0, sizeof t.period_table);
  std::memset(t.fault_spectra, 0, sizeof t.fault_spectra);
  std::memset(t.case_integer_table, 0, sizeof t.case_integer_table);
  std::memset(t.acceleration_column(1), 0, sizeof(double) * gm::kMaxSamples);
  return t;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const int kind = data[0] % 4;
  const std::string bytes(reinterpret_cast<const char*>(data) + 1, size - 1);

  gm::RunTables& t = clean_tables(0);
  const std::string run_error = run_reading(t, kind, bytes);
  const std::string run_cells = tables_read(t, kind);

  gm::RunTables& u = clean_tables(1);
  const check::Findings found = check_reading(u, kind, bytes);
  // A check reads a definition file on past a line in error, which the run does not.
  if (kind != 3 || run_error.empty()) {
    require(tables_read(u, kind) == run_cells, "the check's reading fills the tables as the run's does");
  }

  const check::Finding* first = nullptr;
  int lines = 1;
  for (char c : bytes) lines += c == '\n';
  for (const check::Finding& f : found.list()) {
    if (first == nullptr && f.severity == check::Finding::Error) first = &f;
    require(f.line >= 0 && f.line <= lines, "a finding's line lies within the file", std::to_string(f.line));
  }
  require((first == nullptr) == run_error.empty(), "the check ends in error exactly when the run does",
          first == nullptr ? "" : first->text, run_error);
  if (first != nullptr) {
    require(first->text.substr(0, run_error.size()) == run_error, "the first error is the run's",
            first->text, run_error);
  }
  return 0;
}
