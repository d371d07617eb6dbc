#include "spectra/oscillator.hpp"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <stdexcept>

#include "expect/expect.hpp"
#include "spectra/step_coefficients.hpp"
#include "spectra/sweep.hpp"

namespace spectra {

namespace {

using detail::PathKernel;

// Lanes are padded to the widest vector, so that every path's last vector lies inside;
// one layout of the coefficients for each width, 1, 2, 4 and 8.
constexpr std::size_t kWidestVector = 8;
constexpr std::size_t kLayouts = 4;
constexpr double kNotComputable = std::numeric_limits<double>::quiet_NaN();

PathKernel kernel_of(Path path) noexcept {
  switch (path) {
    case Path::Plain:
      return detail::plain_kernel();
    case Path::Sse2:
      return detail::sse2_kernel();
    case Path::Avx2:
      return detail::avx2_supported() ? detail::avx2_kernel() : kernel_of(best_path());
    case Path::Avx512:
      return detail::avx512_supported() ? detail::avx512_kernel() : kernel_of(best_path());
    case Path::Best:
      break;
  }
  return kernel_of(best_path());
}

// Block k of `vectors` vectors split into `blocks` runs whose sizes differ by at most one:
// the first vector and the count.
struct BlockSpan {
  std::size_t first_vector;
  std::size_t vectors;
};
BlockSpan block_span(std::size_t vectors, std::size_t blocks, std::size_t k) noexcept {
  const std::size_t base = vectors / blocks;
  const std::size_t longer = vectors % blocks;  // the first `longer` blocks get one more
  return {k * base + (k < longer ? k : longer), base + (k < longer ? 1 : 0)};
}

std::size_t vectors_of(std::size_t periods, const PathKernel& kernel) noexcept {
  const auto width = static_cast<std::size_t>(kernel.width);
  return (periods + width - 1) / width;
}

}  // namespace

bool path_available(Path path) noexcept {
  switch (path) {
    case Path::Avx2:
      return detail::avx2_supported();
    case Path::Avx512:
      return detail::avx512_supported();
    default:
      return true;
  }
}

Path best_path() noexcept {
  if (detail::avx512_supported()) return Path::Avx512;
  if (detail::avx2_supported()) return Path::Avx2;
  return Path::Sse2;
}

const char* path_name(Path path) noexcept {
  switch (path) {
    case Path::Plain:
      return "plain";
    case Path::Sse2:
      return "SSE2";
    case Path::Avx2:
      return "AVX2";
    case Path::Avx512:
      return "AVX-512";
    case Path::Best:
      break;
  }
  return "best";
}

std::size_t free_vibration_steps(std::span<const double> periods, double time_step) noexcept {
  double longest = 0.0;
  for (const double p : periods) {
    if (std::isfinite(p) && p > longest) longest = p;
  }
  if (!(time_step > 0.0 && std::isfinite(time_step))) return 0;
  const double steps = std::nearbyint(std::min(longest, kFreeVibrationCap) / time_step);
  // The conversion needs a count that fits; a run's step of 0.02 s gives at most 2500.
  return steps < 1e15 ? static_cast<std::size_t>(steps) : 0;
}

OscillatorBank::OscillatorBank(std::span<const double> periods, double time_step, double damping)
    : periods_(periods.size()),
      rest_steps_(free_vibration_steps(periods, time_step)),
      stride_((periods.size() + kWidestVector - 1) / kWidestVector * kWidestVector),
      coefficients_(kLayouts * detail::kCoefficientRows * stride_ + kWidestVector, 0.0),
      displacement_scale_(periods.size()),
      velocity_scale_(periods.size()) {
  // Each layout starts on a 64-byte boundary: vectors never straddle a cache line, and
  // the SSE2 path may take them as aligned operands.
  const auto address = reinterpret_cast<std::uintptr_t>(coefficients_.data());
  layouts_ = coefficients_.data() + (64 - address % 64) % 64 / sizeof(double);
  for (std::size_t j = 0; j < periods_; ++j) {
    const detail::ScaledStep step = detail::scaled_step(periods[j], time_step, damping);
    const double row[detail::kCoefficientRows] = {step.psi11, step.psi12, step.psi21,
                                                  step.psi22, step.b1,    step.b2};
    for (std::size_t width = 1; width <= kWidestVector; width *= 2) {
      double* layout = layout_of(width);
      const std::size_t vector = j / width;
      const std::size_t lane = j % width;
      for (std::size_t r = 0; r < detail::kCoefficientRows; ++r) {
        layout[(vector * detail::kCoefficientRows + r) * width + lane] = row[r];
      }
    }
    // A NaN scale makes the cell NaN whatever the sweep left.
    displacement_scale_[j] = step.computable ? step.displacement_scale : kNotComputable;
    velocity_scale_[j] = step.computable ? step.velocity_scale : kNotComputable;
  }
}

double* OscillatorBank::layout_of(std::size_t width) const noexcept {
  const std::size_t index = width == 1 ? 0 : width == 2 ? 1 : width == 4 ? 2 : 3;
  return layouts_ + index * detail::kCoefficientRows * stride_;
}

std::size_t OscillatorBank::blocks(Path path) const noexcept {
  const PathKernel kernel = kernel_of(path);
  const std::size_t most = static_cast<std::size_t>(kernel.max_vectors);
  return (vectors_of(periods_, kernel) + most - 1) / most;
}

void OscillatorBank::respond_block(std::span<const double> acceleration, std::size_t block,
                                   std::span<double> sv, std::span<double> psv, Path path) const {
  if (sv.size() < periods_ || psv.size() < periods_)
    throw std::length_error("spectra: fewer cells than periods");
  if (block >= blocks(path)) throw std::out_of_range("spectra: no such block");
  // A span of more doubles than the address space holds is a negative count made a size.
  GM_EXPECT(acceleration.size() <= static_cast<std::size_t>(PTRDIFF_MAX) / sizeof(double),
            "a record's length is a count of its samples");
  const PathKernel kernel = kernel_of(path);
  const std::size_t width = static_cast<std::size_t>(kernel.width);
  const BlockSpan span = block_span(vectors_of(periods_, kernel), blocks(path), block);
  double outcome[detail::kOutcomeRows][detail::kMaxBlockLanes];
  const detail::SweepBlock sweep{acceleration.data(), acceleration.size(), rest_steps_,
                                 layout_of(width) + span.first_vector * detail::kCoefficientRows * width,
                                 static_cast<int>(span.vectors), outcome};
  kernel.sweep(sweep);
  const std::size_t first = span.first_vector * width;
  const std::size_t end = std::min(first + span.vectors * width, periods_);
  for (std::size_t j = first; j < end; ++j) {
    const std::size_t lane = j - first;
    // A sample that is not finite, or a response that overflowed, leaves the state so.
    const bool stayed_finite =
        std::isfinite(outcome[detail::kLast1][lane]) && std::isfinite(outcome[detail::kLast2][lane]);
    const double v = velocity_scale_[j] * outcome[detail::kPeak2][lane];
    const double pv = displacement_scale_[j] * outcome[detail::kPeak1][lane];
    sv[j] = stayed_finite && std::isfinite(v) ? v : kNotComputable;
    psv[j] = stayed_finite && std::isfinite(pv) ? pv : kNotComputable;
  }
}

void OscillatorBank::respond(std::span<const double> acceleration, std::span<double> sv,
                             std::span<double> psv, Path path) const {
  const std::size_t count = blocks(path);
  for (std::size_t k = 0; k < count; ++k) respond_block(acceleration, k, sv, psv, path);
}

void case_spectra(std::span<const CaseSpectrum> cases, std::span<const double> periods, double time_step,
                  double damping, const parallel::Pool& pool, Path path) {
  const OscillatorBank bank(periods, time_step, damping);
  const std::size_t blocks = bank.blocks(path);
  // Pieces of one block of one record: many more pieces than threads even for a few
  // records, and each writes cells of its own.
  pool.for_each(cases.size() * blocks, [&](std::size_t piece) {
    const CaseSpectrum& c = cases[piece / blocks];
    bank.respond_block(c.acceleration, piece % blocks, c.sv, c.psv, path);
  });
}

void response_spectrum(std::span<const double> acceleration, std::span<const double> periods,
                       double time_step, double damping, std::span<double> sv, std::span<double> psv,
                       Path path) {
  OscillatorBank(periods, time_step, damping).respond(acceleration, sv, psv, path);
}

}  // namespace spectra
