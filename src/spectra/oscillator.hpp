#pragma once
// Response spectra: each record's damped single-degree-of-freedom oscillators,
//   x'' + 2 h w x' + w^2 x = -a(t),  w = 2 pi / period,
// integrated exactly for an acceleration that is linear between samples (Nigam and
// Jennings, 1969, "Calculation of response spectra from strong-motion earthquake records",
// BSSA 59(2)), over the record's own samples. The oscillator rests one step before the
// first sample, the acceleration rising linearly from 0 to the first sample over that
// step: the convention of the run's velocity integration, whose first velocity is
// a1 * dt / 2, so that Sv at very long periods tends to the record's peak velocity.
//
// The response goes on after the last sample with the ground at rest: the acceleration
// falls linearly to 0 over one step and stays 0, for as many steps as the axis's longest
// period spans (free_vibration_steps), at most kFreeVibrationCap. A building keeps moving
// after the ground stops, and a damped oscillator's largest free response comes within
// half a period of the stop, so this holds every oscillator's for periods up to twice the
// cap; the cap keeps a stray period of 1e6 s from making a run long.
//
// Per record and period: Sv = max |x'| and pSv = w * max |x| over the samples, the first
// included, and the free vibration after them. The results are the same bits on every
// host, for any number of threads and whichever vector path computes them.
#include <cstddef>
#include <span>
#include <vector>

#include "parallel/pool.hpp"

namespace spectra {

// The instruction sets the sweep can run on. Plain takes one oscillator at a time and is
// the reference the others match bit for bit; Best is the widest the processor has (a
// path it lacks is taken as Best). Every path gives the same bits: the choice is one of
// speed only, and tests force each path to compare it with Plain.
enum class Path { Plain, Sse2, Avx2, Avx512, Best };

// The longest free vibration after a record, in seconds.
inline constexpr double kFreeVibrationCap = 50.0;

// The steps of free vibration for an axis: its longest period that is positive and finite,
// at most kFreeVibrationCap, in steps of `time_step` (to the nearest; 0 for no such period
// or a time step that is not positive and finite).
//   free_vibration_steps({1.0, 10.0}, 0.02) -> 500;  free_vibration_steps({1e6}, 0.02) -> 2500
std::size_t free_vibration_steps(std::span<const double> periods, double time_step) noexcept;

// Whether the processor (and the build) can run the path; Plain, Sse2 and Best always.
bool path_available(Path path) noexcept;
// The path Best stands for on this processor.
Path best_path() noexcept;
const char* path_name(Path path) noexcept;

// The oscillators of one period axis, time step and damping, made once for any number of
// records. A cell is not computable, and comes out as NaN, for a period that is zero,
// negative or not finite; for every period when the time step is not positive and finite
// or the damping is not in (0, 1); and for every period of a record with a sample that is
// not finite (or whose response overflows). A period so short that a step spans more than
// 2^100 radians (about 1e-31 s at 0.02 s) is taken as that period: its response is already
// below 1e-28 of the record's peak.
class OscillatorBank {
 public:
  OscillatorBank(std::span<const double> periods, double time_step, double damping);
  OscillatorBank(const OscillatorBank&) = delete;  // layouts_ points into the bank's own storage
  OscillatorBank& operator=(const OscillatorBank&) = delete;
  OscillatorBank(OscillatorBank&&) noexcept = default;
  OscillatorBank& operator=(OscillatorBank&&) noexcept = default;

  std::size_t periods() const noexcept { return periods_; }
  std::size_t rest_steps() const noexcept { return rest_steps_; }

  // Sv and pSv of one record, sv[j] and psv[j] for periods[j]; both spans hold periods()
  // cells. A record without samples gives 0 (the oscillator stays at rest).
  void respond(std::span<const double> acceleration, std::span<double> sv, std::span<double> psv,
               Path path = Path::Best) const;

  // The pieces the work of one record falls into on `path`: side-by-side oscillators
  // that sweep the record together. respond_block(..., k, ...) for every k in
  // [0, blocks(path)) together do what respond does, each writing its own cells.
  std::size_t blocks(Path path) const noexcept;
  void respond_block(std::span<const double> acceleration, std::size_t block, std::span<double> sv,
                     std::span<double> psv, Path path) const;

 private:
  std::size_t periods_;
  std::size_t rest_steps_;  // free_vibration_steps of the axis
  // The coefficients in one layout per vector width (sweep.hpp's SweepBlock): for width W,
  // psi11 .. b2 of lanes 0 to W-1, then of lanes W to 2W-1, and so on.
  double* layout_of(std::size_t width) const noexcept;

  std::size_t stride_;                      // periods_ padded to the widest vector
  std::vector<double> coefficients_;        // room for the layouts
  double* layouts_;                         // their start in coefficients_, 64-byte aligned
  std::vector<double> displacement_scale_;  // |z1| -> w |x|, per period; NaN where not computable
  std::vector<double> velocity_scale_;      // |z2| -> |x'|
};

// A record and where its spectrum goes.
struct CaseSpectrum {
  std::span<const double> acceleration;
  std::span<double> sv;   // periods.size() cells
  std::span<double> psv;  // periods.size() cells
};

// Every record's spectrum, the records' blocks spread over the pool.
void case_spectra(std::span<const CaseSpectrum> cases, std::span<const double> periods, double time_step,
                  double damping, const parallel::Pool& pool, Path path = Path::Best);

// One record's spectrum on the calling thread.
void response_spectrum(std::span<const double> acceleration, std::span<const double> periods,
                       double time_step, double damping, std::span<double> sv, std::span<double> psv,
                       Path path = Path::Best);

}  // namespace spectra
