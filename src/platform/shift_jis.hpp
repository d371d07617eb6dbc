#pragma once
// Byte classes of Shift-JIS (CP932), for the few places in this layer that must not split
// a double-byte character: path separators and console conversion.

namespace platform {

// The first byte of a double-byte character.
inline bool is_lead_byte(unsigned char c) noexcept {
  return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}
// A byte that can follow a lead byte. It may be 0x5C ('\'), as in 表 = 95 5C.
inline bool is_trail_byte(unsigned char c) noexcept {
  return (c >= 0x40 && c <= 0x7E) || (c >= 0x80 && c <= 0xFC);
}

}  // namespace platform
