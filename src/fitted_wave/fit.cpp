#include "fitted_wave/fit.hpp"

#include <algorithm>
#include <cmath>
#include <complex>
#include <limits>

#include "expect/expect.hpp"
#include "fitted_wave/fourier.hpp"
#include "fitted_wave/spectral_ratio.hpp"
#include "spectra/oscillator.hpp"
#include "tables/run_tables.hpp"

namespace fitted_wave {
namespace {

constexpr double kVelocityEndShare = 0.02;  // of the peak velocity
constexpr double kPi = 3.14159265358979323846;

bool positive_finite(double x) { return std::isfinite(x) && x > 0.0; }

double final_velocity(std::span<const double> a, double time_step, std::vector<double>& scratch) {
  scratch.resize(a.size());
  integrate_velocity(a, time_step, scratch);
  return scratch.back();
}

// Brings the wave's velocity to rest when it ends beyond kVelocityEndShare of its peak
// (fit.hpp); true when it did.
bool bring_to_rest(std::span<double> a, double time_step, std::vector<double>& scratch) {
  scratch.resize(a.size());
  integrate_velocity(a, time_step, scratch);
  double peak = 0.0;
  for (const double v : scratch) peak = std::max(peak, std::fabs(v));
  const double end = scratch.back();
  if (!(std::fabs(end) > kVelocityEndShare * peak)) return false;
  const std::size_t n = a.size();
  std::vector<double> pulse(n);
  for (std::size_t i = 0; i < n; ++i) {
    pulse[i] = std::sin(kPi * static_cast<double>(i + 1) / static_cast<double>(n + 1));
  }
  std::vector<double> pulse_velocity;
  const double c = end / final_velocity(pulse, time_step, pulse_velocity);
  for (std::size_t i = 0; i < n; ++i) a[i] = a[i] - c * pulse[i];
  return true;
}

// The state of one fit: the record's transform, its phase, the amplitudes being adjusted.
struct Fitter {
  std::span<const double> periods;
  std::span<const double> target;
  double time_step;
  std::size_t samples;
  RealFourier fourier;
  std::vector<std::complex<double>> phase;  // unit phasors of the record's transform (0 where it is 0)
  std::vector<double> amplitude;
  std::vector<std::complex<double>> spectrum;
  std::vector<double> signal;
  std::vector<double> velocity;

  Fitter(std::span<const double> record, std::span<const double> periods_, std::span<const double> target_,
         double step)
      : periods(periods_), target(target_), time_step(step), samples(record.size()),
        fourier(transform_length(record.size(), *std::max_element(periods_.begin(), periods_.end()) / step)) {
    signal.assign(fourier.length(), 0.0);
    std::copy(record.begin(), record.end(), signal.begin());
    fourier.forward(signal, spectrum);
    phase.resize(spectrum.size());
    amplitude.resize(spectrum.size());
    for (std::size_t k = 0; k < spectrum.size(); ++k) {
      amplitude[k] = std::abs(spectrum[k]);
      phase[k] = amplitude[k] > 0.0 ? spectrum[k] / amplitude[k] : std::complex<double>(0.0, 0.0);
    }
    amplitude[0] = 0.0;  // no mean
  }

  // The wave of the present amplitudes, brought to rest when needed.
  bool make_wave(std::vector<double>& wave) {
    for (std::size_t k = 0; k < spectrum.size(); ++k) spectrum[k] = amplitude[k] * phase[k];
    fourier.inverse(spectrum, signal);
    wave.assign(signal.begin(), signal.begin() + static_cast<std::ptrdiff_t>(samples));
    // The inverse has no mean over the padded length; the part the wave keeps does not,
    // quite, and even a small offset held for the whole record shows at long periods
    // (pSv = offset * period / 2 pi for a period short against the record).
    double sum = 0.0;
    for (const double a : wave) sum = sum + a;
    const double mean = sum / static_cast<double>(samples);
    for (double& a : wave) a = a - mean;
    return bring_to_rest(wave, time_step, velocity);
  }

  // The first adjustment: one factor on every amplitude, bringing the mean of R to 1.
  void scale(const Measure& m) {
    const double factor = 1.0 / m.mean_ratio;
    for (double& x : amplitude) x = x * factor;
  }

