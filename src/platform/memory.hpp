#pragma once
// Memory of the process: how its large tables and working buffers are backed.
#include <cstddef>

namespace platform {

// Asks the host to back the pages of [begin, begin + size) with large pages where it can.
// The run tables are tens of megabytes, touched once each: with small pages every 4 KiB
// costs a trap on first touch (12000 of them for the largest run), which on a virtual
// machine took longer than reading and parsing every input. Changes no content; without
// large pages (or on a host that gives them only to privileged programs) nothing happens.
void prefer_large_pages(void* begin, std::size_t size) noexcept;

}  // namespace platform
