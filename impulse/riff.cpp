#include "impulse/riff.h"

#include <cstdlib>
#include <new>
#include <vector>

#include "platform/byte_order.h"
#include "platform/codepage.h"
#include "platform/wide_string.h"
#include "toolkit/file_read.h"

namespace {

constexpr ULONGLONG kMaxPosition = 0xFFFFFFFFull;
// The largest RIFF size that still leaves the whole file within 32-bit positions.
constexpr ULONGLONG kRiffSizeLimit = 0xFFFFFFF8ull;
constexpr DWORD kRiffSizeOffset = 4;
constexpr DWORD kFirstChunkOffset = 12;
constexpr DWORD kMoveBlockBytes = 4096;

// The one place where the pad byte of an odd-sized chunk is accounted for. 64-bit because the
// padded size of 0xFFFFFFFF does not fit in 32.
ULONGLONG Padded(DWORD size) { return static_cast<ULONGLONG>(size) + (size & 1u); }

// Reduces a remaining count, stopping at 0.
void Consume(DWORD* remaining, ULONGLONG bytes) {
  if (remaining == nullptr) return;
  *remaining = bytes >= *remaining ? 0 : static_cast<DWORD>(*remaining - bytes);
}

NXSTATUS ReadExact(NxFileHandle file, void* buffer, DWORD count) {
  DWORD done = 0;
  if (!NxReadFile(file, buffer, count, &done, nullptr) || done != count) return NX_E_READ;
  return NX_OK;
}

NXSTATUS ReadLe32(NxFileHandle file, DWORD* value) {
  BYTE bytes[4];
  const NXSTATUS status = ReadExact(file, bytes, 4);
  if (status == NX_OK) *value = NxGetLe32(bytes);
  return status;
}

NXSTATUS WriteAll(NxFileHandle file, const void* buffer, DWORD count) {
  DWORD done = 0;
  if (!file->Write(buffer, count, &done) || done != count) return NX_E_WRITE;
  return NX_OK;
}

NXSTATUS WriteLe32Pair(NxFileHandle file, DWORD first, DWORD second) {
  BYTE bytes[8];
  NxPutLe32(bytes, first);
  NxPutLe32(bytes + 4, second);
  return WriteAll(file, bytes, 8);
}

bool Tell(NxFileHandle file, ULONGLONG* position) {
  return file->Seek(0, NxSeekOrigin::Current, position) && *position <= kMaxPosition;
}

bool SeekTo(NxFileHandle file, ULONGLONG position) {
  return position <= kMaxPosition &&
         file->Seek(static_cast<LONGLONG>(position), NxSeekOrigin::Begin, nullptr);
}

bool SeekForward(NxFileHandle file, ULONGLONG bytes) {
  ULONGLONG position = 0;
  return Tell(file, &position) && SeekTo(file, position + bytes);
}

NXSTATUS ReadRiffSizeAt4(NxFileHandle file, DWORD* size) {
  if (!SeekTo(file, kRiffSizeOffset)) return NX_E_READ;
  return ReadLe32(file, size);
}

NXSTATUS WriteRiffSizeAt4(NxFileHandle file, DWORD size) {
  BYTE bytes[4];
  NxPutLe32(bytes, size);
  if (!SeekTo(file, kRiffSizeOffset)) return NX_E_WRITE;
  return WriteAll(file, bytes, 4);
}

// Copies every byte from `from` to the end of the file down to `to`, then ends the file there.
NXSTATUS MoveTailDown(NxFileHandle file, ULONGLONG from, ULONGLONG to, ULONGLONG fileSize) {
  BYTE block[kMoveBlockBytes];
  while (from < fileSize) {
    const ULONGLONG left = fileSize - from;
    const DWORD count = left < kMoveBlockBytes ? static_cast<DWORD>(left) : kMoveBlockBytes;
    if (!SeekTo(file, from)) return NX_E_READ;
    NXSTATUS status = ReadExact(file, block, count);
    if (status != NX_OK) return status;
    if (!SeekTo(file, to)) return NX_E_WRITE;
    status = WriteAll(file, block, count);
    if (status != NX_OK) return status;
    from += count;
    to += count;
  }
  if (!SeekTo(file, to) || !file->SetEnd()) return NX_E_WRITE;
  return NX_OK;
}

}  // namespace

