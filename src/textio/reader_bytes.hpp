#pragma once
// The bytes the record reader tells apart, shared by its source files. Internal to textio.
#include <array>

#include "textio/number_parse.hpp"
#include "textio/report.hpp"

namespace textio::detail {

// Bytes that end an unquoted free-form value. None of them can be the second byte of a
// Shift-JIS character, so a double-byte character never splits a value.
constexpr std::array<bool, 256> make_value_ends() {
  std::array<bool, 256> ends{};
  for (char c : {' ', '\t', ',', '/', '\n', '\r'}) ends[static_cast<unsigned char>(c)] = true;
  return ends;
}
inline constexpr std::array<bool, 256> kValueEnds = make_value_ends();

inline bool ends_value(char c) noexcept { return kValueEnds[static_cast<unsigned char>(c)]; }
inline bool is_blank_like(char c) noexcept { return c == ' ' || c == '\t' || c == '\r'; }
inline bool is_digit(char c) noexcept { return c >= '0' && c <= '9'; }
inline bool is_quote(char c) noexcept { return c == '\'' || c == '"'; }

inline int number_status(NumberError ec, int syntax_error) noexcept {
  switch (ec) {
    case NumberError::None: return kStatusOk;
    case NumberError::Syntax: return syntax_error;
    case NumberError::Range: return kErrInputConversion;
  }
  return syntax_error;
}

}  // namespace textio::detail
