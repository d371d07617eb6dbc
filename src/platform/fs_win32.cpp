// Files on a Windows host. Program paths are already in the native form (code page 932,
// backslashes); they are widened at open so the result does not depend on the ANSI code
// page the user happens to run under.
#include "platform/fs.hpp"
#include "platform/fs_win32.hpp"
#include "platform/win32_text.hpp"

#include <climits>

namespace platform {
namespace {

// ReadFile and WriteFile count in DWORDs; staying well below keeps every cast exact.
constexpr std::size_t kMaxIo = std::size_t{1} << 30;

HANDLE native(std::intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }
std::intptr_t stored(HANDLE handle) { return reinterpret_cast<std::intptr_t>(handle); }

// The wide path the host API is given for a program path; false when it is not valid
// Shift-JIS.
bool native_path(std::string_view sjis, std::wstring& wide) {
  if (!to_wide(sjis, wide)) return false;
  wide = long_path_form(wide);
  return true;
}

OpenError error_from_last_error(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
      return OpenError::NotFound;
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
    case ERROR_SHARING_VIOLATION:
      return OpenError::AccessDenied;
    case ERROR_INVALID_DRIVE:
    case ERROR_NOT_READY:
    case ERROR_BAD_UNIT:
    case ERROR_DEV_NOT_EXIST:
      return OpenError::NoDevice;
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_FILENAME_EXCED_RANGE:
    case ERROR_DIRECTORY:
      return OpenError::BadName;
    default:
      return OpenError::Other;
  }
}

HANDLE open_native(std::string_view sjis_path, DWORD access, DWORD disposition, OpenError& error,
                   DWORD share = FILE_SHARE_READ) {
  std::wstring wide;
  if (!native_path(sjis_path, wide)) {
    error = OpenError::BadName;
    return INVALID_HANDLE_VALUE;
  }
  const HANDLE handle = CreateFileW(wide.c_str(), access, share, nullptr, disposition,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
  error = handle == INVALID_HANDLE_VALUE ? error_from_last_error(GetLastError()) : OpenError::None;
  return handle;
}

}  // namespace

std::wstring long_path_form(const std::wstring& wide) {
  // The plain API stops at MAX_PATH (260) characters, the terminating NUL included. Even
  // a short relative name can pass it in a deep working folder, so the full form decides.
  if (wide.empty()) return wide;
  if (wide.rfind(L"\\\\?\\", 0) == 0 || wide.rfind(L"\\\\.\\", 0) == 0) return wide;
  std::wstring full(wide.size() + MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetFullPathNameW(wide.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (n == 0) return wide;
    if (n < full.size()) {
      full.resize(n);
      break;
    }
    full.resize(n);  // too small: n is the size needed, the NUL included
  }
  if (full.size() < MAX_PATH) return wide;
  if (full.rfind(L"\\\\?\\", 0) == 0 || full.rfind(L"\\\\.\\", 0) == 0) return full;
  if (full.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + full.substr(2);  // \\server\share
  return L"\\\\?\\" + full;
}

std::string host_path(std::string_view sjis_path) { return std::string(sjis_path); }

std::string listed_path(std::string_view sjis_path) { return std::string(sjis_path); }

InputFile::~InputFile() { close(); }

OpenError InputFile::open(std::string_view sjis_path) {
  close();
  OpenError error;
  // A table the user still has open in a spreadsheet is held for writing; sharing only
  // reading would refuse it, where the C runtime's fopen reads it.
  const HANDLE handle =
      open_native(sjis_path, GENERIC_READ, OPEN_EXISTING, error, FILE_SHARE_READ | FILE_SHARE_WRITE);
  if (handle == INVALID_HANDLE_VALUE) return error;
  // Only files on disk are data. CreateFileW already refuses a folder (it would need
  // FILE_FLAG_BACKUP_SEMANTICS), and a pipe or a device such as CON could wait forever.
  BY_HANDLE_FILE_INFORMATION info{};
  if (GetFileType(handle) != FILE_TYPE_DISK || !GetFileInformationByHandle(handle, &info) ||
      (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    CloseHandle(handle);
    return OpenError::AccessDenied;
  }
  handle_ = stored(handle);
  return OpenError::None;
}

std::ptrdiff_t InputFile::read(char* buffer, std::size_t n) noexcept {
  if (!is_open()) return -1;
  const DWORD wanted = static_cast<DWORD>(n > kMaxIo ? kMaxIo : n);
  DWORD got = 0;
  if (!ReadFile(native(handle_), buffer, wanted, &got, nullptr)) return -1;
  return static_cast<std::ptrdiff_t>(got);
}

void InputFile::close() noexcept {
  if (!is_open()) return;
  CloseHandle(native(handle_));
  handle_ = kNoHandle;
}

OutputFile::~OutputFile() { close(); }

OpenError OutputFile::create(std::string_view sjis_path) {
  close();
  OpenError error;
  // An existing folder of that name fails with ERROR_ACCESS_DENIED.
  const HANDLE handle = open_native(sjis_path, GENERIC_WRITE, CREATE_ALWAYS, error);
  if (handle == INVALID_HANDLE_VALUE) return error;
  handle_ = stored(handle);
  return OpenError::None;
}

bool OutputFile::write(const char* data, std::size_t n) noexcept {
  if (!is_open()) return false;
  while (n > 0) {
    const DWORD chunk = static_cast<DWORD>(n > kMaxIo ? kMaxIo : n);
    DWORD put = 0;
    if (!WriteFile(native(handle_), data, chunk, &put, nullptr) || put == 0) return false;
    data += put;
    n -= put;
  }
  return true;
}

bool OutputFile::flush_to_disk() noexcept {
  if (!is_open()) return false;
  // Writes out the file's cached data and its size, and asks the disk to empty its own
  // write cache.
  return FlushFileBuffers(native(handle_)) != 0;
}

bool OutputFile::close() noexcept {
  if (!is_open()) return true;
  const bool ok = CloseHandle(native(handle_)) != 0;
  handle_ = kNoHandle;
  return ok;
}

OpenError check_replaceable(std::string_view sjis_path) {
  OpenError error;
  // OPEN_EXISTING: the file is only looked at, never created or truncated.
  const HANDLE handle = open_native(sjis_path, GENERIC_WRITE, OPEN_EXISTING, error);
  if (handle == INVALID_HANDLE_VALUE) return error == OpenError::NotFound ? OpenError::None : error;
  // A device such as CON under a result name is not ours to replace.
  const bool disk = GetFileType(handle) == FILE_TYPE_DISK;
  CloseHandle(handle);
  return disk ? OpenError::None : OpenError::AccessDenied;
}

// A folder's read-only flag does not stop files being made in it, and its access rules
// cannot be read short of trying: the run meets a refusal when it makes the file.
OpenError check_creatable_beside(std::string_view) { return OpenError::None; }

OpenError replace_file(std::string_view sjis_from, std::string_view sjis_to) {
  std::wstring from, to;
  if (!native_path(sjis_from, from) || !native_path(sjis_to, to)) return OpenError::BadName;
  // A virus scanner or the search indexer may hold a file just written for a moment;
  // such a refusal is tried again for about a second before it counts.
  DWORD error = ERROR_SUCCESS;
  for (int attempt = 0; attempt < 20; ++attempt) {
    if (attempt > 0) Sleep(50);
    // Write-through: the new name is on the disk before the call returns, which on this
    // host takes the place of flushing the folder afterwards.
    constexpr DWORD kFlags = MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH;
    if (MoveFileExW(from.c_str(), to.c_str(), kFlags) != 0) return OpenError::None;
    error = GetLastError();
    if (error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION) break;
  }
  return error_from_last_error(error);
}

bool flush_folder_of(std::string_view) noexcept { return true; }

OpenError remove_file(std::string_view sjis_path) noexcept {
  try {
    std::wstring wide;
    if (!native_path(sjis_path, wide)) return OpenError::BadName;
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
      return OpenError::AccessDenied;  // a folder is never removed
    }
    // As for replace_file: a scanner or the indexer may hold a file just written for a
    // moment, so such a refusal is tried again for about a second before it counts.
    DWORD error = ERROR_SUCCESS;
    for (int attempt = 0; attempt < 20; ++attempt) {
      if (attempt > 0) Sleep(50);
      if (DeleteFileW(wide.c_str()) != 0) return OpenError::None;
      error = GetLastError();
      if (error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION) break;
    }
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return OpenError::None;
    return error_from_last_error(error);
  } catch (...) {
    return OpenError::Other;  // out of memory for the name: the file stays
  }
}

FileKind file_kind(std::string_view sjis_path) noexcept {
  try {
    std::wstring wide;
    if (!native_path(sjis_path, wide)) return FileKind::Other;
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
      const DWORD error = GetLastError();
      return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? FileKind::Missing : FileKind::Other;
    }
    // A junction or a symbolic link is a reparse point, folder or not.
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) return FileKind::Other;
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return FileKind::Folder;
    return (attributes & FILE_ATTRIBUTE_DEVICE) != 0 ? FileKind::Other : FileKind::File;
  } catch (...) {
    return FileKind::Other;  // out of memory for the name
  }
}

}  // namespace platform
