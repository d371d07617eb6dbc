#pragma once
// All data of a run lives in these fixed tables, sized at build time, zero at program load
// and never reallocated. Indices are 1-based as everywhere in the program. The
// acceleration table keeps each case's samples next to each other: a case is read and
// integrated by one thread at a time, which then owns a run of memory of its own (no two
// threads write the same cache line), and the pages of cases beyond the run's count are
// never touched. No table holds the velocity waveforms (tables/case_velocity.hpp).
#include <cstdint>

#include "expect/expect.hpp"
#include "tables/fit_tables.hpp"
#include "textio/fixed_text.hpp"

namespace gm {

inline constexpr int kMaxFaults = 10;     // table room; a run uses at most 6
inline constexpr int kMaxCases = 30;      // table room; a run uses at most 21
inline constexpr int kMaxPeriods = 100;   // table room; a run uses 55
inline constexpr int kMaxSamples = 100000;
inline constexpr int kRunMaxFaults = 6;
inline constexpr int kRunMaxCases = 21;
inline constexpr int kPeriodCount = 55;
inline constexpr double kTimeStep = 0.02;
// The damping of every response spectrum a run computes, as of the fault tables' column.
inline constexpr double kDamping = 0.05;
// The response spectra table's row: the target, then Sv and pSv of each case.
inline constexpr int kSpectraColumns = 1 + 2 * kMaxCases;
static_assert(kFitMaxSamples == kMaxSamples && kFitMaxPeriods == kMaxPeriods);
// Samples between two kept values of a case's running velocity (tables/case_velocity.hpp):
// a reader starting anywhere integrates at most this many samples more than it reads.
inline constexpr int kVelocityCheckpointStep = 256;
inline constexpr int kVelocityCheckpoints = kMaxSamples / kVelocityCheckpointStep + 1;

struct RunTables {
  std::int32_t period_count;
  double time_step;
  std::int32_t fault_count;
  std::int32_t case_count;
  textio::FixedText40 definition_file_name;
  std::int32_t definition_file_name_length;
  std::int32_t phase_case;
  std::int32_t longest_case_samples;

  textio::FixedText400 fault_folders[kMaxFaults];
  std::int32_t fault_folder_lengths[kMaxFaults];
  textio::FixedText400 case_folders[kMaxCases];
  std::int32_t case_folder_lengths[kMaxCases];
  textio::FixedText400 folder_line_text;

  double period_table[kMaxPeriods];
  double fault_spectra[kMaxFaults * kMaxPeriods];  // (fault, period row), fault fastest
  double target_spectrum[kMaxPeriods];
  // (column, period row), column fastest: the target, then Sv and pSv of each case; filled
  // when the run is asked for the response spectra or the page.
  double case_spectra[kSpectraColumns * kMaxPeriods];
  std::int32_t case_integer_table[kMaxCases * 2];  // (case, column): sample count, rank
  // The design wave, when asked for (before the waveform tables: whatever resets a run's
  // tables up to them resets it too).
  FitTables fit;
  double case_acceleration[kMaxCases * kMaxSamples];  // (case, sample), sample fastest
  double case_peak_velocity[kMaxCases];
  // (case, k), k fastest: the velocity at sample k * kVelocityCheckpointStep, k >= 1, for
  // the samples the case has; written by the peak pass, read wherever the velocity is.
  double case_velocity_checkpoints[kMaxCases * kVelocityCheckpoints];

