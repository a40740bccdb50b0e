#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "impulse/riff.h"
#include "tests/impulse/riff_test_util.h"

namespace {

typedef std::basic_string<WCHAR> WString;
typedef std::vector<BYTE> Bytes;

DWORD Id(const char* four) { return NxFourCC(four[0], four[1], four[2], four[3]); }

// Builds RIFF bytes explicitly, little-endian, with pad bytes where a size is odd.
class Builder {
 public:
  Builder& Raw(const std::string& text) {
    bytes_.insert(bytes_.end(), text.begin(), text.end());
    return *this;
  }
  Builder& U32(DWORD value) {
    for (int i = 0; i < 4; ++i) bytes_.push_back(static_cast<BYTE>(value >> (8 * i)));
    return *this;
  }
  Builder& Chunk(const std::string& id, const std::string& data) {
    Raw(id).U32(static_cast<DWORD>(data.size())).Raw(data);
    if (data.size() % 2 != 0) bytes_.push_back(0);
    return *this;
  }
  Builder& List(const std::string& type, const Builder& body) {
    Raw("LIST").U32(static_cast<DWORD>(body.bytes_.size() + 4)).Raw(type);
    bytes_.insert(bytes_.end(), body.bytes_.begin(), body.bytes_.end());
    return *this;
  }
  // The whole file: "RIFF", the size, the form type, then what was built.
  Bytes Riff(const std::string& form = "WAVE") const {
    Builder file;
    file.Raw("RIFF").U32(static_cast<DWORD>(bytes_.size() + 4)).Raw(form);
    file.bytes_.insert(file.bytes_.end(), bytes_.begin(), bytes_.end());
    return file.bytes_;
  }
  const Bytes& bytes() const { return bytes_; }

