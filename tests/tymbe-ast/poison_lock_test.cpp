#include "poison_lock.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <thread>
#include <vector>

namespace tymbe::ast {
namespace {

struct Fault : std::runtime_error {
  Fault() : std::runtime_error("fault") {}
};

TEST(PoisonMutex, ExceptionUnderTheGuardPoisonsForGood) {
  PoisonMutex<int> mutex(1);
  {
    auto guard = mutex.lock();
    EXPECT_FALSE(guard.poisoned());
    *guard = 2;
  }
  EXPECT_FALSE(mutex.is_poisoned());

  EXPECT_THROW(
      {
        auto guard = mutex.lock();
        *guard = 3;
        throw Fault();
      },
      Fault);
  EXPECT_TRUE(mutex.is_poisoned());

  // Still usable: the lock is taken and released, and the value is there to inspect.
  for (int round = 0; round < 2; ++round) {
    auto guard = mutex.lock();
    EXPECT_TRUE(guard.poisoned());
    EXPECT_EQ(*guard, 3);
  }
}

TEST(PoisonMutex, ExceptionCaughtInsideTheScopeDoesNotPoison) {
  PoisonMutex<int> mutex(0);
  {
    auto guard = mutex.lock();
    try {
      throw Fault();
    } catch (const Fault&) {
    }
  }
  EXPECT_FALSE(mutex.is_poisoned());
}

// A guard used by a destructor that runs during unwinding is not itself abandoned.
TEST(PoisonMutex, GuardTakenDuringUnwindingDoesNotPoison) {
  PoisonMutex<int> mutex(0);
  struct Cleanup {
    PoisonMutex<int>& mutex;
    ~Cleanup() {
      auto guard = mutex.lock();
      ++*guard;
    }
  };
  EXPECT_THROW(
      {
        Cleanup cleanup{mutex};
        throw Fault();
      },
      Fault);
  EXPECT_FALSE(mutex.is_poisoned());
  EXPECT_EQ(*mutex.lock(), 1);
}

TEST(PoisonRwLock, OnlyAnAbandonedWriterPoisons) {
  PoisonRwLock<std::vector<int>> lock;
  EXPECT_THROW(
      {
        auto reader = lock.read();
        throw Fault();
      },
      Fault);
  EXPECT_FALSE(lock.is_poisoned());
  EXPECT_FALSE(lock.write().poisoned());

  EXPECT_THROW(
      {
        auto writer = lock.write();
        writer->push_back(1);
        throw Fault();
      },
      Fault);
  EXPECT_TRUE(lock.is_poisoned());
  EXPECT_TRUE(lock.read().poisoned());
  EXPECT_TRUE(lock.write().poisoned());
  EXPECT_EQ(lock.read()->size(), 1u);
}

TEST(PoisonRwLock, ReadersShareWritersExclude) {
  PoisonRwLock<int> lock(0);
  {
    // Two read guards at once on one thread would deadlock an exclusive lock.
    auto first = lock.read();
    auto second = lock.read();
    EXPECT_EQ(*first + *second, 0);
  }
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < 1000; ++i) ++*lock.write();
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(*lock.read(), 8000);
}

// A fault on one thread poisons the lock for every other thread.
TEST(PoisonMutex, PoisonIsSeenByOtherThreads) {
  PoisonMutex<int> mutex(0);
  std::thread([&] {
    try {
      auto guard = mutex.lock();
      throw Fault();
    } catch (const Fault&) {
    }
  }).join();
  bool seen = false;
  std::thread([&] { seen = mutex.lock().poisoned(); }).join();
  EXPECT_TRUE(seen);
}

}  // namespace
}  // namespace tymbe::ast
