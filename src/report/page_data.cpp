#include <algorithm>
#include <cmath>

#include "expect/expect.hpp"
#include "parallel/pool.hpp"
#include "platform/display.hpp"
#include "report/page_parts.hpp"
#include "textio/number_format.hpp"

namespace report::detail {

PageData gather(const gm::RunTables& t, const RunFacts& facts, const parallel::Pool& pool) {
  int longest = 0;
  for (int c = 1; c <= t.case_count; ++c) longest = std::max(longest, t.case_sample_count(c));
  const int phase_samples = t.phase_case >= 1 ? t.case_sample_count(t.phase_case) : 0;
  PageData d{t, facts, longest, {}, Envelope(phase_samples, kColumns)};
  d.cases.reserve(gm::checked_size(t.case_count, "the case count is checked when it is read"));
  for (int c = 1; c <= t.case_count; ++c) d.cases.emplace_back(longest, kColumns);

  // Column by column, and within a column case by case: each case's samples lie next to
  // each other, so every stretch is one run of memory. Threads take ranges of columns:
  // each fills only its own columns of every envelope.
  if (!d.cases.empty()) {
    const Envelope& axis = d.cases[0].velocity;
    const std::size_t columns = axis.columns();
    const std::size_t pieces = std::min<std::size_t>(columns, 16);
    pool.for_each(pieces, [&](std::size_t piece) {
      for (std::size_t col = columns * piece / pieces; col < columns * (piece + 1) / pieces; ++col) {
        const int first = axis.first_of(col);
        const int end = axis.first_of(col + 1);
        for (int c = 0; c < t.case_count; ++c) {
          // Past its own samples a case holds the tables' zeros: not part of its waveform.
          const int count = std::min(end, t.case_sample_count(c + 1)) - first;
          if (count <= 0) continue;
          CaseWaves& w = d.cases[static_cast<std::size_t>(c)];
          w.velocity.add_span(col, first, t.velocity_column(c + 1) + first, 1, count);
          w.acceleration.add_span(col, first, t.acceleration_column(c + 1) + first, 1, count);
        }
      }
    });
  }
  if (phase_samples > 0) {
    for (std::size_t col = 0; col < d.phase.columns(); ++col) {
      const int first = d.phase.first_of(col);
      const int count = std::min(d.phase.first_of(col + 1), phase_samples) - first;
      if (count > 0) d.phase.add_span(col, first, t.acceleration_column(t.phase_case) + first, 1, count);
    }
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
