#pragma once
// Hints: after the message of an error end or the record layer's report, a run given its
// definition file on the command line says what to do about the cause, where the cause is
// one a user can act on and can be told from the files. One line on standard error,
// "gmgather: hint: ..."; the message and the report keep their bytes. The diagnosis runs
// on the error path only, re-reading the start of the files concerned: a run that
// succeeds pays nothing for it.
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>

#include "inputs/definition_file.hpp"
#include "inputs/input_outcome.hpp"

namespace gm {

inline constexpr std::string_view kHintPrefix = "gmgather: hint: ";

// Every hint as the guides show it: ASCII text with {name} where the run puts a value
// (Shift-JIS file names and paths, numbers).
struct HintText {
  std::string_view id;
  std::string_view text;
};
inline constexpr HintText kHints[] = {
    {"utf8", "{file} reads as UTF-8, so its Japanese folder names do not match: save it as Shift-JIS "
             "(in Excel: CSV (Comma delimited))"},
    {"utf16", "{file} is saved as UTF-16 (Unicode text): save it as Shift-JIS"},
    {"bom", "{file} begins with a byte-order mark (UTF-8 with BOM): save it as Shift-JIS or plain ASCII, "
            "without one"},
    {"header-comma", "line 1 of {file} needs a comma between the count and the interval: {count},{interval}"},
    {"header-lines", "{file} has {n} header lines before its first row of numbers (line {line}): a spectrum "
                     "table has exactly 15"},
    {"rows", "{file} ends after {n} of the 55 rows of numbers a spectrum table needs"},
    {"samples", "line 1 of {file} announces {n} samples, but the file ends before the last of them: correct "
                "the count or add the samples"},
    {"trailing", "the folder path \"{folder}\" ends in \"{tail}\", as a spreadsheet saves empty columns: remove "
                 "them from {file}"},
    {"counts", "line 2 of {file} gives {faults} fault(s) and {cases} case(s): a run takes 1 to 6 faults and 1 "
               "to 21 cases"},
    {"counts-unread", "line 2 of {file} must give the fault count (1 to 6) and the case count (1 to 21), as 2,3"},
    {"yen", "the folder path \"{folder}\" holds a full-width yen sign, which separates nothing: write a "
            "backslash instead"},
    {"blank", "the folder path \"{folder}\" begins with a blank, kept from behind the comma: remove it from "
              "{file}"},
    {"relative", "\"{folder}\" is there beside {file}, but relative folder paths start from the current folder: "
                 "run gmgather in the folder of {file}"},
    {"extension", "the folder holds \"{name}\": rename it to \"{wanted}\" (Explorer hides known extensions)"},
    {"no-file", "the folder \"{folder}\" is there, but holds no file named exactly \"{wanted}\""},
    {"line-comma", "each fault and case line of {file} is its number, a comma and the folder path, as "
                   "1,faults\\F1"},
    {"lines", "{file} ends before all the fault and case lines its counts (line 2) announce"},
    {"too-many", "a case holds at most 100000 samples (2000 s at 0.02 s): check the count on line 1 of {file}"},
    {"check", "gmgather --check {file} names the line and the value that failed"},
};

// The text of the hint `id` with its values filled in: fill("rows", {{"file", "a.csv"},
// {"n", "54"}}) -> "a.csv ends after 54 of the 55 rows ...". A name without a value stays
// as it is written; a control byte in a value becomes '?', so that the hint is one line.
std::string fill(std::string_view id, std::initializer_list<std::pair<std::string_view, std::string_view>> values);

// The hint for a run that ended on its definition file, or "" when there is none.
// `definition_file` is the name the run opened it by (Shift-JIS).
std::string hint_after_definition(std::string_view definition_file, const inputs::DefinitionOutcome& outcome);

// The hint for a run that ended on a spectrum table or a waveform, or "".
std::string hint_after_input(std::string_view definition_file, const inputs::InputOutcome& outcome);

}  // namespace gm
