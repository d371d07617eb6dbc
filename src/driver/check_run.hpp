#pragma once
// gmgather --check: everything a run would read, read as the run reads it, and every
// problem found listed at once, one line each, with a count at the end; nothing written.
#include <string_view>

#include "driver/run_options.hpp"
#include "parallel/pool.hpp"
#include "platform/console.hpp"
#include "tables/run_tables.hpp"

namespace gm {

// Checks the input set of `definition_file` into the tables `t` (as start-up leaves them)
// and the folder the results would go to, for a run of `options`; lists the findings on
// standard output. Returns 0 when a run would end normally (warnings or not), 1 when it
// would end with an error, whose text is the first error listed.
int check_run(platform::Console& console, RunTables& t, const parallel::Pool& pool, std::string_view definition_file,
              const RunOptions& options);

}  // namespace gm
