// INFO summaries (impulse/summary.h) and display lists (impulse/display_list.h) on arbitrary
// bytes: the display texts, single items, the whole list, and what is loaded written out again
// and read back unchanged; then the summary copy that impulse files get from their source.
#include <vector>

#include "fuzz/fuzz_util.h"
#include "impulse/display_list.h"
#include "impulse/irx_file.h"
#include "impulse/summary.h"
#include "platform/wide_string.h"

namespace {

constexpr DWORD kItems[] = {kInfoTitle, kInfoAuthor, kInfoCopyright, kInfoComments,
                            kInfoDisplayText};

// A summary written and read back gives the same texts.
void SummaryRoundTrip(const NxSummary& summary) {
  NxMemoryFile* out = FuzzFile(nullptr, 0, NxMemoryAccess::ReadWrite);
  DWORD written = 0;
  if (NxSummary_Save(out, &summary, &written) == NX_OK && written > 0) {
    FUZZ_CHECK(out->Bytes().size() == written);
    out->Seek(0, NxSeekOrigin::Begin, nullptr);
    DWORD listType = 0, listBytes = 0;
    FUZZ_CHECK(riff_ReadListHeader(out, &listType, &listBytes) == NX_OK);
    NxSummary again = {};
    FUZZ_CHECK(NxSummary_Load(out, &again, listBytes) == NX_OK);
    for (DWORD id : kItems) {
      const LPCWSTR before = NxSummary_GetItemText(&summary, id);
      const LPCWSTR after = NxSummary_GetItemText(&again, id);
      if (before != nullptr && before[0] != 0) {
        FUZZ_CHECK(after != nullptr && NxStrCmpW(before, after) == 0);
      }
    }
    NxSummary_Free(&again);
  }
  NxCloseFile(out);
}

void Summaries(NxFileHandle file) {
  WCHAR texts[5][kNxSummaryDisplayChars];
  NxSummary_ReadDisplayTexts(file, kItems, 5, texts);
  for (auto& text : texts) FUZZ_CHECK(NxStrLenW(text) < kNxSummaryDisplayChars);

  DWORD body = 0;
  if (riff_ReadFileID(file, &body, nullptr) != NX_OK) return;
  WCHAR comment[40];
  DWORD remaining = body;
  NxSummary_GetStringFromFile(file, kInfoComments, comment, 40, &remaining);
  FUZZ_CHECK(NxStrLenW(comment) < 40);
  DWORD listBytes = 0;
  if (riff_FindListChunk(file, kInfoListType, &listBytes, &remaining) != NX_OK) return;
  NxSummary summary = {};
  if (NxSummary_Load(file, &summary, listBytes) == NX_OK) {
    SummaryRoundTrip(summary);
  } else {
    FUZZ_CHECK(summary.count == 0 && summary.items == nullptr);
  }
  NxSummary_Free(&summary);
}

void DisplayList(NxFileHandle file) {
  NxDisplayList list = {};
  FUZZ_CHECK(displist_Create(&list, kImpulseDisplayFormats, 2) == NX_OK);
  if (displist_Load(file, &list) == NX_OK) {
    NxMemoryFile* out = FuzzFile(nullptr, 0, NxMemoryAccess::ReadWrite);
    DWORD written = 0;
    if (riff_WriteFileID(out, kImpulseFormType, 4) == NX_OK &&
        displist_Save(out, &list, &written) == NX_OK) {
      riff_UpdateRIFFSize(out, written);
      NxDisplayList again = {};
      displist_Create(&again, kImpulseDisplayFormats, 2);
      FUZZ_CHECK(displist_Load(out, &again) == NX_OK);
      for (DWORD format : kImpulseDisplayFormats) {
        const NxDisplayItem* a = displist_GetItem(&list, format);
        const NxDisplayItem* b = displist_GetItem(&again, format);
        FUZZ_CHECK(a != nullptr && b != nullptr && a->size == b->size);
        FUZZ_CHECK(a->size == 0 || std::memcmp(a->data, b->data, a->size) == 0);
      }
      displist_Free(&again);
    }
    NxCloseFile(out);
  }
  displist_Free(&list);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  NxMemoryFile* file = FuzzFile(data, size);
  Summaries(file);
  DisplayList(file);

  // The summary and display items of a source copied onto a fresh impulse file.
  NxMemoryFile* destination = FuzzFile(nullptr, 0, NxMemoryAccess::ReadWrite);
  if (riff_WriteFileID(destination, kImpulseFormType, 4) == NX_OK &&
      riff_SeekDataStart(file) == NX_OK) {
    const NXSTATUS copied = CopyFileSummary(destination, file);
    FUZZ_CHECK(destination->Bytes().size() <= 4 * size + 64);
    NxDisplayList display = {};
    displist_Create(&display, kImpulseDisplayFormats, 2);
    FUZZ_CHECK(displist_Load(destination, &display) == NX_OK || copied != NX_OK);
    displist_Free(&display);
  }
  NxCloseFile(destination);
  NxCloseFile(file);
  return 0;
}
