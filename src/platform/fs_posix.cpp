// Files on a POSIX host. Program paths are Shift-JIS with backslashes; the host wants
// slashes and, on today's systems, UTF-8 names.
#include "platform/fs.hpp"
#include "platform/posix_io.hpp"
#include "platform/shift_jis.hpp"

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>

#include <fcntl.h>
#include <iconv.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {
namespace {

// Turns separators into slashes. A 0x5C that completes a double-byte character (as in
// 表 = 95 5C) is part of that character, not a separator.
std::string map_separators(std::string_view path) {
  std::string out(path);
  for (std::size_t i = 0; i < out.size(); ++i) {
    const auto c = static_cast<unsigned char>(out[i]);
    if (is_lead_byte(c) && i + 1 < out.size() && is_trail_byte(static_cast<unsigned char>(out[i + 1]))) {
      ++i;
    } else if (c == 0x5C) {
      out[i] = '/';
    }
  }
  return out;
}

// The whole of `in` converted from CP932 to UTF-8, or false when any byte is not valid
// CP932 (or the host has no CP932 table). "CP932" rather than "SHIFT_JIS": the latter
// reads 0x5C as a yen sign and 0x7E as an overline.
bool cp932_to_utf8(const std::string& in, std::string& out) {
  iconv_t cd = iconv_open("UTF-8", "CP932");
  if (cd == reinterpret_cast<iconv_t>(static_cast<std::intptr_t>(-1))) return false;
  // Every CP932 byte becomes at most three UTF-8 bytes.
  out.assign(in.size() * 3 + 1, '\0');
  char* src = const_cast<char*>(in.data());
  std::size_t src_left = in.size();
  char* dst = out.data();
  std::size_t dst_left = out.size();
  const std::size_t rc = iconv(cd, &src, &src_left, &dst, &dst_left);
  iconv_close(cd);
  if (rc == static_cast<std::size_t>(-1) || src_left != 0) return false;
  out.resize(out.size() - dst_left);
  return true;
}

OpenError error_from_errno(int e) {
  switch (e) {
    case ENOENT:
    case ENOTDIR:
      return OpenError::NotFound;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
      return OpenError::AccessDenied;
    case ENXIO:
    case ENODEV:
      return OpenError::NoDevice;
    case ENAMETOOLONG:
    case EINVAL:
    case EILSEQ:
    case ELOOP:
      return OpenError::BadName;
    default:
      return OpenError::Other;
  }
}

// Opens with O_NONBLOCK so that a FIFO or a device can never hang the open itself.
// Returns the descriptor, or -1 with `error` set.
int open_host(std::string_view sjis_path, int flags, OpenError& error) {
  // The host API ends names at a NUL; cutting the name there would open another file.
  if (sjis_path.find('\0') != std::string_view::npos) {
    error = OpenError::BadName;
    return -1;
  }
  const std::string path = host_path(sjis_path);
  int fd;
  do {
    fd = ::open(path.c_str(), flags | O_CLOEXEC | O_NONBLOCK, 0666);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) {
    error = error_from_errno(errno);
    return -1;
  }
  error = OpenError::None;
  return fd;
}

// Clears O_NONBLOCK so later reads and writes wait as usual.
bool make_blocking(int fd) {
  const int flags = ::fcntl(fd, F_GETFL);
  return flags >= 0 && ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) == 0;
}

int fd_of(std::intptr_t handle) { return static_cast<int>(handle); }

// The result of a flush, going on after interruptions. A file system that keeps nothing
// in a cache of its own, or cannot flush at all, says EINVAL: there is nothing to wait for.
bool flushed(int (*flush)(int), int fd) noexcept {
  int rc;
  do {
    rc = flush(fd);
  } while (rc != 0 && errno == EINTR);
  return rc == 0 || errno == EINVAL || errno == ENOTSUP || errno == EOPNOTSUPP;
}

}  // namespace

std::string listed_path(std::string_view sjis_path) { return map_separators(sjis_path); }

std::string host_path(std::string_view sjis_path) {
  const std::string mapped = map_separators(sjis_path);
  std::string utf8;
  if (cp932_to_utf8(mapped, utf8)) return utf8;
  // Some part is not Shift-JIS after all: its bytes may already be the host's own
  // spelling. Each name on the path is converted on its own, so a folder named in raw
  // bytes still finds the Shift-JIS file names inside it.
  std::string out;
  std::size_t start = 0;
  for (;;) {
    const std::size_t slash = mapped.find('/', start);
    const std::string part = mapped.substr(start, slash - start);
    if (cp932_to_utf8(part, utf8)) {
      out += utf8;
    } else {
      out += part;
    }
    if (slash == std::string::npos) return out;
    out += '/';
    start = slash + 1;
  }
}

InputFile::~InputFile() { close(); }

OpenError InputFile::open(std::string_view sjis_path) {
  close();
  OpenError error;
  const int fd = open_host(sjis_path, O_RDONLY, error);
  if (fd < 0) return error;
  struct stat st {};
  if (::fstat(fd, &st) != 0) {
    ::close(fd);
    return OpenError::Other;
  }
  // Only regular files are data. A folder is refused like on every other host, and a
  // FIFO or device is refused too: reading one could wait forever for a writer.
  if (!S_ISREG(st.st_mode)) {
    ::close(fd);
    return OpenError::AccessDenied;
  }
  if (!make_blocking(fd)) {
    ::close(fd);
    return OpenError::Other;
  }
  handle_ = fd;
  return OpenError::None;
}

