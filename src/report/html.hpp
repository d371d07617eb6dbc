#pragma once
// The page as it is built: one buffer, markup of the program's own written as it is, and
// every text from outside (folder paths, file names, the working folder) escaped at the
// edge, so nothing read from a file can become markup.
#include <span>
#include <string>
#include <string_view>

namespace report {

class Html {
 public:
  explicit Html(std::string& out) : out_(out) {}

  // The program's own markup, written as it is. Never for text read from anywhere.
  Html& raw(std::string_view markup) {
    out_.append(markup);
    return *this;
  }
  // Text for an element's content or an attribute value: & < > " ' become references,
  // and what would break the page's UTF-8 or its well-formedness (a malformed sequence, a
  // control character other than tab and line feed, a noncharacter) becomes U+FFFD.
  //   text("<img src=x onerror=alert(1)>") -> "&lt;img src=x onerror=alert(1)&gt;"
  Html& text(std::string_view utf8);
  // A coordinate with one decimal, and no decimal when it is whole: 12.25 -> "12.3",
  // 40.0 -> "40", -0.04 -> "0". Plenty at screen scale, and short: a page of 43 waveform
  // charts holds some hundred thousand of them.
  Html& coordinate(double v);
  // Points as x,y pairs of coordinates, one space between pairs: {1, 2.25, 3, 4} ->
  // "1,2.3 3,4"; an odd last value is left out.
  Html& points(std::span<const double> xy);
  // An integer as decimal digits.
  Html& integer(long long v);

 private:
  std::string& out_;
};

}  // namespace report
