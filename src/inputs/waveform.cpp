#include "inputs/waveform.hpp"

#include <array>
#include <utility>

namespace inputs {

InputOutcome read_case_waveform(gm::RunTables& t, int c, textio::InputFileUnit& unit) {
  InputOutcome outcome = open_in_folder(t.case_folder(c), t.case_folder_length(c), kWaveformName, unit);
  if (!outcome.is_ok()) return outcome;
  textio::RecordReader& reader = unit.reader();
  double step_in_file = 0.0;  // read and discarded
  const std::array<textio::Item, 2> header{textio::Item::integer(t.case_sample_count(c)),
                                           textio::Item::real(step_in_file)};
  int status = reader.read_fixed_width(textio::kLayoutWaveformHeader, header);
  if (status == textio::kStatusOk) {
    const int n = t.case_sample_count(c);
    if (n > gm::kMaxSamples) {
      outcome.kind = InputOutcome::Kind::TooManySamples;
      unit.close_unit();
      return outcome;
    }
    // The samples start on the record after the header; even with no samples to read,
    // that record must be there.
    status = reader.read_free_form_reals(t.acceleration_column(c), 1,
                                         n > 0 ? static_cast<std::size_t>(n) : 0);
  }
  return finish_reading(std::move(outcome), status, unit);
}

}  // namespace inputs
