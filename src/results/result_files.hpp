#pragma once
// Writing the result set of a run into the current folder: every file under a temporary
// name first, side by side on the pool, and all in place only once all are complete and
// on the disk.
#include <functional>
#include <optional>
#include <string_view>
#include <vector>

#include "parallel/pool.hpp"
#include "platform/console.hpp"
#include "platform/file_system.hpp"
#include "results/result_set.hpp"
#include "tables/run_tables.hpp"
#include "textio/report.hpp"

namespace results {

// Writes the files of the set that `request` asks for (result_set.hpp), the rendering
// shared among the pool's threads; the bytes, reports and faults are the same for any
// number of threads. Each is written whole under a temporary name, and all replace the
// files of their names only when all are complete and on the disk; an earlier run's file
// of the set that this run does not write is removed with them. Returns the record
// layer's fault, for the file it names, when a file cannot be created, written, flushed
// or put in place; the files of an earlier run are then left as they were. Overflow
// reports, and a clean-up that failed once the set was in place, go to `console`. Every
// file call goes to `fs`.
//
// What the options' files hold may be made late: `prepare`, when given, is called once,
// after the files every run writes are written (and, with more than one thread, on their
// way to the disk) and before the first file of an option; it may fill in the request's
// page, and may use the pool. On a disk that must take the first files, the work goes on
// while it does. A run interrupted meanwhile writes nothing more.
using Preparation = std::function<void(Request&)>;
std::optional<textio::Fault> write_result_files(const gm::RunTables& t, platform::Console& console,
                                                const parallel::Pool& pool, const Request& request = {},
                                                platform::FileSystem& fs = platform::host_file_system(),
                                                const Preparation& prepare = {});

// The refusals a run asked for `request` would meet putting its set in place in the folder
// as it stands, in the order it would meet them; looks, changes nothing.
std::vector<textio::Fault> foreseen_refusals(const Request& request,
                                             platform::FileSystem& fs = platform::host_file_system());

// The bare name of every file the set can hold, in the order written: what a start looks
// for beside them.
std::vector<std::string_view> set_names();

}  // namespace results
