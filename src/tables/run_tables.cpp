#include "tables/run_tables.hpp"

#include <algorithm>

#include "platform/memory.hpp"

namespace gm {

RunTables run_tables;

void start_up(RunTables& t) {
  t.period_count = kPeriodCount;
  t.time_step = kTimeStep;
  textio::blank_fill(t.definition_file_name);
  for (int k = 1; k <= kMaxFaults; ++k) {
    textio::blank_fill(t.fault_folder(k));
    t.fault_folder_length(k) = 0;
  }
  for (int k = 1; k <= kMaxCases; ++k) {
    textio::blank_fill(t.case_folder(k));
    t.case_folder_length(k) = 0;
  }
  for (int j = 1; j <= kPeriodCount; ++j) {
    for (int i = 1; i <= kMaxFaults; ++i) t.spectrum(i, j) = 0.0;
    t.period(j) = 0.0;
  }
  for (int i = 1; i <= kMaxCases; ++i) {
    t.case_sample_count(i) = 0;
    t.case_rank(i) = 0;
  }
}

void prefer_large_pages_for_cases(RunTables& t) {
  if (t.case_count < 1) return;
  const std::size_t cases = checked_size(std::min(t.case_count, kMaxCases), "the case count is not negative here");
  const std::size_t bytes = cases * static_cast<std::size_t>(kMaxSamples) * sizeof(double);
  platform::prefer_large_pages(t.acceleration_column(1), bytes);
}

}  // namespace gm
