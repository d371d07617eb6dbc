#include "results/result_set.hpp"

#include <algorithm>
#include <array>
#include <string>

#include "results/file_layouts.hpp"
#include "tables/case_velocity.hpp"

namespace results {
namespace {

using textio::WriteStatement;

// "時刻(s)" or "周期(s)", then the label of each column, then the unit label.
void write_column_header(textio::OutputUnit& unit, textio::Layout layout, std::string_view first_label,
                         int columns, std::string_view unit_label) {
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
  WriteStatement(unit, layouts::kLabel).text(kTargetSpectrumHeader);
}

void phase_waveform_header(const gm::RunTables&, textio::OutputUnit& unit) {
  WriteStatement(unit, layouts::kLabel).text(kPhaseWaveformHeader);
}

void fault_spectra_header(const gm::RunTables& t, textio::OutputUnit& unit) {
  write_column_header(unit, layouts::kFaultHeading, kPeriodLabel, t.fault_count, kVelocityUnitLabel);
}

void case_acceleration_header(const gm::RunTables& t, textio::OutputUnit& unit) {
  write_column_header(unit, layouts::kCaseHeading, kTimeLabel, t.case_count, kAccelerationUnitLabel);
}

void case_velocity_header(const gm::RunTables& t, textio::OutputUnit& unit) {
  write_column_header(unit, layouts::kCaseHeading, kTimeLabel, t.case_count, kVelocityUnitLabel);
}

// The peak-velocity file has no data records of the common shape: all of it is here.
void peak_velocity_file(const gm::RunTables& t, textio::OutputUnit& unit) {
  write_column_header(unit, layouts::kCaseHeading, kCaseNumberLabel, t.case_count, {});
  {
    WriteStatement s(unit, layouts::kPeakRow);
    s.text(kPeakVelocityLabel);
    for (int k = 1; k <= t.case_count; ++k) {
      s.text(kComma);
      s.real(t.peak_velocity(k));
    }
  }
  WriteStatement s(unit, layouts::kRankRow);
  s.text(kPeakRankLabel);
  for (int k = 1; k <= t.case_count; ++k) {
    s.text(kComma);
    s.integer(t.case_rank(k));
  }
}

// One column of a table indexed by period row.
DataRows period_rows(const gm::RunTables& t, const double* table) {
  DataRows rows;
  rows.count = t.period_count;
  rows.values = 1;
  rows.firsts = t.period_table;
  rows.base = table;
  rows.row_step = 1;
  rows.layout = layouts::kOneValueRow;
  return rows;
}

DataRows target_spectrum_rows(const gm::RunTables& t) { return period_rows(t, t.target_spectrum); }

DataRows phase_waveform_rows(const gm::RunTables& t) {
  DataRows rows;
  rows.count = t.case_sample_count(t.phase_case);
  rows.values = 1;
  rows.time_step = t.time_step;
  rows.base = t.acceleration_column(t.phase_case);
  rows.row_step = 1;
  rows.layout = layouts::kOneValueRow;
  return rows;
}

DataRows fault_spectra_rows(const gm::RunTables& t) {
  DataRows rows = period_rows(t, t.fault_spectra);
  rows.values = t.fault_count;
  rows.row_step = gm::kMaxFaults;
  rows.value_step = 1;
  rows.layout = layouts::kFaultRow;
  return rows;
}

// One column per case, one row per sample up to the longest case; a shorter case shows
// the zeros its table cells have held since program load (its velocity, zeros as well).
DataRows case_rows(const gm::RunTables& t, const double* table) {
  DataRows rows;
  rows.count = t.longest_case_samples;
  rows.values = t.case_count;
  rows.time_step = t.time_step;
  rows.base = table;
  rows.row_step = 1;
  rows.value_step = gm::kMaxSamples;
  rows.layout = layouts::kCaseRow;
  return rows;
}

// The title, then the column heads: "周期(s),目標Sv(cm/s),ケース1 Sv(cm/s),ケース1 pSv(cm/s),...".
void case_spectra_header(const gm::RunTables& t, textio::OutputUnit& unit) {
  WriteStatement(unit, layouts::kLabel).text(kCaseSpectraTitle);
  std::string heads(kPeriodLabel);
  heads.append(kComma).append(kTargetSvLabel);
  for (int c = 1; c <= t.case_count; ++c) {
    const std::string number = std::to_string(c);
    heads.append(kComma).append(kCaseLabel).append(number).append(" Sv(cm/s)");
    heads.append(kComma).append(kCaseLabel).append(number).append(" pSv(cm/s)");
  }
  WriteStatement(unit, layouts::kLabel).text(heads);
}

DataRows case_spectra_rows(const gm::RunTables& t) {
  DataRows rows = period_rows(t, t.case_spectra);
  rows.values = 1 + 2 * t.case_count;
  rows.row_step = gm::kSpectraColumns;
  rows.value_step = 1;
  rows.layout = layouts::kSpectraRow;
  return rows;
}

// The design wave in the phase waveform file's layout, heading included.
DataRows fitted_wave_rows(const gm::RunTables& t) {
  DataRows rows = phase_waveform_rows(t);
  rows.count = t.fit.sample_count;
  rows.base = t.fit.wave;
  return rows;
}

DataRows case_acceleration_rows(const gm::RunTables& t) { return case_rows(t, t.case_acceleration); }
// The velocity is integrated where it is written, a block of rows at a time.
DataRows case_velocity_rows(const gm::RunTables& t) {
  DataRows rows = case_rows(t, nullptr);
  rows.row_step = t.case_count;
  rows.value_step = 1;
  rows.fill = gm::case_velocity_rows;
  rows.source = &t;
  return rows;
}

// The set, in the order written. Units count up from 21 in this order.
constexpr std::array kResultSet{
    ResultFile{kTargetSpectrumFile, 21, Option::None, target_spectrum_header, target_spectrum_rows},
    ResultFile{kPhaseWaveformFile, 22, Option::None, phase_waveform_header, phase_waveform_rows},
    ResultFile{kFaultSpectraFile, 23, Option::None, fault_spectra_header, fault_spectra_rows},
    ResultFile{kCaseAccelerationFile, 24, Option::None, case_acceleration_header, case_acceleration_rows},
    ResultFile{kCaseVelocityFile, 25, Option::None, case_velocity_header, case_velocity_rows},
    ResultFile{kPeakVelocityFile, 26, Option::None, peak_velocity_file, nullptr},
    ResultFile{kReportPageFile, 27, Option::Report, nullptr, nullptr},
    ResultFile{kCaseSpectraFile, 28, Option::Spectra, case_spectra_header, case_spectra_rows},
    ResultFile{kFittedWaveFile, 29, Option::Fit, phase_waveform_header, fitted_wave_rows},
};

// The files every run writes come before those of the options: a run writes them first and
// makes what the options' files hold while they go to the disk, in the order written.
constexpr bool always_first() {
  bool optional_seen = false;
  for (const ResultFile& file : kResultSet) {
    if (file.option == Option::None && optional_seen) return false;
    optional_seen = optional_seen || file.option != Option::None;
  }
  return true;
}
static_assert(always_first());

}  // namespace

std::span<const ResultFile> result_set() { return kResultSet; }

std::vector<FileContent> result_contents(const gm::RunTables& t, const Request& request, Files which) {
  std::vector<FileContent> files;
  for (const ResultFile& file : kResultSet) {
    if (!request.asks(file.option)) continue;
    const bool always = file.option == Option::None;
    if ((which == Files::Always && !always) || (which == Files::Optional && always)) continue;
    FileContent& content = files.emplace_back();
    content.file = &file;
    if (file.rows != nullptr) content.rows = file.rows(t);
    if (file.heading == nullptr) content.bytes = request.bytes_for(file.option);
  }
  return files;
}

void write_header(const gm::RunTables& t, const FileContent& content, textio::OutputUnit& unit) {
  if (content.file->heading != nullptr) {
    content.file->heading(t, unit);
  } else {
    WriteStatement(unit, layouts::kBytes).text(content.bytes);
  }
}

void write_by_statements(const gm::RunTables& t, const FileContent& content, textio::OutputUnit& unit) {
  write_header(t, content, unit);
  const DataRows& rows = content.rows;
  // Rows held in no table are made a stretch at a time.
  constexpr int kStretch = 1024;
  std::vector<double> made;
  if (rows.fill != nullptr) made.resize(gm::checked_size(kStretch * rows.row_step, "a row of made values is not empty"));
  for (int j = 1; j <= rows.count && !unit.failed(); ++j) {
    const double* values = nullptr;
    if (rows.fill == nullptr) {
      values = rows.row(j);
    } else {
      const int r = (j - 1) % kStretch;
      if (r == 0) rows.fill(*rows.source, j, std::min(kStretch, rows.count - j + 1), made.data());
      values = made.data() + r * rows.row_step;
    }
    WriteStatement s(unit, rows.layout);
    s.real(rows.first(j));
    for (int k = 0; k < rows.values; ++k) {
      s.text(kComma);
      s.real(values[static_cast<std::ptrdiff_t>(k) * rows.value_step]);
    }
  }
}

}  // namespace results
