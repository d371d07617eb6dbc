// The process on a Windows host. A file dropped on the program in Explorer starts it with
// the file's full path as its only argument, in a console window of its own that closes
// when the program ends, and in a folder the user did not choose.
#include "platform/process.hpp"
#include "platform/process_win32.hpp"
#include "platform/win32_text.hpp"

namespace platform {
namespace {

bool is_blank(wchar_t c) { return c == L' ' || c == L'\t'; }

// Skips the program's name: a '"' quotes up to the next '"', and no backslash escapes,
// since a path may end in one.
std::size_t skip_program_name(std::wstring_view line) {
  std::size_t i = 0;
  bool quoted = false;
  while (i < line.size() && (quoted || !is_blank(line[i]))) {
    if (line[i] == L'"') quoted = !quoted;
    ++i;
  }
  return i;
}

std::wstring full_path_of(const std::wstring& wide) {
  std::wstring full(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetFullPathNameW(wide.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (n == 0) return {};
    if (n < full.size()) {
      full.resize(n);
      return full;
    }
    full.resize(n);  // n counts the terminating NUL when the buffer was too small
  }
}

class Win32Session final : public Session {
 public:
  bool alone_on_console() override {
    // With no console the count is 0; from cmd.exe or PowerShell it is 2 or more.
    DWORD ids[2];
    return GetConsoleProcessList(ids, 2) == 1;
  }

  std::optional<std::string> enter_folder_of(std::string_view sjis_path) override {
    std::wstring wide;
    if (!to_wide(sjis_path, wide) || wide.empty()) return std::nullopt;
    const std::wstring full = full_path_of(wide);
    const std::size_t slash = full.find_last_of(L'\\');
    if (full.empty() || slash == std::wstring::npos) return std::nullopt;
    // The trailing backslash stays: "C:" alone would mean the drive's own current folder.
    const std::wstring folder = full.substr(0, slash + 1);
    if (!SetCurrentDirectoryW(folder.c_str())) return std::nullopt;
    return from_wide(full);
  }

  std::string working_folder() override {
    std::wstring folder(MAX_PATH, L'\0');
    for (;;) {
      const DWORD n = GetCurrentDirectoryW(static_cast<DWORD>(folder.size()), folder.data());
      if (n == 0) return ".";
      if (n < folder.size()) {
        folder.resize(n);
        return from_wide(folder);
      }
      folder.resize(n);
    }
  }
};

}  // namespace

std::vector<std::wstring> split_command_line(std::wstring_view line) {
  std::vector<std::wstring> arguments;
  std::size_t i = skip_program_name(line);
  for (;;) {
    while (i < line.size() && is_blank(line[i])) ++i;
    if (i == line.size()) return arguments;
    std::wstring argument;
    bool quoted = false;
    while (i < line.size() && (quoted || !is_blank(line[i]))) {
      if (line[i] == L'\\') {
        std::size_t count = 0;
        while (i < line.size() && line[i] == L'\\') ++count, ++i;
        const bool before_quote = i < line.size() && line[i] == L'"';
        argument.append(before_quote ? count / 2 : count, L'\\');
        if (before_quote && count % 2 == 1) {
          argument += L'"';
          ++i;
        }
      } else if (line[i] == L'"') {
        if (quoted && i + 1 < line.size() && line[i + 1] == L'"') {
          // "" inside quotes: a literal '"', and the quotes end.
          argument += L'"';
          ++i;
        }
        quoted = !quoted;
        ++i;
      } else {
        argument += line[i++];
      }
    }
    arguments.push_back(std::move(argument));
  }
}

std::vector<std::string> program_arguments(int, char**) {
  std::vector<std::string> arguments;
  for (const std::wstring& wide : split_command_line(GetCommandLineW())) arguments.push_back(from_wide(wide));
  return arguments;
}

Session& host_session() {
  static Win32Session session;
  return session;
}

}  // namespace platform
