#include "evaluation/evaluation.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "support/tables.hpp"

namespace {

using testing_support::fresh_tables;

TEST(TargetSpectrum, RootSumSquareDividedByOnePointOne) {
  gm::RunTables& t = fresh_tables();
  t.fault_count = 2;
  t.spectrum(1, 1) = 3.0;
  t.spectrum(2, 1) = 4.0;
  t.spectrum(1, 2) = -2.5;
  // A sentinel in the last row and in the first row past it: a zero there could not tell
  // a row left alone from a row written with 0.
  constexpr double kSentinel = -123.0;
  t.target(55) = kSentinel;
  t.target(56) = kSentinel;
  evaluation::compute_target_spectrum(t);
  EXPECT_EQ(t.target(1), 5.0 / 1.1);
  EXPECT_EQ(t.target(2), 2.5 / 1.1);  // one fault: its value without sign
  EXPECT_EQ(t.target(55), 0.0);       // row 55 is written
  EXPECT_EQ(t.target(56), kSentinel); // rows past 55 are never written
}

void set_samples(gm::RunTables& t, int c, const std::vector<double>& samples) {
  t.case_sample_count(c) = static_cast<int>(samples.size());
  for (std::size_t j = 0; j < samples.size(); ++j) t.acceleration(c, static_cast<int>(j) + 1) = samples[j];
}

TEST(Integration, TrapezoidFromRest) {
  for (int threads : {1, 3}) {  // the cases one after the other, or side by side
    SCOPED_TRACE(threads);
    gm::RunTables& t = fresh_tables();
    t.case_count = 4;
    set_samples(t, 1, {100, 100, 100});
    set_samples(t, 2, {250});
    set_samples(t, 3, {});
    set_samples(t, 4, {-700, 0, 0, 1200});
    evaluation::integrate_case_velocities(t, parallel::Pool(threads));
    EXPECT_DOUBLE_EQ(t.velocity(1, 1), 1.0);
    EXPECT_DOUBLE_EQ(t.velocity(1, 2), 3.0);
    EXPECT_DOUBLE_EQ(t.velocity(1, 3), 5.0);
    EXPECT_EQ(t.velocity(1, 4), 0.0);  // beyond the case's own samples
    EXPECT_DOUBLE_EQ(t.peak_velocity(1), 5.0);
    EXPECT_DOUBLE_EQ(t.peak_velocity(2), 2.5);  // a single sample is integrated over one step
    EXPECT_EQ(t.peak_velocity(3), 0.0);
    // -7, -14, -14, -2: the peak is the largest magnitude, whatever its sign.
    EXPECT_DOUBLE_EQ(t.peak_velocity(4), 14.0);
  }
}

TEST(Integration, OperationOrderIsExact) {
  gm::RunTables& t = fresh_tables();
  t.case_count = 1;
  set_samples(t, 1, {0.1, 0.7, -0.3});
  evaluation::integrate_case_velocities(t);
  const double h = 0.02 * 0.5;
  const double v1 = h * 0.1;
  const double v2 = h * (0.7 + 0.1) + v1;
  const double v3 = h * (-0.3 + 0.7) + v2;
  EXPECT_EQ(t.velocity(1, 1), v1);
  EXPECT_EQ(t.velocity(1, 2), v2);
  EXPECT_EQ(t.velocity(1, 3), v3);
}

struct RankCase {
  std::vector<double> peaks;
  std::vector<int> ranks;
  int phase_case;
};

TEST(Ranking, LargestFirstTiesToTheLowerCase) {
  const RankCase cases[] = {
      {{10, 30, 30, 20}, {4, 1, 2, 3}, 3},
      {{0, 0, 0}, {1, 2, 3}, 2},
      {{5}, {1}, 1},
      {{1, 2}, {2, 1}, 2},
      {{1, 2, 3}, {3, 2, 1}, 2},
      {{4, 3, 2, 1}, {1, 2, 3, 4}, 2},
      {{0, 7}, {2, 1}, 2},
  };
  for (const RankCase& c : cases) {
    gm::RunTables& t = fresh_tables();
    t.case_count = static_cast<int>(c.peaks.size());
    for (int k = 1; k <= t.case_count; ++k) t.peak_velocity(k) = c.peaks[static_cast<std::size_t>(k - 1)];
    evaluation::rank_cases(t);
    for (int k = 1; k <= t.case_count; ++k) EXPECT_EQ(t.case_rank(k), c.ranks[static_cast<std::size_t>(k - 1)]);
    EXPECT_EQ(t.phase_case, c.phase_case);
  }
}

TEST(Ranking, PhaseCaseIsTheMiddleRank) {
  for (int count : {1, 2, 3, 4, 20, 21}) {
    SCOPED_TRACE(count);
    gm::RunTables& t = fresh_tables();
    t.case_count = count;
    // Peaks rising with the case number: rank r belongs to case count + 1 - r.
    for (int k = 1; k <= count; ++k) t.peak_velocity(k) = k;
    evaluation::rank_cases(t);
    const int middle = (count + 1) / 2;
    EXPECT_EQ(t.case_rank(t.phase_case), middle);
    EXPECT_EQ(t.phase_case, count + 1 - middle);
  }
}

}  // namespace
