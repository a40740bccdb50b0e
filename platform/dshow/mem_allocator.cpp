#include "platform/dshow/mem_allocator.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <new>

#include "platform/dshow/media_sample.h"

namespace {

bool IsPowerOfTwo(LONG value) { return value > 0 && (value & (value - 1)) == 0; }

int64_t RoundUp(int64_t value, int64_t unit) { return (value + unit - 1) / unit * unit; }

}  // namespace

CMemAllocator::CMemAllocator(const char* objectName, IUnknown* outer)
    : CUnknown(objectName, outer) {}

CMemAllocator::~CMemAllocator() {
  std::lock_guard<std::mutex> lock(mutex_);
  FreeBuffers();
}

CUnknown* CMemAllocator::CreateInstance(IUnknown* outer, HRESULT* hr) {
  auto* allocator = new (std::nothrow) CMemAllocator("memory allocator", outer);
  if (hr != nullptr) *hr = allocator != nullptr ? S_OK : E_OUTOFMEMORY;
  return allocator;
}

HRESULT CreateMemoryAllocator(IMemAllocator** allocator) {
  if (allocator == nullptr) return E_POINTER;
  *allocator = nullptr;
  auto* object = new (std::nothrow) CMemAllocator("memory allocator", nullptr);
  if (object == nullptr) return E_OUTOFMEMORY;
  return object->NonDelegatingQueryInterface(IID_IMemAllocator,
                                             reinterpret_cast<void**>(allocator));
}

HRESULT STDMETHODCALLTYPE CMemAllocator::NonDelegatingQueryInterface(REFIID riid,
                                                                     void** object) {
  if (riid == IID_IMemAllocator) return GetInterface(static_cast<IMemAllocator*>(this), object);
  return CUnknown::NonDelegatingQueryInterface(riid, object);
}

HRESULT STDMETHODCALLTYPE CMemAllocator::SetProperties(ALLOCATOR_PROPERTIES* pRequest,
                                                       ALLOCATOR_PROPERTIES* pActual) {
  if (pRequest == nullptr || pActual == nullptr) return E_POINTER;
  std::lock_guard<std::mutex> lock(mutex_);
  if (committed_) return VFW_E_ALREADY_COMMITTED;
  if (decommitInProgress_) return VFW_E_BUFFERS_OUTSTANDING;
  if (!IsPowerOfTwo(pRequest->cbAlign)) return VFW_E_BADALIGN;
  if (pRequest->cBuffers < 0 || pRequest->cbBuffer < 0 || pRequest->cbPrefix < 0) {
    return E_INVALIDARG;
  }
  const int64_t stride =
      RoundUp(int64_t{pRequest->cbBuffer} + pRequest->cbPrefix, pRequest->cbAlign);
  // The block holds every stride plus room to align its start.
  const int64_t total = stride * pRequest->cBuffers + pRequest->cbAlign;
  if (total > std::numeric_limits<LONG>::max()) return E_INVALIDARG;

  properties_.cBuffers = pRequest->cBuffers;
  properties_.cbBuffer = static_cast<LONG>(stride - pRequest->cbPrefix);
  properties_.cbAlign = pRequest->cbAlign;
  properties_.cbPrefix = pRequest->cbPrefix;
  propertiesSet_ = true;
  *pActual = properties_;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CMemAllocator::GetProperties(ALLOCATOR_PROPERTIES* pProps) {
  if (pProps == nullptr) return E_POINTER;
  std::lock_guard<std::mutex> lock(mutex_);
  *pProps = properties_;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CMemAllocator::Commit() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (committed_) return S_OK;
  if (decommitInProgress_) {
    // The buffers of the earlier commit are still there: take them up again.
    decommitInProgress_ = false;
    committed_ = true;
    return S_OK;
  }
  if (!propertiesSet_ || properties_.cBuffers <= 0 || properties_.cbBuffer <= 0) {
    return VFW_E_SIZENOTSET;
  }
  HRESULT hr = AllocateBuffers();
  if (FAILED(hr)) return hr;
  committed_ = true;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CMemAllocator::Decommit() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!committed_) return S_OK;
  committed_ = false;
  if (AllBuffersFree()) {
    FreeBuffers();
  } else {
    decommitInProgress_ = true;
  }
  bufferFreed_.notify_all();
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CMemAllocator::GetBuffer(IMediaSample** ppBuffer,
                                                   REFERENCE_TIME* pStartTime,
                                                   REFERENCE_TIME* pEndTime, DWORD dwFlags) {
  if (ppBuffer == nullptr) return E_POINTER;
  *ppBuffer = nullptr;
  CMediaSample* sample = nullptr;
  {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
      if (!committed_) return VFW_E_NOT_COMMITTED;
      if (!free_.empty()) break;
      if ((dwFlags & AM_GBF_NOWAIT) != 0) return VFW_E_TIMEOUT;
      bufferFreed_.wait(lock);
    }
    sample = free_.back();
    free_.pop_back();
  }
  AddRef();  // released in ReleaseBuffer
  sample->ResetProperties();
  sample->AddRef();
  if (pStartTime != nullptr) sample->SetTime(pStartTime, pEndTime);
  *ppBuffer = sample;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CMemAllocator::ReleaseBuffer(IMediaSample* pBuffer) {
  if (pBuffer == nullptr) return E_POINTER;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto ours = std::find(samples_.begin(), samples_.end(), pBuffer);
    if (ours == samples_.end()) return E_INVALIDARG;
    if (std::find(free_.begin(), free_.end(), pBuffer) != free_.end()) return E_INVALIDARG;
    free_.push_back(*ours);
    if (decommitInProgress_ && AllBuffersFree()) {
      FreeBuffers();
      decommitInProgress_ = false;
    }
    bufferFreed_.notify_one();
  }
  Release();  // the reference GetBuffer took; may delete this allocator
  return S_OK;
}

HRESULT CMemAllocator::AllocateBuffers() {
  const LONG align = properties_.cbAlign;
  const LONG stride = properties_.cbPrefix + properties_.cbBuffer;
  const size_t total = static_cast<size_t>(stride) * static_cast<size_t>(properties_.cBuffers) +
                       static_cast<size_t>(align);
  memory_.reset(new (std::nothrow) BYTE[total]);
  if (memory_ == nullptr) return E_OUTOFMEMORY;
  const uintptr_t misalignment = reinterpret_cast<uintptr_t>(memory_.get()) % align;
  BYTE* next = memory_.get() + (misalignment == 0 ? 0 : align - misalignment);
  try {
    // Reserved in full so that ReleaseBuffer never allocates.
    samples_.reserve(static_cast<size_t>(properties_.cBuffers));
    free_.reserve(static_cast<size_t>(properties_.cBuffers));
  } catch (const std::bad_alloc&) {
    memory_.reset();
    return E_OUTOFMEMORY;
  }
  for (LONG i = 0; i < properties_.cBuffers; ++i, next += stride) {
    auto* sample = new (std::nothrow) CMediaSample(
        "memory sample", static_cast<IMemAllocator*>(this), next + properties_.cbPrefix,
        properties_.cbBuffer);
    if (sample == nullptr) {
      FreeBuffers();
      return E_OUTOFMEMORY;
    }
    samples_.push_back(sample);
    free_.push_back(sample);
  }
  return S_OK;
}

void CMemAllocator::FreeBuffers() {
  for (CMediaSample* sample : samples_) delete sample;
  samples_.clear();
  free_.clear();
  memory_.reset();
}
