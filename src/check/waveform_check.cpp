#include "check/waveform_check.hpp"

#include <array>
#include <cmath>
#include <cstring>
#include <string>

#include "check/lines.hpp"
#include "inputs/waveform.hpp"
#include "textio/number_parse.hpp"

namespace check {
namespace {

constexpr std::size_t kFieldWidth = 20;  // I20, F20.0

bool is_digit(char c) noexcept { return c >= '0' && c <= '9'; }
bool is_space(char c) noexcept { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::array<NumericField, 2> header_fields(std::string_view bytes) noexcept {
  std::array<NumericField, 2> fields;
  cut_numeric_fields(line_at(bytes, 1).text, kFieldWidth, fields);
  return fields;
}

std::string header_failure(const textio::Fault& fault, std::string_view bytes) {
  if (fault.number == textio::kErrEndOfFile) return "the file is empty: the header line is missing";
  if (fault.number == textio::kErrRead) return "the file cannot be read";
  const std::array<NumericField, 2> fields = header_fields(bytes);
  if (fault.item == 1) return "the sample count field reads " + quoted(trim_blanks(fields[0].text));
  return "the interval field reads " + quoted(trim_blanks(fields[1].text));
}

std::string sample_failure(const textio::Fault& fault, int n, std::string_view bytes) {
  const std::string of = " of " + std::to_string(n);
  if (fault.number == textio::kErrRead) {
    return "the file cannot be read beyond this line (sample " + std::to_string(fault.item) + of + ")";
  }
  if (fault.number == textio::kErrEndOfFile) {
    if (fault.item == 0) return "the samples need a line after the header, even with a count of " + std::to_string(n);
    return "the file ends before sample " + std::to_string(fault.item) + of;
  }
  const Line line = line_at(bytes, fault.line);
  const std::size_t at = fault.column > 0 ? static_cast<std::size_t>(fault.column - 1) : 0;
  return "sample " + std::to_string(fault.item) + " reads " + quoted(free_form_value(line.text, at));
}

void scan_header(std::string_view bytes, std::string_view path, int n, Findings& out) {
  const std::array<NumericField, 2> fields = header_fields(bytes);
  const NumericField& count = fields[0];
  if (count.full && count.next != ',') {
    const Line line = line_at(bytes, 1);
    const std::string_view rest = free_form_value(line.text, count.start + kFieldWidth);
    out.warning(path, 1, "the sample count " + quoted(std::string(count.text) + std::string(rest)) +
                             " is longer than its 20-byte field: it is cut to " + quoted(count.text));
  }
  if (has_blank_inside(count.text)) {
    out.warning(path, 1, "the sample count field " + quoted(trim_blanks(count.text)) +
                             " has blanks inside: it reads as " + std::to_string(n));
  }
  const std::string_view interval = trim_blanks(fields[1].text);
  if (!interval.empty()) {
    const textio::RealResult r = textio::parse_real_field(fields[1].text, 0);
    if (r.ec == textio::NumberError::None && r.value != gm::kTimeStep) {
      out.warning(path, 1, "the sampling interval " + quoted(interval) +
                               " is not 0.02: the samples are integrated 0.02 s apart all the same");
    }
  }
}

int line_of(std::string_view bytes, std::size_t from, int from_line, std::size_t at) noexcept {
  int line = from_line;
  for (std::size_t i = from; i < at; ++i) line += static_cast<int>(bytes[i] == '\n');
  return line;
}

// The samples a read took, and what it passed over, for a count n read from `stop` on.
void scan_samples(std::string_view bytes, std::string_view path, int n, const textio::RecordReader& reader,
                  Findings& out) {
  const Line second = line_at(bytes, 2);
  const std::size_t samples_start = second.number == 2 ? second.offset : bytes.size();
  const std::size_t stop = static_cast<std::size_t>(std::min<std::uint64_t>(reader.stop_offset(), bytes.size()));
  if (n <= 0) {
    const std::size_t values = count_free_form_values(bytes.substr(samples_start));
    std::string text = "the sample count is " + std::to_string(n) + ": no sample is read, and the peak velocity is 0";
    if (values > 0) text += "; the " + std::to_string(values) + " value(s) in the file are not read";
    out.warning(path, 1, std::move(text));
    return;
  }
  const DecimalCommas commas = find_decimal_commas(bytes, samples_start, stop);
  if (commas.count > 0) {
    std::string text = quoted(bytes.substr(commas.first, commas.first_end - commas.first)) +
                       " reads as two samples: a comma separates values (a decimal comma?)";
    if (commas.count > 1) text += "; " + std::to_string(commas.count) + " such numbers in the file";
    out.warning(path, line_of(bytes, samples_start, 2, commas.first), std::move(text));
  }
  if (reader.stop_items() < static_cast<std::size_t>(n)) {
    out.warning(path, reader.stop_line(),
                "a slash ends the samples after sample " + std::to_string(reader.stop_items()) + ": samples " +
                    std::to_string(reader.stop_items() + 1) + " to " + std::to_string(n) + " are 0");
    return;
  }
  const std::size_t more = count_free_form_values(bytes.substr(stop));
  if (more > 0) {
    out.warning(path, reader.stop_line(),
                "the count of " + std::to_string(n) + " samples is reached here: " + std::to_string(more) +
                    " value(s) behind it are not read");
  }
}

void scan_sample_values(const gm::RunTables& t, int c, std::string_view path, Findings& out) {
  const double* samples = t.acceleration_column(c);
  const int n = t.case_sample_count(c);
  int first = 0;
  int count = 0;
  for (int j = 1; j <= n; ++j) {
    if (!std::isfinite(samples[j - 1])) {
      if (first == 0) first = j;
      ++count;
    }
  }
  if (count > 0) {
    out.warning(path, 0, "sample " + std::to_string(first) + " is not a finite number" +
                             (count > 1 ? "; " + std::to_string(count) + " such samples" : std::string()));
  }
}

}  // namespace

DecimalCommas find_decimal_commas(std::string_view bytes, std::size_t from, std::size_t to) noexcept {
  DecimalCommas found;
  to = std::min(to, bytes.size());
  for (std::size_t i = from; i < to;) {
    const void* hit = std::memchr(bytes.data() + i, ',', to - i);
    if (hit == nullptr) break;
    const auto comma = static_cast<std::size_t>(static_cast<const char*>(hit) - bytes.data());
    i = comma + 1;
    if (comma == from || comma + 1 >= to || !is_digit(bytes[comma - 1]) || !is_digit(bytes[comma + 1])) continue;
    std::size_t a = comma;
    while (a > from && is_digit(bytes[a - 1])) --a;
    if (a > from && (bytes[a - 1] == '-' || bytes[a - 1] == '+')) --a;
    if (a > from && !is_space(bytes[a - 1])) continue;
    std::size_t z = comma + 1;
    while (z < to && is_digit(bytes[z])) ++z;
    if (z < to && !is_space(bytes[z])) continue;
    // Only among numbers written with decimal points: a list of whole numbers separated
    // by commas is no mistake.
    std::size_t line_first = a;
    while (line_first > from && bytes[line_first - 1] != '\n') --line_first;
    const std::size_t line_end = std::min(bytes.size(), bytes.find('\n', z));
    if (bytes.substr(line_first, line_end - line_first).find('.') == std::string_view::npos) continue;
    if (found.count++ == 0) {
      found.first = a;
      found.first_end = z;
    }
  }
  return found;
}

inputs::InputOutcome check_waveform(gm::RunTables& t, int c, std::string_view path, const FileBytes& file,
                                    textio::RecordReader& reader, const ErrorTexts& texts, Findings& out) {
  inputs::InputOutcome outcome;
  outcome.path.assign(path);
  const std::size_t first = out.size();
  BytesSource source(file);
  reader.attach(source, path);
  std::int32_t stated = 0;
  int status = inputs::read_waveform_header(t, c, reader, stated);
  if (status != textio::kStatusOk) {
    outcome.kind = inputs::InputOutcome::Kind::Fault;
    outcome.fault = reader.fault(status);
    out.error(path, outcome.fault.line, record_error_text(outcome.fault, header_failure(outcome.fault, file.bytes)));
  } else {
    const int n = stated;
    scan_header(file.bytes, path, n, out);
    if (n > gm::kMaxSamples) {
      outcome.kind = inputs::InputOutcome::Kind::TooManySamples;
      out.error(path, 1, join_message({outcome.path + std::string(texts.too_many_samples)}));
    } else if ((status = inputs::read_waveform_samples(t, c, reader)) != textio::kStatusOk) {
      outcome.kind = inputs::InputOutcome::Kind::Fault;
      outcome.fault = reader.fault(status);
      out.error(path, outcome.fault.line, record_error_text(outcome.fault, sample_failure(outcome.fault, n, file.bytes)));
    } else {
      scan_samples(file.bytes, path, n, reader, out);
      scan_sample_values(t, c, path, out);
    }
  }
  reader.detach();
  out.order_by_line_from(first);
  return outcome;
}

}  // namespace check
