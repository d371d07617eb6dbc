#pragma once
// The Fourier transform of a real record, from Eigen's FFT module (its default backend,
// kissfft, in double precision): the one place the fit touches the library. A transform
// runs on the calling thread, its sums in the library's fixed order, so a record gives the
// same bits whatever the pool holds.
#include <complex>
#include <cstddef>
#include <memory>
#include <span>
#include <vector>

namespace fitted_wave {

// The transform of one length, made once (the library keeps its twiddle factors) and used
// for every iteration of a fit.
class RealFourier {
 public:
  // `length` is even and at least 2.
  explicit RealFourier(std::size_t length);
  ~RealFourier();
  RealFourier(const RealFourier&) = delete;
  RealFourier& operator=(const RealFourier&) = delete;

  std::size_t length() const noexcept { return length_; }
  std::size_t bins() const noexcept { return length_ / 2 + 1; }

  // X[k] = sum_n x[n] exp(-2 pi i k n / N), k = 0 .. N/2; `signal` holds length() values.
  void forward(std::span<const double> signal, std::vector<std::complex<double>>& spectrum);
  // x[n] = (1/N) sum_k X[k] exp(2 pi i k n / N), the other half of the spectrum taken as
  // the conjugate of this one; `spectrum` holds bins() values.
  void inverse(std::span<const std::complex<double>> spectrum, std::vector<double>& signal);
  // Gives back the tables of the transforms made so far (a megabyte for 2^17 values),
  // built again, the same, by the next transform that needs them: a fit transforms its
  // record forward once, then only inverses.
  void release_tables();

 private:
  struct Engine;
  std::size_t length_;
  std::unique_ptr<Engine> engine_;
};

// The transform length for a record of `samples` samples whose longest period spans
// `longest_period_samples` steps: the smallest power of two that holds the record and
// four of those periods of zeros. The factor that shapes the transform spreads each
// sample over a few of the longest periods either way; what spreads ahead of the first
// sample wraps round to the end of the zeros, and what spreads past the last stays in
// them, so neither reaches the record (two periods on each side).
std::size_t transform_length(std::size_t samples, double longest_period_samples);

}  // namespace fitted_wave
