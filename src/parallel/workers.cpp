#include "parallel/workers.hpp"

#include <charconv>
#include <cstring>

namespace parallel {

int thread_count(const char* setting) noexcept {
  if (setting != nullptr) {
    int n = 0;
    const char* end = setting + std::strlen(setting);
    const auto [ptr, ec] = std::from_chars(setting, end, n);
    if (ec == std::errc() && ptr == end && n >= 1) return n > kMaxThreads ? kMaxThreads : n;
    if (ec == std::errc::result_out_of_range && ptr == end && *setting != '-') return kMaxThreads;
  }
  const unsigned cores = std::thread::hardware_concurrency();
  if (cores == 0) return 1;  // unknown: the safe choice
  return cores > static_cast<unsigned>(kMaxThreads) ? kMaxThreads : static_cast<int>(cores);
}

}  // namespace parallel
