#include "fitted_wave/wave_shaping.hpp"

#include <algorithm>
#include <cmath>

#include "expect/expect.hpp"
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
      norm_(kDriftTerms),
      ends_(2 * kDriftTerms),
      gram_(kDriftTerms * kDriftTerms) {
  for (std::size_t i = 0; i < tapers.start && i < n_; ++i) window_[i] = rise(i, tapers.start);
  for (std::size_t j = 0; j < tapers.end && j < n_; ++j) window_[n_ - 1 - j] = window_[n_ - 1 - j] * rise(j, tapers.end);
  std::vector<double> velocity(n_), row(n_), other(n_);
  for (std::size_t m = 0; m < kDriftTerms; ++m) {
    displacement_row(m, row, velocity, false);
    double squares = 0.0;
    for (const double x : row) squares = squares + x * x;
    norm_[m] = std::sqrt(squares);
    const double scale = norm_[m] > 0.0 ? 1.0 / norm_[m] : 0.0;
    ends_[2 * m] = n_ > 0 ? velocity[n_ - 1] * scale : 0.0;
    ends_[2 * m + 1] = n_ > 0 ? row[n_ - 1] * scale : 0.0;
  }
  // Two rows at a time, each made again where needed; the matrix is symmetric.
  for (std::size_t a = 0; a < kDriftTerms; ++a) {
    displacement_row(a, row, velocity, true);
    for (std::size_t b = 0; b <= a; ++b) {
      if (b < a) displacement_row(b, other, velocity, true);
      const std::vector<double>& second = b < a ? other : row;
      double sum = 0.0;
      for (std::size_t i = 0; i < n_; ++i) sum = sum + row[i] * second[i];
      gram_[a * kDriftTerms + b] = sum;
      gram_[b * kDriftTerms + a] = sum;
    }
  }
}

// The values of the terms 0 to m at sample i, W P_k (tau) into p[0..m].
void Shaper::basis(std::size_t m, std::size_t i, double* p) const noexcept {
  p[0] = window_[i] * 1.0;
  if (m == 0) return;
  const double tau = n_ > 1 ? 2.0 * static_cast<double>(i) / static_cast<double>(n_ - 1) - 1.0 : 0.0;
  // Legendre's recurrence: k P_k = (2k - 1) tau P_(k-1) - (k - 1) P_(k-2). Divisions are
  // most of the cost of a term made again at every iteration: the one by 2 is the product
  // by 0.5, which is exact and rounds alike.
  double older = 1.0, old = tau;
  p[1] = window_[i] * tau;
  for (std::size_t k = 2; k <= m; ++k) {
    const double kk = static_cast<double>(k);
    const double sum = (2.0 * kk - 1.0) * tau * old - (kk - 1.0) * older;
    const double value = k == 2 ? sum * 0.5 : sum / kk;
    older = old;
    old = value;
    p[k] = window_[i] * value;
  }
}

void Shaper::displacement_row(std::size_t m, std::span<double> out, std::span<double> velocity, bool norm) const {
  const std::span<double> d = out.first(n_);
  double p[kDriftTerms];
  for (std::size_t i = 0; i < n_; ++i) {
    basis(m, i, p);
    d[i] = p[m];
  }
  spectra::integrate_from_rest(d, time_step_, velocity.first(n_));
  spectra::integrate_from_rest(velocity.first(n_), time_step_, d);
  if (!norm) return;
  const double scale = norm_[m] > 0.0 ? 1.0 / norm_[m] : 0.0;
  for (double& x : d) x = x * scale;
}

bool Shaper::shape(std::span<double> wave) {
  std::vector<double> velocity(n_), displacement(n_), row(n_);
  return shape(wave, velocity, displacement, row);
}

bool Shaper::shape(std::span<double> wave, std::span<double> velocity, std::span<double> displacement,
                   std::span<double> row) {
  GM_EXPECT(velocity.size() >= n_ && displacement.size() >= n_ && row.size() >= n_,
            "the rows a shaping is lent hold the record");
  for (std::size_t i = 0; i < n_; ++i) wave[i] = wave[i] * window_[i];
  bool corrected = n_ > 0;
  if (corrected) {
    spectra::integrate_from_rest(wave, time_step_, velocity.first(n_));
    spectra::integrate_from_rest(velocity.first(n_), time_step_, displacement.first(n_));
    const double velocity_end = velocity[n_ - 1];
    // The least squares with two equality constraints, as one system (Lagrange):
    //   [2G C'; C 0] [c; mu] = [2 D'd; v_end; d_end], constraints scaled to unit rows.
    constexpr std::size_t k = kDriftTerms, size = kDriftTerms + 2;
    double system[size * size] = {};
    double rhs[size] = {};
    for (std::size_t a = 0; a < k; ++a) {
      displacement_row(a, row, velocity, true);
      double sum = 0.0;
      for (std::size_t i = 0; i < n_; ++i) sum = sum + row[i] * displacement[i];
      rhs[a] = 2.0 * sum;
      for (std::size_t b = 0; b < k; ++b) system[a * size + b] = 2.0 * gram_[a * k + b];
    }
    for (std::size_t r = 0; r < 2; ++r) {
      double largest = 0.0;
      for (std::size_t a = 0; a < k; ++a) largest = std::max(largest, std::fabs(ends_[2 * a + r]));
      const double scale = largest > 0.0 ? 1.0 / largest : 1.0;
      for (std::size_t a = 0; a < k; ++a) {
        system[(k + r) * size + a] = ends_[2 * a + r] * scale;
        system[a * size + k + r] = ends_[2 * a + r] * scale;
      }
      rhs[k + r] = (r == 0 ? velocity_end : displacement[n_ - 1]) * scale;
    }
    corrected = solve_dense(system, rhs, size);
    if (corrected) {
      double c[k];
      for (std::size_t a = 0; a < k; ++a) c[a] = rhs[a] / norm_[a];
      // Each sample's terms taken off in term order, all four from one evaluation.
      double p[k];
      for (std::size_t i = 0; i < n_; ++i) {
        basis(k - 1, i, p);
        for (std::size_t a = 0; a < k; ++a) wave[i] = wave[i] - c[a] * p[a];
      }
    }
  }
  for (double& x : wave) x = to_field(x);
  return corrected;
}

}  // namespace fitted_wave
