// The chart frame every chart is drawn in: its scales put the axis ends on the plot
// area's edges (the vertical axis upwards, a log axis by decades), and the frame has a
// grid line at every tick, a label for each tick with room, and both axis titles.
#include "report/svg.hpp"

#include <gtest/gtest.h>

#include <string>

namespace {

std::size_t count(const std::string& text, const std::string& what) {
  std::size_t n = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

TEST(OpenPlot, ScalesPutTheAxisEndsOnTheAreaEdges) {
  const report::ChartBox box{1000, 300, {100.0, 20.0, 800.0, 200.0}};
  std::string out;
  report::Html html(out);
  const report::Plot plot = report::open_plot(html, box, "chart", {report::log_axis(1.0, 100.0), true, "x"},
                                              {report::linear_axis(-5.0, 5.0, 5), false, "y"});
  EXPECT_DOUBLE_EQ(plot.x(1.0), 100.0);
  EXPECT_DOUBLE_EQ(plot.x(10.0), 500.0);  // one decade of two: half way
  EXPECT_DOUBLE_EQ(plot.x(100.0), 900.0);
  EXPECT_DOUBLE_EQ(plot.y(-6.0), 220.0);  // the stretched axis: -6 .. 6, lowest at the bottom
  EXPECT_DOUBLE_EQ(plot.y(0.0), 120.0);
  EXPECT_DOUBLE_EQ(plot.y(6.0), 20.0);
}

TEST(OpenPlot, FrameHasGridTickLabelsAndTitles) {
  const report::ChartBox box{1000, 200, {100.0, 10.0, 880.0, 150.0}};
  std::string out;
  report::Html html(out);
  const report::Axis x = report::linear_axis(0.0, 10.0, 10);       // 0 1 ... 10: 88 units apart
  const report::Axis y = report::linear_axis(-100.0, 100.0, 200);  // 201 ticks: most labels crowd
  report::open_plot(html, box, "a & b", {x, false, "時刻 (s)"}, {y, false, "速度 (cm/s)"});
  report::close_chart(html);
  EXPECT_EQ(out.rfind("<svg viewBox=\"0 0 1000 200\" role=\"img\" aria-label=\"a &amp; b\">\n", 0), 0u);
  EXPECT_EQ(count(out, "<line"), x.ticks.size() + y.ticks.size());
  EXPECT_EQ(count(out, "<line class=\"zero\""), 2u);
  EXPECT_EQ(count(out, "class=\"xt\""), x.ticks.size());
  EXPECT_GT(count(out, "class=\"yt\""), 5u);
  EXPECT_LT(count(out, "class=\"yt\""), 20u);
  EXPECT_NE(out.find(">時刻 (s)</text>"), std::string::npos);
  EXPECT_NE(out.find("rotate(-90)\">速度 (cm/s)</text>"), std::string::npos);
  EXPECT_EQ(out.substr(out.size() - 7), "</svg>\n");
}

}  // namespace
