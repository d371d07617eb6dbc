#pragma once
// The records the spectra benchmarks sweep, made the same way by spectra_bench.cpp and
// spectra_scipy.py: 21 cases of 100000 samples at 0.02 s, a first-order autoregression
// driven by a 64-bit linear congruential generator (Knuth's MMIX constants) seeded with
// the case number, and the run's axis of 55 periods, 1 to 10 s evenly in log.
#include <cmath>
#include <cstdint>
#include <vector>

namespace spectra_bench {

inline constexpr int kCases = 21;
inline constexpr int kSamples = 100000;
inline constexpr int kPeriods = 55;
inline constexpr double kTimeStep = 0.02;
inline constexpr double kDamping = 0.05;

// a_i = 0.9 a_(i-1) + 100 (u_i - 0.5), u_i in [0, 1) from the top 53 bits of the state.
inline std::vector<double> bench_record(int case_number) {
  std::uint64_t x = static_cast<std::uint64_t>(case_number);
  std::vector<double> a(kSamples);
  double previous = 0.0;
  for (double& sample : a) {
    x = x * 6364136223846793005u + 1442695040888963407u;
    const double u = static_cast<double>(x >> 11) * 0x1.0p-53;
    sample = 0.9 * previous + 100.0 * (u - 0.5);
    previous = sample;
  }
  return a;
}

inline std::vector<double> bench_periods() {
  std::vector<double> periods(kPeriods);
  for (int j = 0; j < kPeriods; ++j) periods[static_cast<std::size_t>(j)] = std::pow(10.0, j / 54.0);
  return periods;
}

}  // namespace spectra_bench
