#pragma once
// The marker's text (see unfinished_set.hpp): what write_marker writes and what a start
// makes of a file of its name.
#include <string>
#include <string_view>
#include <vector>

namespace results {

// Its first line, by which a start knows the file as its own; another version writes
// another line, which this one leaves alone.
inline constexpr std::string_view kMarkerFirstLine =
    "gmgather: result files being put in place; the next start of gmgather here finishes this (format 1)";

struct MarkerText {
  enum class Kind {
    Absent,   // no file of the marker's name
    Ours,     // complete: the set was committed
    CutShort, // ours, but its writing never ended: the set was not committed
    Foreign,  // not written by this program (or a folder, or unreadable)
  };
  Kind kind = Kind::Absent;
  std::vector<std::string> placed;   // bare names
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
MarkerText read_marker(std::string_view path);

// The path of the marker in the folder `folder_prefix`.
std::string marker_path(std::string_view folder_prefix);

}  // namespace results
