// The value columns of data records eight fields at a time, and the first fields (F12.4)
// of eight records at a time, in the eight 64-bit lanes of an AVX-512 register, for
// processors that have what it uses (asked at run time: the foundation, byte and word
// operations, the 64-bit lane masks and the byte permutes): only the functions marked with
// the target use them, so the program still starts on any x86-64 processor.
//
// The arithmetic is the four-lane path's (number_format_avx2.cpp) lane by lane, and so the
// short path's: value = m / 2^s, the integer part m >> s, the fraction bits m << (64 - s)
// times 10^d in 128 bits from two 32 x 32-bit products, rounded on the low word, ties to
// even. The same lanes are left to the one-field path: magnitudes from where the value
// stops being sure to round to zero up to 2^-12, fields that need more than seven integer
// positions (with the sign), infinities and NaNs.
//
// What differs is only how bytes move: the values are gathered from their columns, a
// record's last group of fewer than eight is gathered and stored under a lane mask (no
// byte read or written past its fields, so no second path for the rest), and the eight
// fields' 120 bytes are laid out by two byte permutes rather than stored 16 bytes apiece.
#include "textio/number_digits.hpp"

#if GM_FORMAT_HAS_AVX512_COLUMNS

#include <immintrin.h>

#include <algorithm>
#include <array>

#include "textio/value_records.hpp"

