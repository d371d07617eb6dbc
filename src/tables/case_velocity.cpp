#include "tables/case_velocity.hpp"

#include <algorithm>
#include <array>
#include <cmath>

#include "expect/expect.hpp"

namespace gm {

double integrate_on(const double* a, int count, double half_step, double before, double last, double peak,
                    double* out, std::ptrdiff_t stride) noexcept {
  for (int i = 0; i < count; ++i) {
    const double now = a[i];
    const double x = half_step * (now + last) + before;
    out[static_cast<std::ptrdiff_t>(i) * stride] = x;
    before = x;
    last = now;
    // The largest so far without a branch: which way a comparison goes changes from sample
    // to sample, and a mispredicted jump costs more than the step itself.
    const double size = std::fabs(x);
    peak = size >= peak ? size : peak;
  }
  return peak;
}

CaseVelocity::CaseVelocity(const RunTables& t, int c, int first)
    : a_(t.acceleration_column(c)), own_(t.case_sample_count(c)), at_(0), half_(t.time_step * 0.5) {
  GM_EXPECT(first >= 1 && own_ >= 0 && own_ <= kMaxSamples, "samples are read from 1, counts within the room");
  const int from = first - 1;
  if (from >= own_) {
    at_ = own_;  // nothing of its own left: zeros only
    return;
  }
  const int k = from / kVelocityCheckpointStep;
  if (k > 0) {
    at_ = k * kVelocityCheckpointStep;
    before_ = t.velocity_checkpoint(c, k);
    last_ = a_[at_ - 1];
  }
  // Up to the first sample asked for, through the same step, into a scrap piece.
  std::array<double, kVelocityCheckpointStep> scrap;
  next(from - at_, scrap.data());
}

double CaseVelocity::next(int count, double* out, std::ptrdiff_t stride, double peak) noexcept {
  int i = 0;
  if (at_ == 0 && own_ > 0 && count > 0) {
    // From rest: the acceleration rises from 0 over the step before the first sample.
    const double x = half_ * a_[0];
    out[0] = x;
    before_ = x;
    last_ = a_[0];
    const double size = std::fabs(x);
    peak = size >= peak ? size : peak;
    at_ = 1;
    i = 1;
  }
  const int m = std::max(0, std::min(count - i, own_ - at_));
  if (m > 0) {
    peak = integrate_on(a_ + at_, m, half_, before_, last_, peak, out + static_cast<std::ptrdiff_t>(i) * stride, stride);
    at_ += m;
    before_ = out[static_cast<std::ptrdiff_t>(i + m - 1) * stride];
    last_ = a_[at_ - 1];
    i += m;
  }
  for (; i < count; ++i) out[static_cast<std::ptrdiff_t>(i) * stride] = 0.0;
  return peak;
}

void case_velocity_rows(const RunTables& t, int first, int rows, double* out) {
  for (int c = 1; c <= t.case_count; ++c) {
    CaseVelocity v(t, c, first);
    v.next(rows, out + (c - 1), t.case_count);
  }
}

}  // namespace gm
