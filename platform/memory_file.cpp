#include "platform/memory_file.h"

#include <cstring>
#include <new>
#include <stdexcept>

bool NxMemoryFile::Resize(ULONGLONG size) {
  if (size > sizeLimit_ || size > bytes_.max_size()) return false;
  try {
    bytes_.resize(static_cast<size_t>(size), 0);
  } catch (const std::bad_alloc&) {
    return false;
  } catch (const std::length_error&) {
    return false;
  }
  return true;
}

bool NxMemoryFile::Read(void* buffer, DWORD count, DWORD* done) {
  ++readCalls_;
  DWORD n = 0;
  if (position_ < bytes_.size()) {
    const ULONGLONG available = bytes_.size() - position_;
    n = available < count ? static_cast<DWORD>(available) : count;
    if (n > 0) std::memcpy(buffer, bytes_.data() + position_, n);
    position_ += n;
  }
  if (done != nullptr) *done = n;
  return true;
}

bool NxMemoryFile::Write(const void* buffer, DWORD count, DWORD* done) {
  if (done != nullptr) *done = 0;
  if (access_ != NxMemoryAccess::ReadWrite) return false;
  const ULONGLONG end = position_ + count;
  if (end > bytes_.size() && !Resize(end)) return false;
  if (count > 0) std::memcpy(bytes_.data() + position_, buffer, count);
  position_ = end;
  if (done != nullptr) *done = count;
  return true;
}

bool NxMemoryFile::Seek(LONGLONG offset, NxSeekOrigin origin, ULONGLONG* newPosition) {
  LONGLONG base = 0;
  switch (origin) {
    case NxSeekOrigin::Begin: base = 0; break;
    case NxSeekOrigin::Current: base = static_cast<LONGLONG>(position_); break;
    case NxSeekOrigin::End: base = static_cast<LONGLONG>(bytes_.size()); break;
  }
  // Both terms are far below 2^63 in magnitude for any position a file can reach.
  if (offset > 0 && base > INT64_MAX - offset) return false;
  const LONGLONG target = base + offset;
  if (target < 0) return false;
  position_ = static_cast<ULONGLONG>(target);
  if (newPosition != nullptr) *newPosition = position_;
  return true;
}

bool NxMemoryFile::GetSize(ULONGLONG* size) {
  *size = bytes_.size();
  return true;
}

bool NxMemoryFile::SetEnd() {
  if (access_ != NxMemoryAccess::ReadWrite) return false;
  return Resize(position_);
}

NxMemoryFile* NxCreateMemoryFile(const void* bytes, size_t size, NxMemoryAccess access) {
  if (size > 0 && bytes == nullptr) return nullptr;
  NxMemoryFile* file = new (std::nothrow) NxMemoryFile(access);
  if (file == nullptr) return nullptr;
  if (!file->Resize(size)) {
    delete file;
    return nullptr;
  }
  if (size > 0) std::memcpy(file->bytes_.data(), bytes, size);
  return file;
}
