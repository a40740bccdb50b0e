#include "platform/dshow/pos_pass_thru.h"

CPosPassThru::CPosPassThru(const char* objectName, IUnknown* outer, CBasePin* input)
    : CUnknown(objectName, outer), m_pInput(input) {}

template <typename Call>
HRESULT CPosPassThru::Forward(Call call) {
  // The connection is read without the filter lock, as the real base classes read it: a
  // renderer asks for positions from the streaming thread at end of stream, while Stop holds the
  // filter lock and waits for that thread to leave the filter. Connections change only while
  // the filter is stopped.
  IPin* peer = m_pInput != nullptr ? m_pInput->GetConnected() : nullptr;
  if (peer == nullptr) return E_NOTIMPL;
  peer->AddRef();
  IMediaSeeking* seeking = nullptr;
  const HRESULT found = peer->QueryInterface(IID_IMediaSeeking, reinterpret_cast<void**>(&seeking));
  peer->Release();
  if (FAILED(found)) return E_NOTIMPL;
  const HRESULT hr = call(seeking);
  seeking->Release();
  return hr;
}

HRESULT STDMETHODCALLTYPE CPosPassThru::GetCapabilities(DWORD* pCapabilities) {
  return Forward([&](IMediaSeeking* s) { return s->GetCapabilities(pCapabilities); });
}
HRESULT STDMETHODCALLTYPE CPosPassThru::CheckCapabilities(DWORD* pCapabilities) {
  return Forward([&](IMediaSeeking* s) { return s->CheckCapabilities(pCapabilities); });
}
HRESULT STDMETHODCALLTYPE CPosPassThru::IsFormatSupported(const GUID* pFormat) {
  return Forward([&](IMediaSeeking* s) { return s->IsFormatSupported(pFormat); });
}
HRESULT STDMETHODCALLTYPE CPosPassThru::QueryPreferredFormat(GUID* pFormat) {
  return Forward([&](IMediaSeeking* s) { return s->QueryPreferredFormat(pFormat); });
}
HRESULT STDMETHODCALLTYPE CPosPassThru::GetTimeFormat(GUID* pFormat) {
  return Forward([&](IMediaSeeking* s) { return s->GetTimeFormat(pFormat); });
}
HRESULT STDMETHODCALLTYPE CPosPassThru::IsUsingTimeFormat(const GUID* pFormat) {
  return Forward([&](IMediaSeeking* s) { return s->IsUsingTimeFormat(pFormat); });
}
HRESULT STDMETHODCALLTYPE CPosPassThru::SetTimeFormat(const GUID* pFormat) {
  return Forward([&](IMediaSeeking* s) { return s->SetTimeFormat(pFormat); });
}
HRESULT STDMETHODCALLTYPE CPosPassThru::GetDuration(LONGLONG* pDuration) {
  return Forward([&](IMediaSeeking* s) { return s->GetDuration(pDuration); });
}
HRESULT STDMETHODCALLTYPE CPosPassThru::GetStopPosition(LONGLONG* pStop) {
  return Forward([&](IMediaSeeking* s) { return s->GetStopPosition(pStop); });
}
HRESULT STDMETHODCALLTYPE CPosPassThru::GetCurrentPosition(LONGLONG* pCurrent) {
  return Forward([&](IMediaSeeking* s) { return s->GetCurrentPosition(pCurrent); });
}
HRESULT STDMETHODCALLTYPE CPosPassThru::ConvertTimeFormat(LONGLONG* pTarget,
                                                          const GUID* pTargetFormat,
                                                          LONGLONG Source,
                                                          const GUID* pSourceFormat) {
  return Forward([&](IMediaSeeking* s) {
    return s->ConvertTimeFormat(pTarget, pTargetFormat, Source, pSourceFormat);
  });
}
HRESULT STDMETHODCALLTYPE CPosPassThru::SetPositions(LONGLONG* pCurrent, DWORD dwCurrentFlags,
                                                     LONGLONG* pStop, DWORD dwStopFlags) {
  return Forward([&](IMediaSeeking* s) {
    return s->SetPositions(pCurrent, dwCurrentFlags, pStop, dwStopFlags);
  });
}
HRESULT STDMETHODCALLTYPE CPosPassThru::GetPositions(LONGLONG* pCurrent, LONGLONG* pStop) {
  return Forward([&](IMediaSeeking* s) { return s->GetPositions(pCurrent, pStop); });
}
HRESULT STDMETHODCALLTYPE CPosPassThru::GetAvailable(LONGLONG* pEarliest, LONGLONG* pLatest) {
  return Forward([&](IMediaSeeking* s) { return s->GetAvailable(pEarliest, pLatest); });
}
HRESULT STDMETHODCALLTYPE CPosPassThru::SetRate(double dRate) {
  return Forward([&](IMediaSeeking* s) { return s->SetRate(dRate); });
}
HRESULT STDMETHODCALLTYPE CPosPassThru::GetRate(double* pdRate) {
  return Forward([&](IMediaSeeking* s) { return s->GetRate(pdRate); });
}
HRESULT STDMETHODCALLTYPE CPosPassThru::GetPreroll(LONGLONG* pllPreroll) {
  return Forward([&](IMediaSeeking* s) { return s->GetPreroll(pllPreroll); });
}
