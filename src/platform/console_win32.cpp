// The console on a Windows host. A real console window is spoken to in UTF-16, so what
// it shows and what the user types do not depend on the console's code page; redirected
// streams get the program's bytes untouched, or UTF-8 once the program asks for it.
#include "platform/console.hpp"
#include "platform/interrupt.hpp"
#include "platform/interrupt_record.hpp"
#include "platform/shift_jis.hpp"
#include "platform/win32_text.hpp"

#include <climits>
#include <cstring>
#include <string>

namespace platform {
namespace {

constexpr std::size_t kMaxIo = std::size_t{1} << 30;
// Older consoles refuse very large WriteConsoleW calls, so text goes out in pieces.
constexpr std::size_t kConsoleChunk = 8192;

bool is_console(HANDLE handle) {
  DWORD mode = 0;
  return handle != nullptr && handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode) != 0;
}

// Whether an interrupt has come, or comes within `milliseconds`.
bool interrupt_within(DWORD milliseconds) {
  for (DWORD waited = 0; !interrupted(); waited += 5) {
    if (waited >= milliseconds) return false;
    Sleep(5);
  }
  return true;
}

bool write_all(HANDLE handle, const char* data, std::size_t n) {
  while (n > 0) {
    const DWORD chunk = static_cast<DWORD>(n > kMaxIo ? kMaxIo : n);
    DWORD put = 0;
    if (!WriteFile(handle, data, chunk, &put, nullptr) || put == 0) return false;
    data += put;
    n -= put;
  }
  return true;
}

// Standard output or standard error.
class OutputStream {
 public:
  explicit OutputStream(DWORD which) : handle_(GetStdHandle(which)), console_(is_console(handle_)) {}
  ~OutputStream() {
    // A lead byte still waiting for its partner at exit is shown as it is.
    if (held_.empty()) return;
    if (console_) {
      show(held_);
    } else {
      write_utf8(held_);
    }
  }
  OutputStream(const OutputStream&) = delete;
  OutputStream& operator=(const OutputStream&) = delete;

  bool write(std::string_view bytes) {
    if (!console_ && !utf8_) return write_all(handle_, bytes.data(), bytes.size());
    std::string text = held_;
    text.append(bytes);
    held_.clear();
    hold_split_character(text, held_);
    return console_ ? show(text) : write_utf8(text);
  }

  // A console window shows the text as it does; a pipe or a file gets UTF-8 from now on.
  void write_utf8_everywhere() { utf8_ = true; }

 private:
  // What is not Shift-JIS (a stray byte, a pair that names nothing) becomes U+FFFD, as
  // on a POSIX host; the system's own default character would differ by code page.
  bool write_utf8(std::string_view text) {
    if (text.empty()) return true;
    std::wstring wide;
    if (!to_wide(text, wide)) {
      wide.clear();
      for (std::size_t i = 0; i < text.size();) {
        const bool pair = is_lead_byte(static_cast<unsigned char>(text[i])) && i + 1 < text.size() &&
                          is_trail_byte(static_cast<unsigned char>(text[i + 1]));
        const std::string_view one = text.substr(i, pair ? 2 : 1);
        std::wstring converted;
        if (one == std::string_view("\0", 1)) {
          wide.push_back(L'\0');
        } else if (to_wide(one, converted)) {
          wide.append(converted);
        } else {
          wide.push_back(L'\xFFFD');
        }
        i += one.size();
      }
    }
    const std::string utf8 = from_wide(wide, CP_UTF8);
    return !utf8.empty() && write_all(handle_, utf8.data(), utf8.size());
  }

  bool show(std::string_view text) {
    while (!text.empty()) {
      // Cut only between characters: never after a lead byte that has its trail byte.
      std::size_t cut = 0;
      while (cut < text.size() && cut < kConsoleChunk) {
        const auto c = static_cast<unsigned char>(text[cut]);
        const bool pair =
            is_lead_byte(c) && cut + 1 < text.size() && is_trail_byte(static_cast<unsigned char>(text[cut + 1]));
        cut += pair ? 2 : 1;
      }
      // Without MB_ERR_INVALID_CHARS a byte that is not Shift-JIS is shown as a
      // replacement character instead of the whole piece being lost.
      const int length = static_cast<int>(cut);
      const int needed = MultiByteToWideChar(kShiftJis, 0, text.data(), length, nullptr, 0);
      if (needed <= 0) return false;
      std::wstring wide(static_cast<std::size_t>(needed), L'\0');
      if (MultiByteToWideChar(kShiftJis, 0, text.data(), length, wide.data(), needed) != needed) return false;
      const wchar_t* rest = wide.data();
      DWORD left = static_cast<DWORD>(needed);
      while (left > 0) {
        DWORD put = 0;
        if (!WriteConsoleW(handle_, rest, left, &put, nullptr) || put == 0) return false;
        rest += put;
        left -= put;
      }
      text.remove_prefix(cut);
    }
    return true;
  }

