// The largest run the limits allow, timed against the bare cost of its I/O.
//
//   max_run <gmgather> [work folder] [runs]
//
// Generates (seeded) 6 source faults and 21 cases of 100000 samples written five to a
// line, then, `runs` times each, in turn (medians reported):
//   - the whole run with one thread (GMGATHER_THREADS=1), and with the default number of
//     threads: gmgather started in the work folder, answering the prompt;
//   - the default run again with --report, which also writes the report page, with
//     --spectra, which also writes each case's response spectrum, and with --fit, which
//     also fits the phase case (100000 samples) to the target and writes the design wave;
//   - the I/O floor, once beside each of the two runs: every input file read once, and as
//     many bytes as the run wrote put into files of the same sizes with plain buffered
//     writes, handled as the program handles its result files: written under temporary
//     names, flushed to the disk side by side (on as many threads as the run beside it
//     has), renamed over the files of the round before, and the folder flushed. The ratio
//     thus neither hides the cost of the disk nor charges it to the program.
// Also reports the runs' peak resident memory, and the cost and size of the page.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "parallel/pool.hpp"

namespace fs = std::filesystem;

namespace {

constexpr int kFaults = 6;
constexpr int kCases = 21;
constexpr int kSamples = 100000;

void write_file(const fs::path& path, const std::string& bytes) {
  fs::create_directories(path.parent_path());
  FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr || std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size()) {
    std::perror(path.c_str());
    std::exit(1);
  }
  std::fclose(f);
}

std::vector<fs::path> generate(const fs::path& root) {
  std::mt19937_64 rng(20261208);
  std::vector<fs::path> inputs;
  std::string def = "max run\r\n6,21\r\nNo.,fault\r\n";
  for (int k = 1; k <= kFaults; ++k) def += std::to_string(k) + ",faults\\F" + std::to_string(k) + "\r\n";
  def += "No.,case\r\n";
  for (int c = 1; c <= kCases; ++c) def += std::to_string(c) + ",cases\\C" + std::to_string(c) + "\r\n";
  write_file(root / "def.csv", def);
  inputs.push_back(root / "def.csv");

  std::uniform_real_distribution<double> unit(0.0, 1.0);
  char buffer[64];
  for (int k = 1; k <= kFaults; ++k) {
    std::string table;
    for (int i = 1; i <= 15; ++i) table += "header " + std::to_string(i) + "\r\n";
    for (int j = 1; j <= 55; ++j) {
      std::snprintf(buffer, sizeof buffer, "%.3f", 0.5 + 0.1 * j);
      table += buffer;
      for (int f = 2; f <= 28; ++f) {
        std::snprintf(buffer, sizeof buffer, ",%11.4E", 1000.0 * unit(rng));
        table += buffer;
      }
      table += "\r\n";
    }
    const fs::path p = root / "faults" / ("F" + std::to_string(k)) / "Velmora長周期.csv";
    write_file(p, table);
    inputs.push_back(p);
  }
  std::normal_distribution<double> step(0.0, 40.0);
  for (int c = 1; c <= kCases; ++c) {
    std::string wave = std::to_string(kSamples) + ",0.02\r\n";
    double a = 0.0;
    for (int j = 1; j <= kSamples; ++j) {
      a = 0.95 * a + step(rng);
      std::snprintf(buffer, sizeof buffer, "%17.9E", a);
      wave += buffer;
      if (j % 5 == 0) wave += "\r\n";
    }
    const fs::path p = root / "cases" / ("C" + std::to_string(c)) / "加速度波形.acc";
    write_file(p, wave);
    inputs.push_back(p);
  }
  return inputs;
}

