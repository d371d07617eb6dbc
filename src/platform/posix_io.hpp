#pragma once
// Whole reads and writes on POSIX descriptors.
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstddef>

namespace platform {

inline constexpr std::size_t kMaxIo = SSIZE_MAX;

// Writes all n bytes, going on after interruptions; false on any failure.
inline bool write_all(int fd, const char* data, std::size_t n) noexcept {
  while (n > 0) {
    const ssize_t put = ::write(fd, data, n > kMaxIo ? kMaxIo : n);
    if (put < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    // A write that accepts nothing would otherwise loop forever.
    if (put == 0) return false;
    data += put;
    n -= static_cast<std::size_t>(put);
  }
  return true;
}

}  // namespace platform