NXSTATUS riff_ReadFileID(NxFileHandle file, DWORD* bodySize, DWORD* formType) {
  if (bodySize != nullptr) *bodySize = 0;
  if (file == nullptr) return E_INVALIDARG;
  DWORD id = 0;
  DWORD size = 0;
  NXSTATUS status = riff_ReadChunkHeader(file, &id, &size);
  if (status != NX_OK) return status;
  if (id != kRiffChunkId) return NX_E_NOTRIFF;
  if (bodySize != nullptr) *bodySize = size >= 4 ? size - 4 : 0;
  DWORD type = 0;
  status = ReadLe32(file, &type);
  if (status == NX_OK && formType != nullptr) *formType = type;
  return status;
}

NXSTATUS riff_ReadChunkHeader(NxFileHandle file, DWORD* id, DWORD* size) {
  if (file == nullptr) return E_INVALIDARG;
  BYTE bytes[8];
  const NXSTATUS status = ReadExact(file, bytes, 8);
  if (status != NX_OK) return status;
  if (id != nullptr) *id = NxGetLe32(bytes);
  if (size != nullptr) *size = NxGetLe32(bytes + 4);
  return NX_OK;
}

NXSTATUS riff_FindChunkHeader(NxFileHandle file, DWORD id, DWORD* size, DWORD* remaining) {
  if (file == nullptr) return E_INVALIDARG;
  for (;;) {
    if (remaining != nullptr && *remaining < 8) return NX_E_NOTFOUND;
    DWORD chunkId = 0;
    DWORD chunkSize = 0;
    const NXSTATUS status = riff_ReadChunkHeader(file, &chunkId, &chunkSize);
    if (status != NX_OK) return status;
    Consume(remaining, 8);
    if (chunkId == id) {
      if (size != nullptr) *size = chunkSize;
      return NX_OK;
    }
    // Every step moves at least 8 bytes forward and a seek past 4 GB fails, so this ends.
    if (!SeekForward(file, Padded(chunkSize))) return NX_E_READ;
    Consume(remaining, Padded(chunkSize));
  }
}

NXSTATUS riff_FindChunkHeaderInRIFF(NxFileHandle file, DWORD id, DWORD* size, DWORD* remaining) {
  if (remaining != nullptr) *remaining = 0;
  if (file == nullptr) return E_INVALIDARG;
  if (!SeekTo(file, 0)) return NX_E_READ;
  DWORD body = 0;
  NXSTATUS status = riff_ReadFileID(file, &body, nullptr);
  if (status != NX_OK) return status;
  status = riff_FindChunkHeader(file, id, size, &body);
  if (remaining != nullptr) *remaining = body;
  return status;
}

NXSTATUS riff_FindListChunk(NxFileHandle file, DWORD listType, DWORD* size, DWORD* remaining) {
  if (file == nullptr) return E_INVALIDARG;
  for (;;) {
    DWORD listSize = 0;
    NXSTATUS status = riff_FindChunkHeader(file, kListChunkId, &listSize, remaining);
    if (status != NX_OK) return status;
    if (listSize < 4) {
      // Too small to hold a list type: reading one would take the next chunk's bytes.
      if (!SeekForward(file, Padded(listSize))) return NX_E_READ;
      Consume(remaining, Padded(listSize));
      continue;
    }
    if (remaining != nullptr && *remaining < 4) return NX_E_NOTFOUND;
    DWORD type = 0;
    status = ReadLe32(file, &type);
    if (status != NX_OK) return status;
    Consume(remaining, 4);
    if (type == listType) {
      if (size != nullptr) *size = listSize - 4;
      return NX_OK;
    }
    const ULONGLONG rest = Padded(listSize) - 4;
    if (!SeekForward(file, rest)) return NX_E_READ;
    Consume(remaining, rest);
  }
}

