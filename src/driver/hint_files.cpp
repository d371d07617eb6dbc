#include "driver/hint_files.hpp"

#include <algorithm>
#include <charconv>
#include <cstdint>

#include "driver/hints.hpp"
#include "inputs/spectrum_table.hpp"
#include "inputs/waveform.hpp"
#include "platform/fs.hpp"
#include "platform/shift_jis.hpp"

namespace gm::detail {
namespace {

// A spectrum table's 15 header lines and 55 rows of some 330 bytes fit with room to spare;
// the diagnoses need no more than that of any file.
constexpr std::size_t kPeekBytes = 256 * 1024;

bool is_digit(char c) { return c >= '0' && c <= '9'; }

std::string_view trimmed(std::string_view text) {
  const std::size_t first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(' ') + 1 - first);
}

// The length of the UTF-8 sequence at the start of `s`: 0 when it is not well formed, the
// bytes left when it is cut short by the end of `s` (a peek may end inside a character).
std::size_t utf8_length(std::string_view s) {
  const auto b = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
  std::size_t n = 0;
  if (b(0) >= 0xC2 && b(0) <= 0xDF) {
    n = 2;
  } else if (b(0) >= 0xE0 && b(0) <= 0xEF) {
    n = 3;
  } else if (b(0) >= 0xF0 && b(0) <= 0xF4) {
    n = 4;
  } else {
    return 0;
  }
  for (std::size_t i = 1; i < n; ++i) {
    if (i == s.size()) return i;
    if (b(i) < 0x80 || b(i) > 0xBF) return 0;
  }
  return n;
}

bool has_non_ascii(std::string_view text) {
  for (char c : text) {
    if (static_cast<unsigned char>(c) >= 0x80) return true;
  }
  return false;
}

// The start of each character of Shift-JIS text in turn: a trail byte may be 0x5C ('\').
template <typename Visit>
void for_each_character(std::string_view sjis, Visit visit) {
  for (std::size_t i = 0; i < sjis.size();) {
    const bool pair = platform::is_lead_byte(static_cast<unsigned char>(sjis[i])) && i + 1 < sjis.size() &&
                      platform::is_trail_byte(static_cast<unsigned char>(sjis[i + 1]));
    visit(i, pair ? sjis.substr(i, 2) : sjis.substr(i, 1));
    i += pair ? 2 : 1;
  }
}

// The folder part of a file name, with its separator ("" for a name without one).
std::string_view folder_of(std::string_view sjis_name) {
  std::size_t cut = 0;
  for_each_character(sjis_name, [&](std::size_t at, std::string_view c) {
    if (c == "\\" || c == "/") cut = at + 1;
  });
  return sjis_name.substr(0, cut);
}

bool is_absolute(std::string_view folder) {
  return folder.starts_with('\\') || folder.starts_with('/') || (folder.size() >= 2 && folder[1] == ':');
}

bool within(std::string_view whole_number, long long low, long long high) {
  long long value = 0;
  const char* first = whole_number.data() + (whole_number.starts_with('+') ? 1 : 0);
  const auto [end, error] = std::from_chars(first, whole_number.data() + whole_number.size(), value);
  return error == std::errc() && end == whole_number.data() + whole_number.size() && value >= low && value <= high;
}

// What the folder path itself says: an encoding, a spreadsheet's columns, a character
// taken for a separator, a blank behind the comma.
std::string folder_hint(std::string_view definition_file, std::string_view folder) {
  const std::optional<std::string> definition = peek(definition_file);
  const Encoding encoding = definition ? encoding_of(*definition) : Encoding::Plain;
  if ((encoding == Encoding::Utf8 || encoding == Encoding::Utf8WithMark) && has_non_ascii(folder)) {
    return fill("utf8", {{"file", definition_file}});
  }
  const std::size_t kept = folder.find_last_not_of(",\t");
  const std::size_t tail = kept == std::string_view::npos ? 0 : kept + 1;
  if (tail < folder.size()) {
    return fill("trailing", {{"folder", folder}, {"tail", folder.substr(tail)}, {"file", definition_file}});
  }
  bool yen = false;
  for_each_character(folder, [&](std::size_t, std::string_view c) { yen = yen || c == "\x81\x8f"; });
  if (yen) return fill("yen", {{"folder", folder}});
  if (folder.starts_with(' ')) return fill("blank", {{"folder", folder}, {"file", definition_file}});
  return {};
}

}  // namespace

std::optional<std::string> peek(std::string_view sjis_path) {
  platform::InputFile file;
  if (file.open(sjis_path) != platform::OpenError::None) return std::nullopt;
  std::string bytes(kPeekBytes, '\0');
  std::size_t got = 0;
  while (got < bytes.size()) {
    const std::ptrdiff_t n = file.read(bytes.data() + got, bytes.size() - got);
    if (n < 0) return std::nullopt;
    if (n == 0) break;
    got += static_cast<std::size_t>(n);
  }
  bytes.resize(got);
  return bytes;
}

