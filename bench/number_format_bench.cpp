// Cost of one Fw.d field as written by the result files: mostly accelerations and
// velocities with full double precision, plus the time column.
#include <benchmark/benchmark.h>

#include <array>
#include <cstddef>
#include <random>
#include <vector>

#include "textio/number_format.hpp"
#include "textio/value_records.hpp"

namespace {

// Large enough to defeat branch-history memorisation of the values, small enough for L1/L2.
constexpr std::size_t kValueCount = 4096;

std::vector<double> realistic_values() {
  std::mt19937_64 rng(42);
  std::uniform_real_distribution<double> amplitude(-2000.0, 2000.0);
  std::uniform_real_distribution<double> small(-1.0, 1.0);
  std::vector<double> values;
  values.reserve(kValueCount);
  for (std::size_t j = 1; values.size() < kValueCount; ++j) {
    values.push_back(amplitude(rng));                     // accelerations
    values.push_back(small(rng));                         // velocities near rest
    values.push_back(static_cast<double>(j - 1) * 0.02);  // time column
    values.push_back(amplitude(rng) * 1e-3);              // displacements
  }
  values.resize(kValueCount);
  return values;
}

void render_fields(benchmark::State& state, int w, int d) {
  const std::vector<double> values = realistic_values();
  std::array<char, textio::kMaxFieldWidth> field{};
  std::size_t i = 0;
  for (auto _ : state) {
    bool ok = textio::format_fixed(values[i], w, d, field.data());
    benchmark::DoNotOptimize(ok);
    benchmark::DoNotOptimize(field.data());
    benchmark::ClobberMemory();
    i = (i + 1) % kValueCount;
  }
  state.SetItemsProcessed(state.iterations());
}

void BM_FormatFixed_F14_6(benchmark::State& state) { render_fields(state, 14, 6); }
void BM_FormatFixed_F12_4(benchmark::State& state) { render_fields(state, 12, 4); }

// One output line: 22 fields back to back into the line buffer.
void BM_FormatFixed_Line22xF14_6(benchmark::State& state) {
  constexpr int kFields = 22;
  constexpr int kWidth = 14;
  const std::vector<double> values = realistic_values();
  std::array<char, kFields * kWidth> line{};
  std::size_t i = 0;
  for (auto _ : state) {
    for (int f = 0; f < kFields; ++f) {
      textio::format_fixed(values[i + static_cast<std::size_t>(f)], kWidth, 6,
                           line.data() + f * kWidth);
    }
    benchmark::DoNotOptimize(line.data());
    benchmark::ClobberMemory();
    i = (i + kFields) % (kValueCount - kFields);
  }
  state.SetItemsProcessed(state.iterations() * kFields);
}

void BM_FormatInteger_I8(benchmark::State& state) {
  std::mt19937 rng(7);
  std::array<std::int32_t, kValueCount> values{};
  for (auto& v : values) v = static_cast<std::int32_t>(rng() % 200000) - 100000;
  std::array<char, textio::kMaxFieldWidth> field{};  // room the compiler can see is enough
  std::size_t i = 0;
  for (auto _ : state) {
    bool ok = textio::format_integer(values[i], 8, field.data());
    benchmark::DoNotOptimize(ok);
    benchmark::DoNotOptimize(field.data());
    benchmark::ClobberMemory();
    i = (i + 1) % kValueCount;
  }
  state.SetItemsProcessed(state.iterations());
}

// One data record of the per-case files, 21 cases, as the result files render it: the
// values a case table apart, as the tables hold them.
void BM_ValueRecord21Cases(benchmark::State& state) {
  constexpr int kCases = 21;
  constexpr std::size_t kRows = 64;
  const std::vector<double> values = realistic_values();
  std::vector<double> table(kCases * kRows);
  for (std::size_t i = 0; i < table.size(); ++i) table[i] = values[i % kValueCount];
  std::array<char, textio::value_record_length(kCases)> record{};
  std::size_t row = 0;
  for (auto _ : state) {
    bool ok = textio::render_value_record(static_cast<double>(row) * 0.02, &table[row], kRows, kCases,
                                          record.data());
    benchmark::DoNotOptimize(ok);
    benchmark::DoNotOptimize(record.data());
    benchmark::ClobberMemory();
    row = (row + 1) % kRows;
  }
  state.SetItemsProcessed(state.iterations() * (kCases + 1));
}

// The same records sixteen at a time, as the result files are rendered: the first fields
// of several records may share a pass. On each way of rendering the columns; one the
// processor lacks is skipped.
void BM_ValueRecords21Cases(benchmark::State& state, textio::ColumnPath path) {
  if (!textio::column_path_available(path)) {
    state.SkipWithError("the processor lacks this path");
    return;
  }
  constexpr int kCases = 21;
  constexpr int kAtOnce = 16;
  constexpr std::size_t kRows = 64;
  const std::vector<double> values = realistic_values();
  std::vector<double> table(kCases * kRows);
  for (std::size_t i = 0; i < table.size(); ++i) table[i] = values[i % kValueCount];
  std::vector<char> records(kAtOnce * textio::value_record_length(kCases));
  std::array<double, kAtOnce> firsts{};
  std::size_t row = 0;
  for (auto _ : state) {
    for (std::size_t r = 0; r < kAtOnce; ++r) firsts[r] = static_cast<double>(row + r) * 0.02;
    int over =
        textio::render_value_records(firsts.data(), kAtOnce, &table[row], 1, kRows, kCases, records.data(), path);
    benchmark::DoNotOptimize(over);
    benchmark::DoNotOptimize(records.data());
    benchmark::ClobberMemory();
    row = (row + kAtOnce) % (kRows - kAtOnce);
  }
  state.SetItemsProcessed(state.iterations() * kAtOnce * (kCases + 1));
}

BENCHMARK(BM_FormatFixed_F14_6);
BENCHMARK_CAPTURE(BM_ValueRecords21Cases, best, textio::ColumnPath::Best);
BENCHMARK_CAPTURE(BM_ValueRecords21Cases, one_field, textio::ColumnPath::OneField);
BENCHMARK_CAPTURE(BM_ValueRecords21Cases, avx2, textio::ColumnPath::Avx2);
BENCHMARK_CAPTURE(BM_ValueRecords21Cases, avx512, textio::ColumnPath::Avx512);
BENCHMARK(BM_ValueRecord21Cases);
BENCHMARK(BM_FormatFixed_F12_4);
BENCHMARK(BM_FormatFixed_Line22xF14_6);
BENCHMARK(BM_FormatInteger_I8);

}  // namespace

BENCHMARK_MAIN();