  void adjust(std::span<const double> psv, const RatioCarrier& carrier) {
    std::vector<double> ratios(psv.size());
    for (std::size_t j = 0; j < psv.size(); ++j) ratios[j] = target[j] / psv[j];
    std::vector<double> factors(amplitude.size());
    carrier.carry(ratios, 1.0 / (static_cast<double>(fourier.length()) * time_step), factors);
    for (std::size_t k = 0; k < amplitude.size(); ++k) amplitude[k] = amplitude[k] * factors[k];
  }
};

void pool_spectrum(const spectra::OscillatorBank& bank, std::span<const double> wave, std::span<double> psv,
                   const parallel::Pool& pool) {
  std::vector<double> sv(psv.size());
  const std::size_t blocks = bank.blocks(spectra::Path::Best);
  pool.for_each(blocks, [&](std::size_t b) { bank.respond_block(wave, b, sv, psv, spectra::Path::Best); });
}

// Whether `m` (passing or not) is a better wave to write than `best`.
bool better(const Measure& m, bool passes, const Measure& best, bool best_passes) {
  if (passes != best_passes) return passes;
  return m.worst < best.worst || std::isnan(best.worst);
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

Measure measure_ratio(std::span<const double> psv, std::span<const double> target) {
  Measure m;
  const std::size_t count = psv.size();
  std::vector<double> r(count);
  double sum = 0.0;
  m.min_ratio = std::numeric_limits<double>::infinity();
  for (std::size_t j = 0; j < count; ++j) {
    r[j] = psv[j] / target[j];
    sum = sum + r[j];
    m.min_ratio = std::fmin(m.min_ratio, r[j]);
    const double deviation = std::fabs(r[j] - 1.0);
    if (!(deviation <= m.worst)) m.worst = deviation;  // a NaN stays
  }
  m.mean_ratio = sum / static_cast<double>(count);
  double squares = 0.0;
  for (const double x : r) squares = squares + (x - m.mean_ratio) * (x - m.mean_ratio);
  m.variation = std::sqrt(squares / static_cast<double>(count)) / m.mean_ratio;
  return m;
}

void integrate_velocity(std::span<const double> a, double time_step, std::span<double> v) {
  const double half_step = time_step * 0.5;
  double before = 0.0;
  for (std::size_t j = 0; j < a.size(); ++j) {
    v[j] = j == 0 ? half_step * a[0] : half_step * (a[j] + a[j - 1]) + before;
    before = v[j];
  }
}

Fit fit_wave(std::span<const double> record, std::span<const double> periods, std::span<const double> target,
             double time_step, const parallel::Pool& pool, const Criteria& criteria, int iteration_limit) {
  GM_EXPECT(check_fit(record, periods, target, time_step).problem == Problem::None,
            "fit_wave fits a record that check_fit passed");
  GM_EXPECT(periods.size() == target.size(), "a target value for every axis period");
  Fitter fitter(record, periods, target, time_step);
  const spectra::OscillatorBank bank(periods, time_step, gm::kDamping);
  const RatioCarrier carrier(periods);
  Fit fit;
  const Criteria aim = aimed(criteria);
  bool best_passes = false;
  std::vector<double> wave;
  std::vector<double> psv(periods.size());
  for (int iteration = 0;; ++iteration) {
    const bool corrected = fitter.make_wave(wave);
    pool_spectrum(bank, wave, psv, pool);
    const Measure m = measure_ratio(psv, target);
    fit.worst.push_back(m.worst);
    fit.iterations = iteration;
    const bool passes = m.passes(aim);
    if (iteration == 0 || better(m, passes, fit.measure, best_passes)) {
      fit.wave = wave;
      fit.psv = psv;
      fit.measure = m;
      fit.best = iteration;
      fit.baseline_corrected = corrected;
      best_passes = passes;
    }
    // A wave whose spectrum cannot be measured (a target so large the amplitudes
    // overflow) gives no direction for another adjustment.
    const bool measurable = std::all_of(psv.begin(), psv.end(), positive_finite);
    if (passes || iteration >= iteration_limit || !measurable) break;
    if (iteration == 0) {
      fitter.scale(m);
    } else {
      fitter.adjust(psv, carrier);
    }
  }
  return fit;
}

}  // namespace fitted_wave
