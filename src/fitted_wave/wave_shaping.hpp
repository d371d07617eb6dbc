#pragma once
// Each iteration's wave brought to rest at both ends, before it is measured, so that the
// criteria hold for the wave as written:
//   1. Cosine tapers: from the first sample (weight 0) over the phase case's quiet lead-in,
//      up to the time its Arias intensity reaches kOnsetShare of the total, at least
//      kShortestTaper; and over the last kEndTaper seconds to 0 at the last sample. Each at
//      most a quarter of the record. The first sample is 0, and whatever the matching
//      spread ahead of the motion is laid down as it was in the phase case.
//   2. Drift: a low-order polynomial fitted to the displacement, its second derivative
//      taken off the acceleration (Boore and Bommer, 2005, "Processing of strong-motion
//      accelerograms: needs, options and consequences", SDEE 25; the baseline fits of
//      Converse and Brady, 1992, BAP, USGS OFR 92-296). Here the correction acceleration
//      is sum_m c_m W(t) P_m(tau), P_m the Legendre polynomials of degree 0 to 3 on the
//      record (tau from -1 to 1) and W the tapers above, so that it leaves both ends at 0;
//      its c_m make the least-squares fit to the displacement whose velocity and
//      displacement end exactly at 0, both integrated as the run integrates
//      (spectra/ground_motion.hpp). A correction of periods as long as the record: on a
//      record barely longer than the axis's longest period it reaches into the band, and
//      the fit measures it there.
//   3. Each sample rounded to the six decimals of its file (F14.6).
#include <cstddef>
#include <span>
#include <vector>

namespace fitted_wave {

inline constexpr double kShortestTaper = 1.0;  // s
inline constexpr double kEndTaper = 1.0;       // s
inline constexpr std::size_t kDriftTerms = 4;  // Legendre degrees 0 to 3

struct Tapers {
  std::size_t start = 0;  // samples from the first one, whose weight is 0, to weight 1
  std::size_t end = 0;    // the same before the last sample
};

// The tapers of a record at this time step.
Tapers tapers_for(std::span<const double> record, double time_step);

// x rounded to six decimals, as the file writes it: to the nearest multiple of 1e-6,
// ties to even, from the double nearest x * 1e6. Values of 1e9 or more, which no F14.6
// field holds, and those that are not finite are left as they are.
//   to_field(0.1234565) -> 0.123456 (x * 1e6 is 123456.49999999999)
double to_field(double x) noexcept;

class Shaper {
 public:
  Shaper(std::size_t samples, double time_step, Tapers tapers);
  // Steps 1 to 3 on `wave` (samples values). False when the drift cannot be fitted (a
  // record too short for its terms, or values that are not finite): the wave then has
  // its tapers and rounding but no correction. The working rows are the caller's, each of
  // at least `samples` values, their contents lost: a fit lends the rows it measures
  // with, so that a wave of 100000 samples is shaped in them rather than in rows of its
  // own (which took 8.8 MB beside everything else a fit holds).
  bool shape(std::span<double> wave, std::span<double> velocity, std::span<double> displacement,
             std::span<double> row);
  // The same with rows of its own.
  bool shape(std::span<double> wave);

 private:
  // Sample i of the corrections of terms 0 to m, W P_k (tau), into p[0..m]: computed
  // where used, as no row of them is kept.
  void basis(std::size_t m, std::size_t i, double* p) const noexcept;
  // Into `out`: term m's double integral, / its norm (the rows of the least squares);
  // `velocity` is the integral between. With `norm` false, not divided (the norm itself
  // is still to be found).
  void displacement_row(std::size_t m, std::span<double> out, std::span<double> velocity, bool norm) const;

  std::size_t n_;
  double time_step_;
  std::vector<double> window_;
  std::vector<double> norm_;          // of each term's double integral
  std::vector<double> ends_;          // per term: final velocity and displacement, / the norm
  std::vector<double> gram_;          // of the scaled double integrals
};

}  // namespace fitted_wave
