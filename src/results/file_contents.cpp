#include "results/file_contents.hpp"

#include "results/result_files.hpp"

namespace results {
namespace {

using textio::WriteStatement;
namespace layouts = textio::layouts;

// "時刻(s)" or "周期(s)", then the label of each column, then the unit label.
void write_column_header(textio::OutputUnit& unit, textio::Layout layout,
                         std::string_view first_label, int columns,
                         std::string_view unit_label) {
  WriteStatement s(unit, layout);
  s.text(first_label);
  for (int k = 1; k <= columns; ++k) {
    s.text(kColumnLabel);
    s.integer(k);
  }
  if (!unit_label.empty()) s.text(unit_label);
  s.end();
}

void target_spectrum_header(const gm::RunTables&, textio::OutputUnit& unit) {
  WriteStatement(unit, layouts::kR2).text(kTargetSpectrumHeader);
}

void phase_waveform_header(const gm::RunTables&, textio::OutputUnit& unit) {
  WriteStatement(unit, layouts::kR2).text(kPhaseWaveformHeader);
}

void fault_spectra_header(const gm::RunTables& t, textio::OutputUnit& unit) {
  write_column_header(unit, layouts::kR4, kPeriodLabel, t.fault_count, kVelocityUnitLabel);
}

void case_acceleration_header(const gm::RunTables& t, textio::OutputUnit& unit) {
  write_column_header(unit, layouts::kR6, kTimeLabel, t.case_count, kAccelerationUnitLabel);
}

void case_velocity_header(const gm::RunTables& t, textio::OutputUnit& unit) {
  write_column_header(unit, layouts::kR6, kTimeLabel, t.case_count, kVelocityUnitLabel);
}

// The peak-velocity file has no data records of the common shape: all of it is here.
void peak_velocity_file(const gm::RunTables& t, textio::OutputUnit& unit) {
  write_column_header(unit, layouts::kR6, kCaseNumberLabel, t.case_count, {});
  {
    WriteStatement s(unit, layouts::kR8);
    s.text(kPeakVelocityLabel);
    for (int k = 1; k <= t.case_count; ++k) {
      s.text(kComma);
      s.real(t.peak_velocity(k));
    }
  }
  WriteStatement s(unit, layouts::kR9);
  s.text(kPeakRankLabel);
  for (int k = 1; k <= t.case_count; ++k) {
    s.text(kComma);
    s.integer(t.case_rank(k));
  }
}

// One column per case, one row per sample up to the longest case; a shorter case shows
// the zeros its table cells have held since program load.
DataRows case_rows(const gm::RunTables& t, const double* table) {
  DataRows rows;
  rows.count = t.longest_case_samples;
  rows.values = t.case_count;
  rows.time_step = t.time_step;
  rows.base = table;
  rows.row_step = 1;
  rows.value_step = gm::kMaxSamples;
  rows.layout = layouts::kR7;
  return rows;
}

}  // namespace

std::vector<FileContent> result_contents(const gm::RunTables& t, const AddedFile* added) {
  int unit = textio::kFirstResultUnit;
  std::vector<FileContent> files(added != nullptr ? 7 : 6);

  FileContent& target = files[0];
  target = {unit++, kTargetSpectrumFile, target_spectrum_header, {}, {}};
  target.rows.count = t.period_count;
  target.rows.values = 1;
  target.rows.firsts = t.period_table;
  target.rows.base = t.target_spectrum;
  target.rows.row_step = 1;
  target.rows.layout = layouts::kR3;

  FileContent& phase = files[1];
  phase = {unit++, kPhaseWaveformFile, phase_waveform_header, {}, {}};
  phase.rows.count = t.case_sample_count(t.phase_case);
  phase.rows.values = 1;
  phase.rows.time_step = t.time_step;
  phase.rows.base = t.acceleration_column(t.phase_case);
  phase.rows.row_step = 1;
  phase.rows.layout = layouts::kR3;

  FileContent& faults = files[2];
  faults = {unit++, kFaultSpectraFile, fault_spectra_header, {}, {}};
  faults.rows.count = t.period_count;
  faults.rows.values = t.fault_count;
  faults.rows.firsts = t.period_table;
  faults.rows.base = t.fault_spectra;
  faults.rows.row_step = gm::kMaxFaults;
  faults.rows.value_step = 1;
  faults.rows.layout = layouts::kR5;

  files[3] = {unit++, kCaseAccelerationFile, case_acceleration_header,
              case_rows(t, t.case_acceleration), {}};
  files[4] = {unit++, kCaseVelocityFile, case_velocity_header, case_rows(t, t.case_velocity), {}};
  files[5] = {unit++, kPeakVelocityFile, peak_velocity_file, {}, {}};
  if (added != nullptr) files[6] = {unit, added->name, nullptr, {}, added->bytes};
  return files;
}

void write_header(const gm::RunTables& t, const FileContent& file, textio::OutputUnit& unit) {
  if (file.header != nullptr) {
    file.header(t, unit);
  } else {
    WriteStatement(unit, layouts::kR1).text(file.bytes);
  }
}

void write_by_statements(const gm::RunTables& t, const FileContent& file, textio::OutputUnit& unit) {
  write_header(t, file, unit);
  const DataRows& rows = file.rows;
  for (int j = 1; j <= rows.count && !unit.failed(); ++j) {
    const double* values = rows.row(j);
    WriteStatement s(unit, rows.layout);
    s.real(rows.first(j));
    for (int k = 0; k < rows.values; ++k) {
      s.text(kComma);
      s.real(values[static_cast<std::ptrdiff_t>(k) * rows.value_step]);
    }
  }
}

}  // namespace results
