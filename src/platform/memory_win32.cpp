// Memory on a Windows host. Large pages there need a privilege that ordinary users do not
// hold, and they cannot back a program's static data at all: everything keeps small pages.
#include "platform/memory.hpp"

namespace platform {

void prefer_large_pages(void* begin, std::size_t size) noexcept {
  (void)begin;
  (void)size;
}

LargeBuffer::LargeBuffer(std::size_t size)
    : data_(nullptr), size_(size), fallback_(new char[size == 0 ? 1 : size]()) {
  data_ = fallback_.get();
}

LargeBuffer::~LargeBuffer() = default;

}  // namespace platform
