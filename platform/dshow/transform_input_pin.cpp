#include "platform/dshow/transform_input_pin.h"

#include "platform/dshow/transform_filter.h"
#include "platform/dshow/transform_output_pin.h"

CTransformInputPin::CTransformInputPin(const char* objectName, CTransformFilter* filter,
                                       HRESULT* hr, LPCWSTR name)
    : CBaseInputPin(objectName, filter, &filter->m_csFilter, hr, name),
      m_pTransformFilter(filter) {}

HRESULT CTransformInputPin::CheckConnect(IPin* pin) {
  HRESULT hr = m_pTransformFilter->CheckConnect(PINDIR_INPUT, pin);
  if (FAILED(hr)) return hr;
  return CBaseInputPin::CheckConnect(pin);
}

HRESULT CTransformInputPin::BreakConnect() {
  m_pTransformFilter->BreakConnect(PINDIR_INPUT);
  return CBaseInputPin::BreakConnect();
}

HRESULT CTransformInputPin::CompleteConnect(IPin* receivePin) {
  HRESULT hr = m_pTransformFilter->CompleteConnect(PINDIR_INPUT, receivePin);
  if (FAILED(hr)) return hr;
  return CBaseInputPin::CompleteConnect(receivePin);
}

HRESULT CTransformInputPin::CheckMediaType(const CMediaType* mediaType) {
  HRESULT hr = m_pTransformFilter->CheckInputType(mediaType);
  if (hr != S_OK) return hr;
  CTransformOutputPin* output = m_pTransformFilter->m_pOutput;
  if (output != nullptr && output->IsConnected()) {
    return m_pTransformFilter->CheckTransform(mediaType, &output->CurrentMediaType());
  }
  return S_OK;
}

HRESULT CTransformInputPin::SetMediaType(const CMediaType* mediaType) {
  HRESULT hr = CBasePin::SetMediaType(mediaType);
  if (FAILED(hr)) return hr;
  return m_pTransformFilter->SetMediaType(PINDIR_INPUT, mediaType);
}

HRESULT CTransformInputPin::CheckStreaming() {
  CTransformOutputPin* output = m_pTransformFilter->m_pOutput;
  if (output == nullptr || !output->IsConnected()) return VFW_E_NOT_CONNECTED;
  return CBaseInputPin::CheckStreaming();
}

HRESULT STDMETHODCALLTYPE CTransformInputPin::Receive(IMediaSample* pSample) {
  CAutoLock lock(&m_pTransformFilter->m_csReceive);
  HRESULT hr = CBaseInputPin::Receive(pSample);
  if (hr == S_OK) hr = m_pTransformFilter->Receive(pSample);
  return hr;
}

HRESULT STDMETHODCALLTYPE CTransformInputPin::EndOfStream() {
  CAutoLock lock(&m_pTransformFilter->m_csReceive);
  HRESULT hr = CheckStreaming();
  if (hr == S_OK) hr = m_pTransformFilter->EndOfStream();
  return hr;
}

HRESULT STDMETHODCALLTYPE CTransformInputPin::BeginFlush() {
  CAutoLock lock(&m_pTransformFilter->m_csFilter);
  CTransformOutputPin* output = m_pTransformFilter->m_pOutput;
  if (!IsConnected() || output == nullptr || !output->IsConnected()) return VFW_E_NOT_CONNECTED;
  HRESULT hr = CBaseInputPin::BeginFlush();
  if (FAILED(hr)) return hr;
  return m_pTransformFilter->BeginFlush();
}

HRESULT STDMETHODCALLTYPE CTransformInputPin::EndFlush() {
  CAutoLock lock(&m_pTransformFilter->m_csFilter);
  CTransformOutputPin* output = m_pTransformFilter->m_pOutput;
  if (!IsConnected() || output == nullptr || !output->IsConnected()) return VFW_E_NOT_CONNECTED;
  HRESULT hr = m_pTransformFilter->EndFlush();
  if (FAILED(hr)) return hr;
  return CBaseInputPin::EndFlush();
}

HRESULT STDMETHODCALLTYPE CTransformInputPin::NewSegment(REFERENCE_TIME tStart,
                                                         REFERENCE_TIME tStop, double dRate) {
  CBasePin::NewSegment(tStart, tStop, dRate);
  return m_pTransformFilter->NewSegment(tStart, tStop, dRate);
}
