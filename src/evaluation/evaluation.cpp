#include "evaluation/evaluation.hpp"

#include <algorithm>
#include <cmath>
#include <array>
#include <span>

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

// Cases side by side in one piece of the pool's work: alone, a case's steps wait on each
// other; four at once keep the processor's adders busy.
void integrate_case_group(gm::RunTables& t, int first, int n) {
  GM_EXPECT(n >= 1 && n <= kCasesPerPiece, "a piece holds a few cases");
  // A stretch at a time into pieces that stay in the cache; the value ending each
  // stretch is kept, for the readers to start again from.
  std::array<std::array<double, gm::kVelocityCheckpointStep>, kCasesPerPiece> piece;
  std::array<gm::CaseVelocity, kCasesPerPiece> v;
  std::array<double*, kCasesPerPiece> out;
  std::array<double, kCasesPerPiece> peak{};
  int longest = 0;
  for (int l = 0; l < n; ++l) {
    const int samples = t.case_sample_count(first + l);
    GM_EXPECT(samples >= 0 && samples <= gm::kMaxSamples, "a waveform's count is clamped where it is read");
    longest = std::max(longest, samples);
    v[static_cast<std::size_t>(l)] = gm::CaseVelocity(t, first + l, 1);
    out[static_cast<std::size_t>(l)] = piece[static_cast<std::size_t>(l)].data();
  }
  const auto cases = std::span(v).first(static_cast<std::size_t>(n));
  for (int k = 1, done = 0; done < longest; ++k) {
    const int count = std::min(gm::kVelocityCheckpointStep, longest - done);
    gm::CaseVelocity::next_together(cases, count, out.data(), 1, peak.data());
    done += count;
    for (int l = 0; l < n; ++l) {
      // A case's checkpoint where a whole stretch of its own samples ends here.
      if (done <= t.case_sample_count(first + l) && count == gm::kVelocityCheckpointStep &&
          k < gm::kVelocityCheckpoints)
        t.velocity_checkpoint(first + l, k) = v[static_cast<std::size_t>(l)].last_value();
    }
  }
  for (int l = 0; l < n; ++l) t.peak_velocity(first + l) = peak[static_cast<std::size_t>(l)];
}

void integrate_case_velocities(gm::RunTables& t, const parallel::Pool& pool) {
  const int cases = t.case_count;
  GM_EXPECT(cases >= 0, "the case count is checked when it is read");
  // The cases spread evenly over the pieces, so that no piece is left with one case.
  const int pieces = (cases + kCasesPerPiece - 1) / kCasesPerPiece;
  pool.for_each(gm::checked_size(pieces, "the case count is checked when it is read"), [&](std::size_t i) {
    const int p = static_cast<int>(i);
    const int first = p * cases / pieces + 1;
    integrate_case_group(t, first, (p + 1) * cases / pieces + 1 - first);
  });
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
