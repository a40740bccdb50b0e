// Atomic operations on 32-bit words shared between threads without a lock (sequentially
// consistent, as the Windows functions of the same names). Every access to such a word, reads
// included, goes through these so that no access is a data race.
#pragma once

#include "platform/types.h"

#if defined(_WIN32)
#include "platform/win32_sdk.h"  // the Interlocked functions
#else
inline LONG InterlockedExchange(LONG volatile* target, LONG value) {
  return __atomic_exchange_n(target, value, __ATOMIC_SEQ_CST);
}

inline LONG InterlockedCompareExchange(LONG volatile* target, LONG exchange, LONG comparand) {
  __atomic_compare_exchange_n(target, &comparand, exchange, false, __ATOMIC_SEQ_CST,
                              __ATOMIC_SEQ_CST);
  return comparand;
}

inline LONG InterlockedIncrement(LONG volatile* target) {
  return __atomic_add_fetch(target, 1, __ATOMIC_SEQ_CST);
}

inline LONG InterlockedDecrement(LONG volatile* target) {
  return __atomic_sub_fetch(target, 1, __ATOMIC_SEQ_CST);
}

#endif  // _WIN32

// Reads a word that other threads change with the functions above.
inline LONG InterlockedRead(LONG volatile const* target) {
  return __atomic_load_n(target, __ATOMIC_SEQ_CST);
}

inline void InterlockedWrite(LONG volatile* target, LONG value) {
  __atomic_store_n(target, value, __ATOMIC_SEQ_CST);
}
