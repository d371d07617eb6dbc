#pragma once
// Interrupts from outside the program: the user's Ctrl+C, the console window closing, a
// request to end (SIGTERM, SIGHUP). Left to the host, each ends the process where it
// stands, with its temporary files still in the folder. Watched for, each only records
// that it came: the run sees it at its next check, removes what it wrote, and ends in its
// own way (exit status 130).
#include <string_view>

namespace platform {

// Starts watching for interrupts, once per process; call it on the main thread before
// other threads start (later calls do nothing). From then on an interrupt does not end
// the process: interrupted() tells of it, and a console read waiting for the user gives
// up (read_input returns -1, with interrupted() true).
//
// POSIX: SIGINT, SIGTERM and SIGHUP, each unless the program was started with it ignored
// (nohup; a background job of a shell without job control), which stays ignored. A
// system call under way returns EINTR (no SA_RESTART); the file layer goes on after it.
// Windows: Ctrl+C, Ctrl+Break and the console window closing. After the last the host
// ends the process as soon as the handler returns, or about 5 s after the close in any
// case: the handler holds the process until the main thread exits.
void watch_for_interrupts();

// Whether an interrupt has come, outside an InterruptDeferral. Lock-free, from any thread.
bool interrupted() noexcept;

// The first interrupt that came, as a user knows it ("SIGINT", "SIGTERM", "SIGHUP",
// "Ctrl+C", "Ctrl+Break", "closing the console window"); empty when none has come.
std::string_view interrupt_name() noexcept;

// While one lives, the run is putting a result set in place, which it finishes whatever
// comes: interrupted() answers false, so no check on the way stops half way through, and
// an interrupt that came meanwhile shows once the last deferral ends.
class InterruptDeferral {
 public:
  InterruptDeferral() noexcept;
  ~InterruptDeferral();
  InterruptDeferral(const InterruptDeferral&) = delete;
  InterruptDeferral& operator=(const InterruptDeferral&) = delete;
};

// For tests, which interrupt themselves: forgets every interrupt that came.
void forget_interrupts_for_testing() noexcept;

}  // namespace platform
