// Text for display on a Windows host: the system's code page 932 table, the wide working
// folder and the local clock.
#include "platform/display.hpp"
#include "platform/shift_jis.hpp"
#include "platform/win32_text.hpp"

#include <climits>

namespace platform {
namespace {

constexpr wchar_t kReplacement = 0xFFFD;

// Converts `bytes` strictly and appends the UTF-16 result; false when any character of
// them is not CP932 (then nothing is appended).
bool append_strict(std::string_view bytes, std::wstring& wide) {
  if (bytes.size() > static_cast<std::size_t>(INT_MAX)) return false;
  const int length = static_cast<int>(bytes.size());
  const int needed = MultiByteToWideChar(kShiftJis, MB_ERR_INVALID_CHARS, bytes.data(), length, nullptr, 0);
  if (needed <= 0) return false;
  const std::size_t at = wide.size();
  wide.resize(at + static_cast<std::size_t>(needed));
  if (MultiByteToWideChar(kShiftJis, MB_ERR_INVALID_CHARS, bytes.data(), length, wide.data() + at, needed) !=
      needed) {
    wide.resize(at);
    return false;
  }
  return true;
}

}  // namespace

std::string display_text(std::string_view sjis) {
  std::wstring wide;
  if (sjis.empty() || append_strict(sjis, wide)) return from_wide(wide, CP_UTF8);
  // Without MB_ERR_INVALID_CHARS the system puts its own default character (not U+FFFD)
  // in place of a bad one, so the text goes character by character instead.
  std::size_t i = 0;
  while (i < sjis.size()) {
    const auto c = static_cast<unsigned char>(sjis[i]);
    const std::size_t n =
        is_lead_byte(c) && i + 1 < sjis.size() && is_trail_byte(static_cast<unsigned char>(sjis[i + 1])) ? 2 : 1;
    if (!append_strict(sjis.substr(i, n), wide)) wide += kReplacement;
    i += n;
  }
  return from_wide(wide, CP_UTF8);
}

std::string working_folder() {
  const DWORD needed = GetCurrentDirectoryW(0, nullptr);
  if (needed == 0) return {};
  std::wstring wide(needed, L'\0');
  const DWORD got = GetCurrentDirectoryW(needed, wide.data());
  if (got == 0 || got >= needed) return {};
  wide.resize(got);
  return from_wide(wide, CP_UTF8);
}

LocalTime local_time() {
  SYSTEMTIME st{};
  GetLocalTime(&st);
  return {st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond};
}

}  // namespace platform
