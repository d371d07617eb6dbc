// The value columns of data records four fields at a time, and the first fields (F12.4)
// of four records at a time, in the four 64-bit lanes of an AVX2 register, for processors
// that have them (asked at run time): only the functions marked with the target use AVX2,
// so the program still starts on any x86-64 processor.
//
// The arithmetic is the short path's (number_format.cpp), lane by lane: value = m / 2^s,
// the integer part m >> s, the fraction bits m << (64 - s) times 10^d in 128 bits (here
// from two 32 x 32-bit products), rounded on the low word, ties to even. The processor
// supplies per-lane shifts that give zero for counts of 64 or more, so values small
// enough to round to zero, and zeros, come out right with no test; only magnitudes from
// there up to 2^-12 (for six decimals [2^-21, 2^-12)), fields that need more than seven
// integer positions (with the sign), infinities and NaNs are left to the one-field path,
// lane by lane, after the four fields are stored.
//
// Each value field, with its comma, is laid out in 16 bytes: the comma and seven integer
// positions (the integer part never has an eighth digit here), then the point, the six
// decimals and one spare byte, which the next field's comma overwrites; a record's last
// group of fields is stored without it.
#include "textio/number_digits.hpp"

#if GM_FORMAT_HAS_AVX2_COLUMNS

#include <immintrin.h>

#include <algorithm>

#include "textio/value_records.hpp"

