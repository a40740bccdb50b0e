#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "platform/critical_section.h"
#include "platform/interlocked.h"

namespace {

bool OtherThreadCanTake(CCritSec& section) {
  bool taken = false;
  std::thread([&] {
    if ((taken = section.TryLock())) section.Unlock();
  }).join();
  return taken;
}

TEST(CritSec, SameThreadReentersAndOthersWaitForTheLastRelease) {
  CCritSec section;
  section.Lock();
  {
    CAutoLock nested(&section);  // would deadlock on a plain mutex
    EXPECT_FALSE(OtherThreadCanTake(section));
  }
  EXPECT_FALSE(OtherThreadCanTake(section));  // still held once
  std::atomic<bool> entered{false};
  std::thread waiter([&] {
    CAutoLock lock(&section);
    entered = true;
  });
  section.Unlock();
  waiter.join();
  EXPECT_TRUE(entered && OtherThreadCanTake(section));
}

// Every value put in the slot comes out exactly once, from a later exchange or at the end, so
// the sums match.
TEST(Interlocked, ConcurrentIncrementsAndExchangesLoseNothing) {
  constexpr long long kThreads = 4, kPerThread = 20000, kValues = kThreads * kPerThread;
  volatile LONG counter = 0, slot = 0;
  std::atomic<long long> taken{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (LONG i = 1; i <= kPerThread; ++i) {
        InterlockedIncrement(&counter);
        taken += InterlockedExchange(&slot, static_cast<LONG>(t * kPerThread) + i);
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(InterlockedRead(&counter), kValues);
  EXPECT_EQ(taken + InterlockedRead(&slot), kValues * (kValues + 1) / 2);
  volatile LONG word = 5;
  EXPECT_EQ(InterlockedCompareExchange(&word, 9, 4), 5);
  EXPECT_EQ(InterlockedCompareExchange(&word, 9, 5), 5);
  EXPECT_EQ(InterlockedDecrement(&word), 8);
}

}  // namespace
