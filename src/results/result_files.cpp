#include "results/result_files.hpp"

#include "commit/staged_files.hpp"
#include "results/rendered_files.hpp"

namespace results {
namespace {

using commit::StagedFiles;

void remove_the_rest_when_placed(StagedFiles& files, const Request& request) {
  for (const ResultFile& file : result_set()) {
    if (!request.asks(file.option)) files.remove_when_placed(file.unit, file.name);
  }
}

}  // namespace

std::vector<textio::Fault> foreseen_refusals(const Request& request, platform::FileSystem& fs) {
  std::vector<commit::NamedUnit> written, removed;
  for (const ResultFile& file : result_set()) {
    (request.asks(file.option) ? written : removed).emplace_back(file.unit, file.name);
  }
  return StagedFiles::foreseen_refusals(fs, written, removed);
}

std::vector<std::string_view> set_names() {
  std::vector<std::string_view> names;
  for (const ResultFile& file : result_set()) names.push_back(file.name);
  return names;
}

std::optional<textio::Fault> write_result_files(const gm::RunTables& t, platform::Console& console,
                                                const parallel::Pool& pool, const Request& request,
                                                platform::FileSystem& fs, const Preparation& prepare) {
  Request asked = request;
  bool prepared = false;
  // The files every run writes, then those of the options, made first if not yet made.
  const auto contents = [&](Files which) {
    if (which == Files::Optional && !prepared) {
      prepared = true;
      if (prepare) prepare(asked);
    }
    return result_contents(t, asked, which);
  };

  // The fast way first. Its files stand only when every one was written; its reports are
  // then shown as a write by statement would have shown them.
  {
    StagedFiles files(fs, console, pool);
    HeldReports reports;
    if (write_rendered(t, contents(Files::Always), files, reports, pool) &&
        write_rendered(t, contents(Files::Optional), files, reports, pool)) {
      reports.show(console);
      remove_the_rest_when_placed(files, asked);
      return files.place_all();
    }
  }  // a failed attempt's temporary files are gone here
  if (platform::interrupted()) return textio::Fault{StagedFiles::kInterrupted, 0, {}};

  // A file could not be written (a full disk, a size limit, a name that cannot be
  // replaced): everything again by statement, one file after the other, which ends at the
  // same failure with the same reports a run has always given.
  StagedFiles files(fs, console, pool);
  for (const Files which : {Files::Always, Files::Optional}) {
    for (const FileContent& file : contents(which)) {
      if (auto fault = files.write(file.unit(), file.name(), [&](textio::OutputUnit& unit) {
            write_by_statements(t, file, unit);
          })) {
        return fault;
      }
    }
  }
  remove_the_rest_when_placed(files, asked);
  return files.place_all();
}

}  // namespace results
