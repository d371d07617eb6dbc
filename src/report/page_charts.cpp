// The spectra and the peak velocities: the two charts that compare faults and cases.
#include <algorithm>
#include <cmath>
#include <numeric>
#include <string>

#include "report/page_parts.hpp"
#include "report/svg.hpp"

namespace report::detail {
namespace {

bool finite(double v) { return v - v == 0.0; }

// One line of the spectra chart: fault k (1..6) or the target (0).
struct SpectrumLine {
  int fault = 0;
  std::vector<double> values;  // per period row
};

std::string count_note(int count, std::string_view what) {
  return join({std::to_string(count), " 個の", what});
}

void draw_legend(Html& html, const std::vector<SpectrumLine>& lines, double x, double y) {
  html.raw("<g class=\"legend\">");
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const double at = y + 24.0 * static_cast<double>(i);
    const int k = lines[i].fault;
    const std::string cls = k == 0 ? std::string("target") : join({"f", std::to_string(k)});
    html.raw("<line class=\"").raw(cls).raw("\" x1=\"").coordinate(x).raw("\" y1=\"").coordinate(at);
    html.raw("\" x2=\"").coordinate(x + 30.0).raw("\" y2=\"").coordinate(at).raw("\"/>");
    draw_text(html, x + 38.0, at + 5.0, "lg", k == 0 ? std::string("目標") : join({"震源断層 ", std::to_string(k)}));
  }
  html.raw("</g>\n");
}

}  // namespace

void write_spectra_section(Html& html, PageData& d) {
  gm::RunTables& t = d.t;
  std::vector<SpectrumLine> lines;
  for (int k = 1; k <= t.fault_count; ++k) {
    SpectrumLine line{k, {}};
    for (int j = 1; j <= t.period_count; ++j) line.values.push_back(t.spectrum(k, j));
    lines.push_back(std::move(line));
  }
  SpectrumLine target{0, {}};
  for (int j = 1; j <= t.period_count; ++j) target.values.push_back(t.target(j));
  lines.push_back(std::move(target));

  // Which points can be drawn, and whether log axes can hold them all.
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

  const PlotArea area{kPlotLeft, 20.0, 720.0, 460.0};
  const Scale x = log_ok ? Scale(log_axis(x_lo, x_hi), true, area.left, area.right())
                         : Scale(linear_axis(std::min(0.0, x_lo), x_hi, 10), false, area.left, area.right());
  const Scale y = log_ok ? Scale(log_axis(y_lo, y_hi), true, area.bottom(), area.top)
                         : Scale(linear_axis(std::min(0.0, y_lo), y_hi, 8), false, area.bottom(), area.top);

  // Points are joined in order of period, whatever order the table gives them in.
  std::vector<int> order(static_cast<std::size_t>(t.period_count));
  std::iota(order.begin(), order.end(), 1);
  std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return t.period(a) < t.period(b); });

  html.raw("<section id=\"spectra\">\n<h2>3. 速度応答スペクトル</h2>\n<figure class=\"chart\">\n");
  open_chart(html, kChartWidth, 530, "各震源断層と目標の速度応答スペクトル");
  draw_frame(html, area, x, y, "周期 (s)", "速度応答スペクトル Sv (cm/s)");
  html.raw("<g class=\"lines\">\n");
  for (const SpectrumLine& line : lines) {
    std::vector<double> xy;
    for (const int j : order) {
      const double p = t.period(j), v = line.values[static_cast<std::size_t>(j - 1)];
      if (!finite(p) || !finite(v)) continue;
      xy.push_back(x(p));
      xy.push_back(y(v));
    }
    draw_polyline(html, xy, line.fault == 0 ? std::string("target") : join({"f", std::to_string(line.fault)}));
  }
  html.raw("</g>\n");
  draw_legend(html, lines, area.right() + 24.0, area.top + 16.0);
  close_chart(html);
  html.raw("<figcaption>目標 = 各震源断層の Sv の二乗和平方根 ÷ 1.1（周期ごと）。");
  html.raw(log_ok ? "両対数軸、格子は 1-2-5 ごと。" : "線形軸。").raw("</figcaption>\n");
  if (!log_ok) {
    write_note(html, left_out > 0 ? "数値でない値（CSV では * 表示）があるため、両対数軸ではなく線形軸で描いています。"
                                  : "周期または Sv にゼロ以下の値があるため、両対数軸ではなく線形軸で描いています。");
  }
  if (left_out > 0) write_note(html, count_note(left_out, "数値でない値（CSV では * 表示）はグラフから除いています。"));
  html.raw("</figure>\n</section>\n");
}

void write_peaks_section(Html& html, PageData& d) {
  gm::RunTables& t = d.t;
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
  const PlotArea area{kPlotLeft, 30.0, kPlotRight - kPlotLeft, 290.0};
  // The case numbers stand under the bars in place of tick labels.
  const Scale x(Axis{0.5, n + 0.5, {}}, false, area.left, area.right());
  const Scale y(linear_axis(0.0, top, 6), false, area.bottom(), area.top);
  const double slot = area.width / n;

  html.raw("<section id=\"peaks\">\n<h2>4. 最大速度</h2>\n<figure class=\"chart\">\n");
  open_chart(html, kChartWidth, 366, "ケースごとの最大速度と順位");
  draw_frame(html, area, x, y, "ケース番号", "最大速度 (cm/s)");
  html.raw("<g class=\"bars\">\n");
  for (int c = 1; c <= n; ++c) {
    const double centre = x(c);
    const bool phase = c == t.phase_case;
    draw_text(html, centre, area.bottom() + 16.0, "xt", std::to_string(c));
    const double v = t.peak_velocity(c);
    if (!finite(v)) continue;
    const double bar_top = y(v);
    html.raw(phase ? "<rect class=\"bar phase\"" : "<rect class=\"bar\"");
    html.raw(" x=\"").coordinate(centre - slot * 0.3).raw("\" y=\"").coordinate(bar_top);
    html.raw("\" width=\"").coordinate(slot * 0.6).raw("\" height=\"").coordinate(area.bottom() - bar_top);
    html.raw("\"/>");
    draw_text(html, centre, bar_top - 6.0, phase ? "rk phase" : "rk", std::to_string(t.case_rank(c)) + "位");
    html.raw("\n");
  }
  html.raw("</g>\n");
  close_chart(html);
  html.raw("<figcaption>棒の上の数字は最大速度の順位（1位 = 最大）。色の違う棒が位相ケース（ケース ");
  html.integer(t.phase_case).raw("、").integer(t.case_rank(t.phase_case)).raw("位）。</figcaption>\n");
  if (left_out > 0) write_note(html, count_note(left_out, "ケースは最大速度が数値でない（CSV では * 表示）ため棒を描いていません。"));
  html.raw("</figure>\n</section>\n");
}

}  // namespace report::detail
