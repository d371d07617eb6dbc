#include "spectra/portable_math.hpp"

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <limits>

namespace spectra {

namespace {

// 1/n!, each the double nearest the exact value: n! itself is exact in a double up to 22!
// (its odd part fits in 53 bits), and one division rounds it. Folded at compile time.
constexpr std::array<double, 19> inverse_factorials() {
  std::array<double, 19> table{};
  double f = 1.0;
  for (int n = 0; n < 19; ++n) {
    if (n > 1) f *= n;
    table[static_cast<std::size_t>(n)] = 1.0 / f;
  }
  return table;
}
constexpr std::array<double, 19> kInverseFactorial = inverse_factorials();
constexpr double inverse_factorial(int n) { return kInverseFactorial[static_cast<std::size_t>(n)]; }

// Adding then subtracting 1.5 * 2^52 rounds |x| < 2^51 to the nearest whole number (ties to
// even): the sum lies in [2^52, 2^53), where the doubles are the whole numbers. Exact.
constexpr double kRoundShift = 6755399441055744.0;  // 1.5 * 2^52
double nearest_whole(double x) { return (x + kRoundShift) - kRoundShift; }

// ln 2 = kLn2High + kLn2Low, kLn2High with 21 trailing zero bits (fdlibm's e_exp.c).
constexpr double kLn2High = 6.93147180369123816490e-01;
constexpr double kLn2Low = 1.90821492927058770002e-10;
constexpr double kInverseLn2 = 1.44269504088896338700e+00;
constexpr double kTwoPi = 6.28318530717958647692;

// 2 / (2i + 1) for i = 1..11, the coefficients of R in ln(1 + f) (portable_log).
constexpr std::array<double, 12> log_series() {
  std::array<double, 12> table{};
  for (int i = 1; i < 12; ++i) table[static_cast<std::size_t>(i)] = 2.0 / (2.0 * i + 1.0);
  return table;
}
constexpr std::array<double, 12> kLogSeries = log_series();

constexpr std::uint64_t kExponentMask = 0x7ff0000000000000ULL;
constexpr std::uint64_t kMantissaMask = 0x000fffffffffffffULL;
constexpr std::uint64_t kSqrt2Mantissa = 0x6a09e667f3bcdULL;  // of the double nearest sqrt(2)

}  // namespace

double portable_log(double x) noexcept {
  if (x != x) return x;
  if (x < 0.0) return std::numeric_limits<double>::quiet_NaN();
  if (x == 0.0) return -std::numeric_limits<double>::infinity();
  if (x == std::numeric_limits<double>::infinity()) return x;
  int k = 0;
  if (x < 2.2250738585072014e-308) {  // subnormal: 2^54 x is normal, exactly
    x = x * 18014398509481984.0;
    k = -54;
  }
  const std::uint64_t bits = std::bit_cast<std::uint64_t>(x);
  std::uint64_t mantissa = bits & kMantissaMask;
  k += static_cast<int>((bits & kExponentMask) >> 52) - 1023;
  // m = 1.mantissa, halved (exponent -1) when above sqrt(2): m in [sqrt(1/2), sqrt(2)).
  std::uint64_t exponent = 1023;
  if (mantissa > kSqrt2Mantissa) {
    exponent = 1022;
    k += 1;
  }
  const double m = std::bit_cast<double>((exponent << 52) | mantissa);
  const double f = m - 1.0;  // exact: m lies within [1/2, 2] (Sterbenz)
  const double s = f / (2.0 + f);
  const double z = s * s;
  double r = kLogSeries[11];
  for (std::size_t i = 10; i >= 1; --i) r = r * z + kLogSeries[i];
  r = r * z;
  const double half_square = 0.5 * f * f;
  const double dk = static_cast<double>(k);
  return dk * kLn2High - ((half_square - (s * (half_square + r) + dk * kLn2Low)) - f);
}

double portable_exp(double x) noexcept {
  if (x != x) return x;
  if (x < -708.0) return 0.0;
  if (x > 709.0) return std::numeric_limits<double>::infinity();
  const double k = nearest_whole(x * kInverseLn2);  // |k| <= 1023
  const double r = (x - k * kLn2High) - k * kLn2Low;
  double p = inverse_factorial(13);
  p = p * r + inverse_factorial(12);
  p = p * r + inverse_factorial(11);
  p = p * r + inverse_factorial(10);
  p = p * r + inverse_factorial(9);
  p = p * r + inverse_factorial(8);
  p = p * r + inverse_factorial(7);
  p = p * r + inverse_factorial(6);
  p = p * r + inverse_factorial(5);
  p = p * r + inverse_factorial(4);
  p = p * r + inverse_factorial(3);
  p = p * r + inverse_factorial(2);
  p = p * r + 1.0;
  p = p * r + 1.0;
  // 2^k from its bits: k + 1023 is a valid biased exponent for every k in range.
  const auto biased = static_cast<std::uint64_t>(static_cast<std::int64_t>(k) + 1023);
  return p * std::bit_cast<double>(biased << 52);
}

SinCos portable_sincos_turns(double turns) noexcept {
  if (turns != turns) return {turns, turns};
  const bool negative = turns < 0.0;
  const double t = negative ? -turns : turns;
  // Past 2^52 every double is a whole number of turns (infinity taken with them).
  if (!(t < 4503599627370496.0)) return {0.0, 1.0};
  // t + 2^52 lies in [2^52, 2^53), where the doubles are the whole numbers: exact rounding.
  const double f = t - ((t + 4503599627370496.0) - 4503599627370496.0);  // [-1/2, 1/2], exact
  const double q = nearest_whole(4.0 * f);                               // -2 .. 2
  const double g = f - 0.25 * q;                                         // [-1/8, 1/8], exact
  const double x = kTwoPi * g;
  const double x2 = x * x;
  // sin x = x + x^3 (-1/3! + x^2 (1/5! - ...)), cos x = 1 + x^2 (-1/2! + x^2 (1/4! - ...)):
  // the small corrections are added to x and 1 last.
  double s = inverse_factorial(17);
  s = s * x2 - inverse_factorial(15);
  s = s * x2 + inverse_factorial(13);
  s = s * x2 - inverse_factorial(11);
  s = s * x2 + inverse_factorial(9);
  s = s * x2 - inverse_factorial(7);
  s = s * x2 + inverse_factorial(5);
  s = s * x2 - inverse_factorial(3);
  s = x + (x * x2) * s;
  double c = -inverse_factorial(18);
  c = c * x2 + inverse_factorial(16);
  c = c * x2 - inverse_factorial(14);
  c = c * x2 + inverse_factorial(12);
  c = c * x2 - inverse_factorial(10);
  c = c * x2 + inverse_factorial(8);
  c = c * x2 - inverse_factorial(6);
  c = c * x2 + inverse_factorial(4);
  c = c * x2 - inverse_factorial(2);
  c = 1.0 + x2 * c;
  SinCos r{};
  switch (static_cast<int>(q)) {
    case 0:
      r = {s, c};
      break;
    case 1:
      r = {c, -s};
      break;
    case -1:
      r = {-c, s};
      break;
    default:
      r = {-s, -c};
      break;  // half a turn either way
  }
  if (negative) r.sin = -r.sin;
  return r;
}

}  // namespace spectra
