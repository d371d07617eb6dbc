#pragma once
// The marker: a short text file beside the result files that says a set is committed.
// A run writes it once every NAME.part is written and flushed, before its first rename,
// and removes it only once every NAME.old copy is gone and the folder flushed. So while
// it is there, every NAME.part it names is complete and new, and a NAME whose NAME.part
// is gone holds its new file: a start that finds it goes forward (unfinished_set.hpp).
//
// Shift-JIS, CR LF, readable by a user who opens it:
//   gmgather: result files being put in place; the next start of gmgather here finishes this (format 1)
//   place NAME            one line per file placed
//   remove NAME           one line per file of the set removed (one an earlier run left)
//   end N                 N: the number of place and remove lines
// Names are bare (the folder is the marker's own), so a folder moved or copied after a
// crash is finished where it is.
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_system.hpp"
#include "textio/report.hpp"

namespace commit {

// Its first line, by which a start knows the file as its own; another version writes
// another line, which this one leaves alone.
inline constexpr std::string_view kMarkerFirstLine =
    "gmgather: result files being put in place; the next start of gmgather here finishes this (format 1)";

struct MarkerText {
  enum class Kind {
    Absent,    // no file of the marker's name
    Ours,      // complete: the set was committed
    CutShort,  // ours, but its writing never ended: the set was not committed
    Foreign,   // not written by this program (or a folder, or unreadable)
  };
  Kind kind = Kind::Absent;
  std::vector<std::string> placed;  // bare names
  std::vector<std::string> removed;
};

// The marker's bytes for these bare names.
std::string compose_marker(const std::vector<std::string_view>& placed, const std::vector<std::string_view>& removed);

// What the bytes of a file of the marker's name say. A marker whose writing was cut short
// may end in zeros (a file system that had grown the file but not yet written its data)
// or stop anywhere: whatever begins like ours but lacks its closing line counts as cut
// short.
MarkerText parse_marker(std::string_view bytes);

// Reads and parses the file at `path`.
MarkerText read_marker(platform::FileSystem& fs, std::string_view path);

// How writing the marker went.
struct Commitment {
  // The fault for the run's `unit` and the marker's path: 9 when a file of the marker's
  // name is not a marker of this program (left as it is), 43 for a name that cannot be
  // recorded, an open refusal, 38 when it cannot be written or flushed.
  std::optional<textio::Fault> fault;
  // A failed marker that could not be removed again, as the refusal of its removal: it
  // may be whole, so the set must be treated as committed (its NAME.part files kept for
  // the next start).
  std::optional<textio::Fault> stays;
};

// Commits a set: writes the marker into the folder of the files, naming the files
// `placed` and `removed` (paths as the run builds them, all in one folder; only their
// names are written), flushes it to the disk and flushes the folder. A marker this program
// left earlier is replaced.
Commitment write_marker(platform::FileSystem& fs, std::span<const std::string_view> placed,
                        std::span<const std::string_view> removed, int unit);

// Removes the marker of the folder `folder_prefix`; None once it is gone. The caller
// flushes the folder as its order needs.
platform::OpenError remove_marker(platform::FileSystem& fs, std::string_view folder_prefix);

}  // namespace commit
