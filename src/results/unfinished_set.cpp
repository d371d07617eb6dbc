#include "results/unfinished_set.hpp"

#include <algorithm>
#include <vector>

#include "platform/fs.hpp"
#include "results/commit_marker.hpp"

namespace results {
namespace {

using platform::FileKind;

constexpr std::string_view kTemporarySuffix = ".part";
constexpr std::string_view kBackupSuffix = ".old";

std::string path_of(std::string_view folder, std::string_view name, std::string_view suffix = {}) {
  std::string path(folder);
  path.append(name).append(suffix);
  return path;
}

std::string counted(std::size_t n, std::string_view one, std::string_view many) {
  return std::to_string(n) + " " + std::string(n == 1 ? one : many);
}

// Whether every name the marker gives is one of the set's, and none comes twice: a start
// renames and removes only files of the set.
bool names_of_the_set(const MarkerText& text, std::span<const std::string_view> set_names) {
  std::vector<std::string_view> seen;
  for (const auto* names : {&text.placed, &text.removed}) {
    for (const std::string& name : *names) {
      const bool known = std::find(set_names.begin(), set_names.end(), name) != set_names.end();
      if (!known || std::find(seen.begin(), seen.end(), name) != seen.end()) return false;
      seen.push_back(name);
    }
  }
  return true;
}

// What a run stopped before its commit left: files to act on, and what is left alone.
struct Leftovers {
  std::vector<std::string> temporaries;  // NAME.part files, to remove
  std::vector<std::string> to_restore;   // NAME with NAME missing and NAME.old a file
  std::vector<std::string> stale_copies; // NAME with both NAME and NAME.old files
  std::vector<std::string> notes;        // what is left as it is, and why
  bool empty() const { return temporaries.empty() && to_restore.empty() && stale_copies.empty(); }
};

Leftovers survey(std::string_view folder, std::span<const std::string_view> set_names) {
  Leftovers found;
  for (std::string_view name : set_names) {
    const FileKind part = platform::file_kind(path_of(folder, name, kTemporarySuffix));
    if (part == FileKind::File) found.temporaries.emplace_back(name);
    if (part == FileKind::Folder || part == FileKind::Other) {
      found.notes.push_back(path_of({}, name, kTemporarySuffix) + " is not a file: left as it is");
    }
    const FileKind old = platform::file_kind(path_of(folder, name, kBackupSuffix));
    if (old == FileKind::Missing) continue;
    const FileKind now = platform::file_kind(path_of(folder, name));
    if (old == FileKind::File && now == FileKind::Missing) {
      found.to_restore.emplace_back(name);
    } else if (old == FileKind::File && now == FileKind::File) {
      found.stale_copies.emplace_back(name);
    } else {
      found.notes.push_back(path_of({}, name, kBackupSuffix) + " left as it is (a folder or not a file there)");
    }
  }
  return found;
}

constexpr std::string_view kSaid = "gmgather: ";
constexpr std::string_view kWarned = "gmgather: warning: ";

// "gmgather: TEXT; NOTE; NOTE" and the line end; the text may be empty.
std::string line_of(std::string_view head, std::string_view text, const std::vector<std::string>& notes) {
  std::string line(head);
  line += text;
  for (const std::string& note : notes) line.append(line.size() > head.size() ? "; " : "").append(note);
  return line + "\r\n";
}

SetRepair roll_back(std::string_view folder, std::span<const std::string_view> set_names, bool cut_short_marker) {
  Leftovers found = survey(folder, set_names);
  for (const std::string& name : found.temporaries) platform::remove_file(path_of(folder, name, kTemporarySuffix));
  std::size_t restored = 0;
  for (const std::string& name : found.to_restore) {
    const std::string path = path_of(folder, name);
    if (platform::replace_file(path + std::string(kBackupSuffix), path) == platform::OpenError::None) {
      ++restored;
    } else {
      found.notes.push_back(path_of({}, name, kBackupSuffix) + " could not be moved back to " + name);
    }
  }
  // NAME holds a file, so its copy is not needed: such copies come from a run that
  // placed its files without a marker (an earlier version of this program), or from a
  // file system that lost the order of a run's last removals.
  for (const std::string& name : found.stale_copies) platform::remove_file(path_of(folder, name, kBackupSuffix));
  if (cut_short_marker) platform::remove_file(marker_path(folder));
  SetRepair repair;
  if (found.empty() && !cut_short_marker) {
    if (!found.notes.empty()) repair.line = line_of(kSaid, {}, found.notes);
    return repair;
  }
  platform::flush_folder_of(marker_path(folder));
  repair.action = SetRepair::Action::RolledBack;
  std::string text = "undid what an interrupted run had left: the earlier result files are as they were (" +
                     counted(found.temporaries.size(), "temporary file", "temporary files") + " removed";
  if (restored > 0) {
    text += ", " + counted(restored, "file moved back from its .old copy", "files moved back from their .old copies");
  }
  if (!found.stale_copies.empty()) {
    text += ", " + counted(found.stale_copies.size(), "needless .old copy", "needless .old copies") + " removed";
  }
  repair.line = line_of(kSaid, text + ")", found.notes);
  return repair;
}

SetRepair stuck(const std::string& why) {
  std::string line(kSaid);
  line += "cannot finish putting in place the result files an interrupted run had left: " + why;
  line += "; " + std::string(kMarkerFile) + " stays, and the next run tries again\r\n";
  return {SetRepair::Action::Stuck, line};
}

SetRepair roll_forward(std::string_view folder, const MarkerText& text) {
  std::size_t placed = 0;
  std::vector<std::string> notes;
  for (const std::string& name : text.placed) {
    const std::string path = path_of(folder, name);
    const std::string part = path_of(folder, name, kTemporarySuffix);
    const FileKind kind = platform::file_kind(part);
    if (kind == FileKind::File) {
      if (platform::replace_file(part, path) != platform::OpenError::None) {
        platform::flush_folder_of(path);
        return stuck(name + std::string(kTemporarySuffix) + " cannot take the name " + name);
      }
      ++placed;
    } else if (kind != FileKind::Missing) {
      notes.push_back(name + std::string(kTemporarySuffix) + " is not a file: left as it is");
    } else if (platform::file_kind(path) != FileKind::File) {
      notes.push_back(name + " was to be put in place but is neither there nor waiting as " + name + ".part");
    }
    // else: put in place before the run stopped
  }
  for (const std::string& name : text.removed) {
    const std::string path = path_of(folder, name);
    if (platform::file_kind(path) == FileKind::File) platform::remove_file(path);
  }
  for (const auto* names : {&text.placed, &text.removed}) {
    for (const std::string& name : *names) {
      const std::string old = path_of(folder, name, kBackupSuffix);
      if (platform::file_kind(old) == FileKind::File) platform::remove_file(old);
    }
  }
  // Every rename and removal on the disk before the marker goes: without it, a start
  // would take the folder for one whose set was never committed.
  if (!platform::flush_folder_of(marker_path(folder)) || !remove_marker(folder)) {
    return stuck(std::string(kMarkerFile) + " cannot be removed, or the folder cannot be flushed");
  }
  return {SetRepair::Action::RolledForward,
          line_of(kSaid, "finished putting in place the result files an interrupted run had left (" +
                      counted(placed, "file", "files") + " put in place)",
                  notes)};
}

std::string refusal() {
  return std::string(kMarkerFile) + " here was not written by this version of gmgather (or cannot be read)";
}

MarkerText marker_of(std::string_view folder, std::span<const std::string_view> set_names) {
  MarkerText text = read_marker(marker_path(folder));
  if (text.kind == MarkerText::Kind::Ours && !names_of_the_set(text, set_names)) {
    text.kind = MarkerText::Kind::Foreign;
  }
  return text;
}

}  // namespace

SetRepair finish_unfinished_set(std::string_view folder_prefix, std::span<const std::string_view> set_names) {
  const MarkerText text = marker_of(folder_prefix, set_names);
  switch (text.kind) {
    case MarkerText::Kind::Foreign:
      return {SetRepair::Action::Refused,
              std::string(kSaid) + refusal() + ": it and the result files are left as they are\r\n"};
    case MarkerText::Kind::Ours:
      return roll_forward(folder_prefix, text);
    default:
      return roll_back(folder_prefix, set_names, text.kind == MarkerText::Kind::CutShort);
  }
}

std::optional<std::string> describe_unfinished_set(std::string_view folder_prefix,
                                                   std::span<const std::string_view> set_names) {
  const MarkerText text = marker_of(folder_prefix, set_names);
  if (text.kind == MarkerText::Kind::Foreign) {
    return std::string(kWarned) + refusal() + ": a run leaves it as it is and cannot put result files in place\r\n";
  }
  if (text.kind == MarkerText::Kind::Ours) {
    return std::string(kWarned) + "an interrupted run left its result files half put in place (" +
           std::string(kMarkerFile) + ", " + counted(text.placed.size(), "file", "files") +
           "): the next run finishes that first\r\n";
  }
  const Leftovers found = survey(folder_prefix, set_names);
  if (found.empty() && text.kind == MarkerText::Kind::Absent) {
    if (found.notes.empty()) return std::nullopt;
    return line_of(kWarned, {}, found.notes);
  }
  std::string line = "an interrupted run left " +
                     counted(found.temporaries.size(), "temporary file", "temporary files");
  const std::size_t copies = found.to_restore.size() + found.stale_copies.size();
  if (copies > 0) line += " and " + counted(copies, ".old copy", ".old copies");
  return line_of(kWarned, line + ": the next run removes them and keeps the earlier result files", found.notes);
}

}  // namespace results
