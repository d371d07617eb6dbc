// The page as a whole: the document, its style sheet and the list of its sections, from
// which come the numbered headings, the table of contents and the print's page breaks.
// The sections are written by page_tables.cpp, page_charts.cpp and page_waves.cpp.
#include "expect/expect.hpp"
#include "report/page.hpp"

#include <cstdio>
#include <span>
#include <string>
#include <vector>

#include "platform/display.hpp"
#include "report/page_parts.hpp"

namespace report {
namespace {

using detail::PageData;

// Colours and fonts for everything on the page, charts included: the SVG elements carry
// classes only, which keeps 43 charts small. Japanese fonts of Windows, macOS and Linux in
// turn; the print part lays the page out on A4 without cutting a chart or a table row.
constexpr std::string_view kStyle = R"(<style>
body{font-family:"Yu Gothic UI","Yu Gothic","Meiryo","Hiragino Sans","IPAPGothic","IPAGothic","Noto Sans CJK JP",sans-serif;color:#1b1b1b;max-width:1100px;margin:0 auto;padding:16px 24px;line-height:1.5}
h1{font-size:1.5em;margin:.2em 0 .6em;border-bottom:3px solid #1f4e79}
h2{font-size:1.25em;margin:1.6em 0 .5em;color:#1f4e79;border-bottom:1px solid #9db3c8}
h3{font-size:1.05em;margin:1em 0 .3em}
table{border-collapse:collapse;margin:.3em 0 1em}
th,td{border:1px solid #b8c2cc;padding:3px 8px;vertical-align:top}
th{background:#e8eef4;font-weight:600;text-align:left;white-space:nowrap}
td.n{text-align:right;font-variant-numeric:tabular-nums;white-space:nowrap}
td.path{word-break:break-all}
tr.phase td{background:#fff1c9;font-weight:700}
.mark{background:#c0392b;color:#fff;border-radius:3px;padding:0 6px;font-size:.85em;font-weight:700;white-space:nowrap}
figure.chart{margin:10px 0 18px;break-inside:avoid;page-break-inside:avoid}
figure.small{margin:4px 0 8px}
figure.phase{background:#fff7e0;outline:2px solid #e0a800}
figcaption{font-size:.92em;margin:2px 4px}
svg{display:block;width:100%;height:auto}
svg text{font-size:13px;fill:#1b1b1b}
.grid line{stroke:#e2e6ea;stroke-width:1}
.grid line.zero{stroke:#8a949e}
.frame{fill:none;stroke:#4a525a;stroke-width:1}
.xt{text-anchor:middle;font-size:12px}
.yt{text-anchor:end;font-size:12px}
.at{text-anchor:middle;font-size:14px}
polyline{fill:none;stroke-width:1.6;stroke-linejoin:round}
.f1{stroke:#0072b2;border-color:#0072b2}.f2{stroke:#e69f00;border-color:#e69f00}.f3{stroke:#009e73;border-color:#009e73}
.f4{stroke:#cc79a7;border-color:#cc79a7}.f5{stroke:#56b4e9;border-color:#56b4e9}.f6{stroke:#d55e00;border-color:#d55e00}
.target{stroke:#000;border-color:#000;stroke-width:3.5}
.case{stroke:#8fa3b8;border-color:#8fa3b8;stroke-width:1}.case.phase{stroke:#c0392b;border-color:#c0392b;stroke-width:2.2}
.flag{color:#c0392b;border:1px solid #c0392b;border-radius:3px;padding:0 6px;font-size:.85em;font-weight:700;white-space:nowrap}
ul.legend{list-style:none;margin:2px 4px 6px;padding:0;display:flex;flex-wrap:wrap;gap:2px 24px}
ul.legend li{word-break:break-all}
.key{display:inline-block;width:28px;border-top-style:solid;border-top-width:2px;vertical-align:middle;margin-right:6px}.key.target{border-top-width:4px}
nav.toc{margin:0 0 1em;padding:2px 12px;border-left:3px solid #9db3c8;max-width:640px}
nav.toc ol{list-style:none;margin:0;padding:0;columns:2;column-gap:32px}
nav.toc a{color:#1f4e79;text-decoration:none}
.bar{fill:#7a9cc0}.bar.phase{fill:#c0392b}
.rk{text-anchor:middle;font-size:12px}.rk.phase{font-weight:700;fill:#c0392b}
polyline.wave{stroke:#1f4e79;stroke-width:1}
polyline.wave.phase{stroke:#b03a2e}
circle.wave{fill:#1f4e79}circle.wave.phase{fill:#b03a2e}
.peak{fill:#fff;stroke:#c0392b;stroke-width:2}
.pk{font-size:12px;fill:#8e1f14;paint-order:stroke;stroke:#fff;stroke-width:4px;stroke-linejoin:round}.pk.end{text-anchor:end}
figure.phase .pk{stroke:#fff7e0}
p.note{color:#8e1f14;font-size:.92em;margin:2px 4px}
@media print{
@page{size:A4;margin:12mm}
body{max-width:none;padding:0;font-size:10pt}
table{font-size:8.5pt}
th,td{padding:2px 5px}
h2{break-after:avoid;page-break-after:avoid}
tr,figure{break-inside:avoid;page-break-inside:avoid}
figure.phase{outline:none;border:2px solid #e0a800}
)";
// The print part goes on with the page breaks of the section list, then closes.
constexpr std::string_view kStyleEnd = "}\n</style>\n";

// The sections in page order. A new section: one entry here and its writer (declared in
// page_parts.hpp); its number, its line in the table of contents and its page break in
// print follow from the entry.
constexpr detail::Section kSections[] = {
    {.id = "warnings",
     .title = "入力の警告",
     .write = detail::write_warnings_section,
     .shown = [](const PageData& d) { return !d.facts.warnings.empty(); }},
    {.id = "summary", .title = "概要", .write = detail::write_summary_section},
    {.id = "inputs", .title = "入力", .write = detail::write_inputs_section},
    {.id = "spectra", .title = "速度応答スペクトル", .write = detail::write_spectra_section, .new_page = true},
    {.id = "casespectra", .title = "各ケースの応答スペクトルと目標", .write = detail::write_case_spectra_section,
     .new_page = true},
    {.id = "peaks", .title = "最大速度", .write = detail::write_peaks_section, .new_page = true},
    {.id = "phase", .title = "位相ケースの加速度波形", .write = detail::write_phase_section, .new_page = true},
    {.id = "velocity", .title = "各ケースの速度波形", .write = detail::write_velocity_section, .new_page = true,
     .parts = detail::case_parts, .write_part = detail::write_velocity_chart},
    {.id = "acceleration", .title = "各ケースの加速度波形", .write = detail::write_acceleration_section,
     .new_page = true, .parts = detail::case_parts, .write_part = detail::write_acceleration_chart},
    // Not flagged new_page: the print style would then name it in every page, and a run
    // without --fit must write the page it always has, byte for byte.
    {.id = "fit", .title = "模擬地震波形", .write = detail::write_fit_section, .shown = detail::fit_shown},
};

// A waveform chart: two points a column, at most 12 bytes each ("980,118.5 "), and its frame.
constexpr std::size_t kChartBytes = 2 * 12 * detail::kColumns + 4096;

bool is_shown(const detail::Section& s, const PageData& d) { return s.shown == nullptr || s.shown(d); }

// "3. 速度応答スペクトル": the section's number among those shown, and its title.
void write_numbered_title(Html& html, const detail::Section& s, int number) {
  html.integer(number).raw(". ").raw(s.title);
}

// A piece of the page's sections that can be written on its own: a section's heading and
// what `write` adds (part -1), or one of its parts. The last piece of a section closes it.
struct Piece {
  const detail::Section* section;
  int number;  // of the section among those shown
  int part;
  bool closes;
};

std::vector<Piece> pieces_of(std::span<const detail::Section> sections, const PageData& d) {
  std::vector<Piece> pieces;
  int number = 0;
  for (const detail::Section& s : sections) {
    if (!is_shown(s, d)) continue;
    ++number;
    GM_EXPECT((s.parts == nullptr) == (s.write_part == nullptr), "a section of parts names their writer");
    const int parts = s.parts == nullptr ? 0 : s.parts(d);
    for (int part = -1; part < parts; ++part) pieces.push_back({&s, number, part, part + 1 == parts});
  }
  return pieces;
}

void write_piece(Html& html, const Piece& p, const PageData& d) {
  const detail::Section& s = *p.section;
  if (p.part < 0) {
    html.raw("<section id=\"").raw(s.id).raw("\">\n<h2>");
    write_numbered_title(html, s, p.number);
    html.raw("</h2>\n");
    s.write(html, d);
  } else {
    s.write_part(html, d, p.part);
  }
  if (p.closes) html.raw("</section>\n");
}

// The sections' pieces, each written into a buffer of its own side by side on the pool and
// appended to the page in page order as soon as those before it are: the page is the same
// bytes for any number of threads. A buffer is written again once its piece is in the
// page, so a few of them, sized once for a waveform chart, serve the whole page.
void write_sections_on(Html& html, const std::vector<Piece>& pieces, const PageData& d, const parallel::Pool& pool) {
  const std::size_t window = 2 * static_cast<std::size_t>(pool.threads());
  std::vector<std::string> buffers(window);
  pool.for_each_in_order(
      pieces.size(), window,
      [&](std::size_t i) {
        std::string& buffer = buffers[i % window];
        buffer.clear();
        buffer.reserve(kChartBytes);
        Html piece(buffer);
        write_piece(piece, pieces[i], d);
      },
      [&](std::size_t i) {
        html.raw(buffers[i % window]);
        return true;
      });
}

}  // namespace

RunFacts facts_of_this_run(std::string_view definition_file_sjis, std::string_view version) {
  RunFacts facts;
  facts.definition_file = platform::display_text(definition_file_sjis);
  facts.working_folder = platform::working_folder();
  const platform::LocalTime now = platform::local_time();
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d %02d:%02d:%02d", now.year, now.month, now.day,
                now.hour, now.minute, now.second);
  facts.run_time = buffer;
  facts.version = version;
  return facts;
}

void render_page(const gm::RunTables& t, const RunFacts& facts, std::string& page,
                 const parallel::Pool& pool) {
  const PageData d = detail::gather(t, facts, pool);
  page.clear();
  // The waveform charts take most of the room.
  page.reserve(60000 + gm::checked_size(t.case_count, "the case count is checked when it is read") * 2 * kChartBytes);
  Html html(page);
  html.raw("<!DOCTYPE html>\n<html lang=\"ja\">\n<head>\n<meta charset=\"utf-8\">\n");
  html.raw("<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n<title>結果図表 ");
  html.text(facts.definition_file).raw("</title>\n").raw(kStyle);
  detail::write_page_breaks(html, detail::page_sections());
  html.raw(kStyleEnd).raw("</head>\n<body>\n<h1>地震動 結果図表</h1>\n");
  detail::write_contents(html, detail::page_sections(), d);
  write_sections_on(html, pieces_of(detail::page_sections(), d), d, pool);
  html.raw("</body>\n</html>\n");
}

namespace detail {

std::span<const Section> page_sections() { return kSections; }

void write_contents(Html& html, std::span<const Section> sections, const PageData& d) {
  html.raw("<nav class=\"toc\" aria-label=\"目次\">\n<ol>\n");
  int number = 0;
  for (const Section& s : sections) {
    if (!is_shown(s, d)) continue;
    html.raw("<li><a href=\"#").raw(s.id).raw("\">");
    write_numbered_title(html, s, ++number);
    html.raw("</a></li>\n");
  }
  html.raw("</ol>\n</nav>\n");
}

void write_page_breaks(Html& html, std::span<const Section> sections) {
  const char* separator = "";
  for (const Section& s : sections) {
    if (!s.new_page) continue;
    html.raw(separator).raw("#").raw(s.id);
    separator = ",";
  }
  if (*separator != '\0') html.raw("{break-before:page;page-break-before:always}\n");
}

void write_sections(Html& html, std::span<const Section> sections, const PageData& d) {
  for (const Piece& p : pieces_of(sections, d)) write_piece(html, p, d);
}

}  // namespace detail
}  // namespace report
