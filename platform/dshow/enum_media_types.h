// CEnumMediaTypes: IEnumMediaTypes over the types a pin offers (CBasePin::GetMediaType).
//
// The enumerator holds a reference on its pin (so on the pin's filter) and remembers the pin's
// type version when it was made or last Reset; once the list changes, Next, Skip and Clone fail
// with VFW_E_ENUM_OUT_OF_SYNC until Reset. Each type handed out is a task-allocated copy that
// the caller frees with DeleteMediaType.
#pragma once

#include "platform/dshow/interfaces.h"

class CBasePin;

class CEnumMediaTypes : public IEnumMediaTypes {
 public:
  CEnumMediaTypes(CBasePin* pin, const CEnumMediaTypes* toCopy);
  CEnumMediaTypes(const CEnumMediaTypes&) = delete;
  CEnumMediaTypes& operator=(const CEnumMediaTypes&) = delete;
  virtual ~CEnumMediaTypes();

  // IUnknown and IEnumMediaTypes.
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  // S_FALSE when fewer than requested were left; `pcFetched` may be null only for one type
  // (E_INVALIDARG otherwise). E_OUTOFMEMORY frees what this call had fetched.
  HRESULT STDMETHODCALLTYPE Next(ULONG cMediaTypes, AM_MEDIA_TYPE** ppMediaTypes,
                                 ULONG* pcFetched) override;
  // Skips what is left and returns S_FALSE when fewer than requested were left.
  HRESULT STDMETHODCALLTYPE Skip(ULONG cMediaTypes) override;
  HRESULT STDMETHODCALLTYPE Reset() override;
  HRESULT STDMETHODCALLTYPE Clone(IEnumMediaTypes** ppEnum) override;

 private:
  bool OutOfSync() const;
  bool TypeExists(int position) const;

  CBasePin* pin_;  // counted
  int position_ = 0;
  LONG version_ = 0;
  volatile LONG refCount_ = 0;
};
