// IUnknown in its real method order: QueryInterface, AddRef, Release.
//
// Interfaces are abstract classes with no data and no virtual destructor, so their vtables match
// the COM binary layout; objects are destroyed through Release, never through delete on an
// interface pointer.
#pragma once

#include "platform/guid.h"
#include "platform/hresult.h"

#if defined(_WIN32)
#include <objbase.h>
#else
// {00000000-0000-0000-C000-000000000046}
inline constexpr IID IID_IUnknown = {0x00000000, 0x0000, 0x0000,
                                     {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

struct IUnknown {
  virtual HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) = 0;
  virtual ULONG STDMETHODCALLTYPE AddRef() = 0;
  virtual ULONG STDMETHODCALLTYPE Release() = 0;

 protected:
  ~IUnknown() = default;
};
typedef IUnknown* LPUNKNOWN;
#endif  // _WIN32