 private:
  Bytes bytes_;
};

DWORD ReadLe32At(const Bytes& bytes, size_t at) {
  return bytes[at] | (bytes[at + 1] << 8) | (bytes[at + 2] << 16) |
         (static_cast<DWORD>(bytes[at + 3]) << 24);
}

// "fmt " (odd, 3 bytes), "odd " (5 bytes), LIST "adtl" holding "labl", LIST "INFO" holding two
// items of odd and even size, "data" (4 bytes).
Bytes SampleFile() {
  Builder adtl;
  adtl.Chunk("labl", "xyz");
  Builder info;
  info.Chunk("INAM", std::string("Hall\0", 5)).Chunk("ICMT", std::string("Big\0", 4));
  Builder body;
  body.Chunk("fmt ", "abc").Chunk("odd ", "12345").List("adtl", adtl).List("INFO", info)
      .Chunk("data", "DATA");
  return body.Riff();
}

TEST(Riff, ReadFileIdAcceptsOnlyRiffAndReportsTheBody) {
  const Bytes sample = SampleFile();
  MemFile file(sample);
  DWORD body = 99;
  DWORD form = 0;
  ASSERT_STATUS(NX_OK, riff_ReadFileID(file, &body, &form));
  EXPECT_EQ(body, sample.size() - 12);
  EXPECT_EQ(form, Id("WAVE"));
  EXPECT_EQ(file.Pos(), 12u);
  file.Seek(0);
  EXPECT_STATUS(NX_OK, riff_ReadFileID(file, nullptr, nullptr));

  for (const char* other : {"RIFX", "LIST", "riff", "RF64"}) {
    Bytes bytes = sample;
    std::copy(other, other + 4, bytes.begin());
    MemFile wrong(bytes);
    body = 99;
    EXPECT_STATUS(NX_E_NOTRIFF, riff_ReadFileID(wrong, &body, &form)) << other;
    EXPECT_EQ(body, 0u);
    EXPECT_EQ(wrong.Pos(), 8u);  // both header words were read
  }

  MemFile six(Bytes(sample.begin(), sample.begin() + 6));
  body = 99;
  EXPECT_STATUS(NX_E_READ, riff_ReadFileID(six, &body, &form));
  EXPECT_EQ(body, 0u);
  MemFile noForm(Bytes(sample.begin(), sample.begin() + 10));
  EXPECT_STATUS(NX_E_READ, riff_ReadFileID(noForm, &body, &form));

  // A RIFF size too small for its own form type gives an empty body, not 4 GB.
  Bytes tiny = Builder().Raw("RIFF").U32(2).Raw("WAVE").bytes();
  MemFile small(tiny);
  EXPECT_STATUS(NX_OK, riff_ReadFileID(small, &body, &form));
  EXPECT_EQ(body, 0u);
}

TEST(Riff, SearchesStepOverPadBytesAndKeepTheRemainingCount) {
  const Bytes sample = SampleFile();
  MemFile file(sample);
  DWORD size = 0;
  DWORD remaining = 0;
  // Unbounded from the first chunk: "odd " stands behind a 3-byte chunk and its pad.
  ASSERT_STATUS(NX_OK, riff_SeekDataStart(file));
  ASSERT_STATUS(NX_OK, riff_FindChunkHeader(file, Id("odd "), &size, nullptr));
  EXPECT_EQ(size, 5u);
  EXPECT_EQ(file.Pos(), 12u + 12 + 8);
  BYTE data[8] = {};
  ASSERT_STATUS(NX_OK, riff_ReadData(file, data, 5));
  EXPECT_EQ(std::string(reinterpret_cast<char*>(data), 5), "12345");
  EXPECT_EQ(file.Pos(), 12u + 12 + 8 + 6);  // behind the pad

  // Bounded by the RIFF body: the list is not entered, "data" is found behind both lists.
  ASSERT_STATUS(NX_OK, riff_FindChunkHeaderInRIFF(file, Id("data"), &size, &remaining));
  EXPECT_EQ(size, 4u);
  EXPECT_EQ(remaining, 4u);
  EXPECT_EQ(file.Pos(), sample.size() - 4);
  EXPECT_STATUS(NX_E_NOTFOUND, riff_FindChunkHeaderInRIFF(file, Id("labl"), &size, &remaining));
  EXPECT_EQ(remaining, 0u);

  // Skip and read of odd sizes land behind the pad.
  file.Seek(12);
  DWORD id = 0;
  ASSERT_STATUS(NX_OK, riff_ReadChunkHeader(file, &id, &size));
  DWORD skipped = 0;
  ASSERT_STATUS(NX_OK, riff_SkipChunk(file, size, &skipped));
  EXPECT_EQ(skipped, 4u);
  ASSERT_STATUS(NX_OK, riff_ReadChunkHeader(file, &id, &size));
  EXPECT_EQ(id, Id("odd "));

  // Unbounded search for a missing identifier ends when the reads run out.
  file.Seek(12);
  EXPECT_STATUS(NX_E_READ, riff_FindChunkHeader(file, Id("none"), &size, nullptr));
}

TEST(Riff, BoundedSearchesFailWithNotFound) {
  const Bytes sample = SampleFile();
  MemFile file(sample);
  DWORD size = 0;
  // Seven bytes remaining: fails at once, without reading.
  file.Seek(12);
  DWORD remaining = 7;
  const ULONGLONG readsBefore = file->ReadCalls();
  EXPECT_STATUS(NX_E_NOTFOUND, riff_FindChunkHeader(file, Id("fmt "), &size, &remaining));
  EXPECT_EQ(file->ReadCalls(), readsBefore);
  EXPECT_EQ(remaining, 7u);
  EXPECT_EQ(file.Pos(), 12u);

  // 20 remaining: "fmt " (12 with pad) fits, then "odd " (14) is larger than the 8 left; the
  // search passes it with 0 remaining and stops there.
  remaining = 20;
  EXPECT_STATUS(NX_E_NOTFOUND, riff_FindChunkHeader(file, Id("data"), &size, &remaining));
  EXPECT_EQ(remaining, 0u);
  EXPECT_EQ(file.Pos(), 12u + 12 + 14);

  // A size of 0xFFFFFFFF pads past 32 bits: the skip fails instead of wrapping to 0.
  const Bytes huge = Builder().Raw("big ").U32(0xFFFFFFFF).Chunk("data", "x").Riff();
  MemFile big(huge);
  remaining = 0xFFFFFFFF;
  big.Seek(12);
  EXPECT_STATUS(NX_E_READ, riff_FindChunkHeader(big, Id("data"), &size, &remaining));
  big.Seek(12);
  EXPECT_STATUS(NX_E_READ, riff_FindChunkHeader(big, Id("data"), &size, nullptr));
}

TEST(Riff, FindListChunkPassesListsOfOtherTypes) {
  const Bytes sample = SampleFile();
  MemFile file(sample);
  file.Seek(12);
  DWORD remaining = static_cast<DWORD>(sample.size() - 12);
  DWORD size = 0;
  ASSERT_STATUS(NX_OK, riff_FindListChunk(file, kInfoListType, &size, &remaining));
  EXPECT_EQ(size, 13u + 1 + 12);  // "INAM" 8 + 5 + pad, "ICMT" 8 + 4
  const DWORD infoData = 12 + 12 + 14 + 24 + 12;
  EXPECT_EQ(file.Pos(), infoData);
  EXPECT_EQ(remaining, sample.size() - infoData);
  DWORD id = 0;
  ASSERT_STATUS(NX_OK, riff_ReadChunkHeader(file, &id, nullptr));
  EXPECT_EQ(id, Id("INAM"));

  // Not there: the bounded search runs out; fewer than 4 bytes for the type also fails.
  file.Seek(12);
  remaining = static_cast<DWORD>(sample.size() - 12);
  EXPECT_STATUS(NX_E_NOTFOUND, riff_FindListChunk(file, Id("none"), &size, &remaining));
  EXPECT_EQ(remaining, 0u);
  file.Seek(12 + 12 + 14);
  remaining = 10;
  EXPECT_STATUS(NX_E_NOTFOUND, riff_FindListChunk(file, Id("adtl"), &size, &remaining));

  // A LIST too small for a list type is passed over as a chunk, not read into the next one.
  const Bytes tiny = Builder().Raw("LIST").U32(2).Raw("ab").Chunk("LIST", "INFOxx").Riff();
  MemFile small(tiny);
  small.Seek(12);
  ASSERT_STATUS(NX_OK, riff_FindListChunk(small, kInfoListType, &size, nullptr));
  EXPECT_EQ(size, 2u);
  EXPECT_EQ(small.Pos(), 12u + 10 + 12);

  // riff_ReadListHeader insists on a LIST big enough for its type.
  small.Seek(12);
  EXPECT_STATUS(NX_E_NEGATIVESIZE, riff_ReadListHeader(small, &id, &size));
  small.Seek(12 + 10);
  ASSERT_STATUS(NX_OK, riff_ReadListHeader(small, &id, &size));
  EXPECT_EQ(id, kInfoListType);
  EXPECT_EQ(size, 2u);
  small.Seek(0);
  EXPECT_STATUS(NX_E_NOTLIST, riff_ReadListHeader(small, &id, &size));
}

TEST(Riff, GetNumListEntriesRestoresThePosition) {
  const Bytes sample = SampleFile();
  MemFile file(sample);
  file.Seek(12);
  DWORD remaining = static_cast<DWORD>(sample.size() - 12);
  DWORD size = 0;
  ASSERT_STATUS(NX_OK, riff_FindListChunk(file, kInfoListType, &size, &remaining));
  const DWORD start = file.Pos();
  DWORD count = 0;
  DWORD listRemaining = size;
  ASSERT_STATUS(NX_OK, riff_GetNumListEntries(file, &count, &listRemaining));
  EXPECT_EQ(count, 2u);
  EXPECT_EQ(listRemaining, 0u);
  EXPECT_EQ(file.Pos(), start);

  // The top level of the body: five chunks and lists.
  file.Seek(12);
  listRemaining = static_cast<DWORD>(sample.size() - 12);
  ASSERT_STATUS(NX_OK, riff_GetNumListEntries(file, &count, &listRemaining));
  EXPECT_EQ(count, 5u);

  // A list that claims more than the file holds: the read fails, the position comes back.
  MemFile cut(Bytes(sample.begin(), sample.begin() + start + 10));
  cut.Seek(start);
  listRemaining = size;
  EXPECT_STATUS(NX_E_READ, riff_GetNumListEntries(cut, &count, &listRemaining));
  EXPECT_EQ(cut.Pos(), start);
}

TEST(Riff, ReadDataAllocChecksTheSizeAgainstTheFile) {
  const Bytes sample = SampleFile();
  MemFile file(sample);
  file.Seek(12 + 8);
  RiffData record = {3, nullptr};
  ASSERT_STATUS(NX_OK, riff_ReadDataAlloc(file, &record));
  ASSERT_NE(record.data, nullptr);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(record.data), 3), "abc");
  EXPECT_EQ(file.Pos(), 24u);
  riff_FreeData(&record);
  EXPECT_EQ(record.data, nullptr);

  record = {0, reinterpret_cast<BYTE*>(&record)};
  EXPECT_STATUS(NX_OK, riff_ReadDataAlloc(file, &record));
  EXPECT_EQ(record.data, nullptr);

  // Gigabytes claimed by a small file: refused before anything is allocated.
  record = {0xFFFFFFF0u, nullptr};
  EXPECT_STATUS(NX_E_READ, riff_ReadDataAlloc(file, &record));
  EXPECT_EQ(record.data, nullptr);
  file.Seek(static_cast<DWORD>(sample.size() - 2));
  record = {3, nullptr};
  EXPECT_STATUS(NX_E_READ, riff_ReadDataAlloc(file, &record));
  EXPECT_EQ(record.data, nullptr);
  // The last byte of the file has an odd size and no pad: the data is there, the pad is not
  // needed to read it.
  const Bytes unpadded = Builder().Raw("abc ").U32(3).Raw("xyz").Riff();
  MemFile last(unpadded);
  last.Seek(20);
  record = {3, nullptr};
  EXPECT_STATUS(NX_OK, riff_ReadDataAlloc(last, &record));
  riff_FreeData(&record);
}

