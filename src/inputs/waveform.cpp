#include "inputs/waveform.hpp"

#include <array>
#include <atomic>
#include <utility>
#include <vector>

#include "expect/expect.hpp"
#include "inputs/file_layouts.hpp"
#include "inputs/input_watch.hpp"

namespace inputs {

InputOutcome read_case_waveform(gm::RunTables& t, int c, textio::InputFileUnit& unit, InputWatch* watch) {
  InputOutcome outcome = open_in_folder(t.case_folder(c), t.case_folder_length(c), kWaveformName, unit);
  if (!outcome.is_ok()) {
    if (watch != nullptr) watch->read(InputFile::Waveform, c, t, nullptr, outcome);
    return outcome;
  }
  outcome = read_open_waveform(t, c, unit.reader(), std::move(outcome), watch);
  unit.close_unit();
  return outcome;
}

InputOutcome read_open_waveform(gm::RunTables& t, int c, textio::RecordReader& reader, InputOutcome outcome,
                                InputWatch* watch) {
  if (watch != nullptr) reader.set_observer(watch->opened(InputFile::Waveform, c));
  std::int32_t stated = 0;
  int status = read_waveform_header(t, c, reader, stated);
  if (status == textio::kStatusOk && stated > gm::kMaxSamples) {
    outcome.kind = InputOutcome::Kind::TooManySamples;
  } else {
    if (status == textio::kStatusOk) status = read_waveform_samples(t, c, reader);
    outcome = fault_outcome(std::move(outcome), status, reader);
  }
  if (watch != nullptr) watch->read(InputFile::Waveform, c, t, &reader, outcome);
  return outcome;
}

int read_waveform_header(gm::RunTables& t, int c, textio::RecordReader& reader, std::int32_t& stated) {
  double step_in_file = 0.0;  // read and discarded
  stated = 0;
  const std::array<textio::Item, 2> header{textio::Item::integer(stated), textio::Item::real(step_in_file)};
  const int status = reader.read_fixed_width(layouts::kWaveformHeader, header);
  // The one place a count becomes the table's: no sample is read for a count of 0 or
  // less, and none for one beyond the table's room, which the caller refuses.
  t.case_sample_count(c) = stated < 0 || stated > gm::kMaxSamples ? 0 : stated;
  return status;
}

int read_waveform_samples(gm::RunTables& t, int c, textio::RecordReader& reader) {
  // The samples start on the record after the header; even with no samples to read, that
  // record must be there.
  const std::size_t n = gm::checked_size(t.case_sample_count(c), "a waveform's count is clamped where it is read");
  return reader.read_free_form_reals(t.acceleration_column(c), 1, n);
}

InputOutcome read_case_waveforms(gm::RunTables& t, const parallel::Pool& pool, InputWatch* watch) {
  const std::size_t count = gm::checked_size(t.case_count, "the case count is checked when it is read");
  gm::prefer_large_pages_for_cases(t);
  std::vector<InputOutcome> outcomes(count);
  // A case after one that failed cannot change the outcome: it is skipped once that is
  // known. The first failing case itself is never skipped, as only a failure before it
  // could do that.
  std::atomic<std::size_t> first_failed{count};
  pool.for_each_with(
      count, [] { return textio::InputFileUnit(kWaveformUnit); },
      [&](textio::InputFileUnit& unit, std::size_t i) {
        if (i > first_failed.load(std::memory_order_relaxed)) return;
        outcomes[i] = read_case_waveform(t, static_cast<int>(i) + 1, unit, watch);
        if (outcomes[i].is_ok()) return;
        std::size_t seen = first_failed.load(std::memory_order_relaxed);
        while (i < seen && !first_failed.compare_exchange_weak(seen, i, std::memory_order_relaxed)) {
        }
      });
  for (InputOutcome& outcome : outcomes) {
    if (!outcome.is_ok()) return std::move(outcome);
  }
  return InputOutcome::ok();
}

}  // namespace inputs
