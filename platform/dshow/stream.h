// IStream over bytes in memory (CMemoryStream) and over a file (CFileStream).
//
// Both behave as the system's own streams do where callers can tell:
// - Read returns S_OK with fewer bytes than asked at the end of the stream; reading there gives
//   0 bytes. Write at a position past the end fills the gap with zero bytes.
// - Seek before 0 or with an unknown origin fails with STG_E_INVALIDFUNCTION and leaves the
//   position as it was; a seek past the end succeeds.
// - SetSize keeps the position; bytes it adds are zero.
// - CopyTo reads from this stream's position and writes at the target's, `cb` bytes at most.
// - A file stream created with NxFileCreate::CreateAlways writes a temporary beside its file
//   (platform/file_replacement.h): Commit puts it in place of the file, and a stream released
//   without a Commit leaves the file as it was. Otherwise Commit and Revert do nothing;
//   LockRegion and UnlockRegion give STG_E_INVALIDFUNCTION.
// - Stat's name is task-allocated (CoTaskMemFree) unless STATFLAG_NONAME is given; a memory
//   stream has no name.
// - Clone shares the bytes (or the open file) and starts at the same position, then moves on
//   its own.
// Objects are created with one reference and deleted by the last Release. A stream and its
// clones are used from one thread at a time.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/dshow/persist.h"
#include "platform/file.h"
#include "platform/file_replacement.h"

class CMemoryStream final : public IStream {
 public:
  // Largest size a memory stream grows to; writes beyond it fail with STG_E_MEDIUMFULL.
  static constexpr ULONGLONG kDefaultSizeLimit = 0xFFFFFFFFull;

  // A stream over a copy of `size` bytes at `bytes` (null with size 0 for an empty one),
  // positioned at 0, with one reference; null when memory is short.
  static CMemoryStream* Create(const void* bytes = nullptr, size_t size = 0);

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  HRESULT STDMETHODCALLTYPE Read(void* pv, ULONG cb, ULONG* pcbRead) override;
  HRESULT STDMETHODCALLTYPE Write(const void* pv, ULONG cb, ULONG* pcbWritten) override;
  HRESULT STDMETHODCALLTYPE Seek(LARGE_INTEGER dlibMove, DWORD dwOrigin,
                                 ULARGE_INTEGER* plibNewPosition) override;
  HRESULT STDMETHODCALLTYPE SetSize(ULARGE_INTEGER libNewSize) override;
  HRESULT STDMETHODCALLTYPE CopyTo(IStream* pstm, ULARGE_INTEGER cb, ULARGE_INTEGER* pcbRead,
                                   ULARGE_INTEGER* pcbWritten) override;
  HRESULT STDMETHODCALLTYPE Commit(DWORD grfCommitFlags) override;
  HRESULT STDMETHODCALLTYPE Revert() override;
  HRESULT STDMETHODCALLTYPE LockRegion(ULARGE_INTEGER libOffset, ULARGE_INTEGER cb,
                                       DWORD dwLockType) override;
  HRESULT STDMETHODCALLTYPE UnlockRegion(ULARGE_INTEGER libOffset, ULARGE_INTEGER cb,
                                         DWORD dwLockType) override;
  HRESULT STDMETHODCALLTYPE Stat(STATSTG* pstatstg, DWORD grfStatFlag) override;
  HRESULT STDMETHODCALLTYPE Clone(IStream** ppstm) override;

  // The contents, shared with clones.
  const std::vector<BYTE>& Bytes() const { return shared_->bytes; }
  ULONGLONG Position() const { return position_; }
  void SetSizeLimit(ULONGLONG limit) { shared_->sizeLimit = limit; }
  // Test hooks, shared with clones: once `count` bytes in all have been written (or read)
  // from now on, Write fails with STG_E_MEDIUMFULL (Read with STG_E_READFAULT); the bytes
  // before that point still go through and are counted.
  void FailWritesAfter(ULONGLONG count) { shared_->writesLeft = count; }
  void FailReadsAfter(ULONGLONG count) { shared_->readsLeft = count; }
  // Test hook: the size asked of every later Read and Write of this stream object is appended
  // to `reads` and `writes` (either may be null).
  void RecordTransfers(std::vector<ULONG>* reads, std::vector<ULONG>* writes) {
    readSizes_ = reads;
    writeSizes_ = writes;
  }