TEST(Riff, AnsiStringsRoundTripWithOddAndEvenLengths) {
  // "é" and "€" are single bytes of the code page (0xE9, 0x80).
  const WString texts[] = {u"", u"a", u"ab", u"Caf\u00E9", u"5 \u20AC", u"Hall \u00E9t\u00E9"};
  for (const WString& text : texts) {
    MemFile file(Bytes{});
    DWORD written = 0;
    ASSERT_STATUS(NX_OK, riff_WriteANSIString(file, text.c_str(), &written));
    EXPECT_EQ(written, (text.size() + 2) & ~size_t{1});
    EXPECT_EQ(file->Bytes().size(), written);
    EXPECT_EQ(file->Bytes()[text.size()], 0);

    // Read back as the data of a chunk of size length + 1, followed by a marker.
    MemFile chunk(Builder().Raw("TEXT").U32(static_cast<DWORD>(text.size() + 1))
                      .Raw(std::string(file->Bytes().begin(), file->Bytes().end()))
                      .Raw("next").U32(0).bytes());
    chunk.Seek(8);
    WCHAR out[64];
    DWORD size = static_cast<DWORD>(text.size() + 1);
    ASSERT_STATUS(NX_OK, riff_ReadANSIString(chunk, out, 64, &size));
    EXPECT_EQ(WString(out), text);
    EXPECT_EQ(size, written);
    DWORD id = 0;
    ASSERT_STATUS(NX_OK, riff_ReadChunkHeader(chunk, &id, nullptr));
    EXPECT_EQ(id, Id("next"));

    // A capacity below the text cuts it and still moves past the whole chunk.
    chunk.Seek(8);
    size = static_cast<DWORD>(text.size() + 1);
    ASSERT_STATUS(NX_OK, riff_ReadANSIString(chunk, out, 3, &size));
    EXPECT_EQ(WString(out), text.substr(0, std::min<size_t>(text.size(), 2)));
    ASSERT_STATUS(NX_OK, riff_ReadChunkHeader(chunk, &id, nullptr));
    EXPECT_EQ(id, Id("next"));
  }

  // An empty chunk gives an empty text; no room at all is an argument error.
  MemFile empty(Builder().Raw("next").bytes());
  WCHAR out[4] = {'x', 'x', 0, 0};
  DWORD size = 0;
  EXPECT_STATUS(NX_OK, riff_ReadANSIString(empty, out, 4, &size));
  EXPECT_EQ(out[0], 0);
  EXPECT_EQ(empty.Pos(), 0u);
  size = 4;
  EXPECT_STATUS(E_INVALIDARG, riff_ReadANSIString(empty, out, 0, &size));
  // Characters the code page lacks become '?'.
  MemFile lossy(Bytes{});
  EXPECT_STATUS(NX_OK, riff_WriteANSIString(lossy, u"\u0100", &size));
  EXPECT_EQ(lossy->Bytes(), (Bytes{'?', 0}));
}

