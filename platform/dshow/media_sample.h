// CMediaSample: IMediaSample over a buffer that someone else owns (normally CMemAllocator).
//
// The sample counts its own references. When the count falls to zero the sample forgets its
// times, flags and attached media type and goes back to its allocator (IMemAllocator::
// ReleaseBuffer); a sample made without an allocator deletes itself instead. Times are
// REFERENCE_TIME (100 ns); media times are stream-defined counts (frames for audio).
// The actual data length is kept within 0..GetSize().
#pragma once

#include "platform/dshow/interfaces.h"

class CMediaSample : public IMediaSample {
 public:
  // `buffer` holds `size` bytes and must outlive the sample; `objectName` is for debugging.
  CMediaSample(const char* objectName, IMemAllocator* allocator, BYTE* buffer, LONG size);
  CMediaSample(const CMediaSample&) = delete;
  CMediaSample& operator=(const CMediaSample&) = delete;
  virtual ~CMediaSample();

  // IUnknown: IUnknown and IMediaSample.
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  HRESULT STDMETHODCALLTYPE GetPointer(BYTE** ppBuffer) override;
  LONG STDMETHODCALLTYPE GetSize() override;
  // VFW_E_SAMPLE_TIME_NOT_SET without a start time; with a start but no stop time the end is
  // start + 1 and the result VFW_S_NO_STOP_TIME.
  HRESULT STDMETHODCALLTYPE GetTime(REFERENCE_TIME* pTimeStart, REFERENCE_TIME* pTimeEnd) override;
  // A null start clears both times; a null end clears only the stop time.
  HRESULT STDMETHODCALLTYPE SetTime(REFERENCE_TIME* pTimeStart, REFERENCE_TIME* pTimeEnd) override;
  HRESULT STDMETHODCALLTYPE IsSyncPoint() override;
  HRESULT STDMETHODCALLTYPE SetSyncPoint(BOOL bIsSyncPoint) override;
  HRESULT STDMETHODCALLTYPE IsPreroll() override;
  HRESULT STDMETHODCALLTYPE SetPreroll(BOOL bIsPreroll) override;
  LONG STDMETHODCALLTYPE GetActualDataLength() override;
  // VFW_E_BUFFER_OVERFLOW outside 0..GetSize().
  HRESULT STDMETHODCALLTYPE SetActualDataLength(LONG length) override;
  // S_FALSE and null when no type is attached; otherwise a copy to free with DeleteMediaType.
  HRESULT STDMETHODCALLTYPE GetMediaType(AM_MEDIA_TYPE** ppMediaType) override;
  // Attaches a copy of the type (a changed format from here on); null detaches.
  HRESULT STDMETHODCALLTYPE SetMediaType(AM_MEDIA_TYPE* pMediaType) override;
  HRESULT STDMETHODCALLTYPE IsDiscontinuity() override;
  HRESULT STDMETHODCALLTYPE SetDiscontinuity(BOOL bDiscontinuity) override;
  // VFW_E_MEDIA_TIME_NOT_SET unless both media times were set.
  HRESULT STDMETHODCALLTYPE GetMediaTime(LONGLONG* pTimeStart, LONGLONG* pTimeEnd) override;
  // A null start clears the media times; a start without an end is E_POINTER.
  HRESULT STDMETHODCALLTYPE SetMediaTime(LONGLONG* pTimeStart, LONGLONG* pTimeEnd) override;

  // Forgets times, flags and the attached type; the data length becomes the buffer size.
  // The allocator calls this before handing the sample out again.
  void ResetProperties();

 private:
  enum : DWORD {
    kSyncPoint = 0x1,
    kPreroll = 0x2,
    kDiscontinuity = 0x4,
    kTypeChanged = 0x8,
    kTimeValid = 0x10,
    kMediaTimeValid = 0x20,
    kStopValid = 0x100,
  };
  HRESULT FlagResult(DWORD flag) const { return (flags_ & flag) != 0 ? S_OK : S_FALSE; }
  void SetFlag(DWORD flag, BOOL on) { flags_ = on ? (flags_ | flag) : (flags_ & ~flag); }

  IMemAllocator* allocator_;  // not counted: the allocator owns its samples
  BYTE* buffer_;
  LONG size_;
  LONG actual_;
  DWORD flags_ = 0;
  REFERENCE_TIME start_ = 0;
  REFERENCE_TIME end_ = 0;
  LONGLONG mediaStart_ = 0;
  LONGLONG mediaEnd_ = 0;
  AM_MEDIA_TYPE* mediaType_ = nullptr;
  volatile LONG refCount_ = 0;
};
