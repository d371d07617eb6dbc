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
// Before the first rename the set is committed (marker.hpp), and the marker goes only
// after the last backup is removed and the folder flushed: a start that finds backups
// without it knows they are not a committed set's (unfinished_set.hpp).
#include <cstddef>
#include <deque>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "commit/names.hpp"
#include "parallel/pool.hpp"
#include "platform/console.hpp"
#include "platform/file_system.hpp"
#include "platform/interrupt.hpp"
#include "textio/record_writer.hpp"
#include "textio/report.hpp"

namespace commit {

// A unit and the name it writes, or (for a file the run takes away) the name it would.
using NamedUnit = std::pair<int, std::string_view>;

class StagedFiles {
 public:
  // The fault place_all returns when an interrupt came before anything was put in place.
  static constexpr int kInterrupted = 130;

  // Every file call goes to `fs`; the pool flushes the files to the disk, several at a
  // time. A restore or a clean-up that fails is reported to `console`.
  StagedFiles(platform::FileSystem& fs, platform::Console& console, const parallel::Pool& pool)
      : fs_(fs), console_(console), pool_(pool) {}
  StagedFiles(const StagedFiles&) = delete;
  StagedFiles& operator=(const StagedFiles&) = delete;
  // Whatever was not put in place is removed, unless the set stays committed.
  ~StagedFiles();

  // The refusals writing the files `written` and placing them (taking the files `removed`
  // away) would meet in the folder as it stands, in the order a run meets them, looked at
  // without changing anything: names that cannot be replaced, temporary names held by a
  // folder, a folder the program may not write to, backup names already taken.
  static std::vector<textio::Fault> foreseen_refusals(platform::FileSystem& fs, std::span<const NamedUnit> written,
                                                      std::span<const NamedUnit> removed);

  // Writes the file `name` as the given unit: checks that `name` may be replaced, opens
  // its temporary file and lets `body` write the records. The file stays open until
  // place_all flushes it. Reports carry `name`. Every name is in one folder. After an
  // interrupt nothing more is written: kInterrupted.
  template <class Body>
  std::optional<textio::Fault> write(int unit_number, std::string_view name, Body&& body) {
    if (platform::interrupted()) return textio::Fault{kInterrupted, unit_number, std::string(name)};
    if (auto refusal = stage(unit_number, name)) return refusal;
    Staged& staged = files_.back();
    Sink sink(*staged.file);
    textio::OutputUnit unit(unit_number, textio::OutputFileUnit::kBufferSize, false, console_);
    unit.attach(sink, name);
    body(unit);
    const bool written = unit.flush();
    unit.detach();
    if (!written) return unit.fault();
    start_flush(staged);
    return std::nullopt;
  }

  // The file `name` (of the same folder), written by an earlier run, is not one of this
  // run's: place_all takes it away with the earlier files it replaces. Nothing happens
  // to a folder of that name, or when there is no such file.
  void remove_when_placed(int unit_number, std::string_view name);

  // Flushes every written file to the disk, all at once (with more than one thread each
  // file has been on its way to the disk since it was written, see start_flush); checks
  // that no backup name is taken; commits the set (the marker); puts each file in the
  // place of its name, in the order written, the earlier one moving to its backup name,
  // and moves the files to be removed to theirs; flushes the folder. An interrupt that
  // comes meanwhile waits until the set is in place; one that came before the commit ends
  // it with kInterrupted and nothing changed. On a failure every name holds its earlier
  // file again (or none, as before) and the fault names the file: 38 when a flush failed
  // (that file's, or the folder's after the last file), 9 for a taken backup name, else
  // the refusal. A backup that cannot be moved back is reported on the console as an
  // error naming its file; the set then stays committed, for the next start to finish.
  //
  // Once the set is in place the backups are removed, each removal checked, the folder is
  // flushed, and only then the marker removed. A backup that cannot be removed (or a
  // folder that cannot be flushed, or a marker that stays) is named in one warning line
  // on the console: the set is in place all the same, and the marker stays so that the
  // next start finishes the clean-up.
  std::optional<textio::Fault> place_all();

 private:
  // The bytes of an output unit, into the file it writes.
  struct Sink : textio::ByteSink {
    explicit Sink(platform::WrittenFile& f) : file(f) {}
    bool write(const char* data, std::size_t n) override { return file.write(data, n); }
    platform::WrittenFile& file;
  };
  struct Staged {
    std::string name;
    std::string temp;
    std::string backup;
    std::unique_ptr<platform::WrittenFile> file;  // open from write to the flush
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
    bool present = false;    // a file of that name stood there at the commit
    bool backed_up = false;
  };

  // Checks that `name` may be replaced and creates its temporary file; from then on the
  // destructor removes the temporary file.
  std::optional<textio::Fault> stage(int unit_number, std::string_view name);
  // With more than one thread, has a helper of the pool flush a file just written, so
  // that the disk works on it while the caller renders the next files; the outcome waits
  // in `f` for flush_all, which reports failures in the order written.
  void start_flush(Staged& f);
  void wait_for_flushes() noexcept;
  std::optional<textio::Fault> flush_all();
  std::optional<textio::Fault> taken_backup();
  std::optional<textio::Fault> commit();
  std::optional<textio::Fault> rename_all();
  std::optional<textio::Fault> place(Staged& f);
  std::optional<textio::Fault> take_away(Stale& s);
  // Puts back every earlier file moved so far and moves each new file back to its
  // temporary name (which the destructor removes).
  void undo();
  void clean_up();

  platform::FileSystem& fs_;
  platform::Console& console_;
  const parallel::Pool& pool_;
  bool committed_ = false;  // the marker is on the disk: the set goes forward
  std::deque<Staged> files_;  // a deque: the flushes hold on to their file
  std::vector<Stale> stale_;
};

}  // namespace commit
