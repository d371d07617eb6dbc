#include "report/chart_data.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

namespace report {
namespace {

// The step of 1, 2 or 5 times a power of ten nearest to `raw` (> 0), nearest by ratio.
double step_near(double raw) {
  const double power = std::pow(10.0, std::floor(std::log10(raw)));
  double best = power;
  for (const double m : {2.0, 5.0, 10.0}) {
    if (std::fabs(std::log(m * power / raw)) < std::fabs(std::log(best / raw))) best = m * power;
  }
  return best;
}

// Mantissas of the log ticks; `down` picks the largest not above m, else the smallest not below.
double one_two_five(double m, bool down) {
  const double tol = 1e-9;
  if (down) {
    if (m >= 5.0 * (1.0 - tol)) return 5.0;
    if (m >= 2.0 * (1.0 - tol)) return 2.0;
    return 1.0;
  }
  if (m <= 1.0 * (1.0 + tol)) return 1.0;
  if (m <= 2.0 * (1.0 + tol)) return 2.0;
  if (m <= 5.0 * (1.0 + tol)) return 5.0;
  return 10.0;
}

}  // namespace

Axis linear_axis(double lo, double hi, int target_ticks, bool stretch) {
  if (hi < lo) std::swap(lo, hi);
  if (lo == hi) {
    const double d = lo == 0.0 ? 1.0 : std::fabs(lo) * 0.1;
    lo -= d;
    hi += d;
  }
  const double parts = std::max(1, target_ticks);
  // Each divided first: hi - lo itself may overflow when both are near the largest double.
  const double step = step_near(hi / parts - lo / parts);
  Axis axis;
  const double first = stretch ? std::floor(lo / step) : std::ceil(lo / step);
  const double last = stretch ? std::ceil(hi / step) : std::floor(hi / step);
  axis.lo = stretch ? first * step : lo;
  axis.hi = stretch ? last * step : hi;
  const double count = last - first;
  if (!std::isfinite(axis.lo) || !std::isfinite(axis.hi) || !(count >= 0.0 && count <= 1000.0)) {
    // Data at the very end of the double range, or a span too narrow for its magnitude to
    // step through: the axis is the data's own range.
    axis.lo = lo;
    axis.hi = hi;
    axis.ticks = {lo, hi};
    return axis;
  }
  for (int i = 0; i <= static_cast<int>(count); ++i) {
    axis.ticks.push_back((first + i) * step + 0.0);  // + 0.0: a tick at zero has no sign
  }
  return axis;
}

Axis log_axis(double lo, double hi) {
  if (hi < lo) std::swap(lo, hi);
  Axis axis;
  const double lo_power = std::pow(10.0, std::floor(std::log10(lo)));
  const double hi_power = std::pow(10.0, std::floor(std::log10(hi)));
  axis.lo = one_two_five(lo / lo_power, true) * lo_power;
  axis.hi = one_two_five(hi / hi_power, false) * hi_power;
  if (!std::isfinite(axis.hi) || axis.hi <= 0.0) axis.hi = hi;
  if (!(axis.lo > 0.0)) axis.lo = lo;
  if (axis.hi <= axis.lo) axis.hi = axis.lo * 10.0;
  // Over many decades the 2s and 5s would crowd out everything: then whole decades only,
  // every few of them.
  const int first = static_cast<int>(std::floor(std::log10(axis.lo)));
  const int last = static_cast<int>(std::ceil(std::log10(axis.hi)));
  const int decades = last - first;
  const int every = decades > 12 ? (decades + 9) / 10 : 1;
  const double tol = 1e-9;
  for (int e = first; e <= last; e += every) {
    const double power = std::pow(10.0, e);
    for (const double m : {1.0, 2.0, 5.0}) {
      if (every > 1 && m != 1.0) continue;
      const double v = m * power;
      if (v >= axis.lo * (1.0 - tol) && v <= axis.hi * (1.0 + tol)) axis.ticks.push_back(v);
    }
  }
  return axis;
}

std::string tick_label(double value, double step) {
  char buffer[64];
  const double magnitude = std::max(std::fabs(value), std::fabs(step));
  const int decimals = step > 0.0 ? std::max(0, -static_cast<int>(std::floor(std::log10(step) + 1e-9))) : 0;
  std::to_chars_result r{};
  if (value != 0.0 && (magnitude >= 1e7 || decimals > 6)) {
    r = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 3);
  } else {
    r = std::to_chars(buffer, buffer + sizeof buffer, value + 0.0, std::chars_format::fixed, decimals);
  }
  std::string label(buffer, r.ptr);
  // "-0.0" and the like: a tick at zero has no sign.
  if (label.find_first_not_of("-0.") == std::string::npos && label[0] == '-') label.erase(0, 1);
  return label;
}

