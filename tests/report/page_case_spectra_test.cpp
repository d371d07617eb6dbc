// The section of each case's spectrum against the target: the ratio table worked out from
// the response spectra table (least value and its period, mean, greatest), the flag under
// 0.85, the phase case, and cells that are not finite left out of the chart and the sums.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "report/page.hpp"
#include "support/synthetic_run.hpp"

namespace {

const report::RunFacts kFacts{"def.csv", "/data/quake", "2025-01-08 09:30:00", "9.9.9"};

std::string section_of(const std::string& page) {
  const std::size_t at = page.find("<section id=\"casespectra\">");
  return page.substr(at, page.find("</section>", at) - at);
}

// The row of case c in the ratio table.
std::string ratio_row(const std::string& section, int c) {
  const std::string head = "<td class=\"n\">" + std::to_string(c) + "</td><td class=\"path\">";
  const std::size_t at = section.find(head, section.find("<table class=\"ratios\">"));
  return at == std::string::npos ? "" : section.substr(at, section.find("</tr>", at) - at);
}

TEST(CaseSpectraSection, RatiosOverThePeriodsWithFlagsAndThePhaseCase) {
  gm::RunTables& t = testing_support::synthetic_run(1, 3, 100);
  t.phase_case = 2;
  // Every case at a fixed ratio to the target but for one period row, and one cell that
  // is not computable. The odd ratios are clear of the others (a product then quotient
  // may move a ratio by an ulp) so that the row of the least is certain.
  struct Setting {
    int c;
    double ratio;        // at every period row but rows `odd` and `gone`
    int odd;
    double odd_ratio;
    int gone;            // a cell that is not computable, 0 for none
    std::string expect;  // min, its period, mean, max as the table shows them
    bool flagged;
  };
  const Setting settings[] = {
      // 54 rows at 1.0 and one at 0.84 (period 10^(9/54)): the mean is 54.84 / 55.
      {1, 1.0, 10, 0.84, 0, "0.840|1.4678|0.997|1.000", true},
      {2, 1.2, 55, 0.86, 0, "0.860|10.0000|1.194|1.200", false},
      // Row 1 left out: the mean is (53 * 0.9 + 0.88) / 54.
      {3, 0.9, 30, 0.88, 1, "0.880|3.4438|0.900|0.900", false},
  };
  for (const Setting& s : settings) {
    for (int j = 1; j <= t.period_count; ++j) {
      double* row = t.spectra_row(j);
      row[2 * s.c] = j == s.gone ? std::nan("") : (j == s.odd ? s.odd_ratio : s.ratio) * row[0];
    }
  }
  std::string page;
  report::render_page(t, kFacts, page, parallel::Pool(1));
  const std::string section = section_of(page);
  for (const Setting& s : settings) {
    SCOPED_TRACE(s.c);
    const std::string row = ratio_row(section, s.c);
    ASSERT_FALSE(row.empty());
    std::string cells;
    for (std::size_t at = row.find("<td class=\"n\">", 1); at != std::string::npos; at = row.find("<td class=\"n\">", at + 1)) {
      const std::size_t from = at + 14;
      cells += (cells.empty() ? "" : "|") + row.substr(from, row.find("</td>", from) - from);
    }
    EXPECT_EQ(cells, s.expect);
    EXPECT_EQ(row.find("最小 0.85 未満") != std::string::npos, s.flagged);
    EXPECT_EQ(row.find("位相ケース") != std::string::npos, s.c == t.phase_case);
  }
  // The phase case's line is drawn apart from the others; the target over all.
  EXPECT_EQ(section.find("<tr class=\"phase\"><td class=\"n\">2</td>") != std::string::npos, true);
  EXPECT_NE(section.find("class=\"case phase\""), std::string::npos);
  EXPECT_NE(section.find("class=\"target\""), std::string::npos);
  EXPECT_NE(section.find("1 個の数値でない値（CSV では * 表示）はグラフから除いています"), std::string::npos);
  EXPECT_NE(section.find("1 個のケースには比を計算できない周期"), std::string::npos);
  EXPECT_EQ(section.find("nan"), std::string::npos);
}

TEST(CaseSpectraSection, ACaseWithoutAnyRatioShowsTheFilesAsterisks) {
  gm::RunTables& t = testing_support::synthetic_run(1, 2, 50);
  for (int j = 1; j <= t.period_count; ++j) t.spectra_row(j)[2 * 2] = std::nan("");
  std::string page;
  report::render_page(t, kFacts, page, parallel::Pool(1));
  const std::string row = ratio_row(section_of(page), 2);
  EXPECT_NE(row.find("<td class=\"n\">********</td><td class=\"n\">************</td><td class=\"n\">********</td>"),
            std::string::npos)
      << row;
  EXPECT_EQ(row.find("0.85 未満"), std::string::npos);
}

}  // namespace
