#pragma once
// A case's acceleration waveform as a check reads it: with the run's own reads, then the
// hazards in its bytes that a run passes over in silence.
#include <string_view>

#include "check/error_texts.hpp"
#include "check/file_bytes.hpp"
#include "check/findings.hpp"
#include "inputs/input_outcome.hpp"
#include "tables/run_tables.hpp"
#include "textio/record_reader.hpp"

namespace check {

// Reads the waveform of case c from its bytes (the file `path`, opened) on `reader`, into
// the run tables as a run reads it, and adds to `out`, in the order of their lines, the
// error the reading met (the record layer's report and where it failed, or the count
// above the table's room) and the warnings. Returns what the run's reading returns, never
// CannotOpen.
//
// Warnings, each on the line it concerns:
// - the header's interval is not 0.02 (a run integrates at 0.02 s whatever it says);
// - the count field has blanks inside ("40   2" reads as 402);
// - the count is longer than its 20-byte field, and cut;
// - the count is 0 or less: no sample is read;
// - values behind the last sample the count asks for (on the line where it is reached);
// - a slash that ends the samples early (the rest stay 0);
// - a comma inside what looks like one number among decimals ("6,126": two samples);
// - a sample that is not a finite number.
inputs::InputOutcome check_waveform(gm::RunTables& t, int c, std::string_view path, const FileBytes& file,
                                    textio::RecordReader& reader, const ErrorTexts& texts, Findings& out);

// Where a comma sits between two runs of digits that stand alone ("6,126", with blanks or
// line ends around it) on a line that also holds a decimal point: one number written with
// a decimal comma, which the reader takes as two. `first` is the offset of the first such
// number (npos: none), `count` how many there are, in bytes [from, to).
struct DecimalCommas {
  std::size_t first = std::string_view::npos;
  std::size_t first_end = 0;
  std::size_t count = 0;
};
DecimalCommas find_decimal_commas(std::string_view bytes, std::size_t from, std::size_t to) noexcept;

}  // namespace check
