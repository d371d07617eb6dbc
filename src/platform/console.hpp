#pragma once
// The console: standard input, standard output and standard error, all Shift-JIS bytes
// as far as the program is concerned.
#include <cstddef>
#include <string>
#include <string_view>

namespace platform {

class Console {
 public:
  virtual ~Console() = default;
  // Reads up to n bytes of typed input as Shift-JIS: the count read (possibly fewer than
  // n; an interactive console gives one line at a time), 0 at the end of input, -1 on error.
  virtual std::ptrdiff_t read_input(char* buffer, std::size_t n) = 0;
  // Writes Shift-JIS bytes to standard output; false when the host refused them.
  virtual bool write_output(std::string_view bytes) = 0;
  // Writes Shift-JIS bytes to standard error; false when the host refused them.
  virtual bool write_error(std::string_view bytes) = 0;
  // From now on standard output and standard error carry UTF-8 wherever they lead, pipes
  // and files included: what the program writes is converted from Shift-JIS, a byte that
  // is not Shift-JIS showing as U+FFFD. A console window shows text as it did. Consoles
  // other than the host's have nothing to convert and ignore it.
  virtual void convert_output_to_utf8() {}
};

// The process's own console. Bytes pass unchanged when a stream is not a terminal
// (unless told to convert them, above).
// On a terminal that does not use Shift-JIS (a UTF-8 terminal on Linux; any Windows
// console), output is shown converted from Shift-JIS and typed input is converted back to
// Shift-JIS before the program sees it, so limits still count Shift-JIS bytes.
Console& host_console();

// The Shift-JIS bytes of a text the program holds in UTF-8 (its help, which is easier to
// keep in step in readable form). A character Shift-JIS cannot spell becomes '?'.
std::string shift_jis_from_utf8(std::string_view utf8);

// Prepares the process once at start: write failures must come back as errors rather
// than signals (a closed pipe, a file-size limit), and no stream may translate line ends.
void prepare_process();

}  // namespace platform
