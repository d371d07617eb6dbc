#include "driver/check_run.hpp"

#include <string>
#include <vector>

#include "check/error_texts.hpp"
#include "check/findings.hpp"
#include "check/input_set_check.hpp"
#include "driver/fit_outcome.hpp"
#include "driver/messages.hpp"
#include "driver/run_console.hpp"
#include "evaluation/evaluation.hpp"
#include "fitted_wave/phase_fit.hpp"
#include "inputs/spectrum_table.hpp"
#include "inputs/waveform.hpp"
#include "results/result_files.hpp"
#include "results/unfinished_set.hpp"
#include "textio/fixed_text.hpp"
#include "textio/report.hpp"

namespace gm {
namespace {

constexpr check::ErrorTexts kTexts{kNotExist,    kBadCounts,     kBadFaultLine, kBadCaseLine,
                                   kLineError,   kMissingFault,  kMissingCase,  kTooManySamples};

// A result file a run could not replace, as the report the run would end with.
void add_refusals(const RunOptions& options, check::Findings& found) {
  results::Request request;
  request.report = options.report;
  request.spectra = options.spectra;
  request.fit = options.fit;
  for (const textio::Fault& fault : results::foreseen_refusals(request)) {
    std::string text = textio::report_line(textio::Severity::Severe, fault);
    if (!text.empty() && text.back() == '\n') text.pop_back();
    found.error(fault.file, 0, std::move(text));
  }
}

// A design wave that cannot be made ends a run asked for it after the reading, before
// anything is placed: the set is evaluated as the run evaluates it (no fit is made) and
// the problem named where it comes from: the phase case's record, fault 1's period row or,
// for the target, the definition file that combines the faults.
void add_fit_problem(RunTables& t, const parallel::Pool& pool, std::string_view definition_file,
                     check::Findings& found) {
  evaluation::evaluate_cases(t, pool);
  const fitted_wave::Check fit = fitted_wave::check_phase_case(t);
  if (fit.problem == fitted_wave::Problem::None) return;
  const FitErrorMessage m = fit_error_message(t, fit);
  std::string text = check::join_message({m.head, m.value, m.tail});
  using fitted_wave::Problem;
  if (fit.problem == Problem::BadPeriod) {
    found.error(textio::join_path(t.fault_folder(1), t.fault_folder_length(1), inputs::kSpectrumTableName),
                inputs::kSpectrumHeaderLines + fit.row, std::move(text));
  } else if (fit.problem == Problem::BadTarget) {
    found.error(definition_file, 0, std::move(text));
  } else {
    found.error(textio::join_path(t.case_folder(t.phase_case), t.case_folder_length(t.phase_case),
                                  inputs::kWaveformName),
                0, std::move(text));
  }
}

// What a run stopped while putting its set in place left here; the next run finishes it.
void add_unfinished_set(check::Findings& found) {
  std::vector<std::string_view> names;
  for (const results::ResultFile& file : results::result_set()) names.push_back(file.name);
  std::optional<std::string> line = results::describe_unfinished_set("", names);
  if (!line) return;
  std::string text = std::move(*line);
  constexpr std::string_view kWarned = "gmgather: warning: ";
  if (text.starts_with(kWarned)) text.erase(0, kWarned.size());
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  found.warning(results::kMarkerFile, 0, std::move(text));
}

}  // namespace

const check::ErrorTexts& check_texts() { return kTexts; }

std::vector<std::string> warning_lines(const check::Findings& found) {
  std::vector<std::string> lines;
  for (const check::Finding& f : found.list()) {
    if (f.severity != check::Finding::Warning) continue;
    std::string line = f.file;
    if (f.line > 0) line.append(":").append(std::to_string(f.line));
    lines.push_back(line.append(": ").append(f.text));
  }
  return lines;
}

int check_run(RunConsole& con, RunTables& t, const parallel::Pool& pool, std::string_view definition_file,
              const RunOptions& options) {
  check::Findings found;
  check::check_input_set(t, definition_file, kTexts, pool, found);
  if (options.fit && found.errors() == 0) add_fit_problem(t, pool, definition_file, found);
  add_refusals(options, found);
  add_unfinished_set(found);
  if (!con.write_lines(check::format_findings(found))) return con.fatal(con.output_fault());
  return found.errors() > 0 ? kExitErrorEnd : kExitNormal;
}

}  // namespace gm
