#pragma once
// A decimal w * 10^q (w up to 19 digits) to the nearest double, or a refusal when the
// rounding cannot be proved cheaply. Internal to textio: the parsers fall back to their
// general, correctly rounded conversion on a refusal.
//
// Two methods, tried in turn:
// - Clinger's fast path (W. D. Clinger, "How to Read Floating Point Numbers Accurately",
//   PLDI 1990): w below 2^53 and 10^|q| with |q| <= 22 are both exact doubles, so one IEEE
//   multiplication or division rounds correctly. This takes the usual sample values.
// - The product with a 128-bit power of five, after D. Lemire, "Number Parsing at a
//   Gigabyte per Second" (Software: Practice and Experience, 2021): w * 10^q is
//   w * 5^q * 2^q; w normalised to 64 bits times a 128-bit approximation of 5^q gives the
//   value's leading bits. The approximation is below 5^q by less than one unit in its
//   last place, so the 192-bit product is below the true one by less than 2^64; the
//   rounding is taken only when that cannot carry the bits under the 53 kept ones across
//   the halfway point. Where 5^q fits in 128 bits the product is exact and a true tie
//   rounds to even. Results that would be subnormal, or overflow, are refused.
//     (1234567890, -9) -> 1.23456789 (Clinger), (12345678901234567890, -30) -> product,
//     (5, -324) -> refused (subnormal), (1, 309) -> refused (overflow)
#include <array>
#include <bit>
#include <cfloat>
#include <cstdint>

namespace textio::detail {

// __extension__ keeps -Wpedantic quiet about the compiler-specific type.
__extension__ typedef unsigned __int128 ProductBits;

inline constexpr int kMinPowerOfTen = -342;  // below, even 19 nines round to zero
inline constexpr int kMaxPowerOfTen = 308;   // above, even a 1 overflows

// 5^q as hi:lo * 2^binary_exponent, hi:lo in [2^127, 2^128), truncated.
struct PowerOfFive {
  std::uint64_t hi = 0;
  std::uint64_t lo = 0;
  int binary_exponent = 0;
  bool exact = false;  // hi:lo * 2^binary_exponent is 5^q itself
};

namespace power_table {

// A fixed-size unsigned integer for building the table at compile time: 32 limbs of 32
// bits hold 5^342 (795 bits) and the 2^1000 that the negative powers are divided from.
struct Big {
  static constexpr int kLimbs = 32;
  std::array<std::uint32_t, kLimbs> limb{};  // least significant first

