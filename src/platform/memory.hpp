#pragma once
// Memory of the process: how its large tables and working buffers are backed.
#include <cstddef>
#include <memory>

namespace platform {

// Asks the host to back the whole large pages (2 MiB on x86-64) inside [begin, begin +
// size) with large pages where it can; the pieces at either end keep small pages. The
// waveform tables are tens of megabytes, touched once each: with small pages every 4 KiB
// costs a trap on first touch (12000 of them for the largest run), which on a virtual
// machine took longer than reading and parsing every input. A large page reaching past
// what a run uses would hold up to 2 MiB that it never touches. Changes no content;
// without large pages (or on a host that gives them only to privileged programs) nothing
// happens.
void prefer_large_pages(void* begin, std::size_t size) noexcept;

// A block of working memory of at least `size` bytes, zero at first, its whole large pages
// backed by large pages where the host gives them (see above): megabytes of buffers that
// are written once per run would otherwise cost a trap per 4 KiB as well, and a smaller
// block takes no more than it asks for. Falls back to the heap.
class LargeBuffer {
 public:
  explicit LargeBuffer(std::size_t size);
  ~LargeBuffer();
  LargeBuffer(const LargeBuffer&) = delete;
  LargeBuffer& operator=(const LargeBuffer&) = delete;

  char* data() noexcept { return data_; }
  std::size_t size() const noexcept { return size_; }

 private:
  char* data_ = nullptr;
  std::size_t size_ = 0;
  std::size_t mapped_ = 0;             // bytes mapped from the host; 0: taken from the heap
  std::unique_ptr<char[]> fallback_;
};

}  // namespace platform
