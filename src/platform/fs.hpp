#pragma once
// Files of the host. Paths come in as the program builds them: Shift-JIS bytes with
// backslashes as separators. Only this layer knows how the host spells them.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

namespace platform {

// Why the host refused to open a file.
enum class OpenError {
  None,
  NotFound,      // no such file, or no such folder on the path
  AccessDenied,  // no permission, write-protected medium, or a folder where a file is wanted
  NoDevice,      // no such drive or device
  BadName,       // invalid name or path, or a name too long
  Other,         // too many open files and every other refusal
};

// The host spelling of a program path (exposed for tests). On POSIX hosts every byte
// 0x5C that is not the second byte of a double-byte character becomes '/', and the bytes
// are converted from CP932 to UTF-8; a name on the path that is not valid CP932 is kept
// unchanged.
std::string host_path(std::string_view sjis_path);

// A program path as a listing shows it, so that an editor can open it: the path the host
// opens, still in Shift-JIS, for the console to convert as it converts every line. POSIX
// hosts: separators as slashes (the backslash form names no file there); Windows: as built.
//   listed_path("quake\\case1\\a.acc") -> "quake/case1/a.acc" (POSIX)
std::string listed_path(std::string_view sjis_path);

// An existing file opened for reading, in binary mode.
class InputFile {
 public:
  InputFile() = default;
  ~InputFile();
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;

  // Opens the file; a folder counts as a refusal (AccessDenied). Closes any file open before.
  OpenError open(std::string_view sjis_path);
  // Reads up to n bytes: the count read, 0 at the end of the file, -1 on a read error.
  std::ptrdiff_t read(char* buffer, std::size_t n) noexcept;
  void close() noexcept;
  bool is_open() const noexcept { return handle_ != kNoHandle; }

 private:
  static constexpr std::intptr_t kNoHandle = -1;
  std::intptr_t handle_ = kNoHandle;
};

// A file created, or truncated when present, for writing in binary mode.
class OutputFile {
 public:
  OutputFile() = default;
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;
  // A file changes hands open: the one that flushes it should be the one that wrote it
  // (see flush_to_disk).
  OutputFile(OutputFile&& other) noexcept : handle_(std::exchange(other.handle_, kNoHandle)) {}
  OutputFile& operator=(OutputFile&& other) noexcept {
    if (this != &other) {
      close();
      handle_ = std::exchange(other.handle_, kNoHandle);
    }
    return *this;
  }

  OpenError create(std::string_view sjis_path);
  // Writes all n bytes; false when the host refused any of them (disk full, size limit...).
  bool write(const char* data, std::size_t n) noexcept;
  // Waits until every byte written so far is on the disk itself, not only in the host's
  // cache; false when the host cannot promise that (a disk error, space that ran out when
  // the cache was written out). Called on the handle that wrote the bytes: Linux tells a
  // failed background write-out only to handles open at the time it happened.
  bool flush_to_disk() noexcept;
  // Releases the file; false when the host reports a failure on closing.
  bool close() noexcept;
  bool is_open() const noexcept { return handle_ != kNoHandle; }

 private:
  static constexpr std::intptr_t kNoHandle = -1;
  std::intptr_t handle_ = kNoHandle;
};

// Whether the file of this name could be replaced by a new one: None when there is no
// such file or when it may be written; otherwise the refusal an open for writing would
// meet (a read-only file or a folder of that name: AccessDenied). Changes nothing.
OpenError check_replaceable(std::string_view sjis_path);

// Whether a new file could be made in the folder that holds the file `sjis_path`, as far
// as the host tells without making one: AccessDenied for a folder the program may not
// write to; None otherwise (and always where the host cannot tell without trying).
OpenError check_creatable_beside(std::string_view sjis_path);

// Puts the closed file `from` in the place of `to` in one step, replacing any file of that
// name. Both names are in the same folder. NotFound when there is no file `from`. On
// Windows the change is on the disk when this returns; on POSIX hosts flush_folder_of
// puts it there.
OpenError replace_file(std::string_view sjis_from, std::string_view sjis_to);

// Waits until the names created, replaced and removed in the folder that holds the file
// `sjis_path` are on the disk; false when the host cannot promise that. A file system that
// offers no such flush at all counts as done. (Windows: nothing to do, see replace_file.)
bool flush_folder_of(std::string_view sjis_path) noexcept;

// Removes a file: None once there is no file of that name (a file that was already gone
// is no failure), else why it stays. A folder is never removed (AccessDenied).
OpenError remove_file(std::string_view sjis_path) noexcept;

// What stands under a name, looked at without following a link: a program that renames or
// removes files it finds left behind must not move a folder or another program's link.
enum class FileKind {
  Missing,  // nothing of that name (or no such folder on the path)
  File,     // a file on disk
  Folder,
  Other,    // a link, a pipe, a device, or the host would not tell
};
FileKind file_kind(std::string_view sjis_path) noexcept;

}  // namespace platform
