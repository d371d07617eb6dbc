#pragma once
// The design wave of a run: its phase case fitted to its target spectrum on its period
// axis (fit.hpp), the result in the run tables' fit table for the result file and the page.
#include "fitted_wave/fit.hpp"
#include "parallel/pool.hpp"
#include "tables/run_tables.hpp"

namespace fitted_wave {

// Whether the phase case can be fitted to the target (the cases evaluated, the target
// combined): what fit_phase_case checks first, for a check that fits nothing.
Check check_phase_case(const gm::RunTables& t);

// Checks, then fits the phase case; fills t.fit (sample_count 0 when the check fails, and
// nothing else then). Needs the target spectrum.
Check fit_phase_case(gm::RunTables& t, const parallel::Pool& pool, const Criteria& criteria = {});

// R of the wave in t.fit, as fit_phase_case measured it.
Measure fitted_measure(const gm::RunTables& t);

}  // namespace fitted_wave
