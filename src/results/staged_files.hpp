#pragma once
// The files of a run are written under temporary names beside their own, and take the
// places of the real ones only once all are complete and on the disk. A run that fails
// (a full disk, a name taken by a folder, a disk that cannot flush) thus leaves the
// previous run's files as they were, and no partial file behind; a power cut at any
// moment leaves, under each name, a whole file: the earlier one or the new one.
//
// Putting the files in place is a series of renames, which may fail part way through. So
// that such a failure too leaves the earlier files, each earlier file is first moved to a
// backup name, kept until every new file is in place and the folder is on the disk; a
// failure moves every backup back.
//
// A file of the set that this run does not write (one an earlier run was asked for) goes
// the same way as an earlier file: to its backup name, removed once all is in place, and
// moved back by a failure; so the folder never holds files of two runs.
//
// Before the first rename the set is committed: a marker file (unfinished_set.hpp) names
// its files, so that a run killed while renaming is finished by the next start, all new;
// a run killed before leaves the earlier files, and the next start removes what it wrote.
//
// The names after a run: NAME (the file), NAME.part (the new file while it is written),
// NAME.old (the earlier file while the new ones are put in place).
#include <cstddef>
#include <deque>
#include <optional>
#include <span>
#include <utility>
#include <string>
#include <string_view>
#include <vector>

#include "parallel/pool.hpp"
#include "platform/console.hpp"
#include "platform/fs.hpp"
#include "platform/interrupt.hpp"
#include "textio/record_writer.hpp"
#include "textio/report.hpp"

namespace results {

class StagedFiles {
 public:
  // The fault place_all returns when an interrupt came before anything was put in place.
  static constexpr int kInterrupted = 130;

  // The pool flushes the files to the disk, several at a time. A restore that fails is
  // reported to `console`.
  StagedFiles(platform::Console& console, const parallel::Pool& pool) : console_(console), pool_(pool) {}
  StagedFiles(const StagedFiles&) = delete;
  StagedFiles& operator=(const StagedFiles&) = delete;
  // Whatever was not put in place is removed.
  ~StagedFiles();

  // The refusals writing and placing these files (units and names, in the order written)
  // would meet in the folder as it stands, in the order a run meets them, looked at
  // without changing anything: names that cannot be replaced, temporary names held by
  // a folder, a folder the program may not write to, backup names held by a folder.
  static std::vector<textio::Fault> foreseen_refusals(std::span<const std::pair<int, std::string_view>> files);

  // Writes the file `name` as the given unit: checks that `name` may be replaced, opens
  // its temporary file and lets `body` write the records. The file stays open until
  // place_all flushes it. Reports carry `name`. Every name is in one folder. After an
  // interrupt nothing more is written: kInterrupted.
  template <class Body>
  std::optional<textio::Fault> write(int unit_number, std::string_view name, Body&& body) {
    if (platform::interrupted()) return textio::Fault{kInterrupted, unit_number, std::string(name)};
    if (auto refusal = stage(unit_number, name)) return refusal;
    Staged& staged = files_.back();
    textio::OutputFileUnit file(unit_number, console_);
    const int status = file.open_for_writing(staged.temp, name);
    if (status != textio::kStatusOk) return textio::Fault{status, unit_number, std::string(name)};
    body(file.unit());
    if (!file.finish_unit(staged.file)) return file.unit().fault();
    start_flush(staged);
    return std::nullopt;
  }

  // The file `name` (of the same folder), written by an earlier run, is not one of this
  // run's: place_all takes it away with the earlier files it replaces. Nothing happens
  // to a folder of that name, or when there is no such file.
  void remove_when_placed(int unit_number, std::string_view name);

  // Flushes every written file to the disk, all at once (with more than one thread each
  // file has been on its way to the disk since it was written, see start_flush), then
  // commits the set (the marker), puts each in the place of its name, in the order
  // written, moves the files to be removed to their backup names, and flushes the folder;
  // an interrupt that comes meanwhile waits until the set is in place. One that came
  // before the commit ends it with kInterrupted and nothing changed. On
  // a failure every name holds its earlier file again (or none, as before) and the fault
  // names the file: 38 when a flush failed (that file's, or the folder's after the last
  // file), else the refusal of the rename. A backup that cannot be moved back is reported
  // on the console as an error naming its file, which then stays under its backup name.
  std::optional<textio::Fault> place_all();

 private:
  static constexpr std::string_view kTemporarySuffix = ".part";
  static constexpr std::string_view kBackupSuffix = ".old";
  struct Staged {
    std::string name;
    std::string temp;
    std::string backup;
    platform::OutputFile file;  // open from write to the flush
    int unit = 0;
    bool flushing = false;   // posted to the pool to be flushed and closed (start_flush)
    bool flushed = false;    // ... and was, without a failure
    bool backed_up = false;  // the earlier file is under `backup`
    bool placed = false;     // the new file is under `name`
  };
  // A file of the set that this run does not write.
  struct Stale {
    std::string name;
    std::string backup;
    int unit = 0;
    bool backed_up = false;
  };

  // Checks that `name` may be replaced and records its other names; from then on the
  // destructor removes the temporary file.
  std::optional<textio::Fault> stage(int unit_number, std::string_view name);
  // With more than one thread, has a helper of the pool flush a file just written, so
  // that the disk works on it while the caller renders the next files; the outcome waits
  // in `f` for flush_all, which reports failures in the order written.
  void start_flush(Staged& f);
  void wait_for_flushes() noexcept;
  std::optional<textio::Fault> flush_all();
  std::optional<textio::Fault> place(Staged& f);
  std::optional<textio::Fault> take_away(Stale& s);
  // Puts back every earlier file moved so far and removes the new files without one.
  void undo();

  platform::Console& console_;
  const parallel::Pool& pool_;
  bool committed_ = false;  // the marker is on the disk: the set goes forward
  std::deque<Staged> files_;  // a deque: the flushes hold on to their file
  std::vector<Stale> stale_;
};

}  // namespace results
