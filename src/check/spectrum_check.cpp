#include "check/spectrum_check.hpp"

#include <algorithm>
#include <cmath>

#include "check/lines.hpp"
#include "inputs/spectrum_table.hpp"
#include "textio/number_parse.hpp"

namespace check {
namespace {

constexpr int kHeaderLines = inputs::kSpectrumHeaderLines;
constexpr int kRows = gm::kPeriodCount;
constexpr std::size_t kFields = inputs::kSpectrumFields;
constexpr std::size_t kFieldWidth = 20;  // 28F20.0
using Fields = std::array<NumericField, kFields>;

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
  void report(std::string_view path, Findings& out) const {
    if (count == 0) return;
    out.warning(path, kHeaderLines + first_row,
                count > 1 ? text + "; " + std::to_string(count) + " rows like it" : text);
  }
};

double field_value(const NumericField& field) noexcept {
  return textio::parse_real_field(field.text, 0).value;
}

// The data rows a reading that ended with `status` took whole.
int rows_read(int status, const textio::Fault& fault) noexcept {
  if (status == textio::kStatusOk) return kRows;
  const int whole_lines = fault.number == textio::kErrEndOfFile ? fault.line : fault.line - 1;
  return std::clamp(whole_lines - kHeaderLines, 0, kRows);
}

std::string table_failure(const textio::Fault& fault, std::string_view bytes) {
  if (fault.number == textio::kErrEndOfFile) {
    if (fault.line == 0) return "the file is empty";
    if (fault.line < kHeaderLines) return "the file ends in its header, after line " + std::to_string(fault.line) + " of 15";
    return "the file ends before " + row_name(fault.line + 1 - kHeaderLines) + " of 55";
  }
  if (fault.number == textio::kErrRead) return "the file cannot be read beyond this line";
  Fields fields;
  cut_numeric_fields(line_at(bytes, fault.line).text, kFieldWidth, fields);
  const int item = std::clamp(fault.item, 1, static_cast<int>(kFields));
  return "field " + std::to_string(item) + " of " + row_name(fault.line - kHeaderLines) + " reads " +
         quoted(trim_blanks(fields[static_cast<std::size_t>(item - 1)].text));
}

std::string cut_text(const Fields& fields, std::size_t f, std::string_view record, int row) {
  const NumericField& field = fields[f];
  const std::string number = std::to_string(f + 1);
  if (field.next == ',') {
    return "field " + number + " of " + row_name(row) + ", " + quoted(field.text) +
           ", fills all 20 bytes: the comma behind it makes an empty field " + std::to_string(f + 2) +
           ", and every later value moves one field on";
  }
  const std::string_view rest =
      f + 1 < kFields ? fields[f + 1].text : free_form_value(record, field.start + kFieldWidth);
  return "the value " + quoted(std::string(field.text) + std::string(rest)) + " in " + row_name(row) +
         " is longer than a 20-byte field: it is cut to " + quoted(field.text) +
         (f + 1 < kFields ? " and the rest is read as field " + std::to_string(f + 2) : std::string(" and the rest is not read"));
}

std::string no_spectrum_text(const Fields& fields, std::string_view record, int row) {
  if (trim_blanks(record).empty()) return row_name(row) + " is blank: its period and spectrum read as 0";
  if (fields[kFields - 1].present) return row_name(row) + " has an empty field 28: its spectrum reads as 0";
  const auto present = std::count_if(fields.begin(), fields.end(), [](const NumericField& f) { return f.present; });
  return row_name(row) + " has " + std::to_string(present) + " fields, not 28: its spectrum reads as 0";
}

struct RowTallies {
  RowTally cut, no_spectrum, bad_spectrum;
};

void scan_row(std::string_view record, int row, RowTallies& tallies, PeriodColumn& periods) {
  Fields fields;
  cut_numeric_fields(record, kFieldWidth, fields);
  for (std::size_t f = 0; f < kFields; ++f) {
    // A comma behind the last field only starts a 29th, which nobody reads.
    if (!fields[f].full || (f + 1 == kFields && fields[f].next == ',')) continue;
    if (tallies.cut.note(row)) tallies.cut.text = cut_text(fields, f, record, row);
    break;
  }
  const NumericField& spectrum = fields[kFields - 1];
  const std::string_view spectrum_text = trim_blanks(spectrum.text);
  if (spectrum_text.empty()) {
    if (tallies.no_spectrum.note(row)) tallies.no_spectrum.text = no_spectrum_text(fields, record, row);
  } else if (const double v = field_value(spectrum); !(v > 0.0) || !std::isfinite(v)) {
    if (tallies.bad_spectrum.note(row)) {
      tallies.bad_spectrum.text = "the spectrum value " + quoted(spectrum_text) + " in " + row_name(row) +
                                  (std::isfinite(v) ? " is not above 0" : " is not a finite number");
    }
  }
  const auto j = static_cast<std::size_t>(row - 1);
  periods.value[j] = field_value(fields[0]);
  periods.text[j] = std::string(trim_blanks(fields[0].text));
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
void check_lines_behind(std::string_view bytes, std::string_view path, Findings& out) {
  const Line first = line_at(bytes, kHeaderLines + kRows + 1);
  if (first.number == 0) return;
  LineReader lines(bytes, first.offset, first.number);
  int first_used = 0;
  int used = 0;
  for (Line line; lines.next(line);) {
    if (trim_blanks(line.text).empty()) continue;
    if (used++ == 0) first_used = line.number;
  }
  if (used == 0) return;
  out.warning(path, first_used,
              "the table goes on behind data row 55: " +
                  (used == 1 ? std::string("this line is") : "this line and " + std::to_string(used - 1) + " more are") +
                  " not read");
}

}  // namespace

inputs::InputOutcome check_spectrum_table(gm::RunTables& t, int k, std::string_view path, const FileBytes& file,
                                          textio::RecordReader& reader, const PeriodColumn* fault1,
                                          PeriodColumn& periods, Findings& out) {
  inputs::InputOutcome outcome;
  outcome.path.assign(path);
  const std::size_t first = out.size();
  BytesSource source(file);
  reader.attach(source, path);
  const int status = inputs::read_spectrum_records(t, k, reader);
  if (status != textio::kStatusOk) {
    outcome.kind = inputs::InputOutcome::Kind::Fault;
    outcome.fault = reader.fault(status);
    out.error(path, outcome.fault.line, record_error_text(outcome.fault, table_failure(outcome.fault, file.bytes)));
  }
  reader.detach();

  periods = PeriodColumn{};
  periods.file.assign(path);
  periods.rows = rows_read(status, outcome.fault);
  RowTallies tallies;
  LineReader lines(file.bytes);
  Line line;
  for (int skipped = 0; skipped < kHeaderLines && lines.next(line); ++skipped) {
  }
  for (int row = 1; row <= periods.rows && lines.next(line); ++row) scan_row(line.text, row, tallies, periods);
  tallies.cut.report(path, out);
  tallies.no_spectrum.report(path, out);
  tallies.bad_spectrum.report(path, out);
  if (k == 1) check_period_axis(periods, path, out);
  if (k > 1 && fault1 != nullptr) compare_periods(periods, *fault1, path, out);
  if (status == textio::kStatusOk) check_lines_behind(file.bytes, path, out);
  out.order_by_line_from(first);
  return outcome;
}

}  // namespace check