namespace textio::number_digits {
namespace {

#define GM_AVX2 __attribute__((target("avx2")))

constexpr long long kSixDigits = 1'000'000;
constexpr long long kSevenDigits = 10'000'000;
constexpr long long kSignBit = static_cast<long long>(std::uint64_t{1} << 63);
constexpr long long kLowHalf = 0xffff'ffffLL;
// Shifts s at which a value gets the fraction path (1..64), or is below 2^(53 - s) and
// so renders as zero with D decimals: from 2^-21 < 0.5e-6, and 2^-15 < 0.5e-4.
constexpr long long kLastFractionShift = 64;
template <int D>
constexpr long long kFirstZeroShift = D == 6 ? 74 : 68;
constexpr std::uintptr_t kPrefetchAhead = 256;

GM_AVX2 inline __m256i splat(long long x) { return _mm256_set1_epi64x(x); }

// Four numbers below 10^8, one per 64-bit lane, as eight digit values (0..9, not yet
// characters) in memory order: 8 -> 4+4 digits in 32-bit lanes, 4 -> 2+2 in 16-bit lanes,
// 2 -> 1+1 in bytes, each by a multiply-shift division exact over its range.
GM_AVX2 inline __m256i digit_values(__m256i x) {
  const __m256i q4 = _mm256_srli_epi64(_mm256_mul_epu32(x, splat(0xd1b7'1759LL)), 45);  // / 10^4
  const __m256i r4 = _mm256_sub_epi32(x, _mm256_mul_epu32(q4, splat(10000)));
  const __m256i v4 = _mm256_or_si256(q4, _mm256_slli_epi64(r4, 32));
  const __m256i q2 = _mm256_srli_epi16(_mm256_mulhi_epu16(v4, _mm256_set1_epi32(5243)), 3);  // / 100
  const __m256i r2 = _mm256_sub_epi16(v4, _mm256_mullo_epi16(q2, _mm256_set1_epi32(100)));
  const __m256i v2 = _mm256_or_si256(q2, _mm256_slli_epi32(r2, 16));
  const __m256i q1 = _mm256_mulhi_epu16(v2, _mm256_set1_epi16(6554));  // / 10
  const __m256i r1 = _mm256_sub_epi16(v2, _mm256_mullo_epi16(q1, _mm256_set1_epi16(10)));
  return _mm256_or_si256(q1, _mm256_slli_epi16(r1, 8));
}

// The integer and decimal parts of four values, rounded, and which lanes the one-field
// path must redo.
struct RoundedLanes {
  __m256i int_part;
  __m256i decimals;
  __m256i negative;  // all ones where a '-' is written
  int redo;          // bit k: lane k
};

template <int D>
GM_AVX2 inline RoundedLanes round_lanes(__m256i bits) {
  static_assert(D == 4 || D == 6);
  constexpr auto kScale = static_cast<long long>(kPow10[D]);
  const __m256i zero = _mm256_setzero_si256();
  const __m256i s = _mm256_sub_epi64(splat(kExponentBias),
                                     _mm256_and_si256(_mm256_srli_epi64(bits, kMantissaBits), splat(0x7ff)));
  const __m256i m = _mm256_or_si256(_mm256_and_si256(bits, splat(static_cast<long long>(kFractionMask))),
                                    splat(static_cast<long long>(kFractionMask + 1)));
  __m256i int_part = _mm256_srlv_epi64(m, s);
  const __m256i fraction = _mm256_sllv_epi64(m, _mm256_sub_epi64(splat(64), s));
  // fraction * 10^D = high * 10^D * 2^32 + low * 10^D: its top word is the decimals, the
  // rest what is rounded away.
  const __m256i low = _mm256_mul_epu32(fraction, splat(kScale));
  const __m256i middle = _mm256_add_epi64(_mm256_mul_epu32(_mm256_srli_epi64(fraction, 32), splat(kScale)),
                                          _mm256_srli_epi64(low, 32));
  __m256i decimals = _mm256_srli_epi64(middle, 32);
  const __m256i rest = _mm256_or_si256(_mm256_slli_epi64(middle, 32), _mm256_and_si256(low, splat(kLowHalf)));
  // Up when rest > 2^63, or rest == 2^63 and the last decimal is odd: with the sign bit
  // flipped, a signed rest - 2^63 > -odd.
  const __m256i odd = _mm256_and_si256(decimals, splat(1));
  const __m256i up = _mm256_cmpgt_epi64(_mm256_xor_si256(rest, splat(kSignBit)), _mm256_sub_epi64(zero, odd));
  decimals = _mm256_sub_epi64(decimals, up);
  // Rounding up to 10^D carries into the integer part.
  const __m256i carry = _mm256_cmpeq_epi64(decimals, splat(kScale));
  decimals = _mm256_andnot_si256(carry, decimals);
  int_part = _mm256_sub_epi64(int_part, carry);

  const __m256i rounds_to_zero = _mm256_cmpeq_epi64(_mm256_or_si256(int_part, decimals), zero);
  const __m256i negative = _mm256_andnot_si256(rounds_to_zero, _mm256_cmpgt_epi64(zero, bits));
  // Seven integer digits, or six with a sign: both fields (F14.6 and F12.4) have seven
  // positions before the point.
  const __m256i limit = _mm256_sub_epi64(splat(kSevenDigits),
                                         _mm256_and_si256(negative, splat(kSevenDigits - kSixDigits)));
  const __m256i too_wide = _mm256_cmpgt_epi64(int_part, _mm256_sub_epi64(limit, splat(1)));
  const __m256i fraction_path =
      _mm256_andnot_si256(_mm256_cmpgt_epi64(s, splat(kLastFractionShift)), _mm256_cmpgt_epi64(s, zero));
  const __m256i zero_path = _mm256_cmpgt_epi64(s, splat(kFirstZeroShift<D> - 1));
  const __m256i done = _mm256_andnot_si256(too_wide, _mm256_or_si256(fraction_path, zero_path));
  const int redo = 0xf & ~_mm256_movemask_pd(_mm256_castsi256_pd(done));
  return {int_part, decimals, negative, redo};
}

// Eight integer positions of four fields: blanks before the first digit (the units digit
// always shows), the '-' just before it. The first is a blank where the lane is done.
GM_AVX2 inline __m256i integer_positions(const RoundedLanes& lanes) {
  const __m256i digits = digit_values(lanes.int_part);
  // The lowest set bit of the lane lies in the first nonzero digit (in memory order), or
  // in a marker just above the units digit's value bits when all are zero. The bits
  // below it fill the bytes before that digit, and reach bit 4 (0x10 = '0' ^ ' ') of no
  // other byte, as a digit's value bits are 0..3.
  const __m256i marked = _mm256_or_si256(digits, splat(static_cast<long long>(std::uint64_t{0x10} << 56)));
  const __m256i lowest = _mm256_and_si256(marked, _mm256_sub_epi64(_mm256_setzero_si256(), marked));
  const __m256i blanks = _mm256_and_si256(_mm256_sub_epi64(lowest, splat(1)), _mm256_set1_epi8(0x10));
  // 0x10 in the last blank alone, made ' ' ^ '-' (0x0d) where a sign is written.
  const __m256i last_blank =
      _mm256_and_si256(_mm256_andnot_si256(_mm256_srli_epi64(blanks, 8), blanks), lanes.negative);
  const __m256i sign = _mm256_mullo_epi16(_mm256_srli_epi16(last_blank, 4), _mm256_set1_epi16(' ' ^ '-'));
  return _mm256_xor_si256(_mm256_xor_si256(_mm256_or_si256(digits, _mm256_set1_epi8('0')), blanks), sign);
}

// The comma and the last seven integer positions of four F14.6 fields.
GM_AVX2 inline __m256i integer_words(const RoundedLanes& lanes) {
  return _mm256_or_si256(_mm256_andnot_si256(splat(0xff), integer_positions(lanes)), splat(','));
}

// The point and the six decimals of four fields, then a zero byte.
GM_AVX2 inline __m256i decimal_words(const RoundedLanes& lanes) {
  // "00dddddd" moved one byte towards the start: "0dddddd" and a zero byte.
  const __m256i word =
      _mm256_srli_epi64(_mm256_or_si256(digit_values(lanes.decimals), _mm256_set1_epi8('0')), 8);
  return _mm256_xor_si256(word, splat('0' ^ '.'));
}

// The bits of four doubles, each read on its own.
GM_AVX2 inline __m256i load_four(const double* const (&values)[4]) {
  const __m128d first = _mm_loadh_pd(_mm_load_sd(values[0]), values[1]);
  const __m128d second = _mm_loadh_pd(_mm_load_sd(values[2]), values[3]);
  return _mm256_castpd_si256(_mm256_insertf128_pd(_mm256_castpd128_pd256(first), second, 1));
}

// Four F14.6 fields with their commas, as 16 bytes each: the integer words and the
// decimal words of *fields[k], k = 0..3, and the lanes the one-field path must redo.
struct FourFields {
  __m256i ints;
  __m256i decimals;
  int redo;
};

GM_AVX2 inline FourFields four_fields(const double* const (&fields)[4]) {
  const RoundedLanes lanes = round_lanes<6>(load_four(fields));
  return {integer_words(lanes), decimal_words(lanes), lanes.redo};
}

// Redoes the fields of `redo` among the first `kept` on the one-field path; false when
// one of them overflowed.
inline bool redo_fields(const double* const (&fields)[4], int redo, int kept, char* out) {
  bool fits = true;
  for (redo &= (1 << kept) - 1; redo != 0; redo &= redo - 1) {
    const int k = __builtin_ctz(static_cast<unsigned>(redo));
    fits &= format_f14_6(*fields[k], out + 15 * k + 1);
  }
  return fits;
}

// Renders *fields[k], k = 0..3, into out[0, 60) and writes out[60], which the next field
// or the line end overwrites. Returns false when a field overflowed.
GM_AVX2 inline bool put_four_fields(const double* const (&fields)[4], char* out) {
  const FourFields four = four_fields(fields);
  const __m256i even = _mm256_unpacklo_epi64(four.ints, four.decimals);  // fields 0 and 2
  const __m256i odd = _mm256_unpackhi_epi64(four.ints, four.decimals);   // fields 1 and 3
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm256_castsi256_si128(even));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 15), _mm256_castsi256_si128(odd));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 30), _mm256_extracti128_si256(even, 1));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 45), _mm256_extracti128_si256(odd, 1));
  return redo_fields(fields, four.redo, 4, out);
}

