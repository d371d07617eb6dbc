#pragma once
// What the run tells of its design wave: the error end of a fit that cannot be made, and a
// warning line for each criterion a fit did not reach.
#include "driver/run_console.hpp"
#include "fitted_wave/fit.hpp"
#include "platform/console.hpp"
#include "tables/run_tables.hpp"

namespace gm {

// The error end for a failed check: the phase case or the period, and why.
int fit_error_end(RunConsole& con, const RunTables& t, const fitted_wave::Check& check);

// One line on standard error for each criterion the fitted wave in t.fit misses, with the
// value reached and the bound: "gmgather: warning: design wave: min R = 0.812 < 0.85".
void warn_missed_criteria(platform::Console& console, const RunTables& t, const fitted_wave::Criteria& criteria);

}  // namespace gm
