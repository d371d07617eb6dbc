#pragma once
// A result set that a run stopped (a kill, a crash, a power cut) while putting it in
// place, and how the next start finishes it: all new or all earlier, never a mix.
//
// The run writes each file NAME as NAME.part and flushes them all. Then it commits: it
// writes the marker (kMarkerFile, beside the result files), flushes it and the folder.
// Only then does it rename, for each NAME placed, NAME -> NAME.old and NAME.part -> NAME,
// and for each NAME removed (a file of the set this run does not write, which an earlier
// run left) NAME -> NAME.old; it flushes the folder, removes the NAME.old copies, and
// last removes the marker. So:
//   - with the marker, every NAME.part still there is complete and new, and a NAME whose
//     NAME.part is gone holds its new file: finishing means going forward;
//   - without it (or with one cut short, which the commit never completed), no rename has
//     been made: every NAME holds its earlier file and a NAME.part is a leftover.
// A run that undoes its renames after a failure keeps this true by moving each new NAME
// back to NAME.part and each NAME.old back to NAME before it removes the marker.
//
// The marker is a text file, Shift-JIS, CR LF, which a user who opens it can read:
//   gmgather: result files being put in place; the next start of gmgather here finishes this (format 1)
//   place NAME            one line per file placed
//   remove NAME           one line per file removed
//   end N                 N: the number of place and remove lines
// Names are bare (the folder is the marker's own), so a folder moved or copied after a
// crash is finished where it is.
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "textio/report.hpp"

namespace results {

inline constexpr std::string_view kMarkerFile = "gmgather-unfinished.txt";

// The folder part of a program path, its last separator included: "a\\b.csv" -> "a\\",
// "/tmp/b.csv" -> "/tmp/", "b.csv" -> "". A 0x5C that ends a double-byte character
// (表 = 95 5C) is no separator.
std::string_view folder_prefix_of(std::string_view sjis_path);

// Commits a set: writes the marker into the folder of the files, naming the files
// `placed` and `removed` (paths as the run builds them, all in one folder; only their
// names are written), flushes it to the disk and flushes the folder. Call it once every
// NAME.part is written and flushed, before the first rename. Fails (the marker then
// removed) with the fault for `unit` and the marker's path: 9 when a file of the marker's
// name is not a marker of this program (left as it is), a name that cannot be recorded
// (43) or an open refusal, 38 when it cannot be written or flushed. A marker this program
// left earlier is replaced.
std::optional<textio::Fault> write_marker(std::span<const std::string_view> placed,
                                          std::span<const std::string_view> removed, int unit);

// Removes the marker of the folder `folder_prefix` (see folder_prefix_of) and flushes the
// folder; false when the marker is still there or the flush failed. Call it after the
// last rename, the folder flush and the removal of the NAME.old copies.
bool remove_marker(std::string_view folder_prefix);

// What finish_unfinished_set did.
struct SetRepair {
  enum class Action {
    Nothing,        // nothing was left (`line` may still name a folder left under NAME.part)
    RolledForward,  // the committed set is in place now, the marker and copies removed
    RolledBack,     // stray NAME.part removed, earlier files moved back from NAME.old
    Refused,        // a file of the marker's name that is not ours: nothing touched. The
                    // run may go on: its write_marker refuses before any rename
    Stuck,          // the marker's set could not be put in place (a rename refused, or the
                    // marker cannot be removed): the marker stays, and the run must not
                    // write a new set, whose NAME.part files would take the place of the
                    // committed ones
  };
  Action action = Action::Nothing;
  // One line for standard error, ending in CR LF (names as Shift-JIS bytes); empty when
  // there is nothing to say.
  std::string line;
};

// Finishes whatever a run stopped in the folder `folder_prefix` left, among the files
// named `set_names` (every name the result set can hold, bare). Run it at every start,
// before the definition file is read. With a marker of this program: renames each
// NAME.part it names to NAME, removes the files it names as removed and every NAME.old,
// flushes the folder, removes the marker and flushes again; a name neither waiting under
// NAME.part nor in place is reported, and the rest is finished. Without one: removes every
// stray NAME.part, moves NAME.old back to NAME where NAME is missing and removes it where
// NAME is there. A folder (or link) under any of these names is never moved nor removed,
// only reported.
SetRepair finish_unfinished_set(std::string_view folder_prefix, std::span<const std::string_view> set_names);

// What finish_unfinished_set would do, changing nothing: one warning line (CR LF) when a
// run stopped left something, else nothing.
std::optional<std::string> describe_unfinished_set(std::string_view folder_prefix,
                                                   std::span<const std::string_view> set_names);

}  // namespace results