// Renders the first `kept` of *fields[k] into out[0, 15 * kept) exactly: each field as
// its first eight bytes and, overlapping them by one, its last eight.
GM_AVX2 inline bool put_last_fields(const double* const (&fields)[4], int kept, char* out) {
  const FourFields four = four_fields(fields);
  std::uint64_t heads[4];
  std::uint64_t tails[4];
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(heads), four.ints);
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(tails),
                     _mm256_or_si256(_mm256_slli_epi64(four.decimals, 8), _mm256_srli_epi64(four.ints, 56)));
  for (int k = 0; k < kept; ++k) {
    std::memcpy(out + 15 * k, &heads[k], 8);
    std::memcpy(out + 15 * k + 7, &tails[k], 8);
  }
  return redo_fields(fields, four.redo, kept, out);
}

// Asks for a column's value a few lines on: a row takes one value from each column,
// columns far apart, too many streams for the hardware to see coming. (Integer
// arithmetic: the address may lie past the column, and is only a hint.)
inline void ask_ahead(const double* value) noexcept {
  __builtin_prefetch(reinterpret_cast<const void*>(reinterpret_cast<std::uintptr_t>(value) + kPrefetchAhead));
}

// Renders *times[r], r = 0..rows-1 (at most 4), as F12.4 fields at out + r * length: the
// last seven integer positions, the point and four decimals. Returns bit r set when
// field r overflowed.
GM_AVX2 inline int four_times(const double* const (&times)[4], int rows, char* out, std::size_t length) {
  const RoundedLanes lanes = round_lanes<4>(load_four(times));
  const __m256i ints = _mm256_or_si256(_mm256_srli_epi64(integer_positions(lanes), 8),
                                       splat(static_cast<long long>(std::uint64_t{'.'} << 56)));
  // "0000dddd" moved four bytes towards the start.
  const __m256i decimals =
      _mm256_srli_epi64(_mm256_or_si256(digit_values(lanes.decimals), _mm256_set1_epi8('0')), 32);
  const __m256i even = _mm256_unpacklo_epi64(ints, decimals);  // fields 0 and 2
  const __m256i odd = _mm256_unpackhi_epi64(ints, decimals);   // fields 1 and 3
  char aside[64];
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(aside), _mm256_permute2x128_si256(even, odd, 0x20));
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(aside + 32), _mm256_permute2x128_si256(even, odd, 0x31));
  int overflowed = 0;
  for (int r = 0; r < rows; ++r) {
    std::memcpy(out + static_cast<std::size_t>(r) * length, aside + 16 * r, 12);
  }
  for (int redo = lanes.redo & ((1 << rows) - 1); redo != 0; redo &= redo - 1) {
    const int r = __builtin_ctz(static_cast<unsigned>(redo));
    if (!format_f12_4(*times[r], out + static_cast<std::size_t>(r) * length)) overflowed |= 1 << r;
  }
  return overflowed;
}

}  // namespace

