#pragma once
// The design wave of a run asked for it: the phase case fitted to the target spectrum,
// and what the page shows of the fit. Plain data, zero at program load like every table.
#include <cstdint>

namespace gm {

inline constexpr int kFitMaxSamples = 100000;   // as kMaxSamples
inline constexpr int kFitMaxPeriods = 100;      // as kMaxPeriods
// The amplitude adjustments a fit makes at most; the measure of each wave, the start's
// included, is kept for the page.
inline constexpr int kFitIterationLimit = 20;
// The criteria a fit is held to, over the axis periods, R = pSv of the wave / target: the
// fit's defaults, and what the page and the warnings compare with.
inline constexpr double kFitMinRatio = 0.85;       // min R >= this
inline constexpr double kFitMaxVariation = 0.05;   // standard deviation of R / mean of R <= this
inline constexpr double kFitMaxMeanError = 0.02;   // |mean R - 1| <= this

struct FitTables {
  std::int32_t sample_count;  // 0: no fit was made
  std::int32_t iterations;    // amplitude adjustments made
  std::int32_t best;          // the iteration written (0: the start)
  std::int32_t baseline_corrected;  // 1: the written wave had its velocity brought to rest
  double min_ratio;           // of R = pSv of the wave / target over the axis periods
  double variation;           // coefficient of variation of R
  double mean_ratio;          // mean of R
  double worst[kFitIterationLimit + 1];  // max |R - 1| of each iteration's wave
  double phase_psv[kFitMaxPeriods];      // the phase case's own pSv
  double wave_psv[kFitMaxPeriods];       // the written wave's pSv
  double wave[kFitMaxSamples];           // the written wave (cm/s2)
  double velocity[kFitMaxSamples];       // its velocity, integrated as the run integrates
};

}  // namespace gm
