#include "inputs/evaluation.hpp"

#include <algorithm>
#include <array>
#include <cmath>

namespace inputs {

void compute_target_spectrum(gm::RunTables& t) {
  for (int j = 1; j <= t.period_count; ++j) {
    double s = 0.0;
    for (int k = 1; k <= t.fault_count; ++k) s = t.spectrum(k, j) * t.spectrum(k, j) + s;
    t.target(j) = std::sqrt(s);
    t.target(j) = t.target(j) / 1.1;  // a division by the double nearest 1.1, on purpose
  }
}

void integrate_case_velocities(gm::RunTables& t) {
  // The cases are integrated side by side, one sample row at a time, so that the tables
  // (all cases of a sample next to each other) are walked in memory order. Each case's
  // own sequence of operations is exactly that of integrating it alone.
  const double half_step = t.time_step * 0.5;
  std::array<int, gm::kMaxCases> samples{};
  int longest = 0;
  for (int c = 1; c <= t.case_count; ++c) {
    samples[static_cast<std::size_t>(c - 1)] = t.case_sample_count(c);
    longest = std::max(longest, t.case_sample_count(c));
    t.peak_velocity(c) = 0.0;
  }
  const auto cases = static_cast<std::size_t>(t.case_count);
  double* peak = t.case_peak_velocity;
  for (int j = 1; j <= longest; ++j) {
    const double* a = &t.acceleration(1, j);
    double* v = &t.velocity(1, j);
    const double* a_before = j == 1 ? a : &t.acceleration(1, j - 1);
    const double* v_before = j == 1 ? v : &t.velocity(1, j - 1);
    for (std::size_t c = 0; c < cases; ++c) {
      if (j > samples[c]) continue;  // past this case's own samples: never written
      const double vj = j == 1 ? half_step * a[c] : half_step * (a[c] + a_before[c]) + v_before[c];
      v[c] = vj;
      // A NaN compares false and leaves the peak as it is.
      if (std::fabs(vj) >= peak[c]) peak[c] = std::fabs(vj);
    }
  }
}

void rank_cases(gm::RunTables& t) {
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

void evaluate_cases(gm::RunTables& t) {
  compute_target_spectrum(t);
  integrate_case_velocities(t);
  rank_cases(t);
}

}  // namespace inputs
