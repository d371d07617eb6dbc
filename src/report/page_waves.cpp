// The waveform charts: the phase case's acceleration on its own, then every case's
// velocity and acceleration as small charts that share one time axis and one scale.
#include <algorithm>
#include <cmath>
#include <string>

#include "report/page_parts.hpp"
#include "report/svg.hpp"

namespace report::detail {
namespace {

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

// The dot on a waveform's peak, and its value and time as the result files give them.
void draw_peak_mark(Html& html, const gm::RunTables& t, const Sample& peak, const Scale& x, const Scale& y,
                    std::string_view unit, const PlotArea& area) {
  if (peak.index < 0) return;
  const double value_in_file = peak.value;
  const double time = time_of(t, peak.index);
  const double px = x(time);
  const double py = y(value_in_file);
  html.raw("<circle class=\"peak\" r=\"4\" cx=\"").coordinate(px).raw("\" cy=\"").coordinate(py).raw("\"/>");
  const std::string label =
      join({"最大 ", field(std::fabs(value_in_file), 14, 6), " ", unit, "（", field(time, 12, 4), " s）"});
  // The label stands beside the dot, on the side with room, inside the plot; the style
  // sheet rings it with white so the waveform under it does not blur it.
  const bool left = px > area.left + area.width * 0.6;
  const double ly = std::clamp(py + 4.0, area.top + 12.0, area.bottom() - 4.0);
  draw_text(html, left ? px - 10.0 : px + 10.0, ly, left ? "pk end" : "pk", label);
  html.raw("\n");
}

// The signed value at the peak sample (the table's own value; the envelope kept it).

struct WaveKind {
  const char* id;
  const char* heading;
  const char* y_title;
  const char* unit;
  Envelope CaseWaves::*envelope;
};

void write_case_charts(Html& html, PageData& d, const WaveKind& kind) {
  gm::RunTables& t = d.t;
  double lowest = 0.0, highest = 0.0;
  for (const CaseWaves& w : d.cases) {
    lowest = std::min(lowest, (w.*kind.envelope).lowest());
    highest = std::max(highest, (w.*kind.envelope).highest());
  }
  const PlotArea area{kPlotLeft, 8.0, kPlotRight - kPlotLeft, 110.0};
  const Scale x(time_axis(t, d.longest), false, area.left, area.right());
  const Scale y(symmetric_axis(lowest, highest, 4, false), false, area.bottom(), area.top);

  html.raw("<section id=\"").raw(kind.id).raw("\">\n<h2>").raw(kind.heading).raw("</h2>\n");
  html.raw("<p>全ケース共通の時刻軸と縦軸。点と数値は各ケースの最大（絶対値）とその時刻。</p>\n");
  for (int c = 1; c <= t.case_count; ++c) {
    const CaseWaves& w = d.cases[static_cast<std::size_t>(c - 1)];
    const bool phase = c == t.phase_case;
    html.raw(phase ? "<figure class=\"chart small phase\">\n" : "<figure class=\"chart small\">\n");
    html.raw("<figcaption><b>ケース ").integer(c).raw("</b> ").text(case_folder_text(t, c));
    html.raw(" ・ 順位 ").integer(t.case_rank(c));
    if (phase) html.raw(" <span class=\"mark\">位相ケース</span>");
    html.raw("</figcaption>\n");
    open_chart(html, kChartWidth, 162, join({kind.heading, " ケース ", std::to_string(c)}));
    draw_frame(html, area, x, y, "時刻 (s)", kind.y_title);
    draw_waveform(html, (w.*kind.envelope).points(), t.time_step, x, y, phase ? "wave phase" : "wave");
    draw_peak_mark(html, t, (w.*kind.envelope).peak(), x, y, kind.unit, area);
    close_chart(html);
    const int left_out = (w.*kind.envelope).non_finite();
    if (left_out > 0) {
      write_note(html, std::to_string(left_out) + " 個の数値でない値（CSV では * 表示）は描いていません。");
    }
    html.raw("</figure>\n");
  }
  html.raw("</section>\n");
}

}  // namespace

void write_phase_section(Html& html, PageData& d) {
  gm::RunTables& t = d.t;
  const int c = t.phase_case;
  const int samples = t.case_sample_count(c);
  const PlotArea area{kPlotLeft, 16.0, kPlotRight - kPlotLeft, 250.0};
  const Scale x(time_axis(t, samples), false, area.left, area.right());
  const Scale y(symmetric_axis(d.phase.lowest(), d.phase.highest(), 6, true), false, area.bottom(), area.top);

  html.raw("<section id=\"phase\">\n<h2>5. 位相ケースの加速度波形</h2>\n<figure class=\"chart phase\">\n");
  html.raw("<figcaption><b>ケース ").integer(c).raw("</b> ").text(case_folder_text(t, c));
  html.raw(" ・ ").integer(samples).raw(" サンプル（入力用･位相用加速度波形.csv の内容）</figcaption>\n");
  open_chart(html, kChartWidth, 312, "位相ケースの加速度波形");
  draw_frame(html, area, x, y, "時刻 (s)", "加速度 (cm/s²)");
  draw_waveform(html, d.phase.points(), t.time_step, x, y, "wave phase");
  draw_peak_mark(html, t, d.phase.peak(), x, y, "cm/s²", area);
  close_chart(html);
  if (d.phase.non_finite() > 0) {
    write_note(html, std::to_string(d.phase.non_finite()) + " 個の数値でない値（CSV では * 表示）は描いていません。");
  }
  html.raw("</figure>\n</section>\n");
}

void write_waveform_sections(Html& html, PageData& d) {
  const WaveKind velocity{"velocity", "6. 各ケースの速度波形", "速度 (cm/s)", "cm/s",
                          &CaseWaves::velocity};
  const WaveKind acceleration{"acceleration", "7. 各ケースの加速度波形", "加速度 (cm/s²)", "cm/s²",
                              &CaseWaves::acceleration};
  write_case_charts(html, d, velocity);
  write_case_charts(html, d, acceleration);
}

}  // namespace report::detail
