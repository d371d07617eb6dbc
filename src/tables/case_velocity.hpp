#pragma once
// Each case's velocity, integrated from its acceleration where it is read. No table holds
// it: a table as large as the accelerations' would be fresh memory for every run, and the
// velocity is only ever read in order. The peak pass keeps the running velocity every
// kVelocityCheckpointStep samples (RunTables::velocity_checkpoint); whoever reads a stretch
// of it starts again from the checkpoint at or before its first sample. Every value goes
// through the one step below, in the same order, so what the files and the page show is
// bit for bit what the peak was found from.
#include <cmath>
#include <cstddef>
#include <span>

#include "tables/run_tables.hpp"

namespace gm {

// `peak` or |x|, whichever is larger; a NaN never replaces the peak. A peak is never -0
// (every peak starts at +0 and only ever takes a magnitude), so where |x| equals it the two
// are the same bits: "replace when larger" chooses as "replace when not smaller" would,
// and it is the one maximum instruction where the other is a compare and a blend.
[[gnu::always_inline]] inline double larger_magnitude(double x, double peak) noexcept {
  const double size = std::fabs(x);
  return size > peak ? size : peak;
}

// One sample of the integration, `now` being its acceleration: every value of every case
// is made here, whether a case is integrated alone or beside others. The peak is kept
// without a branch: which way a comparison goes changes from sample to sample, and a
// mispredicted jump costs more than the step itself.
[[gnu::always_inline]] inline double velocity_step(double now, double half_step, double& before, double& last,
                                                   double& peak) noexcept {
  const double x = half_step * (now + last) + before;
  before = x;
  last = now;
  peak = larger_magnitude(x, peak);
  return x;
}

// a[0..count) integrated on from the velocity `before` of the sample before a[0], whose
// acceleration was `last`: v[i] = half_step * (a[i] + a[i - 1]) + v[i - 1], rounded in this
// order, stored at out[i * stride]. Returns the larger of `peak` (never -0) and the largest
// |v[i]|, as larger_magnitude chooses.
double integrate_on(const double* a, int count, double half_step, double before, double last, double peak,
                    double* out, std::ptrdiff_t stride) noexcept;

// Case c's velocity read in order from a given sample, piece by piece. Needs the case's
// checkpoints, which the peak pass writes, unless it starts within the first stretch.
class CaseVelocity {
 public:
  // A case without samples: zeros only. A place for a case in a group to be.
  CaseVelocity() = default;
  // From sample `first` (1-based) of case c on.
  CaseVelocity(const RunTables& t, int c, int first);
  // The next `count` values at out[i * stride]; rows past the case's own samples hold 0.0,
  // as the cells of a table sized for the longest case would. Returns the larger of
  // `peak` and the largest magnitude among the case's own samples, as integrate_on does.
  double next(int count, double* out, std::ptrdiff_t stride = 1, double peak = 0.0) noexcept;
  // The value of the last sample integrated (0 before any).
  double last_value() const noexcept { return before_; }

  // Several cases read side by side, v[l]'s next `count` values at out[l][i * stride] and
  // its peak in peak[l]: the same values as v[l].next alone gives. Alone, a case's steps
  // wait on each other (each adds to the one before); side by side, the processor
  // overlaps the cases' chains. Any number of cases, all of one run (one time step).
  static void next_together(std::span<CaseVelocity> v, int count, double* const* out, std::ptrdiff_t stride,
                            double* peak) noexcept;
  // v[l] = CaseVelocity(t, first_case + l, first), the way from the checkpoints to `first`
  // integrated side by side.
  static void open_together(const RunTables& t, int first_case, int first, std::span<CaseVelocity> v);

 private:
  // Stands at the checkpoint at or before sample `first` of case c; returns how many
  // samples are left to integrate up to it.
  int seek(const RunTables& t, int c, int first);
  // The first sample, from rest, if it is next: returns how many of `count` it took (0 or 1).
  int start(int count, double* out, double& peak) noexcept;

  const double* a_ = nullptr;
  int own_ = 0;         // the case's own samples
  int at_ = 0;          // 0-based index of the next sample to integrate
  double half_ = 0.0;   // time_step * 0.5
  double before_ = 0.0;
  double last_ = 0.0;
};

// Rows first..first+rows-1 (1-based) of every case's velocity, row by row: row r at
// out[r * t.case_count], case c at offset c - 1. What the velocity file shows.
void case_velocity_rows(const RunTables& t, int first, int rows, double* out);

}  // namespace gm
