#include "spectra/ground_motion.hpp"

#include <cmath>
#include <cstddef>

namespace spectra {

double integrate_from_rest(std::span<const double> in, double time_step, std::span<double> out) noexcept {
  const double half_step = time_step * 0.5;
  double peak = 0.0;
  double before = 0.0;
  for (std::size_t j = 0; j < in.size(); ++j) {
    const double x = j == 0 ? half_step * in[0] : half_step * (in[j] + in[j - 1]) + before;
    out[j] = x;
    before = x;
    if (std::fabs(x) >= peak) peak = std::fabs(x);
  }
  return peak;
}

}  // namespace spectra
