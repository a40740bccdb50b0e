#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "platform/critical_section.h"

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

}  // namespace
