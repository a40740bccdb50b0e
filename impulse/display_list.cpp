#include "impulse/display_list.h"

#include <cstdlib>
#include <cstring>
#include "platform/byte_order.h"

namespace {

NxDisplayItem* FindItem(NxDisplayList* list, DWORD format) {
  for (DWORD i = 0; i < list->count; ++i) {
    if (list->items[i].format == format) return &list->items[i];
  }
  return nullptr;
}

void EmptyItem(NxDisplayItem* item) {
  std::free(item->data);
  item->data = nullptr;
  item->size = 0;
}

NXSTATUS WriteAll(NxFileHandle file, const void* bytes, DWORD count) {
  DWORD done = 0;
  if (count == 0) return NX_OK;
  return file->Write(bytes, count, &done) && done == count ? NX_OK : NX_E_WRITE;
}

NXSTATUS WriteItem(NxFileHandle file, const NxDisplayItem& item, DWORD* total) {
  // The chunk holds the format word too, and the whole must stay a 32-bit size with its pad.
  if (item.size > 0xFFFFFFFFu - 8 - 4 - 1) return NX_E_TOOBIG;
  const DWORD chunkSize = item.size + 4;
  NXSTATUS status = riff_WriteChunkHeader(file, kDisplayChunkId, chunkSize);
  if (status != NX_OK) return status;
  BYTE format[4];
  NxPutLe32(format, item.format);
  status = WriteAll(file, format, 4);
  if (status == NX_OK) status = WriteAll(file, item.data, item.size);
  const BYTE pad = 0;
  if (status == NX_OK && (chunkSize & 1u) != 0) status = WriteAll(file, &pad, 1);
  *total = 8 + chunkSize + (chunkSize & 1u);
  return status;
}

}  // namespace

NXSTATUS displist_Create(NxDisplayList* list, const DWORD* formats, DWORD count) {
  if (list == nullptr || count > kDisplayListMaxItems || (count > 0 && formats == nullptr)) {
    return E_INVALIDARG;
  }
  displist_Free(list);
  for (DWORD i = 0; i < count; ++i) list->items[i] = NxDisplayItem{formats[i], 0, nullptr};
  list->count = count;
  return NX_OK;
}

NXSTATUS displist_Load(NxFileHandle file, NxDisplayList* list) {
  if (file == nullptr || list == nullptr) return E_INVALIDARG;
  for (DWORD i = 0; i < list->count; ++i) EmptyItem(&list->items[i]);
  if (!file->Seek(0, NxSeekOrigin::Begin, nullptr)) return NX_E_READ;
  DWORD remaining = 0;
  NXSTATUS status = riff_ReadFileID(file, &remaining, nullptr);
  if (status != NX_OK) return status;
  for (;;) {
    DWORD size = 0;
    if (riff_FindChunkHeader(file, kDisplayChunkId, &size, &remaining) != NX_OK) return NX_OK;
    const ULONGLONG padded = static_cast<ULONGLONG>(size) + (size & 1u);
    if (padded > remaining) return NX_OK;
    remaining -= static_cast<DWORD>(padded);
    BYTE formatBytes[4];
    DWORD done = 0;
    if (size < 4 || !file->Read(formatBytes, 4, &done) || done != 4) {
      if (size >= 4) return NX_E_READ;
      status = riff_SkipChunk(file, size, nullptr);
      if (status != NX_OK) return status;
      continue;
    }
    const DWORD format = NxGetLe32(formatBytes);
    NxDisplayItem* item = FindItem(list, format);
    // The pad follows the whole chunk; 4 is even, so the item size has the chunk's parity.
    RiffData data = {size - 4, nullptr};
    status = item != nullptr ? riff_ReadDataAlloc(file, &data)
                             : riff_SkipChunk(file, size - 4, nullptr);
    if (status != NX_OK) return status;
    if (item != nullptr) {
      EmptyItem(item);
      item->data = data.data;
      item->size = data.data != nullptr ? data.size : 0;
    }
  }
}

NXSTATUS displist_Save(NxFileHandle file, const NxDisplayList* list, DWORD* written) {
  if (written != nullptr) *written = 0;
  if (file == nullptr || list == nullptr) return E_INVALIDARG;
  ULONGLONG sum = 0;
  for (DWORD i = 0; i < list->count; ++i) {
    const NxDisplayItem& item = list->items[i];
    if (item.size == 0 || item.data == nullptr) continue;
    DWORD total = 0;
    const NXSTATUS status = WriteItem(file, item, &total);
    if (status != NX_OK) return status;
    sum += total;
    if (sum > 0xFFFFFFFFu) return NX_E_TOOBIG;
    if (written != nullptr) *written = static_cast<DWORD>(sum);
  }
  return NX_OK;
}

NXSTATUS displist_SetItem(NxDisplayList* list, DWORD format, const void* data, DWORD size) {
  if (list == nullptr || (size > 0 && data == nullptr)) return E_INVALIDARG;
  NxDisplayItem* item = FindItem(list, format);
  if (item == nullptr) return NX_E_NOTFOUND;
  BYTE* copy = nullptr;
  if (size > 0) {
    copy = static_cast<BYTE*>(std::malloc(size));
    if (copy == nullptr) return E_OUTOFMEMORY;
    std::memcpy(copy, data, size);
  }
  EmptyItem(item);
  item->data = copy;
  item->size = size;
  return NX_OK;
}

const NxDisplayItem* displist_GetItem(const NxDisplayList* list, DWORD format) {
  if (list == nullptr) return nullptr;
  return FindItem(const_cast<NxDisplayList*>(list), format);
}

void displist_Free(NxDisplayList* list) {
  if (list == nullptr) return;
  for (DWORD i = 0; i < list->count && i < kDisplayListMaxItems; ++i) EmptyItem(&list->items[i]);
  list->count = 0;
}
