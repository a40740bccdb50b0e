#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

#include "platform/critical_section.h"
#include "platform/interlocked.h"

namespace {

bool OtherThreadCanTake(CCritSec& section) {
  bool taken = false;
  std::thread other([&] {
    taken = section.TryLock();
    if (taken) section.Unlock();
  });
  other.join();
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
  section.Unlock();
  EXPECT_TRUE(OtherThreadCanTake(section));
}

TEST(CritSec, BlockedThreadProceedsOnceReleased) {
  CCritSec section;
  std::atomic<bool> entered{false};
  section.Lock();
  section.Lock();
  std::thread waiter([&] {
    CAutoLock lock(&section);
    entered = true;
  });
  section.Unlock();
  section.Unlock();
  waiter.join();
  EXPECT_TRUE(entered);
}

TEST(Interlocked, ConcurrentIncrementsAndExchangesLoseNothing) {
  constexpr int kThreads = 4;
  constexpr int kPerThread = 20000;
  volatile LONG counter = 0;
  volatile LONG slot = -1;
  std::vector<std::vector<LONG>> seen(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      seen[t].reserve(kPerThread);
      for (int i = 0; i < kPerThread; ++i) {
        InterlockedIncrement(&counter);
        seen[t].push_back(InterlockedExchange(&slot, t * kPerThread + i));
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(InterlockedRead(&counter), kThreads * kPerThread);

  // Every value put in the slot comes out exactly once: from a later exchange or at the end.
  std::vector<LONG> all{InterlockedRead(&slot)};
  for (const auto& values : seen) all.insert(all.end(), values.begin(), values.end());
  std::sort(all.begin(), all.end());
  ASSERT_EQ(all.size(), size_t{kThreads * kPerThread + 1});
  for (size_t i = 0; i < all.size(); ++i) ASSERT_EQ(all[i], static_cast<LONG>(i) - 1);
}

TEST(Interlocked, CompareExchangeSwapsOnlyOnMatchAndReturnsThePreviousValue) {
  volatile LONG word = 5;
  EXPECT_EQ(InterlockedCompareExchange(&word, 9, 4), 5);
  EXPECT_EQ(InterlockedRead(&word), 5);
  EXPECT_EQ(InterlockedCompareExchange(&word, 9, 5), 5);
  EXPECT_EQ(InterlockedRead(&word), 9);
  EXPECT_EQ(InterlockedDecrement(&word), 8);
}

}  // namespace

