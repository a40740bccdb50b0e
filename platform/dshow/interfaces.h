// DirectShow interfaces and the records they pass, with their real IIDs, method order and
// signatures, so that the filter code compiles unchanged against the Windows headers.
//
// Ownership rules every implementation follows:
// - an interface pointer returned through an out parameter is AddRef'd; the caller releases it;
// - AM_MEDIA_TYPE format blocks (pbFormat) are task-allocated (CoTaskMemAlloc); a record filled
//   by ConnectionMediaType is freed with FreeMediaType, one handed out by IEnumMediaTypes::Next
//   or IMediaSample::GetMediaType with DeleteMediaType (platform/dshow/media_type.h);
// - PIN_INFO::pFilter and FILTER_INFO::pGraph come AddRef'd (null allowed for the graph).
// Times are REFERENCE_TIME, 100-nanosecond units; media times are counts the stream defines
// (frames for audio here).
#pragma once

#include "platform/dshow/persist.h"

#if defined(_WIN32)
#include <strmif.h>
#include <uuids.h>
#else
typedef ULONG_PTR DWORD_PTR;
typedef DWORD_PTR HEVENT;
typedef DWORD_PTR HSEMAPHORE;

struct AM_MEDIA_TYPE {
  GUID majortype;
  GUID subtype;
  BOOL bFixedSizeSamples;
  BOOL bTemporalCompression;
  ULONG lSampleSize;
  GUID formattype;
  IUnknown* pUnk;  // unused here; AddRef'd with copies of the record, released with it
  ULONG cbFormat;  // bytes at pbFormat
  BYTE* pbFormat;
};

enum PIN_DIRECTION { PINDIR_INPUT = 0, PINDIR_OUTPUT = 1 };
enum FILTER_STATE { State_Stopped = 0, State_Paused = 1, State_Running = 2 };

constexpr int MAX_PIN_NAME = 128;
constexpr int MAX_FILTER_NAME = 128;

// Sizes in bytes. cbAlign is a power of two; cbPrefix bytes precede each buffer.
struct ALLOCATOR_PROPERTIES {
  LONG cBuffers;
  LONG cbBuffer;
  LONG cbAlign;
  LONG cbPrefix;
};

struct IBaseFilter;
struct IFilterGraph;

struct PIN_INFO {
  IBaseFilter* pFilter;
  PIN_DIRECTION dir;
  WCHAR achName[MAX_PIN_NAME];
};

struct FILTER_INFO {
  WCHAR achName[MAX_FILTER_NAME];
  IFilterGraph* pGraph;
};

enum QualityMessageType { Famine = 0, Flood = 1 };

struct Quality {
  QualityMessageType Type;
  LONG Proportion;  // thousandths of the full rate
  REFERENCE_TIME Late;
  REFERENCE_TIME TimeStamp;
};

// Registration records of a filter's pins (what the filter mapper stores).
struct REGPINTYPES {
  const CLSID* clsMajorType;
  const CLSID* clsMinorType;
};

struct REGFILTERPINS {
  LPWSTR strName;
  BOOL bRendered;
  BOOL bOutput;
  BOOL bZero;
  BOOL bMany;
  const CLSID* clsConnectsToFilter;
  const WCHAR* strConnectsToPin;
  UINT nMediaTypes;
  const REGPINTYPES* lpMediaType;
};

enum {
  MERIT_PREFERRED = 0x800000,
  MERIT_NORMAL = 0x600000,
  MERIT_UNLIKELY = 0x400000,
  MERIT_DO_NOT_USE = 0x200000,
  MERIT_SW_COMPRESSOR = 0x100000,
  MERIT_HW_COMPRESSOR = 0x100050
};

// Sample property flags.
enum {
  AM_SAMPLE_SPLICEPOINT = 0x1,
  AM_SAMPLE_PREROLL = 0x2,
  AM_SAMPLE_DATADISCONTINUITY = 0x4,
  AM_SAMPLE_TYPECHANGED = 0x8,
  AM_SAMPLE_TIMEVALID = 0x10,
  AM_SAMPLE_TIMEDISCONTINUITY = 0x40,
  AM_SAMPLE_FLUSH_ON_PAUSE = 0x80,
  AM_SAMPLE_STOPVALID = 0x100,
  AM_SAMPLE_ENDOFSTREAM = 0x200
};

