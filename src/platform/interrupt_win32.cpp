// Interrupts on a Windows host: console control events, which the host hands to a
// handler on a thread of its own.
#include <atomic>

#include "platform/interrupt.hpp"
#include "platform/interrupt_record.hpp"
#include "platform/win32_text.hpp"

namespace platform {
namespace {

// Written once before the handler is installed, read-only afterwards.
HANDLE main_thread = nullptr;
// Whether the main thread waits in a read of standard input (see CancellableRead).
std::atomic<bool> reading{false};

// A read of a pipe does not notice Ctrl+C; cancelling it makes ReadFile fail. The main
// thread may be just about to start its read, when there is nothing to cancel yet: so the
// cancel is tried again for a moment, as long as the read is still ahead.
void cancel_read() {
  for (int attempt = 0; attempt < 50 && reading.load(); ++attempt) {
    if (CancelSynchronousIo(main_thread) || GetLastError() != ERROR_NOT_FOUND) return;
    Sleep(10);
  }
}

BOOL WINAPI on_console_event(DWORD event) {
  // Log-off and shut-down events reach services only.
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && event != CTRL_CLOSE_EVENT) return FALSE;
  record_interrupt(static_cast<int>(event) + 1);  // CTRL_C_EVENT is 0
  if (main_thread != nullptr) cancel_read();
  if (event == CTRL_CLOSE_EVENT) {
    // The host ends the process the moment this returns. Held here, it lets the main
    // thread remove its temporary files first; the main thread's exit ends this thread.
    for (;;) Sleep(INFINITE);
  }
  return TRUE;
}

}  // namespace

void watch_for_interrupts() {
  static std::atomic<bool> watching{false};
  if (watching.exchange(true)) return;
  HANDLE self = nullptr;
  // GetCurrentThread gives a handle that means "the calling thread" to whoever uses it.
  if (DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(), &self, 0, FALSE,
                      DUPLICATE_SAME_ACCESS)) {
    main_thread = self;
  }
  SetConsoleCtrlHandler(on_console_event, TRUE);
}

std::string_view interrupt_name() noexcept {
  switch (recorded_interrupt()) {
    case 0: return {};
    case CTRL_C_EVENT + 1: return "Ctrl+C";
    case CTRL_BREAK_EVENT + 1: return "Ctrl+Break";
    case CTRL_CLOSE_EVENT + 1: return "closing the console window";
    default: return "a console event";
  }
}

CancellableRead::CancellableRead() noexcept { reading.store(true); }
CancellableRead::~CancellableRead() { reading.store(false); }

void forget_interrupts_for_testing() noexcept { forget_recorded_interrupt(); }

}  // namespace platform
