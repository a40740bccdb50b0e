#include "platform/dshow/filter_graph.h"

#include <algorithm>
#include <chrono>
#include <new>

#include "platform/interlocked.h"
#include "platform/wide_string.h"

namespace {

// The filter a pin belongs to, not counted (the graph's own reference keeps it alive).
IBaseFilter* FilterOf(IPin* pin) {
  PIN_INFO info;
  if (FAILED(pin->QueryPinInfo(&info))) return nullptr;
  if (info.pFilter != nullptr) info.pFilter->Release();
  return info.pFilter;
}

// Calls `visit` with each pin of `filter`; stops early when it returns false.
template <typename Visit>
void ForEachPin(IBaseFilter* filter, Visit visit) {
  IEnumPins* pins = nullptr;
  if (FAILED(filter->EnumPins(&pins))) return;
  IPin* pin = nullptr;
  ULONG fetched = 0;
  bool more = true;
  while (more && pins->Next(1, &pin, &fetched) == S_OK && fetched == 1) {
    more = visit(pin);
    pin->Release();
  }
  pins->Release();
}

PIN_DIRECTION DirectionOf(IPin* pin) {
  PIN_DIRECTION direction = PINDIR_INPUT;
  pin->QueryDirection(&direction);
  return direction;
}

// The filters that `filter`'s connected output pins deliver to.
std::vector<IBaseFilter*> DownstreamOf(IBaseFilter* filter) {
  std::vector<IBaseFilter*> result;
  ForEachPin(filter, [&](IPin* pin) {
    IPin* peer = nullptr;
    if (DirectionOf(pin) == PINDIR_OUTPUT && pin->ConnectedTo(&peer) == S_OK) {
      result.push_back(FilterOf(peer));
      peer->Release();
    }
    return true;
  });
  return result;
}

bool HasConnected(IBaseFilter* filter, PIN_DIRECTION direction) {
  bool found = false;
  ForEachPin(filter, [&](IPin* pin) {
    IPin* peer = nullptr;
    if (DirectionOf(pin) == direction && pin->ConnectedTo(&peer) == S_OK) {
      peer->Release();
      found = true;
    }
    return !found;
  });
  return found;
}

// IEnumFilters over a snapshot of the graph's filters, each counted.
class CEnumFilters final : public IEnumFilters {
 public:
  CEnumFilters(const std::vector<IBaseFilter*>& filters, size_t position)
      : filters_(filters), position_(position) {
    for (IBaseFilter* f : filters_) f->AddRef();
  }
  ~CEnumFilters() {
    for (IBaseFilter* f : filters_) f->Release();
  }
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
    if (object == nullptr) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IEnumFilters) {
      *object = static_cast<IEnumFilters*>(this);
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override {
    return static_cast<ULONG>(InterlockedIncrement(&refCount_));
  }
  ULONG STDMETHODCALLTYPE Release() override {
    const LONG count = InterlockedDecrement(&refCount_);
    if (count == 0) delete this;
    return static_cast<ULONG>(count);
  }
  HRESULT STDMETHODCALLTYPE Next(ULONG count, IBaseFilter** out, ULONG* fetched) override {
    if (out == nullptr) return E_POINTER;
    if (fetched == nullptr && count != 1) return E_INVALIDARG;
    ULONG n = 0;
    while (n < count && position_ < filters_.size()) {
      out[n] = filters_[position_++];
      out[n]->AddRef();
      ++n;
    }
    if (fetched != nullptr) *fetched = n;
    return n == count ? S_OK : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE Skip(ULONG count) override {
    const size_t left = filters_.size() - position_;
    position_ += std::min<size_t>(count, left);
    return count <= left ? S_OK : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE Reset() override {
    position_ = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Clone(IEnumFilters** copy) override {
    if (copy == nullptr) return E_POINTER;
    auto* clone = new (std::nothrow) CEnumFilters(filters_, position_);
    *copy = clone;
    if (clone == nullptr) return E_OUTOFMEMORY;
    clone->AddRef();
    return S_OK;
  }

 private:
  std::vector<IBaseFilter*> filters_;
  size_t position_;
  volatile LONG refCount_ = 0;
};

}  // namespace

HRESULT NxNotifyGraph(IFilterGraph* graph, LONG code, LONG_PTR param1, LONG_PTR param2) {
  if (graph == nullptr) return E_NOINTERFACE;
  IMediaEventSink* sink = nullptr;
  HRESULT hr = graph->QueryInterface(IID_IMediaEventSink, reinterpret_cast<void**>(&sink));
  if (FAILED(hr)) return hr;
  hr = sink->Notify(code, param1, param2);
  sink->Release();
  return hr;
}

CFilterGraph::CFilterGraph() : CUnknown("filter graph", nullptr) {}

CFilterGraph::~CFilterGraph() {
  StopAll();
  // Removing a filter disconnects it; what is left after a failed disconnect is still released.
  while (!m_filters.empty()) {
    IBaseFilter* filter = m_filters.back().filter;
    if (FAILED(RemoveFilter(filter))) {
      filter->JoinFilterGraph(nullptr, nullptr);
      filter->Release();
      m_filters.pop_back();
    }
  }
}

HRESULT CFilterGraph::Create(CFilterGraph** graph) {
  if (graph == nullptr) return E_POINTER;
  *graph = new (std::nothrow) CFilterGraph();
  if (*graph == nullptr) return E_OUTOFMEMORY;
  (*graph)->NonDelegatingAddRef();
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CFilterGraph::NonDelegatingQueryInterface(REFIID riid, void** object) {
  if (riid == IID_IFilterGraph) return GetInterface(static_cast<IFilterGraph*>(this), object);
  if (riid == IID_IMediaEventSink) {
    return GetInterface(static_cast<IMediaEventSink*>(this), object);
  }
  return CUnknown::NonDelegatingQueryInterface(riid, object);
}

bool CFilterGraph::Contains(IBaseFilter* filter) const {
  return std::any_of(m_filters.begin(), m_filters.end(),
                     [&](const Entry& e) { return e.filter == filter; });
}

bool CFilterGraph::NameInUse(const std::basic_string<WCHAR>& name) const {
  return std::any_of(m_filters.begin(), m_filters.end(),
                     [&](const Entry& e) { return e.name == name; });
}

HRESULT STDMETHODCALLTYPE CFilterGraph::AddFilter(IBaseFilter* pFilter, LPCWSTR pName) {
  if (pFilter == nullptr) return E_POINTER;
  CAutoLock lock(&m_lock);
  if (Contains(pFilter)) return E_INVALIDARG;
  std::basic_string<WCHAR> base = pName != nullptr ? pName : NXW("Filter");
  base.resize(std::min<size_t>(base.size(), MAX_FILTER_NAME - 8));
  std::basic_string<WCHAR> name = base;
  for (int n = 2; NameInUse(name) && n < 100000; ++n) {
    name = base;
    name += NXW(' ');
    for (char c : std::to_string(n)) name += static_cast<WCHAR>(c);
  }
  HRESULT hr = pFilter->JoinFilterGraph(this, name.c_str());
  if (FAILED(hr)) return hr;
  m_filters.push_back({pFilter, name});
  pFilter->AddRef();
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CFilterGraph::RemoveFilter(IBaseFilter* pFilter) {
  if (pFilter == nullptr) return E_POINTER;
  CAutoLock lock(&m_lock);
  auto found = std::find_if(m_filters.begin(), m_filters.end(),
                            [&](const Entry& e) { return e.filter == pFilter; });
  if (found == m_filters.end()) return VFW_E_NOT_FOUND;
  if (m_state != State_Stopped) return VFW_E_NOT_STOPPED;
  HRESULT result = S_OK;
  ForEachPin(pFilter, [&](IPin* pin) {
    IPin* peer = nullptr;
    if (pin->ConnectedTo(&peer) == S_OK) {
      HRESULT hr = peer->Disconnect();
      if (SUCCEEDED(hr)) hr = pin->Disconnect();
      if (FAILED(hr) && SUCCEEDED(result)) result = hr;
      peer->Release();
    }
    return true;
  });
  if (FAILED(result)) return result;
  m_filters.erase(found);
  pFilter->JoinFilterGraph(nullptr, nullptr);
  pFilter->Release();
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CFilterGraph::EnumFilters(IEnumFilters** ppEnum) {
  if (ppEnum == nullptr) return E_POINTER;
  CAutoLock lock(&m_lock);
  std::vector<IBaseFilter*> filters;
  for (const Entry& e : m_filters) filters.push_back(e.filter);
  auto* enumerator = new (std::nothrow) CEnumFilters(filters, 0);
  *ppEnum = enumerator;
  if (enumerator == nullptr) return E_OUTOFMEMORY;
  enumerator->AddRef();
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CFilterGraph::FindFilterByName(LPCWSTR pName, IBaseFilter** ppFilter) {
  if (pName == nullptr || ppFilter == nullptr) return E_POINTER;
  CAutoLock lock(&m_lock);
  *ppFilter = nullptr;
  for (const Entry& e : m_filters) {
    if (NxStrCmpW(e.name.c_str(), pName) == 0) {
      *ppFilter = e.filter;
      e.filter->AddRef();
      return S_OK;
    }
  }
  return VFW_E_NOT_FOUND;
}

HRESULT STDMETHODCALLTYPE CFilterGraph::ConnectDirect(IPin* ppinOut, IPin* ppinIn,
                                                      const AM_MEDIA_TYPE* pmt) {
  if (ppinOut == nullptr || ppinIn == nullptr) return E_POINTER;
  CAutoLock lock(&m_lock);
  if (!Contains(FilterOf(ppinOut)) || !Contains(FilterOf(ppinIn))) return VFW_E_NOT_IN_GRAPH;
  if (m_state != State_Stopped) return VFW_E_NOT_STOPPED;
  if (DirectionOf(ppinOut) != PINDIR_OUTPUT || DirectionOf(ppinIn) != PINDIR_INPUT) {
    return VFW_E_INVALID_DIRECTION;
  }
  ++m_connecting;
  const HRESULT hr = ppinOut->Connect(ppinIn, pmt);
  if (--m_connecting == 0) {
    std::vector<IPin*> pending;
    pending.swap(m_reconnects);
    for (IPin* pin : pending) {
      m_lastReconnect = ReconnectNow(pin);
      pin->Release();
    }
  }
  return hr;
}

HRESULT CFilterGraph::LastReconnectResult() const {
  CAutoLock lock(&m_lock);
  return m_lastReconnect;
}

HRESULT STDMETHODCALLTYPE CFilterGraph::Reconnect(IPin* ppin) {
  if (ppin == nullptr) return E_POINTER;
  CAutoLock lock(&m_lock);
  if (m_state != State_Stopped) return VFW_E_NOT_STOPPED;
  if (m_connecting > 0) {
    ppin->AddRef();
    m_reconnects.push_back(ppin);
    return S_OK;
  }
  return ReconnectNow(ppin);
}

HRESULT CFilterGraph::ReconnectNow(IPin* ppin) {
  IPin* peer = nullptr;
  HRESULT hr = ppin->ConnectedTo(&peer);
  if (FAILED(hr)) return hr;
  IPin* output = DirectionOf(ppin) == PINDIR_OUTPUT ? ppin : peer;
  IPin* input = output == ppin ? peer : ppin;
  hr = output->Disconnect();
  if (SUCCEEDED(hr)) hr = input->Disconnect();
  if (SUCCEEDED(hr)) hr = output->Connect(input, nullptr);
  peer->Release();
  return hr;
}

HRESULT STDMETHODCALLTYPE CFilterGraph::Disconnect(IPin* ppin) {
  if (ppin == nullptr) return E_POINTER;
  return ppin->Disconnect();
}

HRESULT STDMETHODCALLTYPE CFilterGraph::SetDefaultSyncSource() {
  CAutoLock lock(&m_lock);
  HRESULT result = S_OK;
  for (const Entry& e : m_filters) {
    HRESULT hr = e.filter->SetSyncSource(nullptr);
    if (FAILED(hr) && SUCCEEDED(result)) result = hr;
  }
  return result;
}

HRESULT STDMETHODCALLTYPE CFilterGraph::Notify(LONG EventCode, LONG_PTR EventParam1,
                                               LONG_PTR /*EventParam2*/) {
  std::lock_guard<std::mutex> hold(m_eventMutex);
  if (EventCode == EC_COMPLETE) {
    ++m_completed;
  } else if (EventCode == EC_ERRORABORT || EventCode == EC_USERABORT) {
    if (m_abortCode == 0) {
      m_abortCode = EventCode;
      const HRESULT reported = static_cast<HRESULT>(EventParam1);
      m_abortResult = FAILED(reported) ? reported : E_FAIL;
    }
  } else {
    return S_OK;
  }
  m_eventChanged.notify_all();
  return S_OK;
}

std::vector<IBaseFilter*> CFilterGraph::DownstreamFirst() const {
  std::vector<IBaseFilter*> order;
  std::vector<IBaseFilter*> left;
  for (const Entry& e : m_filters) left.push_back(e.filter);
  while (!left.empty()) {
    auto ready = std::find_if(left.begin(), left.end(), [&](IBaseFilter* f) {
      for (IBaseFilter* next : DownstreamOf(f)) {
        const bool pending = std::find(left.begin(), left.end(), next) != left.end();
        if (pending && next != f) return false;
      }
      return true;
    });
    // A loop of connections has no downstream end: take the rest as they were added.
    if (ready == left.end()) ready = left.begin();
    order.push_back(*ready);
    left.erase(ready);
  }
  return order;
}

int CFilterGraph::CountRenderers() const {
  int count = 0;
  for (const Entry& e : m_filters) {
    if (HasConnected(e.filter, PINDIR_INPUT) && !HasConnected(e.filter, PINDIR_OUTPUT)) ++count;
  }
  return count;
}

void CFilterGraph::StopAll() {
  CAutoLock lock(&m_lock);
  for (IBaseFilter* f : DownstreamFirst()) f->Stop();
  m_state = State_Stopped;
  std::lock_guard<std::mutex> hold(m_eventMutex);
  m_eventChanged.notify_all();
}

HRESULT CFilterGraph::Pause() {
  CAutoLock lock(&m_lock);
  if (m_state == State_Paused) return S_OK;
  if (m_state == State_Stopped) {
    // Counting asks the filters for their pins, which takes their locks; the event lock must not
    // be held then, because a streaming thread holding a filter's receive lock notifies under it.
    const int renderers = CountRenderers();
    std::lock_guard<std::mutex> hold(m_eventMutex);
    m_renderers = renderers;
    m_completed = 0;
    m_abortCode = 0;
    m_abortResult = S_OK;
  }
  for (IBaseFilter* f : DownstreamFirst()) {
    HRESULT hr = f->Pause();
    if (FAILED(hr)) {
      StopAll();
      return hr;
    }
  }
  m_state = State_Paused;
  return S_OK;
}

HRESULT CFilterGraph::Run() {
  CAutoLock lock(&m_lock);
  if (m_state == State_Running) return S_OK;
  HRESULT hr = Pause();
  if (FAILED(hr)) return hr;
  for (IBaseFilter* f : DownstreamFirst()) {
    hr = f->Run(0);
    if (FAILED(hr)) {
      StopAll();
      return hr;
    }
  }
  m_state = State_Running;
  return S_OK;
}

HRESULT CFilterGraph::Stop() {
  CAutoLock lock(&m_lock);
  HRESULT result = S_OK;
  for (IBaseFilter* f : DownstreamFirst()) {
    HRESULT hr = f->Stop();
    if (FAILED(hr) && SUCCEEDED(result)) result = hr;
  }
  m_state = State_Stopped;
  std::lock_guard<std::mutex> hold(m_eventMutex);
  m_eventChanged.notify_all();
  return result;
}

FILTER_STATE CFilterGraph::State() const { return m_state; }

HRESULT CFilterGraph::WaitForCompletion(DWORD timeoutMs, LONG* eventCode) {
  if (eventCode != nullptr) *eventCode = 0;
  if (State() == State_Stopped) return VFW_E_WRONG_STATE;
  std::unique_lock<std::mutex> hold(m_eventMutex);
  auto settled = [&] {
    return m_abortCode != 0 || m_completed >= m_renderers || State() == State_Stopped;
  };
  if (timeoutMs == INFINITE) {
    m_eventChanged.wait(hold, settled);
  } else if (!m_eventChanged.wait_for(hold, std::chrono::milliseconds(timeoutMs), settled)) {
    return E_ABORT;
  }
  if (m_abortCode != 0) {
    if (eventCode != nullptr) *eventCode = m_abortCode;
    return m_abortResult;
  }
  if (m_completed >= m_renderers) {
    if (eventCode != nullptr) *eventCode = EC_COMPLETE;
    return S_OK;
  }
  return VFW_E_WRONG_STATE;
}
