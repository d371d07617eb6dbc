#pragma once
// The files of a run are written under temporary names beside their own, and take the
// places of the real ones only once all are complete. A run that fails while writing (a
// full disk, a name taken by a folder) thus leaves the previous run's files as they were,
// and no partial file behind.
#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "platform/console.hpp"
#include "platform/fs.hpp"
#include "textio/record_writer.hpp"
#include "textio/report.hpp"

namespace results {

class StagedFiles {
 public:
  static constexpr std::size_t kMaxFiles = 8;

  explicit StagedFiles(platform::Console& console) : console_(console) {}
  StagedFiles(const StagedFiles&) = delete;
  StagedFiles& operator=(const StagedFiles&) = delete;
  // Whatever was not put in place is removed.
  ~StagedFiles();

  // Writes the file `name` as the given unit: checks that `name` may be replaced, opens
  // its temporary file, lets `body` write the records and closes it. Reports carry `name`.
  template <class Body>
  std::optional<textio::Fault> write(int unit_number, std::string_view name, Body&& body) {
    if (auto refusal = stage(unit_number, name)) return refusal;
    textio::OutputFileUnit file(unit_number, console_);
    const int status = file.open_for_writing(files_[count_ - 1].temp, name);
    if (status != textio::kStatusOk) return textio::Fault{status, unit_number, std::string(name)};
    body(file.unit());
    if (!file.close_unit()) return file.unit().fault();
    return std::nullopt;
  }

  // Puts every written file in the place of its name, in the order written.
  std::optional<textio::Fault> place_all();

 private:
  static constexpr std::string_view kTemporarySuffix = ".part";
  struct Staged {
    std::string_view name;
    std::string temp;
    int unit = 0;
  };

  // Checks that `name` may be replaced and records its temporary name; from then on the
  // destructor removes the temporary file.
  std::optional<textio::Fault> stage(int unit_number, std::string_view name);

  platform::Console& console_;
  std::array<Staged, kMaxFiles> files_{};
  std::size_t count_ = 0;
  std::size_t placed_ = 0;
};

}  // namespace results
