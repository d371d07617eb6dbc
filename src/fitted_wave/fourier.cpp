#include "fitted_wave/fourier.hpp"

#include <cmath>

#include "expect/expect.hpp"
#include <unsupported/Eigen/FFT>

namespace fitted_wave {

struct RealFourier::Engine {
  Eigen::FFT<double> fft;
};

RealFourier::RealFourier(std::size_t length) : length_(length), engine_(std::make_unique<Engine>()) {
  // The half spectrum of a real record: kissfft's real transform, half the work of a
  // complex one, for an even length.
  engine_->fft.SetFlag(Eigen::FFT<double>::HalfSpectrum);
}

RealFourier::~RealFourier() = default;

void RealFourier::forward(std::span<const double> signal, std::vector<std::complex<double>>& spectrum) {
  spectrum.resize(bins());
  engine_->fft.fwd(spectrum.data(), signal.data(), static_cast<Eigen::Index>(length_));
}

void RealFourier::inverse(std::span<const std::complex<double>> spectrum, std::vector<double>& signal) {
  GM_EXPECT(spectrum.size() >= bins(), "an inverse transform is given the half spectrum");
  signal.resize(length_);
  engine_->fft.inv(signal.data(), spectrum.data(), static_cast<Eigen::Index>(length_));
}

void RealFourier::release_tables() { engine_->fft.impl().clear(); }

std::size_t transform_length(std::size_t samples, double longest_period_samples) {
  const double padding = std::isfinite(longest_period_samples) && longest_period_samples > 0.0
                             ? std::ceil(4.0 * longest_period_samples)
                             : 0.0;
  // The callers keep records and periods to the run's limits (1e5 samples, periods the
  // record can carry), far below where this could overflow.
  const std::size_t needed = samples + static_cast<std::size_t>(padding);
  std::size_t length = 2;
  while (length < needed) length *= 2;
  return length;
}

}  // namespace fitted_wave
