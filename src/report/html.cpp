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

// Chart coordinates stay within a few thousand units; anything else (which the charts never
// hand over) is held to the edge rather than written as "inf". Written at p, the end
// returned: "-1000000.5" at the most.
constexpr std::size_t kCoordinateChars = 10;
char* put_coordinate(char* p, double v) {
  if (!(std::fabs(v) < 1e6)) v = std::signbit(v) ? -1e6 : 1e6;
  // Half away from zero, as llround, without the library call: some 150000 a page.
  const double scaled = v * 10.0;
  const auto tenths = static_cast<long long>(scaled + (scaled < 0.0 ? -0.5 : 0.5));
  if (tenths < 0) *p++ = '-';
  const auto magnitude = static_cast<unsigned>(tenths < 0 ? -tenths : tenths);
  unsigned whole = magnitude / 10;
  // The whole part's digits (at most seven), counted, then written from the last: a byte
  // at a time, which a copy from a buffer of digits would turn into a library call.
  int digits = 1;
  for (unsigned rest = whole; rest >= 10; rest /= 10) ++digits;
  p += digits;
  for (char* d = p; d != p - digits; whole /= 10) *--d = static_cast<char>('0' + whole % 10);
  if (const unsigned decimal = magnitude % 10; decimal != 0) {
    *p++ = '.';
    *p++ = static_cast<char>('0' + decimal);
  }
  return p;
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
  char buffer[kCoordinateChars];
  out_.append(buffer, put_coordinate(buffer, v));
  return *this;
}

Html& Html::points(std::span<const double> xy) {
  // A few hundred bytes at a time: one append per stretch rather than four per point.
  char buffer[512];
  char* p = buffer;
  for (std::size_t i = 0; i + 1 < xy.size(); i += 2) {
    if (p + 2 * kCoordinateChars + 2 > buffer + sizeof buffer) {
      out_.append(buffer, p);
      p = buffer;
    }
    if (i > 0) *p++ = ' ';
    p = put_coordinate(p, xy[i]);
    *p++ = ',';
    p = put_coordinate(p, xy[i + 1]);
  }
  out_.append(buffer, p);
  return *this;
}

Html& Html::integer(long long v) {
  char buffer[24];
  const auto r = std::to_chars(buffer, buffer + sizeof buffer, v);
  out_.append(buffer, r.ptr);
  return *this;
}

}  // namespace report
