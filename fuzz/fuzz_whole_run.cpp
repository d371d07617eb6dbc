// Fuzzing of whole runs: the console answer, the definition file, spectrum tables and
// waveforms all come from the input, are laid out in a scratch folder, and the run is
// driven in-process through an in-memory console up to its end. Only the specified ends
// are accepted:
//   - status 0: the console shows the prompt and nothing else; standard error holds at
//     most output conversion reports (error 63) of the result files, and last, for a run
//     asked for the design wave, its summary line;
//   - status 4 (asked for the design wave): as status 0, the summary line after a
//     warning for each criterion the wave missed (fit_piece.hpp);
//   - status 1: the prompt, then one of the checked error messages ending in "[Enter]";
//     nothing on standard error;
//   - status 2: exactly one "txtrec: severe (N): ..." line for an error number N that the
//     unit can meet, naming that unit and its file (after any error 63 reports of result
//     files already written; a refusal while the files are put in place may name any of
//     them).
// After status 1 or 2 the result files and the report page placed in the folder
// beforehand must be byte for byte as they were, and after any run no other file may be
// left behind. A normal end asked for the report replaces the page with a new one; one
// not asked for it takes the earlier page away; the response spectra file likewise. Every
// input is run twice, with one thread and with three, and both runs must end alike: the
// same status, console bytes and result files. Then a check of the same folder (--check
// with the run's options and the name the run was given) must end as the run did, list the
// run's ending as its first error, and change nothing in the folder.
//
// Input layout: pieces separated by lines that start with "====" and name the next piece:
//   (first piece)  the console input: the answer, then the line for the Enter pause
//   def            def.csv
//   f1 .. f6, fj   the spectrum table of folder f1 .. f6, or of folder F3_南海
//   c1 .. c21, cj  the waveform of folder c1 .. c21, or of folder C07_追加検討
//   r1 .. r6       (content ignored) result file 1 .. 6 is a folder instead
//   t1 .. t6       (content ignored) a folder takes the name the run writes result file
//                  1 .. 6 under before putting it in place (its name with ".part")
//   o1 .. o6       (content ignored) a folder takes the name the earlier result file 1 .. 6
//                  is kept under while the new ones go in (its name with ".old")
//   p1 .. p6       a file under result file 1 .. 6's temporary name, as a stopped run
//                  leaves it (a folder asked for under the name wins)
//   b1 .. b6       a file under result file 1 .. 6's backup name: a copy a stopped run
//                  leaves, or one an earlier version left without a marker
//   marker         the bytes of gmgather-unfinished.txt: a marker of this program (whole,
//                  cut short, naming a file outside the set) or another program's file
// With any of t, o, p, b or marker the start of the run finishes, leaves or refuses what
// it finds: the start is first made on its own, and the run must then begin with the same
// line, end at once (status 2, no prompt) when the start refuses, and leave the folder as
// the start left it after any end but a normal one.
//   report         (content ignored) the run is asked for the report page, unit 27 of
//                  the set (these three pieces combine: every option and combination,
//                  and the check that follows each run is asked for the same)
//   spectra        (content ignored) the run is asked for the response spectra file,
//                  unit 28 of the set
//   fit            (content ignored) the run is asked for the design wave, unit 29 of the
//                  set: present after a normal end, never after another
//   limit          decimal digits: a file-size limit of that many bytes beyond the size of
//                  the input (so that a crash report can still save the input) for the
//                  run's writes, which makes a result file meet a full disk
// A piece of any other name is dropped. A file without a piece is absent in that run.
//
// The folder is made under /dev/shm when there is one. The run needs it as its working
// folder; the process changes there only for the run itself, so relative corpus paths
// stay valid, but give -artifact_prefix as an absolute path (fuzz/run.sh does).
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "check.hpp"
#include "check_agreement.hpp"
#include "fit_piece.hpp"
#include "whole_run_workspace.hpp"
#include "commit/unfinished_set.hpp"
#include "driver/messages.hpp"
#include "driver/run.hpp"
#include "tables/run_tables.hpp"
#include "inputs/spectrum_table.hpp"
#include "inputs/waveform.hpp"
#include "platform/console.hpp"
#include "report/page.hpp"
#include "results/result_files.hpp"
#include "support/error_end.hpp"
#include "support/fake_console.hpp"

