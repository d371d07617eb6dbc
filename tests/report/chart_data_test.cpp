// The numbers behind the charts: axes, ticks and tick labels, and the envelopes that must
// keep every extreme of a waveform.
#include "report/chart_data.hpp"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace {

using report::Axis;
using report::Envelope;
using report::Sample;

TEST(LinearAxis, StretchesToWholeSteps) {
  struct Case {
    double lo, hi;
    int ticks;
    bool stretch;
    double want_lo, want_hi;
    std::vector<double> want_ticks;
  };
  const Case cases[] = {
      {0.0, 128.8, 6, true, 0.0, 140.0, {0, 20, 40, 60, 80, 100, 120, 140}},
      {-3.2, 7.0, 5, true, -4.0, 8.0, {-4, -2, 0, 2, 4, 6, 8}},
      {0.0, 79.98, 10, true, 0.0, 80.0, {0, 10, 20, 30, 40, 50, 60, 70, 80}},
      {-135.0, 135.0, 4, false, -135.0, 135.0, {-100, -50, 0, 50, 100}},
      {0.0, 0.0, 4, true, -1.0, 1.0, {-1, -0.5, 0, 0.5, 1}},        // a flat line still has an axis
      {0.013, 0.041, 3, true, 0.01, 0.05, {0.01, 0.02, 0.03, 0.04, 0.05}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.lo) + " .. " + std::to_string(c.hi));
    const Axis a = report::linear_axis(c.lo, c.hi, c.ticks, c.stretch);
    EXPECT_NEAR(a.lo, c.want_lo, 1e-12);
    EXPECT_NEAR(a.hi, c.want_hi, 1e-12);
    ASSERT_EQ(a.ticks.size(), c.want_ticks.size());
    for (std::size_t i = 0; i < a.ticks.size(); ++i) {
      EXPECT_NEAR(a.ticks[i], c.want_ticks[i], 1e-12);
      EXPECT_FALSE(std::signbit(a.ticks[i]) && a.ticks[i] == 0.0);  // no "-0" label
    }
  }
}

TEST(LinearAxis, RangesAtTheEndsOfTheDoubles) {
  // hi - lo overflows; a span too narrow to step through at its magnitude; huge and tiny.
  const std::pair<double, double> ranges[] = {
      {-DBL_MAX, DBL_MAX}, {1e20, std::nextafter(1e20, 2e20)}, {0.0, 1e300}, {-5e-320, 5e-320}};
  for (const auto& [lo, hi] : ranges) {
    SCOPED_TRACE(std::to_string(lo) + " .. " + std::to_string(hi));
    const Axis a = report::linear_axis(lo, hi, 6);
    EXPECT_TRUE(std::isfinite(a.lo) && std::isfinite(a.hi));
    EXPECT_LE(a.lo, lo);
    EXPECT_GE(a.hi, hi);
    EXPECT_FALSE(a.ticks.empty());
    EXPECT_LE(a.ticks.size(), 1001u);
  }
}

TEST(LogAxis, TicksAtOneTwoFive) {
  struct Case {
    double lo, hi, want_lo, want_hi;
    std::vector<double> want_ticks;
  };
  const Case cases[] = {
      {1.0, 10.0, 1.0, 10.0, {1, 2, 5, 10}},
      {3.3, 180.0, 2.0, 200.0, {2, 5, 10, 20, 50, 100, 200}},
      {0.05, 0.3, 0.05, 0.5, {0.05, 0.1, 0.2, 0.5}},
      {27.0, 27.0, 20.0, 50.0, {20, 50}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.lo) + " .. " + std::to_string(c.hi));
    const Axis a = report::log_axis(c.lo, c.hi);
    EXPECT_NEAR(a.lo, c.want_lo, c.want_lo * 1e-12);
    EXPECT_NEAR(a.hi, c.want_hi, c.want_hi * 1e-12);
    ASSERT_EQ(a.ticks.size(), c.want_ticks.size());
    for (std::size_t i = 0; i < a.ticks.size(); ++i) EXPECT_NEAR(a.ticks[i], c.want_ticks[i], c.want_ticks[i] * 1e-12);
  }
  // Across 600 decades the ticks thin out to whole decades and stay few.
  const Axis wide = report::log_axis(1e-300, 1e300);
  EXPECT_LE(wide.ticks.size(), 70u);
  EXPECT_GE(wide.ticks.size(), 10u);
}

