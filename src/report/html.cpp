#include "report/html.hpp"

#include <charconv>
#include <cmath>

namespace report {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD

// The code point of the well-formed UTF-8 sequence at the start of `s` and its length, or
// a length of 0 when the sequence is malformed (overlong, a surrogate, beyond U+10FFFF,
// cut short).
struct Decoded {
  char32_t code = 0;
  std::size_t length = 0;
};
Decoded decode(std::string_view s) {
  const auto b = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
  const unsigned char c = b(0);
  if (c < 0x80) return {c, 1};
  std::size_t n = 0;
  char32_t code = 0;
  unsigned char lo = 0x80, hi = 0xBF;  // the range of the second byte
  if (c >= 0xC2 && c <= 0xDF) {
    n = 2;
    code = c & 0x1Fu;
  } else if (c >= 0xE0 && c <= 0xEF) {
    n = 3;
    code = c & 0x0Fu;
    if (c == 0xE0) lo = 0xA0;
    if (c == 0xED) hi = 0x9F;
  } else if (c >= 0xF0 && c <= 0xF4) {
    n = 4;
    code = c & 0x07u;
    if (c == 0xF0) lo = 0x90;
    if (c == 0xF4) hi = 0x8F;
  } else {
    return {};
  }
  if (s.size() < n || b(1) < lo || b(1) > hi) return {};
  for (std::size_t i = 1; i < n; ++i) {
    if (b(i) < 0x80 || b(i) > 0xBF) return {};
    code = (code << 6) | (b(i) & 0x3Fu);
  }
  return {code, n};
}

// Code points an HTML parser reports as errors in the input stream.
bool unwelcome(char32_t code) {
  if (code < 0x20) return code != '\t' && code != '\n';
  if (code >= 0x7F && code <= 0x9F) return true;
  if (code >= 0xFDD0 && code <= 0xFDEF) return true;
  return (code & 0xFFFE) == 0xFFFE;
}

}  // namespace

Html& Html::text(std::string_view utf8) {
  while (!utf8.empty()) {
    const Decoded d = decode(utf8);
    if (d.length == 0 || unwelcome(d.code)) {
      out_.append(kReplacement);
      utf8.remove_prefix(d.length == 0 ? 1 : d.length);
      continue;
    }
    switch (d.code) {
      case '&': out_.append("&amp;"); break;
      case '<': out_.append("&lt;"); break;
      case '>': out_.append("&gt;"); break;
      case '"': out_.append("&quot;"); break;
      case '\'': out_.append("&#39;"); break;
      default: out_.append(utf8.substr(0, d.length)); break;
    }
    utf8.remove_prefix(d.length);
  }
  return *this;
}

Html& Html::coordinate(double v) {
  // Chart coordinates stay within a few thousand units; anything else (which the charts
  // never hand over) is held to the edge rather than written as "inf".
  if (!(std::fabs(v) < 1e6)) v = std::signbit(v) ? -1e6 : 1e6;
  // Half away from zero, as llround, without the library call: some 150000 a page.
  const double scaled = v * 10.0;
  const auto tenths = static_cast<long long>(scaled + (scaled < 0.0 ? -0.5 : 0.5));
  long long whole = tenths / 10;
  const long long decimal = tenths < 0 ? -(tenths % 10) : tenths % 10;
  if (tenths < 0 && whole == 0) out_ += '-';
  integer(whole);
  if (decimal != 0) {
    out_ += '.';
    out_ += static_cast<char>('0' + decimal);
  }
  return *this;
}

Html& Html::integer(long long v) {
  char buffer[24];
  const auto r = std::to_chars(buffer, buffer + sizeof buffer, v);
  out_.append(buffer, r.ptr);
  return *this;
}

}  // namespace report
