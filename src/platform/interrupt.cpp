// The record of interrupts and the deferrals, shared by both hosts.
#include <atomic>

#include "platform/interrupt.hpp"
#include "platform/interrupt_record.hpp"

namespace platform {
namespace {

// A signal handler may only touch lock-free atomics.
static_assert(std::atomic<int>::is_always_lock_free);

std::atomic<int> first_interrupt{0};
std::atomic<int> deferrals{0};

}  // namespace

void record_interrupt(int code) noexcept {
  int none = 0;
  first_interrupt.compare_exchange_strong(none, code);
}

int recorded_interrupt() noexcept { return first_interrupt.load(); }

void forget_recorded_interrupt() noexcept { first_interrupt.store(0); }

bool interrupted() noexcept { return first_interrupt.load() != 0 && deferrals.load() == 0; }

InterruptDeferral::InterruptDeferral() noexcept { deferrals.fetch_add(1); }

InterruptDeferral::~InterruptDeferral() { deferrals.fetch_sub(1); }

}  // namespace platform
