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

PageData gather(const gm::RunTables& t, const RunFacts& facts, const parallel::Pool& pool) {
  int longest = 0;
  for (int c = 1; c <= t.case_count; ++c) longest = std::max(longest, t.case_sample_count(c));
  const int phase_samples = t.phase_case >= 1 ? t.case_sample_count(t.phase_case) : 0;
  PageData d{t, facts, longest, {}, Envelope(phase_samples, kColumns)};
  d.cases.reserve(gm::checked_size(t.case_count, "the case count is checked when it is read"));
  for (int c = 1; c <= t.case_count; ++c) d.cases.emplace_back(longest, kColumns);

  // Waveform by waveform, each on one thread: a case's samples lie next to each other,
  // so a waveform is one run of memory read from its start to its end, and each envelope
  // has one writer.
  if (!d.cases.empty()) {
    const Envelope& axis = d.cases[0].velocity;
    const std::size_t columns = axis.columns();
    pool.for_each(2 * d.cases.size(), [&](std::size_t piece) {
      const int c = static_cast<int>(piece / 2) + 1;
      CaseWaves& w = d.cases[piece / 2];
      // Past its own samples a case holds the tables' zeros: not part of its waveform.
      const int own = t.case_sample_count(c);
      if (piece % 2 == 1) {
        for (std::size_t col = 0; col < columns; ++col) {
          const int first = axis.first_of(col);
          const int count = std::min(axis.first_of(col + 1), own) - first;
          if (count <= 0) break;
          w.acceleration.add_span(col, first, t.acceleration_column(c) + first, 1, count);
        }
        return;
      }
      // The velocity, integrated column after column into one small buffer.
      gm::CaseVelocity v(t, c, 1);
      std::vector<double> values;
      for (std::size_t col = 0; col < columns; ++col) {
        const int first = axis.first_of(col);
        const int count = std::min(axis.first_of(col + 1), own) - first;
        if (count <= 0) break;
        values.resize(std::max(values.size(), static_cast<std::size_t>(count)));
        v.next(count, values.data());
        w.velocity.add_span(col, first, values.data(), 1, count);
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
