#pragma once
// Drawing a chart in inline SVG: the plot area and how values map onto it, the frame
// with its grid, ticks and axis titles, and the lines and marks drawn inside. Positions
// are viewBox units; the page's style sheet gives colours and fonts by class, so each
// element carries only its geometry.
#include <string_view>
#include <vector>

#include "report/chart_data.hpp"
#include "report/html.hpp"

namespace report {

// The plot area of a chart, in viewBox units.
struct PlotArea {
  double left = 0.0;
  double top = 0.0;
  double width = 0.0;
  double height = 0.0;
  double right() const { return left + width; }
  double bottom() const { return top + height; }
};

// Maps values onto positions along one side of the plot area: axis.lo to `from`,
// axis.hi to `to` (for a vertical axis `from` is the bottom).
class Scale {
 public:
  Scale(Axis axis, bool log, double from, double to);
  double operator()(double v) const;
  const Axis& axis() const { return axis_; }
  // The label of tick i: as many decimals as its neighbours need.
  std::string label(std::size_t i) const;

 private:
  Axis axis_;
  bool log_;
  double from_;
  double to_;
  double lo_;    // the axis ends as mapped: logarithms on a log axis, halves on a linear one
  double span_;  // (halves, so that hi - lo cannot overflow)
  double scale_;  // positions per mapped unit
};

// One axis of a chart: its range and ticks (linear_axis, log_axis, or a range with no
// ticks for a caller that labels positions itself), whether values map onto it by their
// logarithm, and its title, which names the unit.
struct ChartAxis {
  Axis axis;
  bool log = false;
  std::string_view title;
};

// A chart's size in viewBox units and its plot area inside that box. The frame draws
// the tick labels and axis titles outside the area: leave some 40 units below it and 70
// at its left.
struct ChartBox {
  int width = 0;
  int height = 0;
  PlotArea area;
};

// What a chart's contents are drawn with: its plot area and the scales onto it, x from
// the area's left to its right, y from its bottom up to its top.
struct Plot {
  PlotArea area;
  Scale x;
  Scale y;
};

// The frame every chart has: opens the <svg> (viewBox, and `label` for a screen reader),
// draws a grid line at every tick (darker at zero), the frame of the plot area, the tick
// labels (each left out that would crowd the one before) and both axis titles. The caller
// draws the contents with the returned scales, then ends the chart with close_chart.
//   const Plot plot = open_plot(html, {1000, 530, {100, 20, 880, 460}}, "spectra",
//                               {log_axis(1, 10), true, "周期 (s)"},
//                               {log_axis(y_lo, y_hi), true, "Sv (cm/s)"});
//   draw_polyline(html, {plot.x(p1), plot.y(v1), plot.x(p2), plot.y(v2)}, "f1");
//   close_chart(html);
Plot open_plot(Html& html, const ChartBox& box, std::string_view label, const ChartAxis& x, const ChartAxis& y);
void close_chart(Html& html);

// A line through `points`, given as positions: x0 y0 x1 y1 ...
void draw_polyline(Html& html, const std::vector<double>& xy, std::string_view css_class);

// A waveform from its envelope points, sample i at time i * time_step.
void draw_waveform(Html& html, const std::vector<Sample>& points, double time_step,
                   const Scale& x, const Scale& y, std::string_view css_class);

// A text at a position, in a class of the style sheet (which sets its alignment).
void draw_text(Html& html, double x, double y, std::string_view css_class, std::string_view text);

}  // namespace report
