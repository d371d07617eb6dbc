#include <algorithm>
#include <cmath>

#include "platform/display.hpp"
#include "report/page_parts.hpp"
#include "textio/number_format.hpp"

namespace report::detail {
namespace {

// Keeps the last of equal largest magnitudes, as the evaluation does for the peak
// velocity, so the marked sample is the one the peak came from.
void take_peak(Peak& peak, int index, double value) {
  const double m = std::fabs(value);
  if (m >= peak.magnitude && std::isfinite(m)) peak = {index, m};
}

}  // namespace

PageData gather(gm::RunTables& t, const RunFacts& facts) {
  int longest = 0;
  for (int c = 1; c <= t.case_count; ++c) longest = std::max(longest, t.case_sample_count(c));
  const int phase_samples = t.phase_case >= 1 ? t.case_sample_count(t.phase_case) : 0;
  PageData d{t, facts, longest, {}, Envelope(phase_samples, kColumns)};
  d.cases.reserve(static_cast<std::size_t>(t.case_count));
  for (int c = 1; c <= t.case_count; ++c) d.cases.emplace_back(longest, kColumns);

  // Row by row: the values of all cases at one sample lie next to each other, so the pass
  // reads both tables front to back once instead of striding through them per case.
  for (int j = 0; j < longest; ++j) {
    const double* v = &t.case_velocity[static_cast<std::size_t>(j) * gm::kMaxCases];
    const double* a = &t.case_acceleration[static_cast<std::size_t>(j) * gm::kMaxCases];
    for (int c = 0; c < t.case_count; ++c) {
      // Past its own samples a case holds the tables' zeros: not part of its waveform.
      if (j >= t.case_integer_table[c]) continue;
      CaseWaves& w = d.cases[static_cast<std::size_t>(c)];
      w.velocity.add(j, v[c]);
      w.acceleration.add(j, a[c]);
      take_peak(w.velocity_peak, j, v[c]);
      take_peak(w.acceleration_peak, j, a[c]);
    }
  }
  for (int j = 0; j < phase_samples; ++j) d.phase.add(j, t.acceleration(t.phase_case, j + 1));
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

std::string fault_folder_text(gm::RunTables& t, int k) {
  const auto n = static_cast<std::size_t>(std::clamp(t.fault_folder_length(k), 0, 400));
  return platform::display_text(std::string_view(t.fault_folder(k).bytes.data(), n));
}

std::string case_folder_text(gm::RunTables& t, int c) {
  const auto n = static_cast<std::size_t>(std::clamp(t.case_folder_length(c), 0, 400));
  return platform::display_text(std::string_view(t.case_folder(c).bytes.data(), n));
}

void write_note(Html& html, std::string_view text) {
  html.raw("<p class=\"note\">").text(text).raw("</p>\n");
}

}  // namespace report::detail
