// CBaseInputPin: a pin that receives media samples (IMemInputPin).
//
// Streaming checks, in order, before a sample is taken (CheckStreaming): connected
// (VFW_E_NOT_CONNECTED), filter not stopped (VFW_E_WRONG_STATE), not flushing (S_FALSE: the
// sample is dropped quietly), no earlier run-time error (VFW_E_RUNTIME_ERROR). A sample that
// carries a new media type is refused with VFW_E_INVALIDMEDIATYPE unless CheckMediaType
// accepts it. The allocator is the one the upstream pin chose (NotifyAllocator), or ours when
// it asked for one (GetAllocator); leaving the stopped state does not commit it — the output
// pin does — but entering it decommits it so a waiting upstream GetBuffer returns.
#pragma once

#include <atomic>

#include "platform/dshow/base_pin.h"

class CBaseInputPin : public CBasePin, public IMemInputPin {
 public:
  CBaseInputPin(const char* objectName, CBaseFilter* filter, CCritSec* lock, HRESULT* hr,
                LPCWSTR name);
  ~CBaseInputPin() override;

  DECLARE_IUNKNOWN
  // IMemInputPin, IPin and IUnknown.
  HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID riid, void** object) override;

  // IMemInputPin.
  // Ours, made on first request, unless upstream already notified one.
  HRESULT STDMETHODCALLTYPE GetAllocator(IMemAllocator** ppAllocator) override;
  HRESULT STDMETHODCALLTYPE NotifyAllocator(IMemAllocator* pAllocator, BOOL bReadOnly) override;
  // E_NOTIMPL: no requirements.
  HRESULT STDMETHODCALLTYPE GetAllocatorRequirements(ALLOCATOR_PROPERTIES* pProps) override;
  // Runs the streaming checks; derived pins call this first and process the sample on S_OK.
  HRESULT STDMETHODCALLTYPE Receive(IMediaSample* pSample) override;
  // Receive for each sample in turn, stopping at the first result other than S_OK.
  HRESULT STDMETHODCALLTYPE ReceiveMultiple(IMediaSample** pSamples, LONG nSamples,
                                            LONG* nSamplesProcessed) override;
  // S_OK when some connected output pin of this filter may block in Receive downstream (or
  // the filter has no output pins); S_FALSE otherwise.
  HRESULT STDMETHODCALLTYPE ReceiveCanBlock() override;

  // IPin: flushing drops incoming samples until EndFlush.
  HRESULT STDMETHODCALLTYPE BeginFlush() override;
  HRESULT STDMETHODCALLTYPE EndFlush() override;

  // Releases the allocator.
  HRESULT BreakConnect() override;
  // Decommits the allocator and clears the flushing and run-time error states.
  HRESULT Inactive() override;

  // New overridable: see the file comment.
  virtual HRESULT CheckStreaming();

  bool IsFlushing() const { return m_bFlushing; }
  bool IsReadOnly() const { return m_bReadOnly; }

 protected:
  IMemAllocator* m_pAllocator = nullptr;  // counted
  bool m_bReadOnly = false;
  std::atomic<bool> m_bFlushing{false};
  std::atomic<bool> m_bRunTimeError{false};
};
