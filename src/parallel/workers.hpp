#pragma once
// Independent pieces of work spread over a few threads. Every call returns only when all
// of its pieces are done, so callers see no thread outlive the step that started it.
#include <atomic>
#include <condition_variable>
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
    for_each_with(count, [] { return 0; }, [&](int&, std::size_t i) { body(i); });
  }

  // As for_each, with a state of each thread's own: make_state() is called once on every
  // thread that takes part, and body(state, i) gets that thread's state. For what is
  // costly to make once per piece, such as an input unit and its buffer.
  template <class MakeState, class Body>
  void for_each_with(std::size_t count, MakeState&& make_state, Body&& body) const {
    if (threads_ == 1 || count <= 1) {
      if (count == 0) return;
      auto state = make_state();
      for (std::size_t i = 0; i < count; ++i) body(state, i);
      return;
    }
    std::atomic<std::size_t> next{0};
    std::atomic<bool> stop{false};
    Failure failure;
    run_on_threads(count, [&]() noexcept {
      try {
        auto state = make_state();
        for (;;) {
          if (stop.load(std::memory_order_relaxed)) return;
          const std::size_t i = next.fetch_add(1, std::memory_order_relaxed);
          if (i >= count) return;
          body(state, i);
        }
      } catch (...) {
        failure.keep(std::current_exception());
        stop.store(true, std::memory_order_relaxed);
      }
    });
    failure.rethrow();
  }

  // Makes pieces 0 to count - 1 on up to threads() threads and hands them to `deliver` in
  // order: produce(i) runs on any thread; deliver(i) runs after produce(i) and after
  // deliver(i - 1) has returned, never two at once, on whichever thread finds piece i
  // next in line. At most `window` pieces are made ahead of the last delivered one, so
  // piece i can be made in slot i % window of the caller's buffers. A thread that finds
  // a piece to deliver does that before making another. When deliver returns false, the
  // pieces not yet started are skipped and this returns false; exceptions come back as
  // from for_each. With one thread: produce(0), deliver(0), produce(1), ...
  template <class Produce, class Deliver>
  bool for_each_in_order(std::size_t count, std::size_t window, Produce&& produce,
                         Deliver&& deliver) const {
    if (window == 0) window = 1;
    std::mutex lock;
    std::condition_variable changed;
    std::vector<char> made(window, 0);
    std::size_t claimed = 0;    // pieces given out to be made
    std::size_t delivered = 0;  // pieces delivered
    bool delivering = false;
    bool stopped = false;
    Failure failure;
    run_on_threads(count, [&]() noexcept {
      std::unique_lock<std::mutex> hold(lock);
      while (!stopped && delivered < count) {
        bool ok = true;
        if (!delivering && made[delivered % window] != 0) {
          const std::size_t i = delivered;
          delivering = true;
          hold.unlock();
          try {
            ok = deliver(i);
          } catch (...) {
            failure.keep(std::current_exception());
            ok = false;
          }
          hold.lock();
          delivering = false;
          made[i % window] = 0;
          ++delivered;
        } else if (claimed < count && claimed < delivered + window) {
          const std::size_t i = claimed++;
          hold.unlock();
          try {
            produce(i);
          } catch (...) {
            failure.keep(std::current_exception());
            ok = false;
          }
          hold.lock();
          made[i % window] = 1;
        } else {
          changed.wait(hold);
          continue;
        }
        if (!ok) stopped = true;
        changed.notify_all();
      }
    });
    failure.rethrow();
    return !stopped;
  }

 private:
  // The first exception of any thread, kept for the calling thread.
  class Failure {
   public:
    void keep(std::exception_ptr e) {
      const std::lock_guard<std::mutex> hold(lock_);
      if (!first_) first_ = std::move(e);
    }
    void rethrow() const {
      if (first_) std::rethrow_exception(first_);
    }

   private:
    std::mutex lock_;
    std::exception_ptr first_;
  };

  // Runs `work` on the calling thread and on helper threads, up to threads() in all and
  // no more than `pieces`, and returns when all have finished. When the host refuses a
  // new thread, those already running share the work.
  template <class Work>
  void run_on_threads(std::size_t pieces, Work&& work) const {
    if (pieces == 0) return;
    const std::size_t helpers =
        (pieces < static_cast<std::size_t>(threads_) ? pieces : static_cast<std::size_t>(threads_)) - 1;
    std::vector<std::thread> started;
    try {
      started.reserve(helpers);
      for (std::size_t k = 0; k < helpers; ++k) started.emplace_back(work);
    } catch (...) {
      // No more threads: those running share the work.
    }
    work();
    for (std::thread& t : started) t.join();
  }

  int threads_;
};

// The number of threads a run uses: `setting` (the text of GMGATHER_THREADS, or null when
// it is not set) when it is a whole number from 1 up, else the number of cores; in either
// case at most kMaxThreads. "1" runs everything on the calling thread.
int thread_count(const char* setting) noexcept;

}  // namespace parallel
