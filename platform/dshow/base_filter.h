// CBaseFilter: the filter side of every filter — state (stopped / paused / running), the
// graph it belongs to, its reference clock, pin enumeration and lookup.
//
// Derived filters supply the pins (GetPinCount, GetPin) and call IncrementPinVersion when the
// set of pins changes. State changes run under the filter lock given at construction and call
// Active (leaving stopped) or Inactive (entering stopped) on every connected pin. The graph
// pointer is not counted: the graph holds its filters, not the other way round.
#pragma once

#include <atomic>

#include "platform/critical_section.h"
#include "platform/dshow/cunknown.h"
#include "platform/dshow/interfaces.h"
#include "platform/dshow/setup_data.h"

class CBasePin;

class CBaseFilter : public CUnknown, public IBaseFilter, public IAMovieSetup {
 public:
  CBaseFilter(const char* objectName, IUnknown* outer, CCritSec* lock, REFCLSID clsid);
  ~CBaseFilter() override;

  DECLARE_IUNKNOWN
  // IBaseFilter, IMediaFilter, IPersist, IAMovieSetup and IUnknown.
  HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID riid, void** object) override;

  // Overridables, in slot order.
  // Running time of the stream (clock time minus the start given to Run); VFW_E_NO_CLOCK.
  virtual HRESULT StreamTime(REFERENCE_TIME* streamTime);
  virtual LONG GetPinVersion();
  virtual int GetPinCount() = 0;
  // Null for an index out of range. The pin is not AddRef'd.
  virtual CBasePin* GetPin(int index) = 0;
  // Null: nothing to register.
  virtual const AMOVIESETUP_FILTER* GetSetupData();

  // IPersist.
  HRESULT STDMETHODCALLTYPE GetClassID(CLSID* pClassID) override;
  // IMediaFilter.
  HRESULT STDMETHODCALLTYPE Stop() override;
  HRESULT STDMETHODCALLTYPE Pause() override;
  HRESULT STDMETHODCALLTYPE Run(REFERENCE_TIME tStart) override;
  HRESULT STDMETHODCALLTYPE GetState(DWORD dwMilliSecsTimeout, FILTER_STATE* State) override;
  HRESULT STDMETHODCALLTYPE SetSyncSource(IReferenceClock* pClock) override;
  HRESULT STDMETHODCALLTYPE GetSyncSource(IReferenceClock** pClock) override;
  // IBaseFilter.
  HRESULT STDMETHODCALLTYPE EnumPins(IEnumPins** ppEnum) override;
  // By exact name; VFW_E_NOT_FOUND with a null pin otherwise.
  HRESULT STDMETHODCALLTYPE FindPin(LPCWSTR Id, IPin** ppPin) override;
  HRESULT STDMETHODCALLTYPE QueryFilterInfo(FILTER_INFO* pInfo) override;
  // Joins (or, with a null graph, leaves) a graph under the given name.
  HRESULT STDMETHODCALLTYPE JoinFilterGraph(IFilterGraph* pGraph, LPCWSTR pName) override;
  HRESULT STDMETHODCALLTYPE QueryVendorInfo(LPWSTR* pVendorInfo) override;
  // IAMovieSetup: S_FALSE without setup data; otherwise the setup record is written to (or
  // removed from) the filter mapper's store, replacing any earlier entry of the filter.
  HRESULT STDMETHODCALLTYPE Register() override;
  HRESULT STDMETHODCALLTYPE Unregister() override;

  bool IsActive() const { return m_State != State_Stopped; }
  bool IsStopped() const { return m_State == State_Stopped; }
  void IncrementPinVersion();
  IFilterGraph* GetFilterGraph() const { return m_pGraph; }
  CCritSec* FilterLock() const { return m_pLock; }

 protected:
  std::atomic<FILTER_STATE> m_State{State_Stopped};
  IReferenceClock* m_pClock = nullptr;  // counted
  REFERENCE_TIME m_tStart = 0;
  CLSID m_clsid;
  CCritSec* m_pLock;
  IFilterGraph* m_pGraph = nullptr;  // not counted
  WCHAR m_name[MAX_FILTER_NAME] = {};
  volatile LONG m_PinVersion = 1;
};
