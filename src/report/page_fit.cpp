// The design wave: how it was made, what it reached against its criteria, the wave beside
// the phase case, then its charts (page_fit_charts.cpp). Shown when the run made one.
#include <algorithm>
#include <cmath>
#include <string>

#include "fitted_wave/criteria.hpp"
#include "report/page_parts.hpp"

namespace report::detail {
namespace {

// What the long-period design practice asks of a design motion.
constexpr double kPracticeDuration = 500.0;
constexpr double kPracticeShortest = 0.1;
constexpr double kPracticeLongest = 10.0;

// The criteria's names in the order of fitted_wave::kCriterionTexts.
constexpr const char* kCriterionNames[] = {"R の最小値", "R の変動係数", "|R の平均 − 1|", "|最終速度| ÷ 最大速度",
                                           "|最終変位| ÷ 最大変位", "|最初の値| ÷ 最大加速度"};
static_assert(std::size(kCriterionNames) == fitted_wave::kCriteria);

double shortest_period(const gm::RunTables& t) {
  double lo = HUGE_VAL;
  for (int j = 1; j <= t.period_count; ++j) lo = std::min(lo, t.period(j));
  return lo;
}
double longest_period(const gm::RunTables& t) {
  double hi = -HUGE_VAL;
  for (int j = 1; j <= t.period_count; ++j) hi = std::max(hi, t.period(j));
  return hi;
}

void write_method_notes(Html& html, const gm::RunTables& t) {
  const gm::FitTables& f = t.fit;
  const double lo = shortest_period(t), hi = longest_period(t);
  html.raw("<p>位相ケース（ケース ").integer(t.phase_case).raw("）のフーリエ位相を保ち、周期軸の範囲（");
  html.text(field(lo, 12, 3)).raw("〜").text(field(hi, 12, 3)).raw(" s）の振幅を目標スペクトルに合わせて繰り返し調整した");
  html.raw("波形（入力用･模擬地震波形.csv）。周期軸の外では振幅を位相ケースのままに戻します（短周期側は端の倍率を半オクターブ");
  html.raw("保ったあと半オクターブで、長周期側は 1 オクターブ保ったあと 1 オクターブで 1 に）。調整 ").integer(f.iterations);
  html.raw(" 回（上限 ").integer(fitted_wave::kIterationLimit).raw(" 回）、採用は ").integer(f.best).raw(" 回目の波形。</p>\n");
  html.raw("<p>波形の始まりは位相ケースの主要動の始まり（加速度の二乗和が全体の 1 % に達する ");
  html.text(field(f.onset_time, 12, 2)).raw(" s、ただし 1 s 以上）までの ");
  html.text(field(static_cast<double>(f.start_taper) * t.time_step, 12, 2)).raw(" s、終わりは最後の ");
  html.text(field(static_cast<double>(f.end_taper) * t.time_step, 12, 2));
  html.raw(" s を余弦で 0 にしています。変位に当てはめた多項式（Legendre 3 次まで、両端の余弦を掛けたもの）の 2 階微分を");
  html.raw("加速度から引き、速度と変位を終わりで 0 に戻しています（Boore &amp; Bommer 2005 の基線補正）。</p>\n");
  html.raw("<p>pSv は記録の後、地動が止まってからの自由振動（").text(field(f.free_vibration, 12, 2));
  html.raw(" s：周期軸の最長周期、最大 50 s）も含めた最大値です。周期軸より短い周期の pSv も、帯域内の成分とともに");
  html.raw("大きくなります（剛な系は地動の加速度に追従するため）。次の図に 0.02 s まで示します。</p>\n");
  const double duration = static_cast<double>(f.sample_count) * t.time_step;
  html.raw("<p>継続時間 ").text(field(duration, 12, 2)).raw(" s（データ数 × 0.02 s）：長周期地震動の設計用入力地震動に求められる ");
  html.raw(duration >= kPracticeDuration ? "500 s 以上です。" : "500 s に足りません。");
  html.raw("周期軸は設計で用いる 0.1〜10 s を");
  html.raw(lo <= kPracticeShortest && hi >= kPracticeLongest ? "覆っています。" : "覆っていません。").raw("</p>\n");
}

void write_criteria_table(Html& html, const gm::RunTables& t) {
  const gm::FitTables& f = t.fit;
  html.raw("<table>\n<tr><th>判定基準（R = 模擬地震波形の pSv ÷ 目標）</th><th>基準</th><th>達成値</th><th>判定</th></tr>\n");
  for (std::size_t c = 0; c < fitted_wave::kCriteria; ++c) {
    const fitted_wave::CriterionText& ct = fitted_wave::kCriterionTexts[c];
    html.raw("<tr><td>").text(kCriterionNames[c]).raw("</td><td>").text(ct.at_least ? "≥ " : "≤ ");
    html.text(field(ct.bound, 6, 2)).raw("</td><td class=\"n\">").text(field(f.criterion_value[c], 14, 4));
    html.raw(f.criterion_met[c] != 0 ? "</td><td>合格" : "</td><td><span class=\"mark\">不合格</span>");
    html.raw("</td></tr>\n");
  }
  html.raw("</table>\n");
  html.raw("<p>R の平均 ").text(field(f.mean_ratio, 14, 4)).raw("。");
  if (f.all_met != 0) {
    html.raw("判定基準をすべて満たしています。</p>\n");
  } else {
    html.raw("</p>\n");
    write_note(html, "判定基準を満たしていません。満たす基準の多い反復のうち R のずれの最も小さい波形を出力し、"
                     "実行は終了ステータス 4 で終わっています。");
  }
}

// The wave beside the phase case: peaks, ends and the course of the Arias intensity.
void write_motion_table(Html& html, const gm::RunTables& t) {
  const gm::FitMotion& w = t.fit.wave_motion;
  const gm::FitMotion& p = t.fit.phase_motion;
  struct Row {
    const char* name;
    double wave, phase;
    int decimals;
  };
  const Row rows[] = {
      {"最大加速度 (cm/s²)", w.peak_acceleration, p.peak_acceleration, 2},
      {"最大速度 (cm/s)", w.peak_velocity, p.peak_velocity, 2},
      {"最大変位 (cm)", w.peak_displacement, p.peak_displacement, 2},
      {"最終速度 (cm/s)", w.final_velocity, p.final_velocity, 4},
      {"最終変位 (cm)", w.final_displacement, p.final_displacement, 4},
      {"二乗和 5 % の時刻 (s)", w.arias_times[0], p.arias_times[0], 2},
      {"二乗和 50 % の時刻 (s)", w.arias_times[1], p.arias_times[1], 2},
      {"二乗和 95 % の時刻 (s)", w.arias_times[2], p.arias_times[2], 2},
  };
  html.raw("<table>\n<tr><th></th><th>模擬地震波形</th><th>位相ケース</th></tr>\n");
  for (const Row& r : rows) {
    html.raw("<tr><td>").text(r.name).raw("</td><td class=\"n\">").text(field(r.wave, 14, r.decimals));
    html.raw("</td><td class=\"n\">").text(field(r.phase, 14, r.decimals)).raw("</td></tr>\n");
  }
  html.raw("</table>\n");
  html.raw("<p>速度と変位は最初のサンプルの 1 刻み前の静止から台形公式で積分（速度のファイルと同じ）。二乗和は加速度の二乗の累積");
  html.raw("（Arias 強度に比例）。位相ケースの主要動の始まり（").text(field(t.fit.onset_time, 12, 2));
  html.raw(" s）より前に模擬地震波形が持つ二乗和は全体の ").text(field(100.0 * t.fit.lead_in_share, 12, 2));
  html.raw(" %（静かな始まりの目安は ").integer(static_cast<int>(std::lround(100.0 * fitted_wave::kQuietLeadIn)));
  html.raw(" % 以下）。帯域を引き上げると、その帯域の成分が位相ケースで現れる時刻に応じて、これらの時刻は設計どおり動きます（参考値）。</p>\n");
}

}  // namespace

bool fit_shown(const PageData& d) { return d.t.fit.sample_count > 0; }

void write_fit_section(Html& html, const PageData& d) {
  const gm::RunTables& t = d.t;
  write_method_notes(html, t);
  write_criteria_table(html, t);
  write_motion_table(html, t);
  write_fit_spectra_chart(html, t);
  write_fit_ratio_chart(html, t);
  write_fit_energy_chart(html, t);
  write_fit_wave_charts(html, t);
  write_fit_convergence_chart(html, t);
}

}  // namespace report::detail
