// The page as a whole: the document and its style sheet, the summary and the input
// tables; the charts are drawn by page_charts.cpp and page_waves.cpp.
#include "report/page.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>

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
.lg{font-size:14px}
polyline,.legend line{fill:none;stroke-width:1.6;stroke-linejoin:round}
.f1{stroke:#0072b2}.f2{stroke:#e69f00}.f3{stroke:#009e73}.f4{stroke:#cc79a7}.f5{stroke:#56b4e9}.f6{stroke:#d55e00}
.target{stroke:#000;stroke-width:3.5}
.legend line.target{stroke-width:3.5}
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
#spectra,#peaks,#phase,#velocity,#acceleration{break-before:page;page-break-before:always}
tr,figure{break-inside:avoid;page-break-inside:avoid}
figure.phase{outline:none;border:2px solid #e0a800}
}
</style>
)";

void write_summary(Html& html, PageData& d) {
  gm::RunTables& t = d.t;
  const auto row = [&](std::string_view label, std::string_view value) {
    html.raw("<tr><th>").raw(label).raw("</th><td>").text(value).raw("</td></tr>\n");
  };
  html.raw("<section id=\"summary\">\n<h2>1. 概要</h2>\n<table class=\"facts\">\n");
  row("定義ファイル", d.facts.definition_file);
  row("作業フォルダ（結果の出力先）", d.facts.working_folder);
  row("実行日時", d.facts.run_time);
  row("プログラム", detail::join({"gmgather ", d.facts.version}));
  row("震源断層数", std::to_string(t.fault_count));
  row("ケース数", std::to_string(t.case_count));
  html.raw("<tr class=\"phase\"><th>位相ケース</th><td>ケース ").integer(t.phase_case).raw(" ・ ");
  html.text(detail::case_folder_text(t, t.phase_case)).raw(" ・ 順位 ").integer(t.case_rank(t.phase_case));
  html.raw("</td></tr>\n</table>\n</section>\n");
}

void write_inputs(Html& html, PageData& d) {
  gm::RunTables& t = d.t;
  html.raw("<section id=\"inputs\">\n<h2>2. 入力</h2>\n<h3>震源断層</h3>\n");
  html.raw("<table class=\"faults\">\n<tr><th>番号</th><th>フォルダ（定義ファイルの記載のとおり）</th></tr>\n");
  for (int k = 1; k <= t.fault_count; ++k) {
    html.raw("<tr><td class=\"n\">").integer(k).raw("</td><td class=\"path\">");
    html.text(detail::fault_folder_text(t, k)).raw("</td></tr>\n");
  }
  html.raw("</table>\n<h3>ケース</h3>\n<table class=\"cases\">\n<tr><th>番号</th><th>フォルダ</th>");
  html.raw("<th>サンプル数</th><th>継続時間 (s)</th><th>最大加速度 (cm/s²)</th><th>最大速度 (cm/s)</th>");
  html.raw("<th>順位</th><th></th></tr>\n");
  for (int c = 1; c <= t.case_count; ++c) {
    const detail::CaseWaves& w = d.cases[static_cast<std::size_t>(c - 1)];
    const int n = t.case_sample_count(c);
    const bool phase = c == t.phase_case;
    html.raw(phase ? "<tr class=\"phase\">" : "<tr>");
    html.raw("<td class=\"n\">").integer(c).raw("</td><td class=\"path\">").text(detail::case_folder_text(t, c));
    html.raw("</td><td class=\"n\">").integer(n).raw("</td><td class=\"n\">");
    // The time of the last sample, the last time in the waveform files.
    html.text(n > 0 ? detail::field(detail::time_of(t, n - 1), 12, 4) : "-").raw("</td><td class=\"n\">");
    html.text(n > 0 ? detail::field(std::fabs(w.acceleration.peak().value), 14, 6) : "-").raw("</td><td class=\"n\">");
    html.text(detail::field(t.peak_velocity(c), 14, 6)).raw("</td><td class=\"n\">");
    html.text(detail::integer_field(t.case_rank(c), 3)).raw("</td><td>");
    if (phase) html.raw("<span class=\"mark\">位相ケース</span>");
    html.raw("</td></tr>\n");
  }
  html.raw("</table>\n<p>数値は結果ファイル（CSV）と同じ桁で丸めています。継続時間は最後のサンプルの時刻、");
  html.raw("最大加速度は加速度の絶対値の最大です。</p>\n</section>\n");
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

void render_page(gm::RunTables& t, const RunFacts& facts, std::string& page, int threads) {
  PageData d = detail::gather(t, facts, threads);
  page.clear();
  // The waveform charts take most of the room: two points a column, some 12 bytes each.
  page.reserve(60000 + static_cast<std::size_t>(t.case_count) * 2 * 24 * detail::kColumns);
  Html html(page);
  html.raw("<!DOCTYPE html>\n<html lang=\"ja\">\n<head>\n<meta charset=\"utf-8\">\n");
  html.raw("<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n<title>結果図表 ");
  html.text(facts.definition_file).raw("</title>\n").raw(kStyle).raw("</head>\n<body>\n");
  html.raw("<h1>地震動 結果図表</h1>\n");
  write_summary(html, d);
  write_inputs(html, d);
  detail::write_spectra_section(html, d);
  detail::write_peaks_section(html, d);
  detail::write_phase_section(html, d);
  detail::write_waveform_sections(html, d);
  html.raw("</body>\n</html>\n");
}

}  // namespace report
