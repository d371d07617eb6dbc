#pragma once
// Run tables filled as a run leaves them, without any files: seeded random spectra and
// waveforms, folder names, then the program's own evaluation and the cases' response
// spectra. For tests of what is drawn from the tables (the report page), up to the largest
// run the limits allow.
#include <cmath>
#include <random>
#include <string>

#include "evaluation/case_spectra.hpp"
#include "evaluation/evaluation.hpp"
#include "support/tables.hpp"
#include "textio/fixed_text.hpp"

namespace testing_support {

inline void set_folder(textio::FixedText400& field, std::int32_t& length, const std::string& sjis) {
  textio::assign_text(field, sjis);
  length = textio::LCHR400(field);
}

// `faults` faults and `cases` cases of `samples` samples each (case c has samples - c + 1,
// so lengths differ), evaluated and ranked.
inline gm::RunTables& synthetic_run(int faults, int cases, int samples, unsigned seed = 11) {
  gm::RunTables& t = fresh_tables();
  t.fault_count = faults;
  t.case_count = cases;
  std::mt19937_64 rng(seed);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  std::normal_distribution<double> step(0.0, 40.0);
  for (int k = 1; k <= faults; ++k) {
    set_folder(t.fault_folder(k), t.fault_folder_length(k), "faults\\F" + std::to_string(k));
  }
  for (int j = 1; j <= gm::kPeriodCount; ++j) {
    t.period(j) = std::pow(10.0, (j - 1) / 54.0);  // 1 s to 10 s
    for (int k = 1; k <= faults; ++k) t.spectrum(k, j) = 40.0 + 100.0 * unit(rng) * (1.0 + std::sin(0.05 * j + k));
  }
  for (int c = 1; c <= cases; ++c) {
    set_folder(t.case_folder(c), t.case_folder_length(c), "cases\\C" + std::to_string(c));
    const int n = samples - c + 1;
    t.case_sample_count(c) = n;
    double a = 0.0;
    for (int j = 1; j <= n; ++j) t.acceleration(c, j) = a = 0.95 * a + step(rng);
  }
  evaluation::evaluate_cases(t);
  evaluation::compute_case_spectra(t, parallel::Pool(1));
  return t;
}

}  // namespace testing_support
