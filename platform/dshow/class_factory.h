// IClassFactory (real IID, method order and signatures) and CClassFactory, the class factory the
// module hands out for one entry of its factory-template table.
//
// Module counts: every live CUnknown (class factories included) and every LockServer(TRUE) not
// yet undone keep the module loaded; both counts change atomically, so any thread may create,
// release and lock.
#pragma once

#include "platform/dshow/factory_template.h"

#if defined(_WIN32)
#include <unknwn.h>
#else
// {00000001-0000-0000-C000-000000000046}
inline constexpr IID IID_IClassFactory = {0x00000001, 0x0000, 0x0000,
                                          {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

struct IClassFactory : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* pUnkOuter, REFIID riid,
                                                   void** ppvObject) = 0;
  virtual HRESULT STDMETHODCALLTYPE LockServer(BOOL fLock) = 0;

 protected:
  ~IClassFactory() = default;
};

#endif  // _WIN32

class CClassFactory : public CUnknown, public IClassFactory {
 public:
  explicit CClassFactory(const CFactoryTemplate* factoryTemplate);

  DECLARE_IUNKNOWN
  // IClassFactory and IUnknown.
  HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID riid, void** object) override;

  // Aggregation (`pUnkOuter` not null) is accepted only for IID_IUnknown, else E_NOINTERFACE.
  // The template's create function runs; its failure (E_OUTOFMEMORY for a null object without
  // a code) is returned; otherwise the object is asked for `riid`, and an object that refuses
  // it is destroyed. CLASS_E_CLASSNOTAVAILABLE for a template without a create function.
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* pUnkOuter, REFIID riid,
                                           void** ppvObject) override;
  // Counts module locks. An unlock without a lock is ignored, so the count never goes below 0.
  HRESULT STDMETHODCALLTYPE LockServer(BOOL fLock) override;

  // LockServer(TRUE) calls not yet undone, in the whole module.
  static LONG ServerLocks();
  static bool IsLocked() { return ServerLocks() > 0; }

 private:
  const CFactoryTemplate* m_template;
};
