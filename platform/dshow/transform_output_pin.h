// CTransformOutputPin: the output pin of a CTransformFilter. It can connect only after the
// input pin; the types it offers are the filter's GetMediaType, a type is accepted when the
// filter's CheckTransform accepts it against the input's type, and buffer sizes are the
// filter's DecideBufferSize.
#pragma once

#include "platform/dshow/base_output_pin.h"

class CTransformFilter;

class CTransformOutputPin : public CBaseOutputPin {
 public:
  CTransformOutputPin(const char* objectName, CTransformFilter* filter, HRESULT* hr,
                      LPCWSTR name);

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
};
