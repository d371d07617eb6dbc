#include "parallel/pool.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

TEST(Pool, EveryPieceRunsExactlyOnceForAnyThreadCount) {
  for (int threads : {1, 2, 3, 8}) {
    for (std::size_t count : {0u, 1u, 2u, 7u, 1000u}) {
      std::vector<std::atomic<int>> calls(count);
      parallel::Pool(threads).for_each(count, [&](std::size_t i) { calls[i].fetch_add(1); });
      for (std::size_t i = 0; i < count; ++i) {
        EXPECT_EQ(calls[i].load(), 1) << threads << " threads, piece " << i << " of " << count;
      }
    }
  }
}

TEST(Pool, OneThreadRunsInOrderOnTheCallingThread) {
  std::vector<std::size_t> order;
  parallel::Pool(1).for_each(5, [&](std::size_t i) { order.push_back(i); });
  EXPECT_EQ(order, (std::vector<std::size_t>{0, 1, 2, 3, 4}));
}

TEST(Pool, AnExceptionComesBackAfterEveryThreadHasStopped) {
  // The throwing piece waits until another piece is under way, and a piece on a helper
  // thread sleeps a while before it counts itself finished, while the calling thread runs
  // through its pieces at once: a call that came back without waiting for its helpers
  // would find fewer pieces finished than started.
  const std::thread::id caller = std::this_thread::get_id();
  std::atomic<int> started{0};
  std::atomic<int> finished{0};
  const auto body = [&](std::size_t i) {
    started.fetch_add(1);
    if (i == 3) {
      const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(2);
      while (started.load() - finished.load() < 2 && std::chrono::steady_clock::now() < give_up) {
        std::this_thread::yield();
      }
      finished.fetch_add(1);
      throw std::runtime_error("piece 3");
    }
    if (std::this_thread::get_id() != caller) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    finished.fetch_add(1);
  };
  try {
    parallel::Pool(4).for_each(100, body);
    ADD_FAILURE() << "no exception";
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "piece 3");
  }
  EXPECT_EQ(finished.load(), started.load()) << "the call returned while a piece was running";
}

// Pieces are delivered in order, each after it was made, never two at once, and no piece
// is made more than `window` ahead of the last one delivered.
TEST(Pool, InOrderDeliversEveryPieceInOrderWithinTheWindow) {
  for (int threads : {1, 2, 3, 8}) {
    for (std::size_t window : {1u, 2u, 5u}) {
      SCOPED_TRACE(std::to_string(threads) + " threads, window " + std::to_string(window));
      const std::size_t count = 200;
      std::vector<std::atomic<int>> made(count);
      std::atomic<std::size_t> delivered{0};
      std::atomic<int> delivering{0};
      std::atomic<bool> broken{false};
      const bool done = parallel::Pool(threads).for_each_in_order(
          count, window,
          [&](std::size_t i) {
            if (i >= delivered.load() + window) broken = true;
            made[i].fetch_add(1);
          },
          [&](std::size_t i) {
            if (delivering.fetch_add(1) != 0 || made[i].load() != 1 || i != delivered.load()) broken = true;
            delivered.fetch_add(1);
            delivering.fetch_sub(1);
            return true;
          });
      EXPECT_TRUE(done);
      EXPECT_FALSE(broken.load());
      EXPECT_EQ(delivered.load(), count);
    }
  }
}

TEST(Pool, InOrderStopsWhenADeliveryFails) {
  for (int threads : {1, 2, 8}) {
    std::atomic<std::size_t> delivered{0};
    const bool done = parallel::Pool(threads).for_each_in_order(
        100, 4, [](std::size_t) {}, [&](std::size_t i) {
          delivered.fetch_add(1);
          return i != 10;
        });
    EXPECT_FALSE(done);
    EXPECT_EQ(delivered.load(), 11u) << threads << " threads";
  }
  EXPECT_THROW(parallel::Pool(2).for_each_in_order(
                   50, 2, [](std::size_t i) { if (i == 7) throw std::runtime_error("7"); },
                   [](std::size_t) { return true; }),
               std::runtime_error);
}

TEST(ThreadCount, SettingIsTakenWhenItIsAWholeNumberFromOneToTheMost) {
  const int cores = parallel::thread_count(nullptr);
  EXPECT_GE(cores, 1);
  EXPECT_LE(cores, parallel::kMaxThreads);
  const std::string by_cores = "; using " + std::to_string(cores) + (cores == 1 ? " thread" : " threads");
  struct Case {
    const char* setting;
    int want;  // 0: the number of cores
    std::string note;
  };
  const std::string not_whole = " is not a whole number from 1 to 8" + by_cores;
  const Case cases[] = {{"1", 1, ""},
                        {"8", 8, ""},
                        {"", 0, ""},  // set to nothing: as if not set
                        {"9", 8, "gmgather: GMGATHER_THREADS=9 is more than 8; using 8 threads"},
                        {"1000", 8, "gmgather: GMGATHER_THREADS=1000 is more than 8; using 8 threads"},
                        {"99999999999", 8, "gmgather: GMGATHER_THREADS=99999999999 is more than 8; using 8 threads"},
                        {"0", 0, "gmgather: GMGATHER_THREADS=0" + not_whole},
                        {"-1", 0, "gmgather: GMGATHER_THREADS=-1" + not_whole},
                        {"2x", 0, "gmgather: GMGATHER_THREADS=2x" + not_whole},
                        {" 2", 0, "gmgather: GMGATHER_THREADS= 2" + not_whole},
                        {"abc", 0, "gmgather: GMGATHER_THREADS=abc" + not_whole},
                        {"+2", 0, "gmgather: GMGATHER_THREADS=+2" + not_whole},
                        {"-99999999999", 0, "gmgather: GMGATHER_THREADS=-99999999999" + not_whole}};
  for (const Case& c : cases) {
    std::string note;
    EXPECT_EQ(parallel::thread_count(c.setting, &note), c.want == 0 ? cores : c.want) << '"' << c.setting << '"';
    EXPECT_EQ(note, c.note);
  }
}

// Posted work runs beside a job, on a helper that joins the job late or not at all: the
// job still does every piece once, and wait_for_tasks sees every posted task done.
TEST(Pool, PostedTasksRunBesideJobs) {
  for (int threads : {1, 2, 3}) {
    const parallel::Pool pool(threads);
    std::atomic<int> tasks{0};
    for (int k = 0; k < 5; ++k) {
      pool.post([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        tasks.fetch_add(1);
      });
    }
    std::vector<std::atomic<int>> calls(300);
    pool.for_each(calls.size(), [&](std::size_t i) { calls[i].fetch_add(1); });
    pool.wait_for_tasks();
    EXPECT_EQ(tasks.load(), 5) << threads << " threads";
    for (const auto& c : calls) EXPECT_EQ(c.load(), 1);
  }
}

}  // namespace
