#pragma once
// The whole run, from start-up to its end, in one pass: the prompt and its answer, the
// definition file, the spectrum tables, the waveforms, the evaluation, the result files.
#include <optional>
#include <string>
#include <string_view>

#include "tables/run_tables.hpp"
#include "platform/console.hpp"

namespace gm {

// Exit statuses.
inline constexpr int kExitNormal = 0;
inline constexpr int kExitErrorEnd = 1;  // a checked error: its message (and the Enter pause)
inline constexpr int kExitFatal = 2;     // the record layer's fatal report
inline constexpr int kExitUsage = 3;     // a command line the program cannot take

// "震源断層/ケースフォルダ定義ファイル:", written with no line end.
inline constexpr std::string_view kPrompt =
    "\x90\x6b\x8c\xb9\x92\x66\x91\x77/\x83\x50\x81\x5b\x83\x58\x83\x74\x83\x48\x83\x8b\x83\x5f"
    "\x92\xe8\x8b\x60\x83\x74\x83\x40\x83\x43\x83\x8b:";  // 震源断層/ケースフォルダ定義ファイル:

// How the program was started.
struct RunOptions {
  // The definition file named on the command line (Shift-JIS bytes), taken whole, of any
  // length: the run opens it and its messages quote it by all of these bytes. Such a run
  // has no prompt and never waits for Enter; an error end writes its message to standard
  // error without the " [Enter]", ends the line and gives exit status 1. None: the run asks
  // for the file at the prompt (an answer of at most 40 bytes) and waits for Enter after
  // an error message.
  std::optional<std::string> definition_file;
  // Also write the report page beside the result files.
  bool report = false;
  // Threads the run may use; 1 runs everything on the calling thread.
  int threads = 1;
};

// Runs the program on `console` with the tables `t` (which must hold their load-time
// zeros outside what start-up sets) and returns the exit status. Writes nothing but the
// prompt on a normal end, and not even that when the definition file is given.
int run(platform::Console& console, RunTables& t, const RunOptions& options = {});

}  // namespace gm
