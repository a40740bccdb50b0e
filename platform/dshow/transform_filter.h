// CTransformFilter: a filter with one input and one output pin that turns each input sample
// into output samples.
//
// Derived filters decide the formats (CheckInputType, CheckTransform, GetMediaType,
// DecideBufferSize) and either implement Transform, which the default Receive calls with an
// output buffer prepared by InitializeOutputSample, or replace Receive altogether.
//
// Pins: made on the first GetPin call, "XForm In" and "XForm Out" unless a derived GetPin makes
// its own (set m_pInput and m_pOutput; the filter deletes them). FindPin finds them by name and
// also as "In" and "Out".
//
// Threads and locks: Receive, EndOfStream and the flush/segment calls arrive on the upstream
// streaming thread; Receive and EndOfStream run under m_csReceive. State changes run under
// m_csFilter. StartStreaming runs on the first Pause from stopped with both pins connected
// (holding both locks), StopStreaming on Stop (after both pins are inactive, so a Receive that
// waits for a buffer has returned, and holding m_csReceive so none is running).
// End of stream: if the filter is paused with no input connection, it passes end of stream
// downstream once.
#pragma once

#include "platform/critical_section.h"
#include "platform/dshow/base_filter.h"
#include "platform/dshow/media_type.h"

class CTransformInputPin;
class CTransformOutputPin;

class CTransformFilter : public CBaseFilter {
 public:
  CTransformFilter(const char* objectName, IUnknown* outer, REFCLSID clsid);
  ~CTransformFilter() override;

  // CBaseFilter.
  int GetPinCount() override;
  CBasePin* GetPin(int index) override;
  HRESULT STDMETHODCALLTYPE FindPin(LPCWSTR Id, IPin** ppPin) override;
  HRESULT STDMETHODCALLTYPE Stop() override;
  HRESULT STDMETHODCALLTYPE Pause() override;

  // Overridables, in slot order.
  // S_OK delivers `out`, S_FALSE drops it; E_UNEXPECTED here (a filter that keeps the default
  // Receive must implement it).
  virtual HRESULT Transform(IMediaSample* in, IMediaSample* out);
  virtual HRESULT CheckInputType(const CMediaType* in) = 0;
  virtual HRESULT CheckTransform(const CMediaType* in, const CMediaType* out) = 0;
  virtual HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) = 0;
  // The output type offered at `position`.
  virtual HRESULT GetMediaType(int position, CMediaType* mediaType) = 0;
  virtual HRESULT StartStreaming();
  virtual HRESULT StopStreaming();
  // S_FALSE: quality messages are passed upstream unchanged (there is no one to pass them to
  // here).
  virtual HRESULT AlterQuality(Quality quality);
  virtual HRESULT SetMediaType(PIN_DIRECTION direction, const CMediaType* mediaType);
  virtual HRESULT CheckConnect(PIN_DIRECTION direction, IPin* pin);
  virtual HRESULT BreakConnect(PIN_DIRECTION direction);
  virtual HRESULT CompleteConnect(PIN_DIRECTION direction, IPin* receivePin);
  // Called by the input pin after its streaming checks, under m_csReceive.
  virtual HRESULT Receive(IMediaSample* sample);
  virtual HRESULT EndOfStream();
  virtual HRESULT BeginFlush();
  virtual HRESULT EndFlush();
  virtual HRESULT NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate);

  CTransformInputPin* InputPin() const { return m_pInput; }
  CTransformOutputPin* OutputPin() const { return m_pOutput; }

 protected:
  // An output buffer with the input sample's times, media times and sync-point, preroll and
  // discontinuity flags (discontinuity also after a dropped sample), and its data length where
  // the buffer can hold it.
  HRESULT InitializeOutputSample(IMediaSample* in, IMediaSample** out);

  friend class CTransformInputPin;
  friend class CTransformOutputPin;

  CCritSec m_csFilter;
  CCritSec m_csReceive;
  CTransformInputPin* m_pInput = nullptr;
  CTransformOutputPin* m_pOutput = nullptr;
  bool m_bEOSDelivered = false;
  bool m_bSampleSkipped = false;
};
