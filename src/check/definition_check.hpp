#pragma once
// The definition file as a check reads it: with the record layer's reads, as a run reads
// it, but on past a line in error, so that one check shows every line in error.
#include <array>
#include <string_view>

#include "check/error_texts.hpp"
#include "check/file_bytes.hpp"
#include "check/findings.hpp"
#include "tables/run_tables.hpp"
#include "textio/record_reader.hpp"

namespace check {

struct DefinitionFacts {
  // The counts were read and are in range, so the sections were read (perhaps with lines
  // in error): the folders the definition gave are worth a check.
  bool counts_read = false;
  // The definition's line that gave the folder of fault k, of case k (0: no line did).
  std::array<int, gm::kMaxFaults + 1> fault_line{};
  std::array<int, gm::kMaxCases + 1> case_line{};
};

// Reads the definition file `name` from its bytes on `reader` into the run tables as a
// run reads it, and adds to `out`, in the order of their lines, the errors a run would
// end with, in the run's own words (E2 to E6, or the record layer's report and where it
// failed), and the warnings. A line in error does not stop the reading: the next line is
// read as the run would have read it had the line been right. The end of the file, or
// counts a run cannot take, stop it.
//
// Warnings: a number field with blanks inside ("1 2" reads as 12); a folder that two
// fault lines, or two case lines, name (on the later line).
DefinitionFacts check_definition(gm::RunTables& t, std::string_view name, const FileBytes& file,
                                 textio::RecordReader& reader, const ErrorTexts& texts, Findings& out);

}  // namespace check
