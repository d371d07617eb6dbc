#include "spectra/step_coefficients.hpp"

#include <cmath>

#include "spectra/portable_math.hpp"

namespace spectra::detail {

namespace {

constexpr int kSeriesTerms = 30;
constexpr double kTwoPi = 6.28318530717958647692;
constexpr double kLargestStepAngle = 1267650600228229401496703205376.0;  // 2^100

bool finite(double x) { return std::isfinite(x); }

}  // namespace

StepMap step_map_series(double s, double h) noexcept {
  // X = s K; the terms X^k / k! for k = 0..kSeriesTerms, summed from the smallest.
  const double x[2][2] = {{0.0, s}, {-s, -(2.0 * h) * s}};
  double term[kSeriesTerms + 1][2][2];
  term[0][0][0] = 1.0;
  term[0][0][1] = 0.0;
  term[0][1][0] = 0.0;
  term[0][1][1] = 1.0;
  for (int k = 1; k <= kSeriesTerms; ++k) {
    const auto& p = term[k - 1];
    for (int i = 0; i < 2; ++i) {
      for (int j = 0; j < 2; ++j) term[k][i][j] = (p[i][0] * x[0][j] + p[i][1] * x[1][j]) / k;
    }
  }
  // e^X = sum X^k / k!, phi1(X) = sum X^k / (k+1)!, phi2(X) = sum X^k / (k+2)!; so
  // Gamma1 = sum X^k e2 / ((k+1)(k+2)) and Gamma0 = phi1 e2 - Gamma1 = sum X^k e2 / (k+2).
  StepMap m{};
  for (int k = kSeriesTerms; k >= 0; --k) {
    const double d0 = k + 2.0;
    const double d1 = (k + 1.0) * (k + 2.0);
    for (int i = 0; i < 2; ++i) {
      for (int j = 0; j < 2; ++j) m.phi[i][j] += term[k][i][j];
      m.gamma0[i] += term[k][i][1] / d0;
      m.gamma1[i] += term[k][i][1] / d1;
    }
  }
  return m;
}

StepMap step_map_closed(double s, double damped_turns, double h) noexcept {
  // e^X for the eigenvalues s (-h +- i sqrt(1 - h^2)).
  const double root = std::sqrt(1.0 - h * h);
  const double decay = portable_exp(-(h * s));
  StepMap m{};
  if (decay != 0.0) {
    const SinCos angle = portable_sincos_turns(damped_turns);
    const double es = decay * angle.sin;
    const double ec = decay * angle.cos;
    const double ratio = h / root;
    m.phi[0][0] = ec + ratio * es;
    m.phi[0][1] = es / root;
    m.phi[1][0] = -m.phi[0][1];
    m.phi[1][1] = ec - ratio * es;
  }
  // With K^-1 = [[-2h, -1], [1, 0]]: phi1 e2 = K^-1 (Phi - I) e2 / s and
  // phi2 e2 = K^-1 (phi1 e2 - e2) / s.
  const double w0 = ((1.0 - m.phi[1][1]) - (2.0 * h) * m.phi[0][1]) / s;
  const double w1 = m.phi[0][1] / s;
  m.gamma1[0] = ((1.0 - w1) - (2.0 * h) * w0) / s;
  m.gamma1[1] = w0 / s;
  m.gamma0[0] = w0 - m.gamma1[0];
  m.gamma0[1] = w1 - m.gamma1[1];
  return m;
}

bool step_map_of(double period, double time_step, double damping, StepMap& map) noexcept {
  if (!(period > 0.0 && finite(period) && time_step > 0.0 && finite(time_step) && damping > 0.0 &&
        damping < 1.0)) {
    return false;
  }
  double turns = time_step / period;  // the undamped angle of a step, in turns
  double s = kTwoPi * turns;          // and in radians
  if (!(s <= kLargestStepAngle)) {
    s = kLargestStepAngle;
    turns = s / kTwoPi;
  }
  const double root = std::sqrt(1.0 - damping * damping);
  map = s <= kSeriesLimit ? step_map_series(s, damping) : step_map_closed(s, root * turns, damping);
  return true;
}

ScaledStep scaled_step(double period, double time_step, double damping) noexcept {
  ScaledStep out{};
  StepMap m{};
  if (!step_map_of(period, time_step, damping, m)) return out;
  const double p1 = m.gamma1[0];  // the weights of the newest sample, up to the factor -dt
  const double q1 = m.gamma1[1];
  out.psi11 = m.phi[0][0];
  out.psi12 = (m.phi[0][1] * q1) / p1;
  out.psi21 = (m.phi[1][0] * p1) / q1;
  out.psi22 = m.phi[1][1];
  out.b1 = m.gamma0[0] / p1;
  out.b2 = m.gamma0[1] / q1;
  out.displacement_scale = time_step * std::fabs(p1);
  out.velocity_scale = time_step * std::fabs(q1);
  // Guards the far ends of the period axis, where a weight could underflow: a cell that
  // cannot be scaled is not computable rather than wrong.
  out.computable = p1 != 0.0 && q1 != 0.0 && finite(out.psi12) && finite(out.psi21) && finite(out.b1) &&
                   finite(out.b2) && out.displacement_scale != 0.0 && out.velocity_scale != 0.0;
  if (!out.computable) out = ScaledStep{};
  return out;
}

}  // namespace spectra::detail
