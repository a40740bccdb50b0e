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
    EXPECT_HR(c.status, riff_FindChunkHeader(file.Seek(12), Id(c.id), &size,
                                                 c.remaining == kNone ? nullptr : &remaining));
    EXPECT_TRUE(size == c.size && remaining == c.remainingAfter && file.Pos() == c.pos)
        << c.id << " " << size << " " << remaining << " " << file.Pos();
  }
  // A size of 0xFFFFFFFF pads past 32 bits: the skip fails instead of wrapping to 0.
  DWORD size = 0, remaining = 0xFFFFFFFF;
  MemFile big(Riff(B("big ") + Le({0xFFFFFFFF}) + kData));
  EXPECT_HR(NX_E_READ, riff_FindChunkHeader(big.Seek(12), Id("data"), &size, &remaining));
}

TEST(Riff, ListsAreFoundByTypeCountedAndCheckedForSize) {
  MemFile file(kSample);
  // The summary cases find and count lists; here the bounds.
  DWORD remaining = 10, size = 0, count = 0, listRemaining = 26;  // 10: too few for the list type
  EXPECT_HR(NX_E_NOTFOUND, riff_FindListChunk(file.Seek(38), Id("adtl"), &size, &remaining));
  // A list that claims more than the file holds: the count fails, the position comes back.
  MemFile cut(Bytes(kSample.begin(), kSample.begin() + 84));
  EXPECT_HR(NX_E_READ, riff_GetNumListEntries(cut.Seek(74), &count, &listRemaining));
  EXPECT_EQ(cut.Pos(), 74u);
  // A LIST too small for a list type is passed over as a chunk.
  MemFile small(Riff(B("LIST") + Le({2}) + B("ab") + Chunk("LIST", B("INFOxx"))));
  ASSERT_HR(NX_OK, riff_FindListChunk(small.Seek(12), kInfoListType, &size, nullptr));
  EXPECT_TRUE(size == 2 && small.Pos() == 34);
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
  // A chunk whose padded size passes 32 bits is refused before anything is written.
  EXPECT_HR(NX_E_TOOBIG, riff_WriteChunk(file, Id("data"), "x", 0xFFFFFFF8u, nullptr));
  EXPECT_EQ(file->Bytes().size(), 112u);
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

}  // namespace