// IMemAllocator::GetBuffer flags.
constexpr DWORD AM_GBF_PREVFRAMESKIPPED = 1;
constexpr DWORD AM_GBF_NOTASYNCPOINT = 2;
constexpr DWORD AM_GBF_NOWAIT = 4;  // fail with VFW_E_TIMEOUT instead of waiting for a buffer

#if defined(__x86_64__) || defined(_M_X64)
static_assert(sizeof(AM_MEDIA_TYPE) == 88, "AM_MEDIA_TYPE is 88 bytes on x86-64");
static_assert(offsetof(AM_MEDIA_TYPE, subtype) == 16 &&
                  offsetof(AM_MEDIA_TYPE, bFixedSizeSamples) == 32 &&
                  offsetof(AM_MEDIA_TYPE, bTemporalCompression) == 36 &&
                  offsetof(AM_MEDIA_TYPE, lSampleSize) == 40 &&
                  offsetof(AM_MEDIA_TYPE, formattype) == 44 && offsetof(AM_MEDIA_TYPE, pUnk) == 64 &&
                  offsetof(AM_MEDIA_TYPE, cbFormat) == 72 && offsetof(AM_MEDIA_TYPE, pbFormat) == 80,
              "AM_MEDIA_TYPE field offsets");
static_assert(sizeof(PIN_DIRECTION) == 4 && sizeof(FILTER_STATE) == 4, "enums are 32-bit");
static_assert(sizeof(ALLOCATOR_PROPERTIES) == 16, "ALLOCATOR_PROPERTIES is 16 bytes");
static_assert(sizeof(PIN_INFO) == 272 && offsetof(PIN_INFO, dir) == 8 &&
                  offsetof(PIN_INFO, achName) == 12,
              "PIN_INFO layout");
static_assert(sizeof(FILTER_INFO) == 264 && offsetof(FILTER_INFO, pGraph) == 256,
              "FILTER_INFO layout");
static_assert(sizeof(Quality) == 24 && offsetof(Quality, Late) == 8, "Quality layout");
static_assert(sizeof(REGPINTYPES) == 16, "REGPINTYPES layout");
static_assert(sizeof(REGFILTERPINS) == 56 && offsetof(REGFILTERPINS, clsConnectsToFilter) == 24 &&
                  offsetof(REGFILTERPINS, nMediaTypes) == 40 &&
                  offsetof(REGFILTERPINS, lpMediaType) == 48,
              "REGFILTERPINS layout");
#endif

// All DirectShow IIDs of the 56A868xx family share this tail.
#define NX_QUARTZ_IID(first) \
  { first, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70} }

inline constexpr IID IID_IPin = NX_QUARTZ_IID(0x56A86891);
inline constexpr IID IID_IEnumPins = NX_QUARTZ_IID(0x56A86892);
inline constexpr IID IID_IEnumFilters = NX_QUARTZ_IID(0x56A86893);
inline constexpr IID IID_IBaseFilter = NX_QUARTZ_IID(0x56A86895);
inline constexpr IID IID_IReferenceClock = NX_QUARTZ_IID(0x56A86897);
inline constexpr IID IID_IMediaFilter = NX_QUARTZ_IID(0x56A86899);
inline constexpr IID IID_IMediaSample = NX_QUARTZ_IID(0x56A8689A);
inline constexpr IID IID_IMemAllocator = NX_QUARTZ_IID(0x56A8689C);
inline constexpr IID IID_IMemInputPin = NX_QUARTZ_IID(0x56A8689D);
inline constexpr IID IID_IFilterGraph = NX_QUARTZ_IID(0x56A8689F);
#undef NX_QUARTZ_IID
// {89C31040-846B-11CE-97D3-00AA0055595A}
inline constexpr IID IID_IEnumMediaTypes = {0x89C31040, 0x846B, 0x11CE,
                                            {0x97, 0xD3, 0x00, 0xAA, 0x00, 0x55, 0x59, 0x5A}};
