// The RIFF chunk walk (impulse/riff.h) on arbitrary bytes: the header, searches at the top level
// and inside lists, list counting, whole-chunk reads, ANSI texts, and the chunk deletion that
// edits a file in place.
#include <vector>

#include "fuzz/fuzz_util.h"
#include "impulse/riff.h"

namespace {

constexpr DWORD kData = NxFourCC('d', 'a', 't', 'a');
constexpr DWORD kFormat = NxFourCC('f', 'm', 't', ' ');
constexpr DWORD kDisplay = NxFourCC('D', 'I', 'S', 'P');

// Reads every subchunk of the list at the current position, `remaining` bytes long.
void WalkList(NxFileHandle file, DWORD remaining) {
  DWORD count = 0;
  DWORD left = remaining;
  if (riff_GetNumListEntries(file, &count, &left) != NX_OK) return;
  FUZZ_CHECK(left <= remaining);
  for (DWORD i = 0; i < count; ++i) {
    DWORD id = 0, size = 0;
    if (riff_ReadChunkHeader(file, &id, &size) != NX_OK) return;
    if (i % 2 == 0) {
      RiffData record = {size, nullptr};
      const NXSTATUS status = riff_ReadDataAlloc(file, &record);
      FUZZ_CHECK(status == NX_OK || record.data == nullptr);
      riff_FreeData(&record);
      if (status != NX_OK) return;
    } else {
      WCHAR text[64];
      DWORD moved = size;
      if (riff_ReadANSIString(file, text, 64, &moved) != NX_OK) return;
      FUZZ_CHECK(Terminated(text, 64));
    }
  }
}

void Walk(NxFileHandle file) {
  DWORD body = 0, form = 0;
  if (riff_ReadFileID(file, &body, &form) != NX_OK) return;
  DWORD remaining = body;
  DWORD size = 0;
  if (riff_FindChunkHeader(file, kFormat, &size, &remaining) == NX_OK) {
    FUZZ_CHECK(remaining <= body);
    std::vector<BYTE> bytes(size < 4096 ? size : 4096);
    riff_ReadData(file, bytes.data(), static_cast<DWORD>(bytes.size()));
  }
  riff_FindChunkHeaderInRIFF(file, kData, &size, &remaining);
  riff_FindChunkHeaderInRIFF(file, kDisplay, &size, nullptr);

  // Every INFO list at the top level, then any list header at all.
  riff_SeekDataStart(file);
  remaining = body;
  for (int lists = 0; lists < 8; ++lists) {
    DWORD listBytes = 0;
    const DWORD before = remaining;
    if (riff_FindListChunk(file, kInfoListType, &listBytes, &remaining) != NX_OK) break;
    FUZZ_CHECK(remaining < before);
    DWORD start = 0;
    if (riff_SaveLocation(file, &start) != NX_OK) break;
    WalkList(file, listBytes < remaining ? listBytes : remaining);
    if (riff_RestoreLocation(file, start) != NX_OK) break;
    DWORD skipped = 0;
    if (riff_SkipChunk(file, listBytes, &skipped) != NX_OK) break;
    remaining = skipped > remaining ? 0 : remaining - skipped;
  }
  riff_SeekDataStart(file);
  DWORD listType = 0, listSize = 0;
  if (riff_ReadListHeader(file, &listType, &listSize) == NX_OK) WalkList(file, listSize);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  NxMemoryFile* file = FuzzFile(data, size);
  Walk(file);
  NxCloseFile(file);

  // Deleting chunks rewrites the file; the result must never be longer than the input.
  NxMemoryFile* edited = FuzzFile(data, size, NxMemoryAccess::ReadWrite);
  DWORD removed = 0;
  riff_DeleteChunk(edited, kInfoListType, &removed, true);
  riff_DeleteChunk(edited, kDisplay, &removed, false);
  FUZZ_CHECK(edited->Bytes().size() <= size);
  Walk(edited);
  NxCloseFile(edited);
  return 0;
}
