// Throughput of numeric text conversion on the token shapes the readers see most.
#include "textio/number_parse.hpp"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace {

// Many distinct tokens, so the branch predictor cannot learn the sequence.
constexpr int kTokenCount = 1 << 14;

struct Tokens {
  std::string bytes;
  std::vector<std::string_view> views;
};

// Values within +-2000 spread over several decades, as sample files hold them.
double sample_value(std::mt19937_64& rng) {
  std::uniform_real_distribution<double> mantissa(-2.0, 2.0);
  std::uniform_int_distribution<int> decade(-6, 3);
  return mantissa(rng) * std::pow(10.0, decade(rng));
}

Tokens make_tokens(const char* format, std::size_t width) {
  std::mt19937_64 rng(20240601);
  Tokens t;
  std::vector<std::size_t> sizes;
  char buf[64];
  for (int i = 0; i < kTokenCount; ++i) {
    const int n =
        std::snprintf(buf, sizeof buf, format, static_cast<int>(width), sample_value(rng));
    t.bytes.append(buf, static_cast<std::size_t>(n));
    sizes.push_back(static_cast<std::size_t>(n));
  }
  // Views are taken only once the buffer has stopped growing.
  std::size_t offset = 0;
  for (const std::size_t size : sizes) {
    t.views.emplace_back(t.bytes.data() + offset, size);
    offset += size;
  }
  return t;
}

void report(benchmark::State& state, const Tokens& t) {
  const auto values =
      static_cast<double>(state.iterations()) * static_cast<double>(t.views.size());
  state.SetItemsProcessed(static_cast<std::int64_t>(values));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(t.bytes.size()));
  state.counters["ns_per_value"] =
      benchmark::Counter(values, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// The hot path: "1.234567890E+01", ten significant digits and an exponent.
void BM_ParseReal_TenDigitE(benchmark::State& state) {
  const Tokens t = make_tokens("%.*E", 9);
  for (auto _ : state) {
    double sum = 0.0;
    for (const std::string_view v : t.views) sum += textio::parse_real(v).value;
    benchmark::DoNotOptimize(sum);
  }
  report(state, t);
}
BENCHMARK(BM_ParseReal_TenDigitE);

// Round-trip precision takes the general conversion for many values.
void BM_ParseReal_SeventeenDigits(benchmark::State& state) {
  const Tokens t = make_tokens("%.*g", 17);
  for (auto _ : state) {
    double sum = 0.0;
    for (const std::string_view v : t.views) sum += textio::parse_real(v).value;
    benchmark::DoNotOptimize(sum);
  }
  report(state, t);
}
BENCHMARK(BM_ParseReal_SeventeenDigits);

// Fixed 20-byte fields such as "           1.2345E+03", blanks included.
void BM_ParseRealField_Width20(benchmark::State& state) {
  const Tokens t = make_tokens("%*.4E", 20);
  for (auto _ : state) {
    double sum = 0.0;
    for (const std::string_view v : t.views) sum += textio::parse_real_field(v, 4).value;
    benchmark::DoNotOptimize(sum);
  }
  report(state, t);
}
BENCHMARK(BM_ParseRealField_Width20);

}  // namespace

BENCHMARK_MAIN();
