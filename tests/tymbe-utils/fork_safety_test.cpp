#include "tymbe_utils/fork_safety.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <latch>
#include <mutex>
#include <thread>
#include <vector>

namespace {

using tymbe::utils::fork_generation;
using tymbe::utils::ForkAwareMutex;
using tymbe::utils::InsideForkGate;
using tymbe::utils::OutsideForkGate;

using Clock = std::chrono::steady_clock;

// Forks; the child runs `child` (true: success) under a deadline, so that a
// deadlock shows as a failed child rather than a hung test. Returns whether
// the child succeeded.
bool in_forked_child(const std::function<bool()>& child) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::alarm(10);
    ::_exit(child() ? 0 : 1);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// The holder does not exist in the child, which takes the mutex over.
TEST(ForkSafety, ChildTakesOverAMutexHeldAtTheFork) {
  ForkAwareMutex mutex;
  std::latch held(1);
  std::latch forked(1);
  std::thread holder([&] {
    const std::lock_guard lock(mutex);
    held.count_down();
    forked.wait();
  });
  held.wait();
  const uint32_t generation = fork_generation();
  EXPECT_TRUE(in_forked_child([&] {
    if (fork_generation() != generation + 1) return false;
    // Taken over, then an ordinary mutex of the child again.
    mutex.lock();
    mutex.unlock();
    std::thread other([&] { const std::lock_guard lock(mutex); });
    other.join();
    return true;
  }));
  forked.count_down();
  holder.join();
  EXPECT_EQ(fork_generation(), generation);
  const std::lock_guard lock(mutex);  // free again in the parent
}

TEST(ForkSafety, MutexExcludesWithinAProcess) {
  ForkAwareMutex mutex;
  long counter = 0;
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < 20000; ++i) {
        const std::lock_guard lock(mutex);
        ++counter;
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(counter, 80000);
}

// A fork waits until no thread is inside the gate, so the child never sees
// work inside it half done; a thread outside it (waiting without bound) does
// not hold the fork up.
TEST(ForkSafety, ForkWaitsForTheGateOnly) {
  std::atomic<bool> done{false};
  std::latch inside(1);
  std::thread worker([&] {
    const InsideForkGate gate;
    const InsideForkGate nested;
    inside.count_down();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    done = true;
  });
  inside.wait();
  EXPECT_TRUE(in_forked_child([&] { return done.load(); }));
  worker.join();

  std::latch outside(1);
  std::latch release(1);
  std::thread waiter([&] {
    const InsideForkGate gate;
    const OutsideForkGate aside;
    outside.count_down();
    release.wait();
  });
  outside.wait();
  const Clock::time_point start = Clock::now();
  EXPECT_TRUE(in_forked_child([] { return true; }));
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(5));
  release.count_down();
  waiter.join();
}

// A thread that forks from inside the gate does not wait for itself.
TEST(ForkSafety, ForkFromInsideTheGate) {
  const InsideForkGate gate;
  EXPECT_TRUE(in_forked_child([] {
    const InsideForkGate again;
    return true;
  }));
}

}  // namespace