// {A3D8CEC0-7E5A-11CF-BBC5-00805F6CEF20}
inline constexpr IID IID_IAMovieSetup = {0xA3D8CEC0, 0x7E5A, 0x11CF,
                                         {0xBB, 0xC5, 0x00, 0x80, 0x5F, 0x6C, 0xEF, 0x20}};

struct IEnumMediaTypes;

struct IPin : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE Connect(IPin* pReceivePin, const AM_MEDIA_TYPE* pmt) = 0;
  virtual HRESULT STDMETHODCALLTYPE ReceiveConnection(IPin* pConnector,
                                                      const AM_MEDIA_TYPE* pmt) = 0;
  virtual HRESULT STDMETHODCALLTYPE Disconnect() = 0;
  virtual HRESULT STDMETHODCALLTYPE ConnectedTo(IPin** pPin) = 0;
  virtual HRESULT STDMETHODCALLTYPE ConnectionMediaType(AM_MEDIA_TYPE* pmt) = 0;
  virtual HRESULT STDMETHODCALLTYPE QueryPinInfo(PIN_INFO* pInfo) = 0;
  virtual HRESULT STDMETHODCALLTYPE QueryDirection(PIN_DIRECTION* pPinDir) = 0;
  virtual HRESULT STDMETHODCALLTYPE QueryId(LPWSTR* Id) = 0;
  virtual HRESULT STDMETHODCALLTYPE QueryAccept(const AM_MEDIA_TYPE* pmt) = 0;
  virtual HRESULT STDMETHODCALLTYPE EnumMediaTypes(IEnumMediaTypes** ppEnum) = 0;
  virtual HRESULT STDMETHODCALLTYPE QueryInternalConnections(IPin** apPin, ULONG* nPin) = 0;
  virtual HRESULT STDMETHODCALLTYPE EndOfStream() = 0;
  virtual HRESULT STDMETHODCALLTYPE BeginFlush() = 0;
  virtual HRESULT STDMETHODCALLTYPE EndFlush() = 0;
  virtual HRESULT STDMETHODCALLTYPE NewSegment(REFERENCE_TIME tStart, REFERENCE_TIME tStop,
                                               double dRate) = 0;

 protected:
  ~IPin() = default;
};

// Next fills up to `count` entries and returns S_FALSE when it fetched fewer; `fetched` may be
// null only when `count` is 1.
struct IEnumPins : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE Next(ULONG cPins, IPin** ppPins, ULONG* pcFetched) = 0;
  virtual HRESULT STDMETHODCALLTYPE Skip(ULONG cPins) = 0;
  virtual HRESULT STDMETHODCALLTYPE Reset() = 0;
  virtual HRESULT STDMETHODCALLTYPE Clone(IEnumPins** ppEnum) = 0;

 protected:
  ~IEnumPins() = default;
};

struct IEnumMediaTypes : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE Next(ULONG cMediaTypes, AM_MEDIA_TYPE** ppMediaTypes,
                                         ULONG* pcFetched) = 0;
  virtual HRESULT STDMETHODCALLTYPE Skip(ULONG cMediaTypes) = 0;
  virtual HRESULT STDMETHODCALLTYPE Reset() = 0;
  virtual HRESULT STDMETHODCALLTYPE Clone(IEnumMediaTypes** ppEnum) = 0;

 protected:
  ~IEnumMediaTypes() = default;
};

struct IEnumFilters : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE Next(ULONG cFilters, IBaseFilter** ppFilter,
                                         ULONG* pcFetched) = 0;
  virtual HRESULT STDMETHODCALLTYPE Skip(ULONG cFilters) = 0;
  virtual HRESULT STDMETHODCALLTYPE Reset() = 0;
  virtual HRESULT STDMETHODCALLTYPE Clone(IEnumFilters** ppEnum) = 0;

 protected:
  ~IEnumFilters() = default;
};

