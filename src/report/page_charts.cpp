// The spectra and the peak velocities: the two charts that compare faults and cases.
#include <algorithm>
#include <cmath>
#include <numeric>
#include <string>

#include "expect/expect.hpp"
#include "report/page_parts.hpp"
#include "report/svg.hpp"

namespace report::detail {
namespace {

bool finite(double v) { return v - v == 0.0; }

// The class that colours the line of fault k, or of the target (k = 0).
std::string line_class(int k) { return k == 0 ? std::string("target") : join({"f", std::to_string(k)}); }

std::string count_note(int count, std::string_view what) {
  return join({std::to_string(count), " 個の", what});
}

// The key to the lines, under the chart: each fault by its number and folder, which may
// be long (the list wraps where a path would not fit), then the target.
void write_legend(Html& html, const gm::RunTables& t, const std::vector<SpectrumLine>& lines) {
  html.raw("<ul class=\"legend\">\n");
  for (const SpectrumLine& line : lines) {
    const int k = line.fault;
    html.raw("<li><span class=\"key ").raw(line_class(k)).raw("\"></span>");
    if (k == 0) {
      html.raw("目標");
    } else {
      html.raw("震源断層 ").integer(k).raw(" ・ ").text(fault_folder_text(t, k));
    }
    html.raw("</li>\n");
  }
  html.raw("</ul>\n");
}

}  // namespace

SpectrumAxes spectrum_axes(const gm::RunTables& t, const std::vector<SpectrumLine>& lines, std::string_view y_title) {
  int left_out = 0;
  bool log_ok = true;
  double x_lo = HUGE_VAL, x_hi = -HUGE_VAL, y_lo = HUGE_VAL, y_hi = -HUGE_VAL;
  for (const SpectrumLine& line : lines) {
    for (int j = 1; j <= t.period_count; ++j) {
      const double p = t.period(j), v = line.values[static_cast<std::size_t>(j - 1)];
      if (!finite(p) || !finite(v)) {
        ++left_out;
        log_ok = false;
        continue;
      }
      if (p <= 0.0 || v <= 0.0) log_ok = false;
      x_lo = std::min(x_lo, p);
      x_hi = std::max(x_hi, p);
      y_lo = std::min(y_lo, v);
      y_hi = std::max(y_hi, v);
    }
  }
  if (x_lo > x_hi) x_lo = x_hi = y_lo = y_hi = 0.0;  // nothing drawable at all
  return {{log_ok ? log_axis(x_lo, x_hi) : linear_axis(std::min(0.0, x_lo), x_hi, 10), log_ok, "周期 (s)"},
          {log_ok ? log_axis(y_lo, y_hi) : linear_axis(std::min(0.0, y_lo), y_hi, 8), log_ok, y_title},
          left_out};
}

void write_spectra_section(Html& html, const PageData& d) {
  const gm::RunTables& t = d.t;
  std::vector<SpectrumLine> lines;
  for (int k = 1; k <= t.fault_count; ++k) {
    SpectrumLine line{k, {}};
    for (int j = 1; j <= t.period_count; ++j) line.values.push_back(t.spectrum(k, j));
    lines.push_back(std::move(line));
  }
  SpectrumLine target{0, {}};
  for (int j = 1; j <= t.period_count; ++j) target.values.push_back(t.target(j));
  lines.push_back(std::move(target));

  const SpectrumAxes axes = spectrum_axes(t, lines, "速度応答スペクトル Sv (cm/s)");
  const bool log_ok = axes.x.log;
  const int left_out = axes.left_out;

  // Points are joined in order of period, whatever order the table gives them in.
  std::vector<int> order(gm::checked_size(t.period_count, "the period count is set at start-up"));
  std::iota(order.begin(), order.end(), 1);
  std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return t.period(a) < t.period(b); });

  html.raw("<figure class=\"chart\">\n");
  const Plot plot = open_plot(
      html, {kChartWidth, 530, {kPlotLeft, 20.0, kPlotRight - kPlotLeft, 460.0}},
      "各震源断層と目標の速度応答スペクトル",
      axes.x, axes.y);
  html.raw("<g class=\"lines\">\n");
  for (const SpectrumLine& line : lines) {
    std::vector<double> xy;
    for (const int j : order) {
      const double p = t.period(j), v = line.values[static_cast<std::size_t>(j - 1)];
      if (!finite(p) || !finite(v)) continue;
      xy.push_back(plot.x(p));
      xy.push_back(plot.y(v));
    }
    draw_polyline(html, xy, line_class(line.fault));
  }
  html.raw("</g>\n");
  close_chart(html);
  write_legend(html, t, lines);
  html.raw("<figcaption>Sv は各震源断層の Velmora長周期.csv の 28 列目（減衰定数 h = 0.05）。");
  html.raw("目標 = 各震源断層の Sv の二乗和平方根 ÷ 1.1（周期ごと）。");
  html.raw(log_ok ? "両対数軸、格子は 1-2-5 ごと。" : "線形軸。").raw("</figcaption>\n");
  if (!log_ok) {
    write_note(html, left_out > 0 ? "数値でない値（CSV では * 表示）があるため、両対数軸ではなく線形軸で描いています。"
                                  : "周期または Sv にゼロ以下の値があるため、両対数軸ではなく線形軸で描いています。");
  }
  if (left_out > 0) write_note(html, count_note(left_out, "数値でない値（CSV では * 表示）はグラフから除いています。"));
  html.raw("</figure>\n");
}

