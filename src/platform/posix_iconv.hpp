#pragma once
// Conversions through iconv shared by the console and the process: no byte is ever lost,
// whatever the converter refuses goes through unchanged.
#include <iconv.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

inline const iconv_t kNoConverter = reinterpret_cast<iconv_t>(static_cast<std::intptr_t>(-1));

// Length of the UTF-8 character starting at `s` when it is complete and well formed,
// otherwise 1 (the byte alone).
inline std::size_t utf8_char_length(const char* s, std::size_t left) {
  const auto c = static_cast<unsigned char>(s[0]);
  std::size_t len = 1;
  if (c >= 0xC2 && c <= 0xDF) {
    len = 2;
  } else if (c >= 0xE0 && c <= 0xEF) {
    len = 3;
  } else if (c >= 0xF0 && c <= 0xF4) {
    len = 4;
  }
  if (len > left) return 1;
  for (std::size_t i = 1; i < len; ++i) {
    const auto t = static_cast<unsigned char>(s[i]);
    if (t < 0x80 || t > 0xBF) return 1;
  }
  return len;
}

// Runs `cd` over all of `in`, appending to `out`. A sequence iconv refuses (its length
// given by `refused_length`) is appended unchanged, so no byte ever disappears, or as
// `replacement` when one is given; an incomplete sequence at the end is returned in `rest`
// when `rest` is given.
template <typename RefusedLength>
void convert(iconv_t cd, std::string_view in, std::string& out, std::string* rest, RefusedLength refused_length,
             std::string_view replacement = {}) {
  char* src = const_cast<char*>(in.data());
  std::size_t left = in.size();
  char buffer[1024];
  while (left > 0) {
    char* dst = buffer;
    std::size_t room = sizeof buffer;
    const std::size_t rc = iconv(cd, &src, &left, &dst, &room);
    out.append(buffer, static_cast<std::size_t>(dst - buffer));
    if (rc != static_cast<std::size_t>(-1)) break;
    if (errno == E2BIG) continue;
    if (errno == EINVAL && rest != nullptr) {
      rest->assign(src, left);
      break;
    }
    const std::size_t skip = refused_length(src, left);
    if (replacement.empty()) {
      out.append(src, skip);
    } else {
      out.append(replacement);
    }
    src += skip;
    left -= skip;
  }
}

// UTF-8 text as Shift-JIS (CP932), as typed input is converted: a sequence that is not
// UTF-8, or a character Shift-JIS cannot spell, is kept as its bytes.
inline std::string utf8_to_cp932(std::string_view utf8) {
  iconv_t cd = iconv_open("CP932", "UTF-8");
  if (cd == kNoConverter) return std::string(utf8);
  std::string out;
  out.reserve(utf8.size());
  convert(cd, utf8, out, nullptr, utf8_char_length);
  iconv_close(cd);
  return out;
}

}  // namespace platform
