// CPosPassThru: IMediaSeeking of a transform's output pin, passed to the pin upstream of the
// filter's input, as a graph asks its renderers to seek and they ask upstream pin by pin. Every
// call goes to the IMediaSeeking of the pin the input is connected to; E_NOTIMPL when the input
// is not connected or that pin cannot seek.
//
// It lives inside the output pin: its IUnknown is the pin's (`outer`).
#pragma once

#include "platform/dshow/base_pin.h"

class CPosPassThru : public CUnknown, public IMediaSeeking {
 public:
  // `input` is the filter's input pin; it outlives this object.
  CPosPassThru(const char* objectName, IUnknown* outer, CBasePin* input);

  DECLARE_IUNKNOWN

  HRESULT STDMETHODCALLTYPE GetCapabilities(DWORD* pCapabilities) override;
  HRESULT STDMETHODCALLTYPE CheckCapabilities(DWORD* pCapabilities) override;
  HRESULT STDMETHODCALLTYPE IsFormatSupported(const GUID* pFormat) override;
  HRESULT STDMETHODCALLTYPE QueryPreferredFormat(GUID* pFormat) override;
  HRESULT STDMETHODCALLTYPE GetTimeFormat(GUID* pFormat) override;
  HRESULT STDMETHODCALLTYPE IsUsingTimeFormat(const GUID* pFormat) override;
  HRESULT STDMETHODCALLTYPE SetTimeFormat(const GUID* pFormat) override;
  HRESULT STDMETHODCALLTYPE GetDuration(LONGLONG* pDuration) override;
  HRESULT STDMETHODCALLTYPE GetStopPosition(LONGLONG* pStop) override;
  HRESULT STDMETHODCALLTYPE GetCurrentPosition(LONGLONG* pCurrent) override;
  HRESULT STDMETHODCALLTYPE ConvertTimeFormat(LONGLONG* pTarget, const GUID* pTargetFormat,
                                              LONGLONG Source, const GUID* pSourceFormat) override;
  HRESULT STDMETHODCALLTYPE SetPositions(LONGLONG* pCurrent, DWORD dwCurrentFlags,
                                         LONGLONG* pStop, DWORD dwStopFlags) override;
  HRESULT STDMETHODCALLTYPE GetPositions(LONGLONG* pCurrent, LONGLONG* pStop) override;
  HRESULT STDMETHODCALLTYPE GetAvailable(LONGLONG* pEarliest, LONGLONG* pLatest) override;
  HRESULT STDMETHODCALLTYPE SetRate(double dRate) override;
  HRESULT STDMETHODCALLTYPE GetRate(double* pdRate) override;
  HRESULT STDMETHODCALLTYPE GetPreroll(LONGLONG* pllPreroll) override;

 private:
  // Calls `call` on the upstream pin's IMediaSeeking.
  template <typename Call>
  HRESULT Forward(Call call);

  CBasePin* m_pInput;
};
