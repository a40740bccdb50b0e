// CMemoryStream and CFileStream: the IStream behaviour both share, run over each, then what is
// particular to each (failure hooks and limits; names, access and missing files).
#include <gtest/gtest.h>

#include "tests/support/test_support.h"

#include <climits>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "platform/dshow/stream.h"
#include "platform/dshow/task_memory.h"

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
    const std::string path = (folder_ / "stream.bin").string();
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(kTen.data()), 10);
    CFileStream* stream = nullptr;
    EXPECT_HR(S_OK, CFileStream::Open(Wide(path).c_str(), NxFileAccess::ReadWrite,
                                      NxFileCreate::OpenExisting, &stream));
    return stream;
  }
  TempFolder temp_;
  const std::filesystem::path& folder_ = temp_.path();
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
  EXPECT_HR(STG_E_INVALIDPOINTER, stream->Read(nullptr, 1, &done));
  EXPECT_HR(STG_E_INVALIDPOINTER, stream->Write(nullptr, 1, &done));
  EXPECT_EQ(0u, stream->Release());
}

TEST_P(SharedStreamTest, SizeAndStat) {
  IStream* stream = Make();
  stream->Seek(Move(6), STREAM_SEEK_SET, nullptr);
  EXPECT_HR(S_OK, stream->SetSize(Size(4)));
  EXPECT_EQ(6u, PositionOf(stream));
  EXPECT_HR(S_OK, stream->SetSize(Size(7)));
  EXPECT_EQ((Bytes{1, 2, 3, 4, 0, 0, 0}), Contents(stream));
  STATSTG stat;
  ASSERT_HR(S_OK, stream->Stat(&stat, STATFLAG_NONAME));
  EXPECT_EQ(static_cast<DWORD>(STGTY_STREAM), stat.type);
  EXPECT_EQ(7u, stat.cbSize.QuadPart);
  EXPECT_EQ(nullptr, stat.pwcsName);
  EXPECT_EQ(0u, stream->Release());
}

TEST_P(SharedStreamTest, CopyToAndClone) {
  IStream* stream = Make();
  CMemoryStream* target = CMemoryStream::Create();
  // {from, limit, copied}, appended one after another to the target.
  const ULONGLONG copies[][3] = {{2, 3, 3}, {8, 100, 2}, {12, 5, 0}};
  for (const auto& c : copies) {
    stream->Seek(Move(static_cast<LONGLONG>(c[0])), STREAM_SEEK_SET, nullptr);
    ULARGE_INTEGER read = Size(99);
    ULARGE_INTEGER written = Size(99);
    EXPECT_HR(S_OK, stream->CopyTo(target, Size(c[1]), &read, &written));
    EXPECT_EQ(c[2], read.QuadPart);
    EXPECT_EQ(c[2], written.QuadPart);
  }
  EXPECT_EQ((Bytes{3, 4, 5, 9, 10}), target->Bytes());
  EXPECT_HR(STG_E_INVALIDPOINTER, stream->CopyTo(nullptr, Size(1), nullptr, nullptr));
  target->FailWritesAfter(1);
  stream->Seek(Move(0), STREAM_SEEK_SET, nullptr);
  ULARGE_INTEGER written = Size(99);
  EXPECT_HR(STG_E_MEDIUMFULL, stream->CopyTo(target, Size(4), nullptr, &written));
  EXPECT_EQ(1u, written.QuadPart);
  target->Release();

  // A clone starts where the original stands, moves on its own, sees its writes and outlives it.
  stream->Seek(Move(3), STREAM_SEEK_SET, nullptr);
  IStream* clone = nullptr;
  ASSERT_HR(S_OK, stream->Clone(&clone));
  EXPECT_HR(STG_E_INVALIDPOINTER, stream->Clone(nullptr));
  BYTE first = 0;
  clone->Read(&first, 1, nullptr);
  EXPECT_EQ(4, first);
  EXPECT_EQ(3u, PositionOf(stream));
  const BYTE mark = 0xEE;
  stream->Write(&mark, 1, nullptr);
  EXPECT_EQ(0u, stream->Release());
  EXPECT_EQ(0xEE, Contents(clone)[3]);
  EXPECT_EQ(0u, clone->Release());
}

INSTANTIATE_TEST_SUITE_P(Streams, SharedStreamTest, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& p) {
                           return p.param ? "File" : "Memory";
                         });

TEST(MemoryStream, FailureHooksAndSizeLimit) {
  CMemoryStream* stream = CMemoryStream::Create(kTen.data(), kTen.size());
  BYTE buffer[8];
  ULONG done = 0;
  stream->FailReadsAfter(6);  // 6 more bytes go through, then every read fails
  EXPECT_HR(S_OK, stream->Read(buffer, 4, &done));
  EXPECT_HR(STG_E_READFAULT, stream->Read(buffer, 4, &done));
  EXPECT_EQ(2u, done);
  EXPECT_HR(STG_E_READFAULT, stream->Read(buffer, 1, &done));
  EXPECT_EQ(0u, done);
  stream->FailWritesAfter(3);
  EXPECT_HR(STG_E_MEDIUMFULL, stream->Write(buffer, 5, &done));
  EXPECT_EQ(3u, done);
  EXPECT_EQ(9u, stream->Position());
  stream->FailWritesAfter(~0ull);
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
  EXPECT_EQ(nullptr, CMemoryStream::Create(nullptr, 3));
}

TEST(FileStream, NameAccessAndMissingFiles) {
  const std::filesystem::path file = std::filesystem::temp_directory_path() /
                                     ("auralith_named_" + std::to_string(std::random_device{}()));
  const std::basic_string<WCHAR> path = Wide(file.string());
  CFileStream* stream = nullptr;
  EXPECT_HR(STG_E_FILENOTFOUND, CFileStream::Open(path.c_str(), NxFileAccess::Read,
                                                  NxFileCreate::OpenExisting, &stream));
  EXPECT_EQ(nullptr, stream);
  ASSERT_HR(S_OK, CFileStream::Open(path.c_str(), NxFileAccess::Write, NxFileCreate::CreateAlways,
                                    &stream));
  BYTE buffer[4] = {1, 2, 3, 4};
  EXPECT_HR(S_OK, stream->Write(buffer, 4, nullptr));
  EXPECT_HR(STG_E_ACCESSDENIED, stream->Read(buffer, 1, nullptr));
  STATSTG stat;
  ASSERT_HR(S_OK, stream->Stat(&stat, STATFLAG_DEFAULT));
  EXPECT_EQ(path, std::basic_string<WCHAR>(stat.pwcsName));
  CoTaskMemFree(stat.pwcsName);
  EXPECT_HR(S_OK, stream->Commit(0));  // a created file replaces the named one only now
  EXPECT_EQ(0u, stream->Release());

  ASSERT_HR(S_OK, CFileStream::Open(path.c_str(), NxFileAccess::Read, NxFileCreate::OpenExisting,
                                    &stream));
  EXPECT_HR(STG_E_ACCESSDENIED, stream->Write(buffer, 1, nullptr));
  EXPECT_HR(STG_E_ACCESSDENIED, stream->SetSize(Size(0)));
  EXPECT_EQ((Bytes{1, 2, 3, 4}), Contents(stream));
  EXPECT_EQ(0u, stream->Release());
  std::filesystem::remove(file);
}

}  // namespace
