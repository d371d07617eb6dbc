#pragma once
// The record of interrupts that the hosts' handlers write and the rest of this layer
// reads (see interrupt.hpp). A POSIX signal handler writes it, so it is lock-free atomics
// only.
namespace platform {

// Records the host's code of an interrupt (a signal number; a console event + 1), unless
// one came before: the first is the one named. Safe in a signal handler.
void record_interrupt(int code) noexcept;
// The code of the first interrupt recorded, or 0.
int recorded_interrupt() noexcept;
void forget_recorded_interrupt() noexcept;

// POSIX: a descriptor that turns readable when an interrupt comes, or -1 before
// watch_for_interrupts. A console read waits on it beside its input: a signal that comes
// just before the read(2) starts interrupts nothing, and the read would wait for the user.
int interrupt_wake_descriptor() noexcept;

// Windows: marks the span in which the main thread waits in a read of standard input.
// An interrupt then cancels that read (CancelSynchronousIo): Ctrl+C cuts short a read of
// the console itself, but not one of a pipe.
class CancellableRead {
 public:
  CancellableRead() noexcept;
  ~CancellableRead();
  CancellableRead(const CancellableRead&) = delete;
  CancellableRead& operator=(const CancellableRead&) = delete;
};

}  // namespace platform
