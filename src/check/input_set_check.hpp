#pragma once
// A check of a whole input set: every file a run reads, in the order a run reads them,
// read once, with the run's own reads and the scans of its hazards. It writes, creates
// and truncates nothing.
#include <string_view>

#include "check/error_texts.hpp"
#include "check/findings.hpp"
#include "parallel/pool.hpp"
#include "tables/run_tables.hpp"

namespace check {

// Checks the input set of the definition file `name` (as the run opens it) into the run
// tables `t` (as start-up leaves them), adding what it finds to `out`: the definition
// file, then the spectrum table of every fault it gives, then the waveform of every case
// it gives (several at a time on `workers`, listed in case order).
//
// A file in error does not stop the check: a table or waveform that cannot be opened is
// listed at the definition's line that names its folder (the run's E7, E8 message), and
// the check goes on with the next one. Only a definition file that cannot be opened, or
// whose counts a run cannot take, leaves nothing more to check. The first error listed is
// the one a run ends with. Fault 1's periods, when its table was read, are what the other
// tables are held to.
void check_input_set(gm::RunTables& t, std::string_view name, const ErrorTexts& texts,
                     const parallel::Pool& workers, Findings& out);

}  // namespace check
