#include "impulse/summary.h"

#include <cstdlib>

#include "platform/codepage.h"
#include "platform/wide_string.h"

namespace {

// Converts up to `count` ANSI bytes, stopping at a zero byte, into `text` of `capacity` units
// (capacity >= 1); the text is cut to capacity - 1 units and terminated.
void AnsiToWide(const char* bytes, size_t count, WCHAR* text, size_t capacity) {
  size_t length = 0;
  while (length < count && bytes[length] != 0) ++length;
  if (length > capacity - 1) length = capacity - 1;
  // At most one unit per byte (fewer in a multi-byte code page).
  int units = 0;
  if (length > 0) {
    units = MultiByteToWideChar(CP_ACP, 0, bytes, static_cast<int>(length), text,
                                static_cast<int>(length));
  }
  text[units > 0 ? units : 0] = 0;
}

NXSTATUS FindItemText(NxFileHandle file, DWORD id, WCHAR* text, DWORD capacity,
                      DWORD* remaining) {
  DWORD listSize = 0;
  NXSTATUS status = riff_FindListChunk(file, kInfoListType, &listSize, remaining);
  DWORD itemSize = 0;
  if (status == NX_OK) status = riff_FindChunkHeader(file, id, &itemSize, &listSize);
  // Checked against the file before anything is allocated.
  RiffData data = {itemSize, nullptr};
  if (status == NX_OK) status = riff_ReadDataAlloc(file, &data);
  if (status != NX_OK) return status;
  AnsiToWide(reinterpret_cast<const char*>(data.data), itemSize, text, capacity);
  riff_FreeData(&data);
  return NX_OK;
}

NXSTATUS LoadItem(NxFileHandle file, NxSummaryItem* item) {
  RiffData data = {0, nullptr};
  NXSTATUS status = riff_ReadChunkHeader(file, &item->id, &data.size);
  if (status == NX_OK) status = riff_ReadDataAlloc(file, &data);
  if (status != NX_OK) return status;
  const size_t capacity = static_cast<size_t>(data.size) + 1;
  item->text = static_cast<WCHAR*>(std::calloc(capacity, sizeof(WCHAR)));
  if (item->text != nullptr) {
    AnsiToWide(reinterpret_cast<const char*>(data.data), data.size, item->text, capacity);
  }
  riff_FreeData(&data);
  return item->text != nullptr ? NX_OK : E_OUTOFMEMORY;
}

// Writes one item as a subchunk; `total` gets its length with header and pad.
NXSTATUS SaveItem(NxFileHandle file, const NxSummaryItem& item, DWORD* total) {
  const size_t units = NxStrLenW(item.text);
  if (units >= 0x7FFFFFF0u) return NX_E_TOOBIG;
  // A multi-byte code page may need more bytes than units: ask for the size first.
  int needed = 0;
  if (units > 0) {
    needed = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, item.text, static_cast<int>(units),
                                 nullptr, 0, nullptr, nullptr);
    if (needed < 0) needed = 0;
  }
  char* bytes = static_cast<char*>(std::calloc(static_cast<size_t>(needed) + 1, 1));
  if (bytes == nullptr) return E_OUTOFMEMORY;
  if (needed > 0) {
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, item.text, static_cast<int>(units), bytes,
                        needed, nullptr, nullptr);
  }
  const NXSTATUS status =
      riff_WriteChunk(file, item.id, bytes, static_cast<DWORD>(needed + 1), total);
  std::free(bytes);
  return status;
}

}  // namespace

NXSTATUS NxSummary_GetStringFromFile(NxFileHandle file, DWORD id, WCHAR* text, DWORD capacity,
                                     DWORD* remaining) {
  if (file == nullptr || text == nullptr || capacity == 0) return E_INVALIDARG;
  text[0] = 0;
  DWORD start = 0;
  NXSTATUS status = riff_SaveLocation(file, &start);
  if (status != NX_OK) return status;
  status = FindItemText(file, id, text, capacity, remaining);
  const NXSTATUS restored = riff_RestoreLocation(file, start);
  return status != NX_OK ? status : restored;
}

