#include "check/spectrum_check.hpp"

#include <algorithm>
#include <cmath>

#include "inputs/spectrum_table.hpp"
#include "textio/number_parse.hpp"

namespace check {
namespace {

constexpr int kHeaderLines = inputs::kSpectrumHeaderLines;
constexpr int kRows = gm::kPeriodCount;
constexpr std::size_t kFields = inputs::kSpectrumFields;

std::string row_name(int row) { return "data row " + std::to_string(row); }

// The rows with one kind of hazard: the first of them, with its message, and how many.
struct RowTally {
  int first_row = 0;
  int count = 0;
  std::string text;
  // True for the first row, whose message the caller then writes.
  bool note(int row) {
    if (count++ > 0) return false;
    first_row = row;
    return true;
  }
  void note(int row, const std::string& message) {
    if (!message.empty() && note(row)) text = message;
  }
  void report(std::string_view path, Findings& out) const {
    if (count == 0) return;
    out.warning(path, kHeaderLines + first_row,
                count > 1 ? text + "; " + std::to_string(count) + " rows like it" : text);
  }
};

double field_value(std::string_view text) noexcept { return textio::parse_real_field(text, 0).value; }

// The data rows a reading that ended with `fault` took whole.
int rows_read(bool ok, const textio::Fault& fault) noexcept {
  if (ok) return kRows;
  const int whole_lines = fault.number == textio::kErrEndOfFile ? fault.line : fault.line - 1;
  return std::clamp(whole_lines - kHeaderLines, 0, kRows);
}

std::string table_failure(const textio::Fault& fault) {
  if (fault.number == textio::kErrEndOfFile) {
    if (fault.line == 0) return "the file is empty";
    if (fault.line < kHeaderLines) return "the file ends in its header, after line " + std::to_string(fault.line) + " of 15";
    return "the file ends before " + row_name(fault.line + 1 - kHeaderLines) + " of 55";
  }
  if (fault.number == textio::kErrRead) return "the file cannot be read beyond this line";
  const int item = std::clamp(fault.item, 1, static_cast<int>(kFields));
  return "field " + std::to_string(item) + " of " + row_name(fault.line - kHeaderLines) + " reads " +
         quoted(trim_blanks(fault.text));
}

// Fault 1's periods are every fault's: they must be above 0 and rise from row to row.
void check_period_axis(const PeriodColumn& periods, std::string_view path, Findings& out) {
  RowTally not_positive, not_rising;
  for (int row = 1; row <= periods.rows; ++row) {
    const auto j = static_cast<std::size_t>(row - 1);
    const double p = periods.value[j];
    if (!(p > 0.0) || !std::isfinite(p)) {
      if (not_positive.note(row)) {
        not_positive.text = "the period " + quoted(periods.text[j]) + " in " + row_name(row) +
                            (std::isfinite(p) ? " is not above 0" : " is not a finite number");
      }
    }
    if (row > 1 && !(p > periods.value[j - 1]) && not_rising.note(row)) {
      not_rising.text = "the period " + quoted(periods.text[j]) + " in " + row_name(row) +
                        " is not greater than " + quoted(periods.text[j - 1]) + " in " + row_name(row - 1) +
                        ": the periods must rise from row to row";
    }
  }
  not_positive.report(path, out);
  not_rising.report(path, out);
}

void compare_periods(const PeriodColumn& periods, const PeriodColumn& fault1, std::string_view path, Findings& out) {
  RowTally differ;
  for (int row = 1; row <= std::min(periods.rows, fault1.rows); ++row) {
    const auto j = static_cast<std::size_t>(row - 1);
    if (periods.value[j] != fault1.value[j] && differ.note(row)) {
      differ.text = "the period " + quoted(periods.text[j]) + " in " + row_name(row) + " differs from " +
                    quoted(fault1.text[j]) + " in fault 1's table: a run takes fault 1's periods for every fault";
    }
  }
  differ.report(path, out);
}

// Lines behind data row 55 that hold anything.
void check_lines_behind(textio::RecordReader& reader, std::string_view path, Findings& out) {
  const textio::PassedOver behind = reader.pass_over_rest();
  if (behind.lines_used == 0) return;
  out.warning(path, behind.first_used_line,
              "the table goes on behind data row 55: " +
                  (behind.lines_used == 1 ? std::string("this line is")
                                          : "this line and " + std::to_string(behind.lines_used - 1) + " more are") +
                  " not read");
}

}  // namespace

void SpectrumTableWatch::field(const textio::FieldCut& cut) {
  if (cut.item == 1) fields_.clear();
  fields_.push_back({std::string(cut.text), cut.present, cut.ended_by_comma, cut.full, cut.next, std::string(cut.rest)});
}

void SpectrumTableWatch::dropped(const textio::PassedOver& rest) { end_row(rest.lines_used > 0); }

// The row whose fields were just cut, `rest_used` when its record goes on behind them
// with anything but blanks.
void SpectrumTableWatch::end_row(bool rest_used) {
  fields_.resize(kFields);  // a row that failed part way is never looked at (finish)
  const int row = static_cast<int>(rows_.size()) + 1;
  Row r;
  for (std::size_t f = 0; f < kFields; ++f) {
    const Field& field = fields_[f];
    // A comma behind the last field only starts a 29th, which nobody reads.
    if (!field.full || (f + 1 == kFields && field.next == ',')) continue;
    const std::string number = std::to_string(f + 1);
    if (field.next == ',') {
      r.cut = "field " + number + " of " + row_name(row) + ", " + quoted(field.text) +
              ", fills all 20 bytes: the comma behind it makes an empty field " + std::to_string(f + 2) +
              ", and every later value moves one field on";
    } else {
      const std::string& after = f + 1 < kFields ? fields_[f + 1].text : field.rest;
      r.cut = "the value " + quoted(field.text + after) + " in " + row_name(row) +
              " is longer than a 20-byte field: it is cut to " + quoted(field.text) +
              (f + 1 < kFields ? " and the rest is read as field " + std::to_string(f + 2)
                               : std::string(" and the rest is not read"));
    }
    break;
  }
  const Field& spectrum = fields_[kFields - 1];
  const std::string_view spectrum_text = trim_blanks(spectrum.text);
  if (spectrum_text.empty()) {
    const bool blank = !rest_used && std::all_of(fields_.begin(), fields_.end(), [](const Field& f) {
      return !f.ended_by_comma && trim_blanks(f.text).empty();
    });
    const auto present = std::count_if(fields_.begin(), fields_.end(), [](const Field& f) { return f.present; });
    r.no_spectrum = blank                 ? row_name(row) + " is blank: its period and spectrum read as 0"
                    : spectrum.present    ? row_name(row) + " has an empty field 28: its spectrum reads as 0"
                                          : row_name(row) + " has " + std::to_string(present) +
                                                " fields, not 28: its spectrum reads as 0";
  } else if (const double v = field_value(spectrum.text); !(v > 0.0) || !std::isfinite(v)) {
    r.bad_spectrum = "the spectrum value " + quoted(spectrum_text) + " in " + row_name(row) +
                     (std::isfinite(v) ? " is not above 0" : " is not a finite number");
  }
  r.period = field_value(fields_[0].text);
  r.period_text = std::string(trim_blanks(fields_[0].text));
  rows_.push_back(std::move(r));
  fields_.clear();
}

void SpectrumTableWatch::finish(int k, textio::RecordReader& reader, const inputs::InputOutcome& outcome,
                                const PeriodColumn* fault1, PeriodColumn& periods, Findings& out) {
  const std::string_view path = outcome.path;
  const std::size_t first = out.size();
  if (outcome.kind == inputs::InputOutcome::Kind::Fault) {
    out.error(path, outcome.fault.line, record_error_text(outcome.fault, table_failure(outcome.fault)));
  }
  if (byte_order_mark_) out.warning(path, 1, std::string(kByteOrderMarkText));
  periods = PeriodColumn{};
  periods.file.assign(path);
  periods.rows = std::min(rows_read(outcome.is_ok(), outcome.fault), static_cast<int>(rows_.size()));
  RowTally cut, no_spectrum, bad_spectrum;
  for (int row = 1; row <= periods.rows; ++row) {
    const Row& r = rows_[static_cast<std::size_t>(row - 1)];
    cut.note(row, r.cut);
    no_spectrum.note(row, r.no_spectrum);
    bad_spectrum.note(row, r.bad_spectrum);
    periods.value[static_cast<std::size_t>(row - 1)] = r.period;
    periods.text[static_cast<std::size_t>(row - 1)] = r.period_text;
  }
  cut.report(path, out);
  no_spectrum.report(path, out);
  bad_spectrum.report(path, out);
  if (k == 1) check_period_axis(periods, path, out);
  if (k > 1 && fault1 != nullptr) compare_periods(periods, *fault1, path, out);
  if (outcome.is_ok()) check_lines_behind(reader, path, out);
  out.order_by_line_from(first);
}

}  // namespace check
