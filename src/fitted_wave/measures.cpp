#include "fitted_wave/measures.hpp"

#include "expect/expect.hpp"

#include <cmath>
#include <limits>

#include "spectra/ground_motion.hpp"

namespace fitted_wave {

Measure measure_ratio(std::span<const double> psv, std::span<const double> target) {
  Measure m;
  const std::size_t count = psv.size();
  std::vector<double> r(count);
  double sum = 0.0;
  m.min_ratio = std::numeric_limits<double>::infinity();
  for (std::size_t j = 0; j < count; ++j) {
    r[j] = psv[j] / target[j];
    sum = sum + r[j];
    m.min_ratio = std::fmin(m.min_ratio, r[j]);
    const double deviation = std::fabs(r[j] - 1.0);
    if (!(deviation <= m.worst)) m.worst = deviation;  // a NaN stays
  }
  m.mean_ratio = sum / static_cast<double>(count);
  double squares = 0.0;
  for (const double x : r) squares = squares + (x - m.mean_ratio) * (x - m.mean_ratio);
  m.variation = std::sqrt(squares / static_cast<double>(count)) / m.mean_ratio;
  return m;
}

Motion motion_of(std::span<const double> a, double time_step, std::vector<double>& velocity,
                 std::vector<double>& displacement) {
  velocity.resize(a.size());
  displacement.resize(a.size());
  return motion_of(a, time_step, std::span<double>(velocity), std::span<double>(displacement));
}

Motion motion_of(std::span<const double> a, double time_step, std::span<double> velocity_row,
                 std::span<double> displacement_row) {
  GM_EXPECT(velocity_row.size() >= a.size() && displacement_row.size() >= a.size(),
            "the rows of a motion hold the record");
  Motion m;
  const std::span<double> velocity = velocity_row.first(a.size());
  const std::span<double> displacement = displacement_row.first(a.size());
  m.peak_velocity = spectra::integrate_from_rest(a, time_step, velocity);
  m.peak_displacement = spectra::integrate_from_rest(velocity, time_step, displacement);
  for (const double x : a) {
    if (std::fabs(x) >= m.peak_acceleration) m.peak_acceleration = std::fabs(x);
  }
  if (!a.empty()) {
    m.first_sample = a.front();
    m.final_velocity = velocity.back();
    m.final_displacement = displacement.back();
  }
  return m;
}

std::array<double, kCriteria> criterion_values(const Measure& r, const Motion& m) {
  std::array<double, kCriteria> v{};
  v[static_cast<std::size_t>(Criterion::MinRatio)] = r.min_ratio;
  v[static_cast<std::size_t>(Criterion::Variation)] = r.variation;
  v[static_cast<std::size_t>(Criterion::MeanError)] = std::fabs(r.mean_ratio - 1.0);
  // A wave without motion has no peak: 0 / 0 is NaN, which meets nothing.
  v[static_cast<std::size_t>(Criterion::FinalVelocity)] = std::fabs(m.final_velocity) / m.peak_velocity;
  v[static_cast<std::size_t>(Criterion::FinalDisplacement)] = std::fabs(m.final_displacement) / m.peak_displacement;
  v[static_cast<std::size_t>(Criterion::FirstSample)] = std::fabs(m.first_sample) / m.peak_acceleration;
  return v;
}

std::size_t criteria_met(const std::array<double, kCriteria>& values, double margin) {
  std::size_t met = 0;
  for (std::size_t c = 0; c < kCriteria; ++c) {
    if (meets(kCriterionTexts[c].criterion, values[c], margin)) ++met;
  }
  return met;
}

std::size_t arias_index(std::span<const double> a, double share) {
  double total = 0.0;
  for (const double x : a) total = total + x * x;
  if (!(total > 0.0)) return 0;
  double running = 0.0;
  for (std::size_t i = 0; i < a.size(); ++i) {
    running = running + a[i] * a[i];
    if (running >= share * total) return i;
  }
  return a.size();
}

double arias_share_before(std::span<const double> a, std::size_t index) {
  double total = 0.0, before = 0.0;
  for (std::size_t i = 0; i < a.size(); ++i) {
    total = total + a[i] * a[i];
    if (i < index) before = total;
  }
  return total > 0.0 ? before / total : 0.0;
}

}  // namespace fitted_wave
