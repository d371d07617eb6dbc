#include "driver/check_run.hpp"

#include <string>
#include <vector>

#include "check/error_texts.hpp"
#include "check/findings.hpp"
#include "check/input_set_check.hpp"
#include "commit/names.hpp"
#include "commit/unfinished_set.hpp"
#include "driver/command_line.hpp"
#include "driver/fit_outcome.hpp"
#include "driver/messages.hpp"
#include "driver/run_console.hpp"
#include "inputs/spectrum_table.hpp"
#include "platform/fs.hpp"
#include "inputs/waveform.hpp"
#include "results/result_files.hpp"
#include "textio/fixed_text.hpp"
#include "textio/report.hpp"

namespace gm {
namespace {

constexpr check::ErrorTexts kTexts{kNotExist,    kBadCounts,     kBadFaultLine, kBadCaseLine,
                                   kLineError,   kMissingFault,  kMissingCase,  kTooManySamples};

// A result file a run could not replace, as the report the run would end with, in the
// folder as the start leaves it.
void add_refusals(const RunOptions& options, platform::FileSystem& after_start, check::Findings& found) {
  results::Request request;
  request.report = options.report;
  request.spectra = options.spectra;
  request.fit = options.fit;
  for (const textio::Fault& fault : results::foreseen_refusals(request, after_start)) {
    std::string text = textio::report_line(textio::Severity::Severe, fault);
    if (!text.empty() && text.back() == '\n') text.pop_back();
    found.error(fault.file, 0, std::move(text));
  }
}

// What a run stopped while putting its set in place left here, as the start will meet it:
// a marker it will not touch, or a set it cannot finish, ends the run before anything is
// read (so it is the first error); anything else the start finishes, with a warning.
commit::StartOutlook start_outlook() {
  return commit::foresee_start(platform::host_file_system(), "", results::set_names());
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

std::string warnings_line(int warnings, const RunOptions& options, std::string_view definition_file) {
  std::string line = "gmgather: " + std::to_string(warnings) + " warning(s) in the inputs; gmgather --check";
  for (const RunOption& option : kRunOptions) {
    if (option.flag != &RunOptions::check && options.*option.flag) line.append(" ").append(option.name);
  }
  // A name that begins with '-' would read as an option.
  if (definition_file.starts_with('-')) line += " --";
  const bool quote = definition_file.find_first_of(" \t") != std::string_view::npos;
  line.append(quote ? " \"" : " ").append(definition_file).append(quote ? "\"" : "");
  return line.append(" lists them\r\n");
}

int check_run(RunConsole& con, RunTables& t, const parallel::Pool& pool, std::string_view definition_file,
              const RunOptions& options) {
  check::Findings found;
  const commit::StartOutlook start = start_outlook();
  if (start.ends_run) found.error(commit::kMarkerFile, 0, start.text);
  const int before_inputs = found.errors();
  check::check_input_set(t, definition_file, kTexts, pool, found);
  if (options.fit && found.errors() == before_inputs) add_fit_findings(t, pool, definition_file, found);
  commit::FolderAfterStart after_start(platform::host_file_system(), start);
  add_refusals(options, after_start, found);
  if (!start.ends_run && !start.text.empty()) found.warning(commit::kMarkerFile, 0, start.text);
  found.rename_files([](std::string_view file) { return platform::listed_path(file); });
  if (!con.write_lines(check::format_findings(found))) return con.fatal(con.output_fault());
  if (found.errors() > 0) return kExitErrorEnd;
  return options.fit && fit_misses_criteria(t) ? kExitMissedCriteria : kExitNormal;
}

}  // namespace gm
