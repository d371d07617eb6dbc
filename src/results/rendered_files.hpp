#pragma once
// Writing the result files at speed: each file's data records are rendered in blocks on
// several threads, straight from the tables into memory, and the blocks are written in
// order. What a console would show (the reports of numbers too wide for their fields) is
// held back, so that an attempt that fails can be dropped without a trace and the files
// written again by statement, which then meets the failure exactly as it always has.
#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "parallel/pool.hpp"
#include "platform/console.hpp"
#include "commit/staged_files.hpp"
#include "results/result_set.hpp"

namespace results {

// A console for the reports of a write attempt: it keeps the lines, in the order made,
// until `show` passes them on. It takes no input and shows no output.
class HeldReports : public platform::Console {
 public:
  std::ptrdiff_t read_input(char*, std::size_t) override { return 0; }
  bool write_output(std::string_view) override { return false; }
  bool write_error(std::string_view bytes) override {
    lines_.emplace_back(std::string(bytes), 1);
    return true;
  }
  // Holds `times` copies of one line.
  void hold(std::string line, std::size_t times) {
    if (times > 0) lines_.emplace_back(std::move(line), times);
  }
  // Writes every line held to the console's error stream, each copy on its own.
  void show(platform::Console& console) const;

 private:
  std::vector<std::pair<std::string, std::size_t>> lines_;
};

// Writes the files of `contents` through `files`, in order, their data records rendered
// side by side on `workers`; the reports a write by statement would make go to `reports`,
// in the same order. True when every file was written whole; false at the first file that
// could not be, leaving the rest unwritten.
bool write_rendered(const gm::RunTables& t, const std::vector<FileContent>& contents, commit::StagedFiles& files,
                    HeldReports& reports, const parallel::Pool& pool);

}  // namespace results
