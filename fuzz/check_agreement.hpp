#pragma once
// What a fuzz target holds a check to: on the same folder, asked for what a run was asked
// for, it ends as the run did (0 exactly when the run ended normally), lists the run's own
// ending first, and leaves every entry of the folder as it found it.
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <string_view>
#include <system_error>

#include "check.hpp"

namespace fuzzing {

// Every entry under `root` by its path: a folder as "<folder>", a file by its bytes.
inline std::map<std::string, std::string> snapshot(const std::filesystem::path& root) {
  std::map<std::string, std::string> entries;
  std::error_code ec;
  for (auto it = std::filesystem::recursive_directory_iterator(root, ec);
       !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
    const std::filesystem::path& path = it->path();
    if (it->is_directory(ec)) {
      entries[path.string()] = "<folder>";
    } else {
      std::ifstream in(path, std::ios::binary);
      entries[path.string()] = std::string(std::istreambuf_iterator<char>(in), {});
    }
  }
  require(!ec, "cannot list the scratch folder for a snapshot", ec.message());
  return entries;
}

// `ending` is how the run ended in the check's words: empty for a normal end. A record
// layer's report may be followed by where in the file it was met ("; sample 12 ...").
inline void require_check_agrees(std::string_view ending, int check_status, std::string_view check_out) {
  if (ending.empty()) {
    require(check_status == 0, "the run ended normally, the check says it would not", check_out);
    return;
  }
  require(check_status == 1, "the run ended in error, the check says it would not", check_out, ending);
  // The first line whose severity is "error": the earliest of the two marks on a line is
  // its own, a later one may stand in a value the text quotes.
  std::string_view first;
  for (std::string_view rest = check_out; !rest.empty() && first.empty();) {
    const std::size_t end = rest.find("\r\n");
    const std::string_view line = rest.substr(0, end);
    rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 2);
    const std::size_t error = line.find(": error: ");
    if (error != std::string_view::npos && error < line.find(": warning: ")) first = line.substr(error + 9);
  }
  require(!first.empty(), "the check lists no error", check_out, ending);
  const bool located = ending.starts_with("txtrec: ") && first.starts_with(ending) &&
                       first.substr(ending.size()).starts_with("; ");
  require(first == ending || located, "the check's first error is not the run's ending", first, ending);
}

}  // namespace fuzzing
