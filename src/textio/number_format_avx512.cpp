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
// What differs is how the digits are made and moved. The values are gathered from their
// columns, and a record's last group of fewer than eight is gathered and stored under a
// lane mask (no byte read or written past its fields, so no second path for the rest).
// Each pair of positions of a field becomes one byte, a code that two table lookups (byte
// permutes) turn into its two characters, blanks and sign included; two more permutes lay
// the eight fields' 120 bytes out in their order. That takes fewer operations than making
// each digit and blank apart, which matters here more than with AVX2, since fewer
// execution ports take 64-byte operations.
#include "textio/number_digits.hpp"

#if GM_FORMAT_HAS_AVX512_COLUMNS

// GCC 12's AVX-512 operations start from a self-initialised "undefined" register, which
// its uninitialised-use warning takes for a read in the sanitizer builds (GCC bug 105593).
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
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

GM_AVX512 inline __m512i splat(long long x) { return _mm512_set1_epi64(x); }

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

// A field is written from one byte per two positions, a code that indexes two tables of
// 128 characters, one for the first position and one for the second:
//   0..99     the two digits of the code
//   100..109  a blank and the digit code - 100 (a first digit that is alone in its pair)
//   110       two blanks
//   111..120  '-' and the digit code - 111
//   121       a blank and '-'
//   122       '.' and ','
// A lane's eight codes, in memory order: the integer part's four pairs (the first digit,
// always 0 as the part is below 10^7, is not written: the comma takes its place), the
// point and comma, then the decimals: three pairs for six, or an unused code and two
// pairs for four.
constexpr int kBlankDigit = 100;
constexpr int kBlanks = 110;
constexpr int kSignDigit = 111;
constexpr int kBlankSign = 121;
constexpr long long kMarks = 122;

struct PairTables {
  std::array<char, 128> first;
  std::array<char, 128> second;
};

constexpr PairTables kPairTables = [] {
  PairTables t{};
  t.first.fill(' ');
  t.second.fill(' ');
  for (int code = 0; code < 128; ++code) {
    const auto at = static_cast<std::size_t>(code);
    if (code < kBlankDigit) {
      t.first[at] = static_cast<char>('0' + code / 10);
      t.second[at] = static_cast<char>('0' + code % 10);
    } else if (code < kBlanks) {
      t.second[at] = static_cast<char>('0' + code - kBlankDigit);
    } else if (code >= kSignDigit && code < kBlankSign) {
      t.first[at] = '-';
      t.second[at] = static_cast<char>('0' + code - kSignDigit);
    }
  }
  t.second[kBlankSign] = '-';
  t.first[kMarks] = '.';
  t.second[kMarks] = ',';
  return t;
}();

// Where each byte of eight F14.6 fields (120 bytes) and of eight F12.4 fields (at 16-byte
// steps, 128 bytes) comes from, as the byte permute reads the first characters (0..63)
// and the second ones (64..127) of the codes of the lanes.
template <int D>
constexpr std::array<std::uint8_t, 128> kFieldOrder = [] {
  constexpr int kSecond = 64;
  constexpr int kStep = D == 6 ? kFieldBytes : 16;
  std::array<std::uint8_t, 128> order{};
  for (int lane = 0; lane < kLanes; ++lane) {
    std::array<int, kFieldBytes> from{};
    int n = 0;
    const int code = 8 * lane;
    if (D == 6) from[static_cast<std::size_t>(n++)] = kSecond + code + 4;  // the comma
    from[static_cast<std::size_t>(n++)] = kSecond + code;
    for (int pair = 1; pair < 4; ++pair) {
      from[static_cast<std::size_t>(n++)] = code + pair;
      from[static_cast<std::size_t>(n++)] = kSecond + code + pair;
    }
    from[static_cast<std::size_t>(n++)] = code + 4;  // the point
    for (int pair = 8 - D / 2; pair < 8; ++pair) {
      from[static_cast<std::size_t>(n++)] = code + pair;
      from[static_cast<std::size_t>(n++)] = kSecond + code + pair;
    }
    for (int k = 0; k < n && kStep * lane + k < 128; ++k) {
      order[static_cast<std::size_t>(kStep * lane + k)] = static_cast<std::uint8_t>(from[static_cast<std::size_t>(k)]);
    }
  }
  return order;
}();

