#pragma once
// The evaluation of a run: the target spectrum, each case's velocity waveform and peak
// velocity, the ranks of the cases and the phase case. Every operation is carried out in
// double precision in the order written here, so the results are the same on every host.
#include "parallel/pool.hpp"
#include "tables/run_tables.hpp"

namespace evaluation {

// target(j) = sqrt(sum over faults of spectrum^2) / 1.1 for j = 1..period_count.
void compute_target_spectrum(gm::RunTables& t);
// Trapezoid rule from rest with the fixed step: v(1) = (dt*0.5)*a(1),
// v(j) = (dt*0.5)*(a(j)+a(j-1)) + v(j-1); the peak is the largest |v| (0 without samples).
// Keeps the velocity every kVelocityCheckpointStep samples, not the waveform: its readers
// integrate it again (tables/case_velocity.hpp). Cases first..first+n-1 (n from 1 to
// kCasesPerPiece), side by side: it touches only those cases' cells.
inline constexpr int kCasesPerPiece = 4;
void integrate_case_group(gm::RunTables& t, int first, int n);
// Every case, 1 to case_count, several at a time on the pool: each case's cells are its
// own, so the results are those of integrating one case after the other.
void integrate_case_velocities(gm::RunTables& t, const parallel::Pool& pool = parallel::Pool(1));
// longest_case_samples: the most samples of any case, the rows of the per-case files.
void find_longest_case(gm::RunTables& t);
// Rank 1 for the largest peak, ties to the lower case number; phase_case is the case of
// rank (case_count + 1) / 2. Needs every rank at 0 on entry.
void rank_cases(gm::RunTables& t);

// The four steps above, in this order.
void evaluate_cases(gm::RunTables& t, const parallel::Pool& pool = parallel::Pool(1));

}  // namespace evaluation
