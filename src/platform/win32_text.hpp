#pragma once
// Shift-JIS (code page 932) and UTF-16, the two spellings of text on a Windows host: the
// program's bytes and the host's wide API.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <climits>
#include <string>
#include <string_view>

namespace platform {

inline constexpr UINT kShiftJis = 932;

// The UTF-16 form of Shift-JIS bytes, or false when they are not valid Shift-JIS or hold
// a NUL (the API ends names at a NUL; cutting a name there would open another file).
inline bool to_wide(std::string_view sjis, std::wstring& wide) {
  wide.clear();
  if (sjis.empty()) return true;
  if (sjis.find('\0') != std::string_view::npos || sjis.size() > static_cast<std::size_t>(INT_MAX)) return false;
  const int length = static_cast<int>(sjis.size());
  const int needed = MultiByteToWideChar(kShiftJis, MB_ERR_INVALID_CHARS, sjis.data(), length, nullptr, 0);
  if (needed <= 0) return false;
  wide.assign(static_cast<std::size_t>(needed), L'\0');
  return MultiByteToWideChar(kShiftJis, MB_ERR_INVALID_CHARS, sjis.data(), length, wide.data(), needed) == needed;
}

// Wide text in code page `page`. No best-fit mapping: a character the page lacks becomes
// '?' rather than a look-alike, which could be a '\' or a '"' and change a path.
inline std::string from_wide(std::wstring_view wide, UINT page = kShiftJis) {
  if (wide.empty() || wide.size() > static_cast<std::size_t>(INT_MAX)) return {};
  const int length = static_cast<int>(wide.size());
  const DWORD flags = page == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS;
  const int needed = WideCharToMultiByte(page, flags, wide.data(), length, nullptr, 0, nullptr, nullptr);
  if (needed <= 0) return {};
  std::string out(static_cast<std::size_t>(needed), '\0');
  if (WideCharToMultiByte(page, flags, wide.data(), length, out.data(), needed, nullptr, nullptr) != needed) return {};
  return out;
}

}  // namespace platform
