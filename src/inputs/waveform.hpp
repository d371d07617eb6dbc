#pragma once
// The acceleration waveform of a case folder: a header record holding the sample count
// (and a real that is read and discarded: every waveform is sampled at the fixed time
// step), then the samples, free-form, over as many records as they take.
#include <cstdint>
#include <string_view>

#include "tables/run_tables.hpp"
#include "inputs/input_outcome.hpp"
#include "parallel/pool.hpp"
#include "textio/record_reader.hpp"

namespace inputs {

// "\加速度波形.acc", appended to the case folder path.
inline constexpr std::string_view kWaveformName =
    "\\\x89\xc1\x91\xac\x93\x78\x94\x67\x8c\x60.acc";  // \加速度波形.acc

class InputWatch;

// Reads the waveform of case c (1 to case_count) on `unit` into its sample count and its
// acceleration column, and closes it. A count above the table's room is refused before any
// sample is stored. A watch, when given, hears of it.
InputOutcome read_case_waveform(gm::RunTables& t, int c, textio::InputFileUnit& unit, InputWatch* watch = nullptr);

// The same for a waveform already open on `reader` at its first record (`outcome` names
// it), left open: the reading, and the watch's calls.
InputOutcome read_open_waveform(gm::RunTables& t, int c, textio::RecordReader& reader, InputOutcome outcome,
                                InputWatch* watch);

// The two reads of a waveform, from a reader at the file's first record; each gives 0 or
// the record layer's error number. The header: the sample count as written into `stated`,
// and into case_sample_count(c) as many samples as are read: the count, or 0 for a count
// of 0 or less or above the table's room (which the caller refuses); the interval read and
// discarded. The samples, from the record after the header: as many as the table's count
// (none for 0, though the record is still taken).
int read_waveform_header(gm::RunTables& t, int c, textio::RecordReader& reader, std::int32_t& stated);
int read_waveform_samples(gm::RunTables& t, int c, textio::RecordReader& reader);

// Reads the waveforms of cases 1 to case_count, several at a time on the pool, and
// returns the outcome of the first case in case order that did not read (ok when all
// did): what reading them one after the other, stopping at the first failure, returns.
// Cases after a failed one may have been read as well, which nothing shows; a watch hears
// of every case read.
InputOutcome read_case_waveforms(gm::RunTables& t, const parallel::Pool& pool, InputWatch* watch = nullptr);

}  // namespace inputs
