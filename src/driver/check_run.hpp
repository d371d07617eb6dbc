#pragma once
// gmgather --check: everything a run would read, read as the run reads it, and every
// problem found listed at once, one line each, with a count at the end; nothing written.
#include <string>
#include <string_view>
#include <vector>

#include "check/error_texts.hpp"
#include "check/findings.hpp"

#include "driver/run_console.hpp"
#include "driver/run_options.hpp"
#include "parallel/pool.hpp"
#include "platform/console.hpp"
#include "tables/run_tables.hpp"

namespace gm {

// The run's error texts, as a check states them.
const check::ErrorTexts& check_texts();

// The warnings among `found`, each as "FILE:LINE: TEXT" (Shift-JIS), for the page.
std::vector<std::string> warning_lines(const check::Findings& found);

// What a command-line run that met `warnings` warnings (the count --check gives for the
// same set and options) says after its end, on standard error, in Shift-JIS:
//   "gmgather: 3 warning(s) in the inputs; gmgather --check --fit def.csv lists them\r\n"
// with the run's own options and its definition file (between double quotes when it
// holds a blank, as a shell or the Windows prompt needs).
std::string warnings_line(int warnings, const RunOptions& options, std::string_view definition_file);

// Checks the input set of `definition_file` into the tables `t` (as start-up leaves them)
// and the folder the results would go to, for a run of `options`; lists the findings on
// the console's standard output. Returns 0 when a run would end normally (warnings or
// not), 1 when it would end with an error, whose text is the first error listed, 4 when
// asked for the design wave and the wave would miss its criteria (each listed as a
// warning), and 2 with the record layer's report when the list could not be written.
int check_run(RunConsole& con, RunTables& t, const parallel::Pool& pool, std::string_view definition_file,
              const RunOptions& options);

}  // namespace gm
