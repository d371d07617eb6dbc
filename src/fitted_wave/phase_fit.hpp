#pragma once
// The design wave of a run: its phase case fitted to its target spectrum on its period
// axis (fit.hpp), the result in the run tables' fit table for the result file, the run's
// messages and the page.
#include "fitted_wave/fit.hpp"
#include "parallel/pool.hpp"
#include "tables/run_tables.hpp"

namespace fitted_wave {

// The damping of the energy spectra the page shows (Japanese practice reads them at 0.10).
inline constexpr double kEnergyDamping = 0.10;

// Whether the phase case can be fitted to the target (the cases evaluated, the target
// combined), before fitting: all but Problem::TooLarge.
Check check_phase_case(const gm::RunTables& t);

// Checks, then fits the phase case; fills t.fit, with the energy spectra when
// `for_page`. When the check fails or the wave does not fit its field (TooLarge),
// t.fit.sample_count is 0 and the result file gets no wave. Needs the target spectrum.
Check fit_phase_case(gm::RunTables& t, const parallel::Pool& pool, bool for_page);

}  // namespace fitted_wave
