// Memory on a Windows host. Large pages there need a privilege that ordinary users do not
// hold, and they cannot back a program's static data at all: the tables keep small pages.
#include "platform/memory.hpp"

namespace platform {

void prefer_large_pages(void* begin, std::size_t size) noexcept {
  (void)begin;
  (void)size;
}

}  // namespace platform
