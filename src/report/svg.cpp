#include "report/svg.hpp"

#include <cmath>

namespace report {

Scale::Scale(Axis axis, bool log, double from, double to)
    : axis_(std::move(axis)), log_(log), from_(from), to_(to) {
  if (log_) {
    lo_ = std::log10(axis_.lo);
    span_ = std::log10(axis_.hi) - lo_;
  } else {
    lo_ = axis_.lo * 0.5;
    span_ = axis_.hi * 0.5 - lo_;
  }
  if (!(span_ > 0.0) || !std::isfinite(span_)) span_ = 1.0;
  scale_ = (to_ - from_) / span_;
}

double Scale::operator()(double v) const {
  return from_ + scale_ * (log_ ? std::log10(v) - lo_ : v * 0.5 - lo_);
}

std::string Scale::label(std::size_t i) const {
  const double v = axis_.ticks[i];
  double step;
  if (log_) {
    step = std::pow(10.0, std::floor(std::log10(v) + 1e-9));
  } else if (axis_.ticks.size() > 1) {
    step = axis_.ticks[1] - axis_.ticks[0];
  } else {
    step = std::fabs(v);
  }
  return tick_label(v, step);
}

void close_chart(Html& html) { html.raw("</svg>\n"); }

namespace {

void line(Html& html, double x1, double y1, double x2, double y2, std::string_view css_class = {}) {
  html.raw("<line");
  if (!css_class.empty()) html.raw(" class=\"").raw(css_class).raw("\"");
  html.raw(" x1=\"").coordinate(x1).raw("\" y1=\"").coordinate(y1);
  html.raw("\" x2=\"").coordinate(x2).raw("\" y2=\"").coordinate(y2).raw("\"/>");
}

}  // namespace

void draw_text(Html& html, double x, double y, std::string_view css_class, std::string_view text) {
  html.raw("<text class=\"").raw(css_class).raw("\" x=\"").coordinate(x).raw("\" y=\"").coordinate(y);
  html.raw("\">").text(text).raw("</text>");
}

namespace {

void draw_frame(Html& html, const PlotArea& area, const Scale& x, const Scale& y,
                std::string_view x_title, std::string_view y_title) {
  const std::vector<double>& xt = x.axis().ticks;
  const std::vector<double>& yt = y.axis().ticks;
  html.raw("<g class=\"grid\">");
  for (const double v : xt) line(html, x(v), area.top, x(v), area.bottom(), v == 0.0 ? "zero" : "");
  for (const double v : yt) line(html, area.left, y(v), area.right(), y(v), v == 0.0 ? "zero" : "");
  html.raw("</g>\n<rect class=\"frame\" x=\"").coordinate(area.left).raw("\" y=\"").coordinate(area.top);
  html.raw("\" width=\"").coordinate(area.width).raw("\" height=\"").coordinate(area.height).raw("\"/>\n");

  // Tick labels, each left out when it would touch the last one drawn.
  double last = -1e9;
  for (std::size_t i = 0; i < xt.size(); ++i) {
    const double at = x(xt[i]);
    if (at - last < 36.0) continue;
    draw_text(html, at, area.bottom() + 16.0, "xt", x.label(i));
    last = at;
  }
  last = 1e9;
  for (std::size_t i = 0; i < yt.size(); ++i) {
    const double at = y(yt[i]);
    if (last - at < 14.0) continue;
    draw_text(html, area.left - 6.0, at + 4.0, "yt", y.label(i));
    last = at;
  }
  draw_text(html, area.left + area.width / 2.0, area.bottom() + 36.0, "at", x_title);
  html.raw("<text class=\"at\" transform=\"translate(").coordinate(area.left - 52.0).raw(" ");
  html.raw("").coordinate(area.top + area.height / 2.0).raw(") rotate(-90)\">").text(y_title);
  html.raw("</text>\n");
}

}  // namespace

Plot open_plot(Html& html, const ChartBox& box, std::string_view label, const ChartAxis& x, const ChartAxis& y) {
  const PlotArea& area = box.area;
  Plot plot{area, Scale(x.axis, x.log, area.left, area.right()), Scale(y.axis, y.log, area.bottom(), area.top)};
  html.raw("<svg viewBox=\"0 0 ").integer(box.width).raw(" ").integer(box.height);
  html.raw("\" role=\"img\" aria-label=\"").text(label).raw("\">\n");
  draw_frame(html, area, plot.x, plot.y, x.title, y.title);
  return plot;
}

void draw_polyline(Html& html, const std::vector<double>& xy, std::string_view css_class) {
  if (xy.size() < 2) return;
  html.raw("<polyline class=\"").raw(css_class).raw("\" points=\"").points(xy).raw("\"/>\n");
}

void draw_waveform(Html& html, const std::vector<Sample>& points, double time_step,
                   const Scale& x, const Scale& y, std::string_view css_class) {
  std::vector<double> xy;
  xy.reserve(points.size() * 2);
  for (const Sample& s : points) {
    xy.push_back(x(static_cast<double>(s.index) * time_step));
    xy.push_back(y(s.value));
  }
  // A single sample still shows, as a dot.
  if (xy.size() == 2) {
    html.raw("<circle class=\"").raw(css_class).raw("\" r=\"1.5\" cx=\"").coordinate(xy[0]);
    html.raw("\" cy=\"").coordinate(xy[1]).raw("\"/>\n");
    return;
  }
  draw_polyline(html, xy, css_class);
}

}  // namespace report
