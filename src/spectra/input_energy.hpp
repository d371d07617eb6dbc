#pragma once
// The energy an earthquake puts into a building, per period: the velocity equivalent of
// the input energy (Akiyama, 1985, "Earthquake-resistant limit-state design for
// buildings", University of Tokyo Press), V_E = sqrt(2 E / m), with E / m the relative
// input energy of a damped single-degree-of-freedom oscillator (Uang and Bertero, 1990,
// "Evaluation of seismic energy in structures", EESD 19(1)):
//   E / m = -integral of a(t) x'(t) dt,   x'' + 2 h w x' + w^2 x = -a(t),
// x' the oscillator's velocity relative to the ground. x' comes from the exact step of
// oscillator.hpp (from rest one step before the first sample); the integral is the
// trapezoid rule over the samples and the one step after the last, in which the ground
// comes to rest (after it the ground puts nothing in). Energy spectra are read with
// h = 0.10 in Japanese practice. The same bits on every host and for any number of
// threads.
#include <span>

#include "parallel/pool.hpp"

namespace spectra {

// V_E (cm/s for cm/s2) of `acceleration` at each period, ve[j] for periods[j]; NaN where
// the oscillator cannot be made (oscillator.hpp) or the record is not finite; 0 for a
// record without samples. The periods are spread over the pool.
void energy_spectrum(std::span<const double> acceleration, std::span<const double> periods, double time_step,
                     double damping, std::span<double> ve, const parallel::Pool& pool);

}  // namespace spectra
