#include "results/result_files.hpp"

#include "results/staged_files.hpp"
#include "textio/record_writer.hpp"

namespace results {
namespace {

using textio::WriteStatement;
namespace layouts = textio::layouts;

double time_of_sample(const gm::RunTables& t, int j) {
  // From the index on every row, never accumulated: the last of 100000 rows stays exact.
  return static_cast<double>(j - 1) * t.time_step;
}

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

void write_target_spectrum_file(gm::RunTables& t, textio::OutputUnit& unit) {
  WriteStatement(unit, layouts::kR2).text(kTargetSpectrumHeader);
  for (int j = 1; j <= t.period_count && !unit.failed(); ++j) {
    WriteStatement s(unit, layouts::kR3);
    s.real(t.period(j));
    s.text(kComma);
    s.real(t.target(j));
  }
}

void write_phase_waveform_file(gm::RunTables& t, textio::OutputUnit& unit) {
  WriteStatement(unit, layouts::kR2).text(kPhaseWaveformHeader);
  const int phase = t.phase_case;
  const int n = t.case_sample_count(phase);
  for (int j = 1; j <= n && !unit.failed(); ++j) {
    WriteStatement s(unit, layouts::kR3);
    s.real(time_of_sample(t, j));
    s.text(kComma);
    s.real(t.acceleration(phase, j));
  }
}

void write_fault_spectra_file(gm::RunTables& t, textio::OutputUnit& unit) {
  write_column_header(unit, layouts::kR4, kPeriodLabel, t.fault_count, kVelocityUnitLabel);
  for (int j = 1; j <= t.period_count && !unit.failed(); ++j) {
    WriteStatement s(unit, layouts::kR5);
    s.real(t.period(j));
    for (int i = 1; i <= t.fault_count; ++i) {
      s.text(kComma);
      s.real(t.spectrum(i, j));
    }
  }
}

// One column per case, one row per sample up to the longest case; a shorter case shows
// the zeros its table cells have held since program load.
void write_case_waveform_file(gm::RunTables& t, textio::OutputUnit& unit,
                              const double* table, std::string_view unit_label) {
  write_column_header(unit, layouts::kR6, kTimeLabel, t.case_count, unit_label);
  for (int j = 1; j <= t.longest_case_samples && !unit.failed(); ++j) {
    const double* sample = table + (j - 1);
    WriteStatement s(unit, layouts::kR7);
    s.real(time_of_sample(t, j));
    for (int k = 1; k <= t.case_count; ++k) {
      s.text(kComma);
      s.real(sample[static_cast<std::ptrdiff_t>(k - 1) * gm::kMaxSamples]);
    }
  }
}

void write_peak_velocity_file(gm::RunTables& t, textio::OutputUnit& unit) {
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

}  // namespace

std::optional<textio::Fault> write_result_files(gm::RunTables& t, platform::Console& console,
                                                int threads, const AddedFile* added) {
  StagedFiles files(console, threads);
  int unit = textio::kFirstResultUnit;
  if (auto f = files.write(unit++, kTargetSpectrumFile,
                          [&](textio::OutputUnit& u) { write_target_spectrum_file(t, u); })) {
    return f;
  }
  if (auto f = files.write(unit++, kPhaseWaveformFile,
                          [&](textio::OutputUnit& u) { write_phase_waveform_file(t, u); })) {
    return f;
  }
  if (auto f = files.write(unit++, kFaultSpectraFile,
                          [&](textio::OutputUnit& u) { write_fault_spectra_file(t, u); })) {
    return f;
  }
  t.longest_case_samples = 0;
  for (int k = 1; k <= t.case_count; ++k) {
    if (t.case_sample_count(k) > t.longest_case_samples) {
      t.longest_case_samples = t.case_sample_count(k);
    }
  }
  if (auto f = files.write(unit++, kCaseAccelerationFile, [&](textio::OutputUnit& u) {
        write_case_waveform_file(t, u, t.case_acceleration, kAccelerationUnitLabel);
      })) {
    return f;
  }
  if (auto f = files.write(unit++, kCaseVelocityFile, [&](textio::OutputUnit& u) {
        write_case_waveform_file(t, u, t.case_velocity, kVelocityUnitLabel);
      })) {
    return f;
  }
  if (auto f = files.write(unit++, kPeakVelocityFile,
                          [&](textio::OutputUnit& u) { write_peak_velocity_file(t, u); })) {
    return f;
  }
  if (added != nullptr) {
    // A, $: the bytes as they are, with no line end added.
    if (auto f = files.write(unit, added->name, [&](textio::OutputUnit& u) {
          WriteStatement(u, layouts::kR1).text(added->bytes);
        })) {
      return f;
    }
  }
  return files.place_all();
}

}  // namespace results