TEST(Riff, WriteFunctionsLayOutChunksAndReportWriteFailures) {
  MemFile file(Bytes{});
  ASSERT_STATUS(NX_OK, riff_WriteFileID(file, Id("IRXP"), 4));
  DWORD total = 0;
  ASSERT_STATUS(NX_OK, riff_WriteChunk(file, Id("odd "), "abc", 3, &total));
  EXPECT_EQ(total, 12u);
  ASSERT_STATUS(NX_OK, riff_WriteChunk(file, Id("even"), "ab", 2, &total));
  EXPECT_EQ(total, 10u);
  ASSERT_STATUS(NX_OK, riff_WriteChunk(file, Id("none"), nullptr, 0, &total));
  EXPECT_EQ(total, 8u);
  ASSERT_STATUS(NX_OK, riff_WriteListHeader(file, kInfoListType, 4));
  Builder expected;
  expected.Raw("RIFF").U32(4).Raw("IRXP").Chunk("odd ", "abc").Chunk("even", "ab")
      .Chunk("none", "").Raw("LIST").U32(4).Raw("INFO");
  EXPECT_EQ(file->Bytes(), expected.bytes());

  ASSERT_STATUS(NX_OK, riff_SetRIFFSize(file, 0x12345678));
  EXPECT_EQ(file.Pos(), expected.bytes().size());
  EXPECT_EQ(ReadLe32At(file->Bytes(), 4), 0x12345678u);

  // A full disk: each writer reports a write failure.
  MemFile full(Bytes{});
  full->SetSizeLimit(10);
  EXPECT_STATUS(NX_E_WRITE, riff_WriteFileID(full, Id("WAVE"), 4));
  full->SetSizeLimit(0);
  full.Seek(0);
  EXPECT_STATUS(NX_E_WRITE, riff_WriteChunk(full, Id("data"), "x", 1, &total));
  EXPECT_EQ(total, 0u);
  EXPECT_STATUS(NX_E_WRITE, riff_WriteListHeader(full, kInfoListType, 4));
  EXPECT_STATUS(NX_E_WRITE, riff_WriteANSIString(full, u"abc", &total));
  MemFile readOnly(Bytes(16, 0), NxMemoryAccess::ReadOnly);
  EXPECT_STATUS(NX_E_WRITE, riff_WriteChunkHeader(readOnly, Id("data"), 0));
  EXPECT_STATUS(NX_E_WRITE, riff_SetRIFFSize(readOnly, 8));
  EXPECT_STATUS(NX_E_TOOBIG, riff_WriteChunk(file, Id("data"), "x", 0xFFFFFFF8u, &total));
}