  constexpr void multiply_by_five() {
    std::uint64_t carry = 0;
    for (auto& l : limb) {
      const std::uint64_t v = std::uint64_t{l} * 5 + carry;
      l = static_cast<std::uint32_t>(v);
      carry = v >> 32;
    }
    if (carry != 0) throw "power table: integer too small";
  }
  // Floor division; nested floor divisions by 5 give floor(x / 5^k) exactly.
  constexpr void divide_by_five() {
    std::uint64_t rem = 0;
    for (int i = kLimbs - 1; i >= 0; --i) {
      const std::uint64_t v = (rem << 32) | limb[static_cast<std::size_t>(i)];
      limb[static_cast<std::size_t>(i)] = static_cast<std::uint32_t>(v / 5);
      rem = v % 5;
    }
  }
  constexpr int bit_length() const {
    for (int i = kLimbs - 1; i >= 0; --i) {
      const std::uint32_t l = limb[static_cast<std::size_t>(i)];
      if (l != 0) return 32 * i + static_cast<int>(std::bit_width(l));
    }
    return 0;
  }
  // The 32 bits from bit `high` down, bits below 0 read as zeros.
  constexpr std::uint64_t bits32(int high) const {
    if (high < 0) return 0;
    if (high < 31) return (std::uint64_t{limb[0]} << (31 - high)) & 0xFFFFFFFFU;
    const int low = high - 31;
    std::uint64_t v = limb[static_cast<std::size_t>(low / 32)] >> (low % 32);
    if (low % 32 != 0 && low / 32 + 1 < kLimbs) v |= std::uint64_t{limb[static_cast<std::size_t>(low / 32 + 1)]} << (32 - low % 32);
    return v & 0xFFFFFFFFU;
  }
  constexpr bool zero_below(int n) const {  // every bit below bit n
    for (int i = 0; i < n; i += 32) {
      const int width = n - i < 32 ? n - i : 32;
      const std::uint64_t mask = (std::uint64_t{1} << width) - 1;
      if ((limb[static_cast<std::size_t>(i / 32)] & mask) != 0) return false;
    }
    return true;
  }
  // The 128 bits from bit `top` down, and whether they are all there is.
  constexpr PowerOfFive window(int top) const {
    PowerOfFive p;
    p.hi = (bits32(top) << 32) | bits32(top - 32);
    p.lo = (bits32(top - 64) << 32) | bits32(top - 96);
    p.exact = zero_below(top - 127);
    return p;
  }
};

inline constexpr int kDividendBits = 1000;  // 2^1000 / 5^342 still has 200 bits

constexpr std::array<PowerOfFive, kMaxPowerOfTen - kMinPowerOfTen + 1> make() {
  std::array<PowerOfFive, kMaxPowerOfTen - kMinPowerOfTen + 1> table{};
  Big power;  // 5^q for q >= 0
  power.limb[0] = 1;
  for (int q = 0; q <= kMaxPowerOfTen; ++q) {
    const int length = power.bit_length();
    PowerOfFive p = power.window(length - 1);
    p.binary_exponent = length - 128;
    table[static_cast<std::size_t>(q - kMinPowerOfTen)] = p;
    power.multiply_by_five();
  }
  Big quotient;  // floor(2^1000 / 5^k)
  quotient.limb[kDividendBits / 32] = std::uint32_t{1} << (kDividendBits % 32);
  Big five_k;  // 5^k, for its bit length L: 2^(127 + L) / 5^k lies in (2^127, 2^128)
  five_k.limb[0] = 1;
  for (int k = 1; k <= -kMinPowerOfTen; ++k) {
    quotient.divide_by_five();
    five_k.multiply_by_five();
    const int shift = kDividendBits - (127 + five_k.bit_length());
    if (shift < 0) throw "power table: dividend too small";
    PowerOfFive p = quotient.window(quotient.bit_length() - 1);
    // floor(2^(127 + L) / 5^k) is the quotient's bits from `shift` up: exactly 128 bits.
    if (quotient.bit_length() - shift != 128) throw "power table: not normalised";
    p.binary_exponent = -(127 + five_k.bit_length());
    p.exact = false;  // 5^-k has no finite binary expansion
    table[static_cast<std::size_t>(-k - kMinPowerOfTen)] = p;
  }
  return table;
}

}  // namespace power_table

inline constexpr std::array<PowerOfFive, kMaxPowerOfTen - kMinPowerOfTen + 1> kPowersOfFive =
    power_table::make();

// Every integer up to 2^53 is exactly a double.
inline constexpr std::uint64_t kMaxExactInteger = std::uint64_t{1} << 53;

// Powers of ten that are exact doubles (10^22 is the last; 5^22 < 2^53).
inline constexpr std::array<double, 23> kExactPowersOfTen = {
    1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
    1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// Clinger's path needs every double operation rounded once, to double precision. Targets
// that evaluate in wider registers (x87) would round twice, so they skip it.
inline constexpr bool kExactDoubleArithmetic = (FLT_EVAL_METHOD == 0);

inline double with_sign(double magnitude, bool negative) noexcept {
  // Setting the sign bit rather than negating keeps this free of branches.
  const std::uint64_t sign = static_cast<std::uint64_t>(negative) << 63;
  return std::bit_cast<double>(std::bit_cast<std::uint64_t>(magnitude) | sign);
}

// The product method alone, for w > 0.
inline bool product_to_double(std::uint64_t w, std::int64_t q, double& out) noexcept {
  if (q < kMinPowerOfTen || q > kMaxPowerOfTen) return false;
  const PowerOfFive& power = kPowersOfFive[static_cast<std::size_t>(q - kMinPowerOfTen)];
  const int normalise = std::countl_zero(w);
  const std::uint64_t wn = w << normalise;
  const ProductBits low_product = static_cast<ProductBits>(wn) * power.lo;
  const ProductBits high_product = static_cast<ProductBits>(wn) * power.hi + (low_product >> 64);
  // The 192-bit product as top:middle:bottom; it is in [2^190, 2^192), so `top` holds 63
  // or 64 bits: keep 53 of them, the bits below decide the rounding.
  const auto top = static_cast<std::uint64_t>(high_product >> 64);
  const auto middle = static_cast<std::uint64_t>(high_product);
  const auto bottom = static_cast<std::uint64_t>(low_product);
  const int full = static_cast<int>(top >> 63);
  const int below = 10 + full;  // bits of `top` under the 53 kept
  std::uint64_t mantissa = top >> below;
  const std::uint64_t rest = top & ((std::uint64_t{1} << below) - 1);
  const std::uint64_t half = std::uint64_t{1} << (below - 1);
  // value = mantissa * 2^exponent before rounding.
  std::int64_t exponent = below + 128 + power.binary_exponent + q - normalise;
  // Below the smallest normal double the grid is coarser than 53 bits: leave it.
  if (exponent < -1074) return false;
  bool up = false;
  if (power.exact) {
    const bool above_half = rest > half || (rest == half && (middle | bottom) != 0);
    const bool tie = rest == half && (middle | bottom) == 0;
    up = above_half || (tie && (mantissa & 1) != 0);
  } else {
    // Both roundings of the table truncate, so the true value lies in [product, product
    // + 2^64): undecided only when the bits under the mantissa are within that of half.
    const bool at_half = rest == half && middle == 0;
    const bool just_under = rest == half - 1 && middle == ~std::uint64_t{0};
    if (at_half || just_under) return false;
    up = rest >= half;
  }
  mantissa += static_cast<std::uint64_t>(up);
  if (mantissa == kMaxExactInteger) {
    mantissa >>= 1;
    ++exponent;
  }
  if (exponent > 971) return false;  // the largest double is (2^53 - 1) * 2^971
  const auto biased = static_cast<std::uint64_t>(exponent + 1075);
  out = std::bit_cast<double>((biased << 52) | (mantissa & (kMaxExactInteger / 2 - 1)));
  return true;
}

// w * 10^q (w exact, up to 19 digits), signed; false when neither method can settle it.
inline bool decimal_to_double(std::uint64_t w, std::int64_t q, bool negative, double& out) noexcept {
  if (w == 0) {
    out = with_sign(0.0, negative);
    return true;
  }
  double magnitude = 0.0;
  if (kExactDoubleArithmetic && w <= kMaxExactInteger && q >= -22 && q <= 22) {
    // Cheaper than the product where it applies: a division is one instruction, and
    // pipelined over a run of samples it costs less than the product's dozens.
    const double m = static_cast<double>(w);
    magnitude = q >= 0 ? m * kExactPowersOfTen[static_cast<std::size_t>(q)]
                       : m / kExactPowersOfTen[static_cast<std::size_t>(-q)];
  } else if (!product_to_double(w, q, magnitude)) {
    return false;
  }
  out = with_sign(magnitude, negative);
  return true;
}

}  // namespace textio::detail
