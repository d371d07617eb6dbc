#pragma once
// The digit writing shared by the two paths of the fixed-width renderers (number_format):
// powers of ten, digit pairs, the fields of a double's bits, and the general path, which
// takes every value the fast path for short fields leaves out.
#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "textio/number_format.hpp"

namespace textio::number_digits {

// A 53-bit mantissa times 10^9 needs 83 bits; __extension__ keeps -Wpedantic quiet about
// the compiler-specific type.
__extension__ typedef unsigned __int128 Uint128;

inline constexpr std::array<std::uint64_t, 20> kPow10 = [] {
  std::array<std::uint64_t, 20> table{};
  std::uint64_t p = 1;
  for (auto& entry : table) {
    entry = p;
    p *= 10;  // wraps after the last entry, which is never used
  }
  return table;
}();

// "00" "01" ... "99": two digits per division halves the dependent division chain.
inline constexpr std::array<char, 200> kDigitPairs = [] {
  std::array<char, 200> table{};
  for (int i = 0; i < 100; ++i) {
    table[static_cast<std::size_t>(2 * i)] = static_cast<char>('0' + i / 10);
    table[static_cast<std::size_t>(2 * i + 1)] = static_cast<char>('0' + i % 10);
  }
  return table;
}();

inline constexpr int kMantissaBits = 52;
inline constexpr std::uint64_t kFractionMask = (std::uint64_t{1} << kMantissaBits) - 1;
inline constexpr int kExponentBias = 1075;  // biased exponent minus this is e for an integer m
inline constexpr int kInfNanExponent = 0x7ff;

// Number of decimal digits of v, 1 for zero. The bit length gives floor(log10) to within
// one (1233 / 4096 ~ log10(2)); one table comparison settles it. Or-ing in the low bit
// maps zero to one and never crosses a power of ten, since those are even.
inline int decimal_digits(std::uint64_t v) noexcept {
  v |= 1;
  const int bits = 64 - std::countl_zero(v);
  const int guess = (bits * 1233) >> 12;
  return guess + (v >= kPow10[static_cast<std::size_t>(guess)] ? 1 : 0);
}

inline void put_pair(char* dest, unsigned pair) noexcept {
  std::memcpy(dest, &kDigitPairs[2 * pair], 2);
}

// Writes the digits of v, without leading zeros, so that they end just before `end`;
// returns where they start. Callers pass a 32-bit type when they can, as 32-bit
// divisions by a constant are cheaper.
template <typename Unsigned>
char* put_digits(Unsigned v, char* end) noexcept {
  while (v >= 100) {
    const Unsigned q = static_cast<Unsigned>(v / 100);
    end -= 2;
    put_pair(end, static_cast<unsigned>(v - q * 100));
    v = q;
  }
  if (v >= 10) {
    end -= 2;
    put_pair(end, static_cast<unsigned>(v));
  } else {
    *--end = static_cast<char>('0' + v);
  }
  return end;
}

// Writes exactly `count` digits of v (leading zeros included) ending just before `end`.
template <typename Unsigned>
void put_fixed_digits(Unsigned v, int count, char* end) noexcept {
  for (; count >= 2; count -= 2) {
    const Unsigned q = static_cast<Unsigned>(v / 100);
    end -= 2;
    put_pair(end, static_cast<unsigned>(v - q * 100));
    v = q;
  }
  if (count == 1) {
    end[-1] = static_cast<char>('0' + v);
  }
}

// Fills out[0..n) with one character. Overlapping word stores instead of a byte loop,
// which the compiler would turn into a library call costing more than the field itself.
inline void fill(char* out, std::size_t n, char c) noexcept {
  const std::uint64_t word = 0x0101010101010101ULL * static_cast<unsigned char>(c);
  if (n >= 8) {
    for (std::size_t i = 0; i + 8 < n; i += 8) {
      std::memcpy(out + i, &word, 8);
    }
    std::memcpy(out + n - 8, &word, 8);
  } else if (n >= 4) {
    const auto half_word = static_cast<std::uint32_t>(word);
    std::memcpy(out, &half_word, 4);
    std::memcpy(out + n - 4, &half_word, 4);
  } else if (n > 0) {
    out[0] = c;
    out[n / 2] = c;
    out[n - 1] = c;
  }
}

inline bool overflow(char* out, int w) noexcept {
  fill(out, static_cast<std::size_t>(w), '*');
  return false;
}

// Any value, any field, from the bits of a double: the reference path.
bool format_fixed_general(std::uint64_t bits, int w, int d, char* out) noexcept;

// The value columns of a record four fields at a time, and the first fields of four
// records at a time (number_format_avx2.cpp), where the processor has AVX2, which
// avx2_columns() says; eight at a time (number_format_avx512.cpp) where it has the AVX-512
// parts that path uses, which avx512_columns() says. Neither is in the Windows build, whose
// stack is not kept aligned for 32- and 64-byte registers.
#if defined(__x86_64__) && !defined(_WIN32)
#define GM_FORMAT_HAS_AVX2_COLUMNS 1
#define GM_FORMAT_HAS_AVX512_COLUMNS 1
bool avx2_columns() noexcept;
bool format_f14_6_columns_avx2(const double* values, std::ptrdiff_t stride, int count, char* out) noexcept;
// render_value_records (value_records.hpp) on that path.
int render_value_records_avx2(const double* firsts, int records, const double* values,
                              std::ptrdiff_t row_step, std::ptrdiff_t stride, int count, char* out) noexcept;
bool avx512_columns() noexcept;
bool format_f14_6_columns_avx512(const double* values, std::ptrdiff_t stride, int count, char* out) noexcept;
int render_value_records_avx512(const double* firsts, int records, const double* values,
                                std::ptrdiff_t row_step, std::ptrdiff_t stride, int count, char* out) noexcept;
#else
#define GM_FORMAT_HAS_AVX2_COLUMNS 0
#define GM_FORMAT_HAS_AVX512_COLUMNS 0
#endif

// The path that renders the columns when `asked` is: Best and a path the processor lacks
// give the widest it has.
ColumnPath column_path_for(ColumnPath asked) noexcept;

}  // namespace textio::number_digits
