#pragma once
// What the run tells of its design wave: the error end of a fit that cannot be made, and a
// warning line for each criterion a fit did not reach.
#include <string>
#include <string_view>

#include "driver/run_console.hpp"
#include "fitted_wave/fit.hpp"
#include "platform/console.hpp"
#include "tables/run_tables.hpp"

namespace gm {

// The message of a failed check, in its three console pieces: what cannot be fitted, the
// phase case's number or the period, and why.
struct FitErrorMessage {
  std::string_view head;
  std::string value;
  std::string_view tail;
};
FitErrorMessage fit_error_message(const RunTables& t, const fitted_wave::Check& check);

// The error end for a failed check.
int fit_error_end(RunConsole& con, const RunTables& t, const fitted_wave::Check& check);

// One line on standard error for each criterion the fitted wave in t.fit misses, with the
// value reached and the bound: "gmgather: warning: design wave: min R = 0.812 < 0.85".
void warn_missed_criteria(platform::Console& console, const RunTables& t, const fitted_wave::Criteria& criteria);

}  // namespace gm
