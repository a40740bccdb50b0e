#include "platform/dshow/cunknown.h"

namespace {
volatile LONG g_objectsActive = 0;
}

CUnknown::CUnknown(const char* objectName, IUnknown* outer)
    : m_objectName(objectName), m_inner(this), m_owner(outer != nullptr ? outer : &m_inner) {
  InterlockedIncrement(&g_objectsActive);
}

CUnknown::~CUnknown() { InterlockedDecrement(&g_objectsActive); }

LONG CUnknown::ObjectsActive() { return InterlockedRead(&g_objectsActive); }

HRESULT STDMETHODCALLTYPE CUnknown::NonDelegatingQueryInterface(REFIID riid, void** object) {
  if (object == nullptr) return E_POINTER;
  if (riid == IID_IUnknown) return GetInterface(&m_inner, object);
  *object = nullptr;
  return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE CUnknown::NonDelegatingAddRef() {
  return static_cast<ULONG>(InterlockedIncrement(&m_cRef));
}

ULONG STDMETHODCALLTYPE CUnknown::NonDelegatingRelease() {
  LONG count = InterlockedDecrement(&m_cRef);
  if (count == 0) {
    // A destructor that hands out and releases references to itself must not delete twice.
    InterlockedWrite(&m_cRef, 1);
    delete this;
  }
  return static_cast<ULONG>(count);
}

HRESULT GetInterface(IUnknown* unknown, void** object) {
  if (object == nullptr) return E_POINTER;
  *object = unknown;
  unknown->AddRef();
  return S_OK;
}
