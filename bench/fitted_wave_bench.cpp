// Cost of the design wave at the largest phase case: 100000 samples on the run's 55-period
// axis (0.1-10 s here), fitted to a design-like target. Fit reports the adjustments made
// and the time per wave measured; the others split the work: Model (the shape of the
// factor and the response model, once per fit, on 1 and 2 threads), and per iteration
// Transform (the 131072-point inverse), Shape (tapers, drift correction, rounding),
// Spectrum (pSv at the 55 periods with the free vibration, on 1 and 2 threads) and Steer
// (the next factors).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <complex>
#include <vector>

#include "fitted_wave/fit.hpp"
#include "fitted_wave/fourier.hpp"
#include "fitted_wave/matching_model.hpp"
#include "fitted_wave/wave_shaping.hpp"
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

void Model(benchmark::State& state) {
  const parallel::Pool pool(static_cast<int>(state.range(0)));
  const std::size_t n = fitted_wave::transform_length(kSamples, 10.0 / kTimeStep);
  fitted_wave::RealFourier fourier(n);
  std::vector<double> signal = bench_record(11);
  signal.resize(n, 0.0);
  std::vector<std::complex<double>> spectrum;
  fourier.forward(signal, spectrum);
  const std::vector<double> periods = axis();
  const double step = 1.0 / (static_cast<double>(n) * kTimeStep);
  for (auto _ : state) {
    const fitted_wave::FactorShape shape(periods, step, fourier.bins());
    const fitted_wave::ResponseModel model(shape, spectrum, step, kDamping, pool);
    benchmark::DoNotOptimize(&model);
  }
}
BENCHMARK(Model)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

// One step of the steering from the phase case's own pSv (55 periods): the model's
// Gauss-Newton solves.
void Steer(benchmark::State& state) {
  const parallel::Pool pool(1);
  const std::size_t n = fitted_wave::transform_length(kSamples, 10.0 / kTimeStep);
  fitted_wave::RealFourier fourier(n);
  std::vector<double> signal = bench_record(11);
  signal.resize(n, 0.0);
  std::vector<std::complex<double>> spectrum;
  fourier.forward(signal, spectrum);
  const std::vector<double> periods = axis();
  const std::vector<double> t = target(periods);
  const double step = 1.0 / (static_cast<double>(n) * kTimeStep);
  const fitted_wave::FactorShape shape(periods, step, fourier.bins());
  const fitted_wave::ResponseModel model(shape, spectrum, step, kDamping, pool);
  std::vector<double> sv(periods.size()), psv(periods.size());
  spectra::response_spectrum(bench_record(11), periods, kTimeStep, kDamping, sv, psv);
  const std::vector<double> g(shape.unknowns(), 1.0);
  for (auto _ : state) {
    const std::vector<double> next = fitted_wave::steer(shape, model, g, psv, t);
    benchmark::DoNotOptimize(next.data());
  }
}
BENCHMARK(Steer)->Unit(benchmark::kMillisecond);

void Shape(benchmark::State& state) {
  const std::vector<double> record = bench_record(11);
  fitted_wave::Shaper shaper(record.size(), kTimeStep, fitted_wave::tapers_for(record, kTimeStep));
  std::vector<double> wave;
  for (auto _ : state) {
    wave = record;
    shaper.shape(wave);
    benchmark::DoNotOptimize(wave.data());
  }
}
BENCHMARK(Shape)->Unit(benchmark::kMillisecond);

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
