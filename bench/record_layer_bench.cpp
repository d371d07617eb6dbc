// The record layer's hot paths: a 21-case waveform data line written through R7, and
// waveform samples read free-form.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "results/file_layouts.hpp"
#include "textio/record_reader.hpp"
#include "textio/record_writer.hpp"

namespace {

struct NullSink : textio::ByteSink {
  bool write(const char*, std::size_t n) override {
    bytes += n;
    return true;
  }
  std::size_t bytes = 0;
};

struct QuietConsole : platform::Console {
  std::ptrdiff_t read_input(char*, std::size_t) override { return 0; }
  bool write_output(std::string_view) override { return true; }
  bool write_error(std::string_view) override { return true; }
};

void BM_R7DataLine21Cases(benchmark::State& state) {
  std::mt19937_64 rng(7);
  std::uniform_real_distribution<double> value(-800.0, 800.0);
  constexpr int kRows = 1024;
  std::vector<double> table(kRows * 21);
  for (double& v : table) v = value(rng);
  QuietConsole console;
  NullSink sink;
  textio::OutputUnit unit(21, textio::OutputFileUnit::kBufferSize, false, console);
  unit.attach(sink, "bench.csv");
  int row = 0;
  for (auto _ : state) {
    const double* values = &table[static_cast<std::size_t>(row) * 21];
    textio::WriteStatement s(unit, results::layouts::kCaseRow);
    s.real(row * 0.02);
    for (int k = 0; k < 21; ++k) {
      s.text(",");
      s.real(values[k]);
    }
    s.end();
    row = (row + 1) % kRows;
  }
  unit.flush();
  benchmark::DoNotOptimize(sink.bytes);
}
BENCHMARK(BM_R7DataLine21Cases);

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

// Samples as a waveform file holds them: `  1.234567890E+01`, five to a line, CR LF;
// into every stride-th double (the argument): 1 as a run reads them into its table.
void BM_FreeFormSamples(benchmark::State& state) {
  const auto stride = static_cast<std::ptrdiff_t>(state.range(0));
  constexpr std::size_t kSamples = 100000;
  std::mt19937_64 rng(11);
  std::uniform_real_distribution<double> value(-900.0, 900.0);
  std::string text;
  char buffer[64];
  for (std::size_t i = 0; i < kSamples; ++i) {
    std::snprintf(buffer, sizeof buffer, "%17.9E", value(rng));
    text += buffer;
    if (i % 5 == 4) text += "\r\n";
  }
  std::vector<double> samples(kSamples * static_cast<std::size_t>(stride));
  textio::RecordReader reader(13);
  for (auto _ : state) {
    StringSource source(text);
    reader.attach(source, "bench.acc");
    if (reader.read_free_form_reals(samples.data(), stride, kSamples) != 0) state.SkipWithError("read failed");
    benchmark::DoNotOptimize(samples.data());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(text.size()));
}
BENCHMARK(BM_FreeFormSamples)->Arg(1)->Arg(30)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
