// Cost of the report page at the largest run (6 faults, 21 cases of 100000 samples):
// the whole page, and the one pass over the waveform tables that the charts are drawn
// from. The tables are filled (seeded) as a run would leave them.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <random>
#include <string>

#include "parallel/pool.hpp"
#include "report/page.hpp"
#include "tables/run_tables.hpp"

namespace {

gm::RunTables& largest_run() {
  static gm::RunTables& t = [] () -> gm::RunTables& {
    gm::RunTables& r = gm::run_tables;
    std::memset(&r, 0, sizeof r);
    r.period_count = gm::kPeriodCount;
    r.time_step = gm::kTimeStep;
    r.fault_count = gm::kRunMaxFaults;
    r.case_count = gm::kRunMaxCases;
    std::mt19937_64 rng(7);
    std::normal_distribution<double> step(0.0, 40.0);
    for (int j = 1; j <= gm::kPeriodCount; ++j) {
      r.period(j) = 0.5 + 0.1 * j;
      for (int k = 1; k <= r.fault_count; ++k) r.spectrum(k, j) = 50.0 + 10.0 * k + std::sin(j);
      r.target(j) = 100.0 + j;
    }
    for (int c = 1; c <= r.case_count; ++c) {
      textio::assign_text(r.case_folder(c), "cases\\C" + std::to_string(c));
      r.case_folder_length(c) = static_cast<int>(7 + std::to_string(c).size());
      r.case_sample_count(c) = gm::kMaxSamples;
      r.case_rank(c) = c;
      double a = 0.0, v = 0.0, peak = 0.0;
      for (int j = 1; j <= gm::kMaxSamples; ++j) {
        const double next = 0.95 * a + step(rng);
        v += 0.01 * (next + a);
        a = next;
        r.acceleration(c, j) = a;
        peak = std::max(peak, std::fabs(v));
      }
      r.peak_velocity(c) = peak;
    }
    for (int k = 1; k <= r.fault_count; ++k) {
      textio::assign_text(r.fault_folder(k), "faults\\F" + std::to_string(k));
      r.fault_folder_length(k) = 9;
    }
    r.phase_case = 11;
    return r;
  }();
  return t;
}

void WholePage(benchmark::State& state) {
  const parallel::Pool workers(static_cast<int>(state.range(0)));
  const gm::RunTables& t = largest_run();
  const report::RunFacts facts{"def.csv", "/work", "2025-01-01 00:00:00", "0.0.0"};
  std::string page;
  for (auto _ : state) {
    report::render_page(t, facts, page, workers);
    benchmark::DoNotOptimize(page.data());
  }
  state.counters["bytes"] = static_cast<double>(page.size());
}
BENCHMARK(WholePage)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
