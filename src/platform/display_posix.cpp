// Text for display on a POSIX host: iconv's CP932 table, getcwd, localtime_r.
#include "platform/display.hpp"
#include "platform/shift_jis.hpp"

#include <cerrno>
#include <cstdint>
#include <ctime>

#include <iconv.h>
#include <unistd.h>

namespace platform {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD

// The length of the UTF-8 sequence at the start of `s` when it is well formed (shortest
// form, no surrogates, at most U+10FFFF), else 0.
std::size_t utf8_sequence(std::string_view s) {
  const auto b = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
  const unsigned char c = b(0);
  if (c < 0x80) return 1;
  std::size_t n = 0;
  unsigned char lo = 0x80, hi = 0xBF;  // the range of the second byte
  if (c >= 0xC2 && c <= 0xDF) {
    n = 2;
  } else if (c >= 0xE0 && c <= 0xEF) {
    n = 3;
    if (c == 0xE0) lo = 0xA0;
    if (c == 0xED) hi = 0x9F;
  } else if (c >= 0xF0 && c <= 0xF4) {
    n = 4;
    if (c == 0xF0) lo = 0x90;
    if (c == 0xF4) hi = 0x8F;
  } else {
    return 0;
  }
  if (s.size() < n || b(1) < lo || b(1) > hi) return 0;
  for (std::size_t i = 2; i < n; ++i) {
    if (b(i) < 0x80 || b(i) > 0xBF) return 0;
  }
  return n;
}

}  // namespace

std::string display_text(std::string_view sjis) {
  std::string out;
  // "CP932", not "SHIFT_JIS": the latter reads 0x5C as a yen sign and 0x7E as an overline.
  iconv_t cd = iconv_open("UTF-8", "CP932");
  if (cd == reinterpret_cast<iconv_t>(static_cast<std::intptr_t>(-1))) {
    // No CP932 table on this host: ASCII still shows, everything else is replaced.
    for (const char c : sjis) {
      if (static_cast<unsigned char>(c) < 0x80) {
        out += c;
      } else {
        out += kReplacement;
      }
    }
    return out;
  }
  // Every CP932 character becomes at most three UTF-8 bytes, as does U+FFFD.
  out.assign(sjis.size() * 3, '\0');
  char* src = const_cast<char*>(sjis.data());
  std::size_t src_left = sjis.size();
  char* dst = out.data();
  std::size_t dst_left = out.size();
  while (src_left > 0) {
    if (iconv(cd, &src, &src_left, &dst, &dst_left) != static_cast<std::size_t>(-1)) break;
    if (errno != EILSEQ && errno != EINVAL) break;
    // One replacement for the character that failed: a lead byte takes its trail byte
    // along, as the Windows conversion does, so a pair that names nothing is one mark.
    const auto lead = static_cast<unsigned char>(src[0]);
    const std::size_t skip =
        src_left >= 2 && is_lead_byte(lead) && is_trail_byte(static_cast<unsigned char>(src[1])) ? 2 : 1;
    for (const char r : kReplacement) *dst++ = r;
    dst_left -= kReplacement.size();
    src += skip;
    src_left -= skip;
  }
  iconv_close(cd);
  out.resize(out.size() - dst_left);
  return out;
}

std::string working_folder() {
  std::string raw(256, '\0');
  while (::getcwd(raw.data(), raw.size()) == nullptr) {
    if (errno != ERANGE || raw.size() > (std::size_t{1} << 20)) return {};
    raw.assign(raw.size() * 2, '\0');
  }
  raw.resize(raw.find('\0'));
  // The host's names are bytes; on today's systems they are UTF-8, and what is not shows
  // as a replacement rather than breaking the page's encoding.
  std::string out;
  std::string_view rest = raw;
  while (!rest.empty()) {
    const std::size_t n = utf8_sequence(rest);
    if (n == 0) {
      out += kReplacement;
      rest.remove_prefix(1);
    } else {
      out.append(rest.substr(0, n));
      rest.remove_prefix(n);
    }
  }
  return out;
}

LocalTime local_time() {
  const std::time_t now = std::time(nullptr);
  std::tm tm{};
  if (now == static_cast<std::time_t>(-1) || ::localtime_r(&now, &tm) == nullptr) return {};
  return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

}  // namespace platform