struct IFilterGraph : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE AddFilter(IBaseFilter* pFilter, LPCWSTR pName) = 0;
  virtual HRESULT STDMETHODCALLTYPE RemoveFilter(IBaseFilter* pFilter) = 0;
  virtual HRESULT STDMETHODCALLTYPE EnumFilters(IEnumFilters** ppEnum) = 0;
  virtual HRESULT STDMETHODCALLTYPE FindFilterByName(LPCWSTR pName, IBaseFilter** ppFilter) = 0;
  virtual HRESULT STDMETHODCALLTYPE ConnectDirect(IPin* ppinOut, IPin* ppinIn,
                                                  const AM_MEDIA_TYPE* pmt) = 0;
  virtual HRESULT STDMETHODCALLTYPE Reconnect(IPin* ppin) = 0;
  virtual HRESULT STDMETHODCALLTYPE Disconnect(IPin* ppin) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetDefaultSyncSource() = 0;

 protected:
  ~IFilterGraph() = default;
};

struct IReferenceClock : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE GetTime(REFERENCE_TIME* pTime) = 0;
  virtual HRESULT STDMETHODCALLTYPE AdviseTime(REFERENCE_TIME baseTime, REFERENCE_TIME streamTime,
                                               HEVENT hEvent, DWORD_PTR* pdwAdviseCookie) = 0;
  virtual HRESULT STDMETHODCALLTYPE AdvisePeriodic(REFERENCE_TIME startTime,
                                                   REFERENCE_TIME periodTime,
                                                   HSEMAPHORE hSemaphore,
                                                   DWORD_PTR* pdwAdviseCookie) = 0;
  virtual HRESULT STDMETHODCALLTYPE Unadvise(DWORD_PTR dwAdviseCookie) = 0;

 protected:
  ~IReferenceClock() = default;
};

struct IMediaFilter : public IPersist {
  virtual HRESULT STDMETHODCALLTYPE Stop() = 0;
  virtual HRESULT STDMETHODCALLTYPE Pause() = 0;
  virtual HRESULT STDMETHODCALLTYPE Run(REFERENCE_TIME tStart) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetState(DWORD dwMilliSecsTimeout, FILTER_STATE* State) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetSyncSource(IReferenceClock* pClock) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetSyncSource(IReferenceClock** pClock) = 0;

 protected:
  ~IMediaFilter() = default;
};

struct IBaseFilter : public IMediaFilter {
  virtual HRESULT STDMETHODCALLTYPE EnumPins(IEnumPins** ppEnum) = 0;
  virtual HRESULT STDMETHODCALLTYPE FindPin(LPCWSTR Id, IPin** ppPin) = 0;
  virtual HRESULT STDMETHODCALLTYPE QueryFilterInfo(FILTER_INFO* pInfo) = 0;
  virtual HRESULT STDMETHODCALLTYPE JoinFilterGraph(IFilterGraph* pGraph, LPCWSTR pName) = 0;
  virtual HRESULT STDMETHODCALLTYPE QueryVendorInfo(LPWSTR* pVendorInfo) = 0;

 protected:
  ~IBaseFilter() = default;
};

struct IMediaSample : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE GetPointer(BYTE** ppBuffer) = 0;
  virtual LONG STDMETHODCALLTYPE GetSize() = 0;
  virtual HRESULT STDMETHODCALLTYPE GetTime(REFERENCE_TIME* pTimeStart,
                                            REFERENCE_TIME* pTimeEnd) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetTime(REFERENCE_TIME* pTimeStart,
                                            REFERENCE_TIME* pTimeEnd) = 0;
  virtual HRESULT STDMETHODCALLTYPE IsSyncPoint() = 0;
  virtual HRESULT STDMETHODCALLTYPE SetSyncPoint(BOOL bIsSyncPoint) = 0;
  virtual HRESULT STDMETHODCALLTYPE IsPreroll() = 0;
  virtual HRESULT STDMETHODCALLTYPE SetPreroll(BOOL bIsPreroll) = 0;
  virtual LONG STDMETHODCALLTYPE GetActualDataLength() = 0;
  virtual HRESULT STDMETHODCALLTYPE SetActualDataLength(LONG length) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetMediaType(AM_MEDIA_TYPE** ppMediaType) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetMediaType(AM_MEDIA_TYPE* pMediaType) = 0;
  virtual HRESULT STDMETHODCALLTYPE IsDiscontinuity() = 0;
  virtual HRESULT STDMETHODCALLTYPE SetDiscontinuity(BOOL bDiscontinuity) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetMediaTime(LONGLONG* pTimeStart, LONGLONG* pTimeEnd) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetMediaTime(LONGLONG* pTimeStart, LONGLONG* pTimeEnd) = 0;

 protected:
  ~IMediaSample() = default;
};

