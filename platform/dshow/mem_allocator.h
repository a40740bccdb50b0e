// CMemAllocator: a fixed set of equal buffers in one block of memory, handed out as media
// samples.
//
// Lifecycle: properties set (SetProperties, only while decommitted with every buffer back) ->
// committed (Commit allocates the memory; GetBuffer hands out free samples, waiting while none
// is free) -> decommitted (Decommit: waiting and later GetBuffer calls fail with
// VFW_E_NOT_COMMITTED; the memory is freed once the last outstanding sample comes back, and a
// Commit before that takes the same buffers up again).
// Every outstanding sample holds a reference on the allocator, so the allocator outlives its
// samples. All methods may be called from any thread.
#pragma once

#include <condition_variable>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/dshow/cunknown.h"
#include "platform/dshow/interfaces.h"

class CMediaSample;

class CMemAllocator : public CUnknown, public IMemAllocator {
 public:
  CMemAllocator(const char* objectName, IUnknown* outer);
  ~CMemAllocator() override;

  // For a factory template: a new allocator with no references yet.
  static CUnknown* CreateInstance(IUnknown* outer, HRESULT* hr);

  DECLARE_IUNKNOWN
  // IMemAllocator and IUnknown.
  HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID riid, void** object) override;

  // cbAlign must be a power of two (VFW_E_BADALIGN), counts and sizes not negative
  // (E_INVALIDARG) and the whole block addressable by a LONG (E_INVALIDARG). The granted buffer
  // size is the request rounded up so that prefix + buffer fills whole alignment units.
  // VFW_E_ALREADY_COMMITTED while committed, VFW_E_BUFFERS_OUTSTANDING while a decommit waits
  // for buffers.
  HRESULT STDMETHODCALLTYPE SetProperties(ALLOCATOR_PROPERTIES* pRequest,
                                          ALLOCATOR_PROPERTIES* pActual) override;
  HRESULT STDMETHODCALLTYPE GetProperties(ALLOCATOR_PROPERTIES* pProps) override;
  // VFW_E_SIZENOTSET without at least one buffer of at least one byte; E_OUTOFMEMORY.
  HRESULT STDMETHODCALLTYPE Commit() override;
  HRESULT STDMETHODCALLTYPE Decommit() override;
  // Waits for a free buffer unless AM_GBF_NOWAIT is given (VFW_E_TIMEOUT then). The sample
  // comes with no flags, no media type, its whole size as data length, and the given times.
  HRESULT STDMETHODCALLTYPE GetBuffer(IMediaSample** ppBuffer, REFERENCE_TIME* pStartTime,
                                      REFERENCE_TIME* pEndTime, DWORD dwFlags) override;
  // Called by the sample when its last reference goes; E_INVALIDARG for a sample that is not
  // one of ours or is already free.
  HRESULT STDMETHODCALLTYPE ReleaseBuffer(IMediaSample* pBuffer) override;

 private:
  HRESULT AllocateBuffers();  // under m_mutex
  void FreeBuffers();         // under m_mutex, with every sample free
  bool AllBuffersFree() const { return m_free.size() == m_samples.size(); }

  std::mutex m_mutex;
  std::condition_variable m_bufferFreed;
  ALLOCATOR_PROPERTIES m_properties{0, 0, 0, 0};
  bool m_propertiesSet = false;
  bool m_committed = false;
  bool m_decommitInProgress = false;
  std::unique_ptr<BYTE[]> m_memory;
  std::vector<CMediaSample*> m_samples;  // every sample, owned
  std::vector<CMediaSample*> m_free;
};

// A new CMemAllocator, AddRef'd, through its IMemAllocator interface.
HRESULT CreateMemoryAllocator(IMemAllocator** allocator);