namespace textio::number_digits {
namespace {

#define GM_AVX512 __attribute__((target("avx512f,avx512bw,avx512dq,avx512vbmi")))

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
constexpr int kLanes = 8;
constexpr int kFieldBytes = 15;
constexpr int kGroupBytes = kLanes * kFieldBytes;  // 120: one full register and 56 bytes

// Where each of the 120 bytes of eight fields comes from, as the byte permute reads two
// registers: 0..63 the comma and integer words (8 per field), 64..127 the decimal words.
// Field f holds bytes 15f..15f+14: its integer word whole, then its decimal word but for
// the spare last byte.
constexpr std::array<std::uint8_t, 128> kGroupOrder = [] {
  std::array<std::uint8_t, 128> order{};
  for (int i = 0; i < kGroupBytes; ++i) {
    const int field = i / kFieldBytes;
    const int at = i % kFieldBytes;
    order[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(at < 8 ? 8 * field + at : 64 + 8 * field + at - 8);
  }
  return order;
}();

GM_AVX512 inline __m512i splat(long long x) { return _mm512_set1_epi64(x); }

// Eight numbers below 10^8, one per 64-bit lane, as eight digit values (0..9, not yet
// characters) in memory order: 8 -> 4+4 digits in 32-bit lanes, 4 -> 2+2 in 16-bit lanes,
// 2 -> 1+1 in bytes, each by a multiply-shift division exact over its range.
GM_AVX512 inline __m512i digit_values(__m512i x) {
  const __m512i q4 = _mm512_srli_epi64(_mm512_mul_epu32(x, splat(0xd1b7'1759LL)), 45);  // / 10^4
  const __m512i r4 = _mm512_sub_epi32(x, _mm512_mul_epu32(q4, splat(10000)));
  const __m512i v4 = _mm512_or_si512(q4, _mm512_slli_epi64(r4, 32));
  const __m512i q2 = _mm512_srli_epi16(_mm512_mulhi_epu16(v4, _mm512_set1_epi32(5243)), 3);  // / 100
  const __m512i r2 = _mm512_sub_epi16(v4, _mm512_mullo_epi16(q2, _mm512_set1_epi32(100)));
  const __m512i v2 = _mm512_or_si512(q2, _mm512_slli_epi32(r2, 16));
  const __m512i q1 = _mm512_mulhi_epu16(v2, _mm512_set1_epi16(6554));  // / 10
  const __m512i r1 = _mm512_sub_epi16(v2, _mm512_mullo_epi16(q1, _mm512_set1_epi16(10)));
  return _mm512_or_si512(q1, _mm512_slli_epi16(r1, 8));
}

// The integer and decimal parts of eight values, rounded, and which lanes the one-field
// path must redo.
struct RoundedLanes {
  __m512i int_part;
  __m512i decimals;
  __mmask8 negative;  // where a '-' is written
  __mmask8 redo;
};

template <int D>
GM_AVX512 inline RoundedLanes round_lanes(__m512i bits) {
  static_assert(D == 4 || D == 6);
  constexpr auto kScale = static_cast<long long>(kPow10[D]);
  const __m512i s = _mm512_sub_epi64(splat(kExponentBias),
                                     _mm512_and_si512(_mm512_srli_epi64(bits, kMantissaBits), splat(0x7ff)));
  const __m512i m = _mm512_or_si512(_mm512_and_si512(bits, splat(static_cast<long long>(kFractionMask))),
                                    splat(static_cast<long long>(kFractionMask + 1)));
  // Counts of 64 or more (and negative ones, taken unsigned) shift every bit out.
  __m512i int_part = _mm512_srlv_epi64(m, s);
  const __m512i fraction = _mm512_sllv_epi64(m, _mm512_sub_epi64(splat(64), s));
  // fraction * 10^D = high * 10^D * 2^32 + low * 10^D: its top word is the decimals, the
  // rest what is rounded away.
  const __m512i low = _mm512_mul_epu32(fraction, splat(kScale));
  const __m512i middle = _mm512_add_epi64(_mm512_mul_epu32(_mm512_srli_epi64(fraction, 32), splat(kScale)),
                                          _mm512_srli_epi64(low, 32));
  __m512i decimals = _mm512_srli_epi64(middle, 32);
  const __m512i rest = _mm512_or_si512(_mm512_slli_epi64(middle, 32), _mm512_and_si512(low, splat(kLowHalf)));
  // Up when rest > 2^63, or rest == 2^63 and the last decimal is odd: rest > 2^63 - odd.
  const __m512i odd = _mm512_and_si512(decimals, splat(1));
  const __mmask8 up = _mm512_cmpgt_epu64_mask(rest, _mm512_sub_epi64(splat(kSignBit), odd));
  decimals = _mm512_mask_add_epi64(decimals, up, decimals, splat(1));
  // Rounding up to 10^D carries into the integer part.
  const __mmask8 carry = _mm512_cmpeq_epi64_mask(decimals, splat(kScale));
  decimals = _mm512_maskz_mov_epi64(static_cast<__mmask8>(~carry), decimals);
  int_part = _mm512_mask_add_epi64(int_part, carry, int_part, splat(1));

  const __mmask8 rounds_to_zero = _mm512_testn_epi64_mask(_mm512_or_si512(int_part, decimals),
                                                          _mm512_or_si512(int_part, decimals));
  const auto negative = static_cast<__mmask8>(_mm512_movepi64_mask(bits) & ~rounds_to_zero);
  // Seven integer digits, or six with a sign: both fields (F14.6 and F12.4) have seven
  // positions before the point.
  const __m512i limit = _mm512_mask_mov_epi64(splat(kSevenDigits), negative, splat(kSixDigits));
  const __mmask8 fits = _mm512_cmplt_epu64_mask(int_part, limit);
  const __mmask8 fraction_path = _mm512_cmple_epu64_mask(_mm512_sub_epi64(s, splat(1)), splat(kLastFractionShift - 1));
  const __mmask8 zero_path = _mm512_cmpge_epi64_mask(s, splat(kFirstZeroShift<D>));
  const auto redo = static_cast<__mmask8>(~(fits & (fraction_path | zero_path)));
  return {int_part, decimals, negative, redo};
}

// Eight integer positions of eight fields: blanks before the first digit (the units digit
// always shows), the '-' just before it. The first is a blank where the lane is done.
GM_AVX512 inline __m512i integer_positions(const RoundedLanes& lanes) {
  const __m512i digits = digit_values(lanes.int_part);
  // The lowest set bit of the lane lies in the first nonzero digit (in memory order), or
  // in a marker just above the units digit's value bits when all are zero. The bits
  // below it fill the bytes before that digit, and reach bit 4 (0x10 = '0' ^ ' ') of no
  // other byte, as a digit's value bits are 0..3.
  const __m512i marked = _mm512_or_si512(digits, splat(static_cast<long long>(std::uint64_t{0x10} << 56)));
  const __m512i lowest = _mm512_and_si512(marked, _mm512_sub_epi64(_mm512_setzero_si512(), marked));
  const __m512i blanks = _mm512_and_si512(_mm512_sub_epi64(lowest, splat(1)), _mm512_set1_epi8(0x10));
  // 0x10 in the last blank alone, in the lanes that write a sign; then 0x10 -> 0x0d
  // (' ' ^ '-') within its byte, as 0x10 >> 4 | 0x10 >> 2 | 0x10 >> 1.
  const __m512i last_blank = _mm512_maskz_andnot_epi64(lanes.negative, _mm512_srli_epi64(blanks, 8), blanks);
  const __m512i sign = _mm512_or_si512(_mm512_or_si512(_mm512_srli_epi64(last_blank, 4), _mm512_srli_epi64(last_blank, 2)),
                                       _mm512_srli_epi64(last_blank, 1));
  return _mm512_xor_si512(_mm512_xor_si512(_mm512_or_si512(digits, _mm512_set1_epi8('0')), blanks), sign);
}

// Lanes 0..kept-1 of eight.
inline __mmask8 first_lanes(int kept) noexcept { return static_cast<__mmask8>((1U << kept) - 1); }

// Bytes 0..n-1 of 64, for 0 <= n <= 64.
inline __mmask64 first_bytes(int n) noexcept {
  return n >= 64 ? ~__mmask64{0} : (__mmask64{1} << n) - 1;
}

// Renders the first `kept` (1..8) of the gathered values, whose bits are `bits`, as
// commas and F14.6 fields into out[0, 15 * kept), and no byte past them; returns the
// lanes the one-field path must redo.
GM_AVX512 inline unsigned put_fields(__m512i bits, int kept, char* out) {
  const RoundedLanes lanes = round_lanes<6>(bits);
  // The comma and the last seven integer positions; the point, the six decimals and a
  // zero byte ("00dddddd" moved one byte towards the start).
  const __m512i ints = _mm512_or_si512(_mm512_andnot_si512(splat(0xff), integer_positions(lanes)), splat(','));
  const __m512i decimals = _mm512_xor_si512(
      _mm512_srli_epi64(_mm512_or_si512(digit_values(lanes.decimals), _mm512_set1_epi8('0')), 8), splat('0' ^ '.'));
  const __m512i head = _mm512_permutex2var_epi8(ints, _mm512_loadu_si512(kGroupOrder.data()), decimals);
  const __m512i tail = _mm512_permutex2var_epi8(ints, _mm512_loadu_si512(kGroupOrder.data() + 64), decimals);
  const int bytes = kFieldBytes * kept;
  _mm512_mask_storeu_epi8(out, first_bytes(bytes), head);
  if (bytes > 64) _mm512_mask_storeu_epi8(out + 64, first_bytes(bytes - 64), tail);
  return lanes.redo & first_lanes(kept);
}

// Asks for a column's value a few lines on: a row takes one value from each column,
// columns far apart, too many streams for the hardware to see coming. (Integer
// arithmetic: the address may lie past the column, and is only a hint.)
inline void ask_ahead(const double* value) noexcept {
  __builtin_prefetch(reinterpret_cast<const void*>(reinterpret_cast<std::uintptr_t>(value) + kPrefetchAhead));
}

// The value columns of one record, values[k * stride] for k = 0..count-1, with `offsets`
// holding k * stride for k = 0..7. Returns false when a field overflowed.
GM_AVX512 inline bool put_columns(const double* values, std::ptrdiff_t stride, __m512i offsets, int count,
                                  char* out) {
  bool fits = true;
  for (int done = 0; done < count; done += kLanes, out += kGroupBytes) {
    const double* column = values + done * stride;
    const int kept = std::min(kLanes, count - done);
    for (int k = 0; k < kept; ++k) ask_ahead(column + k * stride);
    // Lanes past the record's last field are neither read nor written.
    const __m512i bits = _mm512_mask_i64gather_epi64(_mm512_setzero_si512(), first_lanes(kept), offsets, column, 8);
    for (unsigned redo = put_fields(bits, kept, out); redo != 0; redo &= redo - 1) {
      const int k = __builtin_ctz(redo);
      fits &= format_f14_6(column[k * stride], out + kFieldBytes * k + 1);
    }
  }
  return fits;
}

GM_AVX512 inline __m512i lane_offsets(std::ptrdiff_t stride) {
  return _mm512_mullo_epi64(_mm512_set_epi64(7, 6, 5, 4, 3, 2, 1, 0), splat(stride));
}

// Renders times[r], r = 0..rows-1 (at most 8), as F12.4 fields at out + r * length: the
// last seven integer positions, the point and four decimals. Returns bit r set when
// field r overflowed.
GM_AVX512 inline unsigned eight_times(const double* times, int rows, char* out, std::size_t length) {
  const RoundedLanes lanes = round_lanes<4>(_mm512_maskz_loadu_epi64(first_lanes(rows), times));
  const __m512i ints = _mm512_or_si512(_mm512_srli_epi64(integer_positions(lanes), 8),
                                       splat(static_cast<long long>(std::uint64_t{'.'} << 56)));
  // "0000dddd" moved four bytes towards the start.
  const __m512i decimals =
      _mm512_srli_epi64(_mm512_or_si512(digit_values(lanes.decimals), _mm512_set1_epi8('0')), 32);
  // Record r's twelve bytes at aside + 16 r.
  char aside[128];
  _mm512_storeu_si512(aside, _mm512_permutex2var_epi64(ints, _mm512_set_epi64(11, 3, 10, 2, 9, 1, 8, 0), decimals));
  _mm512_storeu_si512(aside + 64,
                      _mm512_permutex2var_epi64(ints, _mm512_set_epi64(15, 7, 14, 6, 13, 5, 12, 4), decimals));
  for (int r = 0; r < rows; ++r) {
    std::memcpy(out + static_cast<std::size_t>(r) * length, aside + 16 * r, 12);
  }
  unsigned overflowed = 0;
  for (unsigned redo = lanes.redo & first_lanes(rows); redo != 0; redo &= redo - 1) {
    const int r = __builtin_ctz(redo);
    if (!format_f12_4(times[r], out + static_cast<std::size_t>(r) * length)) overflowed |= 1U << r;
  }
  return overflowed;
}

}  // namespace

bool avx512_columns() noexcept {
  static const bool supported = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx512f") != 0 && __builtin_cpu_supports("avx512bw") != 0 &&
           __builtin_cpu_supports("avx512dq") != 0 && __builtin_cpu_supports("avx512vbmi") != 0;
  }();
  return supported;
}

GM_AVX512 bool format_f14_6_columns_avx512(const double* values, std::ptrdiff_t stride, int count,
                                           char* out) noexcept {
  return put_columns(values, stride, lane_offsets(stride), count, out);
}

GM_AVX512 int render_value_records_avx512(const double* firsts, int records, const double* values,
                                          std::ptrdiff_t row_step, std::ptrdiff_t stride, int count,
                                          char* out) noexcept {
  const std::size_t length = value_record_length(count);
  const __m512i offsets = lane_offsets(stride);
  int overflowed = 0;
  for (int done = 0; done < records; done += kLanes) {
    const int rows = std::min(kLanes, records - done);
    const unsigned times_over = eight_times(firsts + done, rows, out, length);
    for (int r = 0; r < rows; ++r, out += length, values += row_step) {
      const bool fits = put_columns(values, stride, offsets, count, out + 12);
      out[length - 2] = '\r';
      out[length - 1] = '\n';
      overflowed += (fits && ((times_over >> r) & 1) == 0) ? 0 : 1;
    }
  }
  return overflowed;
}

}  // namespace textio::number_digits

#undef GM_AVX512

#endif  // GM_FORMAT_HAS_AVX512_COLUMNS