 private:
  struct Shared {
    std::vector<BYTE> bytes;
    ULONGLONG sizeLimit = kDefaultSizeLimit;
    ULONGLONG writesLeft = ~0ull;
    ULONGLONG readsLeft = ~0ull;
  };
  explicit CMemoryStream(std::shared_ptr<Shared> shared) : shared_(std::move(shared)) {}
  ~CMemoryStream() = default;
  HRESULT Resize(ULONGLONG size);

  LONG refs_ = 1;
  std::shared_ptr<Shared> shared_;
  ULONGLONG position_ = 0;
  std::vector<ULONG>* readSizes_ = nullptr;
  std::vector<ULONG>* writeSizes_ = nullptr;
};

class CFileStream final : public IStream {
 public:
  // Opens `path` as NxOpenFile does; STG_E_FILENOTFOUND when it cannot, E_OUTOFMEMORY when
  // memory is short. `*stream` gets one reference.
  static HRESULT Open(LPCWSTR path, NxFileAccess access, NxFileCreate create, CFileStream** stream);

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  // A failed file read gives STG_E_READFAULT, a failed write STG_E_WRITEFAULT, a write to a
  // stream opened for reading only STG_E_ACCESSDENIED.
  HRESULT STDMETHODCALLTYPE Read(void* pv, ULONG cb, ULONG* pcbRead) override;
  HRESULT STDMETHODCALLTYPE Write(const void* pv, ULONG cb, ULONG* pcbWritten) override;
  HRESULT STDMETHODCALLTYPE Seek(LARGE_INTEGER dlibMove, DWORD dwOrigin,
                                 ULARGE_INTEGER* plibNewPosition) override;
  HRESULT STDMETHODCALLTYPE SetSize(ULARGE_INTEGER libNewSize) override;
  HRESULT STDMETHODCALLTYPE CopyTo(IStream* pstm, ULARGE_INTEGER cb, ULARGE_INTEGER* pcbRead,
                                   ULARGE_INTEGER* pcbWritten) override;
  HRESULT STDMETHODCALLTYPE Commit(DWORD grfCommitFlags) override;
  HRESULT STDMETHODCALLTYPE Revert() override;
  HRESULT STDMETHODCALLTYPE LockRegion(ULARGE_INTEGER libOffset, ULARGE_INTEGER cb,
                                       DWORD dwLockType) override;
  HRESULT STDMETHODCALLTYPE UnlockRegion(ULARGE_INTEGER libOffset, ULARGE_INTEGER cb,
                                         DWORD dwLockType) override;
  HRESULT STDMETHODCALLTYPE Stat(STATSTG* pstatstg, DWORD grfStatFlag) override;
  HRESULT STDMETHODCALLTYPE Clone(IStream** ppstm) override;

 private:
  // The open file, closed with the last stream that shares it.
  struct Shared {
    ~Shared() { NxCloseFile(file); }
    NxFileHandle file = nullptr;
    NxFileReplacement* replacement = nullptr;  // `file` itself when it replaces the named file
    NxFileAccess access = NxFileAccess::Read;
    std::basic_string<WCHAR> path;
  };
  explicit CFileStream(std::shared_ptr<Shared> shared) : shared_(std::move(shared)) {}
  ~CFileStream() = default;
  // Moves the shared file to this stream's position before each transfer.
  bool Reposition();

  LONG refs_ = 1;
  std::shared_ptr<Shared> shared_;
  ULONGLONG position_ = 0;
};
