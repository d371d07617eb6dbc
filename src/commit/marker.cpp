#include "commit/marker.hpp"

#include <charconv>
#include <utility>

#include "commit/names.hpp"

namespace commit {
namespace {

constexpr std::string_view kLineEnd = "\r\n";
constexpr std::string_view kPlaceWord = "place ";
constexpr std::string_view kRemoveWord = "remove ";
constexpr std::string_view kEndWord = "end ";
// Far more than any set needs; a bigger file is read no further.
constexpr std::size_t kMaxMarkerBytes = 64 * 1024;

// A name the marker can hold and give back unchanged: one line, no folder of its own.
bool recordable(std::string_view name) {
  if (name.empty() || !folder_prefix_of(name).empty()) return false;
  return name.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos;
}

// The body after the first line: Ours when it is whole, CutShort otherwise.
MarkerText parse_body(std::string_view rest) {
  MarkerText text;
  text.kind = MarkerText::Kind::CutShort;
  for (;;) {
    const std::size_t end = rest.find(kLineEnd);
    if (end == std::string_view::npos) return text;
    const std::string_view line = rest.substr(0, end);
    rest.remove_prefix(end + kLineEnd.size());
    if (line.starts_with(kPlaceWord) && recordable(line.substr(kPlaceWord.size()))) {
      text.placed.emplace_back(line.substr(kPlaceWord.size()));
    } else if (line.starts_with(kRemoveWord) && recordable(line.substr(kRemoveWord.size()))) {
      text.removed.emplace_back(line.substr(kRemoveWord.size()));
    } else {
      std::size_t count = 0;
      const std::string_view digits = line.substr(line.starts_with(kEndWord) ? kEndWord.size() : line.size());
      const auto [next, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), count);
      const bool whole = !digits.empty() && ec == std::errc() && next == digits.data() + digits.size() &&
                         count == text.placed.size() + text.removed.size() && rest.empty();
      if (whole) text.kind = MarkerText::Kind::Ours;
      return text;
    }
  }
}

}  // namespace

std::string compose_marker(const std::vector<std::string_view>& placed,
                           const std::vector<std::string_view>& removed) {
  std::string text(kMarkerFirstLine);
  text += kLineEnd;
  for (std::string_view name : placed) text.append(kPlaceWord).append(name).append(kLineEnd);
  for (std::string_view name : removed) text.append(kRemoveWord).append(name).append(kLineEnd);
  text.append(kEndWord).append(std::to_string(placed.size() + removed.size())).append(kLineEnd);
  return text;
}

MarkerText parse_marker(std::string_view bytes) {
  while (!bytes.empty() && bytes.back() == '\0') bytes.remove_suffix(1);
  MarkerText text;
  std::string first(kMarkerFirstLine);
  first += kLineEnd;
  if (bytes.starts_with(first)) return parse_body(bytes.substr(first.size()));
  // Cut short within the first line (or before anything was written at all).
  text.kind = std::string_view(first).starts_with(bytes) ? MarkerText::Kind::CutShort : MarkerText::Kind::Foreign;
  return text;
}

MarkerText read_marker(platform::FileSystem& fs, std::string_view path) {
  MarkerText text;
  switch (fs.file_kind(path)) {
    case platform::FileKind::Missing:
      return text;
    case platform::FileKind::File:
      break;
    default:
      text.kind = MarkerText::Kind::Foreign;
      return text;
  }
  std::string bytes;
  if (fs.read_start(path, kMaxMarkerBytes, bytes) != platform::OpenError::None) {
    text.kind = MarkerText::Kind::Foreign;  // unreadable: nothing to act on
    return text;
  }
  return parse_marker(bytes);
}

Commitment write_marker(platform::FileSystem& fs, std::span<const std::string_view> placed,
                        std::span<const std::string_view> removed, int unit) {
  if (placed.empty() && removed.empty()) return {};
  const std::string_view folder = folder_prefix_of(placed.empty() ? removed.front() : placed.front());
  const std::string path = marker_path(folder);
  const auto fault = [&](int number) { return Commitment{textio::Fault{number, unit, path}, std::nullopt}; };
  std::vector<std::string_view> placed_names, removed_names;
  for (auto [paths, names] : {std::pair{placed, &placed_names}, std::pair{removed, &removed_names}}) {
    for (std::string_view name : paths) {
      if (folder_prefix_of(name) != folder) return fault(textio::kErrFileName);
      names->push_back(name.substr(folder.size()));
      if (!recordable(names->back())) return fault(textio::kErrFileName);
    }
  }
  // Someone else's file of this name is never overwritten (a start ends the run before it
  // gets here; this holds for one made while the run was working).
  if (read_marker(fs, path).kind == MarkerText::Kind::Foreign) return fault(textio::kErrPermission);

  const std::string text = compose_marker(placed_names, removed_names);
  platform::OpenError refusal;
  std::unique_ptr<platform::WrittenFile> file = fs.create(path, refusal);
  if (!file) return fault(textio::open_error_number(refusal));
  const bool written = file->write(text.data(), text.size()) && file->flush_to_disk();
  // Closed before the removal below: Windows removes no file that is still open.
  if (file->close() && written && fs.flush_folder_of(path)) return {};
  Commitment failed = fault(textio::kErrWrite);
  if (const platform::OpenError kept = fs.remove_file(path); kept != platform::OpenError::None) {
    failed.stays = textio::Fault{textio::open_error_number(kept), unit, path};
  }
  return failed;
}

platform::OpenError remove_marker(platform::FileSystem& fs, std::string_view folder_prefix) {
  return fs.remove_file(marker_path(folder_prefix));
}

}  // namespace commit
