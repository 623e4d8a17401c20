#pragma once
// A mutex and a reader-writer lock around a value, each with a poisoned mark.
//
// A guard that is destroyed by an exception unwinding through it marks its
// lock poisoned, since the value may be half-updated; for the reader-writer
// lock only a write guard does, as readers change nothing. The mark is never
// cleared. A poisoned lock is still taken and released as usual: each guard
// tells whether the lock was already poisoned when it was taken, and the
// caller decides what to do instead of using the value.
//
// The mutex is fork-aware: in a child forked while another thread held it,
// the child takes it over (that holder's work is simply not done), so values
// under it must be consistent whenever their holder is outside the fork gate.

#include <atomic>
#include <exception>
#include <shared_mutex>
#include <utility>

#include "tymbe_utils/fork_safety.h"

namespace tymbe::ast {

namespace poison_detail {

// Remembers how many exceptions were in flight when the lock was taken, so a
// guard built and destroyed inside one unwinding does not count as a failure.
class UnwindWatch {
 public:
  UnwindWatch() noexcept : in_flight_(std::uncaught_exceptions()) {}
  bool unwinding() const noexcept { return std::uncaught_exceptions() > in_flight_; }

 private:
  int in_flight_;
};

// Exclusive access to a lock's value; poisons the lock when an exception
// unwinds through it.
template <class Mutex, class T>
class ExclusiveGuard {
 public:
  ExclusiveGuard(Mutex& mutex, std::atomic<bool>& poisoned, T& value) : mutex_(mutex), poisoned_(poisoned), value_(value) {
    mutex_.lock();
    was_poisoned_ = poisoned_.load(std::memory_order_acquire);
  }
  ExclusiveGuard(const ExclusiveGuard&) = delete;
  ExclusiveGuard& operator=(const ExclusiveGuard&) = delete;
  ~ExclusiveGuard() {
    if (watch_.unwinding()) poisoned_.store(true, std::memory_order_release);
    mutex_.unlock();
  }

  // Whether the lock was poisoned before this guard took it.
  bool poisoned() const noexcept { return was_poisoned_; }
  T& operator*() const noexcept { return value_; }
  T* operator->() const noexcept { return &value_; }

 private:
  Mutex& mutex_;
  std::atomic<bool>& poisoned_;
  T& value_;
  UnwindWatch watch_;
  bool was_poisoned_ = false;
};

}  // namespace poison_detail

template <class T>
class PoisonMutex {
 public:
  using Guard = poison_detail::ExclusiveGuard<utils::ForkAwareMutex, T>;

  template <class... Args>
  explicit PoisonMutex(Args&&... args) : value_(std::forward<Args>(args)...) {}
  PoisonMutex(const PoisonMutex&) = delete;
  PoisonMutex& operator=(const PoisonMutex&) = delete;

  Guard lock() { return Guard(mutex_, poisoned_, value_); }
  bool is_poisoned() const noexcept { return poisoned_.load(std::memory_order_acquire); }

 private:
  utils::ForkAwareMutex mutex_;
  std::atomic<bool> poisoned_{false};
  T value_;
};

template <class T>
class PoisonRwLock {
 public:
  // Shared access; never poisons.
  class ReadGuard {
   public:
    ReadGuard(const ReadGuard&) = delete;
    ReadGuard& operator=(const ReadGuard&) = delete;
    ~ReadGuard() { owner_.mutex_.unlock_shared(); }

    bool poisoned() const noexcept { return was_poisoned_; }
    const T& operator*() const noexcept { return owner_.value_; }
    const T* operator->() const noexcept { return &owner_.value_; }

   private:
    friend class PoisonRwLock;
    explicit ReadGuard(PoisonRwLock& owner) : owner_(owner) {
      owner_.mutex_.lock_shared();
      was_poisoned_ = owner_.poisoned_.load(std::memory_order_acquire);
    }

    PoisonRwLock& owner_;
    bool was_poisoned_ = false;
  };

  // Exclusive access; poisons the lock when an exception unwinds through it.
  using WriteGuard = poison_detail::ExclusiveGuard<std::shared_mutex, T>;

  template <class... Args>
  explicit PoisonRwLock(Args&&... args) : value_(std::forward<Args>(args)...) {}
  PoisonRwLock(const PoisonRwLock&) = delete;
  PoisonRwLock& operator=(const PoisonRwLock&) = delete;

  ReadGuard read() { return ReadGuard(*this); }
  WriteGuard write() { return WriteGuard(mutex_, poisoned_, value_); }
  bool is_poisoned() const noexcept { return poisoned_.load(std::memory_order_acquire); }

 private:
  std::shared_mutex mutex_;
  std::atomic<bool> poisoned_{false};
  T value_;
};

}  // namespace tymbe::ast
