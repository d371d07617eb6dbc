#include "driver/run.hpp"

#include <optional>
#include <string>
#include <vector>

#include "check/input_set_check.hpp"
#include "commit/unfinished_set.hpp"
#include "driver/check_run.hpp"
#include "driver/fit_outcome.hpp"
#include "driver/hints.hpp"
#include "driver/messages.hpp"
#include "evaluation/case_spectra.hpp"
#include "evaluation/evaluation.hpp"
#include "fitted_wave/phase_fit.hpp"
#include "inputs/definition_file.hpp"
#include "inputs/file_layouts.hpp"
#include "inputs/spectrum_table.hpp"
#include "inputs/waveform.hpp"
#include "platform/display.hpp"
#include "platform/interrupt.hpp"
#include "report/page.hpp"
#include "results/result_files.hpp"
#include "textio/record_reader.hpp"

namespace gm {
namespace {

// The version the report page names.
constexpr std::string_view kVersion = GMGATHER_VERSION;

// A run on its way: what every phase needs. A phase returns the exit status when the run
// ends there, nothing when the next phase follows.
struct Run {
  platform::Console& console;
  RunTables& t;
  const parallel::Pool& pool;
  const RunOptions& options;
  platform::FileSystem& fs;
  RunConsole con;
  std::string definition_file;  // as the run opens it and its messages quote it
  std::vector<std::string> warnings = {};  // what the check warns of, for the page (Shift-JIS)
  int warning_count = 0;                   // of the inputs, as the check counts them
};
using Ending = std::optional<int>;

// What a run stopped while putting its set in place left in this folder, finished before
// anything else: the set it committed goes in whole, or the earlier set stays whole. A
// set that cannot be finished stops the run, whose new files would take its place, and so
// does a marker the start will not touch: the run could not commit a set beside it.
Ending finish_what_was_left(Run& run) {
  const commit::SetRepair repair = commit::finish_unfinished_set(run.fs, "", results::set_names());
  if (!repair.line.empty()) run.console.write_error(repair.line);
  if (repair.ends_run()) return kExitFatal;
  return std::nullopt;
}

// An interrupt ends the run at the next phase, with the earlier set as it was.
Ending unless_interrupted(Run& run) {
  if (platform::interrupted()) return run.con.stopped(false);
  return std::nullopt;
}

// In the command-line form, an ending whose cause a user can act on is followed by a
// hint. Only an ending looks for one: a run that succeeds pays nothing for it.
template <typename Diagnose>
int with_hint(Run& run, int status, Diagnose diagnose) {
  if (!run.options.definition_file || status == kExitInterrupted) return status;
  const std::string hint = diagnose();
  if (!hint.empty()) run.con.hint(hint);
  return status;
}

// The dialogue, when the command line named no file: one prompt, one free-form answer of
// at most 40 bytes.
Ending ask_for_definition_file(Run& run) {
  if (run.options.definition_file) {
    run.definition_file = *run.options.definition_file;
    return std::nullopt;
  }
  RunTables& t = run.t;
  if (!run.con.write_message({kPrompt})) return run.con.fatal(run.con.output_fault());
  const textio::Item answer = textio::Item::text(t.definition_file_name);
  const int status = run.con.input().read_free_form({&answer, 1});
  if (Ending end = unless_interrupted(run)) return end;
  if (status != textio::kStatusOk) return run.con.fatal(run.con.input().fault(status));
  t.definition_file_name_length = textio::LCHR40(t.definition_file_name);
  run.definition_file.assign(t.definition_file_name.bytes.data(),
                             static_cast<std::size_t>(t.definition_file_name_length));
  return std::nullopt;
}

Ending read_definition(Run& run, inputs::InputWatch* watch) {
  textio::InputFileUnit definition(inputs::kDefinitionFileUnit);
  if (definition.open_for_reading(run.definition_file) != textio::kStatusOk) {
    return run.con.error_end({run.definition_file + std::string(kNotExist)});
  }
  const inputs::DefinitionOutcome outcome = inputs::read_definition_file(run.t, definition.reader(), watch);
  definition.close_unit();
  if (outcome.kind != inputs::DefinitionOutcome::Kind::Ok) {
    return with_hint(run, run.con.definition_end(outcome),
                     [&] { return hint_after_definition(run.definition_file, outcome); });
  }
  return std::nullopt;
}

int input_ending(Run& run, const inputs::InputOutcome& outcome) {
  return with_hint(run, run.con.input_end(outcome), [&] { return hint_after_input(run.definition_file, outcome); });
}

// The spectrum tables in fault order, then the waveforms, several at a time.
Ending read_inputs(Run& run, inputs::InputWatch* watch) {
  textio::InputFileUnit spectrum_unit(inputs::kSpectrumTableUnit);
  for (int k = 1; k <= run.t.fault_count; ++k) {
    const inputs::InputOutcome outcome = inputs::read_fault_spectrum_table(run.t, k, spectrum_unit, watch);
    if (!outcome.is_ok()) return input_ending(run, outcome);
  }
  const inputs::InputOutcome outcome = inputs::read_case_waveforms(run.t, run.pool, watch);
  if (!outcome.is_ok()) return input_ending(run, outcome);
  return std::nullopt;
}

// Every input, each file read once. A run asked for the page, or given its definition
// file (which says after its end how many warnings it met), reads exactly as a plain run
// does, the check's watch gathering what it warns of as the readers go: a set in error
// ends the run as it ends a plain one. The dialogue keeps its bytes and pays nothing.
Ending read_everything(Run& run) {
  std::optional<check::InputSetWatch> watch;
  if (run.options.report || run.options.definition_file) watch.emplace(run.definition_file, check_texts());
  inputs::InputWatch* const watching = watch ? &*watch : nullptr;
  if (Ending end = read_definition(run, watching)) return end;
  if (Ending end = read_inputs(run, watching)) return end;
  if (watch) {
    const check::Findings found = watch->take_findings();
    run.warning_count = found.warnings();
    if (run.options.report) run.warnings = warning_lines(found);
  }
  return std::nullopt;
}

// After a command-line run that placed its set: the warnings it met, counted as a check
// of the same set and options counts them (the design wave's missed criteria included),
// in one line. The status stays; a console that refuses the line changes nothing.
int tell_warnings(Run& run, int status) {
  if (!run.options.definition_file) return status;
  const int count = run.warning_count + (run.options.fit ? static_cast<int>(missed_criteria(run.t).size()) : 0);
  if (count > 0) run.console.write_error(warnings_line(count, run.options, run.definition_file));
  return status;
}

// The design wave, when asked for. A fit that cannot be made ends the run as an input
// error does, before any file is written; one that misses its criteria is still written,
// and the run tells so when it ends (report_fit).
Ending fit_design_wave(Run& run) {
  if (!run.options.fit) return std::nullopt;
  const fitted_wave::Check check = fitted_wave::fit_phase_case(run.t, run.pool, run.options.report);
  if (check.problem != fitted_wave::Problem::None) return fit_error_end(run.con, run.t, check);
  return std::nullopt;
}

// What the result set holds beyond the tables: the response spectra, and the page, when
// asked for. They are made once the files every run writes are on their way to the disk,
// which, on a disk that must take them, works while the processor does. The page joins
// the set as one more file: it replaces an earlier page together with them, or not at all.
void make_the_rest(const Run& run, std::string& page, results::Request& request) {
  // The page shows the response spectra too.
  if (run.options.spectra || run.options.report) evaluation::compute_case_spectra(run.t, run.pool);
  if (!request.report) return;
  report::RunFacts facts = report::facts_of_this_run(run.definition_file, kVersion);
  for (const std::string& line : run.warnings) facts.warnings.push_back(platform::display_text(line));
  report::render_page(run.t, facts, page, run.pool);
  request.page = page;
}

Ending place(Run& run) {
  results::Request request;
  request.report = run.options.report;
  request.spectra = run.options.spectra;
  request.fit = run.options.fit;
  std::string page;
  const auto prepare = [&](results::Request& asked) { make_the_rest(run, page, asked); };
  if (const auto fault = results::write_result_files(run.t, run.console, run.pool, request, run.fs, prepare)) {
    if (Ending end = unless_interrupted(run)) return end;
    return run.con.fatal(*fault);
  }
  // An interrupt that came while the set went in waited for it.
  if (platform::interrupted()) return run.con.stopped(true);
  return std::nullopt;
}

}  // namespace

int run(platform::Console& console, RunTables& t, const parallel::Pool& pool, const RunOptions& options,
        platform::FileSystem& fs) {
  start_up(t);
  Run run{console, t, pool, options, fs, RunConsole(console, options.definition_file.has_value()), {}};
  // A check changes nothing, not even what a stopped run left: it says so.
  if (options.check && options.definition_file) return check_run(run.con, t, pool, *options.definition_file, options);
  if (Ending end = finish_what_was_left(run)) return *end;
  if (Ending end = ask_for_definition_file(run)) return *end;
  if (Ending end = read_everything(run)) return *end;
  if (Ending end = unless_interrupted(run)) return *end;
  evaluation::evaluate_cases(t, pool);
  if (Ending end = fit_design_wave(run)) return *end;
  if (Ending end = unless_interrupted(run)) return *end;
  if (Ending end = place(run)) return *end;
  return tell_warnings(run, options.fit ? report_fit(console, t) : kExitNormal);
}

}  // namespace gm
