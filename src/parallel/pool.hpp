#pragma once
// The run's threads: started once, when the run starts, and lent to each step that has
// independent pieces of work. Every call returns only when all of its pieces are done, so
// callers see no work outlive the step that started it.
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace parallel {

// The most threads a run uses, whatever the machine has.
inline constexpr int kMaxThreads = 8;

class Pool {
 public:
  // `threads` is clamped to 1..kMaxThreads here, the one place it is; the calling thread
  // counts as one, so threads() - 1 helpers start now and stay until the pool ends, with
  // as many again that only wait on the host for posted tasks (they take no processor
  // while they wait). With 1 everything runs on the calling thread. When the host refuses
  // a thread, those started (at least the calling thread) do all the work.
  explicit Pool(int threads);
  Pool(const Pool&) = delete;
  Pool& operator=(const Pool&) = delete;
  ~Pool();

  int threads() const noexcept { return threads_; }

  // Calls body(i) for every i in [0, count), each exactly once, on up to threads()
  // threads, the calling thread among them. With one thread the calls come in order.
  // An exception from a body is thrown again here once every thread has stopped; the
  // pieces not yet started are then skipped. Calls come from one thread at a time (the
  // run's), and a body does not call the pool again.
  template <class Body>
  void for_each(std::size_t count, Body&& body) const {
    for_each_with(count, [] { return 0; }, [&](int&, std::size_t i) { body(i); });
  }

  // As for_each, with a state of each thread's own: make_state() is called once on every
  // thread that takes part, and body(state, i) gets that thread's state. For what is
  // costly to make once per piece, such as an input unit and its buffer.
  template <class MakeState, class Body>
  void for_each_with(std::size_t count, MakeState&& make_state, Body&& body) const;

  // Makes pieces 0 to count - 1 on up to threads() threads and hands them to `deliver` in
  // order: produce(i) runs on any thread; deliver(i) runs after produce(i) and after
  // deliver(i - 1) has returned, never two at once, on whichever thread finds piece i
  // next in line. At most `window` pieces are made ahead of the last delivered one, so
  // piece i can be made in slot i % window of the caller's buffers. A thread that finds
  // a piece to deliver does that before making another. When deliver returns false, the
  // pieces not yet started are skipped and this returns false; exceptions come back as
  // from for_each. With one thread: produce(0), deliver(0), produce(1), ...
  template <class Produce, class Deliver>
  bool for_each_in_order(std::size_t count, std::size_t window, Produce&& produce, Deliver&& deliver) const;

  // Work that waits on the host rather than the processor (a file on its way to the
  // disk), done beside the jobs while the caller goes on; wait_for_tasks() returns when
  // all posted so far are done. With one thread, or no thread to wait, the caller does
  // it at once. A task must not throw.
  void post(std::function<void()> task) const;
  void wait_for_tasks() const;

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

  // Runs `work` on the calling thread and on up to `helpers` helpers, and returns when
  // every thread that took it up has finished. A helper may join late (it was still
  // leaving the job before): `work` must share its pieces out as it goes, not by thread.
  void run_on_threads(std::size_t helpers, const std::function<void()>& work) const;
  void helper_loop() noexcept;
  void waiter_loop() noexcept;
  std::size_t helpers_for(std::size_t pieces) const noexcept {
    const auto most = static_cast<std::size_t>(threads_);
    return (pieces < most ? pieces : most) - 1;
  }

  int threads_;
  std::vector<std::thread> helpers_;
  std::vector<std::thread> waiters_;

  // Shared with the helpers, under lock_.
  struct Job {
    const std::function<void()>* work = nullptr;
    std::size_t wanted = 0;  // helpers that may still take it up
    std::size_t running = 0;
  };
  mutable std::mutex lock_;
  mutable std::condition_variable wake_;   // helpers: a job or the end
  mutable std::condition_variable wake_waiters_;  // a task or the end
  mutable std::condition_variable done_;   // caller: a helper left the job, a task ended
  mutable Job job_;
  mutable std::deque<std::function<void()>> tasks_;
  mutable std::size_t tasks_running_ = 0;
  bool ending_ = false;
};

template <class MakeState, class Body>
void Pool::for_each_with(std::size_t count, MakeState&& make_state, Body&& body) const {
  if (threads_ == 1 || count <= 1) {
    if (count == 0) return;
    auto state = make_state();
    for (std::size_t i = 0; i < count; ++i) body(state, i);
    return;
  }
  std::atomic<std::size_t> next{0};
  std::atomic<bool> stop{false};
  Failure failure;
  run_on_threads(helpers_for(count), [&]() noexcept {
    try {
      // A thread that comes late makes no state for pieces that are all taken.
      if (next.load(std::memory_order_relaxed) >= count) return;
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

template <class Produce, class Deliver>
bool Pool::for_each_in_order(std::size_t count, std::size_t window, Produce&& produce, Deliver&& deliver) const {
  if (count == 0) return true;
  if (window == 0) window = 1;
  std::mutex lock;
  std::condition_variable changed;
  std::vector<char> made(window, 0);
  std::size_t claimed = 0;    // pieces given out to be made
  std::size_t delivered = 0;  // pieces delivered
  bool delivering = false;
  bool stopped = false;
  Failure failure;
  run_on_threads(helpers_for(count), [&]() noexcept {
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

// The number of threads a run uses: `setting` (the text of GMGATHER_THREADS, or null when
// it is not set) when it is a whole number from 1 to kMaxThreads, else the number of
// cores, at most kMaxThreads. "1" runs everything on the calling thread. A setting that
// is not taken as it stands leaves a line for standard error in `note` (an empty setting
// counts as not set): "gmgather: GMGATHER_THREADS=0 is not a whole number from 1 to 8;
// using 2 threads", "gmgather: GMGATHER_THREADS=12 is more than 8; using 8 threads".
int thread_count(const char* setting, std::string* note = nullptr);

}  // namespace parallel
