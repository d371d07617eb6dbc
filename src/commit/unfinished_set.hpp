#pragma once
// A result set that a run stopped (a kill, a crash, a power cut) while putting it in
// place, and how the next start finishes it: all new or all earlier, never a mix.
//
// The run writes each file NAME as NAME.part and flushes them all. Then it commits: it
// writes the marker (marker.hpp), flushes it and the folder. Only then does it rename,
// for each NAME placed, NAME -> NAME.old and NAME.part -> NAME, and for each NAME removed
// NAME -> NAME.old; it flushes the folder, removes the NAME.old copies, flushes the folder
// again, and last removes the marker. So:
//   - with the marker, every NAME.part still there is complete and new, a NAME whose
//     NAME.part is gone holds its new file, and every NAME.old is a copy of the set the
//     committed one replaces: finishing means going forward;
//   - without it (or with one cut short, which the commit never completed), no rename has
//     been made: every NAME holds its earlier file and a NAME.part is a leftover. A
//     NAME.old then was made by no run of this version (an earlier version removed the
//     marker before its copies): it may be the only copy of a result file, or a copy of a
//     set since replaced, and nothing tells which, so it is left as it is and named.
// A run that undoes its renames after a failure keeps this true by moving each new NAME
// back to NAME.part and each NAME.old back to NAME before it removes the marker.
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/file_system.hpp"

namespace commit {

// What finish_unfinished_set did.
struct SetRepair {
  enum class Action {
    Nothing,        // nothing was left (`line` may still name what it left as it is)
    RolledForward,  // the committed set is in place now, the marker and copies removed
    RolledBack,     // stray NAME.part removed (and a marker cut short)
    Refused,        // a file of the marker's name that is not ours, or that names a file
                    // outside the set: nothing touched
    Stuck,          // the marker's set could not be finished (a rename or a removal
                    // refused, a folder that cannot be flushed): the marker stays
  };
  Action action = Action::Nothing;
  // One line for standard error, ending in CR LF (names as Shift-JIS bytes); empty when
  // there is nothing to say.
  std::string line;

  // Refused and Stuck: the run ends here. It must not write a set of its own, whose
  // NAME.part files would take the place of the committed ones, nor touch another's file.
  bool ends_run() const { return action == Action::Refused || action == Action::Stuck; }
};

// Finishes whatever a run stopped in the folder `folder_prefix` left, among the files
// named `set_names` (every name the result set can hold, bare). Run it at every start,
// before the definition file is read. With a marker of this program: renames each
// NAME.part it names to NAME, removes the files it names as removed and every NAME.old of
// its names, flushes the folder, removes the marker and flushes again; a name neither
// waiting under NAME.part nor in place is reported, and the rest is finished. Without
// one, or with one cut short: removes every stray NAME.part (and the marker), and leaves
// every NAME.old as it is, naming it. A folder (or link) under any of these names is never
// moved nor removed, only named.
SetRepair finish_unfinished_set(platform::FileSystem& fs, std::string_view folder_prefix,
                                std::span<const std::string_view> set_names);

// What finish_unfinished_set would do, told without changing anything.
struct StartOutlook {
  // The start would end the run (SetRepair::ends_run): `text` is its line word for word,
  // without "gmgather: " and the line end. Foreseen as far as the folder shows it: a
  // folder under a name to be renamed to, or a folder the program may not write to.
  bool ends_run = false;
  // Otherwise a warning of what the start will do; empty when there is nothing to say.
  std::string text;
  // The paths the start will rename or remove, each with what will stand there after it
  // (FileKind::File or FileKind::Missing): what a run after the start meets.
  std::vector<std::pair<std::string, platform::FileKind>> changes;
};
StartOutlook foresee_start(platform::FileSystem& fs, std::string_view folder_prefix,
                           std::span<const std::string_view> set_names);

// The folder as the start will leave it, for foreseeing what the run after it meets:
// looks at a path the start changes answer what will stand there, every other look goes
// to `inner`. Changes nothing: its calls that would are refused.
class FolderAfterStart : public platform::FileSystem {
 public:
  FolderAfterStart(platform::FileSystem& inner, const StartOutlook& outlook) : inner_(inner), outlook_(outlook) {}

  std::unique_ptr<platform::WrittenFile> create(std::string_view, platform::OpenError& error) override;
  platform::OpenError read_start(std::string_view path, std::size_t limit, std::string& bytes) override;
  platform::OpenError replace_file(std::string_view, std::string_view) override;
  platform::OpenError remove_file(std::string_view) override;
  bool flush_folder_of(std::string_view) override { return false; }
  platform::FileKind file_kind(std::string_view path) override;
  platform::OpenError check_replaceable(std::string_view path) override;
  platform::OpenError check_creatable_beside(std::string_view path) override {
    return inner_.check_creatable_beside(path);
  }

 private:
  const platform::FileKind* changed(std::string_view path) const;

  platform::FileSystem& inner_;
  const StartOutlook& outlook_;
};

}  // namespace commit
