#include "parallel/workers.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

TEST(Workers, EveryPieceRunsExactlyOnceForAnyThreadCount) {
  for (int threads : {1, 2, 3, 8}) {
    for (std::size_t count : {0u, 1u, 2u, 7u, 1000u}) {
      std::vector<std::atomic<int>> calls(count);
      parallel::Workers(threads).for_each(count, [&](std::size_t i) { calls[i].fetch_add(1); });
      for (std::size_t i = 0; i < count; ++i) {
        EXPECT_EQ(calls[i].load(), 1) << threads << " threads, piece " << i << " of " << count;
      }
    }
  }
}

TEST(Workers, OneThreadRunsInOrderOnTheCallingThread) {
  std::vector<std::size_t> order;
  parallel::Workers(1).for_each(5, [&](std::size_t i) { order.push_back(i); });
  EXPECT_EQ(order, (std::vector<std::size_t>{0, 1, 2, 3, 4}));
}

TEST(Workers, AnExceptionComesBackAfterEveryThreadHasStopped) {
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
    parallel::Workers(4).for_each(100, body);
    ADD_FAILURE() << "no exception";
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "piece 3");
  }
  EXPECT_EQ(finished.load(), started.load()) << "the call returned while a piece was running";
}

// Pieces are delivered in order, each after it was made, never two at once, and no piece
// is made more than `window` ahead of the last one delivered.
TEST(Workers, InOrderDeliversEveryPieceInOrderWithinTheWindow) {
  for (int threads : {1, 2, 3, 8}) {
    for (std::size_t window : {1u, 2u, 5u}) {
      SCOPED_TRACE(std::to_string(threads) + " threads, window " + std::to_string(window));
      const std::size_t count = 200;
      std::vector<std::atomic<int>> made(count);
      std::atomic<std::size_t> delivered{0};
      std::atomic<int> delivering{0};
      std::atomic<bool> broken{false};
      const bool done = parallel::Workers(threads).for_each_in_order(
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

TEST(Workers, InOrderStopsWhenADeliveryFails) {
  for (int threads : {1, 2, 8}) {
    std::atomic<std::size_t> delivered{0};
    const bool done = parallel::Workers(threads).for_each_in_order(
        100, 4, [](std::size_t) {}, [&](std::size_t i) {
          delivered.fetch_add(1);
          return i != 10;
        });
    EXPECT_FALSE(done);
    EXPECT_EQ(delivered.load(), 11u) << threads << " threads";
  }
  EXPECT_THROW(parallel::Workers(2).for_each_in_order(
                   50, 2, [](std::size_t i) { if (i == 7) throw std::runtime_error("7"); },
                   [](std::size_t) { return true; }),
               std::runtime_error);
}

TEST(ThreadCount, SettingIsTakenWhenItIsAWholeNumberFromOne) {
  const int cores = parallel::thread_count(nullptr);
  EXPECT_GE(cores, 1);
  EXPECT_LE(cores, parallel::kMaxThreads);
  struct Case {
    const char* setting;
    int want;  // 0: the number of cores
  };
  const Case cases[] = {{"1", 1},   {"2", 2},  {"8", 8},   {"9", 8},   {"99999999999", 8},
                        {"0", 0},   {"-2", 0}, {"", 0},    {"2x", 0},  {" 2", 0},
                        {"abc", 0}, {"+2", 0}, {"-99999999999", 0}};
  for (const Case& c : cases) {
    EXPECT_EQ(parallel::thread_count(c.setting), c.want == 0 ? cores : c.want) << '"' << c.setting << '"';
  }
}

}  // namespace
