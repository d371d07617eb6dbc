#pragma once
// The texts of the error ends, as the console shows them when the run was started without
// a definition file: the text that ends a message closes with "[Enter]", and the run then
// waits for Enter. Started with a definition file, the run writes the same texts to
// standard error without the " [Enter]", and does not wait.
#include <string_view>

#include "inputs/spectrum_table.hpp"
#include "inputs/waveform.hpp"

namespace gm {

inline constexpr std::string_view kEnterMark = " [Enter]";

// E1 (after the definition file's name), E4 and E6 (after the number), E7 and E8 (after
// the path of the spectrum table or waveform).
inline constexpr std::string_view kNotExist = " not exist ! [Enter]";
// E2.
inline constexpr std::string_view kBadCounts = "Fault number or Case number Error ! [Enter]";
// E3: the label, the line's position in the fault section, the closing text.
inline constexpr std::string_view kBadFaultLine = "Fault data line no.";
inline constexpr std::string_view kLineError = "Error ! [Enter]";  // also E5
// E4: the label, the fault number, kNotExist.
inline constexpr std::string_view kMissingFault = "Fault data no.";
// E5: the label, the line's position in the case section, kLineError.
inline constexpr std::string_view kBadCaseLine = "Case data line no.";
// E6: the label, the case number, kNotExist.
inline constexpr std::string_view kMissingCase = "Case data no.";
// E9, after the waveform's path.
inline constexpr std::string_view kTooManySamples = " too many samples ! [Enter]";

// F1 to F3 and F6 (after kFitPhaseCase and the phase case's number), F4 and F5 (after
// kFitTarget and the period, as the files write it): the design wave cannot be made.
inline constexpr std::string_view kFitPhaseCase = "Phase case no.";
inline constexpr std::string_view kFitNotFinite = " has a sample that is not a number, no fit ! [Enter]";
inline constexpr std::string_view kFitNoMotion = " has no motion (all samples equal), no fit ! [Enter]";
// F3: kFitLasts, the record's duration (samples x 0.02 s), kFitShorterThan, the longest
// period, kFitTooShort; both numbers as the files write periods (F12.4, blanks dropped).
inline constexpr std::string_view kFitLasts = " lasts ";
inline constexpr std::string_view kFitShorterThan = " s, shorter than the longest period ";
inline constexpr std::string_view kFitTooShort = " s, no fit ! [Enter]";
// F3 after its number as the guides quote it, D and T standing for the two durations.
inline constexpr std::string_view kFitTooShortQuoted = " lasts D s, shorter than the longest period T s, no fit ! [Enter]";
static_assert(kFitTooShortQuoted.starts_with(kFitLasts) &&
              kFitTooShortQuoted.substr(kFitLasts.size() + 1).starts_with(kFitShorterThan) &&
              kFitTooShortQuoted.substr(kFitLasts.size() + 1 + kFitShorterThan.size() + 1) == kFitTooShort);
// F6: the fitted wave has a sample beyond what an F14.6 field holds.
inline constexpr std::string_view kFitTooLarge = " fitted to the target exceeds its field (F14.6), no fit ! [Enter]";
inline constexpr std::string_view kFitTarget = "Target spectrum at period ";
inline constexpr std::string_view kFitBadTarget = " s is not positive and finite, no fit ! [Enter]";
inline constexpr std::string_view kFitBadPeriod = " s: the period is not positive and finite, no fit ! [Enter]";

// Every error end as the guides show it. Its message is `text`, written after the name of
// the definition file (`after` "NAME") or after the path of an input file (`after` that
// file's name, behind its FOLDER); or, with a `label`, the label on a line of its own,
// the number it names on the next, and `text` on the last.
struct ErrorEnd {
  std::string_view id;
  std::string_view after;
  std::string_view label;
  std::string_view text;
};
inline constexpr ErrorEnd kErrorEnds[] = {
    {"E1", "NAME", "", kNotExist},
    {"E2", "", "", kBadCounts},
    {"E3", "", kBadFaultLine, kLineError},
    {"E4", "", kMissingFault, kNotExist},
    {"E5", "", kBadCaseLine, kLineError},
    {"E6", "", kMissingCase, kNotExist},
    {"E7", inputs::kSpectrumTableName, "", kNotExist},
    {"E8", inputs::kWaveformName, "", kNotExist},
    {"E9", inputs::kWaveformName, "", kTooManySamples},
    {"F1", "", kFitPhaseCase, kFitNotFinite},
    {"F2", "", kFitPhaseCase, kFitNoMotion},
    {"F3", "", kFitPhaseCase, kFitTooShortQuoted},
    {"F4", "", kFitTarget, kFitBadTarget},
    {"F5", "", kFitTarget, kFitBadPeriod},
    {"F6", "", kFitPhaseCase, kFitTooLarge},
};

// The line a run in a console window of its own ends with, before the folder that holds
// the result files; UTF-8, written in Shift-JIS.
inline constexpr std::string_view kResultFolderLine = "結果ファイルの出力先 (result folder): ";

// The text without its closing " [Enter]", as standard error gets it.
constexpr std::string_view without_enter_mark(std::string_view text) {
  return text.ends_with(kEnterMark) ? text.substr(0, text.size() - kEnterMark.size()) : text;
}

}  // namespace gm
