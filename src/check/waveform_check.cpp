#include "check/waveform_check.hpp"

#include <cmath>
#include <string>

#include "textio/number_parse.hpp"

namespace check {
namespace {

bool has_ended(int number) noexcept { return number == textio::kErrEndOfFile || number == textio::kErrRead; }

std::string header_failure(const textio::Fault& fault) {
  if (fault.number == textio::kErrEndOfFile) return "the file is empty: the header line is missing";
  if (fault.number == textio::kErrRead) return "the file cannot be read";
  if (fault.item == 1) return "the sample count field reads " + quoted(trim_blanks(fault.text));
  return "the interval field reads " + quoted(trim_blanks(fault.text));
}

std::string sample_failure(const textio::Fault& fault, int n) {
  const std::string of = " of " + std::to_string(n);
  if (fault.number == textio::kErrRead) {
    return "the file cannot be read beyond this line (sample " + std::to_string(fault.item) + of + ")";
  }
  if (fault.number == textio::kErrEndOfFile) {
    if (fault.item == 0) return "the samples need a line after the header, even with a count of " + std::to_string(n);
    return "the file ends before sample " + std::to_string(fault.item) + of;
  }
  return "sample " + std::to_string(fault.item) + " reads " + quoted(fault.text);
}

void sample_values(const gm::RunTables& t, int c, std::string_view path, Findings& out) {
  const double* samples = t.acceleration_column(c);
  const int n = t.case_sample_count(c);
  // Samples still in the cache from their reading (a plain run given its file pays for
  // this): a - a is 0 for a finite sample and NaN for any other, so four running sums of it
  // (four, so that the adds overlap) say in one cheap pass whether to count and place them.
  // An all-zero record is told at its first sample that is not 0.
  double sums[4] = {0.0, 0.0, 0.0, 0.0};
  int j = 0;
  for (; j + 4 <= n; j += 4) {
    for (int k = 0; k < 4; ++k) sums[k] += samples[j + k] - samples[j + k];
  }
  for (; j < n; ++j) sums[0] += samples[j] - samples[j];
  int count = 0;
  int first = 0;
  if (!(sums[0] + sums[1] + sums[2] + sums[3] == 0.0)) {
    for (j = 1; j <= n; ++j) {
      if (std::isfinite(samples[j - 1])) continue;
      if (first == 0) first = j;
      ++count;
    }
  }
  int zeros = 0;
  while (zeros < n && samples[zeros] == 0.0) ++zeros;
  if (count > 0) {
    out.warning(path, 0, "sample " + std::to_string(first) + " is not a finite number" +
                             (count > 1 ? "; " + std::to_string(count) + " such samples" : std::string()));
  }
  if (n > 0 && zeros == n) {
    out.warning(path, 0, "all " + std::to_string(n) + " samples are 0: the case has no motion, and its peak velocity is 0");
  }
  if (n > 0 && n < kFewestSamples) {
    out.warning(path, 1, "the record holds " + std::to_string(n) + " sample(s), fewer than " +
                             std::to_string(kFewestSamples) + " (2 s at 0.02 s): a count typed short, or a file cut off?");
  }
}

}  // namespace

void WaveformWatch::field(const textio::FieldCut& cut) {
  if (cut.item == 1) {
    count_text_.assign(cut.text);
    count_full_ = cut.full;
    count_next_ = cut.next;
    count_rest_.assign(cut.rest);
  } else if (cut.item == 2) {
    interval_text_.assign(cut.text);
  }
}

void WaveformWatch::dropped(const textio::PassedOver& rest) {
  if (++statements_ != 2) return;  // the header's rest is no sample
  values_dropped_ = rest.values;
  stop_line_ = rest.from.line;
}

void WaveformWatch::slash(textio::Place place, std::size_t items) {
  slash_ = true;
  slash_line_ = place.line;
  slash_items_ = items;
}

void WaveformWatch::comma_pair(const textio::CommaPair& pair) {
  // Among numbers written with decimal points; elsewhere only when every sample pairs up
  // (finish): a list of whole numbers separated by commas is no mistake.
  if (!pair.point_on_line) {
    if (plain_pairs_++ > 0) return;
    first_plain_line_ = pair.place.line;
    first_plain_[0].assign(pair.first);
    first_plain_[1].assign(pair.second);
    return;
  }
  if (pairs_++ > 0) return;
  first_pair_line_ = pair.place.line;
  first_pair_.assign(pair.first).append(",").append(pair.second);
}

void WaveformWatch::header_warnings(std::string_view path, int n, Findings& out) const {
  if (count_full_ && count_next_ != ',') {
    out.warning(path, 1, "the sample count " + quoted(count_text_ + count_rest_) +
                             " is longer than its 20-byte field: it is cut to " + quoted(count_text_));
  }
  if (has_blank_inside(count_text_)) {
    out.warning(path, 1, "the sample count field " + quoted(trim_blanks(count_text_)) +
                             " has blanks inside: it reads as " + std::to_string(n));
  }
  const std::string_view interval = trim_blanks(interval_text_);
  if (!interval.empty()) {
    const textio::RealResult r = textio::parse_real_field(interval_text_, 0);
    if (r.ec == textio::NumberError::None && r.value != gm::kTimeStep) {
      out.warning(path, 1, "the sampling interval " + quoted(interval) +
                               " is not 0.02: the samples are integrated 0.02 s apart all the same");
    }
  }
}

// What the samples' read passed over: everything behind the count, a slash, commas.
void WaveformWatch::sample_warnings(std::string_view path, int n, textio::RecordReader& reader, Findings& out) const {
  if (n <= 0) {
    const std::uint64_t values = values_dropped_ + reader.pass_over_rest().values;
    std::string text = "the sample count is " + std::to_string(n) + ": no sample is read, and the peak velocity is 0";
    if (values > 0) text += "; the " + std::to_string(values) + " value(s) in the file are not read";
    out.warning(path, 1, std::move(text));
    return;
  }
  if (pairs_ > 0) {
    std::string text = quoted(first_pair_) + " reads as two samples: a comma separates values (a decimal comma?)";
    if (pairs_ > 1) text += "; " + std::to_string(pairs_) + " such numbers in the file";
    out.warning(path, first_pair_line_, std::move(text));
  } else if (n >= 2 && 2 * plain_pairs_ + 1 >= static_cast<std::size_t>(n)) {
    // Every sample is the integer or the fraction of one number (the last one alone when
    // the count is odd): the file is written with decimal commas throughout.
    out.warning(path, first_plain_line_,
                "the samples are written with decimal commas: " + quoted(first_plain_[0] + "," + first_plain_[1]) +
                    " reads as two samples, " + first_plain_[0] + " and " + first_plain_[1] + ", and so do the " +
                    std::to_string(plain_pairs_) + " such numbers read; write a decimal point");
  }
  if (slash_) {
    out.warning(path, slash_line_,
                "a slash ends the samples after sample " + std::to_string(slash_items_) + ": samples " +
                    std::to_string(slash_items_ + 1) + " to " + std::to_string(n) + " are 0");
    return;
  }
  const std::uint64_t more = values_dropped_ + reader.pass_over_rest().values;
  if (more > 0) {
    out.warning(path, stop_line_,
                "the count of " + std::to_string(n) + " samples is reached here: " + std::to_string(more) +
                    " value(s) behind it are not read");
  }
}

void WaveformWatch::finish(const gm::RunTables& t, int c, textio::RecordReader* reader,
                           const inputs::InputOutcome& outcome, const ErrorTexts& texts, Findings& out) {
  using Kind = inputs::InputOutcome::Kind;
  const std::string_view path = outcome.path;
  const std::size_t first = out.size();
  // The header's statement ended (told what it dropped) unless it met the end of the data
  // first; the samples' statement is the second.
  const bool header_failed = outcome.kind == Kind::Fault &&
                             (statements_ == 0 || (statements_ == 1 && !has_ended(outcome.fault.number)));
  const int n = textio::parse_integer_field(count_text_).value;
  if (header_failed) {
    out.error(path, outcome.fault.line, record_error_text(outcome.fault, header_failure(outcome.fault)));
  } else {
    header_warnings(path, n, out);
    if (outcome.kind == Kind::TooManySamples) {
      out.error(path, 1, join_message({outcome.path + std::string(texts.too_many_samples)}));
    } else if (outcome.kind == Kind::Fault) {
      out.error(path, outcome.fault.line, record_error_text(outcome.fault, sample_failure(outcome.fault, n)));
    } else if (reader != nullptr) {
      sample_warnings(path, n, *reader, out);
      sample_values(t, c, path, out);
    }
  }
  // Behind the header's error, which it explains.
  if (byte_order_mark_) out.warning(path, 1, std::string(kByteOrderMarkText));
  out.order_by_line_from(first);
}

}  // namespace check
