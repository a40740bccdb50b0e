// The COM task allocator: memory that one side of an interface allocates and the other frees.
//
// Format blocks of AM_MEDIA_TYPE, the AM_MEDIA_TYPE records handed out by enumerators, CAUUID
// arrays and pin identifiers travel across interfaces this way; whoever receives them frees them
// with CoTaskMemFree. Safe to call from any thread.
#pragma once

#include <cstddef>

#include "platform/types.h"

#if defined(_WIN32)
// Windows: ole32's task allocator, so a host frees what this module hands out and the other way
// round. The project's calls go through counting wrappers that keep the test hooks below.
#include <objbase.h>
LPVOID NxCoTaskMemAlloc(size_t size);
void NxCoTaskMemFree(LPVOID block);
#if !defined(NX_TASK_MEMORY_IMPLEMENTATION)
#define CoTaskMemAlloc NxCoTaskMemAlloc
#define CoTaskMemFree NxCoTaskMemFree
#endif
#else
// Returns null when memory is short (or when a test asked for failures). A request of 0 bytes
// still returns a block that must be freed.
LPVOID CoTaskMemAlloc(size_t size);

// Null is accepted and ignored.
void CoTaskMemFree(LPVOID block);
#endif

// Test hooks: blocks handed out and not yet freed, and a way to make the next `count`
// allocations fail so that E_OUTOFMEMORY paths can be reached.
LONG NxTaskMemOutstanding();
void NxTaskMemFailNext(LONG count);
