#include <algorithm>
#include <cmath>
#include <vector>

#include "expect/expect.hpp"
#include "parallel/pool.hpp"
#include "platform/display.hpp"
#include "report/page_parts.hpp"
#include "tables/case_velocity.hpp"
#include "textio/number_format.hpp"

namespace report::detail {
namespace {

// The first `samples` values of a waveform, column by column into its envelope.
void add_columns(Envelope& e, const double* values, int samples) {
  for (std::size_t col = 0; col < e.columns(); ++col) {
    const int first = e.first_of(col);
    const int count = std::min(e.first_of(col + 1), samples) - first;
    if (count <= 0) break;
    e.add_span(col, first, values + first, 1, count);
  }
}

}  // namespace

PageData gather(const gm::RunTables& t, const RunFacts& facts, const parallel::Pool& pool) {
  int longest = 0;
  for (int c = 1; c <= t.case_count; ++c) longest = std::max(longest, t.case_sample_count(c));
  const int phase_samples = t.phase_case >= 1 ? t.case_sample_count(t.phase_case) : 0;
  PageData d{t, facts, longest, {}, Envelope(phase_samples, kColumns)};
  d.cases.reserve(gm::checked_size(t.case_count, "the case count is checked when it is read"));
  for (int c = 1; c <= t.case_count; ++c) d.cases.emplace_back(longest, kColumns);

  // Case by case, each on one thread: a case's samples lie next to each other, so its
  // acceleration is one run of memory read once, column by column, and each stretch is
  // integrated into the velocity while it is still in the cache. Each envelope has one
  // writer. The phase case's acceleration on its own time axis is one piece more, last,
  // where its small cost evens out the threads' ends.
  const std::size_t case_pieces = d.cases.size();
  pool.for_each(case_pieces + (phase_samples > 0 ? 1 : 0), [&](std::size_t piece) {
    if (piece == case_pieces) {
      add_columns(d.phase, t.acceleration_column(t.phase_case), phase_samples);
      return;
    }
    const int c = static_cast<int>(piece) + 1;
    CaseWaves& w = d.cases[piece];
    // Past its own samples a case holds the tables' zeros: not part of its waveform.
    const int own = t.case_sample_count(c);
    const double* a = t.acceleration_column(c);
    gm::CaseVelocity v(t, c, 1);
    std::vector<double> values;
    for (std::size_t col = 0; col < w.velocity.columns(); ++col) {
      const int first = w.velocity.first_of(col);
      const int count = std::min(w.velocity.first_of(col + 1), own) - first;
      if (count <= 0) break;
      w.acceleration.add_span(col, first, a + first, 1, count);
      values.resize(std::max(values.size(), static_cast<std::size_t>(count)));
      v.next(count, values.data());
      w.velocity.add_span(col, first, values.data(), 1, count);
    }
  });
  for (const CaseWaves& w : d.cases) {
    d.velocity_range.take(w.velocity);
    d.acceleration_range.take(w.acceleration);
  }
  return d;
}

std::string field(double value, int width, int decimals) {
  char buffer[textio::kMaxFieldWidth];
  textio::format_fixed(value, width, decimals, buffer);
  std::string_view s(buffer, static_cast<std::size_t>(width));
  return std::string(s.substr(std::min(s.find_first_not_of(' '), s.size())));
}

std::string integer_field(int value, int width) {
  char buffer[textio::kMaxFieldWidth];
  textio::format_integer(value, width, buffer);
  std::string_view s(buffer, static_cast<std::size_t>(width));
  return std::string(s.substr(std::min(s.find_first_not_of(' '), s.size())));
}

std::string fault_folder_text(const gm::RunTables& t, int k) {
  const auto n = static_cast<std::size_t>(std::clamp(t.fault_folder_length(k), 0, 400));
  return platform::display_text(std::string_view(t.fault_folder(k).bytes.data(), n));
}

std::string case_folder_text(const gm::RunTables& t, int c) {
  const auto n = static_cast<std::size_t>(std::clamp(t.case_folder_length(c), 0, 400));
  return platform::display_text(std::string_view(t.case_folder(c).bytes.data(), n));
}

std::string time_step_text(const gm::RunTables& t) {
  return field(t.time_step, 12, step_decimals(t.time_step));
}

void write_note(Html& html, std::string_view text) {
  html.raw("<p class=\"note\">").text(text).raw("</p>\n");
}

}  // namespace report::detail
