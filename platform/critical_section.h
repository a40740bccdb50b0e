// A re-entrant critical section: the thread that holds it may take it again and must release it
// as often as it took it (preset loading calls setters while holding the parameter lock).
#pragma once

#if defined(_WIN32)
#include "platform/win32_sdk.h"
#else
#include <mutex>
#endif

class CCritSec {
 public:
  CCritSec(const CCritSec&) = delete;
  CCritSec& operator=(const CCritSec&) = delete;
#if defined(_WIN32)
  // A kernel32 critical section (re-entrant by nature).
  CCritSec() { InitializeCriticalSection(&section_); }
  ~CCritSec() { DeleteCriticalSection(&section_); }
  void Lock() { EnterCriticalSection(&section_); }
  void Unlock() { LeaveCriticalSection(&section_); }
  bool TryLock() { return TryEnterCriticalSection(&section_) != FALSE; }

 private:
  CRITICAL_SECTION section_;
#else
  CCritSec() = default;
  void Lock() { mutex_.lock(); }
  void Unlock() { mutex_.unlock(); }
  // Takes the section unless another thread holds it; never waits.
  bool TryLock() { return mutex_.try_lock(); }

 private:
  std::recursive_mutex mutex_;
#endif
};

// Holds a critical section for the lifetime of a scope.
class CAutoLock {
 public:
  explicit CAutoLock(CCritSec* lock) : lock_(lock) { lock_->Lock(); }
  ~CAutoLock() { lock_->Unlock(); }
  CAutoLock(const CAutoLock&) = delete;
  CAutoLock& operator=(const CAutoLock&) = delete;

 private:
  CCritSec* lock_;
};
