#include "fitted_wave/fit.hpp"

#include <algorithm>
#include <cmath>
#include <complex>

#include "expect/expect.hpp"
#include "fitted_wave/fourier.hpp"
#include "fitted_wave/matching_model.hpp"
#include "spectra/oscillator.hpp"
#include "textio/number_format.hpp"

namespace fitted_wave {
namespace {

bool positive_finite(double x) { return std::isfinite(x) && x > 0.0; }

void pool_spectrum(const spectra::OscillatorBank& bank, std::span<const double> wave, std::span<double> psv,
                   const parallel::Pool& pool) {
  std::vector<double> sv(psv.size());
  const std::size_t blocks = bank.blocks(spectra::Path::Best);
  pool.for_each(blocks, [&](std::size_t b) { bank.respond_block(wave, b, sv, psv, spectra::Path::Best); });
}

// One measured wave.
struct Candidate {
  std::vector<double> wave, psv;
  Measure measure;
  Motion motion;
  std::array<double, kCriteria> values{};
  std::size_t clear = 0;  // criteria met by kStopMargin
  int iteration = -1;     // -1: none yet
};

// Measures the wave in c (its pSv on the pool, R, its motion, the criteria); the motion is
// integrated in `velocity` and `displacement`.
void measure(Candidate& c, const spectra::OscillatorBank& bank, std::span<const double> target, double time_step,
             const parallel::Pool& pool, std::span<double> velocity, std::span<double> displacement) {
  pool_spectrum(bank, c.wave, c.psv, pool);
  c.measure = measure_ratio(c.psv, target);
  c.motion = motion_of(c.wave, time_step, velocity, displacement);
  c.values = criterion_values(c.measure, c.motion);
  c.clear = criteria_met(c.values, kStopMargin);
}

// Whether `c` is a better wave to write than `best` (fit.hpp).
bool better(const Candidate& c, const Candidate& best) {
  if (best.iteration < 0) return true;
  if (c.clear != best.clear) return c.clear > best.clear;
  return c.measure.worst < best.measure.worst;
}

}  // namespace

Check check_fit(std::span<const double> record, std::span<const double> periods, std::span<const double> target,
                double time_step) {
  for (const double a : record) {
    if (!std::isfinite(a)) return {Problem::NonFiniteSample, 0};
  }
  if (record.empty() ||
      std::all_of(record.begin(), record.end(), [&](double a) { return a == record.front(); })) {
    return {Problem::NoMotion, 0};
  }
  double longest = 0.0;
  for (std::size_t j = 0; j < periods.size(); ++j) {
    if (!positive_finite(periods[j])) return {Problem::BadPeriod, static_cast<int>(j) + 1};
    if (!positive_finite(target[j])) return {Problem::BadTarget, static_cast<int>(j) + 1};
    longest = std::max(longest, periods[j]);
  }
  if (periods.empty()) return {Problem::BadPeriod, 1};
  if (static_cast<double>(record.size()) * time_step < longest) return {Problem::TooShort, 0};
  return {};
}

bool fits_its_field(std::span<const double> wave) {
  if (wave.empty()) return true;
  // The field's width is reached first by the largest and by the most negative value.
  const auto [low, high] = std::minmax_element(wave.begin(), wave.end());
  char field[14];
  for (const double x : wave) {
    if (!std::isfinite(x)) return false;
  }
  return textio::format_f14_6(*low, field) && textio::format_f14_6(*high, field);
}

Fit fit_wave(std::span<const double> record, std::span<const double> periods, std::span<const double> target,
             double time_step, const parallel::Pool& pool, int iteration_limit) {
  GM_EXPECT(check_fit(record, periods, target, time_step).problem == Problem::None,
            "fit_wave fits a record that check_fit passed");
  GM_EXPECT(periods.size() == target.size(), "a target value for every axis period");
  const int limit = std::max(1, iteration_limit);
  const double longest = *std::max_element(periods.begin(), periods.end());
  RealFourier fourier(transform_length(record.size(), longest / time_step));
  std::vector<double> signal(fourier.length(), 0.0);
  std::copy(record.begin(), record.end(), signal.begin());
  std::vector<std::complex<double>> transform;
  fourier.forward(signal, transform);
  fourier.release_tables();
  const double frequency_step = 1.0 / (static_cast<double>(fourier.length()) * time_step);
  const FactorShape shape(periods, frequency_step, fourier.bins());
  const ResponseModel model(shape, transform, frequency_step, kMatchedDamping, pool);
  const spectra::OscillatorBank bank(periods, time_step, kMatchedDamping);
  Fit fit;
  fit.tapers = tapers_for(record, time_step);
  Shaper shaper(record.size(), time_step, fit.tapers);

  std::vector<double> g(shape.unknowns(), 1.0);
  // The rows an iteration works in, each used by one step at a time: `signal` holds the
  // factors, then the inverse transform, then a row of the shaping; `work` the shaped
  // transform, then two rows of doubles (a complex number is two doubles, real part
  // first), where the shaping and the measure integrate. A fit of 100000 samples holds no
  // row it does not need at the time.
  const std::size_t n = record.size();
  std::vector<std::complex<double>> work(std::max(fourier.bins(), n));
  const std::span<std::complex<double>> shaped(work.data(), fourier.bins());
  const std::span<double> velocity(reinterpret_cast<double*>(work.data()), n);
  const std::span<double> displacement(reinterpret_cast<double*>(work.data()) + n, n);
  Candidate now, best;
  now.psv.resize(periods.size());
  for (int iteration = 0;; ++iteration) {
    const std::span<double> factors = std::span<double>(signal).first(fourier.bins());
    shape.factors(g, factors);
    for (std::size_t k = 0; k < shaped.size(); ++k) shaped[k] = transform[k] * factors[k];
    fourier.inverse(shaped, signal);
    now.wave.assign(signal.begin(), signal.begin() + static_cast<std::ptrdiff_t>(n));
    shaper.shape(now.wave, velocity, displacement, signal);
    measure(now, bank, target, time_step, pool, velocity, displacement);
    now.iteration = iteration;
    fit.worst.push_back(now.measure.worst);
    fit.clear.push_back(static_cast<int>(now.clear));
    fit.iterations = iteration;
    if (iteration > 0 && better(now, best)) best = now;
    // A wave whose spectrum cannot be measured (amplitudes that overflow) gives no
    // direction for another step.
    const bool measurable = std::all_of(now.psv.begin(), now.psv.end(), positive_finite);
    if ((iteration > 0 && now.clear == kCriteria) || iteration >= limit || !measurable) break;
    g = iteration == 0 ? level(shape, g, now.psv, target) : steer(shape, model, g, now.psv, target);
  }
  // No adjusted wave: the phase case's own response overflows, and with it any wave made
  // from it. No field holds such samples; the fit cannot be made.
  fit.too_large = best.iteration < 0;
  if (fit.too_large) return fit;
  fit.wave = std::move(best.wave);
  fit.psv = std::move(best.psv);
  fit.measure = best.measure;
  fit.motion = best.motion;
  fit.values = best.values;
  fit.best = best.iteration;
  fit.all_met = true;
  for (std::size_t c = 0; c < kCriteria; ++c) {
    fit.met[c] = meets(kCriterionTexts[c].criterion, fit.values[c]);
    fit.all_met = fit.all_met && fit.met[c];
  }
  fit.too_large = !fits_its_field(fit.wave);
  return fit;
}

}  // namespace fitted_wave