bool avx2_columns() noexcept {
  static const bool supported = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") != 0;
  }();
  return supported;
}

GM_AVX2 bool format_f14_6_columns_avx2(const double* values, std::ptrdiff_t stride, int count,
                                       char* out) noexcept {
  bool fits = true;
  const double* column = values;
  int left = count;
  // The last group, even when whole, is stored so as to write no byte past its fields.
  for (; left > 4; left -= 4, out += 60) {
    const double* const fields[4] = {column, column + stride, column + 2 * stride, column + 3 * stride};
    column += 4 * stride;
    for (const double* field : fields) ask_ahead(field);
    fits &= put_four_fields(fields, out);
  }
  if (left > 0) {
    // The missing lanes of the last pass repeat a column of the pass.
    const auto at = [&](int k) { return column + std::min(k, left - 1) * stride; };
    const double* const fields[4] = {at(0), at(1), at(2), at(3)};
    for (int k = 0; k < left; ++k) ask_ahead(fields[k]);
    fits &= put_last_fields(fields, left, out);
  }
  return fits;
}

GM_AVX2 int render_value_records_avx2(const double* firsts, int records, const double* values,
                                      std::ptrdiff_t row_step, std::ptrdiff_t stride, int count,
                                      char* out) noexcept {
  const std::size_t length = value_record_length(count);
  int overflowed = 0;
  for (int done = 0; done < records; done += 4) {
    // The time fields of four records in one pass, the missing lanes repeating the last.
    const int rows = std::min(4, records - done);
    const auto at = [&](int r) { return firsts + done + std::min(r, rows - 1); };
    const double* const times[4] = {at(0), at(1), at(2), at(3)};
    const int times_over = four_times(times, rows, out, length);
    for (int r = 0; r < rows; ++r, out += length, values += row_step) {
      const bool fits = format_f14_6_columns_avx2(values, stride, count, out + 12);
      out[length - 2] = '\r';
      out[length - 1] = '\n';
      overflowed += (fits && ((times_over >> r) & 1) == 0) ? 0 : 1;
    }
  }
  return overflowed;
}

}  // namespace textio::number_digits

#undef GM_AVX2

#endif  // GM_FORMAT_HAS_AVX2_COLUMNS
