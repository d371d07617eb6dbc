#pragma once
// A source fault's spectrum table as a check reads it: with the run's own reads, then the
// hazards in its bytes that a run passes over in silence.
#include <array>
#include <string>
#include <string_view>

#include "check/error_texts.hpp"
#include "check/file_bytes.hpp"
#include "check/findings.hpp"
#include "inputs/input_outcome.hpp"
#include "tables/run_tables.hpp"
#include "textio/record_reader.hpp"

namespace check {

// The period column of a table as it was read: what a run takes from fault 1's table for
// every fault, and what the other tables are held to.
struct PeriodColumn {
  std::string file;
  int rows = 0;  // data rows read, 0 to 55
  std::array<double, gm::kPeriodCount> value{};
  std::array<std::string, gm::kPeriodCount> text{};  // as written, for the messages
};

// Reads the table of fault k from its bytes (the file `path`, opened) on `reader`, into
// the run tables as a run reads it, and adds to `out`, in the order of their lines, the
// error the reading met (the record layer's report and where it failed) and the warnings.
// `periods` gets the table's own period column. Returns what the run's reading returns,
// never CannotOpen.
//
// Warnings, on the first row of each kind with the count of the rows like it:
// - no spectrum value: field 28 missing or empty (the row has fewer than 28 fields), read as 0;
// - a spectrum value that is 0 or less, or not a finite number;
// - a value longer than its 20-byte field without a comma, cut there and its rest read as
//   the next field, or one of exactly 20 bytes whose comma makes the next field empty;
// - fault 1: a period that is 0 or less, or not greater than the one above it;
// - fault 2 and up (`fault1`, when fault 1's table was read): a period that differs from
//   fault 1's in the same row (the run uses fault 1's);
// - lines behind data row 55 that hold anything: never read.
inputs::InputOutcome check_spectrum_table(gm::RunTables& t, int k, std::string_view path, const FileBytes& file,
                                          textio::RecordReader& reader, const PeriodColumn* fault1,
                                          PeriodColumn& periods, Findings& out);

}  // namespace check
