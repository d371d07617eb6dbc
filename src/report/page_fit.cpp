// The design wave: the fit's criteria and what it reached, the spectra it was fitted on,
// R per period, the waves in time and how the fit converged. Shown when the run made one.
#include <algorithm>
#include <cmath>
#include <numeric>
#include <string>

#include "expect/expect.hpp"
#include "report/page_parts.hpp"
#include "report/svg.hpp"

namespace report::detail {
namespace {

constexpr double kMinRatio = gm::kFitMinRatio;
constexpr double kMaxVariation = gm::kFitMaxVariation;
constexpr double kMaxMeanError = gm::kFitMaxMeanError;
// What the long-period design practice asks of a design motion.
constexpr double kPracticeDuration = 500.0;
constexpr double kPracticeShortest = 0.1;
constexpr double kPracticeLongest = 10.0;

bool finite(double v) { return v - v == 0.0; }

// Period rows in order of period, for lines over the axis.
std::vector<int> period_order(const gm::RunTables& t) {
  std::vector<int> order(gm::checked_size(t.period_count, "the period count is set at start-up"));
  std::iota(order.begin(), order.end(), 1);
  std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return t.period(a) < t.period(b); });
  return order;
}

double ratio(const gm::RunTables& t, int j) { return t.fit.wave_psv[j - 1] / t.target(j); }

void write_criteria_table(Html& html, const gm::RunTables& t) {
  const gm::FitTables& f = t.fit;
  struct Row {
    const char* name;
    const char* bound;
    double value;
    bool passed;
  };
  const double mean_error = std::fabs(f.mean_ratio - 1.0);
  const Row rows[] = {
      {"R の最小値", "≥ 0.85", f.min_ratio, f.min_ratio >= kMinRatio},
      {"R の変動係数", "≤ 0.05", f.variation, f.variation <= kMaxVariation},
      {"|R の平均 − 1|", "≤ 0.02", mean_error, mean_error <= kMaxMeanError},
  };
  html.raw("<table>\n<tr><th>判定基準（R = 模擬波の pSv ÷ 目標）</th><th>基準</th><th>達成値</th><th>判定</th></tr>\n");
  for (const Row& r : rows) {
    html.raw("<tr><td>").text(r.name).raw("</td><td>").text(r.bound).raw("</td><td class=\"n\">");
    html.text(field(r.value, 14, 4)).raw(r.passed ? "</td><td>合格" : "</td><td><span class=\"mark\">不合格</span>");
    html.raw("</td></tr>\n");
  }
  html.raw("</table>\n");
}

void write_notes(Html& html, const gm::RunTables& t) {
  const gm::FitTables& f = t.fit;
  html.raw("<p>位相ケース（ケース ").integer(t.phase_case).raw("）のフーリエ位相を保ち、振幅を目標スペクトルに合わせて");
  html.raw("繰り返し調整した波形（入力用･模擬地震波形.csv）。調整 ").integer(f.iterations).raw(" 回（上限 ");
  html.integer(gm::kFitIterationLimit).raw(" 回）、採用は ").integer(f.best).raw(" 回目の波形");
  html.raw(f.baseline_corrected != 0 ? "（速度が静止に戻るよう基線を補正）" : "").raw("。</p>\n");
  const bool passed = f.min_ratio >= kMinRatio && f.variation <= kMaxVariation &&
                      std::fabs(f.mean_ratio - 1.0) <= kMaxMeanError;
  if (!passed) write_note(html, "判定基準を満たしていません。波形は最も近い反復のものを出力しています。");
  const double duration = static_cast<double>(f.sample_count) * t.time_step;
  html.raw("<p>継続時間 ").text(field(duration, 12, 2)).raw(" s：長周期地震動の設計用入力地震動に求められる ");
  html.raw(duration >= kPracticeDuration ? "500 s 以上です。" : "500 s に足りません。").raw("</p>\n");
  double lo = HUGE_VAL, hi = -HUGE_VAL;
  for (int j = 1; j <= t.period_count; ++j) {
    lo = std::min(lo, t.period(j));
    hi = std::max(hi, t.period(j));
  }
  html.raw("<p>周期軸 ").text(field(lo, 12, 3)).raw("〜").text(field(hi, 12, 3));
  html.raw(" s：設計で用いる 0.1〜10 s を");
  html.raw(lo <= kPracticeShortest && hi >= kPracticeLongest ? "覆っています。" : "覆っていません。").raw("</p>\n");
}

