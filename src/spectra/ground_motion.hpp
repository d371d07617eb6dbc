#pragma once
// The ground's velocity and displacement from its acceleration, as the run integrates
// them: the one integration that the velocity files, the ranking and the design wave
// share. Knows no table of ours.
#include <span>

namespace spectra {

// The trapezoid rule from rest one step before the first sample, with the acceleration
// rising from 0 to the first sample over that step (the oscillators' convention too):
//   out[0] = (dt / 2) * in[0],  out[j] = (dt / 2) * (in[j] + in[j - 1]) + out[j - 1],
// each rounded in this order. Returns the largest |out[j]| (0 without samples; a NaN
// value leaves the largest as it was). `out` holds in.size() cells; applied to a velocity
// it gives the displacement: d[0] = v[0] dt / 2.
//   integrate_from_rest({2, 4}, 0.5, v) -> v = {0.5, 2.0}, returns 2.0
double integrate_from_rest(std::span<const double> in, double time_step, std::span<double> out) noexcept;

}  // namespace spectra
