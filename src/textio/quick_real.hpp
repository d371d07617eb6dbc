#pragma once
// Plain reals of the shapes that sample files hold, read straight from a buffer that is
// known to hold enough bytes: the free-form reader's quick road. Internal to textio.
#include <bit>
#include <cstddef>
#include <cstdint>

#include "textio/decimal_product.hpp"
#include "textio/digit_words.hpp"
#include "textio/reader_bytes.hpp"

namespace textio::detail {

// Bytes the quick real may look at from its first: a sign, 19 digits and a point, an
// exponent letter and sign, 4 exponent digits, the byte after, and a word's reach.
inline constexpr std::size_t kQuickLookahead = 64;

inline bool is_exponent_letter(char c) noexcept {
  // Folding the case bit maps only E/e, D/d and Q/q onto these three letters.
  const char lower = static_cast<char>(c | 0x20);
  return lower == 'e' || lower == 'd' || lower == 'q';
}

inline unsigned digit_value(char c) noexcept {
  return static_cast<unsigned>(static_cast<unsigned char>(c)) - unsigned{'0'};
}

// Digits onto w while there are, at most `room` of them; how many.
inline int take_digits(const char*& p, std::uint64_t& w, int room) noexcept {
  int n = 0;
  for (unsigned d; n < room && (d = digit_value(*p)) < 10; ++n, ++p) w = w * 10 + d;
  return n;
}

// A plain real of up to 19 digits with an exponent of up to 4 digits, followed by a byte
// that ends a value, from its first digit or point on (its sign, if any, read by the
// caller): "1.234567890E+01" as a waveform holds it, "12.5", ".5D-3". Gives where it
// ends, or null for any other text, which the general parser then takes (and judges). The
// value is what parse_real gives for the same bytes: the same digits and exponent go to
// the same conversion. The loops run as often for every sample of a file, so they are
// predicted; eight decimals go at once. `p` has kQuickLookahead bytes.
[[gnu::always_inline]] inline const char* quick_unsigned_real(const char* p, bool negative, double& value) noexcept {
  std::uint64_t w = 0;
  int digits = 1;
  bool point = true;
  // "d." as every E-format value starts: a fixed step, where the loop's would wait on
  // each byte it tests.
  if (digit_value(p[0]) < 10 && p[1] == '.') {
    w = digit_value(p[0]);
    p += 2;
  } else {
    digits = take_digits(p, w, 19);
    point = *p == '.';
    p += static_cast<int>(point);
  }
  int decimals = 0;
  if (point) {
    if constexpr (std::endian::native == std::endian::little) {
      const std::uint64_t chunk = load_word(p);
      if (digits <= 11 && eight_digits(chunk)) {
        w = w * 100000000 + eight_digits_value(chunk);
        decimals = 8;
        p += 8;
      }
    }
    decimals += take_digits(p, w, 19 - digits - decimals);
    digits += decimals;
  }
  // A 20th digit would not fit w: the general parser keeps them all.
  if (digits == 0 || digit_value(*p) < 10) return nullptr;
  std::int64_t q = -decimals;
  if (is_exponent_letter(*p)) {
    ++p;
    const bool exponent_negative = *p == '-';
    p += static_cast<int>(*p == '-' || *p == '+');
    std::uint64_t exponent = 0;
    if (digit_value(p[0]) < 10 && digit_value(p[1]) < 10 && digit_value(p[2]) >= 10) {
      exponent = digit_value(p[0]) * 10 + digit_value(p[1]);  // the usual two digits
      p += 2;
    } else {
      const int n = take_digits(p, exponent, 4);
      if (n == 0 || digit_value(*p) < 10) return nullptr;
    }
    const auto e = static_cast<std::int64_t>(exponent);
    q += exponent_negative ? -e : e;
  }
  if (!ends_value(*p) || !decimal_to_double(w, q, negative, value)) return nullptr;
  return p;
}

inline const char* quick_real(const char* p, double& value) noexcept {
  const bool negative = *p == '-';
  return quick_unsigned_real(p + static_cast<int>(*p == '-' || *p == '+'), negative, value);
}

}  // namespace textio::detail
