#include "results/result_files.hpp"

#include "results/file_contents.hpp"
#include "results/rendered_files.hpp"
#include "results/staged_files.hpp"

namespace results {

std::optional<textio::Fault> write_result_files(gm::RunTables& t, platform::Console& console,
                                                const parallel::Workers& workers, const AddedFile* added) {
  t.longest_case_samples = 0;
  for (int k = 1; k <= t.case_count; ++k) {
    if (t.case_sample_count(k) > t.longest_case_samples) {
      t.longest_case_samples = t.case_sample_count(k);
    }
  }
  const std::vector<FileContent> contents = result_contents(t, added);

  // The fast way first. Its files stand only when all six were written; its reports are
  // then shown as a write by statement would have shown them.
  {
    StagedFiles files(console, workers.threads());
    HeldReports reports;
    if (write_rendered(t, contents, files, reports, workers)) {
      reports.show(console);
      return files.place_all();
    }
  }  // a failed attempt's temporary files are gone here

  // A file could not be written (a full disk, a size limit, a name that cannot be
  // replaced): everything again by statement, one file after the other, which ends at the
  // same failure with the same reports a run has always given.
  StagedFiles files(console, workers.threads());
  for (const FileContent& file : contents) {
    if (auto fault = files.write(file.unit, file.name, [&](textio::OutputUnit& unit) {
          write_by_statements(t, file, unit);
        })) {
      return fault;
    }
  }
  return files.place_all();
}

}  // namespace results
