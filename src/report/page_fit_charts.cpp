// The design wave's charts: the spectra it was fitted on (and below the axis), R per
// period, the energy spectra, the waves in time and how the fit converged.
#include <algorithm>
#include <cmath>
#include <numeric>
#include <string>

#include "expect/expect.hpp"
#include "fitted_wave/criteria.hpp"
#include "report/page_parts.hpp"
#include "report/svg.hpp"

namespace report::detail {
namespace {

bool finite(double v) { return v - v == 0.0; }

// Period rows in order of period, for lines over the axis.
std::vector<int> period_order(const gm::RunTables& t) {
  std::vector<int> order(gm::checked_size(t.period_count, "the period count is set at start-up"));
  std::iota(order.begin(), order.end(), 1);
  std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return t.period(a) < t.period(b); });
  return order;
}

double ratio(const gm::RunTables& t, int j) { return t.fit.wave_psv[j - 1] / t.target(j); }

// A line through (period, value) points in the order given, those that are not finite
// or not positive (on a log axis) left out.
std::vector<double> line_of(const std::vector<double>& periods, const std::vector<double>& values, const Plot& plot,
                            bool log) {
  std::vector<double> xy;
  for (std::size_t i = 0; i < periods.size(); ++i) {
    if (!finite(periods[i]) || !finite(values[i]) || (log && (values[i] <= 0.0 || periods[i] <= 0.0))) continue;
    xy.push_back(plot.x(periods[i]));
    xy.push_back(plot.y(values[i]));
  }
  return xy;
}

// The axis rows' periods and the values of `column` (0-based by row), by period; with
// `shorter`, the periods below the axis first.
struct Series {
  std::vector<double> periods, values;
};
Series series(const gm::RunTables& t, const double* column, const double* shorter = nullptr) {
  Series s;
  for (int i = 0; shorter != nullptr && i < t.fit.short_count; ++i) {
    s.periods.push_back(t.fit.short_periods[i]);
    s.values.push_back(shorter[i]);
  }
  for (const int j : period_order(t)) {
    s.periods.push_back(t.period(j));
    s.values.push_back(column[j - 1]);
  }
  return s;
}

// The positive finite range of the values of several series (1 .. 1 when none).
std::pair<double, double> positive_range(std::initializer_list<const Series*> all) {
  double lo = HUGE_VAL, hi = -HUGE_VAL;
  for (const Series* s : all) {
    for (std::size_t i = 0; i < s->values.size(); ++i) {
      const double v = s->values[i], p = s->periods[i];
      if (!finite(v) || v <= 0.0 || !finite(p) || p <= 0.0) continue;
      lo = std::min(lo, v);
      hi = std::max(hi, v);
    }
  }
  return lo > hi ? std::pair{1.0, 1.0} : std::pair{lo, hi};
}

void write_legend(Html& html, std::initializer_list<std::pair<const char*, const char*>> keys) {
  html.raw("<ul class=\"legend\">");
  for (const auto& [css, name] : keys) html.raw("<li><span class=\"key ").raw(css).raw("\"></span>").text(name).raw("</li>");
  html.raw("</ul>\n");
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

void write_wave_chart(Html& html, const gm::RunTables& t, const double* values, std::string_view title,
                      std::string_view y_title, std::string_view unit, std::string_view css_class) {
  const int samples = t.fit.sample_count;
  const Envelope e = envelope_of(values, samples);
  html.raw("<figure class=\"chart small\">\n<figcaption>").text(title).raw("</figcaption>\n");
  const Plot plot = open_plot(html, {kChartWidth, 200, {kPlotLeft, 8.0, kPlotRight - kPlotLeft, 150.0}}, title,
                              {time_axis(t, samples), false, "時刻 (s)"},
                              {symmetric_axis(e.lowest(), e.highest(), 4, false), false, y_title});
  draw_waveform(html, e.points(), t.time_step, plot.x, plot.y, css_class);
  draw_peak_mark(html, t, e.peak(), plot, unit);
  close_chart(html);
  html.raw("</figure>\n");
}

}  // namespace

void write_fit_spectra_chart(Html& html, const gm::RunTables& t) {
  const gm::FitTables& f = t.fit;
  const Series target = series(t, t.target_spectrum);
  const Series phase = series(t, f.phase_psv, f.phase_short_psv);
  const Series wave = series(t, f.wave_psv, f.wave_short_psv);
  const auto [lo, hi] = positive_range({&target, &phase, &wave});
  html.raw("<figure class=\"chart\">\n");
  const Plot plot = open_plot(html, {kChartWidth, 450, {kPlotLeft, 20.0, kPlotRight - kPlotLeft, 380.0}},
                              "目標・位相ケース・模擬地震波形の擬似速度応答スペクトル",
                              {log_axis(phase.periods.front(), phase.periods.back()), true, "周期 (s)"},
                              {log_axis(lo, hi), true, "擬似速度応答スペクトル pSv (cm/s)"});
  html.raw("<g class=\"lines\">\n");
  if (f.short_count > 0) {
    const double edge = plot.x(target.periods.front());
    draw_polyline(html, {edge, plot.area.top, edge, plot.area.bottom()}, "case");
  }
  draw_polyline(html, line_of(phase.periods, phase.values, plot, true), "f2");
  draw_polyline(html, line_of(target.periods, target.values, plot, true), "target");
  draw_polyline(html, line_of(wave.periods, wave.values, plot, true), "f1");
  html.raw("</g>\n");
  close_chart(html);
  write_legend(html, {{"target", "目標"}, {"f2", "位相ケース"}, {"f1", "模擬地震波形"}});
  html.raw("<figcaption>黒の太線が目標、橙が位相ケース、青が模擬地震波形（減衰定数 h = 0.05、両対数軸）。");
  if (f.short_count > 0) html.raw("灰色の縦線より左は周期軸の外（0.02 s から）。");
  html.raw("</figcaption>\n</figure>\n");
}

