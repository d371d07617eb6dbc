#include "fitted_wave/phase_fit.hpp"

#include <algorithm>
#include <span>
#include <vector>

#include "expect/expect.hpp"
#include "spectra/input_energy.hpp"
#include "spectra/oscillator.hpp"
#include "spectra/portable_math.hpp"

namespace fitted_wave {
namespace {

static_assert(kCriteria <= gm::kFitCriterionRoom && kIterationLimit + 1 <= gm::kFitIterationRoom);
static_assert(kMatchedDamping == gm::kDamping);

constexpr double kAriasShares[3] = {0.05, 0.5, 0.95};

gm::FitMotion motion_facts(std::span<const double> a, double time_step, std::vector<double>& velocity,
                           std::vector<double>& displacement) {
  const Motion m = motion_of(a, time_step, velocity, displacement);
  gm::FitMotion f{m.peak_acceleration, m.peak_velocity, m.peak_displacement, m.final_velocity, m.final_displacement,
                  {}};
  for (int i = 0; i < 3; ++i) f.arias_times[i] = static_cast<double>(arias_index(a, kAriasShares[i])) * time_step;
  return f;
}

// The page's periods below the axis: kFitShortPeriods from 0.02 s, evenly in log, short
// of the axis's shortest (none when that is 0.02 s or less), with both records' pSv.
void below_the_axis(std::span<const double> record, std::span<const double> wave, std::span<const double> periods,
                    double time_step, gm::FitTables& f) {
  constexpr double kShortest = 0.02;
  const double axis_shortest = *std::min_element(periods.begin(), periods.end());
  f.short_count = axis_shortest > kShortest ? gm::kFitShortPeriods : 0;
  if (f.short_count == 0) return;
  const auto count = static_cast<std::size_t>(gm::kFitShortPeriods);
  const double ratio = axis_shortest / kShortest;
  for (std::size_t i = 0; i < count; ++i) {
    f.short_periods[i] = kShortest * spectra::portable_exp(spectra::portable_log(ratio) * static_cast<double>(i) /
                                                           static_cast<double>(count));
  }
  const std::span<const double> shorter(f.short_periods, count);
  std::vector<double> sv(count);
  spectra::response_spectrum(record, shorter, time_step, kMatchedDamping, sv, std::span<double>(f.phase_short_psv, count));
  spectra::response_spectrum(wave, shorter, time_step, kMatchedDamping, sv, std::span<double>(f.wave_short_psv, count));
}

}  // namespace

Check check_phase_case(const gm::RunTables& t) {
  GM_EXPECT(t.phase_case >= 1 && t.phase_case <= t.case_count, "the ranking names the phase case before a fit");
  const std::size_t n = gm::checked_size(t.case_sample_count(t.phase_case), "a waveform's count is clamped where it is read");
  const std::size_t m = gm::checked_size(t.period_count, "the period count is set at start-up");
  return check_fit(std::span<const double>(t.acceleration_column(t.phase_case), n),
                   std::span<const double>(t.period_table, m), std::span<const double>(t.target_spectrum, m),
                   t.time_step);
}

Check fit_phase_case(gm::RunTables& t, const parallel::Pool& pool, bool for_page) {
  gm::FitTables& f = t.fit;
  f.sample_count = 0;
  const Check check = check_phase_case(t);
  if (check.problem != Problem::None) return check;
  const std::size_t n = gm::checked_size(t.case_sample_count(t.phase_case), "a waveform's count is clamped where it is read");
  const std::size_t m = gm::checked_size(t.period_count, "the period count is set at start-up");
  const std::span<const double> record(t.acceleration_column(t.phase_case), n);
  const std::span<const double> periods(t.period_table, m);
  const std::span<const double> target(t.target_spectrum, m);

  const Fit fit = fit_wave(record, periods, target, t.time_step, pool);
  if (fit.too_large) return {Problem::TooLarge, 0};
  std::vector<double> sv(m), velocity, displacement;
  spectra::response_spectrum(record, periods, t.time_step, kMatchedDamping, sv, std::span<double>(f.phase_psv, m));
  f.phase_motion = motion_facts(record, t.time_step, velocity, displacement);
  f.wave_motion = motion_facts(fit.wave, t.time_step, velocity, displacement);
  std::copy(fit.psv.begin(), fit.psv.end(), f.wave_psv);
  std::copy(fit.wave.begin(), fit.wave.end(), f.wave);
  std::copy(velocity.begin(), velocity.end(), f.velocity);
  std::copy(displacement.begin(), displacement.end(), f.displacement);
  if (for_page) {
    spectra::energy_spectrum(record, periods, t.time_step, kEnergyDamping, std::span<double>(f.phase_energy, m), pool);
    spectra::energy_spectrum(fit.wave, periods, t.time_step, kEnergyDamping, std::span<double>(f.wave_energy, m), pool);
    below_the_axis(record, fit.wave, periods, t.time_step, f);
  }
  std::fill(std::begin(f.worst), std::end(f.worst), 0.0);
  std::copy(fit.worst.begin(), fit.worst.end(), f.worst);
  for (std::size_t c = 0; c < kCriteria; ++c) {
    f.criterion_value[c] = fit.values[c];
    f.criterion_met[c] = fit.met[c] ? 1 : 0;
  }
  f.all_met = fit.all_met ? 1 : 0;
  f.mean_ratio = fit.measure.mean_ratio;
  const std::size_t onset = arias_index(record, kOnsetShare);
  f.onset_time = static_cast<double>(onset) * t.time_step;
  f.free_vibration = static_cast<double>(spectra::free_vibration_steps(periods, t.time_step)) * t.time_step;
  f.lead_in_share = arias_share_before(fit.wave, onset);
  f.start_taper = static_cast<std::int32_t>(fit.tapers.start);
  f.end_taper = static_cast<std::int32_t>(fit.tapers.end);
  f.iterations = fit.iterations;
  f.best = fit.best;
  f.sample_count = static_cast<std::int32_t>(n);
  return check;
}

}  // namespace fitted_wave
