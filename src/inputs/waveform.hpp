#pragma once
// The acceleration waveform of a case folder: a header record holding the sample count
// (and a real that is read and discarded: every waveform is sampled at the fixed time
// step), then the samples, free-form, over as many records as they take.
#include <string_view>

#include "tables/run_tables.hpp"
#include "inputs/input_outcome.hpp"
#include "textio/record_reader.hpp"

namespace inputs {

// "\加速度波形.acc", appended to the case folder path.
inline constexpr std::string_view kWaveformName =
    "\\\x89\xc1\x91\xac\x93\x78\x94\x67\x8c\x60.acc";  // \加速度波形.acc

// Reads the waveform of case c (1 to case_count) on `unit` into its sample count and its
// acceleration column, and closes it. A count above the table's room is refused before any
// sample is stored.
InputOutcome read_case_waveform(gm::RunTables& t, int c, textio::InputFileUnit& unit);

}  // namespace inputs
