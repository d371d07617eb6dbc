// Conversion of numeric record text to 4-byte integers and doubles.
//
// Every entry point checks the grammar itself, in one pass, before any conversion. Up to
// 19 digits convert without a division (decimal_product.hpp) where the rounding can be
// proved; the general backend (std::from_chars) takes the rest and is only ever handed a
// canonical "digits e exponent" string we built ourselves, so nothing it would accept on
// its own ("inf", "nan", hex floats) can leak through, and nothing depends on the process
// locale.
#include "textio/number_parse.hpp"

#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <system_error>

#include "textio/decimal_product.hpp"
#include "textio/digit_words.hpp"

namespace textio {
namespace {

// Exponents are accumulated only while below this cap. Any double's decimal exponent is
// within a few hundred, and mantissa lengths are bounded by the address space, so a
// capped exponent still decides overflow/underflow correctly while the int64 arithmetic
// that combines it with digit counts can never overflow.
constexpr std::int64_t kExponentCap = 1'000'000'000;

// Digits kept for the general conversion. An exact halfway point between two doubles has
// at most 768 significant digits, so beyond 800 digits only "is anything nonzero left?"
// can change the rounding; that fact is kept as one sticky trailing '1'.
constexpr std::int64_t kMaxKeptDigits = 800;

// Decimal scales decided without the library call: below 10^-325 a value rounds to zero
// (the smallest subnormal is 4.94e-324, halfway to it 2.47e-324), from 10^309 on it
// overflows. Both leave slack; the library call settles the values near the edges.
constexpr std::int64_t kZeroBelowScientificExponent = -325;
constexpr std::int64_t kOverflowFromScientificExponent = 309;

constexpr std::uint64_t kInt32MagnitudeLimit = std::uint64_t{1} << 31;

// Digit value of a byte, or something >= 10 for any non-digit (including bytes >= 0x80).
inline unsigned digit_value(char c) noexcept {
  return static_cast<unsigned>(static_cast<unsigned char>(c)) - unsigned{'0'};
}

inline bool is_exponent_letter(char c) noexcept {
  // Folding the case bit maps only E/e, D/d and Q/q onto these three letters.
  const char lower = static_cast<char>(c | 0x20);
  return lower == 'e' || lower == 'd' || lower == 'q';
}

// The shape of a syntactically valid real, before conversion.
struct Decimal {
  const char* mantissa_first = nullptr;  // digits, at most one '.', and blanks in fields
  const char* mantissa_last = nullptr;
  std::uint64_t digits = 0;      // all mantissa digits as one integer, modulo 2^64
  std::int64_t digit_count = 0;  // leading zeros included
  std::int64_t exponent = 0;     // value = digits * 10^exponent
  bool negative = false;
  bool has_point = false;
};

enum class Scan { Value, Empty, Bad };

template <bool kBlanks>
inline const char* skip_blanks(const char* p, const char* end) noexcept {
  if constexpr (kBlanks) {
    while (p != end && *p == ' ') ++p;
  }
  return p;
}

// A run of digits (blanks skipped as well with kBlanks). The accumulator wraps harmlessly
// past 19 digits: the count tells the caller not to trust it.
template <bool kBlanks>
inline const char* scan_digits(const char* p, const char* end, std::uint64_t& acc,
                               std::int64_t& count) noexcept {
  const char* const first = p;
  if constexpr (!kBlanks && std::endian::native == std::endian::little) {
    while (end - p >= 8) {
      const std::uint64_t chunk = detail::load_word(p);
      if (!detail::eight_digits(chunk)) break;
      acc = acc * 100000000 + detail::eight_digits_value(chunk);
      p += 8;
    }
  }
  for (; p != end; ++p) {
    const unsigned d = digit_value(*p);
    if (d < 10) {
      acc = acc * 10 + d;
      if constexpr (kBlanks) ++count;
    } else if (!(kBlanks && *p == ' ')) {
      break;
    }
  }
  if constexpr (!kBlanks) count += p - first;
  return p;
}

// One pass over the text: grammar check plus accumulation of the first digits, which is
// all the fast path needs. With kBlanks, 0x20 is ignored wherever it appears. The scan
// stops at the first byte that cannot continue a real and leaves `p` there; the text is a
// real when that is its end. Forced inline: as a call, the Decimal it fills would live in
// memory and every member be read back through store forwarding, which costs more than
// the scan itself.
template <bool kBlanks>
[[gnu::always_inline]] inline Scan scan_real_prefix(const char*& p, const char* end,
                                                    Decimal& out) noexcept {
  p = skip_blanks<kBlanks>(p, end);
  if (p == end) return Scan::Empty;
  // Branch-free: signed and unsigned values come mixed in data, so a branch here would
  // be mispredicted about half the time.
  out.negative = (*p == '-');
  p += static_cast<int>(*p == '-' || *p == '+');
  out.mantissa_first = p;
  std::int64_t integer_count = 0;
  std::int64_t fraction_count = 0;
  p = scan_digits<kBlanks>(p, end, out.digits, integer_count);
  if (p != end && *p == '.') {
    out.has_point = true;
    p = scan_digits<kBlanks>(p + 1, end, out.digits, fraction_count);
  }
  out.mantissa_last = p;
  out.digit_count = integer_count + fraction_count;
  if (out.digit_count == 0) return Scan::Bad;

  std::int64_t exponent = 0;
  if (p != end && is_exponent_letter(*p)) {
    p = skip_blanks<kBlanks>(p + 1, end);
    if (p == end) return Scan::Bad;
    const bool exponent_negative = (*p == '-');
    p += static_cast<int>(*p == '-' || *p == '+');
    p = skip_blanks<kBlanks>(p, end);
    const char* const digits_first = p;
    for (; p != end; ++p) {
      const unsigned d = digit_value(*p);
      if (d < 10) {
        if (exponent < kExponentCap) exponent = exponent * 10 + d;
      } else if (!(kBlanks && *p == ' ')) {
        break;
      }
    }
    // With blanks skipped above, the first byte of a non-empty run is a digit.
    if (p == digits_first) return Scan::Bad;
    if (exponent_negative) exponent = -exponent;
  }
  out.exponent = exponent - fraction_count;
  return Scan::Value;
}

template <bool kBlanks>
[[gnu::always_inline]] inline Scan scan_real(const char* p, const char* end,
                                             Decimal& out) noexcept {
  const Scan scan = scan_real_prefix<kBlanks>(p, end, out);
  return scan == Scan::Value && p != end ? Scan::Bad : scan;
}

// Fields with blanks inside the number are rare; out of line, this second scanner does
// not crowd the registers of the common one. It returns a copy rather than filling the
// caller's Decimal so that the caller's can stay in registers.
[[gnu::noinline]] std::optional<Decimal> scan_field_with_blanks(const char* first,
                                                                const char* last) noexcept {
  Decimal dec;
  if (scan_real<true>(first, last, dec) != Scan::Value) return std::nullopt;
  return dec;
}

inline RealResult signed_value(double magnitude, bool negative) noexcept {
  return {detail::with_sign(magnitude, negative), NumberError::None};
}

// General conversion: significant digits (bounded, with a sticky digit) and an exponent
// in a canonical form, converted by the correctly rounded library routine. Kept out of
// line so that its buffer does not weigh on the fast path, and taking a copy so that the
// caller can keep its Decimal in registers.
[[gnu::noinline]] RealResult convert_general(Decimal dec) noexcept {
  std::array<char, kMaxKeptDigits + 32> buf;
  std::int64_t significant = 0;
  std::int64_t kept = 0;
  bool sticky = false;
  for (const char* p = dec.mantissa_first; p != dec.mantissa_last; ++p) {
    const char c = *p;
    if (digit_value(c) >= 10) continue;  // the point, or blanks inside a field
    if (significant == 0 && c == '0') continue;
    ++significant;
    if (kept < kMaxKeptDigits) {
      buf[static_cast<std::size_t>(kept++)] = c;
    } else if (c != '0') {
      sticky = true;
    }
  }
  if (significant == 0) return signed_value(0.0, dec.negative);

  const std::int64_t scientific = dec.exponent + significant - 1;
  if (scientific >= kOverflowFromScientificExponent) return {0.0, NumberError::Range};
  if (scientific < kZeroBelowScientificExponent) return signed_value(0.0, dec.negative);

  std::int64_t exponent = dec.exponent + (significant - kept);
  if (sticky) {
    buf[static_cast<std::size_t>(kept++)] = '1';
    --exponent;
  }
  char* out = buf.data() + kept;
  *out++ = 'e';
  // The exponent is now within about [-1125, 309]: the buffer tail has ample room.
  out = std::to_chars(out, buf.data() + buf.size(), exponent).ptr;

  double magnitude = 0.0;
  const auto [ptr, ec] =
      std::from_chars(buf.data(), out, magnitude, std::chars_format::general);
  if (ec == std::errc::result_out_of_range) {
    // Reported for both ends of the range; which end is clear from the scale.
    if (scientific > 0) return {0.0, NumberError::Range};
    return signed_value(0.0, dec.negative);
  }
  if (ec != std::errc{} || ptr != out) return {0.0, NumberError::Syntax};  // cannot happen
  if (std::isinf(magnitude)) return {0.0, NumberError::Range};
  return signed_value(magnitude, dec.negative);
}

inline RealResult convert(const Decimal& dec) noexcept {
  // Up to 19 digits, `digits` holds the mantissa exactly.
  RealResult r;
  if (dec.digit_count <= 19 && detail::decimal_to_double(dec.digits, dec.exponent, dec.negative, r.value)) {
    return r;
  }
  return convert_general(dec);
}

// Integer digits with blanks optionally ignored; the magnitude saturates just above the
// int32 range so that arbitrarily long digit strings stay well defined.
template <bool kBlanks>
const char* scan_int_digits(const char* p, const char* end, std::uint64_t& magnitude,
                            bool& any_digit) noexcept {
  for (; p != end; ++p) {
    const unsigned d = digit_value(*p);
    if (d < 10) {
      if (magnitude <= kInt32MagnitudeLimit) magnitude = magnitude * 10 + d;
      any_digit = true;
    } else if (!(kBlanks && *p == ' ')) {
      break;
    }
  }
  return p;
}

IntResult to_int32(std::uint64_t magnitude, bool negative) noexcept {
  if (negative) {
    if (magnitude > kInt32MagnitudeLimit) return {0, NumberError::Range};
    // -2^31 has no positive counterpart; go through int64 to negate safely.
    return {static_cast<std::int32_t>(-static_cast<std::int64_t>(magnitude)),
            NumberError::None};
  }
  if (magnitude >= kInt32MagnitudeLimit) return {0, NumberError::Range};
  return {static_cast<std::int32_t>(magnitude), NumberError::None};
}

}  // namespace

RealResult parse_real(std::string_view text) noexcept {
  Decimal dec;
  const char* first = text.data();
  if (scan_real<false>(first, first + text.size(), dec) != Scan::Value) {
    return {0.0, NumberError::Syntax};
  }
  return convert(dec);
}

RealPrefix parse_real_prefix(const char* first, const char* last) noexcept {
  Decimal dec;
  const char* p = first;
  if (scan_real_prefix<false>(p, last, dec) != Scan::Value) return {{0.0, NumberError::Syntax}, nullptr};
  return {convert(dec), p};
}

IntResult parse_integer(std::string_view text) noexcept {
  const char* p = text.data();
  const char* const end = p + text.size();
  bool negative = false;
  if (p != end && (*p == '+' || *p == '-')) {
    negative = (*p == '-');
    ++p;
  }
  std::uint64_t magnitude = 0;
  bool any_digit = false;
  p = scan_int_digits<false>(p, end, magnitude, any_digit);
  if (p == end) {
    if (!any_digit) return {0, NumberError::Syntax};
    return to_int32(magnitude, negative);
  }

  // Not plain digits: it is either a real (truncated toward zero) or malformed, and the
  // real grammar decides which.
  const RealResult real = parse_real(text);
  if (real.ec != NumberError::None) return {0, real.ec};
  const double truncated = std::trunc(real.value);
  if (truncated < -2147483648.0 || truncated > 2147483647.0) return {0, NumberError::Range};
  return {static_cast<std::int32_t>(truncated), NumberError::None};
}

RealResult parse_real_field(std::string_view field, int d) noexcept {
  const char* first = field.data();
  const char* last = first + field.size();
  // Fields are usually right-aligned numbers with no blanks inside; trimming the outer
  // blanks (the leading run eight at a time) lets those take the free-form scanner.
  constexpr std::uint64_t kEightBlanks = 0x2020202020202020ULL;
  for (std::uint64_t chunk; last - first >= 8; first += 8) {
    std::memcpy(&chunk, first, sizeof chunk);
    if (chunk != kEightBlanks) break;
  }
  while (first != last && *first == ' ') ++first;
  while (first != last && last[-1] == ' ') --last;
  if (first == last) return {0.0, NumberError::None};
  Decimal dec;
  if (scan_real<false>(first, last, dec) != Scan::Value) {
    const std::optional<Decimal> spaced = scan_field_with_blanks(first, last);
    if (!spaced) return {0.0, NumberError::Syntax};
    dec = *spaced;
  }
  // Without a written point the last d digits are decimals; a written point wins.
  if (!dec.has_point) dec.exponent -= d;
  return convert(dec);
}

IntResult parse_integer_field(std::string_view field) noexcept {
  const char* p = field.data();
  const char* const end = p + field.size();
  p = skip_blanks<true>(p, end);
  bool negative = false;
  bool has_sign = false;
  if (p != end && (*p == '+' || *p == '-')) {
    negative = (*p == '-');
    has_sign = true;
    ++p;
  }
  std::uint64_t magnitude = 0;
  bool any_digit = false;
  p = scan_int_digits<true>(p, end, magnitude, any_digit);
  if (p != end) return {0, NumberError::Syntax};
  if (!any_digit) {
    // All blank reads as zero; a sign with nothing after it is malformed.
    if (has_sign) return {0, NumberError::Syntax};
    return {0, NumberError::None};
  }
  return to_int32(magnitude, negative);
}

}  // namespace textio