double seconds_since(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Runs the program once (with `option`, e.g. "--report", when given), with GMGATHER_THREADS set to
// `threads`, or not set when that is empty; returns wall seconds and sets the peak
// resident memory (KiB).
double whole_run(const std::string& exe, const fs::path& root, long& max_rss_kib, const char* option = nullptr,
                 const char* threads = "") {
  const fs::path answer = root / "answer.txt";
  write_file(answer, "def.csv\r\n");
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    const int in = open(answer.c_str(), O_RDONLY);
    dup2(in, 0);
    const int out = open("/dev/null", O_WRONLY);  // the prompt
    dup2(out, 1);
    if (chdir(root.c_str()) != 0) _exit(127);
    if (*threads != '\0') {
      setenv("GMGATHER_THREADS", threads, 1);
    } else {
      unsetenv("GMGATHER_THREADS");  // the program's own choice: the number of cores
    }
    if (option != nullptr) {
      execl(exe.c_str(), exe.c_str(), option, static_cast<char*>(nullptr));
    } else {
      execl(exe.c_str(), exe.c_str(), static_cast<char*>(nullptr));
    }
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  const double t = seconds_since(start);
  // A design wave that misses its criteria still writes every file, with status 4.
  const bool fit = option != nullptr && std::string(option) == "--fit";
  if (!WIFEXITED(status) || (WEXITSTATUS(status) != 0 && !(fit && WEXITSTATUS(status) == 4))) {
    std::fprintf(stderr, "gmgather failed (status %d)\n", status);
    std::exit(1);
  }
  max_rss_kib = usage.ru_maxrss;
  return t;
}

void fail(const char* what, const fs::path& path) {
  std::perror((std::string(what) + " " + path.string()).c_str());
  std::exit(1);
}

double io_floor(const std::vector<fs::path>& inputs, const std::vector<std::uintmax_t>& output_sizes,
                const fs::path& root, int threads) {
  std::vector<char> buffer(std::size_t{1} << 20, 'x');
  const auto start = std::chrono::steady_clock::now();
  std::uintmax_t read_total = 0;
  for (const fs::path& p : inputs) {
    const int fd = open(p.c_str(), O_RDONLY);
    ssize_t n;
    while ((n = read(fd, buffer.data(), buffer.size())) > 0) read_total += static_cast<std::uintmax_t>(n);
    close(fd);
  }
  std::vector<int> fds;
  for (std::size_t i = 0; i < output_sizes.size(); ++i) {
    const fs::path p = root / ("floor" + std::to_string(i) + ".out.part");
    const int fd = open(p.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::uintmax_t left = output_sizes[i];
    while (left > 0) {
      const std::size_t chunk = static_cast<std::size_t>(std::min<std::uintmax_t>(left, buffer.size()));
      if (write(fd, buffer.data(), chunk) != static_cast<ssize_t>(chunk)) fail("write", p);
      left -= chunk;
    }
    fds.push_back(fd);
  }
  parallel::Pool(threads).for_each(fds.size(), [&](std::size_t i) {
    if (fdatasync(fds[i]) != 0 || close(fds[i]) != 0) fail("flush", root);
  });
  for (std::size_t i = 0; i < output_sizes.size(); ++i) {
    const fs::path p = root / ("floor" + std::to_string(i) + ".out");
    if (rename((p.string() + ".part").c_str(), p.c_str()) != 0) fail("rename", p);
  }
  const int folder = open(root.c_str(), O_RDONLY | O_DIRECTORY);
  if (folder < 0 || fsync(folder) != 0 || close(folder) != 0) fail("flush", root);
  return seconds_since(start) + 0.0 * static_cast<double>(read_total);
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s <gmgather> [work folder] [runs]\n", argv[0]);
    return 2;
  }
  const std::string exe = fs::absolute(argv[1]).string();
  const fs::path root = argc > 2 ? fs::path(argv[2]) : fs::temp_directory_path() / "gmgather-max-run";
  const int runs = argc > 3 ? std::atoi(argv[3]) : 5;
  const int threads = parallel::thread_count(nullptr);  // the default runs' own choice
  fs::remove_all(root);
  const std::vector<fs::path> inputs = generate(root);
  std::uintmax_t input_bytes = 0;
  for (const fs::path& p : inputs) input_bytes += fs::file_size(p);

  long rss = 0;
  whole_run(exe, root, rss);  // a first run to learn the output sizes and warm the cache
  std::vector<std::uintmax_t> output_sizes;
  std::uintmax_t output_bytes = 0;
  for (const auto& e : fs::directory_iterator(root)) {
    if (e.path().extension() == ".csv" && e.path().filename() != "def.csv") {
      output_sizes.push_back(e.file_size());
      output_bytes += e.file_size();
    }
  }
  io_floor(inputs, output_sizes, root, threads);

  const fs::path page = root / "参考･結果図表.html";
  whole_run(exe, root, rss, "--report");
  const bool has_report = fs::exists(page);
  if (!has_report) std::fprintf(stderr, "no report page after a run with --report: its figures are left out\n");
  // Its size now: a run without --report, such as the --spectra runs below, takes it away.
  const std::uintmax_t page_bytes = has_report ? fs::file_size(page) : 0;

  // Each run beside a floor that flushes on as many threads.
  std::vector<double> one_thread_times, one_thread_floors, run_times, report_times, report_ratios,
      spectra_times, spectra_ratios, fit_times, fit_extra, floor_times;
  long max_rss = 0, report_rss = 0, spectra_rss = 0;
  for (int i = 0; i < runs; ++i) {
    one_thread_times.push_back(whole_run(exe, root, rss, nullptr, "1"));
    max_rss = std::max(max_rss, rss);
    one_thread_floors.push_back(io_floor(inputs, output_sizes, root, 1));
    run_times.push_back(whole_run(exe, root, rss));
    max_rss = std::max(max_rss, rss);
    if (has_report) {
      report_times.push_back(whole_run(exe, root, rss, "--report"));
      report_rss = std::max(report_rss, rss);
      report_ratios.push_back(report_times.back() / run_times.back());
    }
    spectra_times.push_back(whole_run(exe, root, rss, "--spectra"));
    spectra_rss = std::max(spectra_rss, rss);
    spectra_ratios.push_back(spectra_times.back() / run_times.back());
    fit_times.push_back(whole_run(exe, root, rss, "--fit"));
    fit_extra.push_back(fit_times.back() - run_times.back());
    floor_times.push_back(io_floor(inputs, output_sizes, root, threads));
  }
  const double one_thread = median(one_thread_times), one_thread_floor = median(one_thread_floors);
  const double run = median(run_times), floor = median(floor_times);
  std::printf("inputs: %zu files, %.1f MB; outputs: %zu files, %.1f MB\n", inputs.size(),
              static_cast<double>(input_bytes) / 1e6, output_sizes.size(),
              static_cast<double>(output_bytes) / 1e6);
  std::printf("1 thread:  whole run %.1f ms, I/O floor %.1f ms (medians of %d), ratio %.2f\n",
              one_thread * 1e3, one_thread_floor * 1e3, runs, one_thread / one_thread_floor);
  std::printf("%d threads: whole run %.1f ms, I/O floor %.1f ms (medians of %d), ratio %.2f (target <= 2.5)\n",
              threads, run * 1e3, floor * 1e3, runs, run / floor);
  std::printf("peak resident memory: %.1f MiB (target <= 64)\n", static_cast<double>(max_rss) / 1024.0);
  if (has_report) {
    std::printf("whole run with --report (median of %d): %.1f ms\n", runs, median(report_times) * 1e3);
    std::printf("with --report / without, run by run (median): %.3f (target <= 1.20)\n", median(report_ratios));
    std::printf("report page: %.2f MB (target <= 3); peak resident memory with it: %.1f MiB\n",
                static_cast<double>(page_bytes) / 1e6, static_cast<double>(report_rss) / 1024.0);
  }
  std::printf("whole run with --spectra (median of %d): %.1f ms; with / without, run by run (median): %.3f\n",
              runs, median(spectra_times) * 1e3, median(spectra_ratios));
  std::printf("peak resident memory with --spectra: %.1f MiB\n", static_cast<double>(spectra_rss) / 1024.0);
  std::printf("whole run with --fit (median of %d): %.1f ms; with - without, run by run (median): %.1f ms "
              "(target <= 500)\n",
              runs, median(fit_times) * 1e3, median(fit_extra) * 1e3);
  for (std::size_t i = 0; i < output_sizes.size(); ++i) {
    fs::remove(root / ("floor" + std::to_string(i) + ".out"));
  }
  return 0;
}