// A line over the axis periods from `value(j)`, points that are not finite or not
// positive (on a log axis) left out.
template <class Value>
std::vector<double> period_line(const gm::RunTables& t, const std::vector<int>& order, const Plot& plot, bool log,
                                Value value) {
  std::vector<double> xy;
  for (const int j : order) {
    const double p = t.period(j), v = value(j);
    if (!finite(p) || !finite(v) || (log && v <= 0.0)) continue;
    xy.push_back(plot.x(p));
    xy.push_back(plot.y(v));
  }
  return xy;
}

void write_spectra_chart(Html& html, const gm::RunTables& t, const std::vector<int>& order) {
  const gm::FitTables& f = t.fit;
  double lo = HUGE_VAL, hi = -HUGE_VAL;
  for (int j = 1; j <= t.period_count; ++j) {
    for (const double v : {t.target(j), f.phase_psv[j - 1], f.wave_psv[j - 1]}) {
      if (!finite(v) || v <= 0.0) continue;
      lo = std::min(lo, v);
      hi = std::max(hi, v);
    }
  }
  if (lo > hi) lo = hi = 1.0;
  html.raw("<figure class=\"chart\">\n");
  const Plot plot = open_plot(html, {kChartWidth, 450, {kPlotLeft, 20.0, kPlotRight - kPlotLeft, 380.0}},
                              "目標・位相ケース・模擬地震波形の擬似速度応答スペクトル",
                              {log_axis(t.period(order.front()), t.period(order.back())), true, "周期 (s)"},
                              {log_axis(lo, hi), true, "擬似速度応答スペクトル pSv (cm/s)"});
  html.raw("<g class=\"lines\">\n");
  draw_polyline(html, period_line(t, order, plot, true, [&](int j) { return f.phase_psv[j - 1]; }), "f2");
  draw_polyline(html, period_line(t, order, plot, true, [&](int j) { return t.target(j); }), "target");
  draw_polyline(html, period_line(t, order, plot, true, [&](int j) { return f.wave_psv[j - 1]; }), "f1");
  html.raw("</g>\n");
  close_chart(html);
  html.raw("<ul class=\"legend\"><li><span class=\"key target\"></span>目標</li>");
  html.raw("<li><span class=\"key f2\"></span>位相ケース</li><li><span class=\"key f1\"></span>模擬地震波形</li></ul>\n");
  html.raw("<figcaption>減衰定数 h = 0.05、両対数軸。</figcaption>\n</figure>\n");
}

void write_ratio_chart(Html& html, const gm::RunTables& t, const std::vector<int>& order) {
  double lo = kMinRatio, hi = 1.0;
  for (int j = 1; j <= t.period_count; ++j) {
    if (!finite(ratio(t, j))) continue;
    lo = std::min(lo, ratio(t, j));
    hi = std::max(hi, ratio(t, j));
  }
  html.raw("<figure class=\"chart\">\n");
  const Plot plot = open_plot(html, {kChartWidth, 300, {kPlotLeft, 16.0, kPlotRight - kPlotLeft, 240.0}},
                              "周期ごとの比 R",
                              {log_axis(t.period(order.front()), t.period(order.back())), true, "周期 (s)"},
                              {linear_axis(std::min(lo, 0.8), std::max(hi, 1.1), 6), false, "R = pSv ÷ 目標"});
  const double x0 = plot.area.left, x1 = plot.area.right();
  draw_polyline(html, {x0, plot.y(kMinRatio), x1, plot.y(kMinRatio)}, "f6");
  draw_polyline(html, period_line(t, order, plot, false, [&](int j) { return ratio(t, j); }), "f1");
  close_chart(html);
  html.raw("<figcaption>赤の線は R = 0.85（最小値の基準）。</figcaption>\n</figure>\n");
}

