#include "platform/dshow/transform_output_pin.h"

#include "platform/dshow/transform_filter.h"
#include "platform/dshow/transform_input_pin.h"

CTransformOutputPin::CTransformOutputPin(const char* objectName, CTransformFilter* filter,
                                         HRESULT* hr, LPCWSTR name)
    : CBaseOutputPin(objectName, filter, &filter->m_csFilter, hr, name),
      m_pTransformFilter(filter),
      m_position("transform output seeking", GetOwner(), filter->m_pInput) {}

HRESULT STDMETHODCALLTYPE CTransformOutputPin::NonDelegatingQueryInterface(REFIID riid,
                                                                          void** object) {
  if (riid == IID_IMediaSeeking) {
    return GetInterface(static_cast<IMediaSeeking*>(&m_position), object);
  }
  return CBaseOutputPin::NonDelegatingQueryInterface(riid, object);
}

HRESULT CTransformOutputPin::CheckConnect(IPin* pin) {
  HRESULT hr = m_pTransformFilter->CheckConnect(PINDIR_OUTPUT, pin);
  if (FAILED(hr)) return hr;
  return CBaseOutputPin::CheckConnect(pin);
}

HRESULT CTransformOutputPin::BreakConnect() {
  m_pTransformFilter->BreakConnect(PINDIR_OUTPUT);
  return CBaseOutputPin::BreakConnect();
}

HRESULT CTransformOutputPin::CompleteConnect(IPin* receivePin) {
  HRESULT hr = m_pTransformFilter->CompleteConnect(PINDIR_OUTPUT, receivePin);
  if (FAILED(hr)) return hr;
  return CBaseOutputPin::CompleteConnect(receivePin);
}

HRESULT CTransformOutputPin::CheckMediaType(const CMediaType* mediaType) {
  CTransformInputPin* input = m_pTransformFilter->m_pInput;
  if (input == nullptr || !input->IsConnected()) return E_INVALIDARG;
  return m_pTransformFilter->CheckTransform(&input->CurrentMediaType(), mediaType);
}

HRESULT CTransformOutputPin::SetMediaType(const CMediaType* mediaType) {
  HRESULT hr = CBasePin::SetMediaType(mediaType);
  if (FAILED(hr)) return hr;
  return m_pTransformFilter->SetMediaType(PINDIR_OUTPUT, mediaType);
}

HRESULT CTransformOutputPin::GetMediaType(int position, CMediaType* mediaType) {
  CTransformInputPin* input = m_pTransformFilter->m_pInput;
  if (input == nullptr || !input->IsConnected()) return VFW_S_NO_MORE_ITEMS;
  return m_pTransformFilter->GetMediaType(position, mediaType);
}

HRESULT CTransformOutputPin::DecideBufferSize(IMemAllocator* allocator,
                                              ALLOCATOR_PROPERTIES* request) {
  return m_pTransformFilter->DecideBufferSize(allocator, request);
}