std::string reading(double value, int digits) {
  digits = std::max(1, digits);
  if (!std::isfinite(value)) return tick_label(value, 0.0);
  char buffer[400];
  // The exponent after rounding to `digits` digits: 9.99996 to 4 digits is 1.000e+01.
  auto r = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific, digits - 1);
  const std::string_view sci(buffer, static_cast<std::size_t>(r.ptr - buffer));
  int exponent = 0;
  const std::string_view e = sci.substr(sci.find('e') + 1);
  std::from_chars(e.data() + (e[0] == '+' ? 1 : 0), e.data() + e.size(), exponent);
  if (value != 0.0 && exponent >= 7) return std::string(sci);
  const int decimals = value == 0.0 ? 0 : std::clamp(digits - 1 - exponent, 0, 6);
  r = std::to_chars(buffer, buffer + sizeof buffer, value + 0.0, std::chars_format::fixed, decimals);
  std::string text(buffer, r.ptr);
  // A value that rounds to zero has no sign, as in the result files.
  if (text.find_first_not_of("-0.") == std::string::npos && text[0] == '-') text.erase(0, 1);
  return text;
}

int step_decimals(double step) {
  char buffer[64];
  const auto r = std::to_chars(buffer, buffer + sizeof buffer, std::fabs(step));
  const std::string_view text(buffer, static_cast<std::size_t>(r.ptr - buffer));
  const std::size_t point = text.find('.');
  if (text.find('e') != std::string_view::npos) return 6;
  return point == std::string_view::npos ? 0 : std::min(6, static_cast<int>(text.size() - point - 1));
}

Envelope::Envelope(int axis_samples, int columns)
    : axis_samples_(std::max(1, axis_samples)),
      columns_count_(std::min<long long>(std::max(1, columns), std::max(1, axis_samples))),
      columns_(static_cast<std::size_t>(columns_count_)) {}

