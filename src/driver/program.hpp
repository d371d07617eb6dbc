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

// The text of the command-line form on standard output and standard error, chosen by
// GMGATHER_ENCODING: the program's own Shift-JIS, or UTF-8 for a reader that wants it.
enum class OutputEncoding { ShiftJis, Utf8 };

// The choice a setting makes: "utf-8" or "utf8", "shift_jis", "shift-jis" or "sjis", in
// any case; no setting or an empty one is Shift-JIS. Anything else is Shift-JIS too, and
// `note` gets the line that says so (without its line end).
OutputEncoding output_encoding(const char* setting, std::string* note);

// Takes the arguments after the program's name (Shift-JIS) and returns the exit status.
// The run shares its work among the pool's threads.
//
// A run given its definition file in a console window of its own (Windows starts the
// program so when a file is dropped on it) works in the definition file's folder, so that
// the results land beside it and its relative folder paths mean what the user meant; it
// ends, normally or not, with a line that names the folder of the result files and waits
// for Enter, so the window does not close before the user has read it. Given anything
// else there (two files dropped, a shortcut with --help), it also waits after its text.
//
// `encoding` is how the command-line form writes into pipes and files; a run that asks
// for its definition file at the prompt writes Shift-JIS whatever it says, as it always has.
int run_program(platform::Console& console, platform::Session& session, RunTables& tables,
                std::span<const std::string> arguments, const parallel::Pool& pool,
                OutputEncoding encoding = OutputEncoding::ShiftJis);

}  // namespace gm
