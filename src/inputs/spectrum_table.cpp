#include "inputs/spectrum_table.hpp"

#include <array>
#include <utility>

#include "inputs/file_layouts.hpp"
#include "inputs/input_watch.hpp"

namespace inputs {

InputOutcome read_fault_spectrum_table(gm::RunTables& t, int k, textio::InputFileUnit& unit, InputWatch* watch) {
  InputOutcome outcome =
      open_in_folder(t.fault_folder(k), t.fault_folder_length(k), kSpectrumTableName, unit);
  if (!outcome.is_ok()) {
    if (watch != nullptr) watch->read(InputFile::SpectrumTable, k, t, nullptr, outcome);
    return outcome;
  }
  outcome = read_open_spectrum_table(t, k, unit.reader(), std::move(outcome), watch);
  unit.close_unit();
  return outcome;
}

InputOutcome read_open_spectrum_table(gm::RunTables& t, int k, textio::RecordReader& reader, InputOutcome outcome,
                                      InputWatch* watch) {
  if (watch != nullptr) reader.set_observer(watch->opened(InputFile::SpectrumTable, k));
  outcome = fault_outcome(std::move(outcome), read_spectrum_records(t, k, reader), reader);
  if (watch != nullptr) watch->read(InputFile::SpectrumTable, k, t, &reader, outcome);
  return outcome;
}

int read_spectrum_records(gm::RunTables& t, int k, textio::RecordReader& reader) {
  int status = textio::kStatusOk;
  for (int line = 1; line <= kSpectrumHeaderLines && status == textio::kStatusOk; ++line) {
    status = reader.skip_record();
  }
  // Every field of a row gets a value: those missing at the end of a short row read as 0.
  std::array<double, kSpectrumFields> fields{};
  std::array<textio::Item, kSpectrumFields> items{};
  for (std::size_t i = 0; i < items.size(); ++i) items[i] = textio::Item::real(fields[i]);
  for (int j = 1; j <= t.period_count && status == textio::kStatusOk; ++j) {
    status = reader.read_fixed_width(layouts::kSpectrumRow, items);
    if (status != textio::kStatusOk) break;
    if (k == 1) t.period(j) = fields[0];
    t.spectrum(k, j) = fields[kSpectrumFields - 1];
  }
  return status;
}

}  // namespace inputs
