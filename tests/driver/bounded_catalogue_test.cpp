// Inputs far longer than any record the program needs, end to end: no hang, the ending of
// a short input, memory within bounds.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "driver/catalogue.hpp"
#include "support/process.hpp"

namespace {

using namespace catalogue;

// ---------------------------------------------------------------------------------------
// No hangs, bounded memory: inputs far longer than any record the program needs. The run
// must end as it would for short ones, reading such lines in passing, with its peak
// resident memory within the static tables (a few MiB of waveform tables for these sets;
// 32 MiB at the largest run) plus bounded buffers: well below the 64 MiB that one such
// line held whole would take (under 20 MiB measured, the test process's own memory, which
// the forked child starts with, included). ctest's timeout stands guard for run time.

constexpr long kPeakRssBoundKib = 48 * 1024;
constexpr std::size_t kLong = std::size_t{64} << 20;

// Appends `count` copies of `byte` to a file without holding them in memory.
void append_run(const fs::path& p, char byte, std::size_t count) {
  std::ofstream out(p, std::ios::binary | std::ios::app);
  const std::string chunk(std::size_t{1} << 20, byte);
  for (std::size_t left = count; left > 0;) {
    const std::size_t n = std::min(left, chunk.size());
    out.write(chunk.data(), static_cast<std::streamsize>(n));
    left -= n;
  }
}
void append(const fs::path& p, const std::string& bytes) {
  std::ofstream(p, std::ios::binary | std::ios::app) << bytes;
}

// The table of fault 1 with header line 3 made `count` bytes of `byte` long.
Setup long_header_line(std::size_t count, char byte) {
  return [=](const ScratchFolder& f) {
    const std::string t = f.read(spectrum_file(1));
    const std::size_t line3 = t.find("header line 3");
    const fs::path p = f.path() / fs::path(spectrum_file(1));
    f.write(spectrum_file(1), t.substr(0, line3));
    append_run(p, byte, count);
    append(p, t.substr(t.find("\r\n", line3)));
  };
}

struct LongInput {
  const char* what;
  Setup prepare;
  std::function<std::string()> input;  // made when needed; null: the definition file's name
  std::string err;                     // empty: a normal end with the small data set's results
  int status;
};

// `count` copies of `byte` between two texts.
std::string framed(std::string_view before, char byte, std::size_t count, std::string_view after) {
  std::string s;
  s.reserve(before.size() + count + after.size());
  s.append(before).append(count, byte).append(after);
  return s;
}

// A file that is one line of `count` bytes without any line end.
Setup one_long_line(const std::string& file, char byte, std::size_t count) {
  return [=](const ScratchFolder& f) {
    f.write(file, "");
    append_run(f.path() / fs::path(file), byte, count);
  };
}

TEST(CatalogueBounded, LongLinesAreReadInPassing) {
  ignore_broken_pipes();
  constexpr std::size_t k16MiB = std::size_t{16} << 20;
  const LongInput cases[] = {
      {"a spectrum table that is one 64 MiB line", one_long_line(spectrum_file(1), 'h', kLong), nullptr,
       end_of_file(12, spectrum_path(1)), 2},
      {"a 64 MiB header line in a spectrum table", long_header_line(kLong, 'h'), nullptr, "", 0},
      {"64 MiB after the 28th field of a spectrum row",
       [](const ScratchFolder& f) {
         const std::string t = f.read(spectrum_file(2));
         const std::size_t row1_end = t.find("\r\n", t.find("\r\n0.100,"));
         const fs::path p = f.path() / fs::path(spectrum_file(2));
         f.write(spectrum_file(2), t.substr(0, row1_end) + ",");
         append_run(p, '9', kLong);
         append(p, t.substr(row1_end));
       },
       nullptr, "", 0},
      {"a 64 MiB title in the definition file",
       [](const ScratchFolder& f) {
         const std::string d = f.read("def.csv");
         f.write("def.csv", "");
         append_run(f.path() / "def.csv", 't', kLong);
         append(f.path() / "def.csv", d.substr(d.find("\r\n")));
       },
       nullptr, "", 0},
      {"a waveform with a 64 MiB line of blanks before its samples",
       [](const ScratchFolder& f) {
         f.write(waveform_file(2), "2,0.02\r\n");
         append_run(f.path() / fs::path(waveform_file(2)), ' ', kLong);
         append(f.path() / fs::path(waveform_file(2)), "\r\n10 -10\r\n");
       },
       nullptr, "", 0},
      {"a waveform with a 64 MiB line of blanks and no samples",
       [](const ScratchFolder& f) {
         f.write(waveform_file(2), "2,0.02\r\n");
         append_run(f.path() / fs::path(waveform_file(2)), ' ', kLong);
       },
       nullptr, end_of_file(13, waveform_path(2)), 2},
      {"a console answer followed by 16 MiB of blanks", nullptr,
       [] { return framed("def.csv", ' ', k16MiB, "\n"); }, "", 0},
      {"16 MiB of empty lines before the answer", nullptr, [] { return framed("", '\n', k16MiB, kNoPause); },
       "", 0},
      {"a console answer of 16 MiB", nullptr, [] { return framed("", 'x', k16MiB, "\n"); },
       syntax(5, "stdin"), 2},
      {"a quoted console answer running 16 MiB", nullptr, [] { return framed("'", 'x', k16MiB, "'\n"); },
       syntax(5, "stdin"), 2},
  };
  const Listing plain = results_of(DataSet::small());
  for (const LongInput& c : cases) {
    SCOPED_TRACE(c.what);
    ScratchFolder folder;
    DataSet::small().write_to(folder);
    place_earlier_results(folder);
    if (c.prepare) c.prepare(folder);
    Listing want = listing(folder);
    if (c.status == 0) {
      for (const auto& [name, bytes] : plain) want[name] = bytes;
    }
    const RunResult r = run_case(folder, c.input ? c.input() : kNoPause);
    EXPECT_EQ(r.out, kPrompt);
    EXPECT_EQ(r.err, c.err);
    EXPECT_EQ(r.status, c.status);
    EXPECT_EQ(differences(want, listing(folder)), "");
    std::printf("[ peak RSS ] %s: %ld KiB\n", c.what, r.peak_rss_kib);
    // ThreadSanitizer's shadow memory is counted too: the bound holds natively.
    if (!kAddressSanitizer && !kThreadSanitizer && testing_support::launcher().empty()) {
      EXPECT_LT(r.peak_rss_kib, kPeakRssBoundKib);
    }
  }
  if (kAddressSanitizer) {
    GTEST_SKIP() << "outcomes checked; the memory bound is not (AddressSanitizer's shadow memory)";
  }
}

// A run's own peak resident memory, in KiB, as /usr/bin/time measures it: a child of a
// small process, so that the test process's memory, which a forked child starts with and
// the kernel counts, is not counted (0 when it cannot be measured). The least of two
// runs: where the host backs a buffer with a large page varies from run to run.
long own_peak_kib(const ScratchFolder& folder, const std::vector<std::string>& arguments, int& status) {
  const fs::path report = folder.path() / "peak.txt";
  std::vector<std::string> command = {"-f", "%M", "-o", report.string(), GMGATHER_EXE};
  command.insert(command.end(), arguments.begin(), arguments.end());
  long least = 0;
  for (int run = 0; run < 2; ++run) {
    status = testing_support::run_program("/usr/bin/time", folder.path(), "", 0, "", command).status;
    const std::string peak = folder.read("peak.txt");
    fs::remove(report);
    const long kib = peak.empty() ? 0 : std::stol(peak);
    least = run == 0 ? kib : std::min(least, kib);
  }
  return least;
}

// A --report run and a check read each input once, through the run's own reader, holding
// no file whole: 64 MiB of values behind a waveform's count cost them no more memory than
// the plain run, which passes them by, and the page's own few megabytes at most. (A plain
// run of this small set now takes under 4 MiB, large pages being asked for only where
// whole ones are used: a share of it no longer leaves room for the page.)
TEST(CatalogueBounded, ReportAndCheckHoldNoFileWhole) {
  if (kAddressSanitizer || kThreadSanitizer || !testing_support::launcher().empty() || !fs::exists("/usr/bin/time")) {
    GTEST_SKIP() << "peak memory is measured natively, without a sanitizer, by /usr/bin/time";
  }
  ScratchFolder folder;
  DataSet::small().write_to(folder);
  folder.write(waveform_file(2), "2,0.02\r\n10 -10\r\n");
  std::string lines;
  while (lines.size() < (std::size_t{1} << 20)) lines += "  1.500000E+01 -2.500000E+01  3.500000E+01\r\n";
  const fs::path wave = folder.path() / fs::path(waveform_file(2));
  for (std::size_t written = 0; written < kLong; written += lines.size()) append(wave, lines);
  int status = -1;
  const long plain = own_peak_kib(folder, {"def.csv"}, status);
  EXPECT_EQ(status, 0);
  for (const std::string option : {"--report", "--check"}) {
    SCOPED_TRACE(option);
    const long peak = own_peak_kib(folder, {option, "def.csv"}, status);
    EXPECT_EQ(status, 0);
    std::printf("[ peak RSS ] %s: %ld KiB, plain run %ld KiB\n", option.c_str(), peak, plain);
    EXPECT_GT(peak, 0);
    EXPECT_LE(peak, plain + 4 * 1024);
  }
}

// The largest count accepted, 100000 samples, all on one line.
TEST(CatalogueBounded, OneHundredThousandSamplesOnOneLine) {
  std::string line;
  for (int j = 0; j < 100000; ++j) line += j % 2 == 0 ? "12.5 " : "-7.25 ";
  const Accepted c{"100000 samples on one line", put(waveform_file(3), "100000,0.02\r\n" + line + "\r\n"),
                   kNoPause, [] {
                     DataSet d = DataSet::small();
                     d.samples[2].clear();
                     for (int j = 0; j < 100000; ++j) d.samples[2].push_back(j % 2 == 0 ? 12.5 : -7.25);
                     return d;
                   }};
  line.clear();
  line.shrink_to_fit();
  const RunResult r = expect_accepted(c);
  std::printf("[ peak RSS ] %s: %ld KiB\n", c.what, r.peak_rss_kib);
  if (kAddressSanitizer) {
    GTEST_SKIP() << "outcome checked; the memory bound is not (AddressSanitizer's shadow memory)";
  }
  if (testing_support::launcher().empty() && !kThreadSanitizer) {
    EXPECT_LT(r.peak_rss_kib, kPeakRssBoundKib);
  }
}

}  // namespace
