// Interrupts on a POSIX host: signals that only record that they came.
#include <atomic>
#include <cerrno>
#include <csignal>

#include <fcntl.h>
#include <unistd.h>

#include "platform/interrupt.hpp"
#include "platform/interrupt_record.hpp"

namespace platform {
namespace {

constexpr int kWatched[] = {SIGINT, SIGTERM, SIGHUP};

// The self-pipe: the handler writes a byte, a console read polls the other end. Written
// once before any handler is installed, read-only afterwards.
int wake_pipe[2] = {-1, -1};

extern "C" void on_interrupt(int signal_number) {
  const int saved = errno;  // the interrupted code may be about to read errno
  record_interrupt(signal_number);
  if (wake_pipe[1] >= 0) {
    const char byte = 1;
    // Non-blocking: a full pipe already wakes every reader.
    [[maybe_unused]] const ssize_t put = ::write(wake_pipe[1], &byte, 1);
  }
  errno = saved;
}

bool make_wake_pipe() {
  if (::pipe(wake_pipe) != 0) return false;
  for (const int fd : wake_pipe) {
    ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
  }
  return true;
}

}  // namespace

void watch_for_interrupts() {
  static std::atomic<bool> watching{false};
  if (watching.exchange(true)) return;
  if (!make_wake_pipe()) wake_pipe[0] = wake_pipe[1] = -1;  // reads then rely on EINTR alone
  struct sigaction action {};
  action.sa_handler = on_interrupt;
  sigemptyset(&action.sa_mask);
  // No SA_RESTART: a read waiting for the user at the prompt must return.
  action.sa_flags = 0;
  for (const int signal_number : kWatched) {
    struct sigaction before {};
    if (sigaction(signal_number, nullptr, &before) != 0 || before.sa_handler == SIG_IGN) continue;
    sigaction(signal_number, &action, nullptr);
  }
}

std::string_view interrupt_name() noexcept {
  switch (recorded_interrupt()) {
    case 0: return {};
    case SIGINT: return "SIGINT";
    case SIGTERM: return "SIGTERM";
    case SIGHUP: return "SIGHUP";
    default: return "a signal";
  }
}

int interrupt_wake_descriptor() noexcept { return wake_pipe[0]; }

void forget_interrupts_for_testing() noexcept {
  forget_recorded_interrupt();
  char drained[64];
  if (wake_pipe[0] >= 0) {
    while (::read(wake_pipe[0], drained, sizeof drained) > 0) {
    }
  }
}

}  // namespace platform