Envelope envelope_of(const double* values, int samples) {
  Envelope e(samples, kColumns);
  for (std::size_t col = 0; col < e.columns(); ++col) {
    const int first = e.first_of(col);
    const int count = std::min(e.first_of(col + 1), samples) - first;
    if (count > 0) e.add_span(col, first, values + first, 1, count);
  }
  return e;
}

void write_wave_chart(Html& html, const gm::RunTables& t, const Envelope& e, int samples, std::string_view title,
                      std::string_view y_title, std::string_view css_class) {
  html.raw("<figure class=\"chart small\">\n<figcaption>").text(title).raw("</figcaption>\n");
  const double m = std::max(std::fabs(e.lowest()), std::fabs(e.highest()));
  const Plot plot = open_plot(html, {kChartWidth, 200, {kPlotLeft, 8.0, kPlotRight - kPlotLeft, 150.0}}, title,
                              {linear_axis(0.0, time_of(t, std::max(1, samples) - 1), 10), false, "時刻 (s)"},
                              {linear_axis(-m, m, 4), false, y_title});
  draw_waveform(html, e.points(), t.time_step, plot.x, plot.y, css_class);
  close_chart(html);
  html.raw("</figure>\n");
}

void write_convergence_chart(Html& html, const gm::RunTables& t) {
  const gm::FitTables& f = t.fit;
  double hi = 0.0;
  for (int i = 0; i <= f.iterations; ++i) {
    if (finite(f.worst[i])) hi = std::max(hi, f.worst[i]);
  }
  html.raw("<figure class=\"chart\">\n");
  const Plot plot = open_plot(html, {kChartWidth, 260, {kPlotLeft, 16.0, kPlotRight - kPlotLeft, 200.0}},
                              "反復ごとの R の最大のずれ",
                              {linear_axis(0.0, std::max(1, f.iterations), std::min(10, std::max(1, f.iterations))),
                               false, "調整の回数"},
                              {linear_axis(0.0, std::max(hi, 0.1), 5), false, "max |R − 1|"});
  std::vector<double> xy;
  for (int i = 0; i <= f.iterations; ++i) {
    if (!finite(f.worst[i])) continue;
    xy.push_back(plot.x(i));
    xy.push_back(plot.y(f.worst[i]));
  }
  draw_polyline(html, xy, "f1");
  close_chart(html);
  html.raw("<figcaption>0 回目は位相ケースそのもの（平均を除く）。</figcaption>\n</figure>\n");
}

}  // namespace

bool fit_shown(const PageData& d) { return d.t.fit.sample_count > 0; }

void write_fit_section(Html& html, const PageData& d) {
  const gm::RunTables& t = d.t;
  const std::vector<int> order = period_order(t);
  write_notes(html, t);
  write_criteria_table(html, t);
  write_spectra_chart(html, t, order);
  write_ratio_chart(html, t, order);
  const int samples = t.fit.sample_count;
  write_wave_chart(html, t, envelope_of(t.acceleration_column(t.phase_case), samples), samples,
                   "位相ケースの加速度", "加速度 (cm/s²)", "wave phase");
  write_wave_chart(html, t, envelope_of(t.fit.wave, samples), samples, "模擬地震波形の加速度", "加速度 (cm/s²)",
                   "wave");
  write_wave_chart(html, t, envelope_of(t.fit.velocity, samples), samples, "模擬地震波形の速度", "速度 (cm/s)",
                   "wave");
  write_convergence_chart(html, t);
}

}  // namespace report::detail
