#include "driver/hints.hpp"

#include <algorithm>
#include <cstddef>
#include <optional>

#include "driver/hint_files.hpp"
#include "inputs/file_layouts.hpp"
#include "inputs/spectrum_table.hpp"
#include "inputs/waveform.hpp"
#include "platform/fs.hpp"
#include "tables/run_tables.hpp"
#include "textio/report.hpp"

namespace gm {
namespace {

using detail::Encoding;

std::string hint_text(std::string_view id) {
  for (const HintText& h : kHints) {
    if (h.id == id) return std::string(h.text);
  }
  return {};
}

// What the encoding of a file a run read says, if it is the cause: UTF-16 in any file, a
// byte-order mark where it is read as data (`mark_matters`).
std::optional<std::string> encoding_hint(std::string_view file, Encoding encoding, bool mark_matters) {
  if (encoding == Encoding::Utf16) return fill("utf16", {{"file", file}});
  if (encoding == Encoding::Utf8WithMark && mark_matters) return fill("bom", {{"file", file}});
  return std::nullopt;
}

// A waveform's header: "1500 0.02" (a blank or a tab, no comma) puts the interval into
// the count's 20-byte field.
std::optional<std::string> header_hint(std::string_view file, std::string_view bytes) {
  const std::vector<std::string_view> lines = detail::first_lines(bytes, 1);
  if (lines.empty() || lines[0].find(',') != std::string_view::npos) return std::nullopt;
  const std::vector<std::string_view> words = detail::words(lines[0]);
  if (words.size() != 2 || !detail::is_number(words[0]) || !detail::is_number(words[1])) return std::nullopt;
  return fill("header-comma", {{"file", file}, {"count", words[0]}, {"interval", words[1]}});
}

// A waveform that ends before its count: the count its header announces, read as the run
// reads it (up to a comma or 20 bytes, blanks inside left out). A count of 0 or less
// ends the file early for another reason: it still needs a record after the header.
std::optional<std::string> samples_hint(std::string_view file, std::string_view bytes) {
  const std::vector<std::string_view> lines = detail::first_lines(bytes, 1);
  if (lines.empty()) return std::nullopt;
  std::string count;
  for (char c : lines[0].substr(0, std::min<std::size_t>(lines[0].find(','), 20))) {
    if (c != ' ') count.push_back(c);
  }
  if (!detail::is_whole_number(count) || count.starts_with('-') || count.find_first_not_of("+0") == std::string::npos) {
    return std::nullopt;
  }
  return fill("samples", {{"file", file}, {"n", count}});
}

// Whether the rows of a table start at line `i`: it and the two after it (as far as the
// table goes) are rows of numbers, so that a header line that happens to hold numbers
// and commas is not taken for the first row.
bool rows_start_at(const std::vector<std::string_view>& lines, std::size_t i) {
  for (std::size_t k = i; k < lines.size() && k < i + 3; ++k) {
    if (!detail::is_data_row(lines[k])) return false;
  }
  return true;
}

// A spectrum table read one row off (a header line too many or too few), or one that
// ends before its 55 rows.
std::optional<std::string> table_hint(std::string_view file, std::string_view bytes, int number) {
  const std::vector<std::string_view> lines = detail::first_lines(bytes, 400);
  std::size_t first_row = 0;
  while (first_row < lines.size() && !rows_start_at(lines, first_row)) ++first_row;
  if (first_row == lines.size()) return std::nullopt;
  if (first_row != static_cast<std::size_t>(inputs::kSpectrumHeaderLines)) {
    return fill("header-lines",
                {{"file", file}, {"n", std::to_string(first_row)}, {"line", std::to_string(first_row + 1)}});
  }
  // Every line after the header is a row to the run, an empty one too (it reads as zeros).
  const std::size_t rows = lines.size() - first_row;
  if (number != textio::kErrEndOfFile || rows >= static_cast<std::size_t>(gm::kPeriodCount)) return std::nullopt;
  return fill("rows", {{"file", file}, {"n", std::to_string(rows)}});
}

// The record layer's report on a spectrum table or a waveform.
std::string report_hint(std::string_view definition_file, const textio::Fault& fault) {
  const std::optional<std::string> bytes = detail::peek(fault.file);
  std::optional<std::string> hint;
  if (bytes) {
    const bool waveform = fault.unit == inputs::kWaveformUnit;
    hint = encoding_hint(fault.file, detail::encoding_of(*bytes), waveform);
    if (!hint && waveform && fault.number == textio::kErrInputConversion) hint = header_hint(fault.file, *bytes);
    if (!hint && waveform && fault.number == textio::kErrEndOfFile) hint = samples_hint(fault.file, *bytes);
    if (!hint && fault.unit == inputs::kSpectrumTableUnit) hint = table_hint(fault.file, *bytes, fault.number);
  }
  return hint ? *hint : fill("check", {{"file", detail::as_argument(definition_file)}});
}

}  // namespace

std::string fill(std::string_view id, std::initializer_list<std::pair<std::string_view, std::string_view>> values) {
  std::string text = hint_text(id);
  for (const auto& [name, value] : values) {
    // A hint is one line whatever a file holds: a control byte in a path or a field
    // (a CR inside a line, an escape) shows as '?'.
    std::string shown(value);
    for (char& c : shown) {
      if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
    }
    // Appended piece by piece: GCC 12 warns falsely on "literal" + std::string (GCC bug
    // 105329).
    std::string mark(1, '{');
    mark.append(name).append(1, '}');
    for (std::size_t at = text.find(mark); at != std::string::npos; at = text.find(mark, at + shown.size())) {
      text.replace(at, mark.size(), shown);
    }
  }
  return text;
}

std::string hint_after_definition(std::string_view definition_file, const inputs::DefinitionOutcome& outcome) {
  using Kind = inputs::DefinitionOutcome::Kind;
  if (outcome.kind != Kind::BadCounts && outcome.kind != Kind::Fault) return {};
  const std::optional<std::string> bytes = detail::peek(definition_file);
  if (!bytes) return {};
  if (detail::encoding_of(*bytes) == Encoding::Utf16) return fill("utf16", {{"file", definition_file}});
  if (outcome.kind == Kind::BadCounts) return detail::counts_hint(definition_file, *bytes);
  if (outcome.fault.number == textio::kErrInputConversion) return fill("line-comma", {{"file", definition_file}});
  if (outcome.fault.number == textio::kErrEndOfFile) return fill("lines", {{"file", definition_file}});
  return fill("check", {{"file", detail::as_argument(definition_file)}});
}

std::string hint_after_input(std::string_view definition_file, const inputs::InputOutcome& outcome) {
  using Kind = inputs::InputOutcome::Kind;
  switch (outcome.kind) {
    case Kind::Ok: break;
    case Kind::CannotOpen: return detail::not_opened_hint(definition_file, outcome.path);
    case Kind::TooManySamples: return fill("too-many", {{"file", outcome.path}});
    case Kind::Fault: return report_hint(definition_file, outcome.fault);
  }
  return {};
}

}  // namespace gm
