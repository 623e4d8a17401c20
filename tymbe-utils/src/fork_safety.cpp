#include "tymbe_utils/fork_safety.h"

#include <pthread.h>

namespace tymbe::utils {
namespace {

// The gate: the number of threads inside it, plus kForkPending while a fork
// waits for it to empty or is under way. Plain atomics, so nothing here holds
// a lock that a fork could leave taken, and nothing needs destroying at exit.
constexpr uint32_t kForkPending = uint32_t{1} << 31;
constinit std::atomic<uint32_t> gate{0};
// Set by the one thread whose fork is under way; other forking threads wait.
constinit std::atomic<bool> forking{false};
// Whether the fork under way left the gate alone (see prepare_fork).
constinit bool gate_left_open = false;
constinit std::atomic<uint32_t> generation{0};
// How deep the calling thread is inside the gate.
constinit thread_local unsigned gate_depth = 0;

void enter_gate() {
  uint32_t seen = gate.load(std::memory_order_relaxed);
  while (true) {
    if (seen & kForkPending) {
      gate.wait(seen, std::memory_order_relaxed);
      seen = gate.load(std::memory_order_relaxed);
      continue;
    }
    if (gate.compare_exchange_weak(seen, seen + 1, std::memory_order_acquire, std::memory_order_relaxed)) return;
  }
}

void leave_gate() noexcept {
  // The last thread out wakes the fork that waits for it.
  if (gate.fetch_sub(1, std::memory_order_release) == (kForkPending | 1)) gate.notify_all();
}

void prepare_fork() {
  bool expected = false;
  while (!forking.compare_exchange_weak(expected, true, std::memory_order_acquire)) {
    forking.wait(true);
    expected = false;
  }
  // A thread that forks from inside the gate would wait for itself: its fork
  // goes ahead without waiting for the others.
  gate_left_open = gate_depth > 0;
  if (gate_left_open) return;
  uint32_t seen = gate.fetch_or(kForkPending, std::memory_order_acquire) | kForkPending;
  while (seen != kForkPending) {
    gate.wait(seen, std::memory_order_acquire);
    seen = gate.load(std::memory_order_acquire);
  }
}

void open_gate_after_fork() {
  if (!gate_left_open) {
    gate.fetch_and(~kForkPending, std::memory_order_release);
    gate.notify_all();
  }
  forking.store(false, std::memory_order_release);
  forking.notify_all();
}

void after_fork_in_parent() { open_gate_after_fork(); }

void after_fork_in_child() {
  generation.fetch_add(1, std::memory_order_relaxed);
  // Only the forking thread lives on; it is the only one that can be inside.
  if (gate_left_open) gate.store(1, std::memory_order_relaxed);
  open_gate_after_fork();
}

// Registered when the library is loaded, before any thread can be inside the
// gate, so that no fork can miss it.
[[maybe_unused]] const int fork_handlers_registered =
    pthread_atfork(&prepare_fork, &after_fork_in_parent, &after_fork_in_child);

constexpr uint32_t kHeld = 1;
constexpr uint32_t kContended = 2;
constexpr uint32_t kStateBits = 3;

uint32_t holder_tag() noexcept { return fork_generation() << 2; }

}  // namespace

uint32_t fork_generation() noexcept { return generation.load(std::memory_order_relaxed); }

InsideForkGate::InsideForkGate() {
  if (gate_depth == 0) enter_gate();
  ++gate_depth;
}

InsideForkGate::~InsideForkGate() {
  if (--gate_depth == 0) leave_gate();
}

OutsideForkGate::OutsideForkGate() : depth_(gate_depth) {
  if (depth_ == 0) return;
  gate_depth = 0;
  leave_gate();
}

OutsideForkGate::~OutsideForkGate() {
  if (depth_ == 0) return;
  enter_gate();
  gate_depth = depth_;
}

void ForkAwareMutex::lock() {
  const uint32_t mine = holder_tag();
  uint32_t seen = 0;
  if (state_.compare_exchange_strong(seen, mine | kHeld, std::memory_order_acquire, std::memory_order_relaxed)) {
    return;
  }
  lock_contended(mine, seen);
}

void ForkAwareMutex::lock_contended(uint32_t mine, uint32_t seen) {
  while (true) {
    // Free, or held by a thread of the process this one was forked from.
    if (seen == 0 || (seen & ~kStateBits) != mine) {
      // Taken as contended: other threads may be asleep on it.
      if (state_.compare_exchange_weak(seen, mine | kContended, std::memory_order_acquire,
                                       std::memory_order_relaxed)) {
        return;
      }
      continue;
    }
    if ((seen & kStateBits) != kContended) {
      if (!state_.compare_exchange_weak(seen, mine | kContended, std::memory_order_relaxed)) continue;
      seen = mine | kContended;
    }
    {
      // The holder may be waiting without bound (for a read, for another
      // lock); a fork must not wait for this thread meanwhile.
      const OutsideForkGate outside;
      state_.wait(seen, std::memory_order_relaxed);
    }
    seen = state_.load(std::memory_order_relaxed);
  }
}

void ForkAwareMutex::unlock() noexcept {
  if ((state_.exchange(0, std::memory_order_release) & kStateBits) == kContended) state_.notify_one();
}

}  // namespace tymbe::utils
