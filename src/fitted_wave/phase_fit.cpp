#include "fitted_wave/phase_fit.hpp"

#include <algorithm>
#include <span>
#include <vector>

#include "expect/expect.hpp"
#include "spectra/oscillator.hpp"

namespace fitted_wave {

Check check_phase_case(const gm::RunTables& t) {
  GM_EXPECT(t.phase_case >= 1 && t.phase_case <= t.case_count, "the ranking names the phase case before a fit");
  const std::size_t n = gm::checked_size(t.case_sample_count(t.phase_case), "a waveform's count is clamped where it is read");
  const std::size_t m = gm::checked_size(t.period_count, "the period count is set at start-up");
  return check_fit(std::span<const double>(t.acceleration_column(t.phase_case), n),
                   std::span<const double>(t.period_table, m), std::span<const double>(t.target_spectrum, m),
                   t.time_step);
}

Check fit_phase_case(gm::RunTables& t, const parallel::Pool& pool, const Criteria& criteria) {
  gm::FitTables& f = t.fit;
  f.sample_count = 0;
  const std::size_t n = gm::checked_size(t.case_sample_count(t.phase_case), "a waveform's count is clamped where it is read");
  const std::size_t m = gm::checked_size(t.period_count, "the period count is set at start-up");
  const std::span<const double> record(t.acceleration_column(t.phase_case), n);
  const std::span<const double> periods(t.period_table, m);
  const std::span<const double> target(t.target_spectrum, m);
  const Check check = check_phase_case(t);
  if (check.problem != Problem::None) return check;

  const Fit fit = fit_wave(record, periods, target, t.time_step, pool, criteria);
  std::vector<double> sv(m);
  spectra::response_spectrum(record, periods, t.time_step, gm::kDamping, sv, std::span<double>(f.phase_psv, m));
  std::copy(fit.psv.begin(), fit.psv.end(), f.wave_psv);
  std::copy(fit.wave.begin(), fit.wave.end(), f.wave);
  integrate_velocity(fit.wave, t.time_step, std::span<double>(f.velocity, n));
  std::fill(std::begin(f.worst), std::end(f.worst), 0.0);
  std::copy(fit.worst.begin(), fit.worst.end(), f.worst);
  f.iterations = fit.iterations;
  f.best = fit.best;
  f.baseline_corrected = fit.baseline_corrected ? 1 : 0;
  f.min_ratio = fit.measure.min_ratio;
  f.variation = fit.measure.variation;
  f.mean_ratio = fit.measure.mean_ratio;
  f.sample_count = static_cast<std::int32_t>(n);
  return check;
}

Measure fitted_measure(const gm::RunTables& t) {
  Measure m;
  m.min_ratio = t.fit.min_ratio;
  m.variation = t.fit.variation;
  m.mean_ratio = t.fit.mean_ratio;
  m.worst = t.fit.worst[t.fit.best];
  return m;
}

}  // namespace fitted_wave
