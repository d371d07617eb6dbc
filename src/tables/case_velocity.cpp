#include "tables/case_velocity.hpp"

#include <algorithm>
#include <array>
#include <cmath>

#include "expect/expect.hpp"

namespace gm {

namespace {

// Where a case stands in a group: its next sample, where its next value goes, its state.
struct Lane {
  const double* a;
  double* out;
  double before;
  double last;
  double peak;
};

// N lanes integrated `count` samples on, one step of each in turn. The lanes' state is
// held in locals whose addresses never escape, so that it stays in registers while the
// stores go out; the steps of different lanes do not wait on each other.
template <std::size_t N>
void integrate_lanes(Lane* lane, int count, double half_step, std::ptrdiff_t stride) noexcept {
  const double* a[N];
  double* out[N];
  double before[N], last[N], peak[N];
  for (std::size_t l = 0; l < N; ++l) {
    a[l] = lane[l].a;
    out[l] = lane[l].out;
    before[l] = lane[l].before;
    last[l] = lane[l].last;
    peak[l] = lane[l].peak;
  }
  for (int i = 0; i < count; ++i) {
    const std::ptrdiff_t at = static_cast<std::ptrdiff_t>(i) * stride;
#pragma GCC unroll 8
    for (std::size_t l = 0; l < N; ++l) out[l][at] = velocity_step(a[l][i], half_step, before[l], last[l], peak[l]);
  }
  for (std::size_t l = 0; l < N; ++l) {
    lane[l].a = a[l] + count;
    lane[l].out = out[l] + static_cast<std::ptrdiff_t>(count) * stride;
    lane[l].before = before[l];
    lane[l].last = last[l];
    lane[l].peak = peak[l];
  }
}

// Lanes in groups of four; the rest in groups of two or three, never one alone where
// that can be helped (five as three and two).
void integrate_group(Lane* lane, std::size_t lanes, int count, double half_step, std::ptrdiff_t stride) noexcept {
  while (lanes > 0) {
    const std::size_t n = lanes == 5 ? 3 : std::min<std::size_t>(lanes, 4);
    switch (n) {
      case 4: integrate_lanes<4>(lane, count, half_step, stride); break;
      case 3: integrate_lanes<3>(lane, count, half_step, stride); break;
      case 2: integrate_lanes<2>(lane, count, half_step, stride); break;
      default: integrate_lanes<1>(lane, count, half_step, stride); break;
    }
    lane += n;
    lanes -= n;
  }
}

}  // namespace

double integrate_on(const double* a, int count, double half_step, double before, double last, double peak,
                    double* out, std::ptrdiff_t stride) noexcept {
  GM_EXPECT(!(peak == 0.0 && std::signbit(peak)), "a peak is never -0: it starts at +0 and takes magnitudes");
  Lane lane{a, out, before, last, peak};
  integrate_lanes<1>(&lane, count, half_step, stride);
  return lane.peak;
}

CaseVelocity::CaseVelocity(const RunTables& t, int c, int first) {
  // Up to the first sample asked for, through the same step, into a scrap piece.
  std::array<double, kVelocityCheckpointStep> scrap;
  next(seek(t, c, first), scrap.data());
}

int CaseVelocity::seek(const RunTables& t, int c, int first) {
  a_ = t.acceleration_column(c);
  own_ = t.case_sample_count(c);
  half_ = t.time_step * 0.5;
  GM_EXPECT(first >= 1 && own_ >= 0 && own_ <= kMaxSamples, "samples are read from 1, counts within the room");
  const int from = first - 1;
  if (from >= own_) {
    at_ = own_;  // nothing of its own left: zeros only
    return 0;
  }
  const int k = from / kVelocityCheckpointStep;
  if (k > 0) {
    at_ = k * kVelocityCheckpointStep;
    before_ = t.velocity_checkpoint(c, k);
    last_ = a_[at_ - 1];
  }
  return from - at_;
}

void CaseVelocity::open_together(const RunTables& t, int first_case, int first, std::span<CaseVelocity> v) {
  constexpr std::size_t kMaxLanes = 16;
  std::array<std::array<double, kVelocityCheckpointStep>, kMaxLanes> scrap;
  std::array<double*, kMaxLanes> to;
  std::array<double, kMaxLanes> peak{};  // thrown away
  for (std::size_t from = 0; from < v.size(); from += kMaxLanes) {
    const std::span<CaseVelocity> group = v.subspan(from, std::min(kMaxLanes, v.size() - from));
    // Every case with samples left stands the same way past its checkpoint; the others
    // only make zeros into their scrap.
    int skip = 0;
    for (std::size_t l = 0; l < group.size(); ++l) {
      group[l] = CaseVelocity();
      skip = std::max(skip, group[l].seek(t, first_case + static_cast<int>(from + l), first));
      to[l] = scrap[l].data();
    }
    next_together(group, skip, to.data(), 1, peak.data());
  }
}

int CaseVelocity::start(int count, double* out, double& peak) noexcept {
  if (at_ != 0 || own_ == 0 || count <= 0) return 0;
  // From rest: the acceleration rises from 0 over the step before the first sample.
  const double x = half_ * a_[0];
  out[0] = x;
  before_ = x;
  last_ = a_[0];
  peak = larger_magnitude(x, peak);
  at_ = 1;
  return 1;
}

double CaseVelocity::next(int count, double* out, std::ptrdiff_t stride, double peak) noexcept {
  GM_EXPECT(!(peak == 0.0 && std::signbit(peak)), "a peak is never -0: it starts at +0 and takes magnitudes");
  int i = start(count, out, peak);
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

void CaseVelocity::next_together(std::span<CaseVelocity> v, int count, double* const* out, std::ptrdiff_t stride,
                                 double* peak) noexcept {
  constexpr std::size_t kMaxLanes = 16;
  for (std::size_t from = 0; from < v.size(); from += kMaxLanes) {
    const std::size_t cases = std::min(kMaxLanes, v.size() - from);
    // The samples that every case with samples left has go side by side; each case then
    // finishes alone, its own samples that others lack and its zeros.
    std::array<int, kMaxLanes> done{};
    std::array<std::size_t, kMaxLanes> which{};
    std::array<Lane, kMaxLanes> lane{};
    int lanes = 0;
    int common = count;
    for (std::size_t k = from; k < from + cases; ++k) {
      CaseVelocity& c = v[k];
      GM_EXPECT(!(peak[k] == 0.0 && std::signbit(peak[k])), "a peak is never -0: it starts at +0 and takes magnitudes");
      done[k - from] = c.start(count, out[k], peak[k]);
      const int left = std::min(count - done[k - from], c.own_ - c.at_);
      if (left <= 0) continue;
      common = std::min(common, left);
      const std::ptrdiff_t skip = static_cast<std::ptrdiff_t>(done[k - from]) * stride;
      GM_EXPECT(lanes == 0 || c.half_ == v[which[0]].half_, "cases side by side are of one run");
      lane[static_cast<std::size_t>(lanes)] = Lane{c.a_ + c.at_, out[k] + skip, c.before_, c.last_, peak[k]};
      which[static_cast<std::size_t>(lanes++)] = k;
    }
    if (lanes > 0) {
      integrate_group(lane.data(), static_cast<std::size_t>(lanes), common, v[which[0]].half_, stride);
      for (std::size_t l = 0; l < static_cast<std::size_t>(lanes); ++l) {
        CaseVelocity& c = v[which[l]];
        c.at_ += common;
        c.before_ = lane[l].before;
        c.last_ = lane[l].last;
        peak[which[l]] = lane[l].peak;
        done[which[l] - from] += common;
      }
    }
    for (std::size_t k = from; k < from + cases; ++k) {
      const int d = done[k - from];
      peak[k] = v[k].next(count - d, out[k] + static_cast<std::ptrdiff_t>(d) * stride, stride, peak[k]);
    }
  }
}

void case_velocity_rows(const RunTables& t, int first, int rows, double* out) {
  constexpr int kGroup = 8;
  std::array<CaseVelocity, kGroup> v;
  std::array<double*, kGroup> to;
  std::array<double, kGroup> peak;
  for (int c = 1; c <= t.case_count; c += kGroup) {
    const int n = std::min(kGroup, t.case_count - c + 1);
    const auto group = std::span(v).first(static_cast<std::size_t>(n));
    CaseVelocity::open_together(t, c, first, group);
    for (int l = 0; l < n; ++l) {
      to[static_cast<std::size_t>(l)] = out + (c + l - 1);
      peak[static_cast<std::size_t>(l)] = 0.0;
    }
    CaseVelocity::next_together(group, rows, to.data(), t.case_count, peak.data());
  }
}

}  // namespace gm
