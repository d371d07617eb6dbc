#include "check/input_set_check.hpp"

#include <utility>
#include <string>
#include <vector>

#include "inputs/file_layouts.hpp"
#include "check/definition_check.hpp"
#include "check/file_bytes.hpp"
#include "check/spectrum_check.hpp"
#include "check/waveform_check.hpp"
#include "inputs/spectrum_table.hpp"
#include "inputs/waveform.hpp"
#include "textio/report.hpp"

namespace check {
namespace {

std::string not_exist(const std::string& path, const ErrorTexts& texts) {
  return join_message({path + std::string(texts.not_exist)});
}

void check_tables(gm::RunTables& t, std::string_view name, const DefinitionFacts& facts, const ErrorTexts& texts,
                  Findings& out) {
  textio::RecordReader reader(inputs::kSpectrumTableUnit);
  // Fault 1's column is known only once its table was read; the others are held to it.
  PeriodColumn fault1;
  PeriodColumn periods;
  bool fault1_read = false;
  for (int k = 1; k <= t.fault_count; ++k) {
    if (facts.fault_line[static_cast<std::size_t>(k)] == 0) continue;
    const std::string path = textio::join_path(t.fault_folder(k), t.fault_folder_length(k), inputs::kSpectrumTableName);
    const FileBytes file = load_file(path);
    if (file.open_error != platform::OpenError::None) {
      out.error(name, facts.fault_line[static_cast<std::size_t>(k)], not_exist(path, texts));
      continue;
    }
    check_spectrum_table(t, k, path, file, reader, fault1_read ? &fault1 : nullptr, periods, out);
    if (k == 1) {
      std::swap(fault1, periods);
      fault1_read = true;
    }
  }
}

void check_waveforms(gm::RunTables& t, std::string_view name, const DefinitionFacts& facts, const ErrorTexts& texts,
                     const parallel::Pool& workers, Findings& out) {
  const auto count = static_cast<std::size_t>(t.case_count);
  std::vector<Findings> found(count);
  workers.for_each_with(
      count, [] { return textio::RecordReader(inputs::kWaveformUnit); },
      [&](textio::RecordReader& reader, std::size_t i) {
        const int c = static_cast<int>(i) + 1;
        const int line = facts.case_line[i + 1];
        if (line == 0) return;
        const std::string path = textio::join_path(t.case_folder(c), t.case_folder_length(c), inputs::kWaveformName);
        const FileBytes file = load_file(path);
        if (file.open_error != platform::OpenError::None) {
          found[i].error(name, line, not_exist(path, texts));
          return;
        }
        check_waveform(t, c, path, file, reader, texts, found[i]);
      });
  for (Findings& f : found) out.append(std::move(f));
}

}  // namespace

void check_input_set(gm::RunTables& t, std::string_view name, const ErrorTexts& texts,
                     const parallel::Pool& workers, Findings& out) {
  DefinitionFacts facts;
  {
    const FileBytes file = load_file(name);
    if (file.open_error != platform::OpenError::None) {
      out.error(name, 0, join_message({std::string(name) + std::string(texts.not_exist)}));
      return;
    }
    textio::RecordReader reader(inputs::kDefinitionFileUnit);
    facts = check_definition(t, name, file, reader, texts, out);
  }
  if (!facts.counts_read) return;
  check_tables(t, name, facts, texts, out);
  check_waveforms(t, name, facts, texts, workers, out);
}

}  // namespace check
