#include "driver/fit_outcome.hpp"

#include <cmath>

#include "check/error_texts.hpp"
#include "driver/messages.hpp"
#include "evaluation/evaluation.hpp"
#include "fitted_wave/criteria.hpp"
#include "fitted_wave/phase_fit.hpp"
#include "inputs/spectrum_table.hpp"
#include "inputs/waveform.hpp"
#include "textio/fixed_text.hpp"
#include "textio/number_format.hpp"

namespace gm {
namespace {

// A value with `decimals` decimals, as the record layer rounds (exactly, on every host),
// without the field's blanks; asterisks for a value that is not finite.
std::string fixed_text(double value, int decimals) {
  char field[32];
  textio::format_fixed(value, static_cast<int>(sizeof field), decimals, field);
  const std::string text(field, sizeof field);
  const std::size_t first = text.find_first_not_of(' ');
  return first == std::string::npos ? text : text.substr(first);
}

// The period as the target spectrum file writes it (F12.4), without the field's blanks.
std::string period_text(double period) {
  char field[12];
  textio::format_f12_4(period, field);
  const std::string text(field, sizeof field);
  const std::size_t first = text.find_first_not_of(' ');
  return first == std::string::npos ? text : text.substr(first);
}

double longest_period(const RunTables& t) {
  double longest = 0.0;
  for (int j = 1; j <= t.period_count; ++j) longest = std::fmax(longest, t.period(j));
  return longest;
}

std::string phase_waveform_path(const RunTables& t) {
  return textio::join_path(t.case_folder(t.phase_case), t.case_folder_length(t.phase_case), inputs::kWaveformName);
}

}  // namespace

FitErrorMessage fit_error_message(const RunTables& t, const fitted_wave::Check& check) {
  using fitted_wave::Problem;
  const std::string number = std::to_string(t.phase_case);
  const std::string period = check.row > 0 ? period_text(t.period(check.row)) : std::string();
  switch (check.problem) {
    case Problem::None: break;
    case Problem::NonFiniteSample: return {kFitPhaseCase, number, std::string(kFitNotFinite)};
    case Problem::NoMotion: return {kFitPhaseCase, number, std::string(kFitNoMotion)};
    case Problem::TooShort: {
      // The record's span as the run integrates it: n steps from rest one step before it.
      const double duration = static_cast<double>(t.case_sample_count(t.phase_case)) * t.time_step;
      std::string tail(kFitLasts);
      tail.append(period_text(duration)).append(kFitShorterThan).append(period_text(longest_period(t)));
      return {kFitPhaseCase, number, tail.append(kFitTooShort)};
    }
    case Problem::TooLarge: return {kFitPhaseCase, number, std::string(kFitTooLarge)};
    case Problem::BadPeriod: return {kFitTarget, period, std::string(kFitBadPeriod)};
    case Problem::BadTarget: return {kFitTarget, period, std::string(kFitBadTarget)};
  }
  return {};
}

int fit_error_end(RunConsole& con, const RunTables& t, const fitted_wave::Check& check) {
  if (check.problem == fitted_wave::Problem::None) return kExitNormal;
  const FitErrorMessage m = fit_error_message(t, check);
  return con.error_end({m.head, m.value, m.tail});
}

std::vector<std::string> missed_criteria(const RunTables& t) {
  std::vector<std::string> lines;
  if (t.fit.sample_count <= 0) return lines;
  const std::string head = "design wave (iteration " + std::to_string(t.fit.best) + " of " +
                           std::to_string(t.fit.iterations) + " written): ";
  for (std::size_t c = 0; c < fitted_wave::kCriteria; ++c) {
    if (t.fit.criterion_met[c] != 0) continue;
    const fitted_wave::CriterionText& text = fitted_wave::kCriterionTexts[c];
    lines.push_back(head + std::string(text.name) + " = " + fixed_text(t.fit.criterion_value[c], 4) +
                    (text.at_least ? ", needs >= " : ", needs <= ") + fixed_text(text.bound, 4));
  }
  return lines;
}

bool fit_misses_criteria(const RunTables& t) { return t.fit.sample_count > 0 && t.fit.all_met == 0; }

int report_fit(platform::Console& console, const RunTables& t) {
  if (t.fit.sample_count <= 0) return kExitNormal;
  // Nothing is left to do about a console that refuses a line: the files are in place.
  for (const std::string& line : missed_criteria(t)) console.write_error("gmgather: warning: " + line + "\r\n");
  using fitted_wave::Criterion;
  const auto value = [&](Criterion c) { return t.fit.criterion_value[static_cast<std::size_t>(c)]; };
  const FitMotion& w = t.fit.wave_motion;
  const FitMotion& p = t.fit.phase_motion;
  std::string line = "gmgather: design wave: min R " + fixed_text(value(Criterion::MinRatio), 4) + ", variation " +
                     fixed_text(value(Criterion::Variation), 4) + ", mean R " + fixed_text(t.fit.mean_ratio, 4);
  line += t.fit.all_met != 0 ? ", criteria met" : ", criteria missed";
  line += "; peaks a " + fixed_text(w.peak_acceleration, 2) + " cm/s2 (phase case " +
          fixed_text(p.peak_acceleration, 2) + "), v " + fixed_text(w.peak_velocity, 2) + " cm/s (" +
          fixed_text(p.peak_velocity, 2) + "), d " + fixed_text(w.peak_displacement, 2) + " cm (" +
          fixed_text(p.peak_displacement, 2) + "), final d " + fixed_text(w.final_displacement, 2) + " cm (" +
          fixed_text(p.final_displacement, 2) + ")\r\n";
  console.write_error(line);
  return t.fit.all_met != 0 ? kExitNormal : kExitMissedCriteria;
}

void add_fit_findings(RunTables& t, const parallel::Pool& pool, std::string_view definition_file,
                      check::Findings& found) {
  evaluation::evaluate_cases(t, pool);
  const fitted_wave::Check fit = fitted_wave::fit_phase_case(t, pool, false);
  using fitted_wave::Problem;
  if (fit.problem == Problem::None) {
    for (std::string& line : missed_criteria(t)) found.warning(phase_waveform_path(t), 0, std::move(line));
    return;
  }
  const FitErrorMessage m = fit_error_message(t, fit);
  std::string text = check::join_message({m.head, m.value, m.tail});
  if (fit.problem == Problem::BadPeriod) {
    found.error(textio::join_path(t.fault_folder(1), t.fault_folder_length(1), inputs::kSpectrumTableName),
                inputs::kSpectrumHeaderLines + fit.row, std::move(text));
  } else if (fit.problem == Problem::BadTarget) {
    found.error(definition_file, 0, std::move(text));
  } else {
    found.error(phase_waveform_path(t), 0, std::move(text));
  }
}

}  // namespace gm
