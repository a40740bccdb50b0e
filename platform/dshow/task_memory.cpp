#define NX_TASK_MEMORY_IMPLEMENTATION
#include "platform/dshow/task_memory.h"

#include <atomic>
#include <cstdlib>

namespace {

std::atomic<LONG> g_outstanding{0};
std::atomic<LONG> g_failuresRequested{0};

// Consumes one requested failure, if any is left.
bool TakeRequestedFailure() {
  LONG left = g_failuresRequested.load();
  while (left > 0) {
    if (g_failuresRequested.compare_exchange_weak(left, left - 1)) return true;
  }
  return false;
}

}  // namespace

#if defined(_WIN32)
// ole32's allocator underneath, so that a host may free these blocks and hand us its own.
LPVOID NxCoTaskMemAlloc(size_t size) {
  if (TakeRequestedFailure()) return nullptr;
  void* block = ::CoTaskMemAlloc(size == 0 ? 1 : size);
  if (block != nullptr) ++g_outstanding;
  return block;
}

void NxCoTaskMemFree(LPVOID block) {
  if (block == nullptr) return;
  --g_outstanding;
  ::CoTaskMemFree(block);
}
#else
LPVOID CoTaskMemAlloc(size_t size) {
  if (TakeRequestedFailure()) return nullptr;
  void* block = std::malloc(size == 0 ? 1 : size);
  if (block != nullptr) ++g_outstanding;
  return block;
}

void CoTaskMemFree(LPVOID block) {
  if (block == nullptr) return;
  --g_outstanding;
  std::free(block);
}
#endif

LONG NxTaskMemOutstanding() { return g_outstanding.load(); }

void NxTaskMemFailNext(LONG count) { g_failuresRequested.store(count < 0 ? 0 : count); }