  // 1-based accessors. The callers keep every index in range: counts and numbers are
  // checked against their limits before they index anything, and each accessor holds
  // them to it.
  textio::FixedText400& fault_folder(int k) { return fault_folders[fault_index(k)]; }
  std::int32_t& fault_folder_length(int k) { return fault_folder_lengths[fault_index(k)]; }
  textio::FixedText400& case_folder(int k) { return case_folders[case_index(k)]; }
  std::int32_t& case_folder_length(int k) { return case_folder_lengths[case_index(k)]; }
  double& period(int j) { return period_table[period_index(j)]; }
  double& spectrum(int fault, int row) { return fault_spectra[period_index(row) * kMaxFaults + fault_index(fault)]; }
  double& target(int j) { return target_spectrum[period_index(j)]; }
  // Row j of the response spectra: [0] the target, [2c - 1] Sv and [2c] pSv of case c.
  double* spectra_row(int j) { return &case_spectra[period_index(j) * kSpectraColumns]; }
  const double* spectra_row(int j) const { return &case_spectra[period_index(j) * kSpectraColumns]; }
  std::int32_t& case_sample_count(int c) { return case_integer_table[case_index(c)]; }
  std::int32_t& case_rank(int c) { return case_integer_table[kMaxCases + case_index(c)]; }
  double& acceleration(int c, int j) { return acceleration_column(c)[sample_index(j)]; }
  double& peak_velocity(int c) { return case_peak_velocity[case_index(c)]; }
  // The same, read only: for what draws or writes a run and must not change it.
  const textio::FixedText400& fault_folder(int k) const { return fault_folders[fault_index(k)]; }
  std::int32_t fault_folder_length(int k) const { return fault_folder_lengths[fault_index(k)]; }
  const textio::FixedText400& case_folder(int k) const { return case_folders[case_index(k)]; }
  std::int32_t case_folder_length(int k) const { return case_folder_lengths[case_index(k)]; }
  double period(int j) const { return period_table[period_index(j)]; }
  double spectrum(int fault, int row) const { return fault_spectra[period_index(row) * kMaxFaults + fault_index(fault)]; }
  double target(int j) const { return target_spectrum[period_index(j)]; }
  std::int32_t case_sample_count(int c) const { return case_integer_table[case_index(c)]; }
  std::int32_t case_rank(int c) const { return case_integer_table[kMaxCases + case_index(c)]; }
  double acceleration(int c, int j) const { return acceleration_column(c)[sample_index(j)]; }
  double peak_velocity(int c) const { return case_peak_velocity[case_index(c)]; }
  double& velocity_checkpoint(int c, int k) { return case_velocity_checkpoints[checkpoint_index(c, k)]; }
  double velocity_checkpoint(int c, int k) const { return case_velocity_checkpoints[checkpoint_index(c, k)]; }
  // The samples of case c, sample 1 first, one after the other.
  double* acceleration_column(int c) { return &case_acceleration[case_index(c) * kMaxSamples]; }
  const double* acceleration_column(int c) const { return &case_acceleration[case_index(c) * kMaxSamples]; }

  // The 0-based index of a 1-based number, held to the table's room.
  static int fault_index(int k) {
    GM_EXPECT(k >= 1 && k <= kMaxFaults, "fault numbers are checked against the fault count before they index");
    return k - 1;
  }
  static int case_index(int c) {
    GM_EXPECT(c >= 1 && c <= kMaxCases, "case numbers are checked against the case count before they index");
    return c - 1;
  }
  static int period_index(int j) {
    GM_EXPECT(j >= 1 && j <= kMaxPeriods, "period rows run from 1 to the period count");
    return j - 1;
  }
  static int checkpoint_index(int c, int k) {
    GM_EXPECT(k >= 1 && k < kVelocityCheckpoints, "checkpoints lie within a case's samples");
    return case_index(c) * kVelocityCheckpoints + k;
  }
  static int sample_index(int j) {
    GM_EXPECT(j >= 1 && j <= kMaxSamples, "sample numbers run from 1 to a count within the table's room");
    return j - 1;
  }
};

// The tables of the running program: static storage, zero-filled at load.
extern RunTables run_tables;

// Sets the tables to their start-up values, in the fixed order of start-up.
void start_up(RunTables& t);

// Asks the host for large pages under the acceleration table of cases 1 to t.case_count,
// before they are read: the largest run touches them whole. Only that room, not the room
// of the cases beyond the count: a large page reaching into it would hold memory the run
// never uses. Changes no content.
void prefer_large_pages_for_cases(RunTables& t);

}  // namespace gm
