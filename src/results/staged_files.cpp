#include "results/staged_files.hpp"

#include <vector>

#include "platform/interrupt.hpp"
#include "results/unfinished_set.hpp"

namespace results {
namespace {

textio::Fault fault_of(int number, int unit, std::string_view name) {
  return textio::Fault{number, unit, std::string(name)};
}

}  // namespace

StagedFiles::~StagedFiles() {
  wait_for_flushes();
  for (Staged& f : files_) {
    // Closed first: Windows removes no file that is still open.
    f.file.close();
    // A committed set that could not be undone keeps its new files for the next start.
    if (!f.placed && !committed_) platform::remove_file(f.temp);
  }
}

std::vector<textio::Fault> StagedFiles::foreseen_refusals(std::span<const std::pair<int, std::string_view>> files) {
  std::vector<textio::Fault> faults;
  const auto refused = [&](platform::OpenError refusal, int unit, std::string_view name) {
    if (refusal == platform::OpenError::None) return false;
    faults.push_back(fault_of(textio::open_error_number(refusal), unit, name));
    return true;
  };
  // Writing: the name is looked at, then its temporary file made.
  for (const auto& [unit, name] : files) {
    if (refused(platform::check_replaceable(name), unit, name)) continue;
    const std::string temp = std::string(name).append(kTemporarySuffix);
    if (refused(platform::check_replaceable(temp), unit, name)) continue;
    refused(platform::check_creatable_beside(temp), unit, name);
  }
  if (!faults.empty()) return faults;
  // Placing: an earlier file moves to its backup name.
  for (const auto& [unit, name] : files) {
    const std::string backup = std::string(name).append(kBackupSuffix);
    const platform::FileKind kind = platform::file_kind(backup);
    if (platform::file_kind(name) == platform::FileKind::File && kind != platform::FileKind::Missing &&
        kind != platform::FileKind::File) {
      refused(platform::OpenError::AccessDenied, unit, name);
    }
  }
  return faults;
}

std::optional<textio::Fault> StagedFiles::stage(int unit_number, std::string_view name) {
  const platform::OpenError refusal = platform::check_replaceable(name);
  if (refusal != platform::OpenError::None) {
    return fault_of(textio::open_error_number(refusal), unit_number, name);
  }
  Staged& staged = files_.emplace_back();
  staged.name = name;
  staged.unit = unit_number;
  staged.temp.assign(name).append(kTemporarySuffix);
  staged.backup.assign(name).append(kBackupSuffix);
  return std::nullopt;
}

void StagedFiles::remove_when_placed(int unit_number, std::string_view name) {
  Stale& stale = stale_.emplace_back();
  stale.name = name;
  stale.backup.assign(name).append(kBackupSuffix);
  stale.unit = unit_number;
}

void StagedFiles::start_flush(Staged& f) {
  if (pool_.threads() <= 1) return;  // one thread: everything on the calling thread
  f.flushing = true;
  pool_.post([&f]() noexcept {
    const bool flushed = f.file.flush_to_disk();
    // Closed here all the same: Windows renames no file that is still open.
    const bool closed = f.file.close();
    f.flushed = flushed && closed;
  });
}

void StagedFiles::wait_for_flushes() noexcept {
  for (const Staged& f : files_) {
    if (f.flushing) {
      pool_.wait_for_tasks();
      return;
    }
  }
}

// The flushes wait on the disk, not on the processor, and are independent: side by side
// they cost about one wait for the disk instead of one per file. The first failure in
// the order written is reported, as a run flushing one file after another would.
std::optional<textio::Fault> StagedFiles::flush_all() {
  wait_for_flushes();
  std::vector<char> ok(files_.size(), 0);
  pool_.for_each(files_.size(), [&](std::size_t i) {
    Staged& f = files_[i];
    if (f.flushing) {
      ok[i] = f.flushed;
      return;
    }
    const bool flushed = f.file.flush_to_disk();
    // Closed here all the same: Windows renames no file that is still open.
    const bool closed = f.file.close();
    ok[i] = flushed && closed;
  });
  for (std::size_t i = 0; i < files_.size(); ++i) {
    if (ok[i] == 0) return fault_of(textio::kErrWrite, files_[i].unit, files_[i].name);
  }
  return std::nullopt;
}

std::optional<textio::Fault> StagedFiles::place(Staged& f) {
  platform::OpenError refusal = platform::replace_file(f.name, f.backup);
  if (refusal == platform::OpenError::None) {
    f.backed_up = true;
  } else if (refusal != platform::OpenError::NotFound) {  // NotFound: no earlier file
    return fault_of(textio::open_error_number(refusal), f.unit, f.name);
  }
  refusal = platform::replace_file(f.temp, f.name);
  if (refusal != platform::OpenError::None) {
    return fault_of(textio::open_error_number(refusal), f.unit, f.name);
  }
  f.placed = true;
  return std::nullopt;
}

std::optional<textio::Fault> StagedFiles::take_away(Stale& s) {
  // A folder of that name is not a file of an earlier run: it stays where it is.
  if (platform::file_kind(s.name) != platform::FileKind::File) return std::nullopt;
  const platform::OpenError refusal = platform::replace_file(s.name, s.backup);
  if (refusal == platform::OpenError::None) {
    s.backed_up = true;
  } else if (refusal != platform::OpenError::NotFound) {
    return fault_of(textio::open_error_number(refusal), s.unit, s.name);
  }
  return std::nullopt;
}

// Undoes the renames made so far, last first. While the set is committed (the marker is
// on the disk) every new file goes back under its temporary name before any earlier file
// comes back, and the marker goes only after that: a crash part way through leaves a
// marker whose set the next start completes.
void StagedFiles::undo() {
  bool whole = true;
  const auto rename_back = [&](const std::string& from, const std::string& to, int unit) {
    const platform::OpenError refusal = platform::replace_file(from, to);
    if (refusal == platform::OpenError::None) return true;
    console_.write_error(textio::report_line(textio::Severity::Error,
                                             fault_of(textio::open_error_number(refusal), unit, to)));
    whole = false;
    return false;
  };
  for (std::size_t i = files_.size(); i-- > 0;) {
    Staged& f = files_[i];
    if (f.placed && rename_back(f.name, f.temp, f.unit)) f.placed = false;
  }
  for (std::size_t i = stale_.size(); i-- > 0;) {
    if (stale_[i].backed_up && whole) rename_back(stale_[i].backup, stale_[i].name, stale_[i].unit);
  }
  for (std::size_t i = files_.size(); i-- > 0;) {
    if (files_[i].backed_up && whole) rename_back(files_[i].backup, files_[i].name, files_[i].unit);
  }
  // So that the earlier files are back on the disk too, as far as the disk allows.
  if (!platform::flush_folder_of(files_.front().name)) whole = false;
  if (committed_ && whole && remove_marker(folder_prefix_of(files_.front().name))) committed_ = false;
}

std::optional<textio::Fault> StagedFiles::place_all() {
  if (files_.empty()) return std::nullopt;
  if (auto fault = flush_all()) return fault;
  // The last moment to stop with nothing changed.
  if (platform::interrupted()) return fault_of(kInterrupted, files_.back().unit, files_.back().name);
  std::vector<std::string_view> placed;
  std::vector<std::string_view> removed;
  for (const Staged& f : files_) placed.push_back(f.name);
  for (const Stale& s : stale_) {
    if (platform::file_kind(s.name) == platform::FileKind::File) removed.push_back(s.name);
  }
  if (auto fault = write_marker(placed, removed, files_.back().unit)) return fault;
  committed_ = true;
  // From here the set goes in whole: an interrupt waits until it is in place.
  const platform::InterruptDeferral placing;
  for (Staged& f : files_) {
    if (auto fault = place(f)) {
      undo();
      return fault;
    }
  }
  for (Stale& s : stale_) {
    if (auto fault = take_away(s)) {
      undo();
      return fault;
    }
  }
  // Until the folder is on the disk, a power cut may still bring back earlier names.
  const Staged& last = files_.back();
  if (!platform::flush_folder_of(last.name)) {
    undo();
    return fault_of(textio::kErrWrite, last.unit, last.name);
  }
  for (const Staged& f : files_) platform::remove_file(f.backup);
  for (const Stale& s : stale_) {
    if (s.backed_up) platform::remove_file(s.backup);
  }
  // The set is complete without the marker; one left behind would only make the next
  // start finish what is already finished.
  remove_marker(folder_prefix_of(last.name));
  committed_ = false;
  return std::nullopt;
}

}  // namespace results
