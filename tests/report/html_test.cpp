// Text from files reaches the page only escaped, and only as well-formed UTF-8 that an
// HTML parser accepts; coordinates are short and never "-0".
#include "report/html.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <span>
#include <string>
#include <vector>

namespace {

TEST(HtmlText, EscapesMarkupAndReplacesWhatAParserRejects) {
  struct Case {
    const char* label;
    std::string in;
    std::string want;
  };
  const Case cases[] = {
      {"markup", "<img src=x onerror=alert(1)>", "&lt;img src=x onerror=alert(1)&gt;"},
      {"quotes and ampersand", "a&b \"c\" 'd'", "a&amp;b &quot;c&quot; &#39;d&#39;"},
      {"already a reference", "&amp;", "&amp;amp;"},
      {"Japanese passes", "震源断層\\F3_南海", "震源断層\\F3_南海"},
      {"U+FFFD passes", "\xEF\xBF\xBD", "\xEF\xBF\xBD"},
      {"tab and line feed pass", "a\tb\nc", "a\tb\nc"},
      {"NUL and other controls", std::string("a\0b\x01\x1b\x7f", 6), "a\xEF\xBF\xBD" "b\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},
      {"C1 control U+0085", "\xC2\x85", "\xEF\xBF\xBD"},
      {"noncharacters U+FDD0 U+FFFE", "\xEF\xB7\x90\xEF\xBF\xBE", "\xEF\xBF\xBD\xEF\xBF\xBD"},
      {"lone byte", "a\xFF" "b", "a\xEF\xBF\xBD" "b"},
      {"overlong slash", "\xC0\xAF", "\xEF\xBF\xBD\xEF\xBF\xBD"},
      {"surrogate", "\xED\xA0\x80", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},
      {"cut short", "\xE9\x9C", "\xEF\xBF\xBD\xEF\xBF\xBD"},
      {"beyond U+10FFFF", "\xF4\x90\x80\x80", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    std::string out;
    report::Html(out).text(c.in);
    EXPECT_EQ(out, c.want);
  }
}

TEST(HtmlCoordinate, OneDecimalAtMost) {
  struct Case {
    double v;
    const char* want;
  };
  const Case cases[] = {
      {40.0, "40"},          {12.25, "12.3"},    {-0.04, "0"},         {-0.25, "-0.3"},
      {999.96, "1000"},      {-1e300, "-1000000"}, {-1.0, "-1"},       {-12.34, "-12.3"},
      {999999.99, "1000000"}, {-999999.9, "-999999.9"}, {std::nan(""), "1000000"}, {0.0, "0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.want);
    std::string out;
    report::Html(out).coordinate(c.v);
    EXPECT_EQ(out, c.want);
  }
}

// A polyline's points in one go, written through a small buffer: the same text as the
// coordinates one by one, across the buffer's ends, with the longest coordinates there are.
TEST(HtmlCoordinate, PointsAsTheCoordinatesOneByOne) {
  std::vector<double> xy;
  for (int i = 0; i < 301; ++i) xy.push_back(i % 7 == 3 ? -1e300 : (i - 150) * 123.456);
  std::string want;
  report::Html w(want);
  for (std::size_t i = 0; i + 1 < xy.size(); i += 2) {
    if (i > 0) w.raw(" ");
    w.coordinate(xy[i]).raw(",").coordinate(xy[i + 1]);
  }
  std::string out = "<";
  report::Html(out).points(xy).points({}).points(std::span<const double>(xy.data(), 1));
  EXPECT_EQ(out, "<" + want);
}

}  // namespace
