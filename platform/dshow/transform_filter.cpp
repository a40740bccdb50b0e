#include "platform/dshow/transform_filter.h"

#include <new>

#include "platform/dshow/transform_input_pin.h"
#include "platform/dshow/transform_output_pin.h"
#include "platform/wide_string.h"

CTransformFilter::CTransformFilter(const char* objectName, IUnknown* outer, REFCLSID clsid)
    : CBaseFilter(objectName, outer, &m_csFilter, clsid) {}

CTransformFilter::~CTransformFilter() {
  delete m_pInput;
  delete m_pOutput;
}

int CTransformFilter::GetPinCount() { return 2; }

CBasePin* CTransformFilter::GetPin(int index) {
  CAutoLock lock(&m_csFilter);
  if (m_pInput == nullptr) {
    HRESULT hr = S_OK;
    m_pInput = new (std::nothrow)
        CTransformInputPin("transform input pin", this, &hr, NXW("XForm In"));
    if (m_pInput != nullptr && SUCCEEDED(hr)) {
      m_pOutput = new (std::nothrow)
          CTransformOutputPin("transform output pin", this, &hr, NXW("XForm Out"));
    }
    if (m_pOutput == nullptr || FAILED(hr)) {
      delete m_pInput;
      delete m_pOutput;
      m_pInput = nullptr;
      m_pOutput = nullptr;
    }
  }
  if (index == 0) return m_pInput;
  if (index == 1) return m_pOutput;
  return nullptr;
}

HRESULT STDMETHODCALLTYPE CTransformFilter::FindPin(LPCWSTR Id, IPin** ppPin) {
  if (Id == nullptr || ppPin == nullptr) return E_POINTER;
  int index = -1;
  if (NxStrCmpW(Id, NXW("In")) == 0) index = 0;
  if (NxStrCmpW(Id, NXW("Out")) == 0) index = 1;
  if (index < 0) return CBaseFilter::FindPin(Id, ppPin);
  CBasePin* pin = GetPin(index);
  *ppPin = pin;
  if (pin == nullptr) return VFW_E_NOT_FOUND;
  pin->AddRef();
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CTransformFilter::Stop() {
  CAutoLock lock(&m_csFilter);
  if (m_State == State_Stopped) return S_OK;
  m_bEOSDelivered = false;
  if (m_pInput == nullptr || !m_pInput->IsConnected() || !m_pOutput->IsConnected()) {
    return CBaseFilter::Stop();  // never streamed
  }
  // Decommitting both allocators first makes a Receive that waits for a buffer, upstream or
  // here, give up; then the receive lock is free once the one in progress has returned.
  m_pInput->Inactive();
  m_pOutput->Inactive();
  CAutoLock receiveLock(&m_csReceive);
  HRESULT hr = StopStreaming();
  // The pins are inactive whatever StopStreaming says, so the filter is stopped.
  m_State = State_Stopped;
  return hr;
}

HRESULT STDMETHODCALLTYPE CTransformFilter::Pause() {
  CAutoLock lock(&m_csFilter);
  HRESULT hr = S_OK;
  if (m_State == State_Paused) {
    // nothing to do
  } else if (m_pInput == nullptr || !m_pInput->IsConnected()) {
    // Nothing will ever arrive: tell downstream the stream is over, once.
    if (m_pOutput != nullptr && !m_bEOSDelivered) {
      m_pOutput->DeliverEndOfStream();
      m_bEOSDelivered = true;
    }
    m_State = State_Paused;
  } else if (!m_pOutput->IsConnected()) {
    m_State = State_Paused;
  } else {
    const bool wasStopped = m_State == State_Stopped;
    if (wasStopped) {
      CAutoLock receiveLock(&m_csReceive);
      hr = StartStreaming();
    }
    if (SUCCEEDED(hr)) {
      hr = CBaseFilter::Pause();
      if (FAILED(hr) && wasStopped) {
        // Undo what was started so that no engine state outlives the failed change.
        m_pInput->Inactive();
        m_pOutput->Inactive();
        CAutoLock receiveLock(&m_csReceive);
        StopStreaming();
        m_State = State_Stopped;
      }
    }
  }
  m_bSampleSkipped = false;
  return hr;
}

HRESULT CTransformFilter::Transform(IMediaSample* /*in*/, IMediaSample* /*out*/) {
  return E_UNEXPECTED;
}

HRESULT CTransformFilter::StartStreaming() { return S_OK; }

HRESULT CTransformFilter::StopStreaming() { return S_OK; }

HRESULT CTransformFilter::AlterQuality(Quality /*quality*/) { return S_FALSE; }

HRESULT CTransformFilter::SetMediaType(PIN_DIRECTION /*direction*/,
                                       const CMediaType* /*mediaType*/) {
  return S_OK;
}

HRESULT CTransformFilter::CheckConnect(PIN_DIRECTION /*direction*/, IPin* /*pin*/) { return S_OK; }

HRESULT CTransformFilter::BreakConnect(PIN_DIRECTION /*direction*/) { return S_OK; }

HRESULT CTransformFilter::CompleteConnect(PIN_DIRECTION /*direction*/, IPin* /*receivePin*/) {
  return S_OK;
}

HRESULT CTransformFilter::InitializeOutputSample(IMediaSample* in, IMediaSample** out) {
  *out = nullptr;
  IMediaSample* sample = nullptr;
  HRESULT hr = m_pOutput->GetDeliveryBuffer(&sample, nullptr, nullptr,
                                            m_bSampleSkipped ? AM_GBF_PREVFRAMESKIPPED : 0);
  if (FAILED(hr)) return hr;
  REFERENCE_TIME start = 0;
  REFERENCE_TIME stop = 0;
  hr = in->GetTime(&start, &stop);
  if (hr == S_OK) sample->SetTime(&start, &stop);
  if (hr == VFW_S_NO_STOP_TIME) sample->SetTime(&start, nullptr);
  LONGLONG mediaStart = 0;
  LONGLONG mediaStop = 0;
  if (in->GetMediaTime(&mediaStart, &mediaStop) == S_OK) {
    sample->SetMediaTime(&mediaStart, &mediaStop);
  }
  sample->SetSyncPoint(in->IsSyncPoint() == S_OK);
  sample->SetPreroll(in->IsPreroll() == S_OK);
  sample->SetDiscontinuity(in->IsDiscontinuity() == S_OK || m_bSampleSkipped);
  const LONG length = in->GetActualDataLength();
  if (length <= sample->GetSize()) sample->SetActualDataLength(length);
  *out = sample;
  return S_OK;
}

HRESULT CTransformFilter::Receive(IMediaSample* sample) {
  IMediaSample* out = nullptr;
  HRESULT hr = InitializeOutputSample(sample, &out);
  if (FAILED(hr)) return hr;
  hr = Transform(sample, out);
  if (hr == S_OK) {
    hr = m_pOutput->Deliver(out);
    m_bSampleSkipped = false;
  } else if (hr == S_FALSE) {
    hr = S_OK;
    m_bSampleSkipped = true;
  }
  out->Release();
  return hr;
}

HRESULT CTransformFilter::EndOfStream() {
  if (m_pOutput == nullptr) return S_OK;
  return m_pOutput->DeliverEndOfStream();
}

HRESULT CTransformFilter::BeginFlush() { return m_pOutput->DeliverBeginFlush(); }

HRESULT CTransformFilter::EndFlush() { return m_pOutput->DeliverEndFlush(); }

HRESULT CTransformFilter::NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) {
  return m_pOutput->DeliverNewSegment(start, stop, rate);
}
