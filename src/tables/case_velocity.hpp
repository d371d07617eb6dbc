#pragma once
// Each case's velocity, integrated from its acceleration where it is read. No table holds
// it: a table as large as the accelerations' would be fresh memory for every run, and the
// velocity is only ever read in order. The peak pass keeps the running velocity every
// kVelocityCheckpointStep samples (RunTables::velocity_checkpoint); whoever reads a stretch
// of it starts again from the checkpoint at or before its first sample. Every value goes
// through the one step below, in the same order, so what the files and the page show is
// bit for bit what the peak was found from.
#include <cstddef>

#include "tables/run_tables.hpp"

namespace gm {

// a[0..count) integrated on from the velocity `before` of the sample before a[0], whose
// acceleration was `last`: v[i] = half_step * (a[i] + a[i - 1]) + v[i - 1], rounded in this
// order, stored at out[i * stride]. Returns the larger of `peak` and the largest |v[i]|,
// choosing as "replace when not smaller" does: a NaN never replaces it.
double integrate_on(const double* a, int count, double half_step, double before, double last, double peak,
                    double* out, std::ptrdiff_t stride) noexcept;

// Case c's velocity read in order from a given sample, piece by piece. Needs the case's
// checkpoints, which the peak pass writes, unless it starts within the first stretch.
class CaseVelocity {
 public:
  // From sample `first` (1-based) of case c on.
  CaseVelocity(const RunTables& t, int c, int first);
  // The next `count` values at out[i * stride]; rows past the case's own samples hold 0.0,
  // as the cells of a table sized for the longest case would. Returns the larger of
  // `peak` and the largest magnitude among the case's own samples, as integrate_on does.
  double next(int count, double* out, std::ptrdiff_t stride = 1, double peak = 0.0) noexcept;
  // The value of the last sample integrated (0 before any).
  double last_value() const noexcept { return before_; }

 private:
  const double* a_;
  int own_;       // the case's own samples
  int at_;        // 0-based index of the next sample to integrate
  double half_;   // time_step * 0.5
  double before_ = 0.0;
  double last_ = 0.0;
};

// Rows first..first+rows-1 (1-based) of every case's velocity, row by row: row r at
// out[r * t.case_count], case c at offset c - 1. What the velocity file shows.
void case_velocity_rows(const RunTables& t, int first, int rows, double* out);

}  // namespace gm
