// ISpecifyPropertyPages and the counted GUID array it fills.
#pragma once

#include "platform/unknown.h"

#if defined(_WIN32)
#include <ocidl.h>
#else
// A counted array of GUIDs. pElems is task-allocated (CoTaskMemAlloc) by the object and freed by
// the caller with CoTaskMemFree.
struct CAUUID {
  ULONG cElems;
  GUID* pElems;
};
#if defined(__x86_64__) || defined(_M_X64)
static_assert(sizeof(CAUUID) == 16 && offsetof(CAUUID, pElems) == 8, "CAUUID layout");
#endif

// {B196B28B-BAB4-101A-B69C-00AA00341D07}
inline constexpr IID IID_ISpecifyPropertyPages = {
    0xB196B28B, 0xBAB4, 0x101A, {0xB6, 0x9C, 0x00, 0xAA, 0x00, 0x34, 0x1D, 0x07}};

struct ISpecifyPropertyPages : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE GetPages(CAUUID* pPages) = 0;

 protected:
  ~ISpecifyPropertyPages() = default;
};
#endif  // _WIN32
