#include "platform/dshow/enum_pins.h"

#include <new>

#include "platform/dshow/base_filter.h"
#include "platform/dshow/base_pin.h"

CEnumPins::CEnumPins(CBaseFilter* filter, const CEnumPins* toCopy) : filter_(filter) {
  static_cast<IBaseFilter*>(filter_)->AddRef();
  if (toCopy != nullptr) {
    position_ = toCopy->position_;
    pinCount_ = toCopy->pinCount_;
    version_ = toCopy->version_;
  } else {
    pinCount_ = filter_->GetPinCount();
    version_ = filter_->GetPinVersion();
  }
}

CEnumPins::~CEnumPins() { static_cast<IBaseFilter*>(filter_)->Release(); }

HRESULT STDMETHODCALLTYPE CEnumPins::QueryInterface(REFIID riid, void** object) {
  if (object == nullptr) return E_POINTER;
  if (riid == IID_IUnknown || riid == IID_IEnumPins) {
    *object = static_cast<IEnumPins*>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE CEnumPins::AddRef() {
  return static_cast<ULONG>(InterlockedIncrement(&refCount_));
}

ULONG STDMETHODCALLTYPE CEnumPins::Release() {
  LONG count = InterlockedDecrement(&refCount_);
  if (count == 0) delete this;
  return static_cast<ULONG>(count);
}

bool CEnumPins::OutOfSync() const { return filter_->GetPinVersion() != version_; }

HRESULT STDMETHODCALLTYPE CEnumPins::Next(ULONG cPins, IPin** ppPins, ULONG* pcFetched) {
  if (ppPins == nullptr) return E_POINTER;
  if (pcFetched != nullptr) {
    *pcFetched = 0;
  } else if (cPins > 1) {
    return E_INVALIDARG;
  }
  if (OutOfSync()) return VFW_E_ENUM_OUT_OF_SYNC;
  ULONG fetched = 0;
  while (fetched < cPins && position_ < pinCount_) {
    CBasePin* pin = filter_->GetPin(position_++);
    if (pin == nullptr) continue;  // a pin that failed to be made is left out
    ppPins[fetched++] = pin;
    pin->AddRef();
  }
  if (pcFetched != nullptr) *pcFetched = fetched;
  return fetched == cPins ? S_OK : S_FALSE;
}

HRESULT STDMETHODCALLTYPE CEnumPins::Skip(ULONG cPins) {
  if (OutOfSync()) return VFW_E_ENUM_OUT_OF_SYNC;
  const ULONG left = static_cast<ULONG>(pinCount_ - position_);
  if (cPins > left) {
    position_ = pinCount_;
    return S_FALSE;
  }
  position_ += static_cast<int>(cPins);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CEnumPins::Reset() {
  position_ = 0;
  pinCount_ = filter_->GetPinCount();
  version_ = filter_->GetPinVersion();
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CEnumPins::Clone(IEnumPins** ppEnum) {
  if (ppEnum == nullptr) return E_POINTER;
  *ppEnum = nullptr;
  if (OutOfSync()) return VFW_E_ENUM_OUT_OF_SYNC;
  auto* clone = new (std::nothrow) CEnumPins(filter_, this);
  if (clone == nullptr) return E_OUTOFMEMORY;
  clone->AddRef();
  *ppEnum = clone;
  return S_OK;
}
