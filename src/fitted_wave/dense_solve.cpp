#include "fitted_wave/dense_solve.hpp"

#include <cmath>
#include <utility>

namespace fitted_wave {

bool solve_dense(std::span<double> a, std::span<double> b, std::size_t n) noexcept {
  if (a.size() < n * n || b.size() < n) return false;
  for (std::size_t col = 0; col < n; ++col) {
    std::size_t pivot = col;
    for (std::size_t r = col + 1; r < n; ++r) {
      if (std::fabs(a[r * n + col]) > std::fabs(a[pivot * n + col])) pivot = r;
    }
    const double p = a[pivot * n + col];
    if (!(std::isfinite(p) && p != 0.0)) return false;
    if (pivot != col) {
      for (std::size_t k = 0; k < n; ++k) std::swap(a[pivot * n + k], a[col * n + k]);
      std::swap(b[pivot], b[col]);
    }
    for (std::size_t r = col + 1; r < n; ++r) {
      const double factor = a[r * n + col] / p;
      if (factor == 0.0) continue;
      for (std::size_t k = col; k < n; ++k) a[r * n + k] = a[r * n + k] - factor * a[col * n + k];
      b[r] = b[r] - factor * b[col];
    }
  }
  for (std::size_t i = n; i-- > 0;) {
    double sum = b[i];
    for (std::size_t k = i + 1; k < n; ++k) sum = sum - a[i * n + k] * b[k];
    b[i] = sum / a[i * n + i];
    if (!std::isfinite(b[i])) return false;
  }
  return true;
}

}  // namespace fitted_wave
