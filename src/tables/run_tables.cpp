#include "tables/run_tables.hpp"

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

}  // namespace gm