std::ptrdiff_t InputFile::read(char* buffer, std::size_t n) noexcept {
  if (!is_open()) return -1;
  if (n > kMaxIo) n = kMaxIo;
  ssize_t got;
  do {
    got = ::read(fd_of(handle_), buffer, n);
  } while (got < 0 && errno == EINTR);
  return got < 0 ? -1 : static_cast<std::ptrdiff_t>(got);
}

void InputFile::close() noexcept {
  if (!is_open()) return;
  // Not retried on EINTR: Linux releases the descriptor either way.
  ::close(fd_of(handle_));
  handle_ = kNoHandle;
}

OutputFile::~OutputFile() { close(); }

OpenError OutputFile::create(std::string_view sjis_path) {
  close();
  OpenError error;
  // O_NONBLOCK turns "a FIFO nobody reads" into ENXIO instead of a hang.
  const int fd = open_host(sjis_path, O_WRONLY | O_CREAT | O_TRUNC, error);
  if (fd < 0) return error;
  if (!make_blocking(fd)) {
    ::close(fd);
    return OpenError::Other;
  }
  handle_ = fd;
  return OpenError::None;
}

bool OutputFile::write(const char* data, std::size_t n) noexcept {
  if (!is_open()) return false;
  return write_all(fd_of(handle_), data, n);
}

bool OutputFile::flush_to_disk() noexcept {
  if (!is_open()) return false;
  // The data and the size, which reading it back needs; not the times of access.
  return flushed(::fdatasync, fd_of(handle_));
}

bool OutputFile::close() noexcept {
  if (!is_open()) return true;
  // Some file systems (NFS) report a delayed write error only here.
  const bool ok = ::close(fd_of(handle_)) == 0;
  handle_ = kNoHandle;
  return ok;
}

OpenError check_replaceable(std::string_view sjis_path) {
  OpenError error;
  // No O_CREAT and no O_TRUNC: the file is only looked at.
  const int fd = open_host(sjis_path, O_WRONLY, error);
  if (fd < 0) return error == OpenError::NotFound ? OpenError::None : error;
  struct stat st {};
  const bool regular = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
  ::close(fd);
  // A device or a pipe under a result name is not ours to replace.
  return regular ? OpenError::None : OpenError::AccessDenied;
}

OpenError check_creatable_beside(std::string_view sjis_path) {
  if (sjis_path.find('\0') != std::string_view::npos) return OpenError::BadName;
  const std::string path = host_path(sjis_path);
  const std::size_t slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? std::string(".") : path.substr(0, slash == 0 ? 1 : slash);
  return ::access(folder.c_str(), W_OK | X_OK) == 0 ? OpenError::None : error_from_errno(errno);
}

OpenError replace_file(std::string_view sjis_from, std::string_view sjis_to) {
  if (sjis_from.find('\0') != std::string_view::npos || sjis_to.find('\0') != std::string_view::npos) {
    return OpenError::BadName;
  }
  const std::string from = host_path(sjis_from);
  const std::string to = host_path(sjis_to);
  // A network file system may be interrupted by a signal the program catches (Ctrl+C).
  int rc;
  do {
    rc = std::rename(from.c_str(), to.c_str());
  } while (rc != 0 && errno == EINTR);
  return rc == 0 ? OpenError::None : error_from_errno(errno);
}

bool flush_folder_of(std::string_view sjis_path) noexcept {
  if (sjis_path.find('\0') != std::string_view::npos) return false;
  try {
    const std::string path = host_path(sjis_path);
    const std::size_t slash = path.rfind('/');
    // A bare name is in the current folder, "/name" in the root.
    const std::string folder =
        slash == std::string::npos ? std::string(".") : path.substr(0, slash == 0 ? 1 : slash);
    int fd;
    do {
      fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) return false;
    const bool ok = flushed(::fsync, fd);
    ::close(fd);
    return ok;
  } catch (...) {
    return false;  // out of memory for the name
  }
}

OpenError remove_file(std::string_view sjis_path) noexcept {
  if (sjis_path.find('\0') != std::string_view::npos) return OpenError::BadName;
  try {
    const std::string path = host_path(sjis_path);
    int rc;
    do {
      rc = ::unlink(path.c_str());
    } while (rc != 0 && errno == EINTR);
    if (rc == 0 || errno == ENOENT) return OpenError::None;
    // ENOTDIR: a file stands where the path wants a folder, so there is no such file.
    return errno == ENOTDIR ? OpenError::None : error_from_errno(errno);
  } catch (...) {
    return OpenError::Other;  // out of memory for the name: the file stays
  }
}

FileKind file_kind(std::string_view sjis_path) noexcept {
  if (sjis_path.find('\0') != std::string_view::npos) return FileKind::Other;
  try {
    const std::string path = host_path(sjis_path);
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) {
      return errno == ENOENT || errno == ENOTDIR ? FileKind::Missing : FileKind::Other;
    }
    if (S_ISREG(st.st_mode)) return FileKind::File;
    return S_ISDIR(st.st_mode) ? FileKind::Folder : FileKind::Other;
  } catch (...) {
    return FileKind::Other;  // out of memory for the name
  }
}

}  // namespace platform
