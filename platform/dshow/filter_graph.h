// CFilterGraph: the least of a filter graph that a host needs to run a chain of filters — it
// holds filters by name, connects their pins, and drives their state together.
//
// The graph holds a reference on each filter it contains; a filter's graph pointer is not
// counted. Removing a filter (or destroying the graph) disconnects its pins first, which breaks
// the reference cycles that connections make.
//
// Driving: Pause and Run take the filters from the most downstream to the most upstream, so a
// filter is ready before samples reach it; Stop takes them in the same order, so each filter's
// downstream refuses new samples first and a blocked upstream thread returns. Renderers (filters
// with a connected input and no connected output) report the end of the stream through
// IMediaEventSink::Notify(EC_COMPLETE); WaitForCompletion returns once every renderer has, or
// once any filter reports EC_ERRORABORT / EC_USERABORT.
//
// Threads: the graph methods run on the host's thread; Notify may come from any streaming
// thread and takes only the event lock, never the graph lock, so a Stop that waits for a
// streaming thread cannot deadlock with it.
#pragma once

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "platform/critical_section.h"
#include "platform/dshow/cunknown.h"
#include "platform/dshow/interfaces.h"

#if defined(_WIN32)
#include <evcode.h>
#include <strmif.h>
#else
// {56A868A2-0AD4-11CE-B03A-0020AF0BA770}
inline constexpr IID IID_IMediaEventSink = {0x56A868A2, 0x0AD4, 0x11CE,
                                            {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};

constexpr LONG EC_COMPLETE = 0x01;     // param 1: the renderer's HRESULT
constexpr LONG EC_USERABORT = 0x02;
constexpr LONG EC_ERRORABORT = 0x03;   // param 1: the failure's HRESULT

constexpr DWORD INFINITE = 0xFFFFFFFF;

struct IMediaEventSink : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE Notify(LONG EventCode, LONG_PTR EventParam1,
                                           LONG_PTR EventParam2) = 0;

 protected:
  ~IMediaEventSink() = default;
};

#endif  // _WIN32

// Sends `code` to the graph that `filter` belongs to, if any, through its IMediaEventSink.
HRESULT NxNotifyGraph(IFilterGraph* graph, LONG code, LONG_PTR param1, LONG_PTR param2);

class CFilterGraph : public CUnknown, public IFilterGraph, public IMediaEventSink {
 public:
  CFilterGraph();
  ~CFilterGraph() override;

  // A new graph with one reference.
  static HRESULT Create(CFilterGraph** graph);

  DECLARE_IUNKNOWN
  // IFilterGraph, IMediaEventSink and IUnknown.
  HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID riid, void** object) override;

  // IFilterGraph.
  // A null name gets a made-up one; a name in use gets a number appended. E_INVALIDARG for a
  // filter already in the graph; the filter's JoinFilterGraph failure is returned as is.
  HRESULT STDMETHODCALLTYPE AddFilter(IBaseFilter* pFilter, LPCWSTR pName) override;
  // VFW_E_NOT_FOUND for a filter not in the graph; VFW_E_NOT_STOPPED unless stopped.
  HRESULT STDMETHODCALLTYPE RemoveFilter(IBaseFilter* pFilter) override;
  HRESULT STDMETHODCALLTYPE EnumFilters(IEnumFilters** ppEnum) override;
  HRESULT STDMETHODCALLTYPE FindFilterByName(LPCWSTR pName, IBaseFilter** ppFilter) override;
  // VFW_E_NOT_IN_GRAPH unless both pins' filters are in the graph; VFW_E_NOT_STOPPED unless
  // stopped; otherwise the output pin's Connect.
  HRESULT STDMETHODCALLTYPE ConnectDirect(IPin* ppinOut, IPin* ppinIn,
                                          const AM_MEDIA_TYPE* pmt) override;
  // Disconnects both ends of the pin's connection and connects them again with a newly
  // negotiated type. Asked during a ConnectDirect (a filter completing its input connection
  // wants its output to follow), it runs once that connection is complete, when both ends have
  // settled their allocators; the result is then LastReconnectResult(). Otherwise at once.
  HRESULT STDMETHODCALLTYPE Reconnect(IPin* ppin) override;
  // Disconnects this pin only.
  HRESULT STDMETHODCALLTYPE Disconnect(IPin* ppin) override;
  // There is no reference clock here: every filter runs without one.
  HRESULT STDMETHODCALLTYPE SetDefaultSyncSource() override;

  // IMediaEventSink: EC_COMPLETE, EC_ERRORABORT and EC_USERABORT are counted; others ignored.
  HRESULT STDMETHODCALLTYPE Notify(LONG EventCode, LONG_PTR EventParam1,
                                   LONG_PTR EventParam2) override;

  // The driver. A failing Pause or Run stops every filter again and returns the failure.
  HRESULT Pause();
  HRESULT Run();
  // Stops every filter; returns the first failure, but stops them all.
  HRESULT Stop();
  // S_OK once every renderer reported completion; the reported failure (E_FAIL when none was
  // given) after an abort; E_ABORT when `timeoutMs` passed first; VFW_E_WRONG_STATE while
  // stopped, also when the graph stops during the wait. `eventCode` (optional) receives
  // EC_COMPLETE or the abort's code.
  HRESULT WaitForCompletion(DWORD timeoutMs, LONG* eventCode);
  FILTER_STATE State() const;
  // The result of the last reconnection that ran after a ConnectDirect; S_OK when none did.
  HRESULT LastReconnectResult() const;

 private:
  struct Entry {
    IBaseFilter* filter;  // counted
    std::basic_string<WCHAR> name;
  };

  bool Contains(IBaseFilter* filter) const;
  bool NameInUse(const std::basic_string<WCHAR>& name) const;
  // The filters in the order the driver visits them: every filter after those it delivers to.
  std::vector<IBaseFilter*> DownstreamFirst() const;
  int CountRenderers() const;
  void StopAll();
  HRESULT ReconnectNow(IPin* pin);

  mutable CCritSec m_lock;
  std::vector<Entry> m_filters;
  // Read without the graph lock by WaitForCompletion, which holds the event lock.
  std::atomic<FILTER_STATE> m_state{State_Stopped};
  int m_connecting = 0;              // ConnectDirect calls in progress
  std::vector<IPin*> m_reconnects;   // counted; run when the outermost ConnectDirect ends
  HRESULT m_lastReconnect = S_OK;

  std::mutex m_eventMutex;
  std::condition_variable m_eventChanged;
  int m_renderers = 0;
  int m_completed = 0;
  LONG m_abortCode = 0;
  HRESULT m_abortResult = S_OK;
};
