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

LONG NxTaskMemOutstanding() { return g_outstanding.load(); }

void NxTaskMemFailNext(LONG count) { g_failuresRequested.store(count < 0 ? 0 : count); }