void write_fit_ratio_chart(Html& html, const gm::RunTables& t) {
  const double min_ratio = fitted_wave::bound_of(fitted_wave::Criterion::MinRatio);
  double lo = min_ratio, hi = 1.0;
  for (int j = 1; j <= t.period_count; ++j) {
    if (!finite(ratio(t, j))) continue;
    lo = std::min(lo, ratio(t, j));
    hi = std::max(hi, ratio(t, j));
  }
  std::vector<double> periods, ratios;
  for (const int j : period_order(t)) {
    periods.push_back(t.period(j));
    ratios.push_back(ratio(t, j));
  }
  html.raw("<figure class=\"chart\">\n");
  const Plot plot = open_plot(html, {kChartWidth, 300, {kPlotLeft, 16.0, kPlotRight - kPlotLeft, 240.0}},
                              "周期ごとの比 R", {log_axis(periods.front(), periods.back()), true, "周期 (s)"},
                              {linear_axis(std::min(lo, 0.8), std::max(hi, 1.1), 6), false, "R = pSv ÷ 目標"});
  const double x0 = plot.area.left, x1 = plot.area.right();
  draw_polyline(html, {x0, plot.y(min_ratio), x1, plot.y(min_ratio)}, "f6");
  draw_polyline(html, line_of(periods, ratios, plot, false), "f1");
  close_chart(html);
  html.raw("<figcaption>青の線が各周期の R、朱色の線が R = 0.85（最小値の基準）。</figcaption>\n</figure>\n");
}

void write_fit_energy_chart(Html& html, const gm::RunTables& t) {
  const Series phase = series(t, t.fit.phase_energy);
  const Series wave = series(t, t.fit.wave_energy);
  const auto [lo, hi] = positive_range({&phase, &wave});
  html.raw("<figure class=\"chart\">\n");
  const Plot plot = open_plot(html, {kChartWidth, 360, {kPlotLeft, 16.0, kPlotRight - kPlotLeft, 300.0}},
                              "位相ケースと模擬地震波形のエネルギースペクトル",
                              {log_axis(phase.periods.front(), phase.periods.back()), true, "周期 (s)"},
                              {log_axis(lo, hi), true, "入力エネルギーの速度換算値 V_E (cm/s)"});
  draw_polyline(html, line_of(phase.periods, phase.values, plot, true), "f2");
  draw_polyline(html, line_of(wave.periods, wave.values, plot, true), "f1");
  close_chart(html);
  write_legend(html, {{"f2", "位相ケース"}, {"f1", "模擬地震波形"}});
  html.raw("<figcaption>橙が位相ケース、青が模擬地震波形。V_E = √(2E/m)、E/m = −∫ a(t) ẋ(t) dt（相対入力エネルギー、");
  html.raw("地動が止まるまで、秋山 1985）、減衰定数 h = 0.10、両対数軸。参考。</figcaption>\n</figure>\n");
}

void write_fit_wave_charts(Html& html, const gm::RunTables& t) {
  write_wave_chart(html, t, t.acceleration_column(t.phase_case), "位相ケースの加速度", "加速度 (cm/s²)", "cm/s²",
                   "wave phase");
  write_wave_chart(html, t, t.fit.wave, "模擬地震波形の加速度", "加速度 (cm/s²)", "cm/s²", "wave");
  write_wave_chart(html, t, t.fit.velocity, "模擬地震波形の速度", "速度 (cm/s)", "cm/s", "wave");
  write_wave_chart(html, t, t.fit.displacement, "模擬地震波形の変位", "変位 (cm)", "cm", "wave");
}

void write_fit_convergence_chart(Html& html, const gm::RunTables& t) {
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
  if (finite(f.worst[f.best])) {
    html.raw("<circle class=\"peak\" r=\"5\" cx=\"").coordinate(plot.x(f.best)).raw("\" cy=\"");
    html.coordinate(plot.y(f.worst[f.best])).raw("\"/>\n");
  }
  close_chart(html);
  html.raw("<figcaption>青の線が各回の max |R − 1|、丸が採用した回。0 回目は位相ケースそのもの（両端の処理のあと）。");
  html.raw("</figcaption>\n</figure>\n");
}

}  // namespace report::detail
