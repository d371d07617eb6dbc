#include "results/staged_files.hpp"

#include "parallel/workers.hpp"

namespace results {
namespace {

textio::Fault fault_of(int number, int unit, std::string_view name) {
  return textio::Fault{number, unit, std::string(name)};
}

}  // namespace

StagedFiles::~StagedFiles() {
  wait_for_flushes();
  for (std::size_t i = 0; i < count_; ++i) {
    Staged& f = files_[i];
    // Closed first: Windows removes no file that is still open.
    f.file.close();
    if (!f.placed) platform::remove_file(f.temp);
  }
}

std::optional<textio::Fault> StagedFiles::stage(int unit_number, std::string_view name) {
  const platform::OpenError refusal = platform::check_replaceable(name);
  if (refusal != platform::OpenError::None) {
    return fault_of(textio::open_error_number(refusal), unit_number, name);
  }
  Staged& staged = files_[count_];
  staged.name = name;
  staged.unit = unit_number;
  staged.temp.assign(name).append(kTemporarySuffix);
  staged.backup.assign(name).append(kBackupSuffix);
  ++count_;
  return std::nullopt;
}

void StagedFiles::start_flush(Staged& f) {
  if (threads_ <= 1) return;  // one thread: everything on the calling thread
  try {
    f.flusher = std::thread([&f]() noexcept {
      const bool flushed = f.file.flush_to_disk();
      // Closed here all the same: Windows renames no file that is still open.
      const bool closed = f.file.close();
      f.flushed = flushed && closed;
    });
  } catch (...) {
    // No thread to be had: flush_all flushes this file with the others.
  }
}

void StagedFiles::wait_for_flushes() noexcept {
  for (std::size_t i = 0; i < count_; ++i) {
    if (files_[i].flusher.joinable()) files_[i].flusher.join();
  }
}

// The flushes wait on the disk, not on the processor, and are independent: side by side
// they cost about one wait for the disk instead of one per file. The first failure in
// the order written is reported, as a run flushing one file after another would.
std::optional<textio::Fault> StagedFiles::flush_all() {
  std::array<bool, kMaxFiles> ok{};
  std::array<bool, kMaxFiles> flushed_early{};
  for (std::size_t i = 0; i < count_; ++i) {
    flushed_early[i] = files_[i].flusher.joinable();
    if (flushed_early[i]) files_[i].flusher.join();
  }
  parallel::Workers(threads_).for_each(count_, [&](std::size_t i) {
    if (flushed_early[i]) {
      ok[i] = files_[i].flushed;
      return;
    }
    const bool flushed = files_[i].file.flush_to_disk();
    // Closed here all the same: Windows renames no file that is still open.
    const bool closed = files_[i].file.close();
    ok[i] = flushed && closed;
  });
  for (std::size_t i = 0; i < count_; ++i) {
    if (!ok[i]) return fault_of(textio::kErrWrite, files_[i].unit, files_[i].name);
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

void StagedFiles::undo() {
  for (std::size_t i = count_; i-- > 0;) {
    Staged& f = files_[i];
    if (f.backed_up) {
      const platform::OpenError refusal = platform::replace_file(f.backup, f.name);
      if (refusal != platform::OpenError::None) {
        console_.write_error(textio::report_line(
            textio::Severity::Error, fault_of(textio::open_error_number(refusal), f.unit, f.name)));
      }
    } else if (f.placed) {
      platform::remove_file(f.name);
    }
  }
  // So that the earlier files are back on the disk too, as far as the disk allows.
  if (count_ > 0) platform::flush_folder_of(files_[0].name);
}

std::optional<textio::Fault> StagedFiles::place_all() {
  if (count_ == 0) return std::nullopt;
  if (auto fault = flush_all()) return fault;
  for (std::size_t i = 0; i < count_; ++i) {
    if (auto fault = place(files_[i])) {
      undo();
      return fault;
    }
  }
  // Until the folder is on the disk, a power cut may still bring back earlier names.
  const Staged& last = files_[count_ - 1];
  if (!platform::flush_folder_of(last.name)) {
    undo();
    return fault_of(textio::kErrWrite, last.unit, last.name);
  }
  for (std::size_t i = 0; i < count_; ++i) platform::remove_file(files_[i].backup);
  return std::nullopt;
}

}  // namespace results
