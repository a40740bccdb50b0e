// Milliseconds of a steady clock (never set back, unaffected by changes of the wall clock).
#pragma once

#include "platform/types.h"

#if defined(_WIN32)
#include "platform/win32_sdk.h"  // kernel32's GetTickCount and GetTickCount64
#else
// Wraps to 0 after 2^32 ms (about 49.7 days): compare two readings by unsigned difference.
DWORD GetTickCount();

// The same clock without the wrap; GetTickCount() is its low 32 bits.
ULONGLONG GetTickCount64();
#endif  // _WIN32
