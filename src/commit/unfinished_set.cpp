#include "commit/unfinished_set.hpp"

#include <algorithm>
#include <vector>

#include "commit/marker.hpp"
#include "commit/names.hpp"

namespace commit {
namespace {

using platform::FileKind;
using platform::OpenError;

constexpr std::string_view kSaid = "gmgather: ";

std::string path_of(std::string_view folder, std::string_view name, std::string_view suffix = {}) {
  std::string path(folder);
  path.append(name).append(suffix);
  return path;
}

std::string counted(std::size_t n, std::string_view one, std::string_view many) {
  return std::to_string(n) + " " + std::string(n == 1 ? one : many);
}

// "TEXT; NOTE; NOTE", or the notes alone when there is no text.
std::string with_notes(std::string text, const std::vector<std::string>& notes) {
  for (const std::string& note : notes) text.append(text.empty() ? "" : "; ").append(note);
  return text;
}

std::string line_of(std::string_view text) { return std::string(kSaid).append(text).append("\r\n"); }

// How the start stands to the file under the marker's name.
enum class Standing {
  Absent,
  Ours,      // a whole marker of this program naming files of the set
  CutShort,  // ours, its writing never ended: the set was not committed
  Foreign,   // not written by this program, or unreadable
  Outside,   // ours by its form, but naming a file outside the set, or one twice
};

struct Marker {
  Standing standing = Standing::Absent;
  MarkerText text;
};

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

Marker marker_of(platform::FileSystem& fs, std::string_view folder, std::span<const std::string_view> set_names) {
  Marker m{Standing::Absent, read_marker(fs, marker_path(folder))};
  switch (m.text.kind) {
    case MarkerText::Kind::Absent: break;
    case MarkerText::Kind::CutShort: m.standing = Standing::CutShort; break;
    case MarkerText::Kind::Foreign: m.standing = Standing::Foreign; break;
    case MarkerText::Kind::Ours:
      m.standing = names_of_the_set(m.text, set_names) ? Standing::Ours : Standing::Outside;
      break;
  }
  return m;
}

std::string refusal_text(Standing standing) {
  std::string text(kMarkerFile);
  text += standing == Standing::Outside ? " here names a file that is not one of the result files, or one twice"
                                        : " here was not written by this version of gmgather (or cannot be read)";
  return text + ": it and the result files are left as they are, and no run here puts result files in place "
                "until it is moved away";
}

std::string stuck_text(std::string_view why) {
  return "cannot finish putting in place the result files an interrupted run had left: " + std::string(why) + "; " +
         std::string(kMarkerFile) + " stays, and the next run tries again";
}

// --- Going forward: the marker's set --------------------------------------------------

// One change going forward makes: a rename (`to` not empty) or a removal.
struct Step {
  std::string from;
  std::string to;
  std::string why_not;  // what a refusal of this step says
};

struct ForwardPlan {
  std::vector<Step> steps;
  std::vector<std::string> notes;  // what is left as it is, and why
  std::size_t placed = 0;
  std::size_t copies = 0;
};

struct Leftovers {
  std::vector<std::string> temporaries;  // NAME.part files, to remove
  std::vector<std::string> notes;        // what is left as it is, and why
};
Leftovers survey(platform::FileSystem& fs, std::string_view folder, std::span<const std::string_view> set_names);

// The marker's names go forward; a name of the set it does not give is no part of the
// committed set, and its leftovers go as they would without a marker.
ForwardPlan plan_forward(platform::FileSystem& fs, std::string_view folder, const MarkerText& text,
                         std::span<const std::string_view> set_names) {
  ForwardPlan plan;
  std::vector<std::string_view> others;
  for (std::string_view name : set_names) {
    const auto named = [&](const std::vector<std::string>& names) {
      return std::find(names.begin(), names.end(), name) != names.end();
    };
    if (!named(text.placed) && !named(text.removed)) others.push_back(name);
  }
  Leftovers left = survey(fs, folder, others);
  for (const std::string& part : left.temporaries) {
    plan.steps.push_back({path_of(folder, part), {}, part + " cannot be removed"});
  }
  plan.notes = std::move(left.notes);
  for (const std::string& name : text.placed) {
    const std::string part = name + std::string(kTemporarySuffix);
    const FileKind kind = fs.file_kind(path_of(folder, part));
    if (kind == FileKind::File) {
      plan.steps.push_back({path_of(folder, part), path_of(folder, name), part + " cannot take the name " + name});
      ++plan.placed;
    } else if (kind != FileKind::Missing) {
      plan.notes.push_back(part + " is not a file: left as it is");
    } else if (fs.file_kind(path_of(folder, name)) != FileKind::File) {
      plan.notes.push_back(name + " was to be put in place but is neither there nor waiting as " + part);
    }  // else: put in place before the run stopped
  }
  for (const std::string& name : text.removed) {
    if (fs.file_kind(path_of(folder, name)) == FileKind::File) {
      plan.steps.push_back({path_of(folder, name), {}, name + " cannot be removed"});
    }
  }
  for (const auto* names : {&text.placed, &text.removed}) {
    for (const std::string& name : *names) {
      const std::string old = name + std::string(kBackupSuffix);
      const FileKind kind = fs.file_kind(path_of(folder, old));
      if (kind == FileKind::File) {
        plan.steps.push_back({path_of(folder, old), {}, old + " cannot be removed"});
        ++plan.copies;
      } else if (kind != FileKind::Missing) {
        plan.notes.push_back(old + " left as it is (a folder or not a file there)");
      }
    }
  }
  return plan;
}

SetRepair stuck(platform::FileSystem& fs, std::string_view folder, std::string_view why) {
  // What was done so far stays done: the marker still tells the next start to go on.
  static_cast<void>(fs.flush_folder_of(marker_path(folder)));
  return {SetRepair::Action::Stuck, line_of(stuck_text(why))};
}

SetRepair roll_forward(platform::FileSystem& fs, std::string_view folder, const MarkerText& text,
                       std::span<const std::string_view> set_names) {
  const ForwardPlan plan = plan_forward(fs, folder, text, set_names);
  for (const Step& step : plan.steps) {
    const OpenError refusal = step.to.empty() ? fs.remove_file(step.from) : fs.replace_file(step.from, step.to);
    if (refusal != OpenError::None) return stuck(fs, folder, step.why_not);
  }
  // Every rename and removal on the disk before the marker goes: without it, a start
  // would take the folder for one whose set was never committed.
  const std::string marker = marker_path(folder);
  if (!fs.flush_folder_of(marker)) return stuck(fs, folder, "the folder cannot be flushed");
  if (remove_marker(fs, folder) != OpenError::None) return stuck(fs, folder, std::string(kMarkerFile) + " cannot be removed");
  // Should the marker come back after a power cut, the next start finds nothing left to do.
  static_cast<void>(fs.flush_folder_of(marker));
  std::string done = "finished putting in place the result files an interrupted run had left (" +
                     counted(plan.placed, "file", "files") + " put in place";
  if (plan.copies > 0) done += ", " + counted(plan.copies, "earlier copy", "earlier copies") + " removed";
  return {SetRepair::Action::RolledForward, line_of(with_notes(done + ")", plan.notes))};
}

// The stuck line a start would end with, if the folder shows it; empty when none.
std::string foreseen_stuck(platform::FileSystem& fs, std::string_view folder, const MarkerText& text,
                           std::span<const std::string_view> set_names) {
  const ForwardPlan plan = plan_forward(fs, folder, text, set_names);
  const bool writable = fs.check_creatable_beside(marker_path(folder)) == OpenError::None;
  for (const Step& step : plan.steps) {
    if (!writable || (!step.to.empty() && fs.file_kind(step.to) == FileKind::Folder)) return stuck_text(step.why_not);
  }
  return writable ? std::string() : stuck_text(std::string(kMarkerFile) + " cannot be removed");
}

// --- Without a committed set: the earlier files stand --------------------------------

Leftovers survey(platform::FileSystem& fs, std::string_view folder, std::span<const std::string_view> set_names) {
  Leftovers found;
  for (std::string_view name : set_names) {
    const std::string part = std::string(name).append(kTemporarySuffix);
    const FileKind part_kind = fs.file_kind(path_of(folder, part));
    if (part_kind == FileKind::File) found.temporaries.push_back(part);
    if (part_kind == FileKind::Folder || part_kind == FileKind::Other) {
      found.notes.push_back(part + " is not a file: left as it is");
    }
    const std::string old = std::string(name).append(kBackupSuffix);
    const FileKind old_kind = fs.file_kind(path_of(folder, old));
    if (old_kind == FileKind::File) {
      found.notes.push_back(old + " left as it is (a copy an earlier version of gmgather left: move it away, no run "
                            "puts " + std::string(name) + " in place while it is there)");
    } else if (old_kind != FileKind::Missing) {
      found.notes.push_back(old + " left as it is (a folder or not a file there)");
    }
  }
  return found;
}

SetRepair roll_back(platform::FileSystem& fs, std::string_view folder, std::span<const std::string_view> set_names,
                    bool cut_short_marker) {
  Leftovers found = survey(fs, folder, set_names);
  std::size_t removed = 0;
  for (const std::string& part : found.temporaries) {
    if (fs.remove_file(path_of(folder, part)) == OpenError::None) {
      ++removed;
    } else {
      found.notes.push_back(part + " could not be removed");
    }
  }
  // A marker cut short committed nothing; one that stays is replaced by the next commit.
  if (cut_short_marker && remove_marker(fs, folder) != OpenError::None) {
    found.notes.push_back(std::string(kMarkerFile) + " (cut short) could not be removed");
  }
  SetRepair repair;
  if (found.temporaries.empty() && !cut_short_marker) {
    if (!found.notes.empty()) repair.line = line_of(with_notes({}, found.notes));
    return repair;
  }
  // A removal lost to a power cut only brings a leftover back for the next start.
  static_cast<void>(fs.flush_folder_of(marker_path(folder)));
  repair.action = SetRepair::Action::RolledBack;
  const std::string text = "undid what an interrupted run had left: the earlier result files are as they were (" +
                           counted(removed, "temporary file", "temporary files") + " removed)";
  repair.line = line_of(with_notes(text, found.notes));
  return repair;
}

}  // namespace

SetRepair finish_unfinished_set(platform::FileSystem& fs, std::string_view folder_prefix,
                                std::span<const std::string_view> set_names) {
  const Marker m = marker_of(fs, folder_prefix, set_names);
  switch (m.standing) {
    case Standing::Foreign:
    case Standing::Outside:
      return {SetRepair::Action::Refused, line_of(refusal_text(m.standing))};
    case Standing::Ours:
      return roll_forward(fs, folder_prefix, m.text, set_names);
    default:
      return roll_back(fs, folder_prefix, set_names, m.standing == Standing::CutShort);
  }
}

StartOutlook foresee_start(platform::FileSystem& fs, std::string_view folder_prefix,
                           std::span<const std::string_view> set_names) {
  const Marker m = marker_of(fs, folder_prefix, set_names);
  if (m.standing == Standing::Foreign || m.standing == Standing::Outside) return {true, refusal_text(m.standing), {}};
  StartOutlook outlook;
  if (m.standing != Standing::Absent) outlook.changes.emplace_back(marker_path(folder_prefix), FileKind::Missing);
  if (m.standing == Standing::Ours) {
    std::string stuck = foreseen_stuck(fs, folder_prefix, m.text, set_names);
    if (!stuck.empty()) return {true, std::move(stuck), {}};
    for (const Step& step : plan_forward(fs, folder_prefix, m.text, set_names).steps) {
      outlook.changes.emplace_back(step.from, FileKind::Missing);
      if (!step.to.empty()) outlook.changes.emplace_back(step.to, FileKind::File);
    }
    outlook.text = "an interrupted run left its result files half put in place (" + std::string(kMarkerFile) + ", " +
                   counted(m.text.placed.size(), "file", "files") + "): the next run finishes that first";
    return outlook;
  }
  const Leftovers found = survey(fs, folder_prefix, set_names);
  for (const std::string& part : found.temporaries) outlook.changes.emplace_back(path_of(folder_prefix, part), FileKind::Missing);
  if (found.temporaries.empty() && m.standing == Standing::Absent) {
    outlook.text = with_notes({}, found.notes);
    return outlook;
  }
  outlook.text = with_notes("an interrupted run left " +
                                counted(found.temporaries.size(), "temporary file", "temporary files") +
                                ": the next run removes them and keeps the earlier result files",
                            found.notes);
  return outlook;
}

const FileKind* FolderAfterStart::changed(std::string_view path) const {
  // The last change to a path is what stands there (a removed copy, then a rename onto it).
  for (auto it = outlook_.changes.rbegin(); it != outlook_.changes.rend(); ++it) {
    if (it->first == path) return &it->second;
  }
  return nullptr;
}

std::unique_ptr<platform::WrittenFile> FolderAfterStart::create(std::string_view, OpenError& error) {
  error = OpenError::AccessDenied;
  return nullptr;
}

OpenError FolderAfterStart::read_start(std::string_view path, std::size_t limit, std::string& bytes) {
  if (const FileKind* kind = changed(path); kind != nullptr && *kind == FileKind::Missing) return OpenError::NotFound;
  return inner_.read_start(path, limit, bytes);
}

OpenError FolderAfterStart::replace_file(std::string_view, std::string_view) { return OpenError::AccessDenied; }
OpenError FolderAfterStart::remove_file(std::string_view) { return OpenError::AccessDenied; }

FileKind FolderAfterStart::file_kind(std::string_view path) {
  const FileKind* kind = changed(path);
  return kind != nullptr ? *kind : inner_.file_kind(path);
}

// A file the start puts under a name is one a run of this program wrote and may replace.
OpenError FolderAfterStart::check_replaceable(std::string_view path) {
  return changed(path) != nullptr ? OpenError::None : inner_.check_replaceable(path);
}

}  // namespace commit
