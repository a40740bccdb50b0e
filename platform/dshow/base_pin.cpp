#include "platform/dshow/base_pin.h"

#include <cstring>
#include <new>

#include "platform/dshow/base_filter.h"
#include "platform/dshow/enum_media_types.h"
#include "platform/dshow/task_memory.h"
#include "platform/wide_string.h"

namespace {

// Generic refusals that say nothing more than "not this type".
bool IsPlainRefusal(HRESULT hr) {
  return hr == E_FAIL || hr == E_INVALIDARG || hr == VFW_E_TYPE_NOT_ACCEPTED;
}

}  // namespace

CBasePin::CBasePin(const char* objectName, CBaseFilter* filter, CCritSec* lock, HRESULT* /*hr*/,
                   LPCWSTR name, PIN_DIRECTION direction)
    : CUnknown(objectName, nullptr), m_dir(direction), m_pLock(lock), m_pFilter(filter) {
  NxStrCopyW(m_name, MAX_PIN_NAME, name);
}

CBasePin::~CBasePin() {
  if (m_Connected != nullptr) m_Connected->Release();
}

HRESULT STDMETHODCALLTYPE CBasePin::NonDelegatingQueryInterface(REFIID riid, void** object) {
  if (riid == IID_IPin) return GetInterface(static_cast<IPin*>(this), object);
  return CUnknown::NonDelegatingQueryInterface(riid, object);
}

ULONG STDMETHODCALLTYPE CBasePin::NonDelegatingAddRef() {
  return static_cast<IBaseFilter*>(m_pFilter)->AddRef();
}

ULONG STDMETHODCALLTYPE CBasePin::NonDelegatingRelease() {
  return static_cast<IBaseFilter*>(m_pFilter)->Release();
}

bool CBasePin::IsStopped() const { return m_pFilter->IsStopped(); }

void CBasePin::IncrementTypeVersion() { InterlockedIncrement(&m_TypeVersion); }

LONG CBasePin::GetMediaTypeVersion() { return InterlockedRead(&m_TypeVersion); }

HRESULT STDMETHODCALLTYPE CBasePin::Connect(IPin* pReceivePin, const AM_MEDIA_TYPE* pmt) {
  if (pReceivePin == nullptr) return E_POINTER;
  CAutoLock lock(m_pLock);
  if (m_Connected != nullptr) return VFW_E_ALREADY_CONNECTED;
  if (!IsStopped()) return VFW_E_NOT_STOPPED;
  CMediaType requested;
  if (pmt != nullptr) {
    HRESULT hr = requested.Set(*pmt);
    if (FAILED(hr)) return hr;
  }
  return AgreeMediaType(pReceivePin, pmt != nullptr ? &requested : nullptr);
}

HRESULT CBasePin::AgreeMediaType(IPin* receivePin, const CMediaType* partial) {
  if (partial != nullptr && !partial->IsPartiallySpecified()) {
    return AttemptConnection(receivePin, partial);
  }
  HRESULT failure = VFW_E_NO_ACCEPTABLE_TYPES;
  for (int round = 0; round < 2; ++round) {
    const bool receiversTypes = (round == 0) != m_bTryMyTypesFirst;
    IEnumMediaTypes* types = nullptr;
    HRESULT hr = receiversTypes ? receivePin->EnumMediaTypes(&types) : EnumMediaTypes(&types);
    if (FAILED(hr)) continue;
    hr = TryMediaTypes(receivePin, partial, types);
    types->Release();
    if (SUCCEEDED(hr)) return S_OK;
    if (!IsPlainRefusal(hr) && hr != VFW_E_NO_ACCEPTABLE_TYPES) failure = hr;
  }
  return failure;
}

