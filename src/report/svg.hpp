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

// <svg> with a viewBox of width x height and a label a screen reader gives for it; the
// caller closes it with close_chart.
void open_chart(Html& html, int width, int height, std::string_view label);
void close_chart(Html& html);

// Grid lines at every tick, the frame, the tick labels and the axis titles (each title
// names its unit). Labels that would crowd their neighbour are left out.
void draw_frame(Html& html, const PlotArea& area, const Scale& x, const Scale& y,
                std::string_view x_title, std::string_view y_title);

// A line through `points`, given as positions: x0 y0 x1 y1 ...
void draw_polyline(Html& html, const std::vector<double>& xy, std::string_view css_class);

// A waveform from its envelope points, sample i at time i * time_step.
void draw_waveform(Html& html, const std::vector<Sample>& points, double time_step,
                   const Scale& x, const Scale& y, std::string_view css_class);

// A text at a position, in a class of the style sheet (which sets its alignment).
void draw_text(Html& html, double x, double y, std::string_view css_class, std::string_view text);

}  // namespace report
