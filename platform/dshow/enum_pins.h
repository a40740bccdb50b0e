// CEnumPins: IEnumPins over a filter's pins.
//
// The enumerator holds a reference on its filter and remembers the filter's pin version when
// it was made or last Reset; once the pins change, Next, Skip and Clone fail with
// VFW_E_ENUM_OUT_OF_SYNC until Reset. Pins handed out are AddRef'd.
#pragma once

#include "platform/dshow/interfaces.h"

class CBaseFilter;

class CEnumPins : public IEnumPins {
 public:
  // Starts at the first pin, or where `toCopy` stands (same version snapshot).
  CEnumPins(CBaseFilter* filter, const CEnumPins* toCopy);
  CEnumPins(const CEnumPins&) = delete;
  CEnumPins& operator=(const CEnumPins&) = delete;
  virtual ~CEnumPins();

  // IUnknown and IEnumPins.
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  // S_FALSE when fewer than cPins were left; `pcFetched` may be null only for one pin
  // (E_INVALIDARG otherwise).
  HRESULT STDMETHODCALLTYPE Next(ULONG cPins, IPin** ppPins, ULONG* pcFetched) override;
  // Skips what is left and returns S_FALSE when fewer than cPins were left.
  HRESULT STDMETHODCALLTYPE Skip(ULONG cPins) override;
  HRESULT STDMETHODCALLTYPE Reset() override;
  HRESULT STDMETHODCALLTYPE Clone(IEnumPins** ppEnum) override;

 private:
  bool OutOfSync() const;

  CBaseFilter* filter_;  // counted
  int position_ = 0;
  int pinCount_ = 0;
  LONG version_ = 0;
  volatile LONG refCount_ = 0;
};
