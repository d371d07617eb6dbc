#pragma once
// Preconditions that are checked, not only written down. A room that assumes something of
// its input states it where the assumption is made:
//
//   GM_EXPECT(phase_case >= 1, "the ranking names a phase case before anything reads it");
//
// In the test, sanitizer and fuzz builds (GMGATHER_EXPECTATIONS=1) a broken promise
// writes one line on standard error, with the file, the line, the condition and who made
// the promise, and aborts, so that CI fails loudly where the promise broke instead of
// reading past a table. In the shipped builds it compiles to nothing and the condition is
// not evaluated (it must have no effect the program relies on).
//
// Signed counts (of samples, cases, periods) become sizes through checked_size, which
// holds them to the same promise: a count of -5 turned into a size is 2^64 - 5.
#include <cstddef>
#include <cstdio>
#include <cstdlib>

#ifndef GMGATHER_EXPECTATIONS
#define GMGATHER_EXPECTATIONS 0
#endif

namespace gm {

// Reports a broken promise and aborts. Out of line in the caller's eyes ([[gnu::cold]]),
// so that the check costs a compare and a branch that is never taken.
[[noreturn, gnu::cold, gnu::noinline]] inline void expectation_failed(const char* file, int line,
                                                                      const char* condition,
                                                                      const char* promise) noexcept {
  std::fprintf(stderr, "gmgather: broken precondition at %s:%d: %s (%s)\n", file, line, condition, promise);
  std::fflush(stderr);
  std::abort();
}

inline constexpr bool kExpectationsChecked = GMGATHER_EXPECTATIONS != 0;

// The size of a count that its caller promises is not negative:
//   checked_size(3, "...") -> 3;  checked_size(-5, "...") -> aborts where checked.
template <class Int>
constexpr std::size_t checked_size(Int count, const char* promise, const char* file = __builtin_FILE(),
                                   int line = __builtin_LINE()) noexcept {
  if constexpr (kExpectationsChecked) {
    if (count < 0) [[unlikely]] expectation_failed(file, line, "count >= 0", promise);
  }
  return static_cast<std::size_t>(count);
}

}  // namespace gm

#if GMGATHER_EXPECTATIONS
#define GM_EXPECT(condition, promise) \
  ((condition) ? static_cast<void>(0) : ::gm::expectation_failed(__FILE__, __LINE__, #condition, promise))
#else
// Not evaluated, but still compiled: a condition that no longer compiles is found in
// every build.
#define GM_EXPECT(condition, promise) static_cast<void>(sizeof(static_cast<bool>(condition)))
#endif
