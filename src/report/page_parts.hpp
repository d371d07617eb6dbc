#pragma once
// The pieces of the report page, shared by the files that draw them: the numbers worked
// out from the run tables in one pass, the list of sections, and their writers.
#include <algorithm>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "parallel/pool.hpp"
#include "report/chart_data.hpp"
#include "report/html.hpp"
#include "report/page.hpp"
#include "report/svg.hpp"
#include "tables/run_tables.hpp"

namespace report::detail {

// Every chart is this wide in viewBox units; the plot areas leave room at the left for
// the tick labels and the turned axis title.
inline constexpr int kChartWidth = 1000;
inline constexpr double kPlotLeft = 100.0;
inline constexpr double kPlotRight = 980.0;
// Envelope columns per waveform chart: one per viewBox unit of the plot's width.
inline constexpr int kColumns = static_cast<int>(kPlotRight - kPlotLeft);

// One case's waveforms, reduced to what the charts draw.
struct CaseWaves {
  CaseWaves(int axis_samples, int columns)
      : velocity(axis_samples, columns), acceleration(axis_samples, columns) {}
  Envelope velocity;
  Envelope acceleration;
};

// The values all the cases' charts of one kind share a scale for: the lowest and the
// highest of any case, zero included.
struct WaveRange {
  double lowest = 0.0;
  double highest = 0.0;
  void take(const Envelope& e) {
    lowest = std::min(lowest, e.lowest());
    highest = std::max(highest, e.highest());
  }
};

struct PageData {
  const gm::RunTables& t;
  const RunFacts& facts;
  int longest = 0;               // the most samples of any case: the shared time axis
  std::vector<CaseWaves> cases;  // case c at c - 1, on the shared time axis
  Envelope phase;                // the phase case's acceleration on its own time axis
  WaveRange velocity_range = {};
  WaveRange acceleration_range = {};
};

// Reads the waveform tables once, its pieces spread over the pool.
PageData gather(const gm::RunTables& t, const RunFacts& facts, const parallel::Pool& pool);

// One section of the page. The page writes <section id="ID"><h2>N. TITLE</h2>, then
// lets `write` add the rest (and write_part each of its parts, in turn), then closes the
// section; N counts the sections shown up to this one. The table of contents and the
// print style's page breaks come from the same entries, so a section is added by one
// entry in the page's list plus its writer.
struct Section {
  std::string_view id;     // element id and link target: ASCII letters and digits
  std::string_view title;  // the program's own UTF-8 text, written as it is
  void (*write)(Html& html, const PageData& d) = nullptr;
  bool new_page = false;   // printed from the top of a new page
  // Whether the run has anything for the section; null: it always has.
  bool (*shown)(const PageData& d) = nullptr;
  // A section of many like parts (a chart per case): how many the run has, and the writer
  // of part i (from 0), which writes it from `d` alone, so that the page can write parts
  // side by side on the run's threads. Null: the section is `write` alone.
  int (*parts)(const PageData& d) = nullptr;
  void (*write_part)(Html& html, const PageData& d, int part) = nullptr;
};

// The page's sections in page order.
std::span<const Section> page_sections();

// The parts of the page made from a list of sections: the table of contents, the rule of
// the print style that starts each new_page section on a page of its own (every flagged
// section, shown or not, so that the style does not depend on the run), and the sections.
void write_contents(Html& html, std::span<const Section> sections, const PageData& d);
void write_page_breaks(Html& html, std::span<const Section> sections);
void write_sections(Html& html, std::span<const Section> sections, const PageData& d);

// Writers of the sections, in page order.
void write_warnings_section(Html& html, const PageData& d);
void write_summary_section(Html& html, const PageData& d);
void write_inputs_section(Html& html, const PageData& d);
void write_spectra_section(Html& html, const PageData& d);
void write_peaks_section(Html& html, const PageData& d);
void write_case_spectra_section(Html& html, const PageData& d);
void write_phase_section(Html& html, const PageData& d);
// The waveform sections: what all their charts share, then a part per case.
void write_velocity_section(Html& html, const PageData& d);
void write_velocity_chart(Html& html, const PageData& d, int part);
void write_acceleration_section(Html& html, const PageData& d);
void write_acceleration_chart(Html& html, const PageData& d, int part);
int case_parts(const PageData& d);
// The design wave, when the run made one, and its charts.
void write_fit_section(Html& html, const PageData& d);
bool fit_shown(const PageData& d);
void write_fit_spectra_chart(Html& html, const gm::RunTables& t);
void write_fit_ratio_chart(Html& html, const gm::RunTables& t);
void write_fit_energy_chart(Html& html, const gm::RunTables& t);
void write_fit_wave_charts(Html& html, const gm::RunTables& t);
void write_fit_convergence_chart(Html& html, const gm::RunTables& t);

// One line of a spectra chart: fault k (1..6), case c, or the target (0), as the caller
// counts them.
struct SpectrumLine {
  int fault = 0;
  std::vector<double> values;  // per period row
};

// The axes of a spectra chart: log-log with 1-2-5 ticks when every point can stand on
// them, else linear from zero; and how many points are left out as not finite.
struct SpectrumAxes {
  ChartAxis x;
  ChartAxis y;
  int left_out = 0;
};
SpectrumAxes spectrum_axes(const gm::RunTables& t, const std::vector<SpectrumLine>& lines, std::string_view y_title);

// A number as the result files write it, without the leading blanks of its field:
// field(12.3456789, 14, 6) -> "12.345679"; a value that does not fit (or is not finite)
// gives the field's asterisks, as in the file.
std::string field(double value, int width, int decimals);
std::string integer_field(int value, int width);

// The folder of fault k or case c as the definition file gives it, in UTF-8.
std::string fault_folder_text(const gm::RunTables& t, int k);
std::string case_folder_text(const gm::RunTables& t, int c);

// The pieces joined into one text. (Also spares GCC 12 at -O3 a false -Wrestrict on
// "literal" + std::string, GCC bug 105329.)
inline std::string join(std::initializer_list<std::string_view> pieces) {
  std::string out;
  for (const std::string_view p : pieces) out.append(p);
  return out;
}

// The time of sample index i (from 0), as the result files compute it.
inline double time_of(const gm::RunTables& t, int i) { return static_cast<double>(i) * t.time_step; }

// The time step as a reader reads it: 0.02 -> "0.02".
std::string time_step_text(const gm::RunTables& t);

// The waveform charts' axes: symmetric around zero (a little beyond the largest value
// unless stretched to 1-2-5 ticks), and the time of `samples` samples from 0.
Axis symmetric_axis(double lowest, double highest, int ticks, bool stretch);
Axis time_axis(const gm::RunTables& t, int samples);
// The dot on a waveform's peak and its label, "最大 937.3 cm/s²（19.50 s）".
void draw_peak_mark(Html& html, const gm::RunTables& t, const Sample& peak, const Plot& plot, std::string_view unit);

// A note under a chart, in the class the style sheet gives notes.
void write_note(Html& html, std::string_view text);

}  // namespace report::detail
