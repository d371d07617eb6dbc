// The page rendered from run tables in memory: its sections and charts, the numbers of its
// tables against the result files' fields, text from files escaped, values that are not
// finite, and the size and peaks of the largest run.
#include "report/page.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <limits>
#include <regex>
#include <string>
#include <vector>

#include "support/synthetic_run.hpp"

namespace {

using testing_support::synthetic_run;

const report::RunFacts kFacts{"def.csv", "/data/quake", "2025-01-08 09:30:00", "9.9.9"};

std::string render(const gm::RunTables& t, int threads = 1) {
  std::string page;
  report::render_page(t, kFacts, page, parallel::Pool(threads));
  return page;
}

std::size_t count(const std::string& text, const std::string& what) {
  std::size_t n = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

TEST(ReportPage, SectionsInOrderWithTheirCharts) {
  gm::RunTables& t = synthetic_run(2, 3, 500);
  const std::string page = render(t);
  EXPECT_EQ(page.rfind("<!DOCTYPE html>\n<html lang=\"ja\">", 0), 0u);
  std::size_t at = 0;
  for (const char* id : {"summary", "inputs", "spectra", "casespectra", "peaks", "phase", "velocity", "acceleration"}) {
    SCOPED_TRACE(id);
    const std::size_t next = page.find("<section id=\"" + std::string(id) + "\">");
    ASSERT_NE(next, std::string::npos);
    EXPECT_GT(next, at);
    at = next;
  }
  // Spectra, the cases' spectra, peaks, the phase case, then a velocity and an
  // acceleration chart per case.
  EXPECT_EQ(count(page, "<svg "), 4u + 2u * 3u);
  // Self-contained: nothing to run and nothing to fetch; the only links lead within the page.
  for (const char* absent : {"<script", "src=", "url(", "@import"}) EXPECT_EQ(count(page, absent), 0u) << absent;
  EXPECT_EQ(count(page, "href="), count(page, "href=\"#"));
  // The facts of the run, and both axes of every chart with a unit.
  for (const char* text : {"def.csv", "/data/quake", "2025-01-08 09:30:00", "gmgather 9.9.9", "周期 (s)",
                           "速度応答スペクトル Sv (cm/s)", "最大速度 (cm/s)", "時刻 (s)", "加速度 (cm/s²)", "速度 (cm/s)"}) {
    EXPECT_NE(page.find(text), std::string::npos) << text;
  }
}

TEST(ReportPage, TablesShowTheNumbersOfTheResultFiles) {
  gm::RunTables& t = synthetic_run(1, 3, 4);
  // Values whose fields round: the page must show them as the files do.
  t.peak_velocity(1) = 12.3456789;   // F14.6 -> 12.345679
  t.peak_velocity(2) = -0.0000004;   // rounds to zero: no sign
  t.peak_velocity(3) = 1e9;          // too wide for F14.6: asterisks
  t.case_rank(1) = 2;
  t.case_rank(2) = 3;
  t.case_rank(3) = 1;
  t.phase_case = 1;
  t.acceleration(2, 1) = 1.0;        // case 2 has 3 samples; its largest magnitude is
  t.acceleration(2, 2) = -2.675;     // shown without sign, to 6 decimals
  t.acceleration(2, 3) = 0.5;
  const std::string page = render(t);
  const std::string cases = page.substr(page.find("<table class=\"cases\">"));
  const std::string first_row = cases.substr(cases.find("<tr class=\"phase\">"));
  // Case 1, 4 samples: a duration of 4 steps, 0.08 s (F12.4), the peak velocity, rank 2.
  EXPECT_NE(first_row.find("<td class=\"n\">4</td><td class=\"n\">0.0800</td>"), std::string::npos);
  EXPECT_NE(first_row.find("<td class=\"n\">12.345679</td><td class=\"n\">2</td>"), std::string::npos);
  EXPECT_NE(cases.find("<td class=\"n\">2.675000</td><td class=\"n\">0.000000</td>"), std::string::npos);
  EXPECT_NE(cases.find("<td class=\"n\">**************</td><td class=\"n\">1</td>"), std::string::npos);
  // The phase case is marked in the summary and in its rows, and highlighted in each chart.
  EXPECT_EQ(count(page, "<tr class=\"phase\">"), 3u);
  EXPECT_EQ(count(page, "<span class=\"mark\">位相ケース</span>"), 4u);  // its rows, and both small charts
  EXPECT_EQ(count(page, "<rect class=\"bar phase\""), 1u);
  EXPECT_EQ(count(page, "<figure class=\"chart small phase\">"), 2u);
}

TEST(ReportPage, ValuesThatAreNotFiniteAreShownAsTheFilesShowThemAndLeftOutOfCharts) {
  const double inf = std::numeric_limits<double>::infinity();
  gm::RunTables& t = synthetic_run(2, 2, 50);
  t.target(7) = inf;
  // In each case's last sample: its velocity there alone is not a number either.
  t.acceleration(1, 50) = std::nan("");
  t.acceleration(2, 49) = -inf;
  t.peak_velocity(2) = inf;
  const std::string page = render(t);
  // The table shows the file's asterisks; no chart coordinate is "inf" or "nan".
  EXPECT_NE(page.find("<td class=\"n\">**************</td>"), std::string::npos);
  EXPECT_EQ(count(page, "nan"), 0u);
  EXPECT_EQ(count(page, "inf"), 0u);
  EXPECT_NE(page.find("数値でない値（CSV では * 表示）があるため、両対数軸ではなく線形軸"), std::string::npos);
  EXPECT_NE(page.find("1 個の数値でない値（CSV では * 表示）はグラフから除いています"), std::string::npos);
  EXPECT_NE(page.find("1 個のケースは最大速度が数値でない"), std::string::npos);
  // Each case's velocity and acceleration charts, and the phase waveform's.
  EXPECT_EQ(count(page, "1 個の数値でない値（CSV では * 表示）は描いていません"), 5u);
}

// What a reader asks of the charts: which column of the fault tables, the damping, the time
// step, the rule that picked the phase case worked for this run, the faults' folders.
TEST(ReportPage, SaysWhereTheNumbersComeFrom) {
  gm::RunTables& t = synthetic_run(3, 4, 300);
  t.fault_folder_length(2) = 3;  // the legend shows the folder as the definition file gave it: "fau"
  const std::string page = render(t);
  for (const std::string& text : std::vector<std::string>{"Velmora長周期.csv の 28 列目", "減衰定数 h = 0.05", "0.02 s（全ケース共通）",
                                 "等しいときはケース番号の小さいほうが上位",
                                 "(4 + 1) ÷ 2 で 2 位、ケース " + std::to_string(t.phase_case) + "。",
                                 "<li><span class=\"key f1\"></span>震源断層 1 ・ faults\\F1</li>",
                                 "<li><span class=\"key f2\"></span>震源断層 2 ・ fau</li>",
                                 "<li><span class=\"key target\"></span>目標</li>"}) {
    EXPECT_NE(page.find(text), std::string::npos) << text;
  }
  // Peak labels: the time to the step's two decimals.
  const std::regex label("最大 [0-9.]+ cm/s(²)?（[0-9]+\\.[0-9]{2} s）");
  EXPECT_EQ(std::distance(std::sregex_iterator(page.begin(), page.end(), label), std::sregex_iterator()), 1 + 2 * 4);
}

TEST(ReportPage, SpectraOnLinearAxesWhenAValueIsZeroOrNegative) {
  for (const double bad : {0.0, -3.0}) {
    SCOPED_TRACE(bad);
    gm::RunTables& t = synthetic_run(1, 1, 10);
    const std::string log_page = render(t);
    EXPECT_NE(log_page.find("両対数軸、格子は 1-2-5 ごと"), std::string::npos);
    t.period(1) = bad;
    const std::string page = render(t);
    EXPECT_NE(page.find("周期または Sv にゼロ以下の値があるため、両対数軸ではなく線形軸"), std::string::npos);
  }
}

// The largest run: a small page, and in every velocity chart the dot on the peak sits on
// the waveform's highest or lowest drawn point and is labelled with the table's value.
TEST(ReportPage, LargestRunStaysSmallAndKeepsEveryPeak) {
  gm::RunTables& t = synthetic_run(gm::kRunMaxFaults, gm::kRunMaxCases, gm::kMaxSamples);
  const std::string page = render(t, 2);
  EXPECT_LE(page.size(), 3u * 1000u * 1000u);
  EXPECT_TRUE(page == render(t, 1)) << "the page depends on the thread count";
  EXPECT_TRUE(page == render(t, 8)) << "the page depends on the thread count";
  const std::string velocity = page.substr(page.find("<section id=\"velocity\">"),
                                           page.find("<section id=\"acceleration\">") - page.find("<section id=\"velocity\">"));
  // Each chart: <polyline class="wave..." points="x,y x,y ..."/>, then the dot on the peak
  // (cy="...") and its label "最大 VALUE cm/s". Read by hand: the lists are long.
  const auto after = [&](std::size_t& at, const std::string& mark, char end) {
    at = velocity.find(mark, at);
    if (at == std::string::npos) return std::string();
    at += mark.size();
    const std::size_t stop = velocity.find(end, at);
    std::string text = velocity.substr(at, stop - at);
    at = stop;
    return text;
  };
  int c = 0;
  for (std::size_t at = 0;;) {
    std::string points = after(at, "points=\"", '"');
    if (at == std::string::npos) break;
    ++c;
    SCOPED_TRACE("case " + std::to_string(c));
    after(at, "<circle class=\"peak\"", ' ');
    const double peak_y = std::stod(after(at, "cy=\"", '"'));
    const std::string label = after(at, "最大 ", ' ');
    double top = 1e9, bottom = -1e9;
    for (char& ch : points) {
      if (ch == ',') ch = ' ';
    }
    const char* p = points.c_str();
    for (bool is_y = false; *p != '\0'; is_y = !is_y) {
      char* end = nullptr;
      const double v = std::strtod(p, &end);
      if (end == p) break;
      p = end;
      if (is_y) {
        top = std::min(top, v);
        bottom = std::max(bottom, v);
      }
    }
    EXPECT_TRUE(peak_y == top || peak_y == bottom) << peak_y << " not in " << top << " .. " << bottom;
    // The table's value to four significant digits (all the integer digits from 10000 up),
    // rounded to the nearest. The peaks here are above 1: no leading zeros.
    const double peak = t.peak_velocity(c);
    const int exponent = static_cast<int>(std::floor(std::log10(peak)));
    EXPECT_EQ(label.find_first_not_of("0123456789."), std::string::npos) << label;
    EXPECT_EQ(label.size() - (label.find('.') == std::string::npos ? 0 : 1),
              static_cast<std::size_t>(std::max(4, exponent + 1))) << label;
    EXPECT_NEAR(std::stod(label), peak, 0.5 * std::pow(10.0, std::min(0, exponent - 3)) * (1 + 1e-12));
  }
  EXPECT_EQ(c, gm::kRunMaxCases);
}

}  // namespace
