#pragma once
// The whole-run fuzzer's view of the design wave: its error ends (F1 to F6), the lines a
// run asked for it writes last on standard error (a warning for each criterion the wave
// written misses, then the summary) with the status 4 they go with, and what a check of
// the same folder must foresee of them.
#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "check.hpp"
#include "driver/messages.hpp"
#include "driver/run_console.hpp"
#include "tables/run_tables.hpp"

namespace fit_piece {

inline constexpr std::string_view kSummary = "gmgather: design wave: ";
inline constexpr std::string_view kWarning = "gmgather: warning: design wave (iteration ";

// "HEAD\r\nC\r\nTAIL" with C a case number, 1 to 21; `tail` tells whether TAIL is one of F1-F3 or F6.
template <class Tail>
bool is_phase_case_message(std::string_view m, Tail tail) {
  if (!m.starts_with(gm::kFitPhaseCase)) return false;
  m.remove_prefix(gm::kFitPhaseCase.size());
  if (!m.starts_with("\r\n")) return false;
  const std::size_t end = m.find("\r\n", 2);
  if (end == std::string_view::npos || end < 3 || end > 4 || m[2] == '0') return false;
  int number = 0;
  for (const char c : m.substr(2, end - 2)) {
    if (c < '0' || c > '9') return false;
    number = number * 10 + (c - '0');
  }
  return number <= gm::kRunMaxCases && tail(m.substr(end + 2));
}

// A number as the files write a period, without its field's blanks: digits, a point and
// four decimals, at most 12 bytes (or the asterisks of a field it does not fit).
inline bool is_period_text(std::string_view s) {
  if (s.empty() || s.size() > 12) return false;
  if (s.find_first_not_of('*') == std::string_view::npos) return s.size() == 12;
  const std::size_t point = s.find('.');
  return point != std::string_view::npos && point > 0 && s.size() - point == 5 &&
         s.substr(0, point).find_first_not_of("-0123456789") == std::string_view::npos &&
         s.substr(point + 1).find_first_not_of("0123456789") == std::string_view::npos;
}

// F3's tail: " lasts D s, shorter than the longest period T s, no fit ! [Enter]".
inline bool is_too_short_tail(std::string_view t) {
  if (!t.starts_with(gm::kFitLasts) || !t.ends_with(gm::kFitTooShort)) return false;
  t = t.substr(gm::kFitLasts.size(), t.size() - gm::kFitLasts.size() - gm::kFitTooShort.size());
  const std::size_t at = t.find(gm::kFitShorterThan);
  return at != std::string_view::npos && is_period_text(t.substr(0, at)) &&
         is_period_text(t.substr(at + gm::kFitShorterThan.size()));
}

// A design wave that cannot be made (everything after the prompt): the phase case by
// number, or a period as F12.4 gives it.
inline bool is_fit_error_message(std::string_view m) {
  const auto fixed = [](std::string_view t) {
    return t == gm::kFitNotFinite || t == gm::kFitNoMotion || t == gm::kFitTooLarge;
  };
  if (is_phase_case_message(m, fixed) || is_phase_case_message(m, is_too_short_tail)) return true;
  // "HEAD\r\nT\r\nTAIL": each piece of a message on a line of its own.
  for (const std::string_view tail : {gm::kFitBadTarget, gm::kFitBadPeriod}) {
    if (!m.starts_with(gm::kFitTarget) || !m.ends_with(tail) || m.size() < gm::kFitTarget.size() + tail.size() + 4) {
      continue;
    }
    const std::string_view middle = m.substr(gm::kFitTarget.size(), m.size() - gm::kFitTarget.size() - tail.size());
    if (middle.starts_with("\r\n") && middle.ends_with("\r\n") && is_period_text(middle.substr(2, middle.size() - 4))) {
      return true;
    }
  }
  return false;
}

// A run that ended with status 4 placed its files as a normal end does.
inline int as_placed(int status) { return status == gm::kExitMissedCriteria ? gm::kExitNormal : status; }

// Takes the design wave's lines off the end of a run's standard error: a run asked for it
// that placed its files (status 0 or 4) ends with them, every other run has none. A
// warning names a criterion missed, exactly when the status is 4 and the summary says so;
// the warnings' texts (after "gmgather: warning: ") go to `missed`, in order.
inline std::string_view without_fit_lines(std::string_view err, bool fit, int status,
                                          std::vector<std::string>& missed) {
  missed.clear();
  const bool placed = status == gm::kExitNormal || status == gm::kExitMissedCriteria;
  if (!fit || !placed) {
    fuzzing::require(err.find(kSummary) == std::string_view::npos && err.find(kWarning) == std::string_view::npos,
                     "a design-wave line from a run that placed no design wave", err);
    return err;
  }
  const auto last_line_start = [](std::string_view text) {
    const std::size_t before = text.size() >= 3 ? text.rfind('\n', text.size() - 3) : std::string_view::npos;
    return before == std::string_view::npos ? 0 : before + 1;
  };
  fuzzing::require(err.ends_with("\r\n"), "a design wave placed without its summary line", err);
  std::size_t start = last_line_start(err);
  const std::string_view summary = err.substr(start);
  fuzzing::require(summary.starts_with(kSummary), "the run does not end with the design wave's summary", err);
  const bool said_missed = summary.find(", criteria missed; ") != std::string_view::npos;
  fuzzing::require(said_missed || summary.find(", criteria met; ") != std::string_view::npos,
                   "a summary line without its verdict", summary);
  err = err.substr(0, start);
  while (!err.empty() && err.ends_with("\r\n")) {
    start = last_line_start(err);
    const std::string_view line = err.substr(start);
    if (!line.starts_with(kWarning)) break;
    missed.insert(missed.begin(), std::string(line.substr(19, line.size() - 21)));  // after "gmgather: warning: "
    err = err.substr(0, start);
  }
  fuzzing::require(missed.size() <= gm::kFitCriterionRoom, "more design-wave warnings than criteria", summary);
  fuzzing::require(said_missed == !missed.empty() && said_missed == (status == gm::kExitMissedCriteria),
                   "status 4, the warnings and the summary disagree", summary);
  return err;
}

// A check of the same folder asked for the design wave foresees a run that ended with
// status 4: it ends with 4, lists no error, and lists each criterion the run named, in
// the same words, as a warning.
inline void require_check_foresees(const std::vector<std::string>& missed, int check_status,
                                   std::string_view check_out) {
  fuzzing::require(check_status == gm::kExitMissedCriteria, "the run ended with status 4, the check did not",
                   check_out);
  fuzzing::require(check_out.find(": error: ") == std::string_view::npos, "a check that foresees status 4 lists an error",
                   check_out);
  std::size_t from = 0;
  for (const std::string& text : missed) {
    const std::size_t at = check_out.find(": warning: " + text + "\r\n", from);
    fuzzing::require(at != std::string_view::npos, "the check does not list a criterion the run missed", check_out,
                     text);
    from = at + 1;
  }
}

}  // namespace fit_piece
