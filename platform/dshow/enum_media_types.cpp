#include "platform/dshow/enum_media_types.h"

#include <new>

#include "platform/dshow/base_pin.h"
#include "platform/dshow/media_type.h"

CEnumMediaTypes::CEnumMediaTypes(CBasePin* pin, const CEnumMediaTypes* toCopy) : pin_(pin) {
  static_cast<IPin*>(pin_)->AddRef();
  if (toCopy != nullptr) {
    position_ = toCopy->position_;
    version_ = toCopy->version_;
  } else {
    version_ = pin_->GetMediaTypeVersion();
  }
}

CEnumMediaTypes::~CEnumMediaTypes() { static_cast<IPin*>(pin_)->Release(); }

HRESULT STDMETHODCALLTYPE CEnumMediaTypes::QueryInterface(REFIID riid, void** object) {
  if (object == nullptr) return E_POINTER;
  if (riid == IID_IUnknown || riid == IID_IEnumMediaTypes) {
    *object = static_cast<IEnumMediaTypes*>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE CEnumMediaTypes::AddRef() {
  return static_cast<ULONG>(InterlockedIncrement(&refCount_));
}

ULONG STDMETHODCALLTYPE CEnumMediaTypes::Release() {
  LONG count = InterlockedDecrement(&refCount_);
  if (count == 0) delete this;
  return static_cast<ULONG>(count);
}

bool CEnumMediaTypes::OutOfSync() const { return pin_->GetMediaTypeVersion() != version_; }

bool CEnumMediaTypes::TypeExists(int position) const {
  CMediaType probe;
  return pin_->GetMediaType(position, &probe) == S_OK;
}

HRESULT STDMETHODCALLTYPE CEnumMediaTypes::Next(ULONG cMediaTypes, AM_MEDIA_TYPE** ppMediaTypes,
                                                ULONG* pcFetched) {
  if (ppMediaTypes == nullptr) return E_POINTER;
  if (pcFetched != nullptr) {
    *pcFetched = 0;
  } else if (cMediaTypes > 1) {
    return E_INVALIDARG;
  }
  if (OutOfSync()) return VFW_E_ENUM_OUT_OF_SYNC;
  ULONG fetched = 0;
  while (fetched < cMediaTypes) {
    CMediaType offered;
    if (pin_->GetMediaType(position_, &offered) != S_OK) break;
    AM_MEDIA_TYPE* copy = CreateMediaType(&offered);
    if (copy == nullptr) {
      while (fetched > 0) {
        DeleteMediaType(ppMediaTypes[--fetched]);
        ppMediaTypes[fetched] = nullptr;
        --position_;
      }
      return E_OUTOFMEMORY;
    }
    ppMediaTypes[fetched++] = copy;
    ++position_;
  }
  if (pcFetched != nullptr) *pcFetched = fetched;
  return fetched == cMediaTypes ? S_OK : S_FALSE;
}

HRESULT STDMETHODCALLTYPE CEnumMediaTypes::Skip(ULONG cMediaTypes) {
  if (OutOfSync()) return VFW_E_ENUM_OUT_OF_SYNC;
  for (ULONG skipped = 0; skipped < cMediaTypes; ++skipped) {
    if (!TypeExists(position_)) return S_FALSE;
    ++position_;
  }
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CEnumMediaTypes::Reset() {
  position_ = 0;
  version_ = pin_->GetMediaTypeVersion();
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CEnumMediaTypes::Clone(IEnumMediaTypes** ppEnum) {
  if (ppEnum == nullptr) return E_POINTER;
  *ppEnum = nullptr;
  if (OutOfSync()) return VFW_E_ENUM_OUT_OF_SYNC;
  auto* clone = new (std::nothrow) CEnumMediaTypes(pin_, this);
  if (clone == nullptr) return E_OUTOFMEMORY;
  clone->AddRef();
  *ppEnum = clone;
  return S_OK;
}