void write_peaks_section(Html& html, const PageData& d) {
  const gm::RunTables& t = d.t;
  const int n = t.case_count;
  double top = 0.0;
  int left_out = 0;
  for (int c = 1; c <= n; ++c) {
    if (finite(t.peak_velocity(c))) {
      top = std::max(top, t.peak_velocity(c));
    } else {
      ++left_out;
    }
  }
  html.raw("<figure class=\"chart\">\n");
  // The case numbers stand under the bars in place of tick labels.
  const Plot plot = open_plot(html, {kChartWidth, 366, {kPlotLeft, 30.0, kPlotRight - kPlotLeft, 290.0}},
                              "ケースごとの最大速度と順位", {Axis{0.5, n + 0.5, {}}, false, "ケース番号"},
                              {linear_axis(0.0, top, 6), false, "最大速度 (cm/s)"});
  const PlotArea& area = plot.area;
  const double slot = area.width / n;
  html.raw("<g class=\"bars\">\n");
  for (int c = 1; c <= n; ++c) {
    const double centre = plot.x(c);
    const bool phase = c == t.phase_case;
    draw_text(html, centre, area.bottom() + 16.0, "xt", std::to_string(c));
    const double v = t.peak_velocity(c);
    if (!finite(v)) continue;
    const double bar_top = plot.y(v);
    html.raw(phase ? "<rect class=\"bar phase\"" : "<rect class=\"bar\"");
    html.raw(" x=\"").coordinate(centre - slot * 0.3).raw("\" y=\"").coordinate(bar_top);
    html.raw("\" width=\"").coordinate(slot * 0.6).raw("\" height=\"").coordinate(area.bottom() - bar_top);
    html.raw("\"/>");
    draw_text(html, centre, bar_top - 6.0, phase ? "rk phase" : "rk", std::to_string(t.case_rank(c)) + "位");
    html.raw("\n");
  }
  html.raw("</g>\n");
  close_chart(html);
  html.raw("<figcaption>棒の上の数字は最大速度の順位（1位 = 最大、等しいときはケース番号の小さいほうが上位）。");
  html.raw("色の違う棒が位相ケース（ケース ").integer(t.phase_case).raw("、順位 (").integer(n);
  html.raw(" + 1) ÷ 2 の端数切り捨て = ").integer(t.case_rank(t.phase_case)).raw("位）。</figcaption>\n");
  if (left_out > 0) write_note(html, count_note(left_out, "ケースは最大速度が数値でない（CSV では * 表示）ため棒を描いていません。"));
  html.raw("</figure>\n");
}

}  // namespace report::detail
