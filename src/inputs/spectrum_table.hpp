#pragma once
// The long-period spectrum table of a source-fault folder: 15 header lines, then 55 rows
// of 28 numeric fields; field 1 is the period (taken from fault 1's table only), field 28
// the fault's velocity response spectrum.
#include <string_view>

#include "tables/run_tables.hpp"
#include "inputs/input_outcome.hpp"
#include "textio/record_reader.hpp"

namespace inputs {

// "\Velmora長周期.csv", appended to the fault folder path.
inline constexpr std::string_view kSpectrumTableName =
    "\\Velmora\x92\xb7\x8e\xfc\x8a\xfa.csv";  // \Velmora長周期.csv

inline constexpr int kSpectrumHeaderLines = 15;
inline constexpr int kSpectrumFields = 28;

class InputWatch;

// Reads the table of fault k (1 to fault_count) on `unit` into the period table (k = 1)
// and the fault's spectrum column, and closes it. A watch, when given, hears of it.
InputOutcome read_fault_spectrum_table(gm::RunTables& t, int k, textio::InputFileUnit& unit,
                                       InputWatch* watch = nullptr);

// The same for a table already open on `reader` at its first record (`outcome` names it),
// left open: the reading, and the watch's calls.
InputOutcome read_open_spectrum_table(gm::RunTables& t, int k, textio::RecordReader& reader, InputOutcome outcome,
                                      InputWatch* watch);

// The reading itself, from a reader at the table's first record: the header lines passed
// over, the rows read as above. 0, or the record layer's error number.
int read_spectrum_records(gm::RunTables& t, int k, textio::RecordReader& reader);

}  // namespace inputs
