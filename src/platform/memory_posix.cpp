// Memory on a POSIX host. Large pages are Linux's transparent huge pages, given to the
// ranges a program marks when the system is set to "madvise" (the usual default).
#include "platform/memory.hpp"

#include <cstdint>

#include <sys/mman.h>
#include <unistd.h>

namespace platform {
namespace {

constexpr std::size_t kLargePage = std::size_t{1} << 21;  // x86-64's, the host that has them

}  // namespace

void prefer_large_pages(void* begin, std::size_t size) noexcept {
#if defined(MADV_HUGEPAGE)
  constexpr auto page = std::uintptr_t{kLargePage};
  // Only whole large pages inside the range: the pages at its edges hold other data, or
  // room the run does not use.
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

LargeBuffer::LargeBuffer(std::size_t size) : size_(size) {
  // Small pages' worth, started on a large-page boundary so that every whole large page
  // of the block is one of the host's.
  const long small_page = ::sysconf(_SC_PAGESIZE);
  const std::size_t page = small_page > 0 ? static_cast<std::size_t>(small_page) : 4096;
  const std::size_t length = (size + page - 1) / page * page;
  // Mapped with room to start on a large-page boundary, the slack given back.
  void* p = length == 0 ? MAP_FAILED
                        : ::mmap(nullptr, length + kLargePage, PROT_READ | PROT_WRITE,
                                 MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (p == MAP_FAILED) {
    fallback_.reset(new char[size == 0 ? 1 : size]());
    data_ = fallback_.get();
    return;
  }
  const auto base = reinterpret_cast<std::uintptr_t>(p);
  const std::uintptr_t start = (base + kLargePage - 1) / kLargePage * kLargePage;
  if (start > base) ::munmap(p, start - base);
  const std::uintptr_t tail = base + length + kLargePage - (start + length);
  if (tail > 0) ::munmap(reinterpret_cast<void*>(start + length), tail);
  data_ = reinterpret_cast<char*>(start);
  mapped_ = length;
  prefer_large_pages(data_, length);
}

LargeBuffer::~LargeBuffer() {
  if (mapped_ != 0) ::munmap(data_, mapped_);
}

}  // namespace platform
