#pragma once
// The exact one-step map of a damped oscillator under an acceleration linear between
// samples (Nigam and Jennings, 1969, BSSA 59(2)), and the scaled form the sweep runs.
// Internal to the spectra room; tests reach it to check the two ways it is computed.
//
// In the time of a step, tau = t / dt, and with y = (w x, x'), s = w dt:
//   dy/dtau = s K y - dt a e2,  K = [[0, 1], [-1, -2h]],  e2 = (0, 1),
// so over a step, with a going linearly from a0 to a1,
//   y1 = Phi y0 - dt (Gamma0 a0 + Gamma1 a1),
//   Phi = e^X, Gamma0 = (phi1(X) - phi2(X)) e2, Gamma1 = phi2(X) e2, X = s K,
// phi1(X) = X^-1 (e^X - I), phi2(X) = X^-1 (phi1(X) - I). Working in y makes every
// coefficient a function of s and h alone, and w x comes out as it is wanted: pSv.

namespace spectra::detail {

struct StepMap {
  double phi[2][2];
  double gamma0[2];
  double gamma1[2];
};

// Below this s the closed form loses digits to cancellation (1 - cos s and the like);
// the series, whose terms there fall at once, takes over.
inline constexpr double kSeriesLimit = 1.0;

// The series of e^X, phi1 and phi2 to the power 30 of X, for 0 < s <= kSeriesLimit
// (the terms left out are below 1e-18 of the sum for any 0 < h < 1).
StepMap step_map_series(double s, double h) noexcept;
// The closed form through e^(-h s), sin and cos of the damped angle s sqrt(1 - h^2), given
// in turns, `damped_turns` = s sqrt(1 - h^2) / (2 pi); for s > kSeriesLimit.
StepMap step_map_closed(double s, double damped_turns, double h) noexcept;

// The map of one oscillator: false, leaving `map` as it was, for a period that is zero,
// negative or not finite, a time step that is not positive and finite, or a damping
// outside (0, 1). A step of more than 2^100 radians is taken as 2^100 (oscillator.hpp).
bool step_map_of(double period, double time_step, double damping, StepMap& map) noexcept;

// The map in the form the sweep runs (sweep.hpp), with z1 = y1 / p1 and z2 = y2 / q1,
// where p1 = -dt Gamma1[0] and q1 = -dt Gamma1[1] are the weights of the newest sample:
// scaled so, the newest sample enters with the factor 1, which saves two multiplications
// a step:
//   z1' = (psi11 z1 + psi12 z2) + (b1 a0 + a1),   psi11 = Phi11, psi12 = Phi12 q1 / p1,
//   z2' = (psi21 z1 + psi22 z2) + (b2 a0 + a1),   psi21 = Phi21 p1 / q1, psi22 = Phi22,
//   b1 = Gamma0[0] / Gamma1[0], b2 = Gamma0[1] / Gamma1[1];
// then w |x| = |p1| |z1| and |x'| = |q1| |z2|. p1 and q1 are never 0 for 0 < h < 1 (the
// response of a damped oscillator to a ramp from rest stays positive, and so does its
// velocity).
struct ScaledStep {
  double psi11, psi12, psi21, psi22, b1, b2;
  double displacement_scale;  // |p1|
  double velocity_scale;      // |q1|
  bool computable;
};

// Not computable for a period that is zero, negative or not finite, a time step that is
// not positive and finite, or a damping outside (0, 1).
ScaledStep scaled_step(double period, double time_step, double damping) noexcept;

}  // namespace spectra::detail
