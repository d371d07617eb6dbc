#include "evaluation/evaluation.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "spectra/ground_motion.hpp"
#include "support/tables.hpp"
#include "tables/case_velocity.hpp"

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

// Sample j of case c's velocity, integrated again from the checkpoint at or before it.
double velocity(const gm::RunTables& t, int c, int j) {
  double v = -1.0;
  gm::CaseVelocity(t, c, j).next(1, &v);
  return v;
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
    EXPECT_DOUBLE_EQ(velocity(t, 1, 1), 1.0);
    EXPECT_DOUBLE_EQ(velocity(t, 1, 2), 3.0);
    EXPECT_DOUBLE_EQ(velocity(t, 1, 3), 5.0);
    EXPECT_EQ(velocity(t, 1, 4), 0.0);  // beyond the case's own samples
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
  EXPECT_EQ(velocity(t, 1, 1), v1);
  EXPECT_EQ(velocity(t, 1, 2), v2);
  EXPECT_EQ(velocity(t, 1, 3), v3);
}

// The velocity is kept only at checkpoints and integrated again wherever it is read: from
// any sample, in pieces of any size, every value and the peak must be those of the whole
// integration from rest, bit for bit, whatever the samples hold.
TEST(Integration, RestartedAnywhereMatchesTheWholeBitForBit) {
  constexpr int K = gm::kVelocityCheckpointStep;
  constexpr double inf = std::numeric_limits<double>::infinity();
  gm::RunTables& t = fresh_tables();
  t.case_count = 5;
  std::vector<std::vector<double>> a(5);
  for (int j = 0; j < 3 * K + 17; ++j) a[0].push_back(std::sin(0.37 * j) * 123.456 + (j % 7 == 0 ? -0.0 : 1e-3 * j));
  a[1] = std::vector<double>(2 * K, -0.0);  // -0.0 through and through: the signs of the zeros count
  a[2] = a[0];
  a[2][K + 3] = std::nan("");  // the running velocity NaN from there on; the peak goes on unchanged
  a[3] = a[0];
  a[3][2 * K - 1] = inf;  // the last sample of a stretch: the checkpoint itself is infinite
  a[3][2 * K + 5] = -inf; // then NaN
  a[4] = std::vector<double>(a[0].begin(), a[0].begin() + K + 1);  // shorter than the longest
  for (int c = 1; c <= 5; ++c) set_samples(t, c, a[static_cast<std::size_t>(c - 1)]);
  evaluation::integrate_case_velocities(t, parallel::Pool(2));
  const auto same = [](double x, double y) { return std::memcmp(&x, &y, sizeof x) == 0; };
  for (int c = 1; c <= 5; ++c) {
    SCOPED_TRACE(c);
    const std::vector<double>& in = a[static_cast<std::size_t>(c - 1)];
    std::vector<double> whole(in.size());
    const double peak = spectra::integrate_from_rest(in, t.time_step, whole);
    EXPECT_TRUE(same(t.peak_velocity(c), peak));
    const int n = static_cast<int>(in.size());
    const int longest = 3 * K + 17;
    // Every first sample around each checkpoint, and some between, read to the end of the
    // longest case in pieces of odd sizes.
    for (int first = 1; first <= longest; first += (first % K < 3 || first % K > K - 3) ? 1 : 61) {
      gm::CaseVelocity v(t, c, first);
      std::vector<double> got(static_cast<std::size_t>(longest - first + 1), -1.0);
      for (int done = 0, piece = 1; done < static_cast<int>(got.size()); piece = piece * 3 % 97 + 1) {
        const int count = std::min(piece, static_cast<int>(got.size()) - done);
        v.next(count, got.data() + done);
        done += count;
      }
      for (int j = first; j <= longest; ++j) {
        const double want = j <= n ? whole[static_cast<std::size_t>(j - 1)] : 0.0;
        if (!same(got[static_cast<std::size_t>(j - first)], want)) {
          ADD_FAILURE() << "first " << first << ", sample " << j;
          break;
        }
      }
    }
  }
}