NXSTATUS riff_GetNumListEntries(NxFileHandle file, DWORD* count, DWORD* remaining) {
  if (file == nullptr || count == nullptr || remaining == nullptr) return E_INVALIDARG;
  *count = 0;
  ULONGLONG start = 0;
  if (!Tell(file, &start)) return NX_E_READ;
  NXSTATUS status = NX_OK;
  while (*remaining >= 8) {
    DWORD chunkSize = 0;
    status = riff_ReadChunkHeader(file, nullptr, &chunkSize);
    if (status != NX_OK) break;
    ++*count;
    Consume(remaining, 8 + Padded(chunkSize));
    if (*remaining > 0 && !SeekForward(file, Padded(chunkSize))) {
      status = NX_E_READ;
      break;
    }
  }
  if (!SeekTo(file, start) && status == NX_OK) status = NX_E_READ;
  return status;
}

NXSTATUS riff_ReadData(NxFileHandle file, void* buffer, DWORD size) {
  if (file == nullptr || (buffer == nullptr && size > 0)) return E_INVALIDARG;
  const NXSTATUS status = ReadExact(file, buffer, size);
  if (status != NX_OK) return status;
  if ((size & 1u) != 0 && !SeekForward(file, 1)) return NX_E_READ;
  return NX_OK;
}

NXSTATUS riff_ReadDataAlloc(NxFileHandle file, RiffData* record) {
  if (file == nullptr || record == nullptr) return E_INVALIDARG;
  record->data = nullptr;
  if (record->size == 0) return NX_OK;
  ULONGLONG position = 0;
  ULONGLONG fileSize = 0;
  if (!Tell(file, &position) || !file->GetSize(&fileSize)) return NX_E_READ;
  if (position > fileSize || record->size > fileSize - position) return NX_E_READ;
  BYTE* data = static_cast<BYTE*>(std::calloc(record->size, 1));
  if (data == nullptr) return E_OUTOFMEMORY;
  const NXSTATUS status = riff_ReadData(file, data, record->size);
  if (status != NX_OK) {
    std::free(data);
    return status;
  }
  record->data = data;
  return NX_OK;
}

void riff_FreeData(RiffData* record) {
  if (record == nullptr) return;
  std::free(record->data);
  record->data = nullptr;
}

NXSTATUS riff_ReadListHeader(NxFileHandle file, DWORD* listType, DWORD* size) {
  DWORD id = 0;
  DWORD listSize = 0;
  NXSTATUS status = riff_ReadChunkHeader(file, &id, &listSize);
  if (status != NX_OK) return status;
  if (id != kListChunkId) return NX_E_NOTLIST;
  if (listSize < 4) return NX_E_NEGATIVESIZE;
  DWORD type = 0;
  status = ReadLe32(file, &type);
  if (status != NX_OK) return status;
  if (listType != nullptr) *listType = type;
  if (size != nullptr) *size = listSize - 4;
  return NX_OK;
}

NXSTATUS riff_ReadANSIString(NxFileHandle file, WCHAR* text, DWORD capacity, DWORD* size) {
  if (file == nullptr || text == nullptr || capacity == 0 || size == nullptr) {
    return E_INVALIDARG;
  }
  text[0] = 0;
  const DWORD chunkSize = *size;
  const DWORD count = chunkSize < capacity ? chunkSize : capacity;
  if (count > 0) {
    std::vector<char> bytes;
    try {
      bytes.resize(count);
    } catch (const std::bad_alloc&) {
      return E_OUTOFMEMORY;
    }
    const NXSTATUS status = ReadExact(file, bytes.data(), count);
    if (status != NX_OK) return status;
    bytes[count - 1] = 0;
    // Every byte of the code page is one unit, so `count` units always fit.
    MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(count), text,
                        static_cast<int>(capacity));
  }
  if (!SeekForward(file, Padded(chunkSize) - count)) return NX_E_READ;
  *size = static_cast<DWORD>(Padded(chunkSize) > kMaxPosition ? kMaxPosition : Padded(chunkSize));
  return NX_OK;
}

