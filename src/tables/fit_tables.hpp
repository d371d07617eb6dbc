#pragma once
// The design wave of a run asked for it: the phase case fitted to the target spectrum,
// and what the run's messages and the page show of the fit. Plain data, zero at program
// load like every table; the criteria themselves are the fit's (fitted_wave/criteria.hpp).
#include <cstdint>

namespace gm {

inline constexpr int kFitMaxSamples = 100000;  // as kMaxSamples
inline constexpr int kFitMaxPeriods = 100;     // as kMaxPeriods
inline constexpr int kFitIterationRoom = 32;   // at least the fit's iteration limit + 1
inline constexpr int kFitCriterionRoom = 8;    // at least the fit's criteria
inline constexpr int kFitShortPeriods = 16;    // periods the page adds below the axis

// A waveform's motion as the run integrates it, and the course of its Arias intensity.
struct FitMotion {
  double peak_acceleration;   // cm/s2, the largest magnitude
  double peak_velocity;       // cm/s
  double peak_displacement;   // cm
  double final_velocity;
  double final_displacement;
  double arias_times[3];      // s: where the running sum of a^2 reaches 5, 50 and 95 %
};

struct FitTables {
  std::int32_t sample_count;  // 0: no fit was made
  std::int32_t iterations;    // amplitude adjustments made
  std::int32_t best;          // the iteration written (from 1)
  std::int32_t all_met;       // 1: the wave meets every criterion
  std::int32_t start_taper;   // samples of the taper from the first sample
  std::int32_t end_taper;     // and to the last
  std::int32_t criterion_met[kFitCriterionRoom];   // in the fit's order of criteria
  double criterion_value[kFitCriterionRoom];
  double mean_ratio;          // of R = pSv of the wave / target over the axis periods
  double free_vibration;      // s: the free vibration after the record in every pSv
  double onset_time;          // s: where the phase case's Arias intensity reaches 1 %
  double lead_in_share;       // the wave's share of its own before that time
  FitMotion wave_motion;
  FitMotion phase_motion;
  double worst[kFitIterationRoom];       // max |R - 1| of each iteration's wave
  double phase_psv[kFitMaxPeriods];      // the phase case's own pSv (h = 0.05)
  double wave_psv[kFitMaxPeriods];       // the written wave's
  double phase_energy[kFitMaxPeriods];   // velocity equivalents of input energy (h = 0.10)
  double wave_energy[kFitMaxPeriods];
  // pSv (h = 0.05) at periods below the axis's shortest, from 0.02 s up, for the page:
  // the content above the band is the phase case's, but a stiff oscillator follows the
  // ground's acceleration, which the band raises with it.
  std::int32_t short_count;
  double short_periods[kFitShortPeriods];
  double phase_short_psv[kFitShortPeriods];
  double wave_short_psv[kFitShortPeriods];
  double wave[kFitMaxSamples];           // the written wave (cm/s2)
  double velocity[kFitMaxSamples];       // its velocity and displacement, integrated as
  double displacement[kFitMaxSamples];   // the run integrates
};

}  // namespace gm
