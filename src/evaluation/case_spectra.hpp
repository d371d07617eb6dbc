#pragma once
// Each case's response spectrum beside the target: the table the response spectra file
// and the page read.
#include "parallel/pool.hpp"
#include "tables/run_tables.hpp"

namespace evaluation {

// Fills case_spectra for every period row: the target, then Sv and pSv (h = kDamping) of
// each case from its own samples, the records' work spread over the pool. A cell that
// cannot be computed (a period that is not positive and finite, a case with a sample
// that is not finite) holds NaN, which the files show as asterisks. Needs the target.
void compute_case_spectra(gm::RunTables& t, const parallel::Pool& pool);

}  // namespace evaluation
