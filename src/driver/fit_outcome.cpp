#include "driver/fit_outcome.hpp"

#include <cmath>
#include <cstdio>
#include <string>

#include "driver/messages.hpp"
#include "fitted_wave/phase_fit.hpp"
#include "textio/number_format.hpp"

namespace gm {
namespace {

// The period as the target spectrum file writes it, without the field's blanks.
std::string period_text(double period) {
  char field[12];
  textio::format_f12_4(period, field);
  std::string text(field, sizeof field);
  return text.substr(text.find_first_not_of(' '));
}

// A value with the four decimals a reader compares with the bound; "%.4f" in the C
// locale prints the same digits on every host (NaN aside, which a measured wave does
// not give).
std::string value_text(double value) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.4f", value);
  return buffer;
}

}  // namespace

FitErrorMessage fit_error_message(const RunTables& t, const fitted_wave::Check& check) {
  using fitted_wave::Problem;
  const std::string number = std::to_string(t.phase_case);
  const std::string period = check.row > 0 ? period_text(t.period(check.row)) : std::string();
  switch (check.problem) {
    case Problem::None: break;
    case Problem::NonFiniteSample: return {kFitPhaseCase, number, kFitNotFinite};
    case Problem::NoMotion: return {kFitPhaseCase, number, kFitNoMotion};
    case Problem::TooShort: return {kFitPhaseCase, number, kFitTooShort};
    case Problem::BadPeriod: return {kFitTarget, period, kFitBadPeriod};
    case Problem::BadTarget: return {kFitTarget, period, kFitBadTarget};
  }
  return {};
}

int fit_error_end(RunConsole& con, const RunTables& t, const fitted_wave::Check& check) {
  if (check.problem == fitted_wave::Problem::None) return kExitNormal;
  const FitErrorMessage m = fit_error_message(t, check);
  return con.error_end({m.head, m.value, m.tail});
}

void warn_missed_criteria(platform::Console& console, const RunTables& t, const fitted_wave::Criteria& criteria) {
  const fitted_wave::Measure m = fitted_wave::fitted_measure(t);
  const std::string head = "gmgather: warning: design wave after " + std::to_string(t.fit.iterations) +
                           " iterations: ";
  if (!m.min_passes(criteria)) {
    console.write_error(head + "min R = " + value_text(m.min_ratio) + ", needs >= " +
                        value_text(criteria.min_ratio) + "\r\n");
  }
  if (!m.variation_passes(criteria)) {
    console.write_error(head + "variation of R = " + value_text(m.variation) + ", needs <= " +
                        value_text(criteria.max_variation) + "\r\n");
  }
  if (!m.mean_passes(criteria)) {
    console.write_error(head + "|mean R - 1| = " + value_text(std::fabs(m.mean_ratio - 1.0)) + ", needs <= " +
                        value_text(criteria.max_mean_error) + "\r\n");
  }
}

}  // namespace gm
