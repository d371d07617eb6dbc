// The run's reading of the largest waveform, with the check watching it and without: the
// same reads of the same bytes, the check's observer told what they pass over. Both
// start from bytes in memory (a run reads the file from disk once, left out here).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <random>
#include <string>

#include "inputs/file_layouts.hpp"
#include "check/input_set_check.hpp"
#include "inputs/waveform.hpp"

namespace {

gm::RunTables& tables() {
  static gm::RunTables t;  // 48 MB: static storage, as the program's own
  return t;
}

// 100000 samples as a waveform file holds them: `  1.234567890E+01`, five to a line, CR LF.
const std::string& largest_waveform() {
  static const std::string text = [] {
    std::mt19937_64 rng(11);
    std::uniform_real_distribution<double> value(-900.0, 900.0);
    std::string w = "100000,0.02\r\n";
    char buffer[64];
    for (int i = 0; i < gm::kMaxSamples; ++i) {
      std::snprintf(buffer, sizeof buffer, "%17.9E", value(rng));
      w += buffer;
      if (i % 5 == 4) w += "\r\n";
    }
    return w;
  }();
  return text;
}

class StringSource : public textio::ByteSource {
 public:
  explicit StringSource(const std::string& bytes) : bytes_(bytes) {}
  std::ptrdiff_t read(char* buffer, std::size_t n) override {
    const std::size_t k = std::min(n, bytes_.size() - pos_);
    std::memcpy(buffer, bytes_.data() + pos_, k);
    pos_ += k;
    return static_cast<std::ptrdiff_t>(k);
  }

 private:
  const std::string& bytes_;
  std::size_t pos_ = 0;
};

// The run's reading of the waveform, watched by `watch` (none: a plain run's).
void read_waveform(benchmark::State& state, inputs::InputWatch* watch) {
  const std::string& text = largest_waveform();
  textio::RecordReader reader(inputs::kWaveformUnit);
  inputs::InputOutcome named;
  named.path = "bench.acc";
  for (auto _ : state) {
    StringSource source(text);
    reader.attach(source, named.path);
    if (!inputs::read_open_waveform(tables(), 1, reader, named, watch).is_ok()) state.SkipWithError("read failed");
    benchmark::DoNotOptimize(tables().acceleration_column(1));
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(text.size()));
}

void BM_RunReadsWaveform(benchmark::State& state) { read_waveform(state, nullptr); }
BENCHMARK(BM_RunReadsWaveform)->Unit(benchmark::kMillisecond);

// The same reading with the check watching: what a --report run and --check add.
void BM_CheckWatchesWaveform(benchmark::State& state) {
  const check::ErrorTexts texts{};
  check::InputSetWatch watch("def.csv", texts);
  read_waveform(state, &watch);
  if (watch.take_findings().size() != 0) state.SkipWithError("findings in a clean file");
}
BENCHMARK(BM_CheckWatchesWaveform)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