NXSTATUS riff_SkipChunk(NxFileHandle file, DWORD size, DWORD* skipped) {
  if (skipped != nullptr) *skipped = 0;
  if (file == nullptr) return E_INVALIDARG;
  // The padded size passes 32 bits only for 0xFFFFFFFF, which no seek from any position allows.
  if (!SeekForward(file, Padded(size))) return NX_E_READ;
  if (skipped != nullptr) *skipped = static_cast<DWORD>(Padded(size));
  return NX_OK;
}

NXSTATUS riff_SaveLocation(NxFileHandle file, DWORD* position) {
  if (file == nullptr || position == nullptr) return E_INVALIDARG;
  ULONGLONG here = 0;
  if (!Tell(file, &here)) return NX_E_READ;
  *position = static_cast<DWORD>(here);
  return NX_OK;
}

NXSTATUS riff_RestoreLocation(NxFileHandle file, DWORD position) {
  if (file == nullptr) return E_INVALIDARG;
  return SeekTo(file, position) ? NX_OK : NX_E_READ;
}

NXSTATUS riff_SeekDataStart(NxFileHandle file) {
  return riff_RestoreLocation(file, kFirstChunkOffset);
}

NXSTATUS riff_ValidateChunkHeader(DWORD size) {
  if (size == 0) return NX_E_ZEROSIZE;
  if (static_cast<LONG>(size) < 0) return NX_E_NEGATIVESIZE;
  return NX_OK;
}

NXSTATUS riff_WriteChunkHeader(NxFileHandle file, DWORD id, DWORD size) {
  if (file == nullptr) return E_INVALIDARG;
  return WriteLe32Pair(file, id, size);
}

NXSTATUS riff_WriteChunk(NxFileHandle file, DWORD id, const void* data, DWORD size, DWORD* total) {
  if (total != nullptr) *total = 0;
  if (file == nullptr || (data == nullptr && size > 0)) return E_INVALIDARG;
  if (Padded(size) + 8 > kMaxPosition) return NX_E_TOOBIG;
  NXSTATUS status = riff_WriteChunkHeader(file, id, size);
  if (status == NX_OK) status = WriteAll(file, data, size);
  const BYTE pad = 0;
  if (status == NX_OK && (size & 1u) != 0) status = WriteAll(file, &pad, 1);
  if (status == NX_OK && total != nullptr) *total = static_cast<DWORD>(Padded(size) + 8);
  return status;
}

NXSTATUS riff_WriteListHeader(NxFileHandle file, DWORD listType, DWORD size) {
  NXSTATUS status = riff_WriteChunkHeader(file, kListChunkId, size);
  BYTE type[4];
  NxPutLe32(type, listType);
  if (status == NX_OK) status = WriteAll(file, type, 4);
  return status;
}

NXSTATUS riff_WriteFileID(NxFileHandle file, DWORD formType, DWORD size) {
  NXSTATUS status = riff_WriteChunkHeader(file, kRiffChunkId, size);
  BYTE type[4];
  NxPutLe32(type, formType);
  if (status == NX_OK) status = WriteAll(file, type, 4);
  return status;
}

NXSTATUS riff_UpdateRIFFSize(NxFileHandle file, LONGLONG delta) {
  if (file == nullptr) return E_INVALIDARG;
  ULONGLONG start = 0;
  if (!Tell(file, &start)) return NX_E_READ;
  DWORD size = 0;
  NXSTATUS status = ReadRiffSizeAt4(file, &size);
  if (status == NX_OK) {
    const LONGLONG updated = static_cast<LONGLONG>(size) + delta;
    if (updated < 0) {
      status = NX_E_NEGATIVESIZE;
    } else if (static_cast<ULONGLONG>(updated) < kRiffSizeLimit) {
      status = WriteRiffSizeAt4(file, static_cast<DWORD>(updated));
    } else {
      // Back to the last length the header describes; a header that claims more than the file
      // holds must not make the file longer.
      ULONGLONG fileSize = 0;
      const ULONGLONG consistent = static_cast<ULONGLONG>(size) + 8;
      if (file->GetSize(&fileSize) && consistent < fileSize) {
        if (!SeekTo(file, consistent) || !file->SetEnd()) status = NX_E_WRITE;
      }
      if (status == NX_OK) status = NX_E_TOOBIG;
    }
  }
  if (!SeekTo(file, start) && status == NX_OK) status = NX_E_READ;
  return status;
}