HRESULT CBasePin::TryMediaTypes(IPin* receivePin, const CMediaType* partial,
                                IEnumMediaTypes* types) {
  HRESULT failure = VFW_E_NO_ACCEPTABLE_TYPES;
  for (;;) {
    AM_MEDIA_TYPE* offered = nullptr;
    ULONG fetched = 0;
    if (types->Next(1, &offered, &fetched) != S_OK || fetched != 1) break;
    CMediaType candidate;
    HRESULT hr = candidate.Set(*offered);
    DeleteMediaType(offered);
    if (FAILED(hr)) return hr;
    if (partial != nullptr && !candidate.MatchesPartial(partial)) continue;
    hr = AttemptConnection(receivePin, &candidate);
    if (SUCCEEDED(hr)) return hr;
    if (!IsPlainRefusal(hr) && failure == VFW_E_NO_ACCEPTABLE_TYPES) failure = hr;
  }
  return failure;
}

HRESULT CBasePin::AttemptConnection(IPin* receivePin, const CMediaType* mediaType) {
  HRESULT hr = CheckConnect(receivePin);
  if (FAILED(hr)) {
    BreakConnect();
    return hr;
  }
  hr = CheckMediaType(mediaType);
  if (hr != S_OK) {
    BreakConnect();
    return SUCCEEDED(hr) || IsPlainRefusal(hr) ? VFW_E_TYPE_NOT_ACCEPTED : hr;
  }
  m_Connected = receivePin;
  m_Connected->AddRef();
  hr = SetMediaType(mediaType);
  if (SUCCEEDED(hr)) {
    hr = receivePin->ReceiveConnection(static_cast<IPin*>(this), mediaType);
    if (SUCCEEDED(hr)) {
      hr = CompleteConnect(receivePin);
      if (SUCCEEDED(hr)) return S_OK;
      receivePin->Disconnect();
    }
  }
  m_Connected->Release();
  m_Connected = nullptr;
  m_mt.InitMediaType();
  BreakConnect();
  return hr;
}

HRESULT STDMETHODCALLTYPE CBasePin::ReceiveConnection(IPin* pConnector,
                                                      const AM_MEDIA_TYPE* pmt) {
  if (pConnector == nullptr || pmt == nullptr) return E_POINTER;
  CAutoLock lock(m_pLock);
  if (m_Connected != nullptr) return VFW_E_ALREADY_CONNECTED;
  if (!IsStopped()) return VFW_E_NOT_STOPPED;
  CMediaType mediaType;
  HRESULT hr = mediaType.Set(*pmt);
  if (FAILED(hr)) return hr;
  hr = CheckConnect(pConnector);
  if (FAILED(hr)) {
    BreakConnect();
    return hr;
  }
  hr = CheckMediaType(&mediaType);
  if (hr != S_OK) {
    BreakConnect();
    return SUCCEEDED(hr) || IsPlainRefusal(hr) ? VFW_E_TYPE_NOT_ACCEPTED : hr;
  }
  m_Connected = pConnector;
  m_Connected->AddRef();
  hr = SetMediaType(&mediaType);
  if (SUCCEEDED(hr)) {
    hr = CompleteConnect(pConnector);
    if (SUCCEEDED(hr)) return S_OK;
  }
  m_Connected->Release();
  m_Connected = nullptr;
  m_mt.InitMediaType();
  BreakConnect();
  return hr;
}

HRESULT STDMETHODCALLTYPE CBasePin::Disconnect() {
  CAutoLock lock(m_pLock);
  if (!IsStopped()) return VFW_E_NOT_STOPPED;
  return DisconnectInternal();
}

