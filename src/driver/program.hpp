#pragma once
// The program from its command line to its exit status: the help, the version, a command
// line it cannot take, and the run, in a console window of its own or not.
#include <span>
#include <string>

#include "parallel/pool.hpp"
#include "platform/console.hpp"
#include "platform/process.hpp"
#include "tables/run_tables.hpp"

namespace gm {

// Takes the arguments after the program's name (Shift-JIS) and returns the exit status.
// The run shares its work among the pool's threads.
//
// A run given its definition file in a console window of its own (Windows starts the
// program so when a file is dropped on it) works in the definition file's folder, so that
// the results land beside it and its relative folder paths mean what the user meant; it
// ends, normally or not, with a line that names the folder of the result files and waits
// for Enter, so the window does not close before the user has read it. Given anything
// else there (two files dropped, a shortcut with --help), it also waits after its text.
int run_program(platform::Console& console, platform::Session& session, RunTables& tables,
                std::span<const std::string> arguments, const parallel::Pool& pool);

}  // namespace gm
