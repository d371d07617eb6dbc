#pragma once
// The design wave: the phase case's record fitted to the target spectrum by scaling its
// Fourier amplitudes, its phase kept throughout.
//
// The record, zero-padded (fourier.hpp: transform_length), is transformed once; its phase
// stays. Each iteration takes the wave from the amplitudes (the zero-frequency term zero;
// the first `samples` values of the inverse transform: the wave keeps the record's
// length), brings its velocity to rest when needed (below), computes its pSv (h = 0.05) at
// every axis period with the spectra room's exact oscillators, and measures
// R = pSv / target. When R meets the criteria (by kCriteriaMargin) the fit stops.
// Otherwise the amplitudes are adjusted and the next iteration follows, up to
// kFitIterationLimit adjustments: the first multiplies every amplitude by 1 / mean R,
// bringing the record to the target's level as a whole (so that the content outside the
// band, which later adjustments leave as it is, is at that level too); each later one
// multiplies them by target / pSv carried over frequency (spectral_ratio.hpp). The wave
// written is the iteration whose R strays least from 1 (max |R - 1|) among those meeting
// the criteria (the last one: the fit stops there), // or among all when none does.
//
// Velocity at rest: the velocity, integrated as the run integrates (trapezoid from rest,
// v1 = a1 dt / 2), must end within 2 % of its peak. A wave whose velocity ends beyond that
// has a half-sine pulse over its whole length, c sin(pi i / (n + 1)), i = 1 .. n,
// subtracted, c making the final velocity zero: a correction at a period of twice the
// record's length, beyond the axis's band for any record that can carry the axis. Every
// iteration's wave is measured after it, so the criteria hold for the wave as written.
#include <cmath>
#include <cstdint>
#include <span>
#include <vector>

#include "parallel/pool.hpp"
#include "tables/fit_tables.hpp"

namespace fitted_wave {

// The criteria over the axis periods, R = pSv of the wave / target.
struct Criteria {
  double min_ratio = gm::kFitMinRatio;
  double max_variation = gm::kFitMaxVariation;
  double max_mean_error = gm::kFitMaxMeanError;
};

// The fit stops only when R meets each criterion by this much more: the wave as written
// (rounded to the file's six decimals) and measured by another implementation of the same
// oscillator then still meets them.
inline constexpr double kCriteriaMargin = 1e-4;

// The criteria tightened by kCriteriaMargin.
inline Criteria aimed(const Criteria& c) {
  return {c.min_ratio + kCriteriaMargin, c.max_variation - kCriteriaMargin, c.max_mean_error - kCriteriaMargin};
}

// R measured over the axis.
struct Measure {
  double min_ratio = 0.0;
  double variation = 0.0;
  double mean_ratio = 0.0;
  double worst = 0.0;  // max |R - 1|

  bool min_passes(const Criteria& c) const { return min_ratio >= c.min_ratio; }
  bool variation_passes(const Criteria& c) const { return variation <= c.max_variation; }
  bool mean_passes(const Criteria& c) const { return std::fabs(mean_ratio - 1.0) <= c.max_mean_error; }
  bool passes(const Criteria& c) const { return min_passes(c) && variation_passes(c) && mean_passes(c); }
};

// Why a fit cannot be made at all.
enum class Problem : std::uint8_t {
  None,
  NonFiniteSample,  // the record has a sample that is not finite
  NoMotion,         // no samples, or all of them equal (zero among them)
  TooShort,         // the record is shorter than the axis's longest period
  BadPeriod,        // a period of the axis is not positive and finite
  BadTarget,        // the target at a period is zero, negative or not finite
};

struct Check {
  Problem problem = Problem::None;
  int row = 0;  // for BadPeriod and BadTarget: the period row, from 1
};

// Whether the record can be fitted to the target on the axis at this time step.
Check check_fit(std::span<const double> record, std::span<const double> periods,
                std::span<const double> target, double time_step);

struct Fit {
  std::vector<double> wave;       // as many samples as the record
  std::vector<double> psv;        // of the wave, per axis period
  std::vector<double> worst;      // max |R - 1| of each iteration's wave, the start's first
  Measure measure;                // of the wave
  int iterations = 0;             // amplitude adjustments made
  int best = 0;                   // the iteration of the wave
  bool baseline_corrected = false;
};

// Fits a record that check_fit passed. The oscillators' work is spread over the pool; the
// transforms and every sum run in a fixed order, so the wave is the same bits for any
// number of threads.
Fit fit_wave(std::span<const double> record, std::span<const double> periods, std::span<const double> target,
             double time_step, const parallel::Pool& pool, const Criteria& criteria = {},
             int iteration_limit = gm::kFitIterationLimit);

// R of a wave whose pSv is `psv` against `target`, over the axis; sums in axis order.
Measure measure_ratio(std::span<const double> psv, std::span<const double> target);

// The velocity of an acceleration record as the run integrates it: trapezoid from rest,
// v1 = a1 dt / 2.
void integrate_velocity(std::span<const double> acceleration, double time_step, std::span<double> velocity);

}  // namespace fitted_wave
