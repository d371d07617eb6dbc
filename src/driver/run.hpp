#pragma once
// The whole run, from start-up to its end, in named phases: the definition file (asked
// for at the prompt or given), the input files, the evaluation, the rendering of what is
// not drawn from the tables as it is written (the page), and the placing of the result
// set in the current folder.
#include <string_view>

#include "driver/run_console.hpp"
#include "driver/run_options.hpp"
#include "parallel/pool.hpp"
#include "platform/console.hpp"
#include "platform/file_system.hpp"
#include "tables/run_tables.hpp"

namespace gm {

// "震源断層/ケースフォルダ定義ファイル:", written with no line end.
inline constexpr std::string_view kPrompt =
    "\x90\x6b\x8c\xb9\x92\x66\x91\x77/\x83\x50\x81\x5b\x83\x58\x83\x74\x83\x48\x83\x8b\x83\x5f"
    "\x92\xe8\x8b\x60\x83\x74\x83\x40\x83\x43\x83\x8b:";  // 震源断層/ケースフォルダ定義ファイル:

// Runs the program on `console` with the tables `t` (which must hold their load-time
// zeros outside what start-up sets), the work shared among the pool's threads, and
// returns the exit status. Writes nothing but the prompt on a normal end, and not even
// that when the definition file is given. The result set is put in place, and what a
// stopped run left finished, through `fs`.
int run(platform::Console& console, RunTables& t, const parallel::Pool& pool, const RunOptions& options = {},
        platform::FileSystem& fs = platform::host_file_system());

}  // namespace gm
