#include "platform/dshow/class_factory.h"

#include "platform/interlocked.h"

namespace {
volatile LONG g_serverLocks = 0;
}  // namespace

CClassFactory::CClassFactory(const CFactoryTemplate* factoryTemplate)
    : CUnknown("class factory", nullptr), m_template(factoryTemplate) {}

HRESULT STDMETHODCALLTYPE CClassFactory::NonDelegatingQueryInterface(REFIID riid,
                                                                     void** object) {
  if (object == nullptr) return E_POINTER;
  if (riid == IID_IClassFactory) {
    return GetInterface(static_cast<IClassFactory*>(this), object);
  }
  return CUnknown::NonDelegatingQueryInterface(riid, object);
}

HRESULT STDMETHODCALLTYPE CClassFactory::CreateInstance(IUnknown* pUnkOuter, REFIID riid,
                                                        void** ppvObject) {
  if (ppvObject == nullptr) return E_POINTER;
  *ppvObject = nullptr;
  if (pUnkOuter != nullptr && riid != IID_IUnknown) return E_NOINTERFACE;
  if (m_template == nullptr || m_template->m_lpfnNew == nullptr) return CLASS_E_CLASSNOTAVAILABLE;
  HRESULT hr = S_OK;
  CUnknown* object = m_template->CreateInstance(pUnkOuter, &hr);
  if (object == nullptr) return FAILED(hr) ? hr : E_OUTOFMEMORY;
  if (FAILED(hr)) {
    delete object;
    return hr;
  }
  // The object is held across the query, so a refusal destroys it and a success leaves it with
  // exactly the caller's reference.
  object->NonDelegatingAddRef();
  hr = object->NonDelegatingQueryInterface(riid, ppvObject);
  object->NonDelegatingRelease();
  return hr;
}

HRESULT STDMETHODCALLTYPE CClassFactory::LockServer(BOOL fLock) {
  if (fLock) {
    InterlockedIncrement(&g_serverLocks);
    return S_OK;
  }
  LONG locks = InterlockedRead(&g_serverLocks);
  while (locks > 0) {
    const LONG seen = InterlockedCompareExchange(&g_serverLocks, locks - 1, locks);
    if (seen == locks) break;
    locks = seen;
  }
  return S_OK;
}

LONG CClassFactory::ServerLocks() { return InterlockedRead(&g_serverLocks); }
