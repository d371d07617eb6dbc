// Each case's response spectrum against the target: every case's pSv over the target on
// the log-log axes of the spectra chart, and per case how far it stands above or below the
// target over the periods. Drawn from the table that the response spectra file writes, so
// that the page and the file show the same numbers.
#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>
#include <string>

#include "expect/expect.hpp"
#include "report/page_parts.hpp"
#include "report/svg.hpp"

namespace report::detail {
namespace {

bool finite(double v) { return v - v == 0.0; }

// A case whose ratio pSv / target falls under this at some period is flagged: its
// spectrum does not reach the target closely enough there.
constexpr double kFlagBelow = 0.85;

double psv(const gm::RunTables& t, int c, int j) { return t.spectra_row(j)[2 * c]; }
double target_of_row(const gm::RunTables& t, int j) { return t.spectra_row(j)[0]; }

// The ratio pSv / target of one case over the period rows that have one (period, pSv and
// target finite, target not zero): its least value and the period of the first row that
// has it, its mean (summed in table order) and its greatest value.
constexpr double kNone = std::numeric_limits<double>::quiet_NaN();

struct RatioSummary {
  double min = kNone;
  double min_period = kNone;
  double mean = kNone;
  double max = kNone;
  int left_out = 0;  // period rows without a ratio
};

RatioSummary ratio_summary(const gm::RunTables& t, int c) {
  RatioSummary s;
  double sum = 0.0;
  int n = 0;
  for (int j = 1; j <= t.period_count; ++j) {
    const double r = psv(t, c, j) / target_of_row(t, j);
    if (!finite(r) || !finite(t.period(j))) {
      ++s.left_out;
      continue;
    }
    if (n == 0 || r < s.min) {
      s.min = r;
      s.min_period = t.period(j);
    }
    if (n == 0 || r > s.max) s.max = r;
    sum += r;
    ++n;
  }
  if (n > 0) s.mean = sum / static_cast<double>(n);
  return s;
}

// The lines drawn: the other cases thin, then the phase case, then the target on top.
// SpectrumLine::fault holds the case number, 0 for the target.
std::vector<SpectrumLine> chart_lines(const gm::RunTables& t) {
  std::vector<SpectrumLine> lines;
  std::vector<int> order;
  for (int c = 1; c <= t.case_count; ++c) {
    if (c != t.phase_case) order.push_back(c);
  }
  order.push_back(t.phase_case);
  order.push_back(0);
  for (const int c : order) {
    SpectrumLine line{c, {}};
    for (int j = 1; j <= t.period_count; ++j) line.values.push_back(c == 0 ? target_of_row(t, j) : psv(t, c, j));
    lines.push_back(std::move(line));
  }
  return lines;
}

std::string_view line_class(const gm::RunTables& t, int c) {
  return c == 0 ? "target" : c == t.phase_case ? "case phase" : "case";
}

void write_chart(Html& html, const gm::RunTables& t) {
  const std::vector<SpectrumLine> lines = chart_lines(t);
  const SpectrumAxes axes = spectrum_axes(t, lines, "擬似速度応答スペクトル pSv (cm/s)");
  // Points are joined in order of period, whatever order the table gives them in.
  std::vector<int> order(gm::checked_size(t.period_count, "the period count is set at start-up"));
  std::iota(order.begin(), order.end(), 1);
  std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return t.period(a) < t.period(b); });

