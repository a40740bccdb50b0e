// CMemoryStream and CFileStream: the IStream behaviour both share, run over each, then what is
// particular to each (failure hooks and limits; size, access and missing files).

#include "tests/support/test_support.h"

#include <climits>

#include "platform/dshow/stream.h"

namespace {

LARGE_INTEGER Move(LONGLONG value) {
  LARGE_INTEGER move;
  move.QuadPart = value;
  return move;
}

ULARGE_INTEGER Size(ULONGLONG value) {
  ULARGE_INTEGER size;
  size.QuadPart = value;
  return size;
}

ULONGLONG PositionOf(IStream* stream) {
  ULARGE_INTEGER position = Size(~0ull);
  EXPECT_HR(S_OK, stream->Seek(Move(0), STREAM_SEEK_CUR, &position));
  return position.QuadPart;
}

// Everything from position 0, read in odd-sized pieces.
Bytes Contents(IStream* stream) {
  stream->Seek(Move(0), STREAM_SEEK_SET, nullptr);
  Bytes all;
  BYTE block[7];
  ULONG got = 0;
  while (SUCCEEDED(stream->Read(block, sizeof block, &got)) && got != 0) {
    all.insert(all.end(), block, block + got);
  }
  return all;
}

const Bytes kTen = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};

// Each run makes read-write streams holding kTen, in memory or in a file of a fresh folder.
class SharedStreamTest : public ::testing::TestWithParam<bool> {
 protected:
  IStream* Make() {
    if (!GetParam()) return CMemoryStream::Create(kTen.data(), kTen.size());
    temp_.Write("stream.bin", kTen);
    CFileStream* stream = nullptr;
    EXPECT_HR(S_OK, CFileStream::Open(temp_.Wide("stream.bin"), NxFileAccess::ReadWrite,
                                      NxFileCreate::OpenExisting, &stream));
    return stream;
  }
  TempFolder temp_;
};

TEST_P(SharedStreamTest, InterfacesReadsWritesAndSeeks) {
  IStream* stream = Make();
  ExpectInterfaces(stream, {&IID_IUnknown, &IID_ISequentialStream, &IID_IStream},
                   {&IID_IPersistStream});
  // Short at the end, then nothing, both without an error.
  BYTE buffer[16] = {};
  ULONG done = 99;
  ASSERT_HR(S_OK, stream->Seek(Move(7), STREAM_SEEK_SET, nullptr));
  EXPECT_HR(S_OK, stream->Read(buffer, 5, &done));
  EXPECT_EQ(3u, done);
  EXPECT_HR(S_OK, stream->Read(buffer, 5, &done));
  EXPECT_EQ(0u, done);

  struct SeekCase {
    LONGLONG move;
    DWORD origin;
    ULONGLONG position;  // from 4; a refused seek keeps it
  };
  const SeekCase seeks[] = {{4, STREAM_SEEK_SET, 4},         {-1, STREAM_SEEK_CUR, 3},
                            {-2, STREAM_SEEK_END, 8},        {-11, STREAM_SEEK_END, 4},
                            {-1, STREAM_SEEK_SET, 4},        {0, 3, 4},
                            {LLONG_MIN, STREAM_SEEK_CUR, 4}, {5, STREAM_SEEK_END, 15}};
  for (const SeekCase& c : seeks) {
    stream->Seek(Move(4), STREAM_SEEK_SET, nullptr);
    const bool refused = c.position == 4 && c.move != 4;
    ULARGE_INTEGER position = Size(77);
    EXPECT_HR(refused ? STG_E_INVALIDFUNCTION : S_OK,
              stream->Seek(Move(c.move), c.origin, &position))
        << c.move;
    EXPECT_EQ(refused ? 77 : c.position, position.QuadPart) << c.move;
    EXPECT_EQ(c.position, PositionOf(stream)) << c.move;
  }
  // Writing past the end (at 15) zero-fills the gap; overwriting inside keeps the rest.
  const BYTE tail[] = {0xAA, 0xBB};
  EXPECT_HR(S_OK, stream->Write(tail, 2, &done));
  EXPECT_EQ(2u, done);
  stream->Seek(Move(1), STREAM_SEEK_SET, nullptr);
  EXPECT_HR(S_OK, stream->Write(tail, 1, nullptr));
  EXPECT_EQ((Bytes{1, 0xAA, 3, 4, 5, 6, 7, 8, 9, 10, 0, 0, 0, 0, 0, 0xAA, 0xBB}), Contents(stream));
  EXPECT_EQ(0u, stream->Release());
}

INSTANTIATE_TEST_SUITE_P(Streams, SharedStreamTest, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& p) {
                           return p.param ? "File" : "Memory";
                         });

// The failure hooks are the presets suite's tools, which notices when they fail to fail.
TEST(MemoryStream, SizeLimit) {
  CMemoryStream* stream = CMemoryStream::Create(kTen.data(), kTen.size());
  BYTE buffer[8];
  ULONG done = 0;
  ASSERT_HR(S_OK, stream->Seek(Move(9), STREAM_SEEK_SET, nullptr));
  // Past the limit nothing is written; a write far past the end cannot allocate its way there.
  stream->SetSizeLimit(12);
  EXPECT_HR(STG_E_MEDIUMFULL, stream->Write(buffer, 4, &done));
  EXPECT_EQ(0u, done);
  EXPECT_HR(STG_E_MEDIUMFULL, stream->SetSize(Size(13)));
  stream->SetSizeLimit(CMemoryStream::kDefaultSizeLimit);
  ASSERT_HR(S_OK, stream->Seek(Move(LLONG_MAX), STREAM_SEEK_SET, nullptr));
  EXPECT_HR(STG_E_MEDIUMFULL, stream->Write(buffer, 1, &done));
  EXPECT_EQ(10u, stream->Bytes().size());
  EXPECT_EQ(0u, stream->Release());
}

TEST(FileStream, SizeAccessAndMissingFiles) {
  TempFolder folder;
  const WString path = Wide(folder / "named");
  CFileStream* stream = nullptr;
  EXPECT_HR(STG_E_FILENOTFOUND, CFileStream::Open(path.c_str(), NxFileAccess::Read,
                                                  NxFileCreate::OpenExisting, &stream));
  EXPECT_EQ(nullptr, stream);
  ASSERT_HR(S_OK, CFileStream::Open(path.c_str(), NxFileAccess::Write, NxFileCreate::CreateAlways,
                                    &stream));
  BYTE buffer[4] = {1, 2, 3, 4};
  EXPECT_HR(S_OK, stream->Write(buffer, 4, nullptr));
  EXPECT_HR(STG_E_ACCESSDENIED, stream->Read(buffer, 1, nullptr));
  STATSTG stat;  // the preset tool's size of a file to load
  ASSERT_HR(S_OK, stream->Stat(&stat, STATFLAG_NONAME));
  EXPECT_EQ(4u, stat.cbSize.QuadPart);
  EXPECT_HR(S_OK, stream->Commit(0));  // a created file replaces the named one only now
  EXPECT_EQ(0u, stream->Release());

  ASSERT_HR(S_OK, CFileStream::Open(path.c_str(), NxFileAccess::Read, NxFileCreate::OpenExisting,
                                    &stream));
  EXPECT_HR(STG_E_ACCESSDENIED, stream->Write(buffer, 1, nullptr));
  EXPECT_EQ((Bytes{1, 2, 3, 4}), Contents(stream));
  EXPECT_EQ(0u, stream->Release());
}

}  // namespace
