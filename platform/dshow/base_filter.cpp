#include "platform/dshow/base_filter.h"

#include <new>

#include "platform/dshow/base_pin.h"
#include "platform/dshow/enum_pins.h"
#include "platform/filter_mapper.h"
#include "platform/wide_string.h"

CBaseFilter::CBaseFilter(const char* objectName, IUnknown* outer, CCritSec* lock, REFCLSID clsid)
    : CUnknown(objectName, outer), m_clsid(clsid), m_pLock(lock) {}

CBaseFilter::~CBaseFilter() {
  if (m_pClock != nullptr) m_pClock->Release();
}

HRESULT STDMETHODCALLTYPE CBaseFilter::NonDelegatingQueryInterface(REFIID riid, void** object) {
  if (riid == IID_IBaseFilter) return GetInterface(static_cast<IBaseFilter*>(this), object);
  if (riid == IID_IMediaFilter) return GetInterface(static_cast<IMediaFilter*>(this), object);
  if (riid == IID_IPersist) return GetInterface(static_cast<IPersist*>(this), object);
  if (riid == IID_IAMovieSetup) return GetInterface(static_cast<IAMovieSetup*>(this), object);
  return CUnknown::NonDelegatingQueryInterface(riid, object);
}

HRESULT CBaseFilter::StreamTime(REFERENCE_TIME* streamTime) {
  if (streamTime == nullptr) return E_POINTER;
  CAutoLock lock(m_pLock);
  if (m_pClock == nullptr) return VFW_E_NO_CLOCK;
  HRESULT hr = m_pClock->GetTime(streamTime);
  if (FAILED(hr)) return hr;
  *streamTime -= m_tStart;
  return S_OK;
}

LONG CBaseFilter::GetPinVersion() { return InterlockedRead(&m_PinVersion); }

void CBaseFilter::IncrementPinVersion() { InterlockedIncrement(&m_PinVersion); }

const AMOVIESETUP_FILTER* CBaseFilter::GetSetupData() { return nullptr; }

HRESULT STDMETHODCALLTYPE CBaseFilter::GetClassID(CLSID* pClassID) {
  if (pClassID == nullptr) return E_POINTER;
  *pClassID = m_clsid;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CBaseFilter::Stop() {
  CAutoLock lock(m_pLock);
  HRESULT result = S_OK;
  if (m_State != State_Stopped) {
    const int count = GetPinCount();
    for (int i = 0; i < count; ++i) {
      CBasePin* pin = GetPin(i);
      if (pin == nullptr || !pin->IsConnected()) continue;
      HRESULT hr = pin->Inactive();
      if (FAILED(hr) && SUCCEEDED(result)) result = hr;
    }
  }
  m_State = State_Stopped;
  return result;
}

HRESULT STDMETHODCALLTYPE CBaseFilter::Pause() {
  CAutoLock lock(m_pLock);
  if (m_State == State_Stopped) {
    const int count = GetPinCount();
    for (int i = 0; i < count; ++i) {
      CBasePin* pin = GetPin(i);
      if (pin == nullptr || !pin->IsConnected()) continue;
      HRESULT hr = pin->Active();
      if (FAILED(hr)) return hr;
    }
  }
  m_State = State_Paused;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CBaseFilter::Run(REFERENCE_TIME tStart) {
  CAutoLock lock(m_pLock);
  m_tStart = tStart;
  if (m_State == State_Stopped) {
    HRESULT hr = Pause();
    if (FAILED(hr)) return hr;
  }
  if (m_State != State_Running) {
    const int count = GetPinCount();
    for (int i = 0; i < count; ++i) {
      CBasePin* pin = GetPin(i);
      if (pin == nullptr || !pin->IsConnected()) continue;
      HRESULT hr = pin->Run(tStart);
      if (FAILED(hr)) return hr;
    }
  }
  m_State = State_Running;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CBaseFilter::GetState(DWORD /*dwMilliSecsTimeout*/,
                                                FILTER_STATE* State) {
  if (State == nullptr) return E_POINTER;
  *State = m_State;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CBaseFilter::SetSyncSource(IReferenceClock* pClock) {
  CAutoLock lock(m_pLock);
  if (pClock != nullptr) pClock->AddRef();
  if (m_pClock != nullptr) m_pClock->Release();
  m_pClock = pClock;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CBaseFilter::GetSyncSource(IReferenceClock** pClock) {
  if (pClock == nullptr) return E_POINTER;
  CAutoLock lock(m_pLock);
  *pClock = m_pClock;
  if (m_pClock != nullptr) m_pClock->AddRef();
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CBaseFilter::EnumPins(IEnumPins** ppEnum) {
  if (ppEnum == nullptr) return E_POINTER;
  auto* enumerator = new (std::nothrow) CEnumPins(this, nullptr);
  *ppEnum = enumerator;
  if (enumerator == nullptr) return E_OUTOFMEMORY;
  enumerator->AddRef();
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CBaseFilter::FindPin(LPCWSTR Id, IPin** ppPin) {
  if (Id == nullptr || ppPin == nullptr) return E_POINTER;
  CAutoLock lock(m_pLock);
  const int count = GetPinCount();
  for (int i = 0; i < count; ++i) {
    CBasePin* pin = GetPin(i);
    if (pin != nullptr && NxStrCmpW(pin->Name(), Id) == 0) {
      *ppPin = pin;
      pin->AddRef();
      return S_OK;
    }
  }
  *ppPin = nullptr;
  return VFW_E_NOT_FOUND;
}

HRESULT STDMETHODCALLTYPE CBaseFilter::QueryFilterInfo(FILTER_INFO* pInfo) {
  if (pInfo == nullptr) return E_POINTER;
  CAutoLock lock(m_pLock);
  NxStrCopyW(pInfo->achName, MAX_FILTER_NAME, m_name);
  pInfo->pGraph = m_pGraph;
  if (m_pGraph != nullptr) m_pGraph->AddRef();
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CBaseFilter::JoinFilterGraph(IFilterGraph* pGraph, LPCWSTR pName) {
  CAutoLock lock(m_pLock);
  m_pGraph = pGraph;
  NxStrCopyW(m_name, MAX_FILTER_NAME, pName);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CBaseFilter::QueryVendorInfo(LPWSTR* /*pVendorInfo*/) {
  return E_NOTIMPL;
}

// Registers or unregisters the setup record with a filter mapper of its own.
static HRESULT SetupWithMapper(const AMOVIESETUP_FILTER* setup, BOOL registering) {
  if (setup == nullptr) return S_FALSE;
  IFilterMapper2* mapper = nullptr;
  HRESULT hr = NxCreateFilterMapper(IID_IFilterMapper2, reinterpret_cast<void**>(&mapper));
  if (FAILED(hr)) return hr;
  hr = AMovieSetupRegisterFilter2(setup, mapper, registering);
  mapper->Release();
  return hr;
}

HRESULT STDMETHODCALLTYPE CBaseFilter::Register() { return SetupWithMapper(GetSetupData(), TRUE); }

HRESULT STDMETHODCALLTYPE CBaseFilter::Unregister() {
  return SetupWithMapper(GetSetupData(), FALSE);
}
