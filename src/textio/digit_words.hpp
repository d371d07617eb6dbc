#pragma once
// Digits eight at a time, in a 64-bit word loaded from the text (first byte lowest): sample
// values carry long digit runs, and testing and combining eight bytes in a register is
// several times cheaper than a loop step per byte. Internal to textio; little-endian
// hosts only (callers check std::endian).
#include <bit>
#include <cstdint>
#include <cstring>

namespace textio::detail {

inline constexpr std::uint64_t kHighBits = 0x8080808080808080ULL;
inline constexpr std::uint64_t kZeroChars = 0x3030303030303030ULL;

inline std::uint64_t load_word(const char* p) noexcept {
  std::uint64_t word;
  std::memcpy(&word, p, sizeof word);
  return word;
}

// Whether all eight bytes are digits.
inline bool eight_digits(std::uint64_t chunk) noexcept {
  return ((chunk & 0xF0F0F0F0F0F0F0F0ULL) |
          (((chunk + 0x0606060606060606ULL) & 0xF0F0F0F0F0F0F0F0ULL) >> 4)) ==
         0x3333333333333333ULL;
}

// The number eight digit bytes spell, the first the most significant. Combines pairs,
// then quads, then the two halves, each step one multiply-add on all lanes at once.
inline std::uint64_t eight_digits_value(std::uint64_t chunk) noexcept {
  chunk -= kZeroChars;
  chunk = (chunk * 10) + (chunk >> 8);
  chunk = (((chunk & 0x000000FF000000FFULL) * (100 + (1000000ULL << 32))) +
           (((chunk >> 16) & 0x000000FF000000FFULL) * (1 + (10000ULL << 32)))) >>
          32;
  return chunk;
}

}  // namespace textio::detail
