#pragma once
// Independent pieces of work spread over a few threads. Every call returns only when all
// of its pieces are done, so callers see no thread outlive the step that started it.
#include <atomic>
#include <cstddef>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

namespace parallel {

// The most threads a run uses, whatever the machine has.
inline constexpr int kMaxThreads = 8;

class Workers {
 public:
  // `threads` is clamped to 1..kMaxThreads; 1 runs everything on the calling thread.
  explicit Workers(int threads) noexcept
      : threads_(threads < 1 ? 1 : (threads > kMaxThreads ? kMaxThreads : threads)) {}

  int threads() const noexcept { return threads_; }

  // Calls body(i) for every i in [0, count), each exactly once, on up to threads()
  // threads, the calling thread among them. With one thread the calls come in order.
  // An exception from a body is thrown again here once every thread has stopped; the
  // pieces not yet started are then skipped. When the host refuses a new thread, the
  // threads already running (at least the calling one) do all the work.
  template <class Body>
  void for_each(std::size_t count, Body&& body) const {
    if (threads_ == 1 || count <= 1) {
      for (std::size_t i = 0; i < count; ++i) body(i);
      return;
    }
    std::atomic<std::size_t> next{0};
    std::atomic<bool> stop{false};
    std::exception_ptr failure;
    std::mutex failure_lock;
    auto work = [&]() noexcept {
      for (;;) {
        if (stop.load(std::memory_order_relaxed)) return;
        const std::size_t i = next.fetch_add(1, std::memory_order_relaxed);
        if (i >= count) return;
        try {
          body(i);
        } catch (...) {
          const std::lock_guard<std::mutex> hold(failure_lock);
          if (!failure) failure = std::current_exception();
          stop.store(true, std::memory_order_relaxed);
        }
      }
    };
    const std::size_t helpers =
        (count < static_cast<std::size_t>(threads_) ? count : static_cast<std::size_t>(threads_)) - 1;
    std::vector<std::thread> started;
    try {
      started.reserve(helpers);
      for (std::size_t k = 0; k < helpers; ++k) started.emplace_back(work);
    } catch (...) {
      // No more threads: those running share the work.
    }
    work();
    for (std::thread& t : started) t.join();
    if (failure) std::rethrow_exception(failure);
  }

 private:
  int threads_;
};

// The number of threads a run uses: `setting` (the text of GMGATHER_THREADS, or null when
// it is not set) when it is a whole number from 1 up, else the number of cores; in either
// case at most kMaxThreads. "1" runs everything on the calling thread.
int thread_count(const char* setting) noexcept;

}  // namespace parallel