  HANDLE handle_;
  bool console_;
  bool utf8_ = false;
  std::string held_;
};

// Standard input.
class InputStream {
 public:
  InputStream() : handle_(GetStdHandle(STD_INPUT_HANDLE)), console_(is_console(handle_)) {}

  std::ptrdiff_t read(char* buffer, std::size_t n) {
    if (!console_) {
      const CancellableRead waiting;
      if (interrupted()) return -1;
      DWORD got = 0;
      if (!ReadFile(handle_, buffer, static_cast<DWORD>(n > kMaxIo ? kMaxIo : n), &got, nullptr)) {
        // The writing end of a pipe went away: that is the end of the input. A read
        // cancelled by an interrupt fails with ERROR_OPERATION_ABORTED.
        return GetLastError() == ERROR_BROKEN_PIPE && !interrupted() ? 0 : -1;
      }
      return static_cast<std::ptrdiff_t>(got);
    }
    if (n == 0) return 0;
    // One ReadConsoleW per line typed; waiting for more would block the user.
    while (ready_pos_ == ready_.size()) {
      ready_.clear();
      ready_pos_ = 0;
      wchar_t typed[4096];
      std::size_t count = 0;
      if (high_surrogate_ != 0) {
        typed[count++] = high_surrogate_;
        high_surrogate_ = 0;
      }
      DWORD got = 0;
      {
        const CancellableRead waiting;
        if (interrupted()) return -1;
        if (!ReadConsoleW(handle_, typed + count, static_cast<DWORD>(4096 - count), &got, nullptr)) return -1;
      }
      if (got == 0) {
        // Ctrl+C ends the read with nothing read (ERROR_OPERATION_ABORTED) while the
        // handler's thread may still be on its way to record it.
        if (GetLastError() != ERROR_OPERATION_ABORTED) return interrupted() ? -1 : 0;
        if (interrupt_within(100)) return -1;
        if (count > 0) high_surrogate_ = typed[0];  // still waits for its second half
        continue;
      }
      count += got;
      // A character outside the BMP may be cut in two by the buffer end; its first half
      // waits for the second.
      const wchar_t last = typed[count - 1];
      if (last >= 0xD800 && last <= 0xDBFF) {
        high_surrogate_ = last;
        --count;
        if (count == 0) continue;
      }
      // Ctrl+Z at the start of a line is how a console user ends the input.
      if (typed[0] == 0x1A) return 0;
      const int length = static_cast<int>(count);
      const int needed = WideCharToMultiByte(kShiftJis, 0, typed, length, nullptr, 0, nullptr, nullptr);
      if (needed <= 0) return -1;
      ready_.assign(static_cast<std::size_t>(needed), '\0');
      if (WideCharToMultiByte(kShiftJis, 0, typed, length, ready_.data(), needed, nullptr, nullptr) != needed) {
        ready_.clear();
        return -1;
      }
    }
    // Conversion changes the length, so what does not fit waits for the next call.
    std::size_t take = ready_.size() - ready_pos_;
    if (take > n) take = n;
    std::memcpy(buffer, ready_.data() + ready_pos_, take);
    ready_pos_ += take;
    return static_cast<std::ptrdiff_t>(take);
  }

 private:
  HANDLE handle_;
  bool console_;
  std::string ready_;  // converted input the program has not taken yet
  std::size_t ready_pos_ = 0;
  wchar_t high_surrogate_ = 0;
};

class Win32Console final : public Console {
 public:
  std::ptrdiff_t read_input(char* buffer, std::size_t n) override { return input_.read(buffer, n); }
  bool write_output(std::string_view bytes) override { return output_.write(bytes); }
  bool write_error(std::string_view bytes) override { return error_.write(bytes); }
  void convert_output_to_utf8() override {
    output_.write_utf8_everywhere();
    error_.write_utf8_everywhere();
  }

 private:
  InputStream input_;
  OutputStream output_{STD_OUTPUT_HANDLE};
  OutputStream error_{STD_ERROR_HANDLE};
};

}  // namespace

std::string shift_jis_from_utf8(std::string_view utf8) {
  if (utf8.empty() || utf8.size() > static_cast<std::size_t>(INT_MAX)) return {};
  const int length = static_cast<int>(utf8.size());
  const int needed = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, nullptr, 0);
  if (needed <= 0) return {};
  std::wstring wide(static_cast<std::size_t>(needed), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, wide.data(), needed);
  return from_wide(wide);
}

Console& host_console() {
  static Win32Console console;
  return console;
}

void prepare_process() {
  // All console and file traffic goes through the Win32 API, so no runtime stream ever
  // translates line ends and a broken pipe already comes back as a failed WriteFile.
  // An empty removable drive should fail the open (ERROR_NOT_READY) rather than stop the
  // run with a dialog box.
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
}

}  // namespace platform
