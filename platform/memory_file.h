// A file held in memory, with the same behaviour as a file on disk (platform/file.h), so that
// parsers can be tested and fuzzed from bytes.
//
// The file starts as a copy of the given bytes. A read-only file refuses Write and SetEnd. A
// writable file grows as it is written past its end (the gap zero-filled) up to a size limit,
// 4 GB - 1 unless set lower; a write that would pass the limit writes nothing and fails, which
// lets tests see what a full disk does. Bytes() hands back the contents.
#pragma once

#include <vector>

#include "platform/file.h"

enum class NxMemoryAccess { ReadOnly, ReadWrite };

class NxMemoryFile : public NxFile {
 public:
  static constexpr ULONGLONG kDefaultSizeLimit = 0xFFFFFFFFull;

  bool Read(void* buffer, DWORD count, DWORD* done) override;
  bool Write(const void* buffer, DWORD count, DWORD* done) override;
  bool Seek(LONGLONG offset, NxSeekOrigin origin, ULONGLONG* newPosition) override;
  bool GetSize(ULONGLONG* size) override;
  bool SetEnd() override;

  const std::vector<BYTE>& Bytes() const { return bytes_; }
  ULONGLONG Position() const { return position_; }
  void SetSizeLimit(ULONGLONG limit) { sizeLimit_ = limit; }
  // Number of Read calls so far, so that tests can prove a call read nothing.
  ULONGLONG ReadCalls() const { return readCalls_; }

 private:
  friend NxMemoryFile* NxCreateMemoryFile(const void* bytes, size_t size, NxMemoryAccess access);
  explicit NxMemoryFile(NxMemoryAccess access) : access_(access) {}
  bool Resize(ULONGLONG size);

  std::vector<BYTE> bytes_;
  ULONGLONG position_ = 0;
  ULONGLONG sizeLimit_ = kDefaultSizeLimit;
  ULONGLONG readCalls_ = 0;
  NxMemoryAccess access_;
};

// A memory file holding a copy of `size` bytes (`bytes` may be null when `size` is 0). Null when
// memory runs out or `size` passes the size limit. Close it with NxCloseFile.
NxMemoryFile* NxCreateMemoryFile(const void* bytes, size_t size, NxMemoryAccess access);
