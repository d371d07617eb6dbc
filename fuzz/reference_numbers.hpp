#pragma once
// Slow, obvious reference conversions for the fuzz targets to compare the record layer
// against. They spell out the number grammar of record text directly and leave the
// decimal-to-binary conversion to the C library's strtod (glibc's is correctly rounded and
// runs in the "C" locale here), and the binary-to-decimal one to its printf (glibc rounds
// the exact binary value, ties to even, as our renderer promises).
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "check.hpp"
#include "textio/number_parse.hpp"

namespace fuzzing {

inline bool is_ascii_digit(char c) { return c >= '0' && c <= '9'; }

// A real written as an optional sign, digits with at most one point (at least one digit
// in all), and an optional exponent: E, D or Q in either case, an optional sign, digits.
struct RealText {
  std::string sign;      // "", "+" or "-"
  std::string mantissa;  // digits and the point, as written
  bool has_point = false;
  std::string exponent;  // sign and digits after the exponent letter; "" without one
};

inline std::optional<RealText> split_real(std::string_view t) {
  RealText r;
  std::size_t i = 0;
  if (i < t.size() && (t[i] == '+' || t[i] == '-')) r.sign = t[i++];
  std::size_t digits = 0;
  while (i < t.size() && (is_ascii_digit(t[i]) || (t[i] == '.' && !r.has_point))) {
    if (t[i] == '.') {
      r.has_point = true;
    } else {
      ++digits;
    }
    r.mantissa += t[i++];
  }
  if (digits == 0) return std::nullopt;
  if (i < t.size()) {
    const char letter = t[i];
    if (letter != 'E' && letter != 'e' && letter != 'D' && letter != 'd' && letter != 'Q' &&
        letter != 'q') {
      return std::nullopt;
    }
    ++i;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) r.exponent += t[i++];
    std::size_t exponent_digits = 0;
    while (i < t.size() && is_ascii_digit(t[i])) {
      r.exponent += t[i++];
      ++exponent_digits;
    }
    if (exponent_digits == 0 || i != t.size()) return std::nullopt;
  }
  return r;
}

// The text for strtod: the exponent letter made an 'e', and `shift` added to the exponent
// (the implied decimals of a field). A huge written exponent is capped, which keeps it
// far beyond the range of a double on the same side.
inline std::string strtod_text(const RealText& r, std::int64_t shift) {
  std::int64_t exponent = 0;
  bool negative = false;
  for (const char c : r.exponent) {
    if (c == '-') negative = true;
    if (is_ascii_digit(c) && exponent < 1'000'000'000'000) exponent = exponent * 10 + (c - '0');
  }
  if (negative) exponent = -exponent;
  return r.sign + r.mantissa + "e" + std::to_string(exponent + shift);
}

inline textio::RealResult strtod_value(const std::string& text) {
  errno = 0;
  char* end = nullptr;
  const double v = std::strtod(text.c_str(), &end);
  require(end == text.c_str() + text.size(), "reference: strtod stopped early", text);
  if (errno == ERANGE && std::isinf(v)) return {0.0, textio::NumberError::Range};
  return {v, textio::NumberError::None};
}

// A free-form real value.
inline textio::RealResult reference_real(std::string_view text) {
  const std::optional<RealText> r = split_real(text);
  if (!r) return {0.0, textio::NumberError::Syntax};
  return strtod_value(strtod_text(*r, 0));
}

// Signed decimal digits as a 32-bit integer (the caller has checked the form).
inline textio::IntResult int32_of_digits(std::string_view t) {
  const bool negative = t[0] == '-';
  std::uint64_t magnitude = 0;
  for (const char c : t) {
    if (is_ascii_digit(c) && magnitude <= (std::uint64_t{1} << 32)) {
      magnitude = magnitude * 10 + static_cast<std::uint64_t>(c - '0');
    }
  }
  const std::uint64_t limit = negative ? (std::uint64_t{1} << 31) : (std::uint64_t{1} << 31) - 1;
  if (magnitude > limit) return {0, textio::NumberError::Range};
  const auto v = static_cast<std::int64_t>(magnitude);
  return {static_cast<std::int32_t>(negative ? -v : v), textio::NumberError::None};
}

inline bool is_signed_digits(std::string_view t) {
  std::size_t i = (!t.empty() && (t[0] == '+' || t[0] == '-')) ? 1 : 0;
  if (i == t.size()) return false;
  for (; i < t.size(); ++i) {
    if (!is_ascii_digit(t[i])) return false;
  }
  return true;
}

// A free-form integer value: signed digits, or a real truncated toward zero.
inline textio::IntResult reference_integer(std::string_view text) {
  if (is_signed_digits(text)) return int32_of_digits(text);
  const textio::RealResult real = reference_real(text);
  if (real.ec != textio::NumberError::None) return {0, real.ec};
  const double truncated = std::trunc(real.value);
  if (truncated < -2147483648.0 || truncated > 2147483647.0) return {0, textio::NumberError::Range};
  return {static_cast<std::int32_t>(truncated), textio::NumberError::None};
}

inline std::string without_blanks(std::string_view field) {
  std::string out;
  for (const char c : field) {
    if (c != ' ') out += c;
  }
  return out;
}

// An Fw.d field: blanks ignored anywhere, all blank is 0.0, and without a written point
// the last d digits are decimals.
inline textio::RealResult reference_real_field(std::string_view field, int d) {
  const std::string text = without_blanks(field);
  if (text.empty()) return {0.0, textio::NumberError::None};
  const std::optional<RealText> r = split_real(text);
  if (!r) return {0.0, textio::NumberError::Syntax};
  return strtod_value(strtod_text(*r, r->has_point ? 0 : -d));
}

// An Iw field: blanks ignored anywhere, all blank is 0, otherwise signed digits.
inline textio::IntResult reference_integer_field(std::string_view field) {
  const std::string text = without_blanks(field);
  if (text.empty()) return {0, textio::NumberError::None};
  if (!is_signed_digits(text)) return {0, textio::NumberError::Syntax};
  return int32_of_digits(text);
}

// An Fw.d rendering: the exact binary value rounded to d decimals (printf), no sign when
// every digit is zero, right-aligned in w positions; w asterisks when it does not fit or
// the value is not finite.
inline std::string reference_fixed(double v, int w, int d) {
  const auto stars = std::string(static_cast<std::size_t>(w), '*');
  if (!std::isfinite(v)) return stars;
  char buffer[512];  // the largest double has 309 integer digits
  // '#' keeps the point when d is 0: an F20.0 field still shows "12.".
  const int n = std::snprintf(buffer, sizeof buffer, "%#.*f", d, v);
  std::string s(buffer, static_cast<std::size_t>(n));
  if (s[0] == '-' && s.find_first_not_of("-0.") == std::string::npos) s.erase(0, 1);
  if (s.size() > static_cast<std::size_t>(w)) return stars;
  return std::string(static_cast<std::size_t>(w) - s.size(), ' ') + s;
}

// An Iw rendering: the decimal digits (to_chars), right-aligned, or w asterisks.
inline std::string reference_integer_text(std::int32_t v, int w) {
  char buffer[16];
  const auto end = std::to_chars(buffer, buffer + sizeof buffer, v).ptr;
  const std::string s(buffer, end);
  if (s.size() > static_cast<std::size_t>(w)) return std::string(static_cast<std::size_t>(w), '*');
  return std::string(static_cast<std::size_t>(w) - s.size(), ' ') + s;
}

}  // namespace fuzzing
