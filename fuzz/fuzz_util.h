// Pieces shared by the fuzz targets: memory files over the input, a consumer that draws choices
// from the input's bytes, and invariant checks that abort so the fuzzer records the input.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/memory_file.h"

#define FUZZ_CHECK(condition)                                                          \
  do {                                                                                 \
    if (!(condition)) {                                                                \
      std::fprintf(stderr, "%s:%d: invariant broken: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                    \
    }                                                                                  \
  } while (0)

// A read-only (or writable) memory file holding the input bytes; aborts only when memory is
// short, which no input size the fuzzer makes can cause.
inline NxMemoryFile* FuzzFile(const uint8_t* data, size_t size,
                              NxMemoryAccess access = NxMemoryAccess::ReadOnly) {
  NxMemoryFile* file = NxCreateMemoryFile(size == 0 ? nullptr : data, size, access);
  FUZZ_CHECK(file != nullptr);
  return file;
}

// True when the `capacity` units of `text` hold its terminating zero.
inline bool Terminated(const WCHAR* text, size_t capacity) {
  return std::find(text, text + capacity, WCHAR{0}) != text + capacity;
}

// Draws little-endian integers from the front of the input; zero once it is used up.
class FuzzBytes {
 public:
  FuzzBytes(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  uint32_t Take(unsigned bytes) {
    uint32_t value = 0;
    for (unsigned i = 0; i < bytes && used_ < size_; ++i)
      value |= uint32_t(data_[used_++]) << (8 * i);
    return value;
  }
  uint8_t Byte() { return static_cast<uint8_t>(Take(1)); }
  uint16_t Word() { return static_cast<uint16_t>(Take(2)); }
  uint32_t Dword() { return Take(4); }
  bool Empty() const { return used_ >= size_; }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t used_ = 0;
};