// What the velocity file shows: row after row, every case side by side, zeros past a case.
TEST(Integration, RowsSideBySideAsEachCaseAlone) {
  gm::RunTables& t = fresh_tables();
  t.case_count = 3;
  set_samples(t, 1, std::vector<double>(700, 3.5));
  set_samples(t, 2, {-1.0, 2.0});
  set_samples(t, 3, std::vector<double>(600, -0.25));
  evaluation::integrate_case_velocities(t);
  std::vector<double> rows(3 * 200, -1.0);
  gm::case_velocity_rows(t, 500, 200, rows.data());
  for (int r = 0; r < 200; ++r) {
    for (int c = 1; c <= 3; ++c) EXPECT_EQ(rows[static_cast<std::size_t>(r * 3 + c - 1)], velocity(t, c, 500 + r));
  }
  EXPECT_EQ(rows[1], 0.0);
  EXPECT_EQ(rows[199 * 3 + 2], 0.0);  // row 699, past case 3's 600
  EXPECT_NE(rows[99 * 3 + 2], 0.0);   // row 599, its own
}

// Cases side by side give each case's values alone, bit for bit: groups of every size
// (the odd ones end in lanes of three, two or one), cases of different lengths whose
// samples run out at different points of a piece, NaN, infinities and -0 among them.
TEST(Integration, SideBySideAsAlone) {
  constexpr int K = gm::kVelocityCheckpointStep;
  constexpr int kCases = 9;
  gm::RunTables& t = fresh_tables();
  t.case_count = kCases;
  const double inf = std::numeric_limits<double>::infinity();
  std::vector<std::vector<double>> a(kCases);
  for (std::size_t c = 0; c < a.size(); ++c) {
    const double x = static_cast<double>(c);
    const int n = (c == 4) ? 0 : 2 * K + 40 - 37 * static_cast<int>(c);
    for (int j = 0; j < n; ++j) a[c].push_back(std::cos(0.11 * j + x) * (50.0 + x) + (j % 5 == 0 ? -0.0 : 0.0));
  }
  a[1] = std::vector<double>(K + 7, -0.0);
  a[2][K + 1] = std::nan("");
  a[3][K - 1] = inf;
  a[6][20] = -inf;
  for (int c = 1; c <= kCases; ++c) set_samples(t, c, a[static_cast<std::size_t>(c - 1)]);
  evaluation::integrate_case_velocities(t, parallel::Pool(2));
  const auto same = [](double x, double y) { return std::memcmp(&x, &y, sizeof x) == 0; };
  for (int c = 1; c <= kCases; ++c) {
    std::vector<double> whole(a[static_cast<std::size_t>(c - 1)].size());
    EXPECT_TRUE(same(t.peak_velocity(c), spectra::integrate_from_rest(a[static_cast<std::size_t>(c - 1)], t.time_step, whole)))
        << "case " << c;
  }
  for (int n = 1; n <= kCases; ++n) {
    for (int first : {1, 2, K, K + 1, K + 30, 2 * K + 1}) {
      std::vector<gm::CaseVelocity> v(static_cast<std::size_t>(n));
      gm::CaseVelocity::open_together(t, 1, first, v);
      const int rows = 2 * K + 45 - first;
      std::vector<double> got(static_cast<std::size_t>(n * rows), -1.0), peak(static_cast<std::size_t>(n), 0.0);
      std::vector<double*> out;
      for (int l = 0; l < n; ++l) out.push_back(got.data() + l);
      for (int done = 0, piece = 5; done < rows; done += piece, piece = piece * 7 % 61 + 1) {
        const int count = std::min(piece, rows - done);
        gm::CaseVelocity::next_together(v, count, out.data(), n, peak.data());
        for (double*& o : out) o += static_cast<std::ptrdiff_t>(count) * n;
      }
      for (int c = 1; c <= n; ++c) {
        std::vector<double> alone(static_cast<std::size_t>(rows), -1.0);
        const double want = gm::CaseVelocity(t, c, first).next(rows, alone.data());
        EXPECT_TRUE(same(peak[static_cast<std::size_t>(c - 1)], want)) << n << " cases, first " << first << ", case " << c;
        for (int r = 0; r < rows; ++r) {
          if (!same(got[static_cast<std::size_t>(r * n + c - 1)], alone[static_cast<std::size_t>(r)])) {
            ADD_FAILURE() << n << " cases, first " << first << ", case " << c << ", row " << r;
            break;
          }
        }
      }
    }
  }
  // The file's rows, eight cases at a time and the ninth alone.
  std::vector<double> rows(static_cast<std::size_t>(kCases * 300), -1.0);
  gm::case_velocity_rows(t, K - 10, 300, rows.data());
  for (int c = 1; c <= kCases; ++c) {
    std::vector<double> alone(300, -1.0);
    gm::CaseVelocity(t, c, K - 10).next(300, alone.data());
    for (int r = 0; r < 300; ++r) EXPECT_TRUE(same(rows[static_cast<std::size_t>(r * kCases + c - 1)], alone[static_cast<std::size_t>(r)]));
  }
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