HRESULT CBasePin::DisconnectInternal() {
  if (m_Connected == nullptr) return S_FALSE;
  HRESULT hr = BreakConnect();
  if (FAILED(hr)) return hr;
  m_Connected->Release();
  m_Connected = nullptr;
  m_mt.InitMediaType();
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CBasePin::ConnectedTo(IPin** pPin) {
  if (pPin == nullptr) return E_POINTER;
  CAutoLock lock(m_pLock);
  *pPin = m_Connected;
  if (m_Connected == nullptr) return VFW_E_NOT_CONNECTED;
  m_Connected->AddRef();
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CBasePin::ConnectionMediaType(AM_MEDIA_TYPE* pmt) {
  if (pmt == nullptr) return E_POINTER;
  CAutoLock lock(m_pLock);
  if (m_Connected == nullptr) {
    std::memset(pmt, 0, sizeof *pmt);
    return VFW_E_NOT_CONNECTED;
  }
  return CopyMediaType(pmt, &m_mt);
}

HRESULT STDMETHODCALLTYPE CBasePin::QueryPinInfo(PIN_INFO* pInfo) {
  if (pInfo == nullptr) return E_POINTER;
  pInfo->pFilter = m_pFilter;
  if (m_pFilter != nullptr) pInfo->pFilter->AddRef();
  pInfo->dir = m_dir;
  NxStrCopyW(pInfo->achName, MAX_PIN_NAME, m_name);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CBasePin::QueryDirection(PIN_DIRECTION* pPinDir) {
  if (pPinDir == nullptr) return E_POINTER;
  *pPinDir = m_dir;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CBasePin::QueryId(LPWSTR* Id) {
  if (Id == nullptr) return E_POINTER;
  const size_t units = NxStrLenW(m_name) + 1;
  *Id = static_cast<LPWSTR>(CoTaskMemAlloc(units * sizeof(WCHAR)));
  if (*Id == nullptr) return E_OUTOFMEMORY;
  std::memcpy(*Id, m_name, units * sizeof(WCHAR));
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CBasePin::QueryAccept(const AM_MEDIA_TYPE* pmt) {
  if (pmt == nullptr) return E_POINTER;
  CMediaType mediaType;
  HRESULT hr = mediaType.Set(*pmt);
  if (FAILED(hr)) return hr;
  hr = CheckMediaType(&mediaType);
  return hr == S_OK ? S_OK : S_FALSE;
}

HRESULT STDMETHODCALLTYPE CBasePin::EnumMediaTypes(IEnumMediaTypes** ppEnum) {
  if (ppEnum == nullptr) return E_POINTER;
  auto* enumerator = new (std::nothrow) CEnumMediaTypes(this, nullptr);
  *ppEnum = enumerator;
  if (enumerator == nullptr) return E_OUTOFMEMORY;
  enumerator->AddRef();
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CBasePin::QueryInternalConnections(IPin** /*apPin*/, ULONG* /*nPin*/) {
  return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE CBasePin::EndOfStream() { return S_OK; }

HRESULT STDMETHODCALLTYPE CBasePin::BeginFlush() { return E_UNEXPECTED; }

HRESULT STDMETHODCALLTYPE CBasePin::EndFlush() { return E_UNEXPECTED; }

HRESULT STDMETHODCALLTYPE CBasePin::NewSegment(REFERENCE_TIME tStart, REFERENCE_TIME tStop,
                                               double dRate) {
  // No filter lock: this arrives on the streaming thread, which must not wait for a state
  // change that waits for it.
  m_tStart = tStart;
  m_tStop = tStop;
  m_dRate = dRate;
  return S_OK;
}

HRESULT CBasePin::SetMediaType(const CMediaType* mediaType) { return m_mt.Set(*mediaType); }

HRESULT CBasePin::CheckConnect(IPin* pin) {
  PIN_DIRECTION direction;
  HRESULT hr = pin->QueryDirection(&direction);
  if (FAILED(hr)) return hr;
  return direction == m_dir ? VFW_E_INVALID_DIRECTION : S_OK;
}

HRESULT CBasePin::CompleteConnect(IPin* /*receivePin*/) { return S_OK; }

HRESULT CBasePin::BreakConnect() { return S_OK; }

HRESULT CBasePin::GetMediaType(int /*position*/, CMediaType* /*mediaType*/) {
  return E_UNEXPECTED;
}

HRESULT CBasePin::Active() { return S_OK; }

HRESULT CBasePin::Inactive() { return S_OK; }

HRESULT CBasePin::Run(REFERENCE_TIME /*start*/) { return S_OK; }
