#include "fitted_wave/spectral_ratio.hpp"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace fitted_wave {

RatioCarrier::RatioCarrier(std::span<const double> periods) : order_(periods.size()) {
  std::iota(order_.begin(), order_.end(), std::size_t{0});
  // Longest period (lowest frequency) first; equal periods keep their axis order.
  std::stable_sort(order_.begin(), order_.end(),
                   [&](std::size_t a, std::size_t b) { return periods[a] > periods[b]; });
  log_frequency_.reserve(order_.size());
  for (const std::size_t j : order_) log_frequency_.push_back(-std::log(periods[j]));
}

void RatioCarrier::carry(std::span<const double> ratios, double frequency_step, std::span<double> factors) const {
  const std::size_t m = order_.size();
  const double low = log_frequency_.front();
  const double high = log_frequency_.back();
  const double hold = kHoldOctaves * std::log(2.0);
  const double taper = kTaperOctaves * std::log(2.0);
  const double low_ratio = ratios[order_.front()];
  const double high_ratio = ratios[order_.back()];
  std::size_t segment = 0;  // log_frequency_[segment] <= g < log_frequency_[segment + 1]
  for (std::size_t k = 0; k < factors.size(); ++k) {
    if (k == 0) {
      factors[k] = 1.0;  // the zero-frequency term, which the fit keeps at zero anyway
      continue;
    }
    const double g = std::log(static_cast<double>(k) * frequency_step);
    if (g <= low) {
      const double w = std::clamp(1.0 - (low - g - hold) / taper, 0.0, 1.0);
      factors[k] = 1.0 + (low_ratio - 1.0) * w;
    } else if (g >= high) {
      const double w = std::clamp(1.0 - (g - high - hold) / taper, 0.0, 1.0);
      factors[k] = 1.0 + (high_ratio - 1.0) * w;
    } else {
      while (segment + 1 < m && log_frequency_[segment + 1] <= g) ++segment;
      const double g0 = log_frequency_[segment];
      const double g1 = log_frequency_[segment + 1];
      const double r0 = ratios[order_[segment]];
      const double r1 = ratios[order_[segment + 1]];
      // g0 <= g < g1, so g1 > g0: equal periods never make a segment of zero width here.
      factors[k] = r0 + (r1 - r0) * ((g - g0) / (g1 - g0));
    }
  }
}

}  // namespace fitted_wave
