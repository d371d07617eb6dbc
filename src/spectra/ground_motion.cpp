#include "spectra/ground_motion.hpp"

#include <cmath>
#include <cstddef>

namespace spectra {

double integrate_from_rest(std::span<const double> in, double time_step, std::span<double> out) noexcept {
  if (in.empty()) return 0.0;
  const double half_step = time_step * 0.5;
  const std::size_t n = in.size();
  double before = half_step * in[0];
  out[0] = before;
  // The largest so far without a branch: which way a comparison goes changes from sample
  // to sample, and a mispredicted jump cost more than the step itself. The same choice
  // as "replace when not smaller": a NaN never replaces it.
  double peak = std::fabs(before) >= 0.0 ? std::fabs(before) : 0.0;
  double last_in = in[0];
  for (std::size_t j = 1; j < n; ++j) {
    const double now = in[j];
    const double x = half_step * (now + last_in) + before;
    out[j] = x;
    before = x;
    last_in = now;
    const double size = std::fabs(x);
    peak = size >= peak ? size : peak;
  }
  return peak;
}

}  // namespace spectra