TEST(TickLabel, DecimalsFollowTheStep) {
  struct Case {
    double value, step;
    const char* want;
  };
  const Case cases[] = {
      {0.5, 0.1, "0.5"},   {20.0, 10.0, "20"},   {0.30000000000000004, 0.1, "0.3"},
      {-0.0, 0.5, "0.0"},    {0.05, 0.05, "0.05"}, {1e12, 1e11, "1e+12"},
      {2e-8, 1e-8, "2e-08"}, {-100.0, 100.0, "-100"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.want);
    EXPECT_EQ(report::tick_label(c.value, c.step), c.want);
  }
}

// Peak labels: four significant digits, never more decimals than the files' six; rounding
// of the binary value, exact ties to even; a value that rounds to zero has no sign.
TEST(Reading, SignificantDigitsAsAReaderNeedsThem) {
  struct Case {
    double value;
    int digits;
    const char* want;
  };
  const Case cases[] = {
      {937.258, 4, "937.3"},     {38.08328, 4, "38.08"},       {128.82072, 4, "128.8"},
      {4772.555534, 4, "4773"},  {-38.08328, 4, "-38.08"},      {9.99996, 4, "10.00"},   // carries
      {999.96, 4, "1000"},       {0.000123456, 4, "0.000123"},  {1e-9, 4, "0.000000"},   // six decimals at most
      {-1e-9, 4, "0.000000"},    {0.0, 4, "0"},                {-0.0, 4, "0"},
      {0.125, 2, "0.12"},        {0.375, 2, "0.38"},           {2.675, 3, "2.67"},      // ties; below the tie
      {12345678.0, 4, "1.235e+07"}, {9999999.6, 4, "1.000e+07"}, {DBL_MAX, 4, "1.798e+308"},
      {5.0, 0, "5"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.want);
    EXPECT_EQ(report::reading(c.value, c.digits), c.want);
  }
}

TEST(StepDecimals, AsFarAsTheStepGoes) {
  struct Case {
    double step;
    int want;
  };
  for (const Case& c : {Case{0.02, 2}, Case{0.5, 1}, Case{1.0, 0}, Case{0.025, 3}, Case{0.01, 2}, Case{1e-9, 6},
                        Case{0.0, 0}}) {
    SCOPED_TRACE(c.step);
    EXPECT_EQ(report::step_decimals(c.step), c.want);
  }
}

// The points an envelope keeps, in time order, against a plain search of every column.
TEST(Envelope, KeepsEveryColumnsExtremesInTimeOrder) {
  std::mt19937 rng(3);
  std::normal_distribution<double> noise(0.0, 10.0);
  std::vector<double> wave(100000);
  double a = 0.0;
  for (double& v : wave) v = a = 0.97 * a + noise(rng);
  const std::size_t columns = 880;
  Envelope e(static_cast<int>(wave.size()), static_cast<int>(columns));
  for (std::size_t i = 0; i < wave.size(); ++i) e.add(static_cast<int>(i), wave[i]);

  const std::vector<Sample> points = e.points();
  EXPECT_LE(points.size(), 2u * columns);
  for (std::size_t i = 1; i < points.size(); ++i) EXPECT_LT(points[i - 1].index, points[i].index);
  int peak_index = 0;
  for (std::size_t i = 0; i < wave.size(); ++i) {
    if (std::fabs(wave[i]) >= std::fabs(wave[static_cast<std::size_t>(peak_index)])) peak_index = static_cast<int>(i);
  }
  EXPECT_EQ(e.peak().index, peak_index);
  // Each point is a real sample, and each column's extremes are among the points: the
  // points of a column, min and max, are its lowest and highest sample.
  std::vector<double> low(columns, 1e300), high(columns, -1e300), drawn_low(columns, 1e300), drawn_high(columns, -1e300);
  for (std::size_t i = 0; i < wave.size(); ++i) {
    const std::size_t col = e.column_of(static_cast<int>(i));
    low[col] = std::min(low[col], wave[i]);
    high[col] = std::max(high[col], wave[i]);
  }
  for (const Sample& s : points) {
    EXPECT_EQ(s.value, wave[static_cast<std::size_t>(s.index)]);
    const std::size_t col = e.column_of(s.index);
    drawn_low[col] = std::min(drawn_low[col], s.value);
    drawn_high[col] = std::max(drawn_high[col], s.value);
  }
  EXPECT_EQ(drawn_low, low);
  EXPECT_EQ(drawn_high, high);
}

