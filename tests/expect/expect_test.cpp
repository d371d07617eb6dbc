// A broken precondition stops the program where it broke, saying where and whose promise
// it was; a kept one costs nothing visible.
#include "expect/expect.hpp"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

int negative_count() {
  volatile int n = -5;  // not a constant the compiler could fold into the test
  return n;
}

TEST(Expectations, ABrokenPromiseAbortsNamingThePlaceAndThePromise) {
  if (!gm::kExpectationsChecked) GTEST_SKIP() << "a shipped build: preconditions are not checked";
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_DEATH(GM_EXPECT(negative_count() >= 0, "counts are clamped where they are read"),
               "broken precondition at .*expect_test\\.cpp:.+: negative_count\\(\\) >= 0 "
               "\\(counts are clamped where they are read\\)");
  EXPECT_DEATH(static_cast<void>(gm::checked_size(negative_count(), "a sample count")),
               "broken precondition at .*expect_test\\.cpp:.+: count >= 0 \\(a sample count\\)");
}

TEST(Expectations, AKeptPromisePassesTheValueOn) {
  GM_EXPECT(1 + 1 == 2, "arithmetic");
  EXPECT_EQ(gm::checked_size(0, "a count"), 0u);
  EXPECT_EQ(gm::checked_size(100000, "a count"), 100000u);
  EXPECT_EQ(gm::checked_size(std::int64_t{1} << 40, "a count"), std::size_t{1} << 40);
}

}  // namespace
