// A check's reading of the largest waveform against the run's own: the same reads of the
// same bytes, plus the scans of what the run passes over. Both start from bytes in memory
// (each reads the file from disk once, which is left out here).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <random>
#include <string>

#include "inputs/file_layouts.hpp"
#include "check/waveform_check.hpp"
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

void BM_RunReadsWaveform(benchmark::State& state) {
  const std::string& text = largest_waveform();
  textio::RecordReader reader(inputs::kWaveformUnit);
  for (auto _ : state) {
    StringSource source(text);
    reader.attach(source, "bench.acc");
    std::int32_t stated = 0;
    if (inputs::read_waveform_header(tables(), 1, reader, stated) != 0 || inputs::read_waveform_samples(tables(), 1, reader) != 0) {
      state.SkipWithError("read failed");
    }
    benchmark::DoNotOptimize(tables().acceleration_column(1));
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(text.size()));
}
BENCHMARK(BM_RunReadsWaveform)->Unit(benchmark::kMillisecond);

void BM_CheckWaveform(benchmark::State& state) {
  check::FileBytes file;
  file.bytes = largest_waveform();
  textio::RecordReader reader(inputs::kWaveformUnit);
  const check::ErrorTexts texts{};
  for (auto _ : state) {
    check::Findings out;
    check::check_waveform(tables(), 1, "bench.acc", file, reader, texts, out);
    if (out.size() != 0) state.SkipWithError("findings in a clean file");
    benchmark::DoNotOptimize(tables().acceleration_column(1));
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(file.bytes.size()));
}
BENCHMARK(BM_CheckWaveform)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
