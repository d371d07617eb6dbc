#include "spectra/input_energy.hpp"

#include <cmath>
#include <cstddef>
#include <limits>

#include "spectra/step_coefficients.hpp"

namespace spectra {
namespace {

// E / m of one oscillator, by the recurrence of step_coefficients.hpp in y = (w x, x').
double relative_input_energy(std::span<const double> a, const detail::StepMap& m, double time_step) {
  const double half_step = time_step * 0.5;
  double y0 = 0.0, y1 = 0.0, before = 0.0, energy = 0.0;
  // The samples, then the step in which the acceleration falls back to 0.
  for (std::size_t i = 0; i <= a.size(); ++i) {
    const double now = i < a.size() ? a[i] : 0.0;
    const double next0 = (m.phi[0][0] * y0 + m.phi[0][1] * y1) - time_step * (m.gamma0[0] * before + m.gamma1[0] * now);
    const double next1 = (m.phi[1][0] * y0 + m.phi[1][1] * y1) - time_step * (m.gamma0[1] * before + m.gamma1[1] * now);
    energy = energy - half_step * (before * y1 + now * next1);
    y0 = next0;
    y1 = next1;
    before = now;
  }
  return energy;
}

}  // namespace

void energy_spectrum(std::span<const double> acceleration, std::span<const double> periods, double time_step,
                     double damping, std::span<double> ve, const parallel::Pool& pool) {
  pool.for_each(periods.size(), [&](std::size_t j) {
    detail::StepMap m{};
    if (!detail::step_map_of(periods[j], time_step, damping, m)) {
      ve[j] = std::numeric_limits<double>::quiet_NaN();
      return;
    }
    if (acceleration.empty()) {
      ve[j] = 0.0;
      return;
    }
    const double energy = relative_input_energy(acceleration, m, time_step);
    // The energy put in by the end is never negative in exact arithmetic (it is the
    // energy stored plus that dissipated); a rounding below 0 is 0.
    ve[j] = std::isfinite(energy) ? std::sqrt(2.0 * std::fmax(energy, 0.0)) : std::numeric_limits<double>::quiet_NaN();
  });
}

}  // namespace spectra