namespace {

using fuzzing::fail;
using fuzzing::require;
using namespace whole_run;


// --- What a run may show -------------------------------------------------------------

bool starts_with(std::string_view s, std::string_view prefix) {
  return s.substr(0, prefix.size()) == prefix;
}
bool ends_with(std::string_view s, std::string_view suffix) {
  return s.size() >= suffix.size() && s.substr(s.size() - suffix.size()) == suffix;
}

// A decimal number without sign or leading zeros, 1 to `last`.
bool is_number_up_to(std::string_view s, int last) {
  if (s.empty() || s.size() > 2 || s[0] == '0') return false;
  int n = 0;
  for (const char c : s) {
    if (c < '0' || c > '9') return false;
    n = n * 10 + (c - '0');
  }
  return n <= last;
}

// "HEAD\r\n" + number + "\r\n" + TAIL, with the number 1 to `last`.
bool is_numbered_message(std::string_view m, std::string_view head, std::string_view tail,
                         int last) {
  if (!starts_with(m, head) || !ends_with(m, tail) || m.size() < head.size() + tail.size()) {
    return false;
  }
  std::string_view middle = m.substr(head.size(), m.size() - head.size() - tail.size());
  if (!starts_with(middle, "\r\n") || !ends_with(middle, "\r\n") || middle.size() < 4) return false;
  return is_number_up_to(middle.substr(2, middle.size() - 4), last);
}

// The message of a checked error end (everything after the prompt).
bool is_error_end_message(std::string_view m) {
  constexpr std::string_view kNotExist = " not exist ! [Enter]";
  constexpr std::string_view kTooMany = " too many samples ! [Enter]";
  if (m == "Fault number or Case number Error ! [Enter]") return true;
  if (is_numbered_message(m, "Fault data line no.", "Error ! [Enter]", gm::kRunMaxFaults)) {
    return true;
  }
  if (is_numbered_message(m, "Fault data no.", kNotExist, gm::kRunMaxFaults)) return true;
  if (is_numbered_message(m, "Case data line no.", "Error ! [Enter]", gm::kRunMaxCases)) {
    return true;
  }
  if (is_numbered_message(m, "Case data no.", kNotExist, gm::kRunMaxCases)) return true;
  // A name or path that cannot be opened: the definition-file name as typed (at most 40
  // bytes), or a folder path (at most 400 bytes) with the file name joined to it.
  const auto path_then = [&](std::string_view file, std::string_view tail, std::size_t longest) {
    if (!ends_with(m, std::string(file) + std::string(tail))) return false;
    const std::size_t n = m.size() - file.size() - tail.size();
    return n >= 1 && n <= longest && m.substr(0, n).find('\n') == std::string_view::npos;
  };
  if (path_then("", kNotExist, 40)) return true;                           // E1
  if (path_then(inputs::kSpectrumTableName, kNotExist, 400)) return true;  // E7
  if (path_then(inputs::kWaveformName, kNotExist, 400)) return true;       // E8
  if (path_then(inputs::kWaveformName, kTooMany, 400)) return true;        // E9
  if (fit_piece::is_fit_error_message(m)) return true;  // F1 to F6
  return false;
}

// The messages of the error numbers, as the reports must spell them.
std::string_view message_of(int n) {
  switch (n) {
    case 9: return "permission to access file denied";
    case 24: return "end-of-file during read";
    case 29: return "file not found";
    case 30: return "open failure";
    case 38: return "error during write";
    case 42: return "no such device";
    case 43: return "file name specification error";
    case 59: return "list-directed I/O syntax error";
    case 63: return "output conversion error";
    case 64: return "input conversion error";
    default: return {};
  }
}

struct Report {
  bool severe;
  int number;
  int unit;
  std::string_view file;
};

// One report line without its LF: "txtrec: severe (N): MESSAGE, unit U, file F".
std::optional<Report> parse_report(std::string_view line) {
  Report r{};
  if (starts_with(line, "txtrec: severe (")) {
    r.severe = true;
    line.remove_prefix(16);
  } else if (starts_with(line, "txtrec: error (")) {
    r.severe = false;
    line.remove_prefix(15);
  } else {
    return std::nullopt;
  }
  const auto number = [&](int& out) {
    std::size_t i = 0;
    out = 0;
    while (i < line.size() && i < 3 && line[i] >= '0' && line[i] <= '9') {
      out = out * 10 + (line[i++] - '0');
    }
    line.remove_prefix(i);
    return i > 0;
  };
  if (!number(r.number) || !starts_with(line, "): ")) return std::nullopt;
  line.remove_prefix(3);
  const std::string_view message = message_of(r.number);
  if (message.empty() || !starts_with(line, message)) return std::nullopt;
  line.remove_prefix(message.size());
  if (!starts_with(line, ", unit ")) return std::nullopt;
  line.remove_prefix(7);
  if (!number(r.unit) || !starts_with(line, ", file ")) return std::nullopt;
  r.file = line.substr(7);
  return r;
}

// The design wave's unit, the last of the set.
constexpr int kFittedWaveUnit = 29;

bool is_result_unit(int unit) { return unit >= 21 && unit <= kFittedWaveUnit; }

// The file a report names must be the unit's: the console, the definition file (as
// typed), a spectrum table, a waveform, or the result file of that unit.
bool names_its_file(const Report& r) {
  switch (r.unit) {
    case 5: return r.file == "stdin";
    case 11: return !r.file.empty() && r.file.size() <= 40;
    case 12: return ends_with(r.file, inputs::kSpectrumTableName);
    case 13: return ends_with(r.file, inputs::kWaveformName);
    case kPageUnit: return r.file == results::kReportPageFile;
    case kSpectraUnit: return r.file == results::kCaseSpectraFile;
    case kFittedWaveUnit: return r.file == results::kFittedWaveFile;
    default:
      return is_result_unit(r.unit) &&
             r.file == kResultNames[static_cast<std::size_t>(r.unit - 21)];
  }
}

// The errors each unit can meet: the console answer (24; 59 for a value over 2049 bytes),
// the definition file and spectrum tables (24; 64 for a bad number field), the waveforms
// (also 59 for a bad sample), and the result files (refused names and failed writes).
bool unit_can_meet(int unit, int number) {
  switch (unit) {
    case 5: return number == 24 || number == 59;
    case 11:
    case 12: return number == 24 || number == 64;
    case 13: return number == 24 || number == 59 || number == 64;
    default:
      return is_result_unit(unit) && (number == 9 || number == 29 || number == 30 || number == 38 ||
                                      number == 42 || number == 43);
  }
}

// Checks standard error: error 63 reports of result files in the order written, then
// (for status 2) the one severe report. Returns the severe report, if any.
std::optional<Report> check_reports(std::string_view err, bool severe_expected) {
  std::optional<Report> severe;
  int last_unit = 0;
  while (!err.empty()) {
    const std::size_t lf = err.find('\n');
    require(lf != std::string_view::npos, "standard error does not end with a line end", err);
    const std::string_view line = err.substr(0, lf);
    err.remove_prefix(lf + 1);
    const std::optional<Report> r = parse_report(line);
    require(r.has_value(), "an unexpected line on standard error", line);
    require(!severe, "a line on standard error after the severe report", line);
    require(names_its_file(*r), "a report that does not name its unit's file", line);
    if (!r->severe) {
      require(r->number == 63 && is_result_unit(r->unit) && r->unit >= last_unit,
              "an error report other than an overflow of a result file", line);
      last_unit = r->unit;
      continue;
    }
    require(severe_expected, "a severe report with a status other than 2", line);
    require(unit_can_meet(r->unit, r->number), "a severe report this unit cannot have", line);
    // Every input is read before the first result file is written, but the files are put
    // in place only once all are written: a refusal then may name an earlier unit than
    // the last overflow.
    require(last_unit == 0 || is_result_unit(r->unit),
            "overflow reports before a severe report of an input", line);
    severe = r;
  }
  require(!severe_expected || severe.has_value(), "status 2 without a severe report");
  return severe;
}

// What the start says, which the run must say first: the line of a start made on its own
// in the same folder (empty when the layout leaves it nothing). What follows.
std::string_view after_start(std::string_view err, std::string_view start_line) {
  require(starts_with(err, start_line), "the run's start said otherwise than a start on its own", err, start_line);
  return err.substr(start_line.size());
}

// How a run ended, in the words a check lists first: `error` empty for a normal end. Not
// comparable when the console answer could not be read (no name to check) or a write met
// the file-size limit (a full disk, which nothing foresees).
struct Ending {
  bool comparable = true;
  std::string error;
};

Ending check_outcome(int status, const testing_support::FakeConsole& console, const Request& request,
                     const commit::SetRepair& start, std::vector<std::string>& missed) {
  if (start.ends_run()) {
    // Before the prompt: a start that will not touch the marker, or cannot finish its set.
    require(status == gm::kExitFatal && console.out.empty() && console.err == start.line,
            "a start that ends the run did not end it at once", console.err, std::to_string(status));
    return {true, start.line.substr(10, start.line.size() - 12)};  // "gmgather: " ... "\r\n"
  }
  const std::string err_text(
      fit_piece::without_fit_lines(after_start(console.err, start.line), request.fit, status, missed));
  const std::string_view out = console.out;
  require(starts_with(out, gm::kPrompt), "the console does not start with the prompt", out);
  const std::string_view after_prompt = out.substr(gm::kPrompt.size());
  switch (status) {
    case gm::kExitNormal:
    case gm::kExitMissedCriteria:  // the files placed, the design wave's criteria missed
      require(after_prompt.empty(), "a normal end wrote more than the prompt", out);
      check_reports(err_text, false);
      return {};
    case gm::kExitErrorEnd:
      require(is_error_end_message(after_prompt), "an error end with an unknown message",
              after_prompt);
      require(err_text.empty(), "an error end wrote to standard error", err_text);
      return {true, testing_support::error_end_on_one_line(after_prompt)};
    case gm::kExitFatal: {
      const std::optional<Report> severe = check_reports(err_text, true);
      // Only the Enter pause reads the console after a message: a report of the console's
      // end of input may follow the message of an error end.
      const bool after_message =
          severe->unit == 5 && severe->number == 24 && is_error_end_message(after_prompt);
      require(after_prompt.empty() || after_message, "a severe report after console output", out);
      if (after_message) return {true, testing_support::error_end_on_one_line(after_prompt)};
      if (severe->unit == 5 || (request.size_limit && is_result_unit(severe->unit))) return {false, {}};
      const std::size_t at = err_text.find("txtrec: severe");
      return {true, err_text.substr(at, err_text.find_first_of("\r\n", at) - at)};
    }
    default: fail("an exit status that is none of 0, 1, 2, 4", std::to_string(status));
  }
}

// The six result files: as placed before the run after an error end; replaced by real
// results after a normal end.
void check_result_files(const Workspace& ws, const Request& request, int status) {
  for (int k = 0; k < kResultCount; ++k) {
    const auto i = static_cast<std::size_t>(k);
    if (request.result_is_folder[i]) {
      require(Workspace::is_folder(ws.result_path(k)),
              "a folder in the place of a result file is gone");
      continue;
    }
    const std::optional<std::string> bytes = Workspace::read_file(ws.result_path(k));
    require(bytes.has_value(), "a result file is missing after the run", kResultHostNames[i]);
    if (status == gm::kExitNormal) {
      require(*bytes != earlier_result(k), "a normal end left a result file unwritten",
              kResultHostNames[i]);
    } else {
      require(*bytes == earlier_result(k), "an error end changed a result file of an earlier run",
              *bytes, earlier_result(k));
    }
  }
}

// The report page: replaced by a whole page (the document, nothing to run) after a normal
// end asked for it, gone after a normal end not asked for it (it belonged to the earlier
// set), as placed before the run otherwise.
void check_page(const Workspace& ws, const Request& request, int status) {
  const std::optional<std::string> bytes = Workspace::read_file(ws.page_path());
  if (status == gm::kExitNormal && !request.report) {
    require(!bytes.has_value(), "a normal end left the report page of an earlier run");
    return;
  }
  require(bytes.has_value(), "the report page is missing after the run");
  if (status != gm::kExitNormal) {
    require(*bytes == kEarlierPage, "a run changed the report page of an earlier run", *bytes);
    return;
  }
  require(starts_with(*bytes, "<!DOCTYPE html>\n") && ends_with(*bytes, "</html>\n"),
          "the report page is not a whole document");
  require(bytes->find("<script") == std::string::npos, "the report page holds a script");
}

// The response spectra file, as the page: rewritten after a normal end asked for it (a
// title, the column heads and the 55 period rows), gone after one not asked for it, as
// placed before the run otherwise.
void check_spectra(const Workspace& ws, const Request& request, int status) {
  const std::optional<std::string> bytes = Workspace::read_file(ws.spectra_path());
  if (status == gm::kExitNormal && !request.spectra) {
    require(!bytes.has_value(), "a normal end left the response spectra of an earlier run");
    return;
  }
  require(bytes.has_value(), "the response spectra file is missing after the run");
  if (status != gm::kExitNormal) {
    require(*bytes == kEarlierSpectra, "a run changed the response spectra of an earlier run", *bytes);
    return;
  }
  require(static_cast<std::size_t>(std::count(bytes->begin(), bytes->end(), '\n')) == kSpectraLines &&
              ends_with(*bytes, "\n"),
          "the response spectra file is not 57 whole lines", *bytes);
}

// Puts the run tables back to their load-time zeros.
void reset_tables(gm::RunTables& t) {
  // The waveform tables whole: a check that follows a run reads every case, those behind
  // one in error too, and a count refused (above the table's room) is left at 0 in the
  // table: the counts need not cover every cell written.
  std::memset(t.case_acceleration, 0, sizeof t.case_acceleration);
  std::memset(t.case_peak_velocity, 0, sizeof t.case_peak_velocity);
  std::memset(t.case_velocity_checkpoints, 0, sizeof t.case_velocity_checkpoints);
  static_assert(
      offsetof(gm::RunTables, case_acceleration) < offsetof(gm::RunTables, case_peak_velocity) &&
      offsetof(gm::RunTables, case_peak_velocity) < offsetof(gm::RunTables, case_velocity_checkpoints));
  std::memset(static_cast<void*>(&t), 0, offsetof(gm::RunTables, case_acceleration));
}

Workspace* workspace = nullptr;
bool verbose = false;  // GMGATHER_FUZZ_VERBOSE=1: show how each run ended (for seeds)

// The page with every "YYYY-MM-DD hh:mm:ss" blanked: it shows when it was made, to the
// second, which two runs need not share.
std::optional<std::string> without_times(std::optional<std::string> page) {
  if (!page) return page;
  constexpr std::string_view kShape = "0000-00-00 00:00:00";
  std::string& p = *page;
  for (std::size_t i = 0; i + kShape.size() <= p.size(); ++i) {
    bool match = true;
    for (std::size_t k = 0; k < kShape.size() && match; ++k) {
      const char c = p[i + k];
      match = kShape[k] == '0' ? (c >= '0' && c <= '9') : c == kShape[k];
    }
    if (match) p.replace(i, kShape.size(), kShape.size(), '#');
  }
  return page;
}

// How one run ended, for comparing runs with different thread counts.
struct RunEnd {
  int status = 0;
  Ending ending;
  std::string definition_file;  // the name the run was given
  std::string out;
  std::string err;
  std::vector<std::optional<std::string>> results;
  std::vector<std::string> missed;  // the design wave's criteria missed, as the run named them
};

// The start of a run made on its own in the laid-out folder, and the folder it leaves,
// held to what no start may do: touch a marker it refuses, bring back a copy, leave a
// temporary file or a marker behind when it does not end the run. The folder is laid out
// again afterwards.
struct StartMade {
  commit::SetRepair repair;
  std::map<std::string, std::string> folder;
};

StartMade make_start(Workspace& ws, const Request& request) {
  StartMade made;
  if (!request.leaves_something()) return made;
  ws.lay_out(request);
  const auto laid_out = fuzzing::snapshot(ws.root());
  ws.in_folder([&] {
    made.repair = commit::finish_unfinished_set(platform::host_file_system(), "", results::set_names());
    return 0;
  });
  made.folder = fuzzing::snapshot(ws.root());
  const auto at = [&](const std::string& path) {
    const auto it = made.folder.find(path);
    return it == made.folder.end() ? std::string("<none>") : it->second;
  };
  if (made.repair.action == commit::SetRepair::Action::Refused) {
    require(made.folder == laid_out, "a start changed the folder beside a marker it refuses", made.repair.line);
  }
  for (int k = 0; k < kResultCount; ++k) {
    const auto i = static_cast<std::size_t>(k);
    const std::optional<std::string_view> copy = request.stale_backup[i];
    if (copy && !request.backup_is_folder[i] && *copy != earlier_result(k) && request.stale_temporary[i] != copy) {
      require(at(ws.result_path(k)) != *copy, "a start brought a copy back", kResultHostNames[i]);
    }
    if (!made.repair.ends_run() && !request.temporary_is_folder[i]) {
      require(at(ws.temporary_path(k)) == "<none>", "a start left a temporary file", kResultHostNames[i]);
    }
  }
  require(made.repair.ends_run() || at(ws.marker_path()) == "<none>", "a start that goes on left the marker");
  ws.restore(request, true);
  return made;
}

// Lays out the request, runs it with `threads`, checks its end and the folder it leaves,
// and puts the folder back.
RunEnd run_once(Workspace& ws, const Request& request, int threads) {
  const StartMade start = make_start(ws, request);
  ws.lay_out(request);
  testing_support::FakeConsole console{std::string(request.console)};
  const int status = ws.in_folder([&] {
    // A write beyond the limit must fail as a write; libFuzzer's own handler for the
    // signal would take it for a finding, so it is put aside for the run.
    rlimit saved{};
    struct sigaction fuzzer_action {};
    if (request.size_limit) {
      struct sigaction ignore {};
      ignore.sa_handler = SIG_IGN;
      ::sigaction(SIGXFSZ, &ignore, &fuzzer_action);
      ::getrlimit(RLIMIT_FSIZE, &saved);
      const rlimit limit{*request.size_limit, saved.rlim_max};
      ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    gm::RunOptions options;
    options.report = request.report;
    options.spectra = request.spectra;
    options.fit = request.fit;
    const parallel::Pool pool(threads);
    const int s = gm::run(console, gm::run_tables, pool, options);
    if (request.size_limit) {
      ::setrlimit(RLIMIT_FSIZE, &saved);
      ::sigaction(SIGXFSZ, &fuzzer_action, nullptr);
    }
    return s;
  });
  const std::string definition_file(gm::run_tables.definition_file_name.bytes.data(),
                                    static_cast<std::size_t>(gm::run_tables.definition_file_name_length));
  reset_tables(gm::run_tables);
  if (verbose) {
    std::fprintf(
        stderr, "status %d\n  stdout: %s\n  stderr: %s\n", status,
        fuzzing::escaped(
            console.out.substr(gm::kPrompt.size() <= console.out.size() ? gm::kPrompt.size() : 0))
            .c_str(),
        fuzzing::escaped(console.err.substr(0, 300)).c_str());
  }

  std::vector<std::string> missed;
  const Ending ending = check_outcome(status, console, request, start.repair, missed);
  const int placed = fit_piece::as_placed(status);
  const bool after_start_only = request.leaves_something() && placed != gm::kExitNormal;
  if (after_start_only) {
    require(fuzzing::snapshot(ws.root()) == start.folder, "a run that did not end normally changed the folder "
            "its start left");
  } else {
    check_result_files(ws, request, placed);
    check_page(ws, request, placed);
    check_spectra(ws, request, placed);
  }
  const std::set<std::string> entries = ws.entries();
  const std::set<std::string> expected = ws.expected_entries(request, placed);
  if (entries != expected && !after_start_only) {
    std::string extra;
    for (const std::string& e : entries) {
      if (!expected.count(e)) extra += e + " ";
    }
    for (const std::string& e : expected) {
      if (!entries.count(e)) extra += "(missing) " + e + " ";
    }
    fail("the run left the folder with other entries than it found", extra);
  }
  RunEnd end{status, ending, definition_file, console.out, console.err, {}, missed};
  for (int k = 0; k < kResultCount; ++k) end.results.push_back(Workspace::read_file(ws.result_path(k)));
  end.results.push_back(without_times(Workspace::read_file(ws.page_path())));
  end.results.push_back(Workspace::read_file(ws.spectra_path()));
  ws.restore(request, placed == gm::kExitNormal);
  return end;
}

// A check of the same folder, asked for what the run was asked for, of the name the run
// was given: it ends as the run did, lists the run's ending first, and changes nothing.
void check_agrees(Workspace& ws, const Request& request, const RunEnd& run) {
  if (!run.ending.comparable) return;
  ws.lay_out(request);
  const auto before = fuzzing::snapshot(ws.root());
  testing_support::FakeConsole console{std::string()};
  const int status = ws.in_folder([&] {
    gm::RunOptions options;
    options.check = true;
    options.definition_file = run.definition_file;
    options.report = request.report;
    options.spectra = request.spectra;
    options.fit = request.fit;
    const parallel::Pool pool(2);
    return gm::run(console, gm::run_tables, pool, options);
  });
  reset_tables(gm::run_tables);
  if (verbose) std::fprintf(stderr, "check %d\n  stdout: %s\n", status, fuzzing::escaped(console.out).c_str());
  require(fuzzing::snapshot(ws.root()) == before, "the check changed the folder");
  require(console.err.empty(), "the check wrote to standard error", console.err);
  if (run.status == gm::kExitMissedCriteria) {
    fit_piece::require_check_foresees(run.missed, status, console.out);
  } else {
    fuzzing::require_check_agrees(run.ending.error, status, console.out);
  }
  ws.restore(request, false);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // As the program does at start (a refused write must come back as an error, not a
  // signal), though libFuzzer sets its own signal handlers after this.
  platform::prepare_process();
  workspace = new Workspace();
  verbose = std::getenv("GMGATHER_FUZZ_VERBOSE") != nullptr;
  std::atexit([] { delete workspace; });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  Workspace& ws = *workspace;
  const Request request = split_input(input, ws.input_files());

  // Keep the runs inside the scratch folder: no answer may name the host's process and
  // device trees, where a "file" can block or never end.
  std::string answer(request.console);
  std::erase(answer, '\n');
  std::erase(answer, '\r');
  if (answer.find("proc") != std::string::npos || answer.find("sys") != std::string::npos) {
    return -1;
  }

  // Once with one thread, once with three: each must end as specified, and both alike.
  const RunEnd one = run_once(ws, request, 1);
  const RunEnd three = run_once(ws, request, 3);
  require(three.status == one.status, "1 and 3 threads end with different statuses",
          std::to_string(one.status), std::to_string(three.status));
  require(three.out == one.out, "1 and 3 threads show different console output", one.out, three.out);
  require(three.err == one.err, "1 and 3 threads report differently", one.err, three.err);
  require(three.results == one.results, "1 and 3 threads leave different result files");
  check_agrees(ws, request, one);
  return 0;
}