  html.raw("<figure class=\"chart\">\n");
  const Plot plot = open_plot(html, {kChartWidth, 530, {kPlotLeft, 20.0, kPlotRight - kPlotLeft, 460.0}},
                              "各ケースの擬似速度応答スペクトルと目標", axes.x, axes.y);
  html.raw("<g class=\"lines\">\n");
  for (const SpectrumLine& line : lines) {
    std::vector<double> xy;
    for (const int j : order) {
      const double p = t.period(j), v = line.values[static_cast<std::size_t>(j - 1)];
      if (!finite(p) || !finite(v)) continue;
      xy.push_back(plot.x(p));
      xy.push_back(plot.y(v));
    }
    draw_polyline(html, xy, line_class(t, line.fault));
  }
  html.raw("</g>\n");
  close_chart(html);
  html.raw("<ul class=\"legend\">\n<li><span class=\"key target\"></span>目標</li>\n");
  html.raw("<li><span class=\"key case phase\"></span>位相ケース（ケース ").integer(t.phase_case).raw("）</li>\n");
  if (t.case_count > 1) html.raw("<li><span class=\"key case\"></span>その他のケース</li>\n");
  html.raw("</ul>\n<figcaption>pSv は各ケースの加速度波形から計算した擬似速度応答スペクトル（減衰定数 h = 0.05、");
  html.raw("参考･各ケースの応答スペクトル.csv と同じ値）。最後のサンプルの後、地動が止まってからの自由振動");
  html.raw("（周期軸の最長周期の長さ、最大 50 s）も含めた最大値です。");
  html.raw(axes.x.log ? "両対数軸、格子は 1-2-5 ごと。" : "線形軸。").raw("</figcaption>\n");
  if (!axes.x.log) {
    write_note(html, axes.left_out > 0 ? "数値でない値（CSV では * 表示）があるため、両対数軸ではなく線形軸で描いています。"
                                       : "周期または応答値にゼロ以下の値があるため、両対数軸ではなく線形軸で描いています。");
  }
  if (axes.left_out > 0) {
    write_note(html, join({std::to_string(axes.left_out), " 個の数値でない値（CSV では * 表示）はグラフから除いています。"}));
  }
  html.raw("</figure>\n");
}

// A ratio as the table shows it: three decimals, asterisks when there is none.
std::string ratio_text(double r) { return field(r, 8, 3); }

void write_ratio_table(Html& html, const gm::RunTables& t) {
  html.raw("<h3>目標に対する比 pSv ÷ 目標</h3>\n<table class=\"ratios\">\n<tr><th>ケース</th><th>フォルダ</th>");
  html.raw("<th>最小</th><th>最小の周期 (s)</th><th>平均</th><th>最大</th><th></th></tr>\n");
  int without = 0;
  for (int c = 1; c <= t.case_count; ++c) {
    const RatioSummary s = ratio_summary(t, c);
    if (s.left_out > 0) ++without;
    const bool phase = c == t.phase_case;
    html.raw(phase ? "<tr class=\"phase\">" : "<tr>");
    html.raw("<td class=\"n\">").integer(c).raw("</td><td class=\"path\">").text(case_folder_text(t, c));
    html.raw("</td><td class=\"n\">").text(ratio_text(s.min)).raw("</td><td class=\"n\">");
    html.text(field(s.min_period, 12, 4)).raw("</td><td class=\"n\">").text(ratio_text(s.mean));
    html.raw("</td><td class=\"n\">").text(ratio_text(s.max)).raw("</td><td>");
    if (phase) html.raw("<span class=\"mark\">位相ケース</span> ");
    if (s.min < kFlagBelow) html.raw("<span class=\"flag\">最小 0.85 未満</span>");
    html.raw("</td></tr>\n");
  }
  html.raw("</table>\n<p>比は周期ごとの pSv ÷ 目標。平均は比のある周期すべての算術平均。");
  html.raw("最小が 0.85 を下回るケースに印を付けています。</p>\n");
  if (without > 0) {
    write_note(html, join({std::to_string(without), " 個のケースには比を計算できない周期（pSv または目標が数値でない、"
                                                    "または目標がゼロ）があり、その周期を除いて集計しています。"}));
  }
}

}  // namespace

void write_case_spectra_section(Html& html, const PageData& d) {
  write_chart(html, d.t);
  write_ratio_table(html, d.t);
}

}  // namespace report::detail
