#include "fitted_wave/wave_shaping.hpp"

#include <algorithm>
#include <cmath>

#include "fitted_wave/criteria.hpp"
#include "fitted_wave/dense_solve.hpp"
#include "fitted_wave/measures.hpp"
#include "spectra/ground_motion.hpp"
#include "spectra/portable_math.hpp"

namespace fitted_wave {
namespace {

std::size_t samples_in(double seconds, double time_step) {
  return static_cast<std::size_t>(std::nearbyint(seconds / time_step));
}

// sin^2 of a quarter turn times i / length: 0 at i = 0, 1 at i = length.
double rise(std::size_t i, std::size_t length) {
  const double s = spectra::portable_sincos_turns(0.25 * static_cast<double>(i) / static_cast<double>(length)).sin;
  return s * s;
}

}  // namespace

Tapers tapers_for(std::span<const double> record, double time_step) {
  const std::size_t onset = arias_index(record, kOnsetShare);
  const std::size_t most = record.size() / 4;
  Tapers t;
  t.start = std::min(std::max(onset, samples_in(kShortestTaper, time_step)), most);
  t.end = std::min(samples_in(kEndTaper, time_step), most);
  return t;
}

double to_field(double x) noexcept {
  if (!(std::fabs(x) < 1e9)) return x;
  return std::nearbyint(x * 1e6) / 1e6;
}

Shaper::Shaper(std::size_t samples, double time_step, Tapers tapers)
    : n_(samples),
      time_step_(time_step),
      window_(samples, 1.0),
      basis_(kDriftTerms * samples),
      displacement_(kDriftTerms * samples),
      norm_(kDriftTerms),
      ends_(2 * kDriftTerms),
      gram_(kDriftTerms * kDriftTerms),
      velocity_(samples),
      scratch_(samples) {
  for (std::size_t i = 0; i < tapers.start && i < n_; ++i) window_[i] = rise(i, tapers.start);
  for (std::size_t j = 0; j < tapers.end && j < n_; ++j) window_[n_ - 1 - j] = window_[n_ - 1 - j] * rise(j, tapers.end);
  for (std::size_t i = 0; i < n_; ++i) {
    const double tau = n_ > 1 ? 2.0 * static_cast<double>(i) / static_cast<double>(n_ - 1) - 1.0 : 0.0;
    // Legendre's recurrence: m P_m = (2m - 1) tau P_(m-1) - (m - 1) P_(m-2).
    double older = 1.0, old = tau;
    for (std::size_t m = 0; m < kDriftTerms; ++m) {
      double p = m == 0 ? 1.0 : tau;
      if (m >= 2) {
        const double k = static_cast<double>(m);
        p = ((2.0 * k - 1.0) * tau * old - (k - 1.0) * older) / k;
        older = old;
        old = p;
      }
      basis_[m * n_ + i] = window_[i] * p;
    }
  }
  for (std::size_t m = 0; m < kDriftTerms; ++m) {
    const std::span<const double> row(basis_.data() + m * n_, n_);
    const std::span<double> d(displacement_.data() + m * n_, n_);
    spectra::integrate_from_rest(row, time_step_, velocity_);
    spectra::integrate_from_rest(velocity_, time_step_, d);
    double squares = 0.0;
    for (const double x : d) squares = squares + x * x;
    norm_[m] = std::sqrt(squares);
    const double scale = norm_[m] > 0.0 ? 1.0 / norm_[m] : 0.0;
    for (double& x : d) x = x * scale;
    ends_[2 * m] = n_ > 0 ? velocity_[n_ - 1] * scale : 0.0;
    ends_[2 * m + 1] = n_ > 0 ? d[n_ - 1] : 0.0;
  }
  for (std::size_t a = 0; a < kDriftTerms; ++a) {
    for (std::size_t b = 0; b < kDriftTerms; ++b) {
      double sum = 0.0;
      for (std::size_t i = 0; i < n_; ++i) sum = sum + displacement_[a * n_ + i] * displacement_[b * n_ + i];
      gram_[a * kDriftTerms + b] = sum;
    }
  }
}

bool Shaper::shape(std::span<double> wave) {
  for (std::size_t i = 0; i < n_; ++i) wave[i] = wave[i] * window_[i];
  bool corrected = n_ > 0;
  if (corrected) {
    spectra::integrate_from_rest(wave, time_step_, velocity_);
    spectra::integrate_from_rest(velocity_, time_step_, scratch_);
    // The least squares with two equality constraints, as one system (Lagrange):
    //   [2G C'; C 0] [c; mu] = [2 D'd; v_end; d_end], constraints scaled to unit rows.
    constexpr std::size_t k = kDriftTerms, size = kDriftTerms + 2;
    double system[size * size] = {};
    double rhs[size] = {};
    for (std::size_t a = 0; a < k; ++a) {
      double sum = 0.0;
      for (std::size_t i = 0; i < n_; ++i) sum = sum + displacement_[a * n_ + i] * scratch_[i];
      rhs[a] = 2.0 * sum;
      for (std::size_t b = 0; b < k; ++b) system[a * size + b] = 2.0 * gram_[a * k + b];
    }
    for (std::size_t row = 0; row < 2; ++row) {
      double largest = 0.0;
      for (std::size_t a = 0; a < k; ++a) largest = std::max(largest, std::fabs(ends_[2 * a + row]));
      const double scale = largest > 0.0 ? 1.0 / largest : 1.0;
      for (std::size_t a = 0; a < k; ++a) {
        system[(k + row) * size + a] = ends_[2 * a + row] * scale;
        system[a * size + k + row] = ends_[2 * a + row] * scale;
      }
      rhs[k + row] = (row == 0 ? velocity_[n_ - 1] : scratch_[n_ - 1]) * scale;
    }
    corrected = solve_dense(system, rhs, size);
    if (corrected) {
      for (std::size_t a = 0; a < k; ++a) {
        const double c = rhs[a] / norm_[a];
        for (std::size_t i = 0; i < n_; ++i) wave[i] = wave[i] - c * basis_[a * n_ + i];
      }
    }
  }
  for (double& x : wave) x = to_field(x);
  return corrected;
}

}  // namespace fitted_wave
