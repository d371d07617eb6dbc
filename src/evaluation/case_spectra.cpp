#include "evaluation/case_spectra.hpp"

#include <span>
#include <vector>

#include "expect/expect.hpp"
#include "spectra/oscillator.hpp"

namespace evaluation {

void compute_case_spectra(gm::RunTables& t, const parallel::Pool& pool) {
  const std::size_t periods = gm::checked_size(t.period_count, "the period count is set at start-up");
  const std::size_t cases = gm::checked_size(t.case_count, "the case count is checked when it is read");
  // The kernel writes each case's spectrum into spans of its own; the table interleaves
  // them by period row afterwards.
  std::vector<double> sv(cases * periods);
  std::vector<double> psv(cases * periods);
  std::vector<spectra::CaseSpectrum> records;
  records.reserve(cases);
  for (std::size_t i = 0; i < cases; ++i) {
    const int c = static_cast<int>(i) + 1;
    const std::size_t samples = gm::checked_size(t.case_sample_count(c), "a waveform's count is clamped where it is read");
    records.push_back({std::span<const double>(t.acceleration_column(c), samples),
                       std::span<double>(sv).subspan(i * periods, periods),
                       std::span<double>(psv).subspan(i * periods, periods)});
  }
  spectra::case_spectra(records, std::span<const double>(t.period_table, periods), t.time_step, gm::kDamping, pool);
  for (int j = 1; j <= t.period_count; ++j) {
    double* row = t.spectra_row(j);
    row[0] = t.target(j);
    for (std::size_t i = 0; i < cases; ++i) {
      row[2 * i + 1] = sv[i * periods + static_cast<std::size_t>(j - 1)];
      row[2 * i + 2] = psv[i * periods + static_cast<std::size_t>(j - 1)];
    }
  }
}

}  // namespace evaluation