TEST(Riff, UpdateRiffSizeGuardsItsGrowth) {
  const Bytes sample = SampleFile();
  const DWORD riffSize = ReadLe32At(sample, 4);
  MemFile file(sample);
  file.Seek(20);
  ASSERT_STATUS(NX_OK, riff_UpdateRIFFSize(file, 10));
  EXPECT_EQ(ReadLe32At(file->Bytes(), 4), riffSize + 10);
  EXPECT_EQ(file.Pos(), 20u);
  ASSERT_STATUS(NX_OK, riff_UpdateRIFFSize(file, -10));
  EXPECT_EQ(ReadLe32At(file->Bytes(), 4), riffSize);

  // Something appended, then a delta that would bring the size to 0xFFFFFFF8: the appended
  // bytes are dropped, the size is kept and the position still comes back.
  file.Seek(static_cast<DWORD>(sample.size()));
  ASSERT_STATUS(NX_OK, riff_WriteChunk(file, Id("more"), "12345678", 8, nullptr));
  const DWORD end = file.Pos();
  EXPECT_STATUS(NX_E_TOOBIG, riff_UpdateRIFFSize(file, 0xFFFFFFF8ll - riffSize));
  EXPECT_EQ(file->Bytes(), sample);
  EXPECT_EQ(file.Pos(), end);
  ASSERT_STATUS(NX_OK, riff_UpdateRIFFSize(file, 0xFFFFFFF7ll - riffSize));
  EXPECT_EQ(ReadLe32At(file->Bytes(), 4), 0xFFFFFFF7u);

  // A header already claiming more than the file holds: the guard never lengthens the file.
  EXPECT_STATUS(NX_E_TOOBIG, riff_UpdateRIFFSize(file, 1));
  EXPECT_EQ(file->Bytes().size(), sample.size());
  // Shrinking below 0 changes nothing.
  ASSERT_STATUS(NX_OK, riff_SetRIFFSize(file, 4));
  EXPECT_STATUS(NX_E_NEGATIVESIZE, riff_UpdateRIFFSize(file, -5));
  EXPECT_EQ(ReadLe32At(file->Bytes(), 4), 4u);

  MemFile six(Bytes(sample.begin(), sample.begin() + 6));
  six.Seek(3);
  EXPECT_STATUS(NX_E_READ, riff_UpdateRIFFSize(six, 1));
  EXPECT_EQ(six.Pos(), 3u);
}

