#include "parallel/pool.hpp"

#include <charconv>
#include <cstring>

namespace parallel {

Pool::Pool(int threads) : threads_(threads < 1 ? 1 : (threads > kMaxThreads ? kMaxThreads : threads)) {
  try {
    helpers_.reserve(static_cast<std::size_t>(threads_ - 1));
    waiters_.reserve(static_cast<std::size_t>(threads_ - 1));
    for (int k = 1; k < threads_; ++k) helpers_.emplace_back([this] { helper_loop(); });
    for (int k = 1; k < threads_; ++k) waiters_.emplace_back([this] { waiter_loop(); });
  } catch (...) {
    // No more threads to be had: those started share the work. threads() still tells how
    // the work is cut, which keeps the results the same.
  }
}

Pool::~Pool() {
  {
    const std::lock_guard<std::mutex> hold(lock_);
    ending_ = true;
  }
  wake_.notify_all();
  wake_waiters_.notify_all();
  for (std::thread& t : helpers_) t.join();
  for (std::thread& t : waiters_) t.join();
}

void Pool::helper_loop() noexcept {
  std::unique_lock<std::mutex> hold(lock_);
  for (;;) {
    wake_.wait(hold, [&] { return ending_ || job_.wanted > 0; });
    if (job_.wanted == 0) return;  // ending
    --job_.wanted;
    ++job_.running;
    const std::function<void()>* work = job_.work;
    hold.unlock();
    (*work)();
    hold.lock();
    --job_.running;
    done_.notify_all();
  }
}

// Posted tasks have threads of their own: a task waits on the disk while every helper
// works on the job that renders the next file.
void Pool::waiter_loop() noexcept {
  std::unique_lock<std::mutex> hold(lock_);
  for (;;) {
    wake_waiters_.wait(hold, [&] { return ending_ || !tasks_.empty(); });
    if (tasks_.empty()) return;  // ending, nothing left
    std::function<void()> task = std::move(tasks_.front());
    tasks_.pop_front();
    ++tasks_running_;
    hold.unlock();
    task();
    task = nullptr;
    hold.lock();
    --tasks_running_;
    done_.notify_all();
  }
}

void Pool::run_on_threads(std::size_t helpers, const std::function<void()>& work) const {
  if (helpers > helpers_.size()) helpers = helpers_.size();
  if (helpers > 0) {
    const std::lock_guard<std::mutex> hold(lock_);
    job_.work = &work;
    job_.wanted = helpers;
    job_.running = 0;
  }
  if (helpers > 0) wake_.notify_all();
  work();
  if (helpers == 0) return;
  std::unique_lock<std::mutex> hold(lock_);
  // Helpers that have not taken the job up by now would find no piece left.
  job_.wanted = 0;
  done_.wait(hold, [&] { return job_.running == 0; });
  job_.work = nullptr;
}

void Pool::post(std::function<void()> task) const {
  if (waiters_.empty()) {
    task();
    return;
  }
  {
    const std::lock_guard<std::mutex> hold(lock_);
    tasks_.push_back(std::move(task));
  }
  wake_waiters_.notify_one();
}

void Pool::wait_for_tasks() const {
  std::unique_lock<std::mutex> hold(lock_);
  done_.wait(hold, [&] { return tasks_.empty() && tasks_running_ == 0; });
}

int thread_count(const char* setting, std::string* note) {
  const unsigned cores = std::thread::hardware_concurrency();
  // Unknown: the safe choice.
  const int by_cores = cores == 0 ? 1 : (cores > static_cast<unsigned>(kMaxThreads) ? kMaxThreads : static_cast<int>(cores));
  if (setting == nullptr || *setting == '\0') return by_cores;
  int n = 0;
  const char* end = setting + std::strlen(setting);
  const auto [ptr, ec] = std::from_chars(setting, end, n);
  if (ec == std::errc() && ptr == end && n >= 1 && n <= kMaxThreads) return n;
  const bool too_many = ptr == end && *setting != '-' &&
                        ((ec == std::errc() && n > kMaxThreads) || ec == std::errc::result_out_of_range);
  const int threads = too_many ? kMaxThreads : by_cores;
  if (note != nullptr) {
    // Appended piece by piece: GCC 12 warns falsely on "literal" + std::string at -O3
    // (GCC bug 105329).
    note->assign("gmgather: GMGATHER_THREADS=").append(setting);
    note->append(too_many ? " is more than " : " is not a whole number from 1 to ").append(std::to_string(kMaxThreads));
    note->append("; using ").append(std::to_string(threads)).append(threads == 1 ? " thread" : " threads");
  }
  return threads;
}

}  // namespace parallel
