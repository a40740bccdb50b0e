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
  std::lock_guard<std::mutex> lock(m_mutex);
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
  std::lock_guard<std::mutex> lock(m_mutex);
  if (m_committed) return VFW_E_ALREADY_COMMITTED;
  if (m_decommitInProgress) return VFW_E_BUFFERS_OUTSTANDING;
  if (!IsPowerOfTwo(pRequest->cbAlign)) return VFW_E_BADALIGN;
  if (pRequest->cBuffers < 0 || pRequest->cbBuffer < 0 || pRequest->cbPrefix < 0) {
    return E_INVALIDARG;
  }
  const int64_t stride =
      RoundUp(int64_t{pRequest->cbBuffer} + pRequest->cbPrefix, pRequest->cbAlign);
  // The block holds every stride plus room to align its start.
  const int64_t total = stride * pRequest->cBuffers + pRequest->cbAlign;
  if (total > std::numeric_limits<LONG>::max()) return E_INVALIDARG;

  m_properties.cBuffers = pRequest->cBuffers;
  m_properties.cbBuffer = static_cast<LONG>(stride - pRequest->cbPrefix);
  m_properties.cbAlign = pRequest->cbAlign;
  m_properties.cbPrefix = pRequest->cbPrefix;
  m_propertiesSet = true;
  *pActual = m_properties;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CMemAllocator::GetProperties(ALLOCATOR_PROPERTIES* pProps) {
  if (pProps == nullptr) return E_POINTER;
  std::lock_guard<std::mutex> lock(m_mutex);
  *pProps = m_properties;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CMemAllocator::Commit() {
  std::lock_guard<std::mutex> lock(m_mutex);
  if (m_committed) return S_OK;
  if (m_decommitInProgress) {
    // The buffers of the earlier commit are still there: take them up again.
    m_decommitInProgress = false;
    m_committed = true;
    return S_OK;
  }
  if (!m_propertiesSet || m_properties.cBuffers <= 0 || m_properties.cbBuffer <= 0) {
    return VFW_E_SIZENOTSET;
  }
  HRESULT hr = AllocateBuffers();
  if (FAILED(hr)) return hr;
  m_committed = true;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CMemAllocator::Decommit() {
  std::lock_guard<std::mutex> lock(m_mutex);
  if (!m_committed) return S_OK;
  m_committed = false;
  if (AllBuffersFree()) {
    FreeBuffers();
  } else {
    m_decommitInProgress = true;
  }
  m_bufferFreed.notify_all();
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CMemAllocator::GetBuffer(IMediaSample** ppBuffer,
                                                   REFERENCE_TIME* pStartTime,
                                                   REFERENCE_TIME* pEndTime, DWORD dwFlags) {
  if (ppBuffer == nullptr) return E_POINTER;
  *ppBuffer = nullptr;
  CMediaSample* sample = nullptr;
  {
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
      if (!m_committed) return VFW_E_NOT_COMMITTED;
      if (!m_free.empty()) break;
      if ((dwFlags & AM_GBF_NOWAIT) != 0) return VFW_E_TIMEOUT;
      m_bufferFreed.wait(lock);
    }
    sample = m_free.back();
    m_free.pop_back();
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
    std::lock_guard<std::mutex> lock(m_mutex);
    auto ours = std::find(m_samples.begin(), m_samples.end(), pBuffer);
    if (ours == m_samples.end()) return E_INVALIDARG;
    if (std::find(m_free.begin(), m_free.end(), pBuffer) != m_free.end()) return E_INVALIDARG;
    m_free.push_back(*ours);
    if (m_decommitInProgress && AllBuffersFree()) {
      FreeBuffers();
      m_decommitInProgress = false;
    }
    m_bufferFreed.notify_one();
  }
  Release();  // the reference GetBuffer took; may delete this allocator
  return S_OK;
}

HRESULT CMemAllocator::AllocateBuffers() {
  const LONG align = m_properties.cbAlign;
  const LONG stride = m_properties.cbPrefix + m_properties.cbBuffer;
  const size_t total = static_cast<size_t>(stride) * static_cast<size_t>(m_properties.cBuffers) +
                       static_cast<size_t>(align);
  m_memory.reset(new (std::nothrow) BYTE[total]);
  if (m_memory == nullptr) return E_OUTOFMEMORY;
  const uintptr_t misalignment = reinterpret_cast<uintptr_t>(m_memory.get()) % align;
  BYTE* next = m_memory.get() + (misalignment == 0 ? 0 : align - misalignment);
  try {
    // Reserved in full so that ReleaseBuffer never allocates.
    m_samples.reserve(static_cast<size_t>(m_properties.cBuffers));
    m_free.reserve(static_cast<size_t>(m_properties.cBuffers));
  } catch (const std::bad_alloc&) {
    m_memory.reset();
    return E_OUTOFMEMORY;
  }
  for (LONG i = 0; i < m_properties.cBuffers; ++i, next += stride) {
    auto* sample = new (std::nothrow) CMediaSample(
        "memory sample", static_cast<IMemAllocator*>(this), next + m_properties.cbPrefix,
        m_properties.cbBuffer);
    if (sample == nullptr) {
      FreeBuffers();
      return E_OUTOFMEMORY;
    }
    m_samples.push_back(sample);
    m_free.push_back(sample);
  }
  return S_OK;
}

void CMemAllocator::FreeBuffers() {
  for (CMediaSample* sample : m_samples) delete sample;
  m_samples.clear();
  m_free.clear();
  m_memory.reset();
}
