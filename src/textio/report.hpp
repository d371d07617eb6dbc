#pragma once
// The record layer's error numbers, messages and report lines, and the units of the
// console. A program numbers its files' units itself.
#include <cstddef>
#include <string>
#include <string_view>

#include "platform/fs.hpp"

namespace textio {

// The console's units, shown in reports.
inline constexpr int kConsoleErrorUnit = 0;
inline constexpr int kConsoleInputUnit = 5;
inline constexpr int kConsoleOutputUnit = 6;

// Names the console units go by in reports.
inline constexpr std::string_view kConsoleInputName = "stdin";
inline constexpr std::string_view kConsoleOutputName = "stdout";
inline constexpr std::string_view kConsoleErrorName = "stderr";

// Error numbers.
inline constexpr int kStatusOk = 0;
inline constexpr int kErrPermission = 9;
inline constexpr int kErrEndOfFile = 24;
inline constexpr int kErrFileNotFound = 29;
inline constexpr int kErrOpenFailure = 30;
inline constexpr int kErrWrite = 38;
inline constexpr int kErrRead = 39;  // the host failed a read (a disk error, not the end)
inline constexpr int kErrNoDevice = 42;
inline constexpr int kErrFileName = 43;
inline constexpr int kErrListSyntax = 59;
inline constexpr int kErrFormatMismatch = 61;
inline constexpr int kErrOutputConversion = 63;
inline constexpr int kErrInputConversion = 64;

// A failure of the record layer: its number and the unit and file it happened on, and,
// for a read, where in the file. The report line shows none of the place; a check names it
// so that nobody has to search thousands of samples for one typo.
struct Fault {
  int number = 0;
  int unit = 0;
  std::string file;  // the name as the program built it (Shift-JIS, backslashes as written)
  // The 1-based line where the read failed: the line of the value or field that did not
  // read; at the end of the data (24, 39) the file's last line. 0: unknown, or no line at
  // all (an empty file, a write).
  int line = 0;
  // The 1-based byte in that line where the value or field begins; 0 at the end of the data.
  int column = 0;
  // The 1-based item of the read statement that did not get its value (a sample, a field
  // of a row); 0 for a statement with no items.
  int item = 0;
  // The bytes that did not read, at most kFaultTextBytes of them: the free-form value from
  // its first byte to the byte that ends it, or the fixed-width field as cut (without the
  // comma that ended it). Empty at the end of the data, and for a write.
  std::string text{};
};
inline constexpr std::size_t kFaultTextBytes = 48;

enum class Severity { Severe, Error };

// The message of an error number, "%d" and "%s" not yet filled in:
// message_for(24) -> "end-of-file during read, unit %d, file %s".
std::string_view message_for(int number) noexcept;

// One report line: "txtrec: severe (24): end-of-file during read, unit 12, file a\b.csv\n".
std::string report_line(Severity severity, const Fault& fault);

// The error number of an open refusal: NotFound -> 29, AccessDenied -> 9, NoDevice -> 42,
// BadName -> 43, anything else -> 30; None -> 0.
int open_error_number(platform::OpenError error) noexcept;

}  // namespace textio