Encoding encoding_of(std::string_view bytes) {
  if (bytes.starts_with("\xEF\xBB\xBF")) return Encoding::Utf8WithMark;
  if (bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF")) return Encoding::Utf16;
  const std::string_view start = bytes.substr(0, 4096);
  std::size_t nul = 0;
  for (char c : start) nul += c == '\0' ? 1 : 0;
  if (start.size() >= 4 && nul * 4 >= start.size()) return Encoding::Utf16;
  bool beyond_ascii = false;
  for (std::size_t i = 0; i < bytes.size();) {
    if (static_cast<unsigned char>(bytes[i]) < 0x80) {
      ++i;
      continue;
    }
    const std::size_t n = utf8_length(bytes.substr(i));
    if (n == 0) return Encoding::Plain;
    beyond_ascii = true;
    i += n;
  }
  return beyond_ascii ? Encoding::Utf8 : Encoding::Plain;
}

std::vector<std::string_view> first_lines(std::string_view bytes, std::size_t count) {
  std::vector<std::string_view> lines;
  while (!bytes.empty() && lines.size() < count) {
    const std::size_t lf = bytes.find('\n');
    std::string_view line = bytes.substr(0, lf);
    if (line.ends_with('\r')) line.remove_suffix(1);
    lines.push_back(line);
    bytes.remove_prefix(lf == std::string_view::npos ? bytes.size() : lf + 1);
  }
  return lines;
}

std::vector<std::string_view> words(std::string_view line) {
  std::vector<std::string_view> found;
  for (std::size_t at = line.find_first_not_of(" \t"); at != std::string_view::npos;) {
    const std::size_t end = line.find_first_of(" \t", at);
    found.push_back(line.substr(at, end - at));
    at = end == std::string_view::npos ? end : line.find_first_not_of(" \t", end);
  }
  return found;
}

std::string_view first_field(std::string_view line) { return trimmed(line.substr(0, line.find(','))); }

bool is_whole_number(std::string_view text) {
  if (text.starts_with('+') || text.starts_with('-')) text.remove_prefix(1);
  if (text.empty()) return false;
  for (char c : text) {
    if (!is_digit(c)) return false;
  }
  return true;
}

bool is_number(std::string_view text) {
  text = trimmed(text);
  if (text.starts_with('+') || text.starts_with('-')) text.remove_prefix(1);
  std::size_t i = 0, digits = 0;
  while (i < text.size() && is_digit(text[i])) ++i, ++digits;
  if (i < text.size() && text[i] == '.') ++i;
  while (i < text.size() && is_digit(text[i])) ++i, ++digits;
  if (digits == 0) return false;
  if (i < text.size() && (text[i] == 'E' || text[i] == 'e' || text[i] == 'D' || text[i] == 'd')) {
    ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    const std::size_t exponent = i;
    while (i < text.size() && is_digit(text[i])) ++i;
    if (i == exponent) return false;
  }
  return i == text.size();
}

bool is_data_row(std::string_view line) {
  const std::size_t comma = line.find(',');
  if (comma == std::string_view::npos) return false;
  const std::string_view rest = line.substr(comma + 1);
  return is_number(line.substr(0, comma)) && is_number(rest.substr(0, rest.find(',')));
}

std::string as_argument(std::string_view name) {
  if (name.find_first_of(" \t") == std::string_view::npos) return std::string(name);
  std::string quoted(1, '"');
  return quoted.append(name).append(1, '"');
}

std::string counts_hint(std::string_view definition_file, std::string_view bytes) {
  const std::vector<std::string_view> lines = first_lines(bytes, 2);
  std::vector<std::string_view> counts;
  if (lines.size() == 2) {
    for (std::string_view word : words(lines[1])) {
      for (std::size_t at = 0; at <= word.size();) {
        const std::size_t comma = std::min(word.find(',', at), word.size());
        if (comma > at) counts.push_back(word.substr(at, comma - at));
        at = comma + 1;
      }
    }
  }
  // Counts that read and lie within the limits give E2 for another reason (a null
  // value between two commas, a slash): only the form can be named then.
  if (counts.size() >= 2 && is_whole_number(counts[0]) && is_whole_number(counts[1]) &&
      !(within(counts[0], 1, 6) && within(counts[1], 1, 21))) {
    return fill("counts", {{"file", definition_file}, {"faults", counts[0]}, {"cases", counts[1]}});
  }
  return fill("counts-unread", {{"file", definition_file}});
}

std::string not_opened_hint(std::string_view definition_file, std::string_view path) {
  std::string_view name;
  for (std::string_view fixed : {inputs::kSpectrumTableName, inputs::kWaveformName}) {
    if (path.ends_with(fixed)) name = fixed;
  }
  if (name.empty()) return {};
  const std::string_view folder = path.substr(0, path.size() - name.size());
  if (std::string hint = folder_hint(definition_file, folder); !hint.empty()) return hint;
  const std::string_view beside = folder_of(definition_file);
  if (!beside.empty() && !is_absolute(folder) &&
      platform::file_kind(std::string(beside) + std::string(path)) == platform::FileKind::File) {
    return fill("relative", {{"folder", folder}, {"file", definition_file}});
  }
  const std::string_view wanted = name.substr(1);  // without the separator
  if (platform::file_kind(std::string(path) + ".txt") == platform::FileKind::File) {
    return fill("extension", {{"name", std::string(wanted) + ".txt"}, {"wanted", wanted}});
  }
  if (platform::file_kind(folder) == platform::FileKind::Folder) {
    return fill("no-file", {{"folder", folder}, {"wanted", wanted}});
  }
  return {};
}

}  // namespace gm::detail
