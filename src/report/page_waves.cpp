// The waveform charts: the phase case's acceleration on its own, then every case's
// velocity and acceleration as small charts that share one time axis and one scale.
#include <algorithm>
#include <cmath>
#include <string>

#include "report/page_parts.hpp"
#include "report/svg.hpp"

namespace report::detail {

// A symmetric axis around zero that holds [lowest, highest]; unstretched it ends a little
// beyond the largest value, so a small chart uses its height for the waveform.
Axis symmetric_axis(double lowest, double highest, int ticks, bool stretch) {
  double m = std::max(std::fabs(lowest), std::fabs(highest));
  if (!stretch && m < 1e300) m *= 1.08;
  return linear_axis(-m, m, ticks, stretch);
}

// A time axis for `samples` samples, from 0 to the last sample's time.
Axis time_axis(const gm::RunTables& t, int samples) {
  return linear_axis(0.0, time_of(t, std::max(1, samples) - 1), 10);
}

// The dot on a waveform's peak, at the signed value of the peak sample as the table holds
// it, labelled with its magnitude to four significant digits and its time to the step's
// decimals: "最大 937.3 cm/s²（19.50 s）". The table of cases gives the files' digits.
void draw_peak_mark(Html& html, const gm::RunTables& t, const Sample& peak, const Plot& plot,
                    std::string_view unit) {
  if (peak.index < 0) return;
  const double time = time_of(t, peak.index);
  const double px = plot.x(time);
  const double py = plot.y(peak.value);
  html.raw("<circle class=\"peak\" r=\"4\" cx=\"").coordinate(px).raw("\" cy=\"").coordinate(py).raw("\"/>");
  const std::string label = join({"最大 ", reading(std::fabs(peak.value), 4), " ", unit, "（",
                                  field(time, 12, step_decimals(t.time_step)), " s）"});
  // The label stands beside the dot, on the side with room, inside the plot; the style
  // sheet rings it with white so the waveform under it does not blur it.
  const PlotArea& area = plot.area;
  const bool left = px > area.left + area.width * 0.6;
  const double ly = std::clamp(py + 4.0, area.top + 12.0, area.bottom() - 4.0);
  draw_text(html, left ? px - 10.0 : px + 10.0, ly, left ? "pk end" : "pk", label);
  html.raw("\n");
}

namespace {

struct WaveKind {
  const char* name;  // for a screen reader: "速度波形 ケース 3"
  const char* y_title;
  const char* unit;
  Envelope CaseWaves::*envelope;
  WaveRange PageData::*range;
};

constexpr WaveKind kVelocity{"速度波形", "速度 (cm/s)", "cm/s", &CaseWaves::velocity, &PageData::velocity_range};
constexpr WaveKind kAcceleration{"加速度波形", "加速度 (cm/s²)", "cm/s²", &CaseWaves::acceleration,
                                 &PageData::acceleration_range};

void write_shared_axes_note(Html& html, const PageData& d) {
  html.raw("<p>全ケース共通の時刻軸と縦軸（時間刻み ").text(time_step_text(d.t));
  html.raw(" s）。点と数値は各ケースの最大（絶対値）とその時刻。</p>\n");
}

// The chart of case c, on the axes every case's chart of its kind shares.
void write_case_chart(Html& html, const PageData& d, const WaveKind& kind, int c) {
  const gm::RunTables& t = d.t;
  const WaveRange& range = d.*kind.range;
  const ChartBox box{kChartWidth, 162, {kPlotLeft, 8.0, kPlotRight - kPlotLeft, 110.0}};
  const ChartAxis x{time_axis(t, d.longest), false, "時刻 (s)"};
  const ChartAxis y{symmetric_axis(range.lowest, range.highest, 4, false), false, kind.y_title};
  const Envelope& e = d.cases[static_cast<std::size_t>(c - 1)].*kind.envelope;
  const bool phase = c == t.phase_case;
  html.raw(phase ? "<figure class=\"chart small phase\">\n" : "<figure class=\"chart small\">\n");
  html.raw("<figcaption><b>ケース ").integer(c).raw("</b> ").text(case_folder_text(t, c));
  html.raw(" ・ 順位 ").integer(t.case_rank(c));
  if (phase) html.raw(" <span class=\"mark\">位相ケース</span>");
  html.raw("</figcaption>\n");
  const Plot plot = open_plot(html, box, join({kind.name, " ケース ", std::to_string(c)}), x, y);
  draw_waveform(html, e.points(), t.time_step, plot.x, plot.y, phase ? "wave phase" : "wave");
  draw_peak_mark(html, t, e.peak(), plot, kind.unit);
  close_chart(html);
  if (const int left_out = e.non_finite(); left_out > 0) {
    write_note(html, std::to_string(left_out) + " 個の数値でない値（CSV では * 表示）は描いていません。");
  }
  html.raw("</figure>\n");
}

}  // namespace

void write_phase_section(Html& html, const PageData& d) {
  const gm::RunTables& t = d.t;
  const int c = t.phase_case;
  const int samples = t.case_sample_count(c);

  html.raw("<figure class=\"chart phase\">\n");
  html.raw("<figcaption><b>ケース ").integer(c).raw("</b> ").text(case_folder_text(t, c));
  html.raw(" ・ ").integer(samples).raw(" サンプル（入力用･位相用加速度波形.csv の内容）</figcaption>\n");
  const Plot plot =
      open_plot(html, {kChartWidth, 312, {kPlotLeft, 16.0, kPlotRight - kPlotLeft, 250.0}}, "位相ケースの加速度波形",
                {time_axis(t, samples), false, "時刻 (s)"},
                {symmetric_axis(d.phase.lowest(), d.phase.highest(), 6, true), false, "加速度 (cm/s²)"});
  draw_waveform(html, d.phase.points(), t.time_step, plot.x, plot.y, "wave phase");
  draw_peak_mark(html, t, d.phase.peak(), plot, "cm/s²");
  close_chart(html);
  if (d.phase.non_finite() > 0) {
    write_note(html, std::to_string(d.phase.non_finite()) + " 個の数値でない値（CSV では * 表示）は描いていません。");
  }
  html.raw("</figure>\n");
}

int case_parts(const PageData& d) { return d.t.case_count; }

void write_velocity_section(Html& html, const PageData& d) { write_shared_axes_note(html, d); }
void write_velocity_chart(Html& html, const PageData& d, int part) { write_case_chart(html, d, kVelocity, part + 1); }

void write_acceleration_section(Html& html, const PageData& d) { write_shared_axes_note(html, d); }
void write_acceleration_chart(Html& html, const PageData& d, int part) {
  write_case_chart(html, d, kAcceleration, part + 1);
}

}  // namespace report::detail