TEST(Riff, DeleteChunkMovesTheRestDownAndLowersTheRiffSize) {
  const Bytes sample = SampleFile();
  struct Case {
    const char* id;
    bool isList;
    DWORD removed;
    Bytes expected;
  };
  Builder adtl;
  adtl.Chunk("labl", "xyz");
  Builder info;
  info.Chunk("INAM", std::string("Hall\0", 5)).Chunk("ICMT", std::string("Big\0", 4));
  const Case cases[] = {
      {"odd ", false, 14,
       Builder().Chunk("fmt ", "abc").List("adtl", adtl).List("INFO", info).Chunk("data", "DATA")
           .Riff()},
      {"data", false, 12,
       Builder().Chunk("fmt ", "abc").Chunk("odd ", "12345").List("adtl", adtl)
           .List("INFO", info).Riff()},
      {"adtl", true, 24,
       Builder().Chunk("fmt ", "abc").Chunk("odd ", "12345").List("INFO", info)
           .Chunk("data", "DATA").Riff()},
  };
  for (const Case& c : cases) {
    MemFile file(sample);
    DWORD removed = 0;
    ASSERT_STATUS(NX_OK, riff_DeleteChunk(file, Id(c.id), &removed, c.isList)) << c.id;
    EXPECT_EQ(removed, c.removed) << c.id;
    EXPECT_EQ(file->Bytes(), c.expected) << c.id;
  }

  // A list at the end, and a file larger than one move block.
  Builder big;
  big.Chunk("fmt ", "abc").Chunk("data", std::string(10001, 'd')).List("INFO", info);
  MemFile file(big.Riff());
  DWORD removed = 0;
  ASSERT_STATUS(NX_OK, riff_DeleteChunk(file, Id("fmt "), &removed, false));
  EXPECT_EQ(removed, 12u);
  ASSERT_STATUS(NX_OK, riff_DeleteChunk(file, kInfoListType, &removed, true));
  EXPECT_EQ(removed, 8u + 4 + 26);
  EXPECT_EQ(file->Bytes(), Builder().Chunk("data", std::string(10001, 'd')).Riff());

  EXPECT_STATUS(NX_E_NOTFOUND, riff_DeleteChunk(file, Id("none"), &removed, false));
  EXPECT_EQ(removed, 0u);
  // A chunk claiming more than the file holds removes what is there.
  MemFile liar(Builder().Chunk("fmt ", "abc").Raw("junk").U32(1000).Raw("xy").Riff());
  ASSERT_STATUS(NX_OK, riff_DeleteChunk(liar, Id("junk"), &removed, false));
  EXPECT_EQ(removed, 10u);
  EXPECT_EQ(liar->Bytes(), Builder().Chunk("fmt ", "abc").Riff());
}

