// Cost of the velocity integration at the largest run (21 cases of 100000 samples), per
// sample of one case: the peak pass, the velocity file's rows as its blocks ask for them,
// and one case read alone. One thread: what a processor does with the chains.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <vector>

#include "evaluation/evaluation.hpp"
#include "parallel/pool.hpp"
#include "tables/case_velocity.hpp"
#include "tables/run_tables.hpp"

namespace {

gm::RunTables& largest_run() {
  static gm::RunTables& t = []() -> gm::RunTables& {
    gm::RunTables& r = gm::run_tables;
    std::memset(&r, 0, sizeof r);
    r.period_count = gm::kPeriodCount;
    r.time_step = gm::kTimeStep;
    r.case_count = gm::kRunMaxCases;
    std::mt19937_64 rng(11);
    std::normal_distribution<double> step(0.0, 40.0);
    for (int c = 1; c <= r.case_count; ++c) {
      r.case_sample_count(c) = gm::kMaxSamples;
      double a = 0.0;
      for (int j = 1; j <= gm::kMaxSamples; ++j) r.acceleration(c, j) = a = 0.95 * a + step(rng);
    }
    evaluation::integrate_case_velocities(r);
    return r;
  }();
  return t;
}

void per_sample(benchmark::State& state, const gm::RunTables& t) {
  state.SetItemsProcessed(state.iterations() * t.case_count * gm::kMaxSamples);
}

void PeakPass(benchmark::State& state) {
  gm::RunTables& t = largest_run();
  for (auto _ : state) {
    evaluation::integrate_case_velocities(t);
    benchmark::DoNotOptimize(t.peak_velocity(1));
  }
  per_sample(state, t);
}
BENCHMARK(PeakPass)->Unit(benchmark::kMillisecond);

// Blocks of the rows the velocity file's writer asks for at once (about 850 for 21 cases).
void FileRows(benchmark::State& state) {
  const gm::RunTables& t = largest_run();
  constexpr int kBlock = 850;
  std::vector<double> block(static_cast<std::size_t>(kBlock * t.case_count));
  for (auto _ : state) {
    for (int first = 1; first <= gm::kMaxSamples; first += kBlock) {
      gm::case_velocity_rows(t, first, std::min(kBlock, gm::kMaxSamples - first + 1), block.data());
      benchmark::ClobberMemory();
    }
  }
  per_sample(state, t);
}
BENCHMARK(FileRows)->Unit(benchmark::kMillisecond);

void OneCaseAlone(benchmark::State& state) {
  const gm::RunTables& t = largest_run();
  std::vector<double> out(gm::kVelocityCheckpointStep);
  for (auto _ : state) {
    gm::CaseVelocity v(t, 1, 1);
    double peak = 0.0;
    for (int done = 0; done < gm::kMaxSamples; done += gm::kVelocityCheckpointStep)
      peak = v.next(std::min(gm::kVelocityCheckpointStep, gm::kMaxSamples - done), out.data(), 1, peak);
    benchmark::DoNotOptimize(peak);
  }
  state.SetItemsProcessed(state.iterations() * gm::kMaxSamples);
}
BENCHMARK(OneCaseAlone)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
