// CTransformInputPin: the input pin of a CTransformFilter. Type checks go to the filter
// (CheckInputType, then CheckTransform against the output's type when the output is
// connected); samples and end of stream go to the filter's Receive and EndOfStream under its
// receive lock; flushes and segments go to the filter, which passes them downstream.
#pragma once

#include "platform/dshow/base_input_pin.h"

class CTransformFilter;

class CTransformInputPin : public CBaseInputPin {
 public:
  CTransformInputPin(const char* objectName, CTransformFilter* filter, HRESULT* hr,
                     LPCWSTR name);

  // IPin / IMemInputPin.
  HRESULT STDMETHODCALLTYPE Receive(IMediaSample* pSample) override;
  HRESULT STDMETHODCALLTYPE EndOfStream() override;
  // VFW_E_NOT_CONNECTED unless both pins are connected.
  HRESULT STDMETHODCALLTYPE BeginFlush() override;
  HRESULT STDMETHODCALLTYPE EndFlush() override;
  HRESULT STDMETHODCALLTYPE NewSegment(REFERENCE_TIME tStart, REFERENCE_TIME tStop,
                                       double dRate) override;

  // CBasePin / CBaseInputPin.
  HRESULT CheckMediaType(const CMediaType* mediaType) override;
  HRESULT SetMediaType(const CMediaType* mediaType) override;
  HRESULT CheckConnect(IPin* pin) override;
  HRESULT CompleteConnect(IPin* receivePin) override;
  HRESULT BreakConnect() override;
  // Also VFW_E_NOT_CONNECTED while the output pin is not connected.
  HRESULT CheckStreaming() override;

 protected:
  CTransformFilter* m_pTransformFilter;
};
