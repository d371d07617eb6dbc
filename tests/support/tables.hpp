#pragma once
// Run tables for tests: one large instance per test program, handed out with every cell
// at its load-time zero and the two fixed settings in place.
#include <cstring>

#include "tables/run_tables.hpp"

namespace testing_support {

inline gm::RunTables& fresh_tables() {
  static gm::RunTables t;
  std::memset(&t, 0, sizeof t);
  t.period_count = gm::kPeriodCount;
  t.time_step = gm::kTimeStep;
  return t;
}

}  // namespace testing_support
