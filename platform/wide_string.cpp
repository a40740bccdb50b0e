#include "platform/wide_string.h"

namespace {

WCHAR FoldAscii(WCHAR c) { return (c >= 'A' && c <= 'Z') ? static_cast<WCHAR>(c + ('a' - 'A')) : c; }

template <typename Fold>
int Compare(LPCWSTR a, LPCWSTR b, Fold fold) {
  for (;; ++a, ++b) {
    const WCHAR ca = fold(*a);
    const WCHAR cb = fold(*b);
    if (ca != cb) return ca < cb ? -1 : 1;
    if (ca == 0) return 0;
  }
}

}  // namespace

size_t NxStrLenW(LPCWSTR text) {
  size_t n = 0;
  while (text[n] != 0) ++n;
  return n;
}

size_t NxStrLenBoundedW(LPCWSTR text, size_t maxUnits) {
  size_t n = 0;
  while (n < maxUnits && text[n] != 0) ++n;
  return n;
}

size_t NxStrCopyW(LPWSTR dst, size_t capacity, LPCWSTR src) {
  if (dst == nullptr || capacity == 0) return 0;
  size_t n = 0;
  if (src != nullptr) {
    for (; n + 1 < capacity && src[n] != 0; ++n) dst[n] = src[n];
  }
  dst[n] = 0;
  return n;
}

size_t NxStrCatW(LPWSTR dst, size_t capacity, LPCWSTR src) {
  if (dst == nullptr || capacity == 0) return 0;
  const size_t used = NxStrLenBoundedW(dst, capacity - 1);
  return used + NxStrCopyW(dst + used, capacity - used, src);
}

int NxStrCmpW(LPCWSTR a, LPCWSTR b) {
  return Compare(a, b, [](WCHAR c) { return c; });
}

int NxStrCmpIW(LPCWSTR a, LPCWSTR b) { return Compare(a, b, FoldAscii); }
