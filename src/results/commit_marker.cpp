#include "results/commit_marker.hpp"

#include <charconv>

#include "platform/fs.hpp"
#include "platform/shift_jis.hpp"
#include "results/unfinished_set.hpp"

namespace results {
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

std::string_view folder_prefix_of(std::string_view sjis_path) {
  std::size_t cut = 0;
  for (std::size_t i = 0; i < sjis_path.size(); ++i) {
    const auto c = static_cast<unsigned char>(sjis_path[i]);
    if (platform::is_lead_byte(c) && i + 1 < sjis_path.size() &&
        platform::is_trail_byte(static_cast<unsigned char>(sjis_path[i + 1]))) {
      ++i;
    } else if (c == '\\' || c == '/') {
      cut = i + 1;
    }
  }
  return sjis_path.substr(0, cut);
}

std::string marker_path(std::string_view folder_prefix) {
  std::string path(folder_prefix);
  path += kMarkerFile;
  return path;
}

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

MarkerText read_marker(std::string_view path) {
  MarkerText text;
  switch (platform::file_kind(path)) {
    case platform::FileKind::Missing:
      return text;
    case platform::FileKind::File:
      break;
    default:
      text.kind = MarkerText::Kind::Foreign;
      return text;
  }
  platform::InputFile file;
  std::string bytes(kMaxMarkerBytes, '\0');
  std::size_t size = 0;
  if (file.open(path) != platform::OpenError::None) {
    text.kind = MarkerText::Kind::Foreign;  // unreadable: nothing to act on
    return text;
  }
  while (size < bytes.size()) {
    const std::ptrdiff_t got = file.read(bytes.data() + size, bytes.size() - size);
    if (got < 0) {
      text.kind = MarkerText::Kind::Foreign;
      return text;
    }
    if (got == 0) break;
    size += static_cast<std::size_t>(got);
  }
  return parse_marker(std::string_view(bytes).substr(0, size));
}

std::optional<textio::Fault> write_marker(std::span<const std::string_view> placed,
                                          std::span<const std::string_view> removed, int unit) {
  if (placed.empty() && removed.empty()) return std::nullopt;
  const std::string_view folder = folder_prefix_of(placed.empty() ? removed.front() : placed.front());
  const std::string path = marker_path(folder);
  const auto fault = [&](int number) { return textio::Fault{number, unit, path}; };
  std::vector<std::string_view> placed_names, removed_names;
  for (auto [paths, names] : {std::pair{placed, &placed_names}, std::pair{removed, &removed_names}}) {
    for (std::string_view name : paths) {
      if (folder_prefix_of(name) != folder) return fault(textio::kErrFileName);
      names->push_back(name.substr(folder.size()));
      if (!recordable(names->back())) return fault(textio::kErrFileName);
    }
  }
  const MarkerText before = read_marker(path);
  if (before.kind == MarkerText::Kind::Foreign) return fault(textio::kErrPermission);

  const std::string text = compose_marker(placed_names, removed_names);
  platform::OutputFile file;
  if (const platform::OpenError refusal = file.create(path); refusal != platform::OpenError::None) {
    return fault(textio::open_error_number(refusal));
  }
  const bool written = file.write(text.data(), text.size()) && file.flush_to_disk();
  // Windows removes no file that is still open.
  if (!file.close() || !written || !platform::flush_folder_of(path)) {
    platform::remove_file(path);
    return fault(textio::kErrWrite);
  }
  return std::nullopt;
}

bool remove_marker(std::string_view folder_prefix) {
  const std::string path = marker_path(folder_prefix);
  platform::remove_file(path);
  return platform::flush_folder_of(path) && platform::file_kind(path) == platform::FileKind::Missing;
}

}  // namespace results
