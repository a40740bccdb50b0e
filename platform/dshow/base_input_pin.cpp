#include "platform/dshow/base_input_pin.h"

#include "platform/dshow/base_filter.h"
#include "platform/dshow/mem_allocator.h"

CBaseInputPin::CBaseInputPin(const char* objectName, CBaseFilter* filter, CCritSec* lock,
                             HRESULT* hr, LPCWSTR name)
    : CBasePin(objectName, filter, lock, hr, name, PINDIR_INPUT) {}

CBaseInputPin::~CBaseInputPin() {
  if (m_pAllocator != nullptr) m_pAllocator->Release();
}

HRESULT STDMETHODCALLTYPE CBaseInputPin::NonDelegatingQueryInterface(REFIID riid,
                                                                     void** object) {
  if (riid == IID_IMemInputPin) return GetInterface(static_cast<IMemInputPin*>(this), object);
  return CBasePin::NonDelegatingQueryInterface(riid, object);
}

HRESULT STDMETHODCALLTYPE CBaseInputPin::GetAllocator(IMemAllocator** ppAllocator) {
  if (ppAllocator == nullptr) return E_POINTER;
  *ppAllocator = nullptr;
  CAutoLock lock(m_pLock);
  if (m_pAllocator == nullptr) {
    HRESULT hr = CreateMemoryAllocator(&m_pAllocator);
    if (FAILED(hr)) return hr;
  }
  *ppAllocator = m_pAllocator;
  m_pAllocator->AddRef();
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CBaseInputPin::NotifyAllocator(IMemAllocator* pAllocator,
                                                         BOOL bReadOnly) {
  if (pAllocator == nullptr) return E_POINTER;
  CAutoLock lock(m_pLock);
  pAllocator->AddRef();
  if (m_pAllocator != nullptr) m_pAllocator->Release();
  m_pAllocator = pAllocator;
  m_bReadOnly = bReadOnly != FALSE;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CBaseInputPin::GetAllocatorRequirements(
    ALLOCATOR_PROPERTIES* /*pProps*/) {
  return E_NOTIMPL;
}

HRESULT CBaseInputPin::CheckStreaming() {
  if (!IsConnected()) return VFW_E_NOT_CONNECTED;
  if (IsStopped()) return VFW_E_WRONG_STATE;
  if (m_bFlushing) return S_FALSE;
  if (m_bRunTimeError) return VFW_E_RUNTIME_ERROR;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CBaseInputPin::Receive(IMediaSample* pSample) {
  if (pSample == nullptr) return E_POINTER;
  HRESULT hr = CheckStreaming();
  if (hr != S_OK) return hr;
  AM_MEDIA_TYPE* changed = nullptr;
  if (pSample->GetMediaType(&changed) == S_OK && changed != nullptr) {
    CMediaType newType;
    hr = newType.Set(*changed);
    DeleteMediaType(changed);
    if (FAILED(hr)) return hr;
    if (CheckMediaType(&newType) != S_OK) return VFW_E_INVALIDMEDIATYPE;
  }
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CBaseInputPin::ReceiveMultiple(IMediaSample** pSamples, LONG nSamples,
                                                         LONG* nSamplesProcessed) {
  if (pSamples == nullptr || nSamplesProcessed == nullptr) return E_POINTER;
  *nSamplesProcessed = 0;
  HRESULT hr = S_OK;
  while (*nSamplesProcessed < nSamples) {
    hr = Receive(pSamples[*nSamplesProcessed]);
    if (hr != S_OK) break;
    ++*nSamplesProcessed;
  }
  return hr;
}

HRESULT STDMETHODCALLTYPE CBaseInputPin::ReceiveCanBlock() {
  const int count = m_pFilter->GetPinCount();
  int outputPins = 0;
  for (int i = 0; i < count; ++i) {
    CBasePin* pin = m_pFilter->GetPin(i);
    if (pin == nullptr || pin->Direction() != PINDIR_OUTPUT) continue;
    ++outputPins;
    IPin* connected = pin->GetConnected();
    if (connected == nullptr) continue;
    IMemInputPin* downstream = nullptr;
    if (FAILED(connected->QueryInterface(IID_IMemInputPin,
                                         reinterpret_cast<void**>(&downstream)))) {
      return S_OK;  // samples go some other way we cannot vouch for
    }
    HRESULT hr = downstream->ReceiveCanBlock();
    downstream->Release();
    if (hr != S_FALSE) return S_OK;
  }
  return outputPins == 0 ? S_OK : S_FALSE;
}

HRESULT STDMETHODCALLTYPE CBaseInputPin::BeginFlush() {
  CAutoLock lock(m_pLock);
  m_bFlushing = true;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CBaseInputPin::EndFlush() {
  CAutoLock lock(m_pLock);
  m_bFlushing = false;
  m_bRunTimeError = false;
  return S_OK;
}

HRESULT CBaseInputPin::BreakConnect() {
  if (m_pAllocator != nullptr) {
    HRESULT hr = m_pAllocator->Decommit();
    if (FAILED(hr)) return hr;
    m_pAllocator->Release();
    m_pAllocator = nullptr;
  }
  return S_OK;
}

HRESULT CBaseInputPin::Inactive() {
  m_bRunTimeError = false;
  m_bFlushing = false;
  if (m_pAllocator == nullptr) return VFW_E_NO_ALLOCATOR;
  return m_pAllocator->Decommit();
}