namespace {

// A span is taken a chunk of at most kChunk samples at a time, in blocks of kBlock whose
// extremes are kept: the samples that hold the chunk's extremes are then found from its
// end a block at a time, not a sample at a time.
constexpr int kBlock = 8;
constexpr int kChunk = 32 * kBlock;

// The lowest and highest finite value of a chunk (1 to kChunk samples), the last samples
// that hold them, and how many of its values are not finite. No branch depends on the
// data: w is v itself when v is finite and NaN when it is not, and a NaN loses every
// comparison; four running pairs let the comparisons of neighbouring samples overlap. The
// pass only notes whether any value was not finite (a NaN in the running sum of v - v);
// they are counted in a second pass, when there are any. The sign of a zero may change
// in w, which only the values compare: the caller takes the sample itself from the span.
struct ChunkExtremes {
  double low, high;
  int low_at, high_at;
  int non_finite;
};

// The last of the `count` samples equal to `value`, looked for only in the blocks whose
// own extreme (`of_block`) it is, from the last block; 0 when none is.
int last_equal(const double* values, std::ptrdiff_t step, int count, const double* of_block, int blocks,
               double value) {
  for (int b = blocks - 1; b >= 0; --b) {
    if (!(of_block[b] == value)) continue;
    for (int i = std::min(count, (b + 1) * kBlock) - 1; i >= b * kBlock; --i) {
      if (values[i * step] == value) return i;
    }
  }
  return 0;
}

template <std::ptrdiff_t kStride>  // 0: the stride given at run time
ChunkExtremes chunk_extremes(const double* values, std::ptrdiff_t stride, int count) {
  const std::ptrdiff_t step = kStride != 0 ? kStride : stride;
  constexpr double inf = std::numeric_limits<double>::infinity();
  double block_low[kChunk / kBlock], block_high[kChunk / kBlock];
  double low = inf, high = -inf, odd[4] = {0.0, 0.0, 0.0, 0.0};
  int blocks = 0;
  for (int start = 0; start < count; start += kBlock, ++blocks) {
    double lo[4] = {inf, inf, inf, inf}, hi[4] = {-inf, -inf, -inf, -inf};
    const auto take = [&](int k, double v) {
      const double nothing = v - v;
      const double w = v + nothing;
      lo[k] = w < lo[k] ? w : lo[k];
      hi[k] = w > hi[k] ? w : hi[k];
      odd[k] += nothing;
    };
    const double* at = values + start * step;
    if (count - start >= kBlock) {
      for (int i = 0; i < kBlock; i += 4) {
        for (int k = 0; k < 4; ++k) take(k, at[(i + k) * step]);
      }
    } else {
      for (int i = 0; i < count - start; ++i) take(i % 4, at[i * step]);
    }
    block_low[blocks] = std::min(std::min(lo[0], lo[1]), std::min(lo[2], lo[3]));
    block_high[blocks] = std::max(std::max(hi[0], hi[1]), std::max(hi[2], hi[3]));
    low = std::min(low, block_low[blocks]);
    high = std::max(high, block_high[blocks]);
  }
  int bad = 0;
  if (const double any = odd[0] + odd[1] + odd[2] + odd[3]; any != any) {
    for (int i = 0; i < count; ++i) bad += values[i * step] - values[i * step] == 0.0 ? 0 : 1;
  }
  return {low, high, last_equal(values, step, count, block_low, blocks, low),
          last_equal(values, step, count, block_high, blocks, high), bad};
}

}  // namespace

// As a sample-by-sample pass would keep them: of equal values (a zero of either sign
// included) the later sample, and a chunk's extreme replaces the column's when it is not
// beyond it, so a span taken chunk by chunk keeps what one pass over it would.
void Envelope::add_span(std::size_t column, int first, const double* values, std::ptrdiff_t stride,
                        int count) {
  Column& c = columns_[column];
  for (int start = 0; start < count; start += kChunk) {
    const int n = std::min(kChunk, count - start);
    const double* chunk = values + start * stride;
    const ChunkExtremes x = stride == 1 ? chunk_extremes<1>(chunk, 1, n) : chunk_extremes<0>(chunk, stride, n);
    c.non_finite += x.non_finite;
    if (x.non_finite == n) continue;
    if (c.low.index < 0 || x.low <= c.low.value) c.low = {first + start + x.low_at, chunk[x.low_at * stride]};
    if (c.high.index < 0 || x.high >= c.high.value) c.high = {first + start + x.high_at, chunk[x.high_at * stride]};
  }
}

std::vector<Sample> Envelope::points() const {
  std::vector<Sample> out;
  out.reserve(columns_.size() * 2);
  for (const Column& c : columns_) {
    if (c.low.index < 0) continue;
    const bool low_first = c.low.index <= c.high.index;
    out.push_back(low_first ? c.low : c.high);
    if (c.low.index != c.high.index) out.push_back(low_first ? c.high : c.low);
  }
  return out;
}

double Envelope::lowest() const {
  double v = 0.0;
  for (const Column& c : columns_) {
    if (c.low.index >= 0 && c.low.value < v) v = c.low.value;
  }
  return v;
}

double Envelope::highest() const {
  double v = 0.0;
  for (const Column& c : columns_) {
    if (c.high.index >= 0 && c.high.value > v) v = c.high.value;
  }
  return v;
}

int Envelope::non_finite() const {
  int n = 0;
  for (const Column& c : columns_) n += c.non_finite;
  return n;
}

Sample Envelope::peak() const {
  Sample best{-1, 0.0};
  for (const Column& c : columns_) {
    for (const Sample& s : {c.low, c.high}) {
      if (s.index < 0) continue;
      const double m = std::fabs(s.value), b = std::fabs(best.value);
      if (best.index < 0 || m > b || (m == b && s.index > best.index)) best = s;
    }
  }
  return best;
}

}  // namespace report
