#pragma once
// What the fit measures of a wave: R over the axis, the motion's peaks and ends as the
// run integrates it, the course of its Arias intensity, and the criteria's values.
#include <array>
#include <cstddef>
#include <span>
#include <vector>

#include "fitted_wave/criteria.hpp"

namespace fitted_wave {

// R = pSv / target over the axis rows, summed in row order.
struct Measure {
  double min_ratio = 0.0;
  double variation = 0.0;   // population standard deviation of R / mean of R
  double mean_ratio = 0.0;
  double worst = 0.0;       // max |R - 1| (NaN when an R is NaN)
};
Measure measure_ratio(std::span<const double> psv, std::span<const double> target);

// The peaks (largest magnitudes) and last values of an acceleration record and of its
// velocity and displacement, integrated from rest (spectra/ground_motion.hpp).
struct Motion {
  double peak_acceleration = 0.0, peak_velocity = 0.0, peak_displacement = 0.0;
  double first_sample = 0.0, final_velocity = 0.0, final_displacement = 0.0;
};
// Also leaves the velocity and the displacement in the two vectors (resized to fit).
Motion motion_of(std::span<const double> acceleration, double time_step, std::vector<double>& velocity,
                 std::vector<double>& displacement);
// The same into the first acceleration.size() cells of each row.
Motion motion_of(std::span<const double> acceleration, double time_step, std::span<double> velocity,
                 std::span<double> displacement);

// The criteria's values, in the order of kCriterionTexts: min R, the variation, |mean R - 1|,
// and the final velocity, the final displacement and the first sample each over its peak.
std::array<double, kCriteria> criterion_values(const Measure& r, const Motion& m);
// How many of the values meet their criterion by `margin` (criteria.hpp: meets).
std::size_t criteria_met(const std::array<double, kCriteria>& values, double margin);

// The index of the first sample at which the running sum of squares reaches `share` of
// the total: the samples before it hold less. 0 for a record of zeros.
std::size_t arias_index(std::span<const double> acceleration, double share);
// The share of the total sum of squares held by the samples before `index`; 0 for zeros.
double arias_share_before(std::span<const double> acceleration, std::size_t index);

}  // namespace fitted_wave