// The codes of eight fields with D decimals.
template <int D>
GM_AVX512 inline __m512i field_codes(const RoundedLanes& lanes) {
  // Four-digit numbers in 16-bit lanes, by multiply-shift divisions exact over their
  // ranges: the integer part's upper and lower four digits, then the decimals'.
  const __m512i magic = splat(0xd1b7'1759LL);  // / 10^4: (x * magic) >> 45
  const __m512i int_high = _mm512_srli_epi64(_mm512_mul_epu32(lanes.int_part, magic), 45);
  const __m512i int_low = _mm512_sub_epi64(lanes.int_part, _mm512_mul_epu32(int_high, splat(10000)));
  __m512i fours = _mm512_or_si512(int_high, _mm512_slli_epi64(int_low, 16));
  if constexpr (D == 6) {
    const __m512i dec_high = _mm512_srli_epi64(_mm512_mul_epu32(lanes.decimals, magic), 45);
    const __m512i dec_low = _mm512_sub_epi64(lanes.decimals, _mm512_mul_epu32(dec_high, splat(10000)));
    fours = _mm512_or_si512(fours, _mm512_or_si512(_mm512_slli_epi64(dec_high, 32), _mm512_slli_epi64(dec_low, 48)));
  } else {
    fours = _mm512_or_si512(fours, _mm512_slli_epi64(lanes.decimals, 48));
  }
  // Each split into pairs, the upper one first: q + (x - 100 q) * 256 with q = x / 100.
  const __m512i hundreds = _mm512_srli_epi16(_mm512_mulhi_epu16(fours, _mm512_set1_epi16(5243)), 3);
  const __m512i pairs = _mm512_sub_epi16(_mm512_slli_epi16(fours, 8), _mm512_mullo_epi16(hundreds, _mm512_set1_epi16(25599)));
  // The lowest set bit of the lane lies in the first integer pair that is not zero, or
  // in a marker above the units pair's value bits when all are. Pairs before it are
  // blanks; a first pair below 10 shows a blank or the sign before its digit; the sign
  // of a first pair of two digits goes into the last blank. (Bit 7 of a pair below it
  // is set only where the whole pair is.)
  const __m512i marked = _mm512_or_si512(pairs, splat(0x80LL << 24));
  const __m512i lowest = _mm512_and_si512(marked, _mm512_sub_epi64(_mm512_setzero_si512(), marked));
  const __mmask64 blank = _mm512_test_epi8_mask(_mm512_sub_epi64(lowest, splat(1)), _mm512_set1_epi8(static_cast<char>(0x80)));
  const __mmask64 first = _mm512_test_epi8_mask(lowest, lowest);
  const __mmask64 lone = first & _mm512_cmplt_epu8_mask(pairs, _mm512_set1_epi8(10));
  const __mmask64 negative = _mm512_movepi8_mask(_mm512_movm_epi64(lanes.negative));
  __m512i codes = _mm512_mask_mov_epi8(pairs, blank, _mm512_set1_epi8(kBlanks));
  codes = _mm512_mask_add_epi8(codes, lone, codes, _mm512_set1_epi8(kBlankDigit));
  codes = _mm512_mask_add_epi8(codes, lone & negative, codes, _mm512_set1_epi8(kSignDigit - kBlankDigit));
  codes = _mm512_mask_mov_epi8(codes, ((first & ~lone & negative) >> 1) & blank, _mm512_set1_epi8(kBlankSign));
  return _mm512_or_si512(codes, splat(kMarks << 32));  // the fifth code is zero
}

// The bytes of eight fields with D decimals, as kFieldOrder<D> lays them out.
template <int D>
GM_AVX512 inline void field_bytes(const RoundedLanes& lanes, __m512i& head, __m512i& tail) {
  const __m512i codes = field_codes<D>(lanes);
  const __m512i firsts = _mm512_permutex2var_epi8(_mm512_loadu_si512(kPairTables.first.data()), codes,
                                                  _mm512_loadu_si512(kPairTables.first.data() + 64));
  const __m512i seconds = _mm512_permutex2var_epi8(_mm512_loadu_si512(kPairTables.second.data()), codes,
                                                   _mm512_loadu_si512(kPairTables.second.data() + 64));
  head = _mm512_permutex2var_epi8(firsts, _mm512_loadu_si512(kFieldOrder<D>.data()), seconds);
  tail = _mm512_permutex2var_epi8(firsts, _mm512_loadu_si512(kFieldOrder<D>.data() + 64), seconds);
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
  __m512i head;
  __m512i tail;
  field_bytes<6>(lanes, head, tail);
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
  // The fields to redo are redone after eight groups, not after each: no call inside the
  // loop, which would cost every group its constants, reloaded after it.
  constexpr int kPerRedo = 64;
  for (int start = 0; start < count; start += kPerRedo) {
    const int end = std::min(count, start + kPerRedo);
    std::uint64_t redo = 0;
    for (int done = start; done < end; done += kLanes) {
      const double* column = values + done * stride;
      const int kept = std::min(kLanes, end - done);
      for (int k = 0; k < kept; ++k) ask_ahead(column + k * stride);
      // Lanes past the record's last field are neither read nor written.
      const __m512i bits = _mm512_mask_i64gather_epi64(_mm512_setzero_si512(), first_lanes(kept), offsets, column, 8);
      redo |= std::uint64_t{put_fields(bits, kept, out + kFieldBytes * done)} << (done - start);
    }
    for (; redo != 0; redo &= redo - 1) {
      const int k = start + __builtin_ctzll(redo);
      fits &= format_f14_6(values[k * stride], out + kFieldBytes * k + 1);
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
  // Record r's twelve bytes at aside + 16 r.
  __m512i head;
  __m512i tail;
  field_bytes<4>(lanes, head, tail);
  char aside[128];
  _mm512_storeu_si512(aside, head);
  _mm512_storeu_si512(aside + 64, tail);
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
