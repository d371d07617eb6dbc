#pragma once
// Records for the spectra tests: the real ones kept in tests/spectra/data/records, and
// synthetic ones that pin the edges of the method.
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <limits>
#include <numbers>
#include <string>
#include <vector>

namespace spectra_test {

struct Record {
  std::string name;
  std::vector<double> samples;
};

// One value a line after '#' header lines (cm/s2, 0.02 s).
inline Record read_record(const std::filesystem::path& path) {
  Record r{path.stem().string(), {}};
  std::ifstream in(path, std::ios::binary);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line[0] != '#') r.samples.push_back(std::strtod(line.c_str(), nullptr));
  }
  return r;
}

inline std::vector<Record> real_records() {
  std::vector<Record> records;
  for (const char* name : {"elcentro1940_ns", "kobe1995", "northridge1994_sylmar_360", "kocaeli1999"}) {
    records.push_back(read_record(std::filesystem::path(GMGATHER_TESTS_DIR) / "spectra" / "data" / "records" /
                                  (std::string(name) + ".txt")));
  }
  return records;
}

// A sine at 1 s (a period of the run's axis), a step, an impulse, records of one and two
// samples, and records with a sample that is not finite.
inline std::vector<Record> synthetic_records() {
  std::vector<Record> records;
  Record sine{"sine 1 s", {}};
  for (int i = 0; i < 1500; ++i) sine.samples.push_back(100.0 * std::sin(2.0 * std::numbers::pi * 0.02 * i));
  records.push_back(sine);
  Record step{"step", std::vector<double>(10, 0.0)};
  step.samples.resize(600, 100.0);
  records.push_back(step);
  Record impulse{"impulse", std::vector<double>(400, 0.0)};
  impulse.samples[5] = 1000.0;
  records.push_back(impulse);
  records.push_back({"one sample", {250.0}});
  records.push_back({"two samples", {250.0, -100.0}});
  Record gap{"NaN sample", sine.samples};
  gap.samples[700] = std::numeric_limits<double>::quiet_NaN();
  records.push_back(gap);
  records.push_back({"infinite last sample", {1.0, 2.0, std::numeric_limits<double>::infinity()}});
  return records;
}

// The 55 periods of a run: the first column of the realistic example's spectrum table, the
// rows after its 15 header lines.
inline std::vector<double> run_period_axis() {
  std::vector<double> periods;
  const auto folder = std::filesystem::path(GMGATHER_EXAMPLES_DIR) / "realistic" / "faults" / "F1";
  // The table's name is Japanese: opened by its path as the file system gives it (wide on
  // Windows), never through a narrow string.
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    if (entry.path().extension() != ".csv") continue;
    std::ifstream in(entry.path(), std::ios::binary);
    std::string line;
    for (int row = 1; std::getline(in, line); ++row) {
      if (row > 15) periods.push_back(std::strtod(line.c_str(), nullptr));
    }
  }
  return periods;
}

}  // namespace spectra_test
