// Memory on a POSIX host. Large pages are Linux's transparent huge pages, given to the
// ranges a program marks when the system is set to "madvise" (the usual default).
#include "platform/memory.hpp"

#include <cstdint>

#include <sys/mman.h>
#include <unistd.h>

namespace platform {

void prefer_large_pages(void* begin, std::size_t size) noexcept {
#if defined(MADV_HUGEPAGE)
  const long page_size = ::sysconf(_SC_PAGESIZE);
  if (page_size <= 0) return;
  const auto page = static_cast<std::uintptr_t>(page_size);
  // Only whole pages inside the range: the pages at its edges hold other data.
  const auto first = reinterpret_cast<std::uintptr_t>(begin);
  const std::uintptr_t start = (first + page - 1) / page * page;
  const std::uintptr_t end = (first + size) / page * page;
  if (end <= start) return;
  // A refusal (no such pages on this system) leaves the small pages: nothing to report.
  ::madvise(reinterpret_cast<void*>(start), end - start, MADV_HUGEPAGE);
#else
  (void)begin;
  (void)size;
#endif
}

}  // namespace platform
