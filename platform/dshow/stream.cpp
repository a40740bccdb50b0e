#include "platform/dshow/stream.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "platform/dshow/task_memory.h"
#include "platform/interlocked.h"

namespace {

// The position a Seek asks for, from the current position and size; false before 0, for an
// unknown origin and on overflow.
bool SeekTarget(ULONGLONG position, ULONGLONG size, LARGE_INTEGER move, DWORD origin,
                ULONGLONG* target) {
  ULONGLONG base;
  switch (origin) {
    case STREAM_SEEK_SET:
      base = 0;
      break;
    case STREAM_SEEK_CUR:
      base = position;
      break;
    case STREAM_SEEK_END:
      base = size;
      break;
    default:
      return false;
  }
  const LONGLONG delta = move.QuadPart;
  if (delta < 0) {
    const ULONGLONG back = 0 - static_cast<ULONGLONG>(delta);
    if (back > base) return false;
    *target = base - back;
  } else {
    const ULONGLONG forward = static_cast<ULONGLONG>(delta);
    if (forward > ~0ull - base) return false;
    *target = base + forward;
  }
  return true;
}

HRESULT AnswerStreamInterfaces(IStream* stream, REFIID riid, void** object) {
  if (object == nullptr) return E_POINTER;
  if (riid == IID_IUnknown || riid == IID_ISequentialStream || riid == IID_IStream) {
    *object = stream;
    stream->AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

// Reads from `from` and writes to `to` in blocks until `limit` bytes were read or `from` runs
// dry; the first failure of either side ends the copy with its result.
HRESULT CopyBetween(IStream* from, IStream* to, ULARGE_INTEGER limit, ULARGE_INTEGER* pcbRead,
                    ULARGE_INTEGER* pcbWritten) {
  if (to == nullptr) return STG_E_INVALIDPOINTER;
  BYTE block[4096];
  ULONGLONG readTotal = 0;
  ULONGLONG writtenTotal = 0;
  HRESULT hr = S_OK;
  while (readTotal < limit.QuadPart) {
    const ULONG want =
        static_cast<ULONG>(std::min<ULONGLONG>(sizeof block, limit.QuadPart - readTotal));
    ULONG got = 0;
    hr = from->Read(block, want, &got);
    if (FAILED(hr)) break;
    hr = S_OK;
    got = std::min(got, want);
    if (got == 0) break;
    readTotal += got;
    ULONG written = 0;
    hr = to->Write(block, got, &written);
    writtenTotal += std::min(written, got);
    if (FAILED(hr)) break;
    if (written < got) {
      hr = STG_E_MEDIUMFULL;
      break;
    }
  }
  if (pcbRead != nullptr) pcbRead->QuadPart = readTotal;
  if (pcbWritten != nullptr) pcbWritten->QuadPart = writtenTotal;
  return hr;
}

HRESULT FillStat(STATSTG* stat, DWORD flags, ULONGLONG size, DWORD mode,
                 const std::basic_string<WCHAR>* name) {
  if (stat == nullptr) return STG_E_INVALIDPOINTER;
  std::memset(stat, 0, sizeof *stat);
  if (name != nullptr && (flags & STATFLAG_NONAME) == 0) {
    const size_t bytes = (name->size() + 1) * sizeof(WCHAR);
    stat->pwcsName = static_cast<LPOLESTR>(CoTaskMemAlloc(bytes));
    if (stat->pwcsName == nullptr) return STG_E_INSUFFICIENTMEMORY;
    std::memcpy(stat->pwcsName, name->c_str(), bytes);
  }
  stat->type = STGTY_STREAM;
  stat->cbSize.QuadPart = size;
  stat->grfMode = mode;
  return S_OK;
}

// STGM access bits of a stream opened for `access`.
DWORD AccessMode(NxFileAccess access) {
  switch (access) {
    case NxFileAccess::Read:
      return 0x0;
    case NxFileAccess::Write:
      return 0x1;
    case NxFileAccess::ReadWrite:
      return 0x2;
  }
  return 0;
}

}  // namespace

// ---- CMemoryStream ----

CMemoryStream* CMemoryStream::Create(const void* bytes, size_t size) {
  if (bytes == nullptr && size != 0) return nullptr;
  std::shared_ptr<Shared> shared;
  try {
    shared = std::make_shared<Shared>();
    if (size != 0) {
      const BYTE* first = static_cast<const BYTE*>(bytes);
      shared->bytes.assign(first, first + size);
    }
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
  return new (std::nothrow) CMemoryStream(std::move(shared));
}

HRESULT STDMETHODCALLTYPE CMemoryStream::QueryInterface(REFIID riid, void** object) {
  return AnswerStreamInterfaces(this, riid, object);
}

ULONG STDMETHODCALLTYPE CMemoryStream::AddRef() {
  return static_cast<ULONG>(InterlockedIncrement(&refs_));
}

ULONG STDMETHODCALLTYPE CMemoryStream::Release() {
  const LONG left = InterlockedDecrement(&refs_);
  if (left == 0) delete this;
  return static_cast<ULONG>(left);
}

HRESULT CMemoryStream::Resize(ULONGLONG size) {
  if (size > shared_->sizeLimit || size > shared_->bytes.max_size()) return STG_E_MEDIUMFULL;
  try {
    shared_->bytes.resize(static_cast<size_t>(size), 0);
  } catch (const std::bad_alloc&) {
    return STG_E_INSUFFICIENTMEMORY;
  }
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CMemoryStream::Read(void* pv, ULONG cb, ULONG* pcbRead) {
  if (pcbRead != nullptr) *pcbRead = 0;
  if (readSizes_ != nullptr) readSizes_->push_back(cb);
  if (pv == nullptr) return STG_E_INVALIDPOINTER;
  const ULONGLONG size = shared_->bytes.size();
  const ULONGLONG available = position_ < size ? size - position_ : 0;
  ULONG count = static_cast<ULONG>(std::min<ULONGLONG>(cb, available));
  const bool failing = count > shared_->readsLeft;
  if (failing) count = static_cast<ULONG>(shared_->readsLeft);
  if (count != 0) std::memcpy(pv, shared_->bytes.data() + position_, count);
  position_ += count;
  shared_->readsLeft -= count;
  if (pcbRead != nullptr) *pcbRead = count;
  return failing ? STG_E_READFAULT : S_OK;
}

HRESULT STDMETHODCALLTYPE CMemoryStream::Write(const void* pv, ULONG cb, ULONG* pcbWritten) {
  if (pcbWritten != nullptr) *pcbWritten = 0;
  if (writeSizes_ != nullptr) writeSizes_->push_back(cb);
  if (pv == nullptr) return STG_E_INVALIDPOINTER;
  if (cb == 0) return S_OK;
  ULONG count = cb;
  const bool failing = count > shared_->writesLeft;
  if (failing) count = static_cast<ULONG>(shared_->writesLeft);
  if (count > ~0ull - position_) return STG_E_MEDIUMFULL;
  const ULONGLONG end = position_ + count;
  if (count != 0) {
    if (end > shared_->bytes.size()) {
      const HRESULT hr = Resize(end);
      if (FAILED(hr)) return hr;
    }
    std::memcpy(shared_->bytes.data() + position_, pv, count);
  }
  position_ = end;
  shared_->writesLeft -= count;
  if (pcbWritten != nullptr) *pcbWritten = count;
  return failing ? STG_E_MEDIUMFULL : S_OK;
}

HRESULT STDMETHODCALLTYPE CMemoryStream::Seek(LARGE_INTEGER dlibMove, DWORD dwOrigin,
                                              ULARGE_INTEGER* plibNewPosition) {
  ULONGLONG target;
  if (!SeekTarget(position_, shared_->bytes.size(), dlibMove, dwOrigin, &target)) {
    return STG_E_INVALIDFUNCTION;
  }
  position_ = target;
  if (plibNewPosition != nullptr) plibNewPosition->QuadPart = position_;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CMemoryStream::SetSize(ULARGE_INTEGER libNewSize) {
  return Resize(libNewSize.QuadPart);
}

HRESULT STDMETHODCALLTYPE CMemoryStream::CopyTo(IStream* pstm, ULARGE_INTEGER cb,
                                                ULARGE_INTEGER* pcbRead,
                                                ULARGE_INTEGER* pcbWritten) {
  return CopyBetween(this, pstm, cb, pcbRead, pcbWritten);
}

HRESULT STDMETHODCALLTYPE CMemoryStream::Commit(DWORD /*grfCommitFlags*/) { return S_OK; }

HRESULT STDMETHODCALLTYPE CMemoryStream::Revert() { return S_OK; }

HRESULT STDMETHODCALLTYPE CMemoryStream::LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) {
  return STG_E_INVALIDFUNCTION;
}

HRESULT STDMETHODCALLTYPE CMemoryStream::UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) {
  return STG_E_INVALIDFUNCTION;
}

HRESULT STDMETHODCALLTYPE CMemoryStream::Stat(STATSTG* pstatstg, DWORD grfStatFlag) {
  return FillStat(pstatstg, grfStatFlag, shared_->bytes.size(), AccessMode(NxFileAccess::ReadWrite),
                  nullptr);
}

HRESULT STDMETHODCALLTYPE CMemoryStream::Clone(IStream** ppstm) {
  if (ppstm == nullptr) return STG_E_INVALIDPOINTER;
  CMemoryStream* clone = new (std::nothrow) CMemoryStream(shared_);
  *ppstm = clone;
  if (clone == nullptr) return E_OUTOFMEMORY;
  clone->position_ = position_;
  return S_OK;
}

// ---- CFileStream ----

HRESULT CFileStream::Open(LPCWSTR path, NxFileAccess access, NxFileCreate create,
                          CFileStream** stream) {
  if (stream == nullptr) return E_POINTER;
  *stream = nullptr;
  if (path == nullptr) return STG_E_INVALIDPOINTER;
  std::shared_ptr<Shared> shared;
  try {
    shared = std::make_shared<Shared>();
    shared->path = path;
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
  shared->access = access;
  if (create == NxFileCreate::CreateAlways && access != NxFileAccess::Read) {
    shared->replacement = NxFileReplacement::Create(path, access);
    shared->file = shared->replacement;
  } else {
    shared->file = NxOpenFile(path, access, create);
  }
  if (shared->file == nullptr) return STG_E_FILENOTFOUND;
  *stream = new (std::nothrow) CFileStream(std::move(shared));
  return *stream != nullptr ? S_OK : E_OUTOFMEMORY;
}

HRESULT STDMETHODCALLTYPE CFileStream::QueryInterface(REFIID riid, void** object) {
  return AnswerStreamInterfaces(this, riid, object);
}

ULONG STDMETHODCALLTYPE CFileStream::AddRef() {
  return static_cast<ULONG>(InterlockedIncrement(&refs_));
}

ULONG STDMETHODCALLTYPE CFileStream::Release() {
  const LONG left = InterlockedDecrement(&refs_);
  if (left == 0) delete this;
  return static_cast<ULONG>(left);
}

bool CFileStream::Reposition() {
  if (position_ > static_cast<ULONGLONG>(~0ull >> 1)) return false;
  return shared_->file->Seek(static_cast<LONGLONG>(position_), NxSeekOrigin::Begin, nullptr);
}

HRESULT STDMETHODCALLTYPE CFileStream::Read(void* pv, ULONG cb, ULONG* pcbRead) {
  if (pcbRead != nullptr) *pcbRead = 0;
  if (pv == nullptr) return STG_E_INVALIDPOINTER;
  if (shared_->access == NxFileAccess::Write) return STG_E_ACCESSDENIED;
  if (!Reposition()) return STG_E_SEEKERROR;
  DWORD done = 0;
  const bool ok = shared_->file->Read(pv, cb, &done);
  done = std::min<DWORD>(done, cb);
  position_ += done;
  if (pcbRead != nullptr) *pcbRead = done;
  return ok ? S_OK : STG_E_READFAULT;
}

HRESULT STDMETHODCALLTYPE CFileStream::Write(const void* pv, ULONG cb, ULONG* pcbWritten) {
  if (pcbWritten != nullptr) *pcbWritten = 0;
  if (pv == nullptr) return STG_E_INVALIDPOINTER;
  if (shared_->access == NxFileAccess::Read) return STG_E_ACCESSDENIED;
  if (cb == 0) return S_OK;
  if (!Reposition()) return STG_E_SEEKERROR;
  DWORD done = 0;
  const bool ok = shared_->file->Write(pv, cb, &done);
  done = std::min<DWORD>(done, cb);
  position_ += done;
  if (pcbWritten != nullptr) *pcbWritten = done;
  return ok ? S_OK : STG_E_WRITEFAULT;
}

HRESULT STDMETHODCALLTYPE CFileStream::Seek(LARGE_INTEGER dlibMove, DWORD dwOrigin,
                                            ULARGE_INTEGER* plibNewPosition) {
  ULONGLONG size = 0;
  if (dwOrigin == STREAM_SEEK_END && !shared_->file->GetSize(&size)) return STG_E_SEEKERROR;
  ULONGLONG target;
  if (!SeekTarget(position_, size, dlibMove, dwOrigin, &target)) return STG_E_INVALIDFUNCTION;
  position_ = target;
  if (plibNewPosition != nullptr) plibNewPosition->QuadPart = position_;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CFileStream::SetSize(ULARGE_INTEGER libNewSize) {
  if (shared_->access == NxFileAccess::Read) return STG_E_ACCESSDENIED;
  if (libNewSize.QuadPart > static_cast<ULONGLONG>(~0ull >> 1)) return STG_E_MEDIUMFULL;
  NxFile* file = shared_->file;
  if (!file->Seek(static_cast<LONGLONG>(libNewSize.QuadPart), NxSeekOrigin::Begin, nullptr) ||
      !file->SetEnd()) {
    return STG_E_MEDIUMFULL;
  }
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CFileStream::CopyTo(IStream* pstm, ULARGE_INTEGER cb,
                                              ULARGE_INTEGER* pcbRead, ULARGE_INTEGER* pcbWritten) {
  return CopyBetween(this, pstm, cb, pcbRead, pcbWritten);
}

HRESULT STDMETHODCALLTYPE CFileStream::Commit(DWORD /*grfCommitFlags*/) {
  NxFileReplacement* replacement = shared_->replacement;
  if (replacement == nullptr) return S_OK;
  shared_->replacement = nullptr;
  if (replacement->Commit()) return S_OK;
  return NxGetLastFileError() == NxFileError::DiskFull ? STG_E_MEDIUMFULL : STG_E_WRITEFAULT;
}

HRESULT STDMETHODCALLTYPE CFileStream::Revert() { return S_OK; }

HRESULT STDMETHODCALLTYPE CFileStream::LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) {
  return STG_E_INVALIDFUNCTION;
}

HRESULT STDMETHODCALLTYPE CFileStream::UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) {
  return STG_E_INVALIDFUNCTION;
}

HRESULT STDMETHODCALLTYPE CFileStream::Stat(STATSTG* pstatstg, DWORD grfStatFlag) {
  if (pstatstg == nullptr) return STG_E_INVALIDPOINTER;
  ULONGLONG size = 0;
  if (!shared_->file->GetSize(&size)) return STG_E_ACCESSDENIED;
  return FillStat(pstatstg, grfStatFlag, size, AccessMode(shared_->access), &shared_->path);
}

HRESULT STDMETHODCALLTYPE CFileStream::Clone(IStream** ppstm) {
  if (ppstm == nullptr) return STG_E_INVALIDPOINTER;
  CFileStream* clone = new (std::nothrow) CFileStream(shared_);
  *ppstm = clone;
  if (clone == nullptr) return E_OUTOFMEMORY;
  clone->position_ = position_;
  return S_OK;
}
