#include "evaluation/evaluation.hpp"

#include <algorithm>
#include <cmath>
#include <array>

#include "tables/case_velocity.hpp"

#include "expect/expect.hpp"

namespace evaluation {

void compute_target_spectrum(gm::RunTables& t) {
  for (int j = 1; j <= t.period_count; ++j) {
    double s = 0.0;
    for (int k = 1; k <= t.fault_count; ++k) s = t.spectrum(k, j) * t.spectrum(k, j) + s;
    t.target(j) = std::sqrt(s);
    t.target(j) = t.target(j) / 1.1;  // a division by the double nearest 1.1, on purpose
  }
}

void integrate_case_velocity(gm::RunTables& t, int c) {
  const int n = t.case_sample_count(c);
  GM_EXPECT(n >= 0 && n <= gm::kMaxSamples, "a waveform's count is clamped where it is read");
  // A stretch at a time into a piece that stays in the cache; the value ending each
  // stretch is kept, for the readers to start again from.
  std::array<double, gm::kVelocityCheckpointStep> piece;
  gm::CaseVelocity v(t, c, 1);
  double peak = 0.0;
  for (int k = 1, done = 0; done < n; ++k) {
    const int count = std::min(gm::kVelocityCheckpointStep, n - done);
    peak = v.next(count, piece.data(), 1, peak);
    done += count;
    if (count == gm::kVelocityCheckpointStep && k < gm::kVelocityCheckpoints) t.velocity_checkpoint(c, k) = v.last_value();
  }
  t.peak_velocity(c) = peak;
}

void integrate_case_velocities(gm::RunTables& t, const parallel::Pool& pool) {
  pool.for_each(gm::checked_size(t.case_count, "the case count is checked when it is read"),
                   [&](std::size_t i) { integrate_case_velocity(t, static_cast<int>(i) + 1); });
}

void find_longest_case(gm::RunTables& t) {
  t.longest_case_samples = 0;
  for (int c = 1; c <= t.case_count; ++c) {
    if (t.case_sample_count(c) > t.longest_case_samples) t.longest_case_samples = t.case_sample_count(c);
  }
}

void rank_cases(gm::RunTables& t) {
  for (int c = 1; c <= t.case_count; ++c) GM_EXPECT(t.case_rank(c) == 0, "the cases are ranked once, from start-up");
  const int middle_rank = (t.case_count + 1) / 2;
  int next_rank = 0;
  while (next_rank < t.case_count) {
    double pass_maximum = 0.0;
    for (int c = 1; c <= t.case_count; ++c) {
      if (t.case_rank(c) == 0 && t.peak_velocity(c) >= pass_maximum) {
        pass_maximum = t.peak_velocity(c);
      }
    }
    const int ranked_before = next_rank;
    for (int c = 1; c <= t.case_count; ++c) {
      if (t.case_rank(c) == 0 && t.peak_velocity(c) == pass_maximum) {
        ++next_rank;
        t.case_rank(c) = next_rank;
        if (next_rank == middle_rank) t.phase_case = c;
      }
    }
    // Peaks are never negative or NaN, so every pass ranks a case; should that ever fail,
    // stop rather than loop forever.
    if (next_rank == ranked_before) break;
  }
}

void evaluate_cases(gm::RunTables& t, const parallel::Pool& pool) {
  compute_target_spectrum(t);
  integrate_case_velocities(t, pool);
  find_longest_case(t);
  rank_cases(t);
}

}  // namespace evaluation
