#pragma once
// The Shift-JIS (CP932) bytes of UTF-8 text, as the host's own converter spells them:
// proof that escaped bytes in code and tests really are the text in their comments.
#include <iconv.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace testing_support {

inline std::string to_cp932(std::string_view utf8) {
  iconv_t cd = iconv_open("CP932", "UTF-8");
  if (cd == reinterpret_cast<iconv_t>(static_cast<std::intptr_t>(-1))) return "<no CP932 converter>";
  std::string out(utf8.size() * 2 + 1, '\0');
  char* src = const_cast<char*>(utf8.data());
  std::size_t src_left = utf8.size();
  char* dst = out.data();
  std::size_t dst_left = out.size();
  const std::size_t rc = iconv(cd, &src, &src_left, &dst, &dst_left);
  iconv_close(cd);
  if (rc == static_cast<std::size_t>(-1)) return "<not convertible>";
  out.resize(out.size() - dst_left);
  return out;
}

}  // namespace testing_support
