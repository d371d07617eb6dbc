#pragma once
// Conversion of numeric text, as found in records, to 4-byte integers and doubles.
#include <cstdint>
#include <string_view>

namespace textio {

enum class NumberError {
  None,
  Syntax,  // characters that cannot form a number of the wanted kind
  Range,   // well formed, but outside the range of the item (32-bit integer, double)
};

struct RealResult {
  double value = 0.0;
  NumberError ec = NumberError::None;
};

struct IntResult {
  std::int32_t value = 0;
  NumberError ec = NumberError::None;
};

// A free-form value (its bytes only, no separators around it) as an 8-byte real:
// an optional sign, digits with at most one decimal point (at least one digit), and an
// optional exponent: E, D or Q in either case, an optional sign, one or more digits.
// Converted to the nearest double.
//   "1.5E-02" -> 0.015, "1.5d-02" -> 0.015, "5" -> 5.0, "-.5" -> -0.5, "+3." -> 3.0
//   "1E999" -> Range; "1E-999" -> 0.0 (underflow is not an error; a subnormal when it fits)
//   "1.2.3", "1-2", "--1", "E5", ".", "inf", "nan", "0x10", "" -> Syntax
RealResult parse_real(std::string_view text) noexcept;

// The real that starts at `first`, read as far as the grammar of parse_real takes it: up
// to the first byte that cannot continue it (or `last`). `next` is that byte, and
// `result` is what parse_real gives for the bytes [first, next); next is null when those
// bytes are no real (nothing before the stop, "1.5E" followed by a blank). Lets a reader
// take a value and find its end in one pass; the reader decides whether the stop byte
// really ends the value.
//   "-1.25E+01 ..." -> -12.5, next at the blank;  "3*1.5" -> 3.0, next at the '*'
struct RealPrefix {
  RealResult result;
  const char* next = nullptr;
};
RealPrefix parse_real_prefix(const char* first, const char* last) noexcept;

// A free-form value as a 4-byte integer: an optional sign and digits; a value written as
// a real (decimal point or exponent) is converted to a double and truncated toward zero.
//   "42" -> 42, "-2.9" -> -2, "1E3" -> 1000, "2147483648" -> Range, "1E999" -> Range
IntResult parse_integer(std::string_view text) noexcept;

// A fixed-width Fw.d field: blanks (0x20 only) anywhere are ignored; what remains is an
// optional sign, digits with at most one decimal point, and an optional exponent (E, D or
// Q, optional sign, digits). Without a decimal point the last d digits are decimals.
// An all-blank (or empty) field gives 0.0. Any other content gives Syntax; a value that
// overflows a double gives Range.
//   ("  1.5 ", 0) -> 1.5, ("1 2", 0) -> 12.0, ("125", 2) -> 1.25, ("", 0) -> 0.0
RealResult parse_real_field(std::string_view field, int d) noexcept;

// A fixed-width Iw field: blanks ignored anywhere; an optional sign and digits; all blank
// gives 0. A decimal point, exponent or any other character gives Syntax; a value outside
// the 32-bit range gives Range.
//   "  12" -> 12, "1 2" -> 12, "-7" -> -7, "" -> 0, "4000 0.02" -> Syntax, "1E3" -> Syntax
IntResult parse_integer_field(std::string_view field) noexcept;

}  // namespace textio