struct IMemAllocator : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE SetProperties(ALLOCATOR_PROPERTIES* pRequest,
                                                  ALLOCATOR_PROPERTIES* pActual) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetProperties(ALLOCATOR_PROPERTIES* pProps) = 0;
  virtual HRESULT STDMETHODCALLTYPE Commit() = 0;
  virtual HRESULT STDMETHODCALLTYPE Decommit() = 0;
  virtual HRESULT STDMETHODCALLTYPE GetBuffer(IMediaSample** ppBuffer,
                                              REFERENCE_TIME* pStartTime,
                                              REFERENCE_TIME* pEndTime, DWORD dwFlags) = 0;
  virtual HRESULT STDMETHODCALLTYPE ReleaseBuffer(IMediaSample* pBuffer) = 0;

 protected:
  ~IMemAllocator() = default;
};

struct IMemInputPin : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE GetAllocator(IMemAllocator** ppAllocator) = 0;
  virtual HRESULT STDMETHODCALLTYPE NotifyAllocator(IMemAllocator* pAllocator,
                                                    BOOL bReadOnly) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetAllocatorRequirements(ALLOCATOR_PROPERTIES* pProps) = 0;
  virtual HRESULT STDMETHODCALLTYPE Receive(IMediaSample* pSample) = 0;
  virtual HRESULT STDMETHODCALLTYPE ReceiveMultiple(IMediaSample** pSamples, LONG nSamples,
                                                    LONG* nSamplesProcessed) = 0;
  virtual HRESULT STDMETHODCALLTYPE ReceiveCanBlock() = 0;

 protected:
  ~IMemInputPin() = default;
};

// {36B73880-C2C8-11CF-8B46-00805F6CEF60}
inline constexpr IID IID_IMediaSeeking = {0x36B73880, 0xC2C8, 0x11CF,
                                          {0x8B, 0x46, 0x00, 0x80, 0x5F, 0x6C, 0xEF, 0x60}};

// SetPositions flags: how each position is given, in the low bits.
enum AM_SEEKING_SEEKING_FLAGS {
  AM_SEEKING_NoPositioning = 0,
  AM_SEEKING_AbsolutePositioning = 1,
  AM_SEEKING_RelativePositioning = 2,
  AM_SEEKING_IncrementalPositioning = 3,
};

// Positions and durations in the stream's time format (REFERENCE_TIME by default).
struct IMediaSeeking : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE GetCapabilities(DWORD* pCapabilities) = 0;
  virtual HRESULT STDMETHODCALLTYPE CheckCapabilities(DWORD* pCapabilities) = 0;
  virtual HRESULT STDMETHODCALLTYPE IsFormatSupported(const GUID* pFormat) = 0;
  virtual HRESULT STDMETHODCALLTYPE QueryPreferredFormat(GUID* pFormat) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetTimeFormat(GUID* pFormat) = 0;
  virtual HRESULT STDMETHODCALLTYPE IsUsingTimeFormat(const GUID* pFormat) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetTimeFormat(const GUID* pFormat) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetDuration(LONGLONG* pDuration) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetStopPosition(LONGLONG* pStop) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetCurrentPosition(LONGLONG* pCurrent) = 0;
  virtual HRESULT STDMETHODCALLTYPE ConvertTimeFormat(LONGLONG* pTarget, const GUID* pTargetFormat,
                                                      LONGLONG Source, const GUID* pSourceFormat) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetPositions(LONGLONG* pCurrent, DWORD dwCurrentFlags,
                                                 LONGLONG* pStop, DWORD dwStopFlags) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetPositions(LONGLONG* pCurrent, LONGLONG* pStop) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetAvailable(LONGLONG* pEarliest, LONGLONG* pLatest) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetRate(double dRate) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetRate(double* pdRate) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetPreroll(LONGLONG* pllPreroll) = 0;

 protected:
  ~IMediaSeeking() = default;
};

struct IAMovieSetup : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE Register() = 0;
  virtual HRESULT STDMETHODCALLTYPE Unregister() = 0;

 protected:
  ~IAMovieSetup() = default;
};
#endif  // _WIN32
