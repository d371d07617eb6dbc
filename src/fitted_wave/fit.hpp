#pragma once
// The design wave: the phase case fitted to the target spectrum by scaling its Fourier
// amplitudes, its phase kept throughout (matching_model.hpp).
//
// The record, zero-padded (fourier.hpp: transform_length), is transformed once. Each
// iteration's transform is the record's times the factor of the present values g; its
// inverse, cut to the record's length, is brought to rest at both ends and rounded as the
// file writes it (wave_shaping.hpp), and measured: its pSv (h = 0.05, with the free
// vibration after it) with the spectra room's exact oscillators, R = pSv / target, and the
// criteria of criteria.hpp. Iteration 0 is the phase case itself (g = 1); each later one
// follows a step of the steering. The fit stops at the first adjusted wave that meets
// every criterion by kStopMargin, or after the iteration limit.
//
// The wave written: that first wave; otherwise, among the adjusted ones (never the phase
// case itself), the one meeting the most criteria by kStopMargin, then the least
// max |R - 1|. Whether it meets the criteria is then judged with the bare bounds.
#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "fitted_wave/criteria.hpp"
#include "fitted_wave/measures.hpp"
#include "fitted_wave/wave_shaping.hpp"
#include "parallel/pool.hpp"

namespace fitted_wave {

// The damping of the spectra the fit matches, that of the fault tables' column.
inline constexpr double kMatchedDamping = 0.05;

// Why a fit cannot be made at all.
enum class Problem : std::uint8_t {
  None,
  NonFiniteSample,  // the record has a sample that is not finite
  NoMotion,         // no samples, or all of them equal (zero among them)
  TooShort,         // the record (samples x time step) is shorter than the axis's longest period
  BadPeriod,        // a period of the axis is not positive and finite
  BadTarget,        // the target at a period is zero, negative or not finite
  TooLarge,         // the wave has a sample that no F14.6 field holds (or one not finite)
};

struct Check {
  Problem problem = Problem::None;
  int row = 0;  // for BadPeriod and BadTarget: the period row, from 1
};

// Whether the record can be fitted to the target on the axis at this time step (all but
// TooLarge, which only the fit can tell).
Check check_fit(std::span<const double> record, std::span<const double> periods,
                std::span<const double> target, double time_step);

struct Fit {
  std::vector<double> wave;   // as many samples as the record, as the file writes them
  std::vector<double> psv;    // of the wave, per axis row
  std::vector<double> worst;  // max |R - 1| of each iteration's wave, the start's first
  std::vector<int> clear;     // criteria each iteration's wave meets by kStopMargin
  Measure measure;            // of the wave
  Motion motion;              // of the wave
  std::array<double, kCriteria> values{};  // of the wave, in the order of kCriterionTexts
  std::array<bool, kCriteria> met{};       // against the bare bounds
  bool all_met = false;
  bool too_large = false;     // a sample no F14.6 field holds: the fit cannot be made
  int iterations = 0;         // adjustments made
  int best = 0;               // the iteration written, from 1
  Tapers tapers;
};

// Fits a record that check_fit passed, with at least one adjustment (iteration_limit is
// taken as at least 1). The oscillators' work is spread over the pool; the transforms and
// every sum run in a fixed order, so the wave is the same bits for any number of threads.
Fit fit_wave(std::span<const double> record, std::span<const double> periods, std::span<const double> target,
             double time_step, const parallel::Pool& pool, int iteration_limit = kIterationLimit);

// Whether every sample fits an F14.6 field as the file writes it.
bool fits_its_field(std::span<const double> wave);

}  // namespace fitted_wave