NXSTATUS riff_SetRIFFSize(NxFileHandle file, DWORD size) {
  if (file == nullptr) return E_INVALIDARG;
  ULONGLONG start = 0;
  if (!Tell(file, &start)) return NX_E_WRITE;
  NXSTATUS status = WriteRiffSizeAt4(file, size);
  if (!SeekTo(file, start) && status == NX_OK) status = NX_E_WRITE;
  return status;
}

NXSTATUS riff_DeleteChunk(NxFileHandle file, DWORD id, DWORD* removed, bool isList) {
  if (removed != nullptr) *removed = 0;
  if (file == nullptr) return E_INVALIDARG;
  if (!SeekTo(file, 0)) return NX_E_READ;
  DWORD body = 0;
  NXSTATUS status = riff_ReadFileID(file, &body, nullptr);
  DWORD size = 0;
  if (status == NX_OK) {
    status = isList ? riff_FindListChunk(file, id, &size, &body)
                    : riff_FindChunkHeader(file, id, &size, &body);
  }
  if (status != NX_OK) return status;
  ULONGLONG dataStart = 0;
  ULONGLONG fileSize = 0;
  if (!Tell(file, &dataStart) || !file->GetSize(&fileSize) || dataStart > fileSize) {
    return NX_E_READ;
  }
  const ULONGLONG headerBytes = isList ? 12 : 8;
  const ULONGLONG chunkStart = dataStart - headerBytes;
  ULONGLONG length = headerBytes + Padded(size);
  // A chunk that claims more than the file holds takes only what is there.
  if (length > fileSize - chunkStart) length = fileSize - chunkStart;
  status = MoveTailDown(file, chunkStart + length, chunkStart, fileSize);
  if (status != NX_OK) return status;

  DWORD riffSize = 0;
  status = ReadRiffSizeAt4(file, &riffSize);
  // Never below the form type, whatever the header claimed.
  const DWORD lowered = riffSize >= length + 4 ? static_cast<DWORD>(riffSize - length) : 4;
  if (status == NX_OK) status = WriteRiffSizeAt4(file, lowered);
  if (status == NX_OK && !file->Seek(0, NxSeekOrigin::End, nullptr)) status = NX_E_WRITE;
  if (status == NX_OK && removed != nullptr) *removed = static_cast<DWORD>(length);
  return status;
}

NXSTATUS riff_WriteANSIString(NxFileHandle file, LPCWSTR text, DWORD* size) {
  if (size != nullptr) *size = 0;
  if (file == nullptr) return E_INVALIDARG;
  const WCHAR empty[1] = {0};
  if (text == nullptr) text = empty;
  const size_t units = NxStrLenW(text);
  if (units >= 0x7FFFFFF0u) return NX_E_TOOBIG;
  // A multi-byte code page may need more bytes than units: ask for the size (terminator
  // included) first, then leave room for the pad.
  const int needed = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text,
                                         static_cast<int>(units + 1), nullptr, 0, nullptr, nullptr);
  if (needed <= 0) return NX_E_WRITE;
  std::vector<char> bytes;
  try {
    bytes.assign(static_cast<size_t>(needed) + 1, 0);
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
  const int written = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text,
                                          static_cast<int>(units + 1), bytes.data(), needed,
                                          nullptr, nullptr);
  if (written <= 0) return NX_E_WRITE;
  const DWORD count = static_cast<DWORD>(Padded(static_cast<DWORD>(written)));
  const NXSTATUS status = WriteAll(file, bytes.data(), count);
  if (status == NX_OK && size != nullptr) *size = count;
  return status;
}
