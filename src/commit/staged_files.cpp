#include "commit/staged_files.hpp"

#include "commit/marker.hpp"
#include "platform/interrupt.hpp"

namespace commit {
namespace {

using platform::FileKind;
using platform::OpenError;

textio::Fault fault_of(int number, int unit, std::string_view name) {
  return textio::Fault{number, unit, std::string(name)};
}

// Whether the earlier file under `name` cannot move to `backup`: something stands there
// already. A folder cannot be replaced; a file there was not made by a run of this
// version (which removes its backups before it removes the marker, and whose start finds
// the marker while one is left), so it may be the only copy of an earlier result file, and
// is never replaced either.
bool backup_taken(platform::FileSystem& fs, const std::string& backup) {
  return fs.file_kind(backup) != FileKind::Missing;
}

// Whether what stands under the name of a file the run does not write lets the run go on.
// A folder is not a file of an earlier run: it stays where it is. What the host cannot
// tell (a link, a device, a look that failed) could be one, and the run stops rather than
// leave it beside the new set.
bool can_take_away(FileKind kind) { return kind != FileKind::Other; }

}  // namespace

StagedFiles::~StagedFiles() {
  wait_for_flushes();
  for (Staged& f : files_) {
    // Closed first: Windows removes no file that is still open. A close that fails here
    // changes nothing: the file is removed or, committed, finished by the next start.
    if (f.file) f.file->close();
    // A committed set keeps its new files for the next start.
    if (f.placed || committed_) continue;
    if (fs_.remove_file(f.temp) != OpenError::None) {
      console_.write_error("gmgather: warning: " + f.temp + " could not be removed: the next start of gmgather "
                           "here removes it\r\n");
    }
  }
}

std::vector<textio::Fault> StagedFiles::foreseen_refusals(platform::FileSystem& fs, std::span<const NamedUnit> written,
                                                          std::span<const NamedUnit> removed) {
  std::vector<textio::Fault> faults;
  const auto refused = [&](OpenError refusal, int unit, std::string_view name) {
    if (refusal == OpenError::None) return false;
    faults.push_back(fault_of(textio::open_error_number(refusal), unit, name));
    return true;
  };
  // Writing: the name is looked at, then its temporary file made.
  for (const auto& [unit, name] : written) {
    if (refused(fs.check_replaceable(name), unit, name)) continue;
    const std::string temp = temporary_name(name);
    if (refused(fs.check_replaceable(temp), unit, name)) continue;
    refused(fs.check_creatable_beside(temp), unit, name);
  }
  if (!faults.empty()) return faults;
  // Placing: every backup name must be free.
  for (const auto& [unit, name] : written) {
    if (backup_taken(fs, backup_name(name))) refused(OpenError::AccessDenied, unit, name);
  }
  for (const auto& [unit, name] : removed) {
    const FileKind kind = fs.file_kind(name);
    if (!can_take_away(kind) || (kind == FileKind::File && backup_taken(fs, backup_name(name)))) {
      refused(OpenError::AccessDenied, unit, name);
    }
  }
  return faults;
}

std::optional<textio::Fault> StagedFiles::stage(int unit_number, std::string_view name) {
  const OpenError refusal = fs_.check_replaceable(name);
  if (refusal != OpenError::None) return fault_of(textio::open_error_number(refusal), unit_number, name);
  Staged staged;
  staged.name = name;
  staged.unit = unit_number;
  staged.temp = temporary_name(name);
  staged.backup = backup_name(name);
  OpenError error;
  staged.file = fs_.create(staged.temp, error);
  if (!staged.file) return fault_of(textio::open_error_number(error), unit_number, name);
  files_.push_back(std::move(staged));
  return std::nullopt;
}

void StagedFiles::remove_when_placed(int unit_number, std::string_view name) {
  Stale& stale = stale_.emplace_back();
  stale.name = name;
  stale.backup = backup_name(name);
  stale.unit = unit_number;
}

void StagedFiles::start_flush(Staged& f) {
  if (pool_.threads() <= 1) return;  // one thread: everything on the calling thread
  f.flushing = true;
  pool_.post([&f]() noexcept {
    const bool flushed = f.file->flush_to_disk();
    // Closed here all the same: Windows renames no file that is still open.
    const bool closed = f.file->close();
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
    const bool flushed = f.file->flush_to_disk();
    // Closed here all the same: Windows renames no file that is still open.
    const bool closed = f.file->close();
    ok[i] = flushed && closed;
  });
  for (std::size_t i = 0; i < files_.size(); ++i) {
    if (ok[i] == 0) return fault_of(textio::kErrWrite, files_[i].unit, files_[i].name);
  }
  return std::nullopt;
}

// Checked before the commit, so that a taken name changes nothing at all; in the order
// the renames would meet them.
std::optional<textio::Fault> StagedFiles::taken_backup() {
  for (const Staged& f : files_) {
    if (backup_taken(fs_, f.backup)) return fault_of(textio::kErrPermission, f.unit, f.name);
  }
  for (Stale& s : stale_) {
    const FileKind kind = fs_.file_kind(s.name);
    if (!can_take_away(kind) || (kind == FileKind::File && backup_taken(fs_, s.backup))) {
      return fault_of(textio::kErrPermission, s.unit, s.name);
    }
    s.present = kind == FileKind::File;
  }
  return std::nullopt;
}

std::optional<textio::Fault> StagedFiles::commit() {
  std::vector<std::string_view> placed;
  std::vector<std::string_view> removed;
  for (const Staged& f : files_) placed.push_back(f.name);
  for (const Stale& s : stale_) {
    if (s.present) removed.push_back(s.name);
  }
  const Commitment commitment = write_marker(fs_, placed, removed, files_.back().unit);
  if (!commitment.fault) {
    committed_ = true;
    return std::nullopt;
  }
  if (commitment.stays) {
    // It may be whole: the new files are kept for the next start, which puts them in
    // place if it is, and removes them if it is not.
    committed_ = true;
    console_.write_error(textio::report_line(textio::Severity::Error, *commitment.stays));
  }
  return commitment.fault;
}

std::optional<textio::Fault> StagedFiles::place(Staged& f) {
  OpenError refusal = fs_.replace_file(f.name, f.backup);
  if (refusal == OpenError::None) {
    f.backed_up = true;
  } else if (refusal != OpenError::NotFound) {  // NotFound: no earlier file
    return fault_of(textio::open_error_number(refusal), f.unit, f.name);
  }
  refusal = fs_.replace_file(f.temp, f.name);
  if (refusal != OpenError::None) return fault_of(textio::open_error_number(refusal), f.unit, f.name);
  f.placed = true;
  return std::nullopt;
}

std::optional<textio::Fault> StagedFiles::take_away(Stale& s) {
  if (!s.present) return std::nullopt;
  const OpenError refusal = fs_.replace_file(s.name, s.backup);
  if (refusal == OpenError::None) {
    s.backed_up = true;
  } else if (refusal != OpenError::NotFound) {
    return fault_of(textio::open_error_number(refusal), s.unit, s.name);
  }
  return std::nullopt;
}

std::optional<textio::Fault> StagedFiles::rename_all() {
  for (Staged& f : files_) {
    if (auto fault = place(f)) return fault;
  }
  for (Stale& s : stale_) {
    if (auto fault = take_away(s)) return fault;
  }
  // Until the folder is on the disk, a power cut may still bring back earlier names.
  if (!fs_.flush_folder_of(files_.back().name)) return fault_of(textio::kErrWrite, files_.back().unit, files_.back().name);
  return std::nullopt;
}

// Undoes the renames made so far, last first. While the set is committed (the marker is
// on the disk) every new file goes back under its temporary name before any earlier file
// comes back, and the marker goes only after that: a crash part way through leaves a
// marker whose set the next start completes.
void StagedFiles::undo() {
  bool whole = true;
  const auto rename_back = [&](const std::string& from, const std::string& to, int unit) {
    const OpenError refusal = fs_.replace_file(from, to);
    if (refusal == OpenError::None) return true;
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
  // The earlier names on the disk before the marker goes, and the marker gone from the
  // disk before the destructor removes the temporary files: a start that found the
  // marker without them would take the earlier files for the new set.
  const std::string& last = files_.back().name;
  if (!whole || !fs_.flush_folder_of(last)) return;
  if (remove_marker(fs_, folder_prefix_of(last)) == OpenError::None && fs_.flush_folder_of(last)) {
    committed_ = false;
  }
}

// The order that lets a start tell a committed set from an earlier version's leftovers:
// every copy removed, the folder flushed, and only then the marker removed.
void StagedFiles::clean_up() {
  std::string left;
  const auto remove_copy = [&](const std::string& backup) {
    if (fs_.remove_file(backup) == OpenError::None) return;
    left.append(left.empty() ? "" : ", ").append(backup);
  };
  for (const Staged& f : files_) {
    if (f.backed_up) remove_copy(f.backup);
  }
  for (const Stale& s : stale_) {
    if (s.backed_up) remove_copy(s.backup);
  }
  const std::string& last = files_.back().name;
  const std::string marker(kMarkerFile);
  std::string trouble;
  if (!left.empty()) {
    trouble = left + " could not be removed: " + marker + " stays, and the next start of gmgather here removes them";
  } else if (!fs_.flush_folder_of(last)) {
    trouble = "the folder could not be flushed after their earlier copies were removed: " + marker +
              " stays, and the next start of gmgather here finishes";
  } else if (remove_marker(fs_, folder_prefix_of(last)) != OpenError::None) {
    trouble = marker + " could not be removed: the next start of gmgather here removes it";
  } else {
    // Should this flush fail and the marker come back after a power cut, the next start
    // finds the set already in place and only removes it: nothing to report now.
    static_cast<void>(fs_.flush_folder_of(last));
    committed_ = false;
    return;
  }
  console_.write_error("gmgather: warning: the new result files are in place, but " + trouble + "\r\n");
}

std::optional<textio::Fault> StagedFiles::place_all() {
  if (files_.empty()) return std::nullopt;
  if (auto fault = flush_all()) return fault;
  if (auto fault = taken_backup()) return fault;
  // The last moment to stop with nothing changed.
  if (platform::interrupted()) return fault_of(kInterrupted, files_.back().unit, files_.back().name);
  if (auto fault = commit()) return fault;
  // From here the set goes in whole: an interrupt waits until it is in place.
  const platform::InterruptDeferral placing;
  if (auto fault = rename_all()) {
    undo();
    return fault;
  }
  clean_up();
  return std::nullopt;
}

}  // namespace commit
