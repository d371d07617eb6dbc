#pragma once
// What the command line asks of a run.
#include <optional>
#include <string>

namespace gm {

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
  // Also write each case's response spectrum beside the target.
  bool spectra = false;
  // Read everything a run would read and list every problem found; write nothing.
  bool check = false;
  // Also write the design wave: the phase case fitted to the target spectrum.
  bool fit = false;
};

}  // namespace gm
