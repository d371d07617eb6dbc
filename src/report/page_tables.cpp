// The sections of tables: the summary with the conditions of the evaluation, and the
// inputs (the faults' folders, the cases with their numbers as the result files give them).
#include <cmath>
#include <string>

#include "report/page_parts.hpp"

namespace report::detail {
namespace {

// A row of a two-column table: the program's own label, a value from outside.
void fact_row(Html& html, std::string_view label, std::string_view value) {
  html.raw("<tr><th>").raw(label).raw("</th><td>").text(value).raw("</td></tr>\n");
}

// What a reader of the charts asks about the numbers behind them: which column of the
// fault tables the spectra are, the time step, how the phase case is picked.
void write_conditions(Html& html, const PageData& d) {
  const gm::RunTables& t = d.t;
  const std::string step = time_step_text(t);
  // The rank of the phase case: the middle rank, of two the upper (integer division).
  const int middle = (t.case_count + 1) / 2;
  html.raw("<h3>計算の条件</h3>\n<table class=\"conditions\">\n");
  html.raw("<tr><th>速度応答スペクトル Sv</th><td>各震源断層のフォルダの Velmora長周期.csv の 28 列目");
  html.raw("（減衰定数 h = 0.05、cm/s）。周期は震源断層 1 の表の 1 列目（s）で、全震源断層に共通。</td></tr>\n");
  html.raw("<tr><th>目標スペクトル</th><td>周期ごとに、各震源断層の Sv の二乗和平方根 ÷ 1.1。</td></tr>\n");
  html.raw("<tr><th>時間刻み</th><td>").text(step).raw(" s（全ケース共通）。");
  html.raw("速度は加速度を台形則で積分（最初のサンプルの前は静止）。</td></tr>\n");
  html.raw("<tr><th>位相ケースの選び方</th><td>最大速度の大きい順に順位を付け（等しいときはケース番号の");
  html.raw("小さいほうが上位）、順位 (ケース数 + 1) ÷ 2（端数切り捨て）のケースを選びます。この実行では (");
  html.integer(t.case_count).raw(" + 1) ÷ 2 で ").integer(middle).raw(" 位、ケース ").integer(t.phase_case);
  html.raw("。</td></tr>\n</table>\n");
}

}  // namespace

// First on the page, so that whoever reads the results sees what the run passed over.
void write_warnings_section(Html& html, const PageData& d) {
  html.raw("<p class=\"note\">入力に、実行は止めなかったものの結果を変えるおそれのある点があります");
  html.raw("（<code>gmgather --check</code> の警告と同じもの）。結果を使う前に確かめてください。</p>\n<ul class=\"warnings\">\n");
  for (const std::string& line : d.facts.warnings) html.raw("<li>").text(line).raw("</li>\n");
  html.raw("</ul>\n");
}

void write_summary_section(Html& html, const PageData& d) {
  const gm::RunTables& t = d.t;
  html.raw("<table class=\"facts\">\n");
  fact_row(html, "定義ファイル", d.facts.definition_file);
  fact_row(html, "作業フォルダ（結果の出力先）", d.facts.working_folder);
  fact_row(html, "実行日時", d.facts.run_time);
  fact_row(html, "プログラム", join({"gmgather ", d.facts.version}));
  fact_row(html, "震源断層数", std::to_string(t.fault_count));
  fact_row(html, "ケース数", std::to_string(t.case_count));
  html.raw("<tr class=\"phase\"><th>位相ケース</th><td>ケース ").integer(t.phase_case).raw(" ・ ");
  html.text(case_folder_text(t, t.phase_case)).raw(" ・ 順位 ").integer(t.case_rank(t.phase_case));
  html.raw("</td></tr>\n</table>\n");
  write_conditions(html, d);
}

void write_inputs_section(Html& html, const PageData& d) {
  const gm::RunTables& t = d.t;
  html.raw("<h3>震源断層</h3>\n<table class=\"faults\">\n");
  html.raw("<tr><th>番号</th><th>フォルダ（定義ファイルの記載のとおり）</th></tr>\n");
  for (int k = 1; k <= t.fault_count; ++k) {
    html.raw("<tr><td class=\"n\">").integer(k).raw("</td><td class=\"path\">");
    html.text(fault_folder_text(t, k)).raw("</td></tr>\n");
  }
  html.raw("</table>\n<h3>ケース</h3>\n<table class=\"cases\">\n<tr><th>番号</th><th>フォルダ</th>");
  html.raw("<th>サンプル数</th><th>継続時間 (s)</th><th>最大加速度 (cm/s²)</th><th>最大速度 (cm/s)</th>");
  html.raw("<th>順位</th><th></th></tr>\n");
  for (int c = 1; c <= t.case_count; ++c) {
    const CaseWaves& w = d.cases[static_cast<std::size_t>(c - 1)];
    const int n = t.case_sample_count(c);
    const bool phase = c == t.phase_case;
    html.raw(phase ? "<tr class=\"phase\">" : "<tr>");
    html.raw("<td class=\"n\">").integer(c).raw("</td><td class=\"path\">").text(case_folder_text(t, c));
    html.raw("</td><td class=\"n\">").integer(n).raw("</td><td class=\"n\">");
    // The span the run integrates: from rest one step before the first sample, n steps.
    html.text(n > 0 ? field(static_cast<double>(n) * t.time_step, 12, 4) : "-").raw("</td><td class=\"n\">");
    html.text(n > 0 ? field(std::fabs(w.acceleration.peak().value), 14, 6) : "-").raw("</td><td class=\"n\">");
    html.text(field(t.peak_velocity(c), 14, 6)).raw("</td><td class=\"n\">");
    html.text(integer_field(t.case_rank(c), 3)).raw("</td><td>");
    if (phase) html.raw("<span class=\"mark\">位相ケース</span>");
    html.raw("</td></tr>\n");
  }
  html.raw("</table>\n<p>数値は結果ファイル（CSV）と同じ桁で丸めています。継続時間はサンプル数 × ");
  html.text(time_step_text(t)).raw(" s（積分は最初のサンプルの 1 刻み前の静止から始まるので、n 個で n 刻み。");
  html.raw("模擬地震波形のメッセージと同じ数え方）、最大加速度は加速度の絶対値の最大です。</p>\n");
}

}  // namespace report::detail
