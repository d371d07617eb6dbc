// The page's sections come from one list: the numbered headings, the table of contents and
// the print style's page breaks all follow it, and a section that the run has nothing for
// leaves no gap in the numbering.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "report/page_parts.hpp"
#include "support/synthetic_run.hpp"

namespace {

using report::detail::PageData;
using report::detail::Section;

const report::RunFacts kFacts{"def.csv", "/data/quake", "2025-01-08 09:30:00", "9.9.9", {"a<b>.acc:3: a warning"}};

std::size_t count(const std::string& text, const std::string& what) {
  std::size_t n = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

TEST(PageSections, HeadingsContentsAndPageBreaksFollowTheList) {
  const gm::RunTables& t = testing_support::synthetic_run(2, 3, 200);
  std::string page;
  report::render_page(t, kFacts, page, parallel::Pool(1));
  const std::size_t body = page.find("<section ");
  std::size_t at = body;
  std::string breaks;
  int number = 0;
  // Sections the run has nothing for (the design wave, not asked for) are left out.
  const PageData d = report::detail::gather(t, kFacts, parallel::Pool(1));
  for (const Section& s : report::detail::page_sections()) {
    if (s.new_page) breaks += (breaks.empty() ? "#" : ",#") + std::string(s.id);
    if (s.shown != nullptr && !s.shown(d)) continue;
    const std::string id(s.id);
    const std::string heading = std::to_string(++number) + ". " + std::string(s.title);
    SCOPED_TRACE(heading);
    // In the contents, above the first section, and as the heading, in list order.
    EXPECT_LT(page.find("<li><a href=\"#" + id + "\">" + heading + "</a></li>"), body);
    const std::size_t next = page.find("<section id=\"" + id + "\">\n<h2>" + heading + "</h2>\n", at);
    ASSERT_NE(next, std::string::npos);
    at = next + 1;
  }
  EXPECT_EQ(count(page, "<section "), static_cast<std::size_t>(number));
  EXPECT_EQ(count(page, "<h2>"), static_cast<std::size_t>(number));
  // The check's warnings open the page, as text.
  EXPECT_NE(page.find("<li>a&lt;b&gt;.acc:3: a warning</li>"), std::string::npos);
  // The breaks stand in the print part of the style.
  const std::size_t rule = page.find(breaks + "{break-before:page;page-break-before:always}\n}\n</style>");
  ASSERT_NE(rule, std::string::npos) << breaks;
  EXPECT_GT(rule, page.find("@media print{"));
}

TEST(PageSections, ASectionNotShownLeavesNoGapAndKeepsItsPageBreak) {
  const gm::RunTables& t = testing_support::synthetic_run(1, 1, 10);
  const PageData d = report::detail::gather(t, kFacts, parallel::Pool(1));
  const Section list[] = {
      {.id = "first", .title = "甲", .write = [](report::Html& h, const PageData&) { h.raw("<p>a</p>\n"); }},
      {.id = "hidden", .title = "乙", .write = [](report::Html& h, const PageData&) { h.raw("<p>b</p>\n"); },
       .new_page = true, .shown = [](const PageData&) { return false; }},
      {.id = "last", .title = "丙", .write = [](report::Html& h, const PageData& p) { h.integer(p.t.case_count); },
       .new_page = true, .shown = [](const PageData& p) { return p.t.case_count == 1; }},
  };
  std::string out;
  report::Html html(out);
  report::detail::write_page_breaks(html, list);
  report::detail::write_contents(html, list, d);
  report::detail::write_sections(html, list, d);
  EXPECT_EQ(out,
            "#hidden,#last{break-before:page;page-break-before:always}\n"
            "<nav class=\"toc\" aria-label=\"目次\">\n<ol>\n"
            "<li><a href=\"#first\">1. 甲</a></li>\n<li><a href=\"#last\">2. 丙</a></li>\n</ol>\n</nav>\n"
            "<section id=\"first\">\n<h2>1. 甲</h2>\n<p>a</p>\n</section>\n"
            "<section id=\"last\">\n<h2>2. 丙</h2>\n1</section>\n");
  // No section starts a new page: no rule at all.
  std::string none;
  report::Html none_html(none);
  report::detail::write_page_breaks(none_html, std::span<const Section>(list, 1));
  EXPECT_EQ(none, "");
}

// The sections are written piece by piece on the pool and joined in page order: the page
// is the bytes of the plain one-after-another writer whatever the thread count, with more
// pieces than the writer keeps buffers for, a run of one sample, values that are not
// finite, and warnings.
TEST(PageSections, SameBytesOnAnyNumberOfThreads) {
  struct Run {
    int faults, cases, samples;
    bool odd;
  };
  for (const Run r : {Run{1, 1, 1, false}, Run{3, 20, 300, true}, Run{2, 9, 2000, false}}) {
    SCOPED_TRACE(std::to_string(r.cases) + " cases of " + std::to_string(r.samples));
    gm::RunTables& t = testing_support::synthetic_run(r.faults, r.cases, r.samples);
    if (r.odd) {
      t.acceleration(2, 7) = std::nan("");
      t.acceleration(5, 1) = -std::numeric_limits<double>::infinity();
      t.peak_velocity(3) = std::nan("");
    }
    std::string one;
    report::render_page(t, kFacts, one, parallel::Pool(1));
    std::string serial;
    report::Html html(serial);
    report::detail::write_sections(html, report::detail::page_sections(),
                                   report::detail::gather(t, kFacts, parallel::Pool(1)));
    const std::size_t body = one.find("<section ");
    ASSERT_NE(body, std::string::npos);
    EXPECT_TRUE(one.compare(body, serial.size(), serial) == 0);
    EXPECT_EQ(one.substr(body + serial.size()), "</body>\n</html>\n");
    for (const int threads : {2, 8}) {
      std::string page = "left over from before";
      report::render_page(t, kFacts, page, parallel::Pool(threads));
      EXPECT_TRUE(page == one) << threads << " threads";
    }
  }
}

}  // namespace
