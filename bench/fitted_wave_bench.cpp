// Cost of the design wave at the largest phase case: 100000 samples on the run's 55-period
// axis (0.1-10 s here), fitted to a design-like target. Fit reports the adjustments made
// and the time per iteration; Transform and Spectrum split one iteration into its inverse
// transform (131072 points) and its pSv at the 55 periods, on 1 and 2 threads.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <complex>
#include <vector>

#include "fitted_wave/fit.hpp"
#include "fitted_wave/fourier.hpp"
#include "parallel/pool.hpp"
#include "spectra/oscillator.hpp"
#include "spectra_records.hpp"

namespace {

using namespace spectra_bench;

std::vector<double> axis() {
  std::vector<double> p;
  for (int j = 0; j < kPeriods; ++j) p.push_back(0.1 * std::pow(100.0, j / double(kPeriods - 1)));
  return p;
}

std::vector<double> target(const std::vector<double>& periods) {
  std::vector<double> t;
  for (const double p : periods) t.push_back(100.0 * std::min(1.0, p / 0.64) * (p > 5.0 ? 5.0 / p : 1.0));
  return t;
}

void Fit(benchmark::State& state) {
  const parallel::Pool pool(static_cast<int>(state.range(0)));
  const std::vector<double> record = bench_record(11);
  const std::vector<double> periods = axis();
  const std::vector<double> t = target(periods);
  int iterations = 0;
  double seconds = 0.0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    const fitted_wave::Fit fit = fitted_wave::fit_wave(record, periods, t, kTimeStep, pool);
    seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    iterations = fit.iterations;
    benchmark::DoNotOptimize(fit.wave.data());
  }
  state.counters["adjustments"] = iterations;
  // Every wave measured, the start's included.
  state.counters["ms_per_wave"] = 1e3 * seconds / (double(iterations + 1) * double(state.iterations()));
}
BENCHMARK(Fit)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

void Transform(benchmark::State& state) {
  const std::size_t n = fitted_wave::transform_length(kSamples, 10.0 / kTimeStep);
  fitted_wave::RealFourier fourier(n);
  std::vector<double> signal = bench_record(11);
  signal.resize(n, 0.0);
  std::vector<std::complex<double>> spectrum;
  fourier.forward(signal, spectrum);
  for (auto _ : state) {
    fourier.inverse(spectrum, signal);
    benchmark::DoNotOptimize(signal.data());
  }
  state.SetLabel(std::to_string(n) + " points");
}
BENCHMARK(Transform)->Unit(benchmark::kMillisecond);

void Spectrum(benchmark::State& state) {
  const parallel::Pool pool(static_cast<int>(state.range(0)));
  const std::vector<double> record = bench_record(11);
  const std::vector<double> periods = axis();
  const spectra::OscillatorBank bank(periods, kTimeStep, kDamping);
  std::vector<double> sv(periods.size()), psv(periods.size());
  const std::size_t blocks = bank.blocks(spectra::Path::Best);
  for (auto _ : state) {
    pool.for_each(blocks, [&](std::size_t b) { bank.respond_block(record, b, sv, psv, spectra::Path::Best); });
    benchmark::DoNotOptimize(psv.data());
  }
}
BENCHMARK(Spectrum)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
