// The largest run the limits allow, timed against the bare cost of its I/O.
//
//   max_run <gmgather> [folder on disk] [rounds]
//
// Generates (seeded) 6 source faults and 21 cases of 100000 samples written five to a
// line, once in a folder in memory (/dev/shm, tmpfs) and once in a folder on the disk
// (default: under the temporary folder; `df` tells which it is), then runs, `rounds`
// times in turn in each folder, every process below once (whole processes, the default
// number of threads):
//   - the floor (io_floor, beside this program): each input read once and the bytes of
//     the six result files written; in memory without a flush, on the disk flushed as the
//     run must flush to put its set in place (each file, the marker, the folder);
//   - the plain run, and the runs with --report, --spectra, --report --spectra, --fit
//     (which may end with status 4: a design wave that misses its criteria is written
//     all the same), and with every option at once (for its memory); each given the
//     definition file on its command line, so that it reads with the check's watch on.
// Each ratio is taken within a round, run against run beside it, and the median of the
// rounds reported: a machine whose speed drifts moves both sides of a ratio alike.
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

namespace fs = std::filesystem;

namespace {

constexpr int kFaults = 6;
constexpr int kCases = 21;
constexpr int kSamples = 100000;

void write_file(const fs::path& path, const std::string& bytes) {
  fs::create_directories(path.parent_path());
  FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr || std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size() || std::fclose(f) != 0) {
    std::perror(path.c_str());
    std::exit(1);
  }
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

struct Ran {
  double seconds = 0.0;
  double peak_mib = 0.0;
};

// Starts `argv` in `folder` with standard input from `input` (none: /dev/null), standard
// output to /dev/null and standard error to max_run.log there, and waits for it. Exits
// with a message (and the log) unless it ended with status 0, or with `also_ok`.
Ran run_process(const std::vector<std::string>& argv, const fs::path& folder, const fs::path& input,
                int also_ok = 0) {
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    const int in = open(input.empty() ? "/dev/null" : input.c_str(), O_RDONLY);
    const int out = open("/dev/null", O_WRONLY);  // the prompt
    const int err = open((folder / "max_run.log").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (in < 0 || out < 0 || err < 0 || dup2(in, 0) < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0 ||
        chdir(folder.c_str()) != 0) {
      _exit(127);
    }
    execv(args[0], args.data());
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  Ran ran;
  ran.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  ran.peak_mib = static_cast<double>(usage.ru_maxrss) / 1024.0;
  if (!WIFEXITED(status) || (WEXITSTATUS(status) != 0 && WEXITSTATUS(status) != also_ok)) {
    std::fprintf(stderr, "%s failed (status %d) in %s:\n", argv[0].c_str(), status, folder.c_str());
    if (FILE* log = std::fopen((folder / "max_run.log").c_str(), "rb")) {
      char line[512];
      while (std::fgets(line, sizeof line, log) != nullptr) std::fputs(line, stderr);
      std::fclose(log);
    }
    std::exit(1);
  }
  return ran;
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0.0 : v[v.size() / 2];
}

// The runs measured in each folder, in the order of a round. The plain run comes first:
// every ratio divides by it.
struct Kind {
  const char* name;
  std::vector<std::string> options;
};
const std::vector<Kind> kKinds = {
    {"plain", {}},
    {"--report", {"--report"}},
    {"--spectra", {"--spectra"}},
    {"--report --spectra", {"--report", "--spectra"}},
    {"--fit", {"--fit"}},
    {"every option", {"--report", "--spectra", "--fit"}},
};
constexpr std::size_t kPlain = 0, kReport = 1, kSpectra = 2, kReportSpectra = 3, kFit = 4, kEvery = 5;

// One folder's inputs, floor and runs.
struct Place {
  const char* what = "";
  fs::path root;
  bool synced = false;  // the floor flushes as the run must
  std::vector<fs::path> inputs;
  std::string sizes;  // of the six result files, comma-separated, for the floor
  std::uintmax_t input_bytes = 0, output_bytes = 0, page_bytes = 0;
  std::vector<double> floor;
  std::vector<std::vector<double>> times = std::vector<std::vector<double>>(kKinds.size());
  std::vector<double> peak = std::vector<double>(kKinds.size(), 0.0);
};

struct Programs {
  std::string gmgather;
  std::string floor;
};

// The command-line form, as a script runs it: it also reads with the check's watch on,
// which the dialogue does not.
Ran run_kind(const Programs& p, const Place& place, const Kind& kind) {
  std::vector<std::string> argv = {p.gmgather};
  argv.insert(argv.end(), kind.options.begin(), kind.options.end());
  argv.emplace_back("def.csv");
  const bool fit = std::find(kind.options.begin(), kind.options.end(), "--fit") != kind.options.end();
  return run_process(argv, place.root, {}, fit ? 4 : 0);
}

Ran run_floor(const Programs& p, const Place& place) {
  std::vector<std::string> argv = {p.floor};
  if (place.synced) argv.emplace_back("--sync");
  argv.push_back(place.root.string());
  argv.push_back(place.sizes);
  for (const fs::path& input : place.inputs) argv.push_back(input.string());
  return run_process(argv, place.root, {});
}

// Generates the inputs, learns the six files' sizes from a first plain run (which also
// warms the cache) and the page's from a --report run.
void prepare(const Programs& p, Place& place) {
  fs::remove_all(place.root);
  place.inputs = generate(place.root);
  for (const fs::path& input : place.inputs) place.input_bytes += fs::file_size(input);
  run_kind(p, place, kKinds[kReport]);
  place.page_bytes = fs::file_size(place.root / "参考･結果図表.html");
  run_kind(p, place, kKinds[kPlain]);  // takes the page away again
  for (const auto& e : fs::directory_iterator(place.root)) {
    if (e.path().extension() == ".csv" && e.path().filename() != "def.csv") {
      if (!place.sizes.empty()) place.sizes.push_back(',');
      place.sizes.append(std::to_string(e.file_size()));
      place.output_bytes += e.file_size();
    }
  }
  run_floor(p, place);
}

void round_of(const Programs& p, Place& place) {
  place.floor.push_back(run_floor(p, place).seconds);
  for (std::size_t k = 0; k < kKinds.size(); ++k) {
    const Ran ran = run_kind(p, place, kKinds[k]);
    place.times[k].push_back(ran.seconds);
    place.peak[k] = std::max(place.peak[k], ran.peak_mib);
  }
}

// Median over the rounds of times[k] / by, round by round.
double ratio(const std::vector<double>& times, const std::vector<double>& by) {
  std::vector<double> r;
  for (std::size_t i = 0; i < times.size(); ++i) r.push_back(times[i] / by[i]);
  return median(r);
}
double extra_ms(const std::vector<double>& times, const std::vector<double>& by) {
  std::vector<double> r;
  for (std::size_t i = 0; i < times.size(); ++i) r.push_back((times[i] - by[i]) * 1e3);
  return median(r);
}

void report(const std::vector<Place>& places, int rounds) {
  const Place& first = places.front();
  std::printf("inputs: %zu files, %.1f MB; outputs: 6 files, %.1f MB; report page %.2f MB; medians of %d rounds\n",
              first.inputs.size(), static_cast<double>(first.input_bytes) / 1e6,
              static_cast<double>(first.output_bytes) / 1e6, static_cast<double>(first.page_bytes) / 1e6, rounds);
  std::printf("%-32s", "");
  for (const Place& pl : places) std::printf("  %-26s", pl.what);
  std::printf("\n");
  const auto row = [&](const char* label, auto value, const char* goal) {
    std::printf("%-32s", label);
    for (const Place& pl : places) std::printf("  %-26s", value(pl).c_str());
    std::printf("  %s\n", goal);
  };
  const auto fixed = [](double v, int decimals) {
    char b[32];
    std::snprintf(b, sizeof b, "%.*f", decimals, v);
    return std::string(b);
  };
  row("floor (ms)", [&](const Place& pl) { return fixed(median(pl.floor) * 1e3, 1) + (pl.synced ? " synced" : " in memory"); }, "");
  for (std::size_t k = 0; k < kKinds.size(); ++k) {
    const std::string label = std::string(kKinds[k].name) + " (ms)";
    row(label.c_str(), [&](const Place& pl) { return fixed(median(pl.times[k]) * 1e3, 1); }, "");
  }
  row("plain / floor", [&](const Place& pl) { return fixed(ratio(pl.times[kPlain], pl.floor), 2); },
      "goal <= 1.50 in memory, <= 1.20 synced on disk");
  row("--report / plain", [&](const Place& pl) { return fixed(ratio(pl.times[kReport], pl.times[kPlain]), 3); },
      "goal <= 1.20");
  row("--spectra / plain", [&](const Place& pl) { return fixed(ratio(pl.times[kSpectra], pl.times[kPlain]), 3); },
      "goal <= 1.10");
  row("--report --spectra / plain",
      [&](const Place& pl) { return fixed(ratio(pl.times[kReportSpectra], pl.times[kPlain]), 3); }, "goal <= 1.30");
  row("--fit - plain (ms)", [&](const Place& pl) { return fixed(extra_ms(pl.times[kFit], pl.times[kPlain]), 1); },
      "goal <= 500 (status 4 taken)");
  row("peak memory plain (MiB)", [&](const Place& pl) { return fixed(pl.peak[kPlain], 1); }, "goal <= 40");
  row("peak memory every option (MiB)", [&](const Place& pl) { return fixed(pl.peak[kEvery], 1); }, "goal <= 48");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s <gmgather> [folder on disk] [rounds]\n", argv[0]);
    return 2;
  }
  Programs programs;
  programs.gmgather = fs::absolute(argv[1]).string();
  programs.floor = (fs::absolute(argv[0]).parent_path() / "io_floor").string();
  const fs::path disk = argc > 2 ? fs::path(argv[2]) : fs::temp_directory_path() / "gmgather-max-run";
  const int rounds = argc > 3 ? std::max(1, std::atoi(argv[3])) : 15;
  std::vector<Place> places;
  const auto add_place = [&](const char* what, const fs::path& root, bool synced) {
    Place& pl = places.emplace_back();
    pl.what = what;
    pl.root = root;
    pl.synced = synced;
  };
  if (fs::is_directory("/dev/shm")) add_place("tmpfs (/dev/shm)", "/dev/shm/gmgather-max-run", false);
  add_place("disk", fs::absolute(disk), true);
  for (Place& place : places) prepare(programs, place);
  for (int i = 0; i < rounds; ++i) {
    for (Place& place : places) round_of(programs, place);
  }
  report(places, rounds);
  for (const Place& place : places) fs::remove_all(place.root);
  return 0;
}
