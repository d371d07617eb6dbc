#pragma once
// The report page: one self-contained UTF-8 HTML file that shows a run as an engineer
// checks it (summary, inputs, spectra, peak velocities, waveforms), with every chart drawn
// here as inline SVG. No script and nothing loaded from elsewhere: it opens offline in
// any browser and prints on A4.
#include <string>
#include <string_view>
#include <vector>

#include "parallel/pool.hpp"
#include "tables/run_tables.hpp"

namespace report {

// What the page says about the run beyond its tables, as UTF-8 text.
struct RunFacts {
  std::string definition_file;  // the name the run opened
  std::string working_folder;   // where the result files went
  std::string run_time;         // "2025-12-08 09:41:07", local time
  std::string version;          // of the program
  // What a check of the inputs warns of (the run goes on past it), one UTF-8 line each:
  // "cases\C01\加速度波形.acc:1: the sampling interval ...".
  std::vector<std::string> warnings = {};
};

// The facts of the run going on now, from the host: the definition file name as the run
// used it (Shift-JIS), the working folder, the local time.
RunFacts facts_of_this_run(std::string_view definition_file_sjis, std::string_view version);

// Renders the page of the run in `t` into `page`, the pass over the waveform tables
// spread over the pool; the page is the same bytes for any number of threads. The
// evaluation must have completed: at least one case, and phase_case one of them. The
// page only reads the tables, through their const view.
void render_page(const gm::RunTables& t, const RunFacts& facts, std::string& page,
                 const parallel::Pool& pool);

}  // namespace report
