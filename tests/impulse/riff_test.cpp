#include "impulse/riff.h"

#include "impulse/summary.h"
#include "tests/impulse/impulse_test_util.h"

namespace {

// Chunks at 12 "fmt " (3 bytes + pad), 24 "odd " (5 + pad), 38 LIST "adtl", 62 LIST "INFO" (items
// of 5 + pad and 4 bytes), 100 "data" (4 bytes); 112 bytes in all.
const Bytes kInfo = Chunk("INAM", Z("Hall")) + Chunk("ICMT", Z("Big"));
const Bytes kFmt = Chunk("fmt ", B("abc")), kOdd = Chunk("odd ", B("12345")),
            kAdtl = List("adtl", Chunk("labl", B("xyz"))), kData = Chunk("data", B("DATA"));
const Bytes kSample = Riff(kFmt + kOdd + kAdtl + List("INFO", kInfo) + kData);

Bytes Prefix(const Bytes& bytes, size_t n) { return Bytes(bytes.begin(), bytes.begin() + n); }

TEST(Riff, ReadFileIdAcceptsOnlyRiffAndReportsTheBody) {
  const struct {
    Bytes bytes;
    NXSTATUS status;
    DWORD body, pos;
  } cases[] = {{kSample, NX_OK, 100, 12},
               {B("RIFX") + Bytes(kSample.begin() + 4, kSample.end()), NX_E_NOTRIFF, 0, 8},
               {Prefix(kSample, 6), NX_E_READ, 0, 6},
               {Prefix(kSample, 10), NX_E_READ, 100, 10},
               {B("RIFF") + Le({2}) + B("WAVE"), NX_OK, 0, 12}};  // not 4 GB
  for (const auto& c : cases) {
    MemFile file(c.bytes);
    DWORD body = 99, form = 0;
    EXPECT_HR(c.status, riff_ReadFileID(file, &body, &form));
    EXPECT_TRUE(body == c.body && file.Pos() == c.pos) << body << " " << file.Pos();
    EXPECT_TRUE(c.status != NX_OK || form == Id("WAVE"));
  }
}

TEST(Riff, SearchesStepOverPadBytesAndStayWithinTheirBound) {
  MemFile file(kSample);
  // Lists are not entered; each chunk passed costs 8 plus its padded size. Seven bytes remaining
  // fail at once; 20 let "fmt " (12) pass, and "odd " (14) uses up the rest.
  constexpr DWORD kNone = ~0u;
  const struct {
    const char* id;
    DWORD remaining;
    NXSTATUS status;
    DWORD size, remainingAfter, pos;
  } cases[] = {{"odd ", kNone, NX_OK, 5, kNone, 32},    {"data", 100, NX_OK, 4, 4, 108},
               {"labl", 100, NX_E_NOTFOUND, 4, 0, 112}, {"none", kNone, NX_E_READ, 4, kNone, 112},
               {"fmt ", 7, NX_E_NOTFOUND, 4, 7, 12},    {"data", 20, NX_E_NOTFOUND, 4, 0, 38}};
  for (const auto& c : cases) {
    DWORD size = 4, remaining = c.remaining;
    const ULONGLONG reads = file->ReadCalls();
    EXPECT_HR(c.status, riff_FindChunkHeader(file.Seek(12), Id(c.id), &size,
                                                 c.remaining == kNone ? nullptr : &remaining));
    EXPECT_TRUE(size == c.size && remaining == c.remainingAfter && file.Pos() == c.pos)
        << c.id << " " << size << " " << remaining << " " << file.Pos();
    EXPECT_TRUE(c.remaining >= 8 || reads == file->ReadCalls());
  }
  DWORD size = 0, remaining = 0, skipped = 0;
  ASSERT_HR(NX_OK, riff_FindChunkHeaderInRIFF(file, Id("data"), &size, &remaining));
  EXPECT_TRUE(size == 4 && remaining == 4 && file.Pos() == 108);
  BYTE data[8] = {};
  ASSERT_HR(NX_OK, riff_ReadData(file.Seek(32), data, 5));
  EXPECT_EQ(std::string(reinterpret_cast<char*>(data)) + std::to_string(file.Pos()), "1234538");
  ASSERT_HR(NX_OK, riff_SkipChunk(file.Seek(20), 3, &skipped));
  EXPECT_TRUE(skipped == 4 && file.Pos() == 24);
  // A size of 0xFFFFFFFF pads past 32 bits: the skip fails instead of wrapping to 0.
  MemFile big(Riff(B("big ") + Le({0xFFFFFFFF}) + kData));
  remaining = 0xFFFFFFFF;
  EXPECT_HR(NX_E_READ, riff_FindChunkHeader(big.Seek(12), Id("data"), &size, &remaining));
}

TEST(Riff, ListsAreFoundByTypeCountedAndCheckedForSize) {
  MemFile file(kSample);
  DWORD remaining = 100, size = 0, id = 0, count = 0;
  ASSERT_HR(NX_OK, riff_FindListChunk(file.Seek(12), kInfoListType, &size, &remaining));
  EXPECT_TRUE(size == 26 && file.Pos() == 74 && remaining == 112 - 74);
  DWORD listRemaining = size;
  ASSERT_HR(NX_OK, riff_GetNumListEntries(file, &count, &listRemaining));
  EXPECT_TRUE(count == 2 && listRemaining == 0 && file.Pos() == 74);
  listRemaining = 100;
  ASSERT_HR(NX_OK, riff_GetNumListEntries(file.Seek(12), &count, &listRemaining));
  EXPECT_EQ(count, 5u);
  remaining = 100;
  EXPECT_HR(NX_E_NOTFOUND, riff_FindListChunk(file.Seek(12), Id("none"), &size, &remaining));
  EXPECT_EQ(remaining, 0u);
  remaining = 10;  // too few for the list type
  EXPECT_HR(NX_E_NOTFOUND, riff_FindListChunk(file.Seek(38), Id("adtl"), &size, &remaining));
  // A list that claims more than the file holds: the count fails, the position comes back.
  MemFile cut(Prefix(kSample, 84));
  listRemaining = 26;
  EXPECT_HR(NX_E_READ, riff_GetNumListEntries(cut.Seek(74), &count, &listRemaining));
  EXPECT_EQ(cut.Pos(), 74u);
  // A LIST too small for a list type is passed over as a chunk, and refused by ReadListHeader.
  MemFile small(Riff(B("LIST") + Le({2}) + B("ab") + Chunk("LIST", B("INFOxx"))));
  ASSERT_HR(NX_OK, riff_FindListChunk(small.Seek(12), kInfoListType, &size, nullptr));
  EXPECT_TRUE(size == 2 && small.Pos() == 34);
  EXPECT_HR(NX_E_NEGATIVESIZE, riff_ReadListHeader(small.Seek(12), &id, &size));
  ASSERT_HR(NX_OK, riff_ReadListHeader(small.Seek(22), &id, &size));
  EXPECT_TRUE(id == kInfoListType && size == 2);
  EXPECT_HR(NX_E_NOTLIST, riff_ReadListHeader(small.Seek(0), &id, &size));
}

TEST(Riff, ReadDataAllocChecksTheSizeAgainstTheFile) {
  // Refused before allocating: sizes past the end; size 0 is no bytes and a null pointer; the last
  // chunk of a file may lack its pad byte.
  MemFile file(kSample), last(Riff(B("abc ") + Le({3}) + B("xyz")));
  const struct {
    const MemFile& file;
    DWORD at, size;
    NXSTATUS status;
    const char* data;
  } cases[] = {{file, 20, 0xFFFFFFF0u, NX_E_READ, nullptr},
               {file, 110, 3, NX_E_READ, nullptr},
               {file, 12, 0, NX_OK, nullptr},
               {last, 20, 3, NX_OK, "xyz"}};
  for (const auto& c : cases) {
    RiffData record = {c.size, const_cast<BYTE*>(kSample.data())};
    EXPECT_HR(c.status, riff_ReadDataAlloc(c.file.Seek(c.at), &record));
    EXPECT_EQ(c.data ? B(c.data) : Bytes(),
              record.data ? Bytes(record.data, record.data + 3) : Bytes());
    riff_FreeData(&record);
    EXPECT_EQ(record.data, nullptr);
  }
}

TEST(Riff, AnsiStringsRoundTripWithOddAndEvenLengthsAndSmallCapacities) {
  // "é" and "€" are single bytes of the code page (0xE9, 0x80).
  for (const WString& text :
       {WString(NXW("")), WString(NXW("a")), WString(NXW("Caf\u00E9")), WString(NXW("5 \u20AC"))}) {
    MemFile file(Bytes{});
    DWORD written = 0, id = 0;
    ASSERT_HR(NX_OK, riff_WriteANSIString(file, text.c_str(), &written));
    EXPECT_TRUE(written == ((text.size() + 2) & ~size_t{1}) && file->Bytes().size() == written);
    // Read back as a chunk of size length + 1 followed by another, whole and cut to 2 units.
    MemFile chunk(B("TEXT") + Le({static_cast<DWORD>(text.size() + 1)}) + file->Bytes() +
                  B("next") + Le({0}));
    for (DWORD capacity : {64u, 3u}) {
      WCHAR out[64];
      DWORD size = static_cast<DWORD>(text.size() + 1);
      ASSERT_HR(NX_OK, riff_ReadANSIString(chunk.Seek(8), out, capacity, &size));
      EXPECT_TRUE(WString(out) == text.substr(0, capacity - 1) && size == written);
      ASSERT_HR(NX_OK, riff_ReadChunkHeader(chunk, &id, nullptr));
      EXPECT_EQ(id, Id("next"));
    }
  }
  // An empty chunk gives an empty text; no room at all is an argument error; characters the code
  // page lacks become '?'.
  MemFile empty(B("next"));
  WCHAR out[4] = {'x', 'x', 0, 0};
  DWORD size = 0;
  EXPECT_HR(NX_OK, riff_ReadANSIString(empty, out, 4, &size));
  EXPECT_TRUE(out[0] == 0 && empty.Pos() == 0);
  size = 4;
  EXPECT_HR(E_INVALIDARG, riff_ReadANSIString(empty, out, 0, &size));
  MemFile lossy(Bytes{});
  EXPECT_HR(NX_OK, riff_WriteANSIString(lossy, NXW("\u0100"), &size));
  EXPECT_EQ(lossy->Bytes(), (Bytes{'?', 0}));
}

TEST(Riff, WritersLayOutChunksAndReportWriteFailures) {
  MemFile file(Bytes{});
  DWORD totals[3] = {};
  ASSERT_HR(NX_OK, riff_WriteFileID(file, Id("IRXP"), 4));
  ASSERT_HR(NX_OK, riff_WriteChunk(file, Id("odd "), "abc", 3, &totals[0]));
  ASSERT_HR(NX_OK, riff_WriteChunk(file, Id("even"), "ab", 2, &totals[1]));
  ASSERT_HR(NX_OK, riff_WriteChunk(file, Id("none"), nullptr, 0, &totals[2]));
  ASSERT_HR(NX_OK, riff_WriteListHeader(file, kInfoListType, 4));
  EXPECT_TRUE(totals[0] == 12 && totals[1] == 10 && totals[2] == 8);
  const Bytes expected = B("RIFF") + Le({4}) + B("IRXP") + Chunk("odd ", B("abc")) +
                         Chunk("even", B("ab")) + Chunk("none", {}) + B("LIST") + Le({4}) +
                         B("INFO");
  EXPECT_EQ(file->Bytes(), expected);
  ASSERT_HR(NX_OK, riff_SetRIFFSize(file, 0x12345678));
  EXPECT_TRUE(file.Pos() == expected.size() && GetLe(file->Bytes(), 4) == 0x12345678u);
  EXPECT_HR(NX_E_TOOBIG, riff_WriteChunk(file, Id("data"), "x", 0xFFFFFFF8u, &totals[0]));
  // A full disk: each writer reports a write failure.
  MemFile full(Bytes{}), readOnly(Bytes(16, 0), NxMemoryAccess::ReadOnly);
  full->SetSizeLimit(10);
  EXPECT_HR(NX_E_WRITE, riff_WriteFileID(full, Id("WAVE"), 4));
  full->SetSizeLimit(0);
  EXPECT_HR(NX_E_WRITE, riff_WriteChunk(full.Seek(0), Id("data"), "x", 1, &totals[0]));
  EXPECT_EQ(totals[0], 0u);
  EXPECT_HR(NX_E_WRITE, riff_WriteListHeader(full, kInfoListType, 4));
  EXPECT_HR(NX_E_WRITE, riff_WriteANSIString(full, NXW("abc"), &totals[0]));
  EXPECT_HR(NX_E_WRITE, riff_SetRIFFSize(readOnly, 8));
}

TEST(Riff, UpdateRiffSizeGuardsItsGrowthAndRestoresThePosition) {
  MemFile file(kSample);
  ASSERT_HR(NX_OK, riff_UpdateRIFFSize(file.Seek(20), 10));
  EXPECT_TRUE(GetLe(file->Bytes(), 4) == 114 && file.Pos() == 20);
  ASSERT_HR(NX_OK, riff_UpdateRIFFSize(file, -10));
  // Something appended, then a size of 0xFFFFFFF8: the appended bytes are dropped.
  ASSERT_HR(NX_OK, riff_WriteChunk(file.Seek(112), Id("more"), "12345678", 8, nullptr));
  EXPECT_HR(NX_E_TOOBIG, riff_UpdateRIFFSize(file, 0xFFFFFFF8ll - 104));
  EXPECT_TRUE(file->Bytes() == kSample && file.Pos() == 128);
  ASSERT_HR(NX_OK, riff_UpdateRIFFSize(file, 0xFFFFFFF7ll - 104));
  EXPECT_EQ(GetLe(file->Bytes(), 4), 0xFFFFFFF7u);
  // A header already claiming more than the file holds: the guard never lengthens the file.
  EXPECT_HR(NX_E_TOOBIG, riff_UpdateRIFFSize(file, 1));
  EXPECT_EQ(file->Bytes().size(), 112u);
  ASSERT_HR(NX_OK, riff_SetRIFFSize(file, 4));
  EXPECT_HR(NX_E_NEGATIVESIZE, riff_UpdateRIFFSize(file, -5));
  EXPECT_EQ(GetLe(file->Bytes(), 4), 4u);
  MemFile six(Prefix(kSample, 6));
  EXPECT_HR(NX_E_READ, riff_UpdateRIFFSize(six.Seek(3), 1));
  EXPECT_EQ(six.Pos(), 3u);
}

TEST(Riff, DeleteChunkMovesTheRestDownAndLowersTheRiffSize) {
  const Bytes info = List("INFO", kInfo), big = Chunk("data", Bytes(10001, 'd'));
  const struct {
    Bytes before;
    const char* id;
    bool isList;
    NXSTATUS status;
    DWORD removed;
    Bytes after;
  } cases[] = {
      {kSample, "odd ", false, NX_OK, 14, Riff(kFmt + kAdtl + info + kData)},
      {kSample, "data", false, NX_OK, 12, Riff(kFmt + kOdd + kAdtl + info)},
      {kSample, "adtl", true, NX_OK, 24, Riff(kFmt + kOdd + info + kData)},
      {kSample, "none", false, NX_E_NOTFOUND, 0, kSample},
      {Riff(big + info), "INFO", true, NX_OK, 38, Riff(big)},  // behind more than a move block
      {Riff(kFmt + List("INFO", {})), "INFO", true, NX_OK, 12, Riff(kFmt)},  // empty, last
      // A chunk claiming more than the file holds removes what is there.
      {Riff(kFmt + B("junk") + Le({1000}) + B("xy")), "junk", false, NX_OK, 10, Riff(kFmt)},
  };
  for (const auto& c : cases) {
    MemFile file(c.before);
    DWORD removed = 99;
    EXPECT_HR(c.status, riff_DeleteChunk(file, Id(c.id), &removed, c.isList)) << c.id;
    EXPECT_TRUE(removed == c.removed && file->Bytes() == c.after) << c.id;
  }
}

// Every read and search on damaged input, and the summary reads built on them, give a status
// and stay in bounds (ASan watches).
void ExerciseReaders(const Bytes& bytes) {
  MemFile file(bytes, NxMemoryAccess::ReadOnly);
  DWORD size = 0, remaining = 0, count = 0;
  std::vector<NXSTATUS> results;
  for (const char* id : {"fmt ", "odd ", "data", "LIST", "none"}) {
    results.push_back(riff_FindChunkHeaderInRIFF(file, Id(id), &size, &remaining));
    RiffData record = {size, nullptr};
    if (results.back() == NX_OK) results.push_back(riff_ReadDataAlloc(file, &record));
    riff_FreeData(&record);
  }
  for (DWORD type : {kInfoListType, Id("adtl")}) {
    remaining = bytes.size() > 12 ? static_cast<DWORD>(bytes.size() - 12) : 0;
    results.push_back(riff_FindListChunk(file.Seek(12), type, &size, &remaining));
    if (results.back() != NX_OK) continue;
    const DWORD at = file.Pos();
    DWORD listRemaining = size, itemSize = 0;
    results.push_back(riff_GetNumListEntries(file, &count, &listRemaining));
    EXPECT_EQ(file.Pos(), at);
    listRemaining = size;
    results.push_back(riff_FindChunkHeader(file, Id("ICMT"), &itemSize, &listRemaining));
    WCHAR text[8];
    if (results.back() == NX_OK) results.push_back(riff_ReadANSIString(file, text, 8, &itemSize));
    NxSummary summary = {};
    NxSummary_Load(file.Seek(at), &summary, size);
    for (DWORD i = 0; i < summary.count; ++i) EXPECT_NE(summary.items[i].text, nullptr);
    NxSummary_Free(&summary);
  }
  WCHAR texts[4][kNxSummaryDisplayChars];
  NxSummary_ReadDisplayTexts(file, kDialogSummaryItems, 4, texts);
  results.push_back(riff_ReadListHeader(file.Seek(38), nullptr, &size));
  for (NXSTATUS s : results) {
    EXPECT_TRUE(s == NX_OK || s == NX_E_READ || s == NX_E_NOTFOUND || s == NX_E_NOTRIFF ||
                s == NX_E_NOTLIST || s == NX_E_NEGATIVESIZE)
        << Hr(s);
  }
}

TEST(Riff, DamagedFilesGiveCodesAndNeverReadOutOfBounds) {
  for (size_t length = 0; length <= kSample.size(); ++length)
    ExerciseReaders(Prefix(kSample, length));
  std::mt19937 random(1234);  // random damage to sizes and identifiers, repeatable
  for (int round = 0; round < 300; ++round) {
    Bytes damaged = kSample;
    for (int k = 0; k < 3; ++k) damaged[random() % damaged.size()] = static_cast<BYTE>(random());
    ExerciseReaders(damaged);
  }
}

}  // namespace
