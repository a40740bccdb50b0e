// CTransformOutputPin: the output pin of a CTransformFilter. It can connect only after the
// input pin; the types it offers are the filter's GetMediaType, a type is accepted when the
// filter's CheckTransform accepts it against the input's type, and buffer sizes are the
// filter's DecideBufferSize. It answers IMediaSeeking by passing it upstream (pos_pass_thru.h),
// so that a graph seeking through its renderers reaches the source.
#pragma once

#include "platform/dshow/base_output_pin.h"
#include "platform/dshow/pos_pass_thru.h"

class CTransformFilter;

class CTransformOutputPin : public CBaseOutputPin {
 public:
  CTransformOutputPin(const char* objectName, CTransformFilter* filter, HRESULT* hr,
                      LPCWSTR name);

  // IMediaSeeking, then the pin's interfaces.
  HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID riid, void** object) override;

  // CBasePin / CBaseOutputPin.
  // E_INVALIDARG while the input pin is not connected.
  HRESULT CheckMediaType(const CMediaType* mediaType) override;
  HRESULT SetMediaType(const CMediaType* mediaType) override;
  HRESULT CheckConnect(IPin* pin) override;
  HRESULT CompleteConnect(IPin* receivePin) override;
  HRESULT BreakConnect() override;
  // VFW_S_NO_MORE_ITEMS while the input pin is not connected.
  HRESULT GetMediaType(int position, CMediaType* mediaType) override;
  HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override;

 protected:
  CTransformFilter* m_pTransformFilter;
  // Bound to the filter's input pin, which the filters make before this one.
  CPosPassThru m_position;
};
