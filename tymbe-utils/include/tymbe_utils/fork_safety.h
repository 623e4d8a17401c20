#pragma once
// Keeping the libraries usable in a child forked while other threads work in
// them (background indexing, calls that run without the interpreter lock).
//
// A fork copies only the forking thread, so every lock another thread held at
// that moment stays held in the child by a thread that does not exist there.
// Two tools keep the child's locks free:
// - The fork gate. Work that holds locks these libraries do not own (those of
//   the regular-expression engine, of the standard library, of a map being
//   rehashed) runs inside the gate, and a fork waits until no thread is
//   inside. A wait that may last without bound (a read from a pipe, a wait
//   for another thread's computation) steps outside the gate meanwhile.
// - ForkAwareMutex, for the locks held across such waits: a holder from
//   before the fork counts as gone in the child, which takes the lock over.

#include <atomic>
#include <cstdint>

namespace tymbe::utils {

// How many forks lie between the process's first image and this one.
uint32_t fork_generation() noexcept;

// The calling thread is inside the fork gate while one of these lives; nests.
class InsideForkGate {
 public:
  InsideForkGate();
  ~InsideForkGate();
  InsideForkGate(const InsideForkGate&) = delete;
  InsideForkGate& operator=(const InsideForkGate&) = delete;
};

// The calling thread is outside the gate while one of these lives, and back
// in afterwards if it was in before (waiting first for a fork under way).
class OutsideForkGate {
 public:
  OutsideForkGate();
  ~OutsideForkGate();
  OutsideForkGate(const OutsideForkGate&) = delete;
  OutsideForkGate& operator=(const OutsideForkGate&) = delete;

 private:
  unsigned depth_;
};

// A mutex (BasicLockable) whose holder from before a fork counts as gone in
// the child: the child's first lock() takes it over. Whatever the holder was
// doing under it stays undone, so the guarded value must be consistent
// whenever a holder can be outside the fork gate. A thread waits for it
// outside the gate.
class ForkAwareMutex {
 public:
  ForkAwareMutex() = default;
  ForkAwareMutex(const ForkAwareMutex&) = delete;
  ForkAwareMutex& operator=(const ForkAwareMutex&) = delete;

  void lock();
  void unlock() noexcept;

 private:
  void lock_contended(uint32_t mine, uint32_t seen);

  // 0 when free; otherwise the holder's fork generation (shifted left by two)
  // with kHeld, or kContended when another thread may be waiting.
  std::atomic<uint32_t> state_{0};
};

}  // namespace tymbe::utils
