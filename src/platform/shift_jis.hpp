#pragma once
// Byte classes of Shift-JIS (CP932), for the few places in this layer that must not split
// a double-byte character: path separators and console conversion.

#include <cstddef>
#include <string>

namespace platform {

// The first byte of a double-byte character.
inline bool is_lead_byte(unsigned char c) noexcept {
  return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}
// A byte that can follow a lead byte. It may be 0x5C ('\'), as in 表 = 95 5C.
inline bool is_trail_byte(unsigned char c) noexcept {
  return (c >= 0x40 && c <= 0x7E) || (c >= 0x80 && c <= 0xFC);
}

// Moves a lead byte left without its partner at the end of `text` into `held`, so that
// `text` ends between characters: the program may write a double-byte character in two
// pieces, and a console must show it whole.
inline void hold_split_character(std::string& text, std::string& held) {
  std::size_t i = 0;
  while (i < text.size()) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (is_lead_byte(c) && i + 1 < text.size() && is_trail_byte(static_cast<unsigned char>(text[i + 1]))) {
      i += 2;
    } else if (is_lead_byte(c) && i + 1 == text.size()) {
      held = text.substr(i);
      text.resize(i);
      return;
    } else {
      ++i;
    }
  }
}

}  // namespace platform
