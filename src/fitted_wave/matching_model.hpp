#pragma once
// How the fit shapes the phase case's transform, and how it steers the shape toward the
// target. Spectral matching by Fourier amplitudes with the phase kept (Gasparini and
// Vanmarcke, 1976, "SIMQKE: a program for artificial motion generation", MIT; Ohsaki,
// 1979, "On the significance of phase content in earthquake ground motions", EESD 7(5)):
// each iteration's transform is the phase case's times a real factor F(f) >= 0, which
// scales the amplitudes and keeps every phase.
//
// F is set by one value g_u per distinct axis period (the matched ratio there), u by
// rising frequency f_u = 1 / period:
//   - inside the band, linear in log frequency between neighbouring f_u;
//   - above the band (periods shorter than the axis's shortest): g held for half an
//     octave, then a cosine taper to exactly 1 over half an octave more, so that at periods
//     under half the shortest the wave's amplitudes are the phase case's own;
//   - below it: g held for one octave (the longest oscillators answer nearly statically to
//     motion at periods just beyond theirs, so that content must follow their correction),
//     then a cosine taper to 1 over one octave more; the drift correction acts on the rest;
//   - at zero frequency, 1.
// So F_k = base_k + g[low_k] w_low_k + g[low_k + 1] w_high_k at every bin k.
//
// Steering: the matched ratio of one period depends on its neighbours' too (an
// oscillator answers to the content around its period, and a short record's transform
// has notches that no factor can fill), so the factors are moved together. The model is
// random vibration theory's (e.g. Boore, 2003, "Simulation of ground motion using the
// stochastic method", PAGEOPH 160): the mean square response of oscillator u is
//   m0_u(g) = sum_k |H_u(f_k)|^2 |X_k|^2 F_k(g)^2,   H_u(f) = 1 / (w_u^2 - w^2 + 2i h w_u w),
// a quadratic in g, and pSv_u scales as sqrt(m0_u) at the peak factor last measured.
// Each step is a damped Gauss-Newton (Levenberg-Marquardt) solve of that model for
// pSv = target in log g, the periods below the target weighted three times (the least
// ratio has a bound of its own). The measured pSv of the next wave corrects the model.
#include <complex>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "parallel/pool.hpp"

namespace fitted_wave {

inline constexpr double kShortHoldOctaves = 0.5;
inline constexpr double kShortTaperOctaves = 0.5;
inline constexpr double kLongHoldOctaves = 1.0;
inline constexpr double kLongTaperOctaves = 1.0;

class FactorShape {
 public:
  // `periods`: the axis rows, each positive and finite, in any order, repeats allowed;
  // bins k = 0 .. bins - 1 at frequency k * frequency_step.
  FactorShape(std::span<const double> periods, double frequency_step, std::size_t bins);

  std::size_t unknowns() const noexcept { return frequencies_.size(); }
  std::size_t bins() const noexcept { return base_.size(); }
  std::size_t unknown_of(std::size_t row) const noexcept { return unknown_of_row_[row]; }
  double frequency(std::size_t u) const noexcept { return frequencies_[u]; }

  // F at every bin for the values g (unknowns() of them).
  void factors(std::span<const double> g, std::span<double> out) const noexcept;

  // Bin k's share: F_k = base + g[low] * w_low + g[low + 1] * w_high (w_high 0 at the ends).
  struct Share {
    std::uint32_t low;
    double w_low, w_high, base;
  };
  Share share(std::size_t k) const noexcept { return {low_[k], w_low_[k], w_high_[k], base_[k]}; }

 private:
  std::vector<double> frequencies_;  // distinct, rising
  std::vector<std::size_t> unknown_of_row_;
  std::vector<std::uint32_t> low_;
  std::vector<double> w_low_, w_high_, base_;
};

class ResponseModel {
 public:
  // `transform`: the phase case's, shape.bins() values. The oscillators' work is spread
  // over the pool, each summing its bins in order.
  ResponseModel(const FactorShape& shape, std::span<const std::complex<double>> transform, double frequency_step,
                double damping, const parallel::Pool& pool);

  double mean_square(std::size_t u, std::span<const double> g) const noexcept;
  // d m0_u / d g_i for every i, into out (unknowns values).
  void gradient(std::size_t u, std::span<const double> g, std::span<double> out) const noexcept;

 private:
  std::size_t m_;
  // Per unknown u, m0_u = c_u + 2 sum l_ui g_i + sum d_ui g_i^2 + 2 sum o_ui g_i g_(i+1).
  std::vector<double> constant_, linear_, diagonal_, off_;
};

// The first step: every factor times one ratio, the geometric mean of target / pSv over
// the axis rows, `psv` measured on the wave the factors g made (positive and finite).
// The record is brought to the target's level as a whole before it is shaped, so that
// the model's steps start near it.
std::vector<double> level(const FactorShape& shape, std::span<const double> g, std::span<const double> psv,
                          std::span<const double> target);

// Each later step: the model's (above), plus the plain ratio target / pSv of a period
// (the geometric mean over its rows) in the proportion that the model cannot steer it,
// and never against that ratio's direction (there the plain ratio alone). When the model
// cannot take a step (a mean square of 0, a value that is not finite), the plain ratio.
std::vector<double> steer(const FactorShape& shape, const ResponseModel& model, std::span<const double> g,
                          std::span<const double> psv, std::span<const double> target);

}  // namespace fitted_wave
