#include "fitted_wave/matching_model.hpp"

#include <algorithm>
#include <cmath>
#include <numeric>

#include "fitted_wave/dense_solve.hpp"
#include "spectra/portable_math.hpp"

namespace fitted_wave {
namespace {

constexpr double kLn2 = 0.69314718055994530942;
constexpr double kTwoPi = 6.28318530717958647692;
// An oscillator's mean square takes the bins up to this many times its frequency: beyond,
// |H|^2 is below 1/4000 of its static value and 1/400000 of its resonant one.
constexpr double kModelReach = 8.0;
// The Levenberg-Marquardt damping on the normal equations, whose diagonal is about 0.25 a
// period (d log pSv / d log g is about 1/2 per factor a side), and the weight of a period
// below its target.
constexpr double kDamping = 0.1;
constexpr double kShortWeight = 3.0;
constexpr int kInnerSteps = 5;
// d log pSv / d log g of the content around a period below which the model's step gets
// the plain ratio added (plain_share).
constexpr double kControlled = 0.25;

// 1 at x <= 0 falling as a half cosine to 0 at x >= 1.
double taper(double x) {
  if (x <= 0.0) return 1.0;
  if (x >= 1.0) return 0.0;
  return 0.5 + 0.5 * spectra::portable_sincos_turns(0.5 * x).cos;
}

// The weight beyond an end: held for `hold` octaves, then tapered over `fall` octaves.
double beyond(double octaves, double hold, double fall) { return taper((octaves - hold) / fall); }

}  // namespace

FactorShape::FactorShape(std::span<const double> periods, double frequency_step, std::size_t bins)
    : unknown_of_row_(periods.size()), low_(bins), w_low_(bins), w_high_(bins), base_(bins) {
  // Distinct periods, longest first: rising frequency.
  std::vector<double> distinct(periods.begin(), periods.end());
  std::sort(distinct.begin(), distinct.end(), [](double a, double b) { return a > b; });
  distinct.erase(std::unique(distinct.begin(), distinct.end()), distinct.end());
  std::vector<double> log_frequency;
  for (const double p : distinct) {
    frequencies_.push_back(1.0 / p);
    log_frequency.push_back(-spectra::portable_log(p));
  }
  for (std::size_t r = 0; r < periods.size(); ++r) {
    const auto at = std::find(distinct.begin(), distinct.end(), periods[r]);
    unknown_of_row_[r] = static_cast<std::size_t>(at - distinct.begin());
  }
  const std::size_t m = distinct.size();
  const double lowest = log_frequency.front(), highest = log_frequency.back();
  std::size_t segment = 0;
  for (std::size_t k = 0; k < bins; ++k) {
    low_[k] = 0;
    w_low_[k] = 0.0;
    w_high_[k] = 0.0;
    base_[k] = 1.0;
    if (k == 0 || m == 0) continue;  // the zero-frequency term stays the phase case's
    const double g = spectra::portable_log(static_cast<double>(k) * frequency_step);
    if (g < lowest) {
      w_low_[k] = beyond((lowest - g) / kLn2, kLongHoldOctaves, kLongTaperOctaves);
    } else if (g > highest) {
      low_[k] = static_cast<std::uint32_t>(m - 1);
      w_low_[k] = beyond((g - highest) / kLn2, kShortHoldOctaves, kShortTaperOctaves);
    } else if (m == 1) {
      w_low_[k] = 1.0;  // g is the one frequency itself
    } else {
      while (segment + 2 < m && log_frequency[segment + 1] <= g) ++segment;
      const double x = (g - log_frequency[segment]) / (log_frequency[segment + 1] - log_frequency[segment]);
      low_[k] = static_cast<std::uint32_t>(segment);
      w_low_[k] = 1.0 - x;
      w_high_[k] = x;
    }
    base_[k] = 1.0 - w_low_[k] - w_high_[k];
  }
}

void FactorShape::factors(std::span<const double> g, std::span<double> out) const noexcept {
  for (std::size_t k = 0; k < base_.size(); ++k) {
    double f = base_[k] + g[low_[k]] * w_low_[k];
    if (w_high_[k] != 0.0) f = f + g[low_[k] + 1] * w_high_[k];
    out[k] = f;
  }
}

ResponseModel::ResponseModel(const FactorShape& shape, std::span<const std::complex<double>> transform,
                             double frequency_step, double damping, const parallel::Pool& pool)
    : m_(shape.unknowns()),
      constant_(m_),
      linear_(m_ * m_),
      diagonal_(m_ * m_),
      off_(m_ * m_) {
  pool.for_each(m_, [&](std::size_t u) {
    const double wu = kTwoPi * shape.frequency(u);
    const double reach = kModelReach * shape.frequency(u) / frequency_step;
    const std::size_t last = reach < static_cast<double>(shape.bins() - 1) ? static_cast<std::size_t>(reach)
                                                                             : shape.bins() - 1;
    double* l = &linear_[u * m_];
    double* d = &diagonal_[u * m_];
    double* o = &off_[u * m_];
    double c = 0.0;
    for (std::size_t k = 0; k <= last; ++k) {
      const double w = kTwoPi * (static_cast<double>(k) * frequency_step);
      const double stiffness = wu * wu - w * w;
      const double friction = (2.0 * damping) * (wu * w);
      const double power = transform[k].real() * transform[k].real() + transform[k].imag() * transform[k].imag();
      const double weight = power / (stiffness * stiffness + friction * friction);
      const FactorShape::Share s = shape.share(k);
      c = c + weight * (s.base * s.base);
      l[s.low] = l[s.low] + weight * (s.base * s.w_low);
      d[s.low] = d[s.low] + weight * (s.w_low * s.w_low);
      if (s.w_high != 0.0) {
        l[s.low + 1] = l[s.low + 1] + weight * (s.base * s.w_high);
        d[s.low + 1] = d[s.low + 1] + weight * (s.w_high * s.w_high);
        o[s.low] = o[s.low] + weight * (s.w_low * s.w_high);
      }
    }
    constant_[u] = c;
  });
}

double ResponseModel::mean_square(std::size_t u, std::span<const double> g) const noexcept {
  const double* l = &linear_[u * m_];
  const double* d = &diagonal_[u * m_];
  const double* o = &off_[u * m_];
  double sum = constant_[u];
  for (std::size_t i = 0; i < m_; ++i) {
    double term = 2.0 * l[i] + d[i] * g[i];
    if (i + 1 < m_) term = term + 2.0 * o[i] * g[i + 1];
    sum = sum + term * g[i];
  }
  return sum;
}

void ResponseModel::gradient(std::size_t u, std::span<const double> g, std::span<double> out) const noexcept {
  const double* l = &linear_[u * m_];
  const double* d = &diagonal_[u * m_];
  const double* o = &off_[u * m_];
  for (std::size_t i = 0; i < m_; ++i) {
    double sum = l[i] + d[i] * g[i];
    if (i + 1 < m_) sum = sum + o[i] * g[i + 1];
    if (i > 0) sum = sum + o[i - 1] * g[i - 1];
    out[i] = 2.0 * sum;
  }
}

namespace {

// log(target / pSv) per distinct period, the mean over its rows.
std::vector<double> log_ratios(const FactorShape& shape, std::span<const double> psv, std::span<const double> target) {
  const std::size_t m = shape.unknowns();
  std::vector<double> sum(m, 0.0), rows(m, 0.0);
  for (std::size_t r = 0; r < psv.size(); ++r) {
    const std::size_t u = shape.unknown_of(r);
    sum[u] = sum[u] + (spectra::portable_log(target[r]) - spectra::portable_log(psv[r]));
    rows[u] = rows[u] + 1.0;
  }
  for (std::size_t u = 0; u < m; ++u) sum[u] = sum[u] / rows[u];
  return sum;
}

std::vector<double> plain_update(std::span<const double> g, const std::vector<double>& log_ratio) {
  std::vector<double> next(g.size());
  for (std::size_t u = 0; u < g.size(); ++u) next[u] = g[u] * spectra::portable_exp(log_ratio[u]);
  return next;
}

bool all_finite_positive(std::span<const double> v) {
  return std::all_of(v.begin(), v.end(), [](double x) { return std::isfinite(x) && x > 0.0; });
}

// How much of each distinct period's response the model gives to the content around it
// (its own factor and its two neighbours'), as d log pSv / d log g summed: about 1/2 for
// a record with content there, near 0 where its response comes from elsewhere (the
// static response of a stiff oscillator to content at longer periods). There the model
// cannot steer, and the plain ratio is added, in proportion.
std::vector<double> plain_share(const ResponseModel& model, std::span<const double> g,
                                std::span<const double> mean) {
  const std::size_t m = g.size();
  std::vector<double> share(m), grad(m);
  for (std::size_t u = 0; u < m; ++u) {
    model.gradient(u, g, grad);
    double local = 0.0;
    for (std::size_t i = u > 0 ? u - 1 : 0; i <= u + 1 && i < m; ++i) local = local + 0.5 * (grad[i] * g[i]) / mean[u];
    share[u] = std::clamp(1.0 - local / kControlled, 0.0, 1.0);
  }
  return share;
}

// Gauss-Newton steps on the model from g (fit.hpp); false when one cannot be taken.
bool model_steps(const FactorShape& shape, const ResponseModel& model, std::span<const double> g,
                 std::span<const double> psv, std::span<const double> target, std::span<const double> base,
                 std::vector<double>& y) {
  const std::size_t m = shape.unknowns(), rows = psv.size();
  std::vector<double> now(g.begin(), g.end()), mean(m), grad(m * m);
  std::vector<double> residual(rows), weight(rows), jacobian(rows * m), normal(m * m), rhs(m);
  for (std::size_t r = 0; r < rows; ++r) weight[r] = psv[r] < target[r] ? kShortWeight : 1.0;
  for (int step = 0; step < kInnerSteps; ++step) {
    for (std::size_t u = 0; u < m; ++u) {
      mean[u] = model.mean_square(u, now);
      model.gradient(u, now, std::span<double>(grad).subspan(u * m, m));
    }
    if (!all_finite_positive(mean)) return false;
    // log pSv_r(g') = log pSv_r + (log m0_u(g') - log m0_u(g)) / 2, against log target_r.
    for (std::size_t r = 0; r < rows; ++r) {
      const std::size_t u = shape.unknown_of(r);
      residual[r] = (spectra::portable_log(psv[r]) +
                     0.5 * (spectra::portable_log(mean[u]) - spectra::portable_log(base[u]))) -
                    spectra::portable_log(target[r]);
      for (std::size_t i = 0; i < m; ++i) jacobian[r * m + i] = 0.5 * (grad[u * m + i] * now[i]) / mean[u];
    }
    for (std::size_t i = 0; i < m; ++i) {
      double b = 0.0;
      for (std::size_t r = 0; r < rows; ++r) b = b - weight[r] * jacobian[r * m + i] * residual[r];
      rhs[i] = b;
      for (std::size_t k = 0; k < m; ++k) {
        double a = i == k ? kDamping : 0.0;
        for (std::size_t r = 0; r < rows; ++r) a = a + weight[r] * jacobian[r * m + i] * jacobian[r * m + k];
        normal[i * m + k] = a;
      }
    }
    if (!solve_dense(normal, rhs, m)) return false;
    for (std::size_t u = 0; u < m; ++u) {
      y[u] = y[u] + rhs[u];
      now[u] = spectra::portable_exp(y[u]);
    }
    if (!all_finite_positive(now)) return false;
  }
  return true;
}

}  // namespace

std::vector<double> level(const FactorShape& shape, std::span<const double> g, std::span<const double> psv,
                          std::span<const double> target) {
  const std::vector<double> ratio = log_ratios(shape, psv, target);
  double sum = 0.0;
  for (std::size_t r = 0; r < psv.size(); ++r) sum = sum + ratio[shape.unknown_of(r)];
  const std::vector<double> uniform(g.size(), sum / static_cast<double>(psv.size()));
  return plain_update(g, uniform);
}

std::vector<double> steer(const FactorShape& shape, const ResponseModel& model, std::span<const double> g,
                          std::span<const double> psv, std::span<const double> target) {
  const std::size_t m = shape.unknowns();
  const std::vector<double> ratio = log_ratios(shape, psv, target);
  std::vector<double> base(m), y(m);
  for (std::size_t u = 0; u < m; ++u) {
    base[u] = model.mean_square(u, g);
    y[u] = spectra::portable_log(g[u]);
  }
  if (!all_finite_positive(base) || !model_steps(shape, model, g, psv, target, base, y)) {
    return plain_update(g, ratio);
  }
  const std::vector<double> share = plain_share(model, g, base);
  std::vector<double> next(m);
  for (std::size_t u = 0; u < m; ++u) {
    const double from = spectra::portable_log(g[u]);
    double to = y[u] + share[u] * ratio[u];
    // Never against the period's own ratio: the model misjudges where the response
    // comes from; the plain step then stands.
    if ((to - from) * ratio[u] < 0.0) to = from + ratio[u];
    next[u] = spectra::portable_exp(to);
  }
  return all_finite_positive(next) ? next : plain_update(g, ratio);
}

}  // namespace fitted_wave
