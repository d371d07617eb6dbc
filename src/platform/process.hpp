#pragma once
// The process as the host started it: the arguments it was given, whether a console window
// was made for it alone, and the folder it works in.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// The arguments after the program's name, as Shift-JIS bytes.
// POSIX: each argument is the terminal's UTF-8, converted like typed input (a byte sequence
// that is not UTF-8, or a character Shift-JIS cannot spell, is kept as it is).
// Windows: the wide command line (`argc` and `argv` are not used: they are in the ANSI code
// page, which is 932 only on a Japanese system), split as the C runtime splits it, each
// argument in code page 932 (a character it cannot spell becomes '?').
std::vector<std::string> program_arguments(int argc, char** argv);

// Where the program runs: behind an interface so that the decisions taken on it can be
// tried without a console window of its own and without leaving the test's folder.
class Session {
 public:
  virtual ~Session() = default;
  // Whether this process is the only one on its console: the host made the console for
  // it, as when a file is dropped on the program, and the window closes the moment the
  // program ends. False when the program was started from a shell, when it has no console,
  // and always on a POSIX host, where a terminal outlives the program.
  virtual bool alone_on_console() = 0;
  // Makes the folder that holds the file `sjis_path` the working folder. Returns the full
  // path of the file (Shift-JIS), which finds it from the new folder as from the old one;
  // nothing, with the working folder unchanged, when the host refused.
  virtual std::optional<std::string> enter_folder_of(std::string_view sjis_path) = 0;
  // The full path of the working folder, as Shift-JIS.
  virtual std::string working_folder() = 0;
};

// The session of this process.
Session& host_session();

}  // namespace platform
