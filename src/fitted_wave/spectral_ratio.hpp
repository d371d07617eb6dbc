#pragma once
// The correction of one iteration carried from the axis periods to every frequency of the
// transform: the ratio target / pSv at each axis period, linear in log frequency between
// neighbouring axis periods, held beyond the band's ends, then tapering (linear in log
// frequency) to 1, and 1 further out. The usual spectral
// matching by amplitude scaling with the phase kept (e.g. Gasparini and Vanmarcke, 1976,
// "SIMQKE: a program for artificial motion generation", MIT; Ohsaki, 1979, "On the
// significance of phase content in earthquake ground motions", EESD 7(5)).
#include <cstddef>
#include <span>
#include <vector>

namespace fitted_wave {

// Beyond each end of the band the end's ratio is held over kHoldOctaves, then tapers to 1
// over kTaperOctaves. The hold matters at the long end: an oscillator responds to motion at
// periods longer than its own nearly statically, so the content just beyond the band
// shows in the pSv of the axis's longest periods and must follow their correction; the
// taper keeps the step from the correction to none from ringing in the wave, and leaves
// the content far from the axis as the phase case has it.
inline constexpr double kHoldOctaves = 1.0;
inline constexpr double kTaperOctaves = 1.0;

// The ratios at the axis frequencies, sorted once per fit.
class RatioCarrier {
 public:
  // `periods`: the axis, each positive and finite, in any order.
  explicit RatioCarrier(std::span<const double> periods);

  // factors[k] for frequency k * frequency_step, k = 0 .. factors.size() - 1, from
  // ratios[j] at periods[j] (positive and finite).
  void carry(std::span<const double> ratios, double frequency_step, std::span<double> factors) const;

 private:
  std::vector<std::size_t> order_;  // axis indices by rising frequency
  std::vector<double> log_frequency_;  // of order_[i]
};

}  // namespace fitted_wave
