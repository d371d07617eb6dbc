// Fixed-width rendering of numbers for formatted records.
//
// Fw.d fields make up nearly every byte of the result files (a typical line holds 22 of
// them), so they are rendered with exact integer arithmetic on the bits of the double
// rather than through a general floating-point printer. Writing value = m * 2^e with m an
// integer of at most 53 bits, the field's digits are round(m * 10^d * 2^e); for every
// value that can fit a field of at most 64 positions this is computed exactly in 128 bits,
// so the output is the correctly rounded decimal form of the binary value, ties to even.
#include "textio/number_format.hpp"

#include <array>
#include <bit>
#include <cstddef>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "textio/number_digits.hpp"

namespace textio {
namespace {

using namespace number_digits;

constexpr std::uint64_t kBlankWord = 0x2020'2020'2020'2020ULL;
constexpr std::uint64_t kLowBits = 0x0101'0101'0101'0101ULL;
constexpr std::uint64_t kSevenDigitLimit = 10'000'000;
constexpr int kShortMinWidth = 9;
constexpr int kShortMaxWidth = 16;
constexpr int kShortMaxDecimals = 7;
constexpr int kPointFlip = '0' ^ '.';
constexpr std::uintptr_t kPrefetchAhead = 256;

// The integer part and the decimals of a short field as two words of eight characters
// in memory order: the integer part zero-padded on the left to eight digits, and a word
// ending with '.' and the D decimals, its other bytes zero.
struct FieldWords {
  std::uint64_t int_word;
  std::uint64_t decimal_word;
};

#if defined(__SSE2__)
// Both numbers (each < 10^8) are converted at once in the two halves of a vector
// register, which also keeps the work off the integer units that the rest of the field
// already keeps busy. Each 64-bit lane is split 8 -> 4+4 digits (32-bit lanes), 4 -> 2+2
// (16-bit lanes) and 2 -> 1+1 (bytes) by multiply-shift division; each multiplier is
// exact over its input range.
template <int D>
FieldWords field_words(std::uint32_t int_part, std::uint32_t decimals) noexcept {
  const __m128i x = _mm_set_epi64x(static_cast<long long>(decimals), int_part);
  const __m128i q4 = _mm_srli_epi64(
      _mm_mul_epu32(x, _mm_set1_epi32(static_cast<int>(0xd1b7'1759U))), 45);  // / 10^4
  const __m128i r4 = _mm_sub_epi32(x, _mm_mul_epu32(q4, _mm_set1_epi32(10000)));
  const __m128i v4 = _mm_or_si128(q4, _mm_slli_epi64(r4, 32));
  const __m128i q2 = _mm_srli_epi16(_mm_mulhi_epu16(v4, _mm_set1_epi32(5243)), 3);  // / 100
  const __m128i r2 = _mm_sub_epi16(v4, _mm_mullo_epi16(q2, _mm_set1_epi32(100)));
  const __m128i v2 = _mm_or_si128(q2, _mm_slli_epi32(r2, 16));
  const __m128i q1 = _mm_mulhi_epu16(v2, _mm_set1_epi16(6554));  // / 10
  const __m128i r1 = _mm_sub_epi16(v2, _mm_mullo_epi16(q1, _mm_set1_epi16(10)));
  const __m128i digits = _mm_or_si128(q1, _mm_slli_epi16(r1, 8));
  // '.' over the decimal lane's zero D + 1 places from its end, its other zeros cleared.
  constexpr int kPointShift = 8 * (kShortMaxDecimals - D);
  const __m128i point =
      _mm_set_epi64x(static_cast<long long>(std::uint64_t{kPointFlip} << kPointShift), 0);
  const __m128i keep = _mm_set_epi64x(static_cast<long long>(~std::uint64_t{0} << kPointShift), -1);
  const __m128i words =
      _mm_and_si128(_mm_xor_si128(_mm_or_si128(digits, _mm_set1_epi8('0')), point), keep);
  return {static_cast<std::uint64_t>(_mm_cvtsi128_si64(words)),
          static_cast<std::uint64_t>(_mm_cvtsi128_si64(_mm_unpackhi_epi64(words, words)))};
}
#else
constexpr std::uint64_t kAsciiZeros = 0x3030'3030'3030'3030ULL;

// The same with each 64-bit lane in a general-purpose register (SWAR); the multipliers
// here also keep every lane product inside its lane.
std::uint64_t digit_bytes(std::uint32_t x) noexcept {
  const std::uint64_t high = (x * std::uint64_t{0xd1b7'1759}) >> 45;  // x / 10^4
  std::uint64_t v = (std::uint64_t{x} << 32) - high * ((std::uint64_t{10000} << 32) - 1);
  std::uint64_t q = ((v * 5243) >> 19) & 0x0000'007f'0000'007fULL;  // / 100
  v = (v << 16) - q * ((100 << 16) - 1);
  q = ((v * 103) >> 10) & 0x000f'000f'000f'000fULL;  // / 10
  return ((v << 8) - q * ((10 << 8) - 1)) | kAsciiZeros;
}

template <int D>
FieldWords field_words(std::uint32_t int_part, std::uint32_t decimals) noexcept {
  constexpr int kPointShift = 8 * (kShortMaxDecimals - D);
  return {digit_bytes(int_part),
          (digit_bytes(decimals) ^ (std::uint64_t{kPointFlip} << kPointShift)) &
              (~std::uint64_t{0} << kPointShift)};
}
#endif

// Decimal digit count of an integer part m >> s (m a 53-bit mantissa, top bit set):
// `digits`, plus one when it reaches `threshold`. Indexed by s, 1..64.
struct DigitCountStep {
  int digits;
  std::uint64_t threshold;
};
constexpr std::array<DigitCountStep, 65> kDigitCountBy = [] {
  std::array<DigitCountStep, 65> table{};
  for (int s = 1; s <= 64; ++s) {
    // Integer parts in [2^(bits-1), 2^bits), or just 0 when bits <= 0.
    const int bits = 53 - s;
    const std::uint64_t low = bits <= 0 ? 0 : std::uint64_t{1} << (bits - 1);
    int digits = 1;
    while (digits < 19 && low >= kPow10[static_cast<std::size_t>(digits)]) {
      ++digits;
    }
    table[static_cast<std::size_t>(s)] = {digits, kPow10[static_cast<std::size_t>(digits)]};
  }
  return table;
}();

// The hot path, for D <= 7 decimals in fields of 9 to 16 positions and magnitudes in
// [2^-12, 2^52) whose integer part has at most 7 digits after rounding; everything else
// goes to the general path. With value = m / 2^s, 1 <= s <= 64, the fraction bits
// shifted to the top of a word are the fraction times 2^64 exactly, so one 64x64-bit
// product by 10^D gives the decimals in its high word and what is rounded away, against
// a half of 2^63, in its low word.
//
// The field is assembled right-aligned in two words (the last 8 positions and the 8
// before them) and written with two overlapping word stores. Apart from the rare cases
// sent to the general path there are no data-dependent branches, as the signs and
// rounding directions of the values written are unpredictable. The leading blanks and the
// sign come from the digit count, in parallel with the digit conversion.
template <int D>
[[gnu::always_inline]] inline bool format_short_field(std::uint64_t bits, int w, char* out) noexcept {
  const int s = kExponentBias - static_cast<int>((bits >> kMantissaBits) & 0x7ff);
  if (static_cast<unsigned>(s - 1) >= 64U) {
    return format_fixed_general(bits, w, D, out);
  }
  const std::uint64_t m = (bits & kFractionMask) | (std::uint64_t{1} << kMantissaBits);
  const std::uint64_t int_part = m >> (s - 1) >> 1;
  const std::uint64_t fraction = m << (64 - s);
  const Uint128 scaled = Uint128{fraction} * kPow10[D];
  const auto rest = static_cast<std::uint64_t>(scaled);
  auto decimals = static_cast<std::uint64_t>(scaled >> 64);
  // Round up when rest > 2^63, or rest == 2^63 and the last kept digit is odd: exactly
  // when rest + 2^63 - 1 + odd carries out of the word.
  const std::uint64_t odd = (D == 0 ? int_part : decimals) & 1;
  std::uint64_t unused_sum = 0;
  decimals += static_cast<std::uint64_t>(
      __builtin_add_overflow(rest, (std::uint64_t{1} << 63) - 1 + odd, &unused_sum));
  // A carry out of the decimals into the integer part is left to the general path too.
  if ((decimals == kPow10[D]) | (int_part >= kSevenDigitLimit)) {
    return format_fixed_general(bits, w, D, out);
  }
  const std::uint64_t sign = (bits >> 63) & ((int_part | decimals) != 0 ? 1 : 0);
  // The exponent already gives the bit length of the integer part, 53 - s.
  const DigitCountStep& step = kDigitCountBy[static_cast<std::size_t>(s)];
  const int int_digits = step.digits + (int_part >= step.threshold ? 1 : 0);
  if (static_cast<int>(sign) + int_digits + 1 + D > w) {
    return overflow(out, w);
  }

  const FieldWords words =
      field_words<D>(static_cast<std::uint32_t>(int_part), static_cast<std::uint32_t>(decimals));
  // '0' ^ ' ' turns the leading zeros of the integer word into blanks, ' ' ^ '-' the
  // blank before the first digit into the sign (there is one: at most 7 digits).
  const int leading_bits = 8 * (8 - int_digits);
  const std::uint64_t decoration =
      (((std::uint64_t{1} << leading_bits) - 1) & (kLowBits * ('0' ^ ' '))) ^
      ((sign * (' ' ^ '-')) << (leading_bits - 8));
  const std::uint64_t int_word = words.int_word ^ decoration;
  // The '.' is at byte 7 - D of the last word; the integer word ends just before it.
  constexpr int kPointShift = 8 * (kShortMaxDecimals - D);
  std::uint64_t last = words.decimal_word;
  std::uint64_t before = int_word;
  if constexpr (kPointShift != 0) {
    last |= int_word >> (64 - kPointShift);
    before = (int_word << kPointShift) | (kBlankWord >> (64 - kPointShift));
  }
  // The first 8 positions of the field: `before` and `last` shifted by the 16 - w
  // positions the field is shorter than 16 (0..7 here).
  const int shift = 8 * (kShortMaxWidth - w);
  const std::uint64_t first = (before >> shift) | (last << 1 << (63 - shift));
  std::memcpy(out, &first, 8);
  std::memcpy(out + w - 8, &last, 8);
  return true;
}

template <int D>
[[gnu::noinline]] bool format_fixed_short(std::uint64_t bits, int w, char* out) noexcept {
  return format_short_field<D>(bits, w, out);
}

}  // namespace

bool format_fixed(double value, int w, int d, char* out) noexcept {
  const auto bits = std::bit_cast<std::uint64_t>(value);
  // The short layout places bytes within a register in memory order.
  if (std::endian::native == std::endian::little && w >= kShortMinWidth && w <= kShortMaxWidth) {
    // One function per decimal count, reached by a table jump: each keeps to a small
    // register set, where one switch body over all of them saved and restored several
    // registers on every call.
    using ShortPath = bool (*)(std::uint64_t, int, char*) noexcept;
    static constexpr std::array<ShortPath, kShortMaxDecimals + 1> kShortPaths = {
        format_fixed_short<0>, format_fixed_short<1>, format_fixed_short<2>, format_fixed_short<3>,
        format_fixed_short<4>, format_fixed_short<5>, format_fixed_short<6>, format_fixed_short<7>};
    if (static_cast<unsigned>(d) <= kShortMaxDecimals) {
      return kShortPaths[static_cast<std::size_t>(d)](bits, w, out);
    }
  }
  return format_fixed_general(bits, w, d, out);
}

bool format_f14_6(double value, char* out) noexcept {
  if constexpr (std::endian::native == std::endian::little) {
    return format_fixed_short<6>(std::bit_cast<std::uint64_t>(value), 14, out);
  }
  return format_fixed(value, 14, 6, out);
}

bool format_f12_4(double value, char* out) noexcept {
  if constexpr (std::endian::native == std::endian::little) {
    return format_fixed_short<4>(std::bit_cast<std::uint64_t>(value), 12, out);
  }
  return format_fixed(value, 12, 4, out);
}

ColumnPath number_digits::column_path_for(ColumnPath asked) noexcept {
#if GM_FORMAT_HAS_AVX512_COLUMNS
  if (asked == ColumnPath::Avx512 && avx512_columns()) return asked;
#endif
#if GM_FORMAT_HAS_AVX2_COLUMNS
  if (asked == ColumnPath::Avx2 && avx2_columns()) return asked;
#endif
  if (asked == ColumnPath::OneField) return asked;
#if GM_FORMAT_HAS_AVX512_COLUMNS
  if (avx512_columns()) return ColumnPath::Avx512;
#endif
#if GM_FORMAT_HAS_AVX2_COLUMNS
  if (avx2_columns()) return ColumnPath::Avx2;
#endif
  return ColumnPath::OneField;
}

bool column_path_available(ColumnPath path) noexcept {
  return path == ColumnPath::Best || column_path_for(path) == path;
}

bool format_f14_6_columns(const double* values, std::ptrdiff_t stride, int count, char* out,
                          ColumnPath path) noexcept {
  if constexpr (std::endian::native != std::endian::little) {
    bool fits = true;
    for (int k = 0; k < count; ++k, out += 15) {
      *out = ',';
      fits &= format_fixed(values[static_cast<std::ptrdiff_t>(k) * stride], 14, 6, out + 1);
    }
    return fits;
  }
  switch (column_path_for(path)) {
#if GM_FORMAT_HAS_AVX512_COLUMNS
    case ColumnPath::Avx512:
      return format_f14_6_columns_avx512(values, stride, count, out);
#endif
#if GM_FORMAT_HAS_AVX2_COLUMNS
    case ColumnPath::Avx2:
      return format_f14_6_columns_avx2(values, stride, count, out);
#endif
    default:
      break;
  }
  // One loop over the fields with the field's code in it: its constants stay in
  // registers, and no call saves and restores them for every field.
  bool fits = true;
  for (int k = 0; k < count; ++k, out += 15) {
    *out = ',';
    // A row takes one value from each column, columns far apart: too many streams for
    // the hardware to see coming, so each column's value four lines on is asked for now.
    // (Integer arithmetic: the address may lie past the column, and is only a hint.)
    __builtin_prefetch(reinterpret_cast<const void*>(
        reinterpret_cast<std::uintptr_t>(values + static_cast<std::ptrdiff_t>(k) * stride) + kPrefetchAhead));
    fits &= format_short_field<6>(std::bit_cast<std::uint64_t>(values[static_cast<std::ptrdiff_t>(k) * stride]),
                                  14, out + 1);
  }
  return fits;
}

bool format_integer(std::int32_t value, int w, char* out) noexcept {
  const bool negative = value < 0;
  // Negating in unsigned arithmetic keeps INT32_MIN well defined.
  const std::uint32_t magnitude =
      negative ? 0U - static_cast<std::uint32_t>(value) : static_cast<std::uint32_t>(value);
  const int length = (negative ? 1 : 0) + decimal_digits(magnitude);
  if (length > w) {
    return overflow(out, w);
  }
  char* pos = put_digits(magnitude, out + w);
  if (negative) {
    *--pos = '-';
  }
  fill(out, static_cast<std::size_t>(pos - out), ' ');
  return true;
}

}  // namespace textio
