#pragma once
// Small inputs for the check's tests, and the check of one file from its bytes, in memory
// (handed to the reader five bytes at a time, so that refills fall inside every record).
#include <string>

#include "inputs/file_layouts.hpp"
#include "check/definition_check.hpp"
#include "check/input_set_check.hpp"
#include "driver/messages.hpp"
#include "inputs/spectrum_table.hpp"
#include "inputs/waveform.hpp"
#include "support/memory_source.hpp"
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

// The findings of the run's own reading of one file's bytes, the check's watch watching:
// what a check of a set lists for that file.
inline check::Findings check_waveform_bytes(const std::string& bytes) {
  gm::RunTables& t = testing_support::fresh_tables();
  testing_support::MemorySource source(bytes, 5);
  textio::RecordReader reader(inputs::kWaveformUnit, 0);
  reader.attach(source, kWaveformPath);
  check::InputSetWatch watch(kDefinitionPath, kTexts);
  inputs::InputOutcome named;
  named.path = kWaveformPath;
  inputs::read_open_waveform(t, 1, reader, named, &watch);
  return watch.take_findings();
}

// The table as fault k's; fault 2 and up are held to `fault1_table` when it is not empty.
inline check::Findings check_spectrum_bytes(const std::string& bytes, int k = 1, const std::string& fault1_table = {}) {
  gm::RunTables& t = testing_support::fresh_tables();
  check::InputSetWatch watch(kDefinitionPath, kTexts);
  const auto read = [&](int fault, const std::string& table, const char* path) {
    testing_support::MemorySource source(table, 5);
    textio::RecordReader reader(inputs::kSpectrumTableUnit, 0);
    reader.attach(source, path);
    inputs::InputOutcome named;
    named.path = path;
    inputs::read_open_spectrum_table(t, fault, reader, named, &watch);
  };
  if (!fault1_table.empty()) {
    read(1, fault1_table, "f1\\s.csv");
    watch.take_findings();
  }
  read(k, bytes, kSpectrumPath);
  return watch.take_findings();
}

inline check::Findings check_definition_bytes(const std::string& bytes) {
  gm::RunTables& t = testing_support::fresh_tables();
  testing_support::MemorySource source(bytes, 5);
  textio::RecordReader reader(inputs::kDefinitionFileUnit, 0);
  reader.attach(source, kDefinitionPath);
  check::Findings out;
  check::check_definition(t, kDefinitionPath, reader, kTexts, out);
  return out;
}

}  // namespace check_tests