// The pattern for sizes unknown in advance: provisional sizes, patched afterwards.
TEST(Riff, WritingAWholeFileWithSizesUnknownInAdvance) {
  MemFile file(Bytes{});
  ASSERT_STATUS(NX_OK, riff_WriteFileID(file, Id("IRXP"), 4));
  for (const std::string& payload : {std::string("12345"), std::string("abcdef")}) {
    ASSERT_STATUS(NX_OK, riff_WriteChunkHeader(file, Id("fmt "), 0));
    DWORD behindHeader = 0;
    ASSERT_STATUS(NX_OK, riff_SaveLocation(file, &behindHeader));
    DWORD done = 0;
    ASSERT_TRUE(file->Write(payload.data(), static_cast<DWORD>(payload.size()), &done));
    DWORD count = done;
    if (count % 2 != 0) {
      ASSERT_TRUE(file->Write("", 1, &done));
    }
    DWORD end = 0;
    ASSERT_STATUS(NX_OK, riff_SaveLocation(file, &end));
    ASSERT_STATUS(NX_OK, riff_RestoreLocation(file, behindHeader - 4));
    const BYTE size[4] = {static_cast<BYTE>(count), 0, 0, 0};
    ASSERT_TRUE(file->Write(size, 4, &done));
    ASSERT_STATUS(NX_OK, riff_RestoreLocation(file, end));
    ASSERT_STATUS(NX_OK, riff_UpdateRIFFSize(file, 8 + count + (count & 1)));
  }
  EXPECT_EQ(file->Bytes(), Builder().Chunk("fmt ", "12345").Chunk("fmt ", "abcdef").Riff("IRXP"));
}

// Every status a read or search may return on damaged input.
bool IsKnownStatus(NXSTATUS status) {
  return status == NX_OK || status == NX_E_READ || status == NX_E_NOTFOUND ||
         status == NX_E_NOTRIFF || status == NX_E_NOTLIST || status == NX_E_NEGATIVESIZE;
}

void ExerciseReaders(const Bytes& bytes) {
  MemFile file(bytes, NxMemoryAccess::ReadOnly);
  DWORD size = 0;
  DWORD remaining = 0;
  std::vector<NXSTATUS> results;
  for (const char* id : {"fmt ", "odd ", "data", "LIST", "none"}) {
    results.push_back(riff_FindChunkHeaderInRIFF(file, Id(id), &size, &remaining));
    if (results.back() == NX_OK) {
      RiffData record = {size, nullptr};
      results.push_back(riff_ReadDataAlloc(file, &record));
      riff_FreeData(&record);
    }
  }
  for (DWORD type : {kInfoListType, Id("adtl")}) {
    file.Seek(12);
    remaining = bytes.size() > 12 ? static_cast<DWORD>(bytes.size() - 12) : 0;
    results.push_back(riff_FindListChunk(file, type, &size, &remaining));
    if (results.back() != NX_OK) continue;
    DWORD count = 0;
    DWORD listRemaining = size;
    const DWORD at = file.Pos();
    results.push_back(riff_GetNumListEntries(file, &count, &listRemaining));
    EXPECT_EQ(file.Pos(), at);
    DWORD itemSize = 0;
    listRemaining = size;
    results.push_back(riff_FindChunkHeader(file, Id("ICMT"), &itemSize, &listRemaining));
    if (results.back() != NX_OK) continue;
    WCHAR text[8];
    results.push_back(riff_ReadANSIString(file, text, 8, &itemSize));
  }
  file.Seek(12 + 12 + 14);
  results.push_back(riff_ReadListHeader(file, nullptr, &size));
  for (NXSTATUS status : results) EXPECT_TRUE(IsKnownStatus(status)) << Hex(status);
}

TEST(Riff, DamagedFilesGiveCodesAndNeverReadOutOfBounds) {
  const Bytes sample = SampleFile();
  for (size_t length = 0; length <= sample.size(); ++length) {
    ExerciseReaders(Bytes(sample.begin(), sample.begin() + length));
  }
  // Random damage to sizes and identifiers; the seed keeps it repeatable.
  std::mt19937 random(1234);
  for (int round = 0; round < 300; ++round) {
    Bytes damaged = sample;
    for (int k = 0; k < 3; ++k) {
      damaged[random() % damaged.size()] = static_cast<BYTE>(random());
    }
    ExerciseReaders(damaged);
  }
}

}  // namespace
