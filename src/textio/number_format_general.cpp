// The general path of the fixed-width renderers: any value, any field, with exact
// integer arithmetic on the bits of the double (see number_format.cpp).
#include "textio/number_digits.hpp"

namespace textio::number_digits {
namespace {

// For value = m / 2^s with s at least this, m * 10^9 < 2^83 <= 2^(s-1): the scaled value
// is below one half and rounds to zero whatever d is.
constexpr int kRoundsToZeroShift = 84;
// m << e stays below 2^64 up to here; larger integers take the multi-word path.
constexpr int kMaxWordShift = 11;
// A field has at most kMaxFieldWidth - 1 integer digits, and 2^212 > 10^63, so an integer
// of 213 or more bits never fits.
constexpr int kMaxFittingBits = 212;

// Lays out an already rounded value: the integer part and the d decimals as an integer.
bool put_field(bool negative, std::uint64_t int_part, std::uint32_t decimals, int w, int d,
               char* out) noexcept {
  const int length = (negative ? 1 : 0) + decimal_digits(int_part) + 1 + d;
  if (length > w) {
    return overflow(out, w);
  }
  char* pos = out + w - d;
  put_fixed_digits(decimals, d, out + w);
  *--pos = '.';
  pos = int_part <= 0xffffffffU ? put_digits(static_cast<std::uint32_t>(int_part), pos)
                                : put_digits(int_part, pos);
  if (negative) {
    *--pos = '-';
  }
  fill(out, static_cast<std::size_t>(pos - out), ' ');
  return true;
}

// Integers of 2^64 and beyond (m << e with e > kMaxWordShift). Rare, and they only ever
// fit wide fields, so the digits come from plain long division in 19-digit chunks.
[[gnu::noinline]] bool put_huge_integer(bool negative, std::uint64_t m, int e, int w, int d,
                                        char* out) noexcept {
  if (e + kMantissaBits + 1 > kMaxFittingBits) {
    return overflow(out, w);
  }
  constexpr std::size_t kWords = (kMaxFittingBits + 63) / 64;
  constexpr int kChunkDigits = 19;  // largest power of ten below 2^64
  constexpr std::size_t kMaxChunks = (kMaxFieldWidth + kChunkDigits - 1) / kChunkDigits;
  std::array<std::uint64_t, kWords> words{};  // least significant first
  const auto word = static_cast<std::size_t>(e / 64);
  const int shift = e % 64;
  words[word] = m << shift;
  if (shift != 0 && word + 1 < kWords) {
    words[word + 1] = m >> (64 - shift);
  }

  std::array<char, kMaxChunks * kChunkDigits> digits{};
  char* const digits_end = digits.data() + digits.size();
  char* start = digits_end;
  bool more = true;
  while (more) {
    std::uint64_t remainder = 0;
    more = false;
    for (std::size_t i = kWords; i-- > 0;) {
      const Uint128 current = (Uint128{remainder} << 64) | words[i];
      words[i] = static_cast<std::uint64_t>(current / kPow10[kChunkDigits]);
      remainder = static_cast<std::uint64_t>(current % kPow10[kChunkDigits]);
      more = more || words[i] != 0;
    }
    put_fixed_digits(remainder, kChunkDigits, start);
    start -= kChunkDigits;
  }
  while (*start == '0') {  // the value is at least 2^64, so a nonzero digit exists
    ++start;
  }

  const auto int_digits = static_cast<std::size_t>(digits_end - start);
  const std::size_t length = (negative ? 1 : 0) + int_digits + 1 + static_cast<std::size_t>(d);
  if (length > static_cast<std::size_t>(w)) {
    return overflow(out, w);
  }
  char* pos = out + w - d;
  fill(pos, static_cast<std::size_t>(d), '0');
  *--pos = '.';
  pos -= int_digits;
  std::memcpy(pos, start, int_digits);
  if (negative) {
    *--pos = '-';
  }
  fill(out, static_cast<std::size_t>(pos - out), ' ');
  return true;
}

}  // namespace

// Any value, any field: the reference path, also taken by the hot path for the cases it
// leaves out (zero, very small or large magnitudes, Inf and NaN, other field shapes).
bool format_fixed_general(std::uint64_t bits, int w, int d, char* out) noexcept {
  const bool negative = (bits >> 63) != 0;
  const auto biased_exponent = static_cast<int>((bits >> kMantissaBits) & 0x7ff);
  if (biased_exponent == kInfNanExponent) {
    return overflow(out, w);
  }
  std::uint64_t m = bits & kFractionMask;
  int e = 1 - kExponentBias;  // subnormals and zero
  if (biased_exponent != 0) {
    m |= std::uint64_t{1} << kMantissaBits;
    e = biased_exponent - kExponentBias;
  }

  std::uint64_t int_part = 0;
  std::uint64_t decimals = 0;
  if (e >= 0) {
    if (e > kMaxWordShift) {
      return put_huge_integer(negative, m, e, w, d, out);
    }
    int_part = m << e;
  } else if (-e < kRoundsToZeroShift) {
    // value = m / 2^s. Split off the integer part, scale the fraction bits by 10^d and
    // round away the s low bits, ties to even.
    const int s = -e;
    std::uint64_t fraction_bits = m;
    if (s < 64) {
      int_part = m >> s;
      fraction_bits = m & ((std::uint64_t{1} << s) - 1);
    }
    const std::uint64_t scale = kPow10[static_cast<std::size_t>(d)];
    const Uint128 scaled = Uint128{fraction_bits} * scale;
    decimals = static_cast<std::uint64_t>(scaled >> s);  // < 10^d
    const Uint128 rest = scaled & ((Uint128{1} << s) - 1);
    const Uint128 half = Uint128{1} << (s - 1);
    // With d = 0 the last kept digit is the integer part's.
    const std::uint64_t last_digit = d == 0 ? int_part : decimals;
    if (rest > half || (rest == half && (last_digit & 1) != 0)) {
      ++decimals;
    }
    if (decimals == scale) {
      decimals = 0;
      ++int_part;
    }
  }
  const bool shows_sign = negative && (int_part | decimals) != 0;
  return put_field(shows_sign, int_part, static_cast<std::uint32_t>(decimals), w, d, out);
}

}  // namespace textio::number_digits
