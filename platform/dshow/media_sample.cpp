#include "platform/dshow/media_sample.h"

#include "platform/dshow/media_type.h"
#include "platform/interlocked.h"

CMediaSample::CMediaSample(const char* /*objectName*/, IMemAllocator* allocator, BYTE* buffer,
                           LONG size)
    : allocator_(allocator),
      buffer_(buffer),
      size_(size < 0 ? 0 : size),
      actual_(size_) {}

CMediaSample::~CMediaSample() { DeleteMediaType(mediaType_); }

HRESULT STDMETHODCALLTYPE CMediaSample::QueryInterface(REFIID riid, void** object) {
  if (object == nullptr) return E_POINTER;
  if (riid == IID_IUnknown || riid == IID_IMediaSample) {
    *object = static_cast<IMediaSample*>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE CMediaSample::AddRef() {
  return static_cast<ULONG>(InterlockedIncrement(&refCount_));
}

ULONG STDMETHODCALLTYPE CMediaSample::Release() {
  LONG count = InterlockedDecrement(&refCount_);
  if (count != 0) return static_cast<ULONG>(count);
  ResetProperties();
  if (allocator_ != nullptr) {
    allocator_->ReleaseBuffer(this);
  } else {
    delete this;
  }
  return 0;
}

void CMediaSample::ResetProperties() {
  DeleteMediaType(mediaType_);
  mediaType_ = nullptr;
  flags_ = 0;
  start_ = end_ = 0;
  mediaStart_ = mediaEnd_ = 0;
  actual_ = size_;
}

HRESULT STDMETHODCALLTYPE CMediaSample::GetPointer(BYTE** ppBuffer) {
  if (ppBuffer == nullptr) return E_POINTER;
  *ppBuffer = buffer_;
  return S_OK;
}

LONG STDMETHODCALLTYPE CMediaSample::GetSize() { return size_; }

HRESULT STDMETHODCALLTYPE CMediaSample::GetTime(REFERENCE_TIME* pTimeStart,
                                                REFERENCE_TIME* pTimeEnd) {
  if (pTimeStart == nullptr || pTimeEnd == nullptr) return E_POINTER;
  if ((flags_ & kTimeValid) == 0) return VFW_E_SAMPLE_TIME_NOT_SET;
  *pTimeStart = start_;
  if ((flags_ & kStopValid) == 0) {
    *pTimeEnd = start_ + 1;
    return VFW_S_NO_STOP_TIME;
  }
  *pTimeEnd = end_;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CMediaSample::SetTime(REFERENCE_TIME* pTimeStart,
                                                REFERENCE_TIME* pTimeEnd) {
  if (pTimeStart == nullptr) {
    flags_ &= ~(kTimeValid | kStopValid);
    return S_OK;
  }
  start_ = *pTimeStart;
  flags_ |= kTimeValid;
  if (pTimeEnd != nullptr) {
    end_ = *pTimeEnd;
    flags_ |= kStopValid;
  } else {
    flags_ &= ~kStopValid;
  }
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CMediaSample::IsSyncPoint() { return FlagResult(kSyncPoint); }

HRESULT STDMETHODCALLTYPE CMediaSample::SetSyncPoint(BOOL bIsSyncPoint) {
  SetFlag(kSyncPoint, bIsSyncPoint);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CMediaSample::IsPreroll() { return FlagResult(kPreroll); }

HRESULT STDMETHODCALLTYPE CMediaSample::SetPreroll(BOOL bIsPreroll) {
  SetFlag(kPreroll, bIsPreroll);
  return S_OK;
}

LONG STDMETHODCALLTYPE CMediaSample::GetActualDataLength() { return actual_; }

HRESULT STDMETHODCALLTYPE CMediaSample::SetActualDataLength(LONG length) {
  if (length < 0 || length > size_) return VFW_E_BUFFER_OVERFLOW;
  actual_ = length;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CMediaSample::GetMediaType(AM_MEDIA_TYPE** ppMediaType) {
  if (ppMediaType == nullptr) return E_POINTER;
  *ppMediaType = nullptr;
  if ((flags_ & kTypeChanged) == 0) return S_FALSE;
  *ppMediaType = CreateMediaType(mediaType_);
  return *ppMediaType != nullptr ? S_OK : E_OUTOFMEMORY;
}

HRESULT STDMETHODCALLTYPE CMediaSample::SetMediaType(AM_MEDIA_TYPE* pMediaType) {
  DeleteMediaType(mediaType_);
  mediaType_ = nullptr;
  flags_ &= ~kTypeChanged;
  if (pMediaType == nullptr) return S_OK;
  mediaType_ = CreateMediaType(pMediaType);
  if (mediaType_ == nullptr) return E_OUTOFMEMORY;
  flags_ |= kTypeChanged;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CMediaSample::IsDiscontinuity() { return FlagResult(kDiscontinuity); }

HRESULT STDMETHODCALLTYPE CMediaSample::SetDiscontinuity(BOOL bDiscontinuity) {
  SetFlag(kDiscontinuity, bDiscontinuity);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CMediaSample::GetMediaTime(LONGLONG* pTimeStart, LONGLONG* pTimeEnd) {
  if (pTimeStart == nullptr || pTimeEnd == nullptr) return E_POINTER;
  if ((flags_ & kMediaTimeValid) == 0) return VFW_E_MEDIA_TIME_NOT_SET;
  *pTimeStart = mediaStart_;
  *pTimeEnd = mediaEnd_;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CMediaSample::SetMediaTime(LONGLONG* pTimeStart, LONGLONG* pTimeEnd) {
  if (pTimeStart == nullptr) {
    flags_ &= ~kMediaTimeValid;
    return S_OK;
  }
  if (pTimeEnd == nullptr) return E_POINTER;
  mediaStart_ = *pTimeStart;
  mediaEnd_ = *pTimeEnd;
  flags_ |= kMediaTimeValid;
  return S_OK;
}
