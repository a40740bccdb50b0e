#include "impulse/riff.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "tests/impulse/riff_test_util.h"

namespace {

// Chunks at 12 "fmt " (3 bytes + pad), 24 "odd " (5 + pad), 38 LIST "adtl", 62 LIST "INFO"
// (items of 5 + pad and 4 bytes), 100 "data" (4 bytes); 112 bytes in all.
const std::string kInfo =
    Chunk("INAM", std::string("Hall\0", 5)) + Chunk("ICMT", std::string("Big\0", 4));
const std::string kFmt = Chunk("fmt ", "abc"), kOdd = Chunk("odd ", "12345"),
                  kAdtl = List("adtl", Chunk("labl", "xyz")), kData = Chunk("data", "DATA");
const Bytes kSample = Riff(kFmt + kOdd + kAdtl + List("INFO", kInfo) + kData);

TEST(Riff, ReadFileIdAcceptsOnlyRiffAndReportsTheBody) {
  const struct {
    Bytes bytes;
    NXSTATUS status;
    DWORD body, pos;
  } cases[] = {{kSample, NX_OK, 100, 12},
               {B("RIFX" + std::string(kSample.begin() + 4, kSample.end())), NX_E_NOTRIFF, 0, 8},
               {B("riff" + std::string(kSample.begin() + 4, kSample.end())), NX_E_NOTRIFF, 0, 8},
               {Bytes(kSample.begin(), kSample.begin() + 6), NX_E_READ, 0, 6},
               {B("RIFF" + Le32(2) + "WAVE"), NX_OK, 0, 12}};  // not 4 GB
  for (const auto& c : cases) {
    MemFile file(c.bytes);
    DWORD body = 99, form = 0;
    EXPECT_STATUS(c.status, riff_ReadFileID(file, &body, &form));
    EXPECT_TRUE(body == c.body && file.Pos() == c.pos) << body << " " << file.Pos();
    EXPECT_TRUE(c.status != NX_OK || form == Id("WAVE"));
  }
  MemFile noForm(Bytes(kSample.begin(), kSample.begin() + 10));
  EXPECT_STATUS(NX_E_READ, riff_ReadFileID(noForm, nullptr, nullptr));
}

TEST(Riff, SearchesStepOverPadBytesAndStayWithinTheirBound) {
  MemFile file(kSample);
  DWORD size = 0, remaining = 0, skipped = 0;
  BYTE data[8] = {};
  ASSERT_STATUS(NX_OK, riff_SeekDataStart(file));
  ASSERT_STATUS(NX_OK, riff_FindChunkHeader(file, Id("odd "), &size, nullptr));
  EXPECT_TRUE(size == 5 && file.Pos() == 32);
  ASSERT_STATUS(NX_OK, riff_ReadData(file, data, 5));
  EXPECT_EQ(std::string(reinterpret_cast<char*>(data)) + std::to_string(file.Pos()), "1234538");
  // Bounded by the RIFF body: lists are not entered, "data" is found behind both.
  ASSERT_STATUS(NX_OK, riff_FindChunkHeaderInRIFF(file, Id("data"), &size, &remaining));
  EXPECT_TRUE(size == 4 && remaining == 4 && file.Pos() == 108);
  EXPECT_STATUS(NX_E_NOTFOUND, riff_FindChunkHeaderInRIFF(file, Id("labl"), &size, &remaining));
  EXPECT_EQ(remaining, 0u);
  ASSERT_STATUS(NX_OK, riff_SkipChunk(file.Seek(20), 3, &skipped));
  EXPECT_TRUE(skipped == 4 && file.Pos() == 24);
  EXPECT_STATUS(NX_E_READ, riff_FindChunkHeader(file.Seek(12), Id("none"), &size, nullptr));
  // Seven bytes remaining: fails at once, without reading.
  remaining = 7;
  const ULONGLONG reads = file->ReadCalls();
  EXPECT_STATUS(NX_E_NOTFOUND, riff_FindChunkHeader(file.Seek(12), Id("fmt "), &size, &remaining));
  EXPECT_TRUE(file->ReadCalls() == reads && remaining == 7 && file.Pos() == 12);
  // 20 remaining: "fmt " (12) fits, "odd " (14) passes the 8 left and the search stops behind it.
  remaining = 20;
  EXPECT_STATUS(NX_E_NOTFOUND, riff_FindChunkHeader(file, Id("data"), &size, &remaining));
  EXPECT_TRUE(remaining == 0 && file.Pos() == 38);
  // A size of 0xFFFFFFFF pads past 32 bits: the skip fails instead of wrapping to 0.
  MemFile big(Riff("big " + Le32(0xFFFFFFFF) + kData));
  remaining = 0xFFFFFFFF;
  EXPECT_STATUS(NX_E_READ, riff_FindChunkHeader(big.Seek(12), Id("data"), &size, &remaining));
  EXPECT_STATUS(NX_E_READ, riff_FindChunkHeader(big.Seek(12), Id("data"), &size, nullptr));
}

TEST(Riff, ListsAreFoundByTypeCountedAndCheckedForSize) {
  MemFile file(kSample);
  DWORD remaining = 100, size = 0, id = 0, count = 0;
  ASSERT_STATUS(NX_OK, riff_FindListChunk(file.Seek(12), kInfoListType, &size, &remaining));
  EXPECT_TRUE(size == 26 && file.Pos() == 74 && remaining == 112 - 74);
  DWORD listRemaining = size;
  ASSERT_STATUS(NX_OK, riff_GetNumListEntries(file, &count, &listRemaining));
  EXPECT_TRUE(count == 2 && listRemaining == 0 && file.Pos() == 74);
  ASSERT_STATUS(NX_OK, riff_ReadChunkHeader(file, &id, nullptr));
  EXPECT_EQ(id, Id("INAM"));
  listRemaining = 100;
  ASSERT_STATUS(NX_OK, riff_GetNumListEntries(file.Seek(12), &count, &listRemaining));
  EXPECT_EQ(count, 5u);
  remaining = 100;
  EXPECT_STATUS(NX_E_NOTFOUND, riff_FindListChunk(file.Seek(12), Id("none"), &size, &remaining));
  EXPECT_EQ(remaining, 0u);
  remaining = 10;  // too few for the list type
  EXPECT_STATUS(NX_E_NOTFOUND, riff_FindListChunk(file.Seek(38), Id("adtl"), &size, &remaining));
  // A list that claims more than the file holds: the count fails, the position comes back.
  MemFile cut(Bytes(kSample.begin(), kSample.begin() + 84));
  listRemaining = 26;
  EXPECT_STATUS(NX_E_READ, riff_GetNumListEntries(cut.Seek(74), &count, &listRemaining));
  EXPECT_EQ(cut.Pos(), 74u);
  // A LIST too small for a list type is passed over as a chunk, and refused by ReadListHeader.
  MemFile small(Riff("LIST" + Le32(2) + "ab" + Chunk("LIST", "INFOxx")));
  ASSERT_STATUS(NX_OK, riff_FindListChunk(small.Seek(12), kInfoListType, &size, nullptr));
  EXPECT_TRUE(size == 2 && small.Pos() == 34);
  EXPECT_STATUS(NX_E_NEGATIVESIZE, riff_ReadListHeader(small.Seek(12), &id, &size));
  ASSERT_STATUS(NX_OK, riff_ReadListHeader(small.Seek(22), &id, &size));
  EXPECT_TRUE(id == kInfoListType && size == 2);
  EXPECT_STATUS(NX_E_NOTLIST, riff_ReadListHeader(small.Seek(0), &id, &size));
}

TEST(Riff, ReadDataAllocChecksTheSizeAgainstTheFile) {
  MemFile file(kSample);
  const std::pair<DWORD, DWORD> refused[] = {{20, 0xFFFFFFF0u}, {110, 3}};
  for (const auto& [at, size] : refused) {
    RiffData record = {size, nullptr};
    EXPECT_STATUS(NX_E_READ, riff_ReadDataAlloc(file.Seek(at), &record));
    EXPECT_EQ(record.data, nullptr);
  }
  RiffData record = {0, const_cast<BYTE*>(kSample.data())};  // size 0: no bytes and a null pointer
  EXPECT_STATUS(NX_OK, riff_ReadDataAlloc(file, &record));
  EXPECT_EQ(record.data, nullptr);
  // The last chunk of the file has an odd size and no pad: the data is there all the same.
  MemFile last(Riff("abc " + Le32(3) + "xyz"));
  record = {3, nullptr};
  ASSERT_STATUS(NX_OK, riff_ReadDataAlloc(last.Seek(20), &record));
  EXPECT_EQ(std::string(reinterpret_cast<char*>(record.data), 3), "xyz");
  riff_FreeData(&record);
  EXPECT_EQ(record.data, nullptr);
}

TEST(Riff, AnsiStringsRoundTripWithOddAndEvenLengthsAndSmallCapacities) {
  // "é" and "€" are single bytes of the code page (0xE9, 0x80).
  for (const WString& text :
       {WString(u""), WString(u"a"), WString(u"Caf\u00E9"), WString(u"5 \u20AC")}) {
    MemFile file(Bytes{});
    DWORD written = 0, id = 0;
    ASSERT_STATUS(NX_OK, riff_WriteANSIString(file, text.c_str(), &written));
    EXPECT_TRUE(written == ((text.size() + 2) & ~size_t{1}) && file->Bytes().size() == written);
    // Read back as a chunk of size length + 1 followed by another, whole and cut to 2 units.
    const std::string stored(file->Bytes().begin(), file->Bytes().end());
    MemFile chunk(
        B("TEXT" + Le32(static_cast<DWORD>(text.size() + 1)) + stored + "next" + Le32(0)));
    for (DWORD capacity : {64u, 3u}) {
      WCHAR out[64];
      DWORD size = static_cast<DWORD>(text.size() + 1);
      ASSERT_STATUS(NX_OK, riff_ReadANSIString(chunk.Seek(8), out, capacity, &size));
      EXPECT_EQ(WString(out), text.substr(0, capacity - 1));
      EXPECT_EQ(size, written);
      ASSERT_STATUS(NX_OK, riff_ReadChunkHeader(chunk, &id, nullptr));
      EXPECT_EQ(id, Id("next"));
    }
  }
  // An empty chunk gives an empty text; no room at all is an argument error; characters the
  // code page lacks become '?'.
  MemFile empty(B("next"));
  WCHAR out[4] = {'x', 'x', 0, 0};
  DWORD size = 0;
  EXPECT_STATUS(NX_OK, riff_ReadANSIString(empty, out, 4, &size));
  EXPECT_TRUE(out[0] == 0 && empty.Pos() == 0);
  size = 4;
  EXPECT_STATUS(E_INVALIDARG, riff_ReadANSIString(empty, out, 0, &size));
  MemFile lossy(Bytes{});
  EXPECT_STATUS(NX_OK, riff_WriteANSIString(lossy, u"\u0100", &size));
  EXPECT_EQ(lossy->Bytes(), (Bytes{'?', 0}));
}

TEST(Riff, WritersLayOutChunksAndReportWriteFailures) {
  MemFile file(Bytes{});
  DWORD totals[3] = {};
  ASSERT_STATUS(NX_OK, riff_WriteFileID(file, Id("IRXP"), 4));
  ASSERT_STATUS(NX_OK, riff_WriteChunk(file, Id("odd "), "abc", 3, &totals[0]));
  ASSERT_STATUS(NX_OK, riff_WriteChunk(file, Id("even"), "ab", 2, &totals[1]));
  ASSERT_STATUS(NX_OK, riff_WriteChunk(file, Id("none"), nullptr, 0, &totals[2]));
  ASSERT_STATUS(NX_OK, riff_WriteListHeader(file, kInfoListType, 4));
  EXPECT_TRUE(totals[0] == 12 && totals[1] == 10 && totals[2] == 8);
  const Bytes expected = B("RIFF" + Le32(4) + "IRXP" + Chunk("odd ", "abc") + Chunk("even", "ab") +
                           Chunk("none", "") + "LIST" + Le32(4) + "INFO");
  EXPECT_EQ(file->Bytes(), expected);
  ASSERT_STATUS(NX_OK, riff_SetRIFFSize(file, 0x12345678));
  EXPECT_TRUE(file.Pos() == expected.size() && At32(file->Bytes(), 4) == 0x12345678u);
  EXPECT_STATUS(NX_E_TOOBIG, riff_WriteChunk(file, Id("data"), "x", 0xFFFFFFF8u, &totals[0]));
  // A full disk: each writer reports a write failure.
  MemFile full(Bytes{}), readOnly(Bytes(16, 0), NxMemoryAccess::ReadOnly);
  full->SetSizeLimit(10);
  EXPECT_STATUS(NX_E_WRITE, riff_WriteFileID(full, Id("WAVE"), 4));
  full->SetSizeLimit(0);
  EXPECT_STATUS(NX_E_WRITE, riff_WriteChunk(full.Seek(0), Id("data"), "x", 1, &totals[0]));
  EXPECT_EQ(totals[0], 0u);
  EXPECT_STATUS(NX_E_WRITE, riff_WriteListHeader(full, kInfoListType, 4));
  EXPECT_STATUS(NX_E_WRITE, riff_WriteANSIString(full, u"abc", &totals[0]));
  EXPECT_STATUS(NX_E_WRITE, riff_WriteChunkHeader(readOnly, Id("data"), 0));
  EXPECT_STATUS(NX_E_WRITE, riff_SetRIFFSize(readOnly, 8));
}

TEST(Riff, UpdateRiffSizeGuardsItsGrowthAndRestoresThePosition) {
  MemFile file(kSample);
  ASSERT_STATUS(NX_OK, riff_UpdateRIFFSize(file.Seek(20), 10));
  EXPECT_TRUE(At32(file->Bytes(), 4) == 114 && file.Pos() == 20);
  ASSERT_STATUS(NX_OK, riff_UpdateRIFFSize(file, -10));
  // Something appended, then a size of 0xFFFFFFF8: the appended bytes are dropped.
  ASSERT_STATUS(NX_OK, riff_WriteChunk(file.Seek(112), Id("more"), "12345678", 8, nullptr));
  EXPECT_STATUS(NX_E_TOOBIG, riff_UpdateRIFFSize(file, 0xFFFFFFF8ll - 104));
  EXPECT_TRUE(file->Bytes() == kSample && file.Pos() == 128);
  ASSERT_STATUS(NX_OK, riff_UpdateRIFFSize(file, 0xFFFFFFF7ll - 104));
  EXPECT_EQ(At32(file->Bytes(), 4), 0xFFFFFFF7u);
  // A header already claiming more than the file holds: the guard never lengthens the file.
  EXPECT_STATUS(NX_E_TOOBIG, riff_UpdateRIFFSize(file, 1));
  EXPECT_EQ(file->Bytes().size(), 112u);
  ASSERT_STATUS(NX_OK, riff_SetRIFFSize(file, 4));
  EXPECT_STATUS(NX_E_NEGATIVESIZE, riff_UpdateRIFFSize(file, -5));
  EXPECT_EQ(At32(file->Bytes(), 4), 4u);
  MemFile six(Bytes(kSample.begin(), kSample.begin() + 6));
  EXPECT_STATUS(NX_E_READ, riff_UpdateRIFFSize(six.Seek(3), 1));
  EXPECT_EQ(six.Pos(), 3u);
}

TEST(Riff, DeleteChunkMovesTheRestDownAndLowersTheRiffSize) {
  const std::string info = List("INFO", kInfo), big(10001, 'd');
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
      // A list at the end of a file larger than one move block.
      {Riff(Chunk("data", big) + info), "INFO", true, NX_OK, 38, Riff(Chunk("data", big))},
      // A chunk claiming more than the file holds removes what is there.
      {Riff(kFmt + "junk" + Le32(1000) + "xy"), "junk", false, NX_OK, 10, Riff(kFmt)},
  };
  for (const auto& c : cases) {
    MemFile file(c.before);
    DWORD removed = 99;
    EXPECT_STATUS(c.status, riff_DeleteChunk(file, Id(c.id), &removed, c.isList)) << c.id;
    EXPECT_EQ(removed, c.removed) << c.id;
    EXPECT_EQ(file->Bytes(), c.after) << c.id;
  }
}

// Every read and search on damaged input gives a status and stays in bounds (ASan watches).
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
  }
  results.push_back(riff_ReadListHeader(file.Seek(38), nullptr, &size));
  for (NXSTATUS s : results) {
    EXPECT_TRUE(s == NX_OK || s == NX_E_READ || s == NX_E_NOTFOUND || s == NX_E_NOTRIFF ||
                s == NX_E_NOTLIST || s == NX_E_NEGATIVESIZE)
        << Hex(s);
  }
}

TEST(Riff, DamagedFilesGiveCodesAndNeverReadOutOfBounds) {
  for (size_t length = 0; length <= kSample.size(); ++length) {
    ExerciseReaders(Bytes(kSample.begin(), kSample.begin() + length));
  }
  std::mt19937 random(1234);  // random damage to sizes and identifiers, repeatable
  for (int round = 0; round < 300; ++round) {
    Bytes damaged = kSample;
    for (int k = 0; k < 3; ++k) damaged[random() % damaged.size()] = static_cast<BYTE>(random());
    ExerciseReaders(damaged);
  }
}

}  // namespace
