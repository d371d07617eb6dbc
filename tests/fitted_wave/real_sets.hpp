#pragma once
// Input sets for the design wave built from the real records in tests/spectra/data/records:
// one fault whose spectrum makes a code-type target, one case (the phase case).
#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "spectra/test_records.hpp"
#include "support/data_set.hpp"

namespace fitted_wave_test {

// 55 periods from 0.1 to 10 s, evenly in log, as a spectrum table writes them.
inline std::vector<double> code_axis() {
  std::vector<double> p;
  for (int j = 0; j < 55; ++j) p.push_back(std::round(1000.0 * 0.1 * std::pow(100.0, j / 54.0)) / 1000.0);
  return p;
}

// The pseudo-velocity (cm/s) of the level-2 design spectrum of Japan's Building Standard
// Law (Notification No. 1461 of 2000, engineering bedrock): Sa = 3.2 + 30 T m/s2 below
// 0.16 s, 8.0 up to 0.64 s, 5.12 / T beyond; pSv = Sa T / 2 pi.
inline double code_target(double period) {
  const double sa = period < 0.16 ? 3.2 + 30.0 * period : period < 0.64 ? 8.0 : 5.12 / period;
  return 100.0 * sa * period / (2.0 * 3.14159265358979323846);
}

struct RealSet {
  const char* name;
  std::vector<const char*> records;  // joined in this order, repeated up to `samples`
  int samples;                       // 0: the records as they are
  double level = 1.0;                // the target times this
  double sharp = 1.0;                // the period nearest 2 s times this besides
};

inline std::vector<double> samples_of(const RealSet& s) {
  std::vector<double> out;
  const auto folder = std::filesystem::path(GMGATHER_TESTS_DIR) / "spectra" / "data" / "records";
  do {
    for (const char* name : s.records) {
      const spectra_test::Record r = spectra_test::read_record(folder / (std::string(name) + ".txt"));
      out.insert(out.end(), r.samples.begin(), r.samples.end());
    }
  } while (s.samples > 0 && static_cast<int>(out.size()) < s.samples);
  if (s.samples > 0) out.resize(static_cast<std::size_t>(s.samples));
  return out;
}

// The target spectrum of a run is the faults' root sum of squares / 1.1: one fault whose
// column 28 is the target times 1.1.
inline testing_support::DataSet data_set_of(const RealSet& s) {
  testing_support::DataSet d;
  d.periods = code_axis();
  std::vector<double> spectrum;
  double nearest = 1e300;
  std::size_t sharp_row = 0;
  for (std::size_t j = 0; j < d.periods.size(); ++j) {
    if (std::fabs(d.periods[j] - 2.0) < nearest) nearest = std::fabs(d.periods[j] - 2.0), sharp_row = j;
  }
  for (std::size_t j = 0; j < d.periods.size(); ++j) {
    spectrum.push_back(1.1 * s.level * code_target(d.periods[j]) * (j == sharp_row ? s.sharp : 1.0));
  }
  d.spectra = {spectrum};
  d.samples = {samples_of(s)};
  return d;
}

}  // namespace fitted_wave_test
