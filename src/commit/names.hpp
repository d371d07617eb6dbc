#pragma once
// The names a result set is put in place under, beside each file NAME of the set, defined
// once for the staging, the marker and the start that finishes a stopped run:
//   NAME.part                the new file while it is written and flushed;
//   NAME.old                 the earlier file while the new ones take their names;
//   gmgather-unfinished.txt  the marker: the set is committed (marker.hpp).
#include <string>
#include <string_view>

namespace commit {

inline constexpr std::string_view kTemporarySuffix = ".part";
inline constexpr std::string_view kBackupSuffix = ".old";
inline constexpr std::string_view kMarkerFile = "gmgather-unfinished.txt";

inline std::string temporary_name(std::string_view path) { return std::string(path).append(kTemporarySuffix); }
inline std::string backup_name(std::string_view path) { return std::string(path).append(kBackupSuffix); }

// The folder part of a program path, its last separator included: "a\\b.csv" -> "a\\",
// "/tmp/b.csv" -> "/tmp/", "b.csv" -> "". A 0x5C that ends a double-byte character
// (表 = 95 5C) is no separator.
std::string_view folder_prefix_of(std::string_view sjis_path);

// The path of the marker in the folder `folder_prefix` (see folder_prefix_of).
inline std::string marker_path(std::string_view folder_prefix) {
  return std::string(folder_prefix).append(kMarkerFile);
}

}  // namespace commit
