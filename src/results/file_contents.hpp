#pragma once
// What each result file holds, said once for both ways of writing it: its header records,
// written by statements through the record layer, and its data records, rows of one first
// field (F12.4) and some values (F14.6 each), read straight from the tables.
#include <cstddef>
#include <string_view>
#include <vector>

#include "results/result_files.hpp"
#include "tables/run_tables.hpp"
#include "textio/record_writer.hpp"

namespace results {

// The data records of a file. Record j (from 1) holds first(j), then value(j, k) for
// k = 0..values-1.
struct DataRows {
  int count = 0;
  int values = 0;
  const double* firsts = nullptr;  // first(j) = firsts[j - 1]; null: the time of sample j
  double time_step = 0.0;
  // value(j, k) = base[(j - 1) * row_step + k * value_step]
  const double* base = nullptr;
  std::ptrdiff_t row_step = 0;
  std::ptrdiff_t value_step = 0;
  textio::Layout layout;  // of one data record, for writing it by statement

  double first(int j) const noexcept {
    // The time from the index on every row, never accumulated: the last of 100000 rows
    // stays exact.
    return firsts != nullptr ? firsts[j - 1] : static_cast<double>(j - 1) * time_step;
  }
  const double* row(int j) const noexcept { return base + static_cast<std::ptrdiff_t>(j - 1) * row_step; }
};

// A result file: its unit and name, the statements of its header (for the peak-velocity
// file, of the whole file) and its data records; or, for a file added to the set, bytes
// written as they stand.
struct FileContent {
  int unit = 0;
  std::string_view name;
  void (*header)(const gm::RunTables&, textio::OutputUnit&) = nullptr;
  DataRows rows;
  std::string_view bytes;  // without a header: the whole file
};

// The files of a run in the order they are written: the six, then `added` if not null.
// Needs longest_case_samples set; the contents point into `t` and `added`.
std::vector<FileContent> result_contents(const gm::RunTables& t, const AddedFile* added = nullptr);

// The statements before the data records: the file's header, or the whole of an added
// file (A, $: its bytes as they stand, no line end added).
void write_header(const gm::RunTables& t, const FileContent& file, textio::OutputUnit& unit);

// Writes the file whole through the record layer, one statement per record: the way of
// writing every other way is held to.
void write_by_statements(const gm::RunTables& t, const FileContent& file, textio::OutputUnit& unit);

}  // namespace results
