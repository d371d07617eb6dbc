#pragma once
// Text fields of a fixed number of bytes, padded on the right with blanks (0x20), with no
// terminator. Every piece of variable text of a run (the definition-file name, the folder
// paths) lives in one of these; a path to open is built by cutting a field at its last
// non-blank byte and appending a fixed file name.
#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace textio {

inline constexpr char kBlank = ' ';

template <std::size_t N>
struct FixedText {
  // Zero bytes at load, like every table of a run; blank_fill makes them blanks.
  std::array<char, N> bytes;

  std::string_view view() const noexcept { return {bytes.data(), N}; }
};

using FixedText40 = FixedText<40>;
using FixedText400 = FixedText<400>;

template <std::size_t N>
void blank_fill(FixedText<N>& field) noexcept {
  field.bytes.fill(kBlank);
}

// The first min(n, size) bytes of `text` in order; the rest of the field blanked. A longer
// text is cut, possibly between the two bytes of a double-byte character.
template <std::size_t N>
void assign_text(FixedText<N>& field, std::string_view text) noexcept {
  const std::size_t n = text.size() < N ? text.size() : N;
  for (std::size_t i = 0; i < n; ++i) field.bytes[i] = text[i];
  for (std::size_t i = n; i < N; ++i) field.bytes[i] = kBlank;
}

// Position (from 1) of the last byte that is not 0x20. Byte 1 is never examined, so an
// all-blank field and a field holding only byte 1 both give 1: the result is never 0 and a
// piece cut at it always lies inside the field. A TAB, a zero byte or an ideographic space
// ends the scan like any other character.
template <std::size_t N>
int trimmed_length(const FixedText<N>& field) noexcept {
  std::size_t i = N;
  while (i >= 2 && field.bytes[i - 1] == kBlank) --i;
  return static_cast<int>(i);
}

int LCHR40(const FixedText40& field) noexcept;
int LCHR400(const FixedText400& field) noexcept;

// The first `length` bytes of the field followed directly by `name`, nothing added.
// `length` is a trimmed length, 1 to the field size.
template <std::size_t N>
std::string join_path(const FixedText<N>& field, int length, std::string_view name) {
  std::string path;
  // A length outside the field cannot come from a trimmed length; clamp it all the same.
  const std::size_t n = length <= 0 ? 0 : (static_cast<std::size_t>(length) < N ? static_cast<std::size_t>(length) : N);
  path.reserve(n + name.size());
  path.append(field.bytes.data(), n);
  path.append(name);
  return path;
}

}  // namespace textio
