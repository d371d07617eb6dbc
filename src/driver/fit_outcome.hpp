#pragma once
// What the run tells of its design wave: the error end of a fit that cannot be made, a
// line for each criterion the wave written misses, the one-line summary after a --fit
// run, and the same for a check.
#include <string>
#include <string_view>

#include "check/findings.hpp"
#include "driver/run_console.hpp"
#include "fitted_wave/fit.hpp"
#include "platform/console.hpp"
#include "tables/run_tables.hpp"

namespace gm {

// The message of a failed fit, in its three console pieces: what cannot be fitted, the
// phase case's number or the period, and why (for F3 with the two durations in it).
struct FitErrorMessage {
  std::string_view head;
  std::string value;
  std::string tail;
};
FitErrorMessage fit_error_message(const RunTables& t, const fitted_wave::Check& check);

// The error end for a failed fit.
int fit_error_end(RunConsole& con, const RunTables& t, const fitted_wave::Check& check);

// The lines of a written wave's criteria missed, each as
//   "design wave (iteration 7 of 20 written): min R = 0.8400, needs >= 0.8500"
// (what follows "gmgather: warning: " on standard error and "FILE: warning: " in a check).
std::vector<std::string> missed_criteria(const RunTables& t);

// After a run that placed its design wave: a line on standard error for each criterion
// missed, then the summary line
//   "gmgather: design wave: min R 0.8621, variation 0.0477, mean R 0.9994, criteria met;
//    peaks a 1052.66 cm/s2 (phase case 937.26), v 151.37 cm/s (63.87), d 128.86 cm
//    (42.14), final d 0.00 cm (-31.20)" (one line);
// returns kExitMissedCriteria when a criterion was missed, else kExitNormal. Standard
// error is where a script looks for it; standard output keeps the dialogue's bytes. A
// console that refuses the lines changes nothing: the files are in place.
int report_fit(platform::Console& console, const RunTables& t);

// For a check asked for the design wave (--check --fit): the cases evaluated, the fit made
// (nothing written), an error for a fit that cannot be made, named where it comes from
// (the phase case's waveform, fault 1's period row or, for the target, the definition
// file), and a warning at the phase case's waveform for each criterion missed.
void add_fit_findings(RunTables& t, const parallel::Pool& pool, std::string_view definition_file,
                      check::Findings& found);

// Whether the fit in t.fit was made and misses a criterion.
bool fit_misses_criteria(const RunTables& t);

}  // namespace gm