NXSTATUS NxSummary_Load(NxFileHandle file, NxSummary* summary, DWORD remaining) {
  if (summary == nullptr) return E_INVALIDARG;
  summary->count = 0;
  summary->items = nullptr;
  if (file == nullptr || remaining == 0) return E_INVALIDARG;
  DWORD count = 0;
  DWORD left = remaining;
  NXSTATUS status = riff_GetNumListEntries(file, &count, &left);
  if (status != NX_OK || count == 0) return status;
  // Each counted item had a header of 8 bytes in the file, which bounds the array.
  summary->items = static_cast<NxSummaryItem*>(std::calloc(count, sizeof(NxSummaryItem)));
  if (summary->items == nullptr) return E_OUTOFMEMORY;
  summary->count = count;
  for (DWORD i = 0; i < count && status == NX_OK; ++i) {
    status = LoadItem(file, &summary->items[i]);
  }
  if (status != NX_OK) NxSummary_Free(summary);
  return status;
}

NXSTATUS NxSummary_Save(NxFileHandle file, const NxSummary* summary, DWORD* written) {
  if (written != nullptr) *written = 0;
  if (file == nullptr || summary == nullptr) return E_INVALIDARG;
  if (summary->count == 0) return NX_OK;
  DWORD start = 0;
  NXSTATUS status = riff_SaveLocation(file, &start);
  if (status == NX_OK) status = riff_WriteListHeader(file, kInfoListType, 0);
  ULONGLONG listSize = 4;
  for (DWORD i = 0; i < summary->count && status == NX_OK; ++i) {
    if (summary->items[i].text == nullptr) continue;
    DWORD total = 0;
    status = SaveItem(file, summary->items[i], &total);
    listSize += total;
    if (listSize + 8 + start > 0xFFFFFFFFull) status = NX_E_TOOBIG;
  }
  DWORD end = 0;
  if (status == NX_OK) status = riff_SaveLocation(file, &end);
  if (status == NX_OK) status = riff_RestoreLocation(file, start + 4);
  BYTE size[4];
  for (int k = 0; k < 4; ++k) size[k] = static_cast<BYTE>(listSize >> (8 * k));
  DWORD done = 0;
  if (status == NX_OK && (!file->Write(size, 4, &done) || done != 4)) status = NX_E_WRITE;
  if (status == NX_OK) status = riff_RestoreLocation(file, end);
  if (status == NX_OK && written != nullptr) *written = static_cast<DWORD>(listSize + 8);
  return status;
}

LPCWSTR NxSummary_GetItemText(const NxSummary* summary, DWORD id) {
  if (summary == nullptr) return nullptr;
  for (DWORD i = 0; i < summary->count; ++i) {
    if (summary->items[i].id == id) return summary->items[i].text;
  }
  return nullptr;
}

void NxSummary_Free(NxSummary* summary) {
  if (summary == nullptr) return;
  for (DWORD i = 0; i < summary->count; ++i) std::free(summary->items[i].text);
  std::free(summary->items);
  summary->count = 0;
  summary->items = nullptr;
}

void NxSummary_ReadDisplayTexts(NxFileHandle file, const DWORD* ids, size_t count,
                                WCHAR (*texts)[kNxSummaryDisplayChars]) {
  for (size_t i = 0; i < count; ++i) texts[i][0] = 0;
  if (file == nullptr) return;
  DWORD body = 0;
  if (riff_RestoreLocation(file, 0) != NX_OK || riff_ReadFileID(file, &body, nullptr) != NX_OK) {
    body = 0;
  }
  for (size_t i = 0; i < count; ++i) {
    DWORD remaining = body;
    NxSummary_GetStringFromFile(file, ids[i], texts[i], kNxSummaryDisplayChars, &remaining);
  }
}

bool NxSummary_ReadDisplayTextsFromPath(LPCWSTR path, const DWORD* ids, size_t count,
                                        WCHAR (*texts)[kNxSummaryDisplayChars]) {
  for (size_t i = 0; i < count; ++i) texts[i][0] = 0;
  NxFileHandle file = NxOpenFile(path, NxFileAccess::Read, NxFileCreate::OpenExisting);
  if (file == nullptr) return false;
  NxSummary_ReadDisplayTexts(file, ids, count, texts);
  NxCloseFile(file);
  return true;
}
