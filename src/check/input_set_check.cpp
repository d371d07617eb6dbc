#include "check/input_set_check.hpp"

#include <string>
#include <utility>

#include "expect/expect.hpp"
#include "inputs/file_layouts.hpp"
#include "inputs/spectrum_table.hpp"
#include "inputs/waveform.hpp"
#include "textio/report.hpp"

namespace check {
namespace {

std::string not_exist(std::string_view path, const ErrorTexts& texts) {
  return join_message({std::string(path) + std::string(texts.not_exist)});
}

}  // namespace

InputSetWatch::InputSetWatch(std::string_view definition_file, const ErrorTexts& texts)
    : definition_file_(definition_file), texts_(texts) {}

textio::ReadObserver* InputSetWatch::opened(inputs::InputFile file, int number) {
  const auto i = gm::checked_size(number, "files are numbered from 0 (the definition) or 1");
  switch (file) {
    case inputs::InputFile::Definition:
      definition_ = DefinitionWatch{};
      return &definition_;
    case inputs::InputFile::SpectrumTable:
      GM_EXPECT(i >= 1 && i < tables_.size(), "fault numbers are checked against the fault count");
      tables_[i] = SpectrumTableWatch{};
      return &tables_[i];
    case inputs::InputFile::Waveform:
      GM_EXPECT(i >= 1 && i < waveforms_.size(), "case numbers are checked against the case count");
      waveforms_[i] = WaveformWatch{};
      return &waveforms_[i];
  }
  return nullptr;
}

void InputSetWatch::read(inputs::InputFile file, int number, const gm::RunTables& t, textio::RecordReader* reader,
                         const inputs::InputOutcome& outcome) {
  const auto i = gm::checked_size(number, "tables and waveforms are numbered from 1");
  const bool spectrum = file == inputs::InputFile::SpectrumTable;
  GM_EXPECT(i >= 1 && i < (spectrum ? table_found_.size() : waveform_found_.size()),
            "fault and case numbers are checked against their counts");
  Findings& out = spectrum ? table_found_[i] : waveform_found_[i];
  if (outcome.kind == inputs::InputOutcome::Kind::CannotOpen || reader == nullptr) {
    // Listed where the definition names the folder, in the run's words.
    out.error(definition_file_, spectrum ? facts_.fault_line[i] : facts_.case_line[i],
              not_exist(outcome.path, texts_));
    return;
  }
  if (!spectrum) {
    waveforms_[i].finish(t, number, reader, outcome, texts_, out);
    return;
  }
  PeriodColumn periods;
  tables_[i].finish(number, *reader, outcome, fault1_read_ ? &fault1_ : nullptr, periods, out);
  if (number == 1) {
    fault1_ = std::move(periods);
    fault1_read_ = true;
  }
}

void InputSetWatch::definition_read(const gm::RunTables& t, const inputs::DefinitionOutcome& outcome) {
  if (outcome.kind == inputs::DefinitionOutcome::Kind::Ok) {
    definition_warnings(t, definition_file_, definition_, definition_found_);
  }
}

Findings InputSetWatch::take_findings() {
  Findings all = std::move(definition_found_);
  for (Findings& f : table_found_) all.append(std::move(f));
  for (Findings& f : waveform_found_) all.append(std::move(f));
  definition_found_ = Findings();
  return all;
}

void check_input_set(gm::RunTables& t, std::string_view name, const ErrorTexts& texts,
                     const parallel::Pool& workers, Findings& out) {
  InputSetWatch watch(name, texts);
  {
    textio::InputFileUnit definition(inputs::kDefinitionFileUnit);
    if (definition.open_for_reading(name) != textio::kStatusOk) {
      out.error(name, 0, not_exist(name, texts));
      return;
    }
    watch.set_definition_facts(check_definition(t, name, definition.reader(), texts, watch.definition_findings()));
  }
  out.append(watch.take_findings());
  const DefinitionFacts& facts = watch.facts();
  if (!facts.counts_read) return;
  {
    textio::InputFileUnit unit(inputs::kSpectrumTableUnit);
    for (int k = 1; k <= t.fault_count; ++k) {
      if (facts.fault_line[static_cast<std::size_t>(k)] != 0) inputs::read_fault_spectrum_table(t, k, unit, &watch);
    }
  }
  gm::prefer_large_pages_for_cases(t);
  workers.for_each_with(
      gm::checked_size(t.case_count, "the check read the counts"),
      [] { return textio::InputFileUnit(inputs::kWaveformUnit); },
      [&](textio::InputFileUnit& unit, std::size_t i) {
        if (facts.case_line[i + 1] != 0) inputs::read_case_waveform(t, static_cast<int>(i) + 1, unit, &watch);
      });
  out.append(watch.take_findings());
}

}  // namespace check
