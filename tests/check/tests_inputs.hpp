#pragma once
// Small inputs for the check's tests, and the check of one file from its bytes, in memory.
#include <string>

#include "inputs/file_layouts.hpp"
#include "check/definition_check.hpp"
#include "check/spectrum_check.hpp"
#include "check/waveform_check.hpp"
#include "driver/messages.hpp"
#include "support/tables.hpp"

namespace check_tests {

// The run's own message texts, as the driver hands them over.
inline const check::ErrorTexts kTexts{gm::kNotExist,    gm::kBadCounts,    gm::kBadFaultLine, gm::kBadCaseLine,
                                      gm::kLineError,   gm::kMissingFault, gm::kMissingCase,  gm::kTooManySamples};

inline constexpr const char* kWaveformPath = "c\\w.acc";
inline constexpr const char* kSpectrumPath = "f\\s.csv";
inline constexpr const char* kDefinitionPath = "def.csv";

// 15 header lines, then 55 rows: period 0.1 j, 26 fields of 1, spectrum j; LF line ends.
// `row` replaces data row `j` (1-based) when j is not 0.
inline std::string spectrum_table(int j = 0, const std::string& row = {}, int header_lines = 15) {
  std::string table;
  for (int i = 1; i <= header_lines; ++i) table += "header " + std::to_string(i) + "\n";
  for (int r = 1; r <= 55; ++r) {
    if (r == j) {
      table += row + "\n";
      continue;
    }
    table += std::to_string(r / 10) + "." + std::to_string(r % 10);
    for (int f = 2; f <= 27; ++f) table += ",1";
    table += "," + std::to_string(r) + "\n";
  }
  return table;
}

// A data row: the period, then fields 2 to 27 as `middle` (26 comma-led values), then `tail`.
inline std::string spectrum_row(const std::string& period, const std::string& tail) {
  std::string row = period;
  for (int f = 2; f <= 27; ++f) row += ",1";
  return row + tail;
}

inline check::Findings check_waveform_bytes(const std::string& bytes) {
  gm::RunTables& t = testing_support::fresh_tables();
  check::FileBytes file;
  file.bytes = bytes;
  textio::RecordReader reader(inputs::kWaveformUnit);
  check::Findings out;
  check::check_waveform(t, 1, kWaveformPath, file, reader, kTexts, out);
  return out;
}

// The table as fault k's; fault 2 and up are held to `fault1_table` when it is not empty.
inline check::Findings check_spectrum_bytes(const std::string& bytes, int k = 1, const std::string& fault1_table = {}) {
  gm::RunTables& t = testing_support::fresh_tables();
  textio::RecordReader reader(inputs::kSpectrumTableUnit);
  check::Findings ignored;
  check::PeriodColumn fault1;
  if (!fault1_table.empty()) {
    check::FileBytes first;
    first.bytes = fault1_table;
    check::check_spectrum_table(t, 1, "f1\\s.csv", first, reader, nullptr, fault1, ignored);
  }
  check::FileBytes file;
  file.bytes = bytes;
  check::PeriodColumn periods;
  check::Findings out;
  check::check_spectrum_table(t, k, kSpectrumPath, file, reader, fault1_table.empty() ? nullptr : &fault1, periods, out);
  return out;
}

inline check::Findings check_definition_bytes(const std::string& bytes) {
  gm::RunTables& t = testing_support::fresh_tables();
  check::FileBytes file;
  file.bytes = bytes;
  textio::RecordReader reader(inputs::kDefinitionFileUnit);
  check::Findings out;
  check::check_definition(t, kDefinitionPath, file, reader, kTexts, out);
  return out;
}

}  // namespace check_tests
