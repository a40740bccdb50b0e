// CBasePin: what input and output pins share — connection with media-type negotiation, the
// connection's type, pin information and the stream-control defaults.
//
// A pin lives inside its filter: its references are the filter's (AddRef and Release go to the
// filter), and the filter deletes it. Connecting and disconnecting need the filter stopped
// (VFW_E_NOT_STOPPED) and a free pin (VFW_E_ALREADY_CONNECTED); all of it runs under the
// filter's lock given at construction.
//
// Connect(receiver, type) negotiates in this order: a fully specified `type` is tried alone;
// otherwise the receiver's preferred types, then ours, each filtered by the partial `type` when
// one is given. A candidate must pass CheckConnect, our CheckMediaType, SetMediaType, the
// receiver's ReceiveConnection and CompleteConnect; any failure after CheckConnect undoes the
// attempt with BreakConnect.
#pragma once

#include "platform/critical_section.h"
#include "platform/dshow/cunknown.h"
#include "platform/dshow/interfaces.h"
#include "platform/dshow/media_type.h"

class CBaseFilter;

class CBasePin : public CUnknown, public IPin {
 public:
  // `name` is copied (at most MAX_PIN_NAME - 1 units). `hr` is left untouched: construction
  // cannot fail.
  CBasePin(const char* objectName, CBaseFilter* filter, CCritSec* lock, HRESULT* hr,
           LPCWSTR name, PIN_DIRECTION direction);
  ~CBasePin() override;

  DECLARE_IUNKNOWN
  // IPin and IUnknown.
  HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID riid, void** object) override;
  ULONG STDMETHODCALLTYPE NonDelegatingAddRef() override;
  ULONG STDMETHODCALLTYPE NonDelegatingRelease() override;

  // IPin.
  HRESULT STDMETHODCALLTYPE Connect(IPin* pReceivePin, const AM_MEDIA_TYPE* pmt) override;
  HRESULT STDMETHODCALLTYPE ReceiveConnection(IPin* pConnector,
                                              const AM_MEDIA_TYPE* pmt) override;
  // S_FALSE when there was no connection.
  HRESULT STDMETHODCALLTYPE Disconnect() override;
  HRESULT STDMETHODCALLTYPE ConnectedTo(IPin** pPin) override;
  // Fills `pmt` with a copy (free it with FreeMediaType); VFW_E_NOT_CONNECTED leaves it empty.
  HRESULT STDMETHODCALLTYPE ConnectionMediaType(AM_MEDIA_TYPE* pmt) override;
  HRESULT STDMETHODCALLTYPE QueryPinInfo(PIN_INFO* pInfo) override;
  HRESULT STDMETHODCALLTYPE QueryDirection(PIN_DIRECTION* pPinDir) override;
  // The name, task-allocated.
  HRESULT STDMETHODCALLTYPE QueryId(LPWSTR* Id) override;
  // S_OK or S_FALSE: whether CheckMediaType accepts the type.
  HRESULT STDMETHODCALLTYPE QueryAccept(const AM_MEDIA_TYPE* pmt) override;
  HRESULT STDMETHODCALLTYPE EnumMediaTypes(IEnumMediaTypes** ppEnum) override;
  HRESULT STDMETHODCALLTYPE QueryInternalConnections(IPin** apPin, ULONG* nPin) override;
  // S_OK here; input pins pass it on.
  HRESULT STDMETHODCALLTYPE EndOfStream() override;
  // E_UNEXPECTED here: flushing is for input pins.
  HRESULT STDMETHODCALLTYPE BeginFlush() override;
  HRESULT STDMETHODCALLTYPE EndFlush() override;
  // Records the segment (CurrentStartTime, CurrentStopTime, CurrentRate).
  HRESULT STDMETHODCALLTYPE NewSegment(REFERENCE_TIME tStart, REFERENCE_TIME tStop,
                                       double dRate) override;

  // Overridables, in slot order.
  // S_OK accepts; anything else refuses.
  virtual HRESULT CheckMediaType(const CMediaType* mediaType) = 0;
  // Records the type of the connection being made.
  virtual HRESULT SetMediaType(const CMediaType* mediaType);
  // Refuses a pin of our own direction (VFW_E_INVALID_DIRECTION).
  virtual HRESULT CheckConnect(IPin* pin);
  virtual HRESULT CompleteConnect(IPin* receivePin);
  virtual HRESULT BreakConnect();
  // The type we prefer at `position` (0 first): S_OK, VFW_S_NO_MORE_ITEMS past the last, or a
  // failure. E_UNEXPECTED here: a plain pin offers nothing.
  virtual HRESULT GetMediaType(int position, CMediaType* mediaType);
  // Changes whenever the list of GetMediaType changes; enumerators compare it.
  virtual LONG GetMediaTypeVersion();
  // Called by the filter when it leaves or enters the stopped state, on connected pins only.
  virtual HRESULT Active();
  virtual HRESULT Inactive();
  virtual HRESULT Run(REFERENCE_TIME start);

  bool IsConnected() const { return m_Connected != nullptr; }
  IPin* GetConnected() const { return m_Connected; }
  bool IsStopped() const;
  CMediaType& CurrentMediaType() { return m_mt; }
  LPCWSTR Name() const { return m_name; }
  PIN_DIRECTION Direction() const { return m_dir; }
  CBaseFilter* Filter() const { return m_pFilter; }
  void IncrementTypeVersion();
  REFERENCE_TIME CurrentStartTime() const { return m_tStart; }
  REFERENCE_TIME CurrentStopTime() const { return m_tStop; }
  double CurrentRate() const { return m_dRate; }

 protected:
  HRESULT AgreeMediaType(IPin* receivePin, const CMediaType* partial);
  HRESULT TryMediaTypes(IPin* receivePin, const CMediaType* partial, IEnumMediaTypes* types);
  HRESULT AttemptConnection(IPin* receivePin, const CMediaType* mediaType);
  HRESULT DisconnectInternal();

  WCHAR m_name[MAX_PIN_NAME];
  IPin* m_Connected = nullptr;  // counted
  PIN_DIRECTION m_dir;
  CCritSec* m_pLock;
  CBaseFilter* m_pFilter;
  CMediaType m_mt;
  bool m_bTryMyTypesFirst = false;
  REFERENCE_TIME m_tStart = 0;
  REFERENCE_TIME m_tStop = 0;
  double m_dRate = 1.0;
  volatile LONG m_TypeVersion = 1;
};