TEST(Envelope, ShortWaveformsKeepEverySampleAndSkipWhatIsNotFinite) {
  const double inf = std::numeric_limits<double>::infinity();
  Envelope e(5, 880);
  const double wave[] = {0.0, 3.0, std::nan(""), -inf, -2.0};
  for (int i = 0; i < 5; ++i) e.add(i, wave[i]);
  const std::vector<Sample> points = e.points();
  ASSERT_EQ(points.size(), 3u);
  EXPECT_EQ(points[0].index, 0);
  EXPECT_EQ(points[1].index, 1);
  EXPECT_EQ(points[2].index, 4);
  EXPECT_EQ(e.non_finite(), 2);
  EXPECT_EQ(e.peak().index, 1);
  // Equal magnitudes: the later sample, as the evaluation keeps the later peak.
  Envelope tie(3, 880);
  tie.add(0, 4.0);
  tie.add(1, -4.0);
  tie.add(2, 1.0);
  EXPECT_EQ(tie.peak().index, 1);
  // Nothing taken: no peak, and an axis range of zero.
  const Envelope none(0, 880);
  EXPECT_EQ(none.peak().index, -1);
  EXPECT_TRUE(none.points().empty());
  EXPECT_EQ(none.highest(), 0.0);
}

// A span taken at once keeps what the same samples taken one by one keep: the later of
// equal values (zeros of either sign included), nothing not finite, a span's extreme
// equal to the column's replacing it. Spans of every length up to past the pass's unroll,
// in two pieces, side by side or with a stride, short or long enough to be taken in
// several chunks, with equal extremes far apart.
TEST(Envelope, SpansKeepWhatSingleSamplesKeep) {
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::nan("");
  std::vector<std::vector<double>> waves = {
      {0.0, -0.0, 0.0, -0.0, 0.0},
      {-0.0, 3.0, -0.0, 3.0, 1.0, -2.0, -2.0, 3.0, 0.0},
      {nan, inf, -inf, nan, nan, 1.0, nan},
      {nan, -inf, inf},
      {5.0, 1.0, 5.0, 1.0, 5.0, 1.0, 5.0, 1.0, 5.0, 1.0, 5.0},
      {-7.5, 2.0, -1.0, 8.25, 8.25, -7.5, 0.5, 1e300, -1e300, 1e300, -1e300, 0.0},
      std::vector<double>(600, 0.0),
  };
  // The same few values over and over: equal extremes in many blocks and chunks, a zero
  // of each sign among them, one value that is not finite.
  std::vector<double>& long_wave = waves.back();
  const double few[] = {4.0, -0.0, -3.0, 0.0, 4.0, 1.0, -3.0};
  for (std::size_t i = 0; i < long_wave.size(); ++i) long_wave[i] = few[(i * 5) % 7];
  long_wave[300] = nan;
  for (const std::vector<double>& wave : waves) {
    const int n = static_cast<int>(wave.size());
    for (const std::ptrdiff_t stride : {1, 2}) {
      for (int cut = 0; cut <= n; cut += n > 100 ? 37 : 1) {
        SCOPED_TRACE("size " + std::to_string(n) + ", cut " + std::to_string(cut) + ", stride " +
                     std::to_string(stride));
        std::vector<double> strided(2 * wave.size(), 99.0);
        for (std::size_t i = 0; i < wave.size(); ++i) strided[static_cast<std::size_t>(stride) * i] = wave[i];
        Envelope one(n, 1), spans(n, 1);
        for (int i = 0; i < n; ++i) one.add(i, wave[static_cast<std::size_t>(i)]);
        spans.add_span(0, 0, strided.data(), stride, cut);
        spans.add_span(0, cut, strided.data() + stride * cut, stride, n - cut);
        const std::vector<Sample> want = one.points(), got = spans.points();
        ASSERT_EQ(got.size(), want.size());
        for (std::size_t i = 0; i < want.size(); ++i) {
          EXPECT_EQ(got[i].index, want[i].index);
          EXPECT_EQ(std::signbit(got[i].value), std::signbit(want[i].value));
          EXPECT_EQ(got[i].value, want[i].value);
        }
        EXPECT_EQ(spans.non_finite(), one.non_finite());
      }
    }
  }
}

}  // namespace
