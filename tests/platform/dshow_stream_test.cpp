// CMemoryStream and CFileStream: the IStream behaviour both share, run over each, then what is
// particular to each (failure hooks and limits; names, access and missing files).
#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "platform/dshow/stream.h"
#include "platform/dshow/task_memory.h"

namespace {

std::string Hr(HRESULT hr) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(hr));
  return text;
}
#define EXPECT_HR(expected, actual) EXPECT_EQ(Hr(expected), Hr(actual))
#define ASSERT_HR(expected, actual) ASSERT_EQ(Hr(expected), Hr(actual))

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

// Everything from position 0, leaving the position at the end.
std::vector<BYTE> Contents(IStream* stream) {
  stream->Seek(Move(0), STREAM_SEEK_SET, nullptr);
  std::vector<BYTE> all;
  BYTE block[7];
  ULONG got = 0;
  while (SUCCEEDED(stream->Read(block, sizeof block, &got)) && got != 0) {
    all.insert(all.end(), block, block + got);
  }
  return all;
}

std::basic_string<WCHAR> Wide(const std::string& text) {
  return std::basic_string<WCHAR>(text.begin(), text.end());
}

class TempFolder {
 public:
  TempFolder()
      : path_(std::filesystem::temp_directory_path() /
              ("auralith_stream_" + std::to_string(std::random_device{}()))) {
    std::filesystem::create_directories(path_);
  }
  ~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  std::string operator/(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

const std::vector<BYTE> kTen = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};

// The shared behaviour runs over both kinds; each factory makes a read-write stream holding
// the given bytes.
struct StreamKind {
  const char* name;
  std::function<IStream*(const TempFolder&, const std::vector<BYTE>&)> make;
};

IStream* MakeMemory(const TempFolder&, const std::vector<BYTE>& bytes) {
  return CMemoryStream::Create(bytes.data(), bytes.size());
}

IStream* MakeFile(const TempFolder& folder, const std::vector<BYTE>& bytes) {
  const std::string path = folder / "stream.bin";
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
  CFileStream* stream = nullptr;
  EXPECT_HR(S_OK, CFileStream::Open(Wide(path).c_str(), NxFileAccess::ReadWrite,
                                    NxFileCreate::OpenExisting, &stream));
  return stream;
}

class SharedStreamTest : public ::testing::TestWithParam<StreamKind> {
 protected:
  IStream* Make(const std::vector<BYTE>& bytes) {
    IStream* stream = GetParam().make(folder_, bytes);
    EXPECT_NE(stream, nullptr);
    return stream;
  }
  TempFolder folder_;
};

TEST_P(SharedStreamTest, InterfacesAndReferenceCounts) {
  IStream* stream = Make(kTen);
  for (const IID* iid : {&IID_IUnknown, &IID_ISequentialStream, &IID_IStream}) {
    void* object = nullptr;
    EXPECT_HR(S_OK, stream->QueryInterface(*iid, &object));
    EXPECT_EQ(static_cast<void*>(stream), object);
    EXPECT_EQ(1u, stream->Release());
  }
  void* object = reinterpret_cast<void*>(1);
  EXPECT_HR(E_NOINTERFACE, stream->QueryInterface(IID_IPersistStream, &object));
  EXPECT_EQ(nullptr, object);
  EXPECT_HR(E_POINTER, stream->QueryInterface(IID_IStream, nullptr));
  EXPECT_EQ(2u, stream->AddRef());
  EXPECT_EQ(1u, stream->Release());
  EXPECT_EQ(0u, stream->Release());
}

TEST_P(SharedStreamTest, ReadsWritesAndSeeks) {
  IStream* stream = Make(kTen);
  BYTE buffer[16] = {};
  ULONG done = 99;
  // Short at the end, then nothing, both without an error.
  ASSERT_HR(S_OK, stream->Seek(Move(7), STREAM_SEEK_SET, nullptr));
  EXPECT_HR(S_OK, stream->Read(buffer, 5, &done));
  EXPECT_EQ(3u, done);
  EXPECT_EQ(10, buffer[2]);
  EXPECT_HR(S_OK, stream->Read(buffer, 5, &done));
  EXPECT_EQ(0u, done);
  EXPECT_HR(S_OK, stream->Read(buffer, 5, nullptr));

  struct SeekCase {
    LONGLONG move;
    DWORD origin;
    HRESULT expected;
    ULONGLONG position;  // afterwards; a failed seek keeps the position (4)
  };
  const SeekCase seeks[] = {
      {4, STREAM_SEEK_SET, S_OK, 4},
      {-1, STREAM_SEEK_CUR, S_OK, 3},
      {-2, STREAM_SEEK_END, S_OK, 8},
      {-11, STREAM_SEEK_END, STG_E_INVALIDFUNCTION, 4},
      {-1, STREAM_SEEK_SET, STG_E_INVALIDFUNCTION, 4},
      {0, 3, STG_E_INVALIDFUNCTION, 4},
      {LLONG_MIN, STREAM_SEEK_CUR, STG_E_INVALIDFUNCTION, 4},
      {5, STREAM_SEEK_END, S_OK, 15},
  };
  for (const SeekCase& c : seeks) {
    stream->Seek(Move(4), STREAM_SEEK_SET, nullptr);
    ULARGE_INTEGER position = Size(77);
    EXPECT_HR(c.expected, stream->Seek(Move(c.move), c.origin, &position)) << c.move;
    if (c.expected == S_OK) {
      EXPECT_EQ(c.position, position.QuadPart) << c.move;
    }
    EXPECT_EQ(c.position, PositionOf(stream)) << c.move;
  }

  // Writing past the end zero-fills the gap; overwriting inside keeps the rest.
  const BYTE tail[] = {0xAA, 0xBB};
  EXPECT_HR(S_OK, stream->Write(tail, 2, &done));
  EXPECT_EQ(2u, done);
  stream->Seek(Move(1), STREAM_SEEK_SET, nullptr);
  EXPECT_HR(S_OK, stream->Write(tail, 1, nullptr));
  EXPECT_HR(S_OK, stream->Write(tail, 0, &done));
  EXPECT_EQ(0u, done);
  const std::vector<BYTE> expected = {1, 0xAA, 3, 4, 5, 6, 7, 8, 9, 10, 0, 0, 0, 0, 0, 0xAA, 0xBB};
  EXPECT_EQ(expected, Contents(stream));

  EXPECT_HR(STG_E_INVALIDPOINTER, stream->Read(nullptr, 1, &done));
  EXPECT_HR(STG_E_INVALIDPOINTER, stream->Write(nullptr, 1, &done));
  stream->Release();
}

TEST_P(SharedStreamTest, SizeStatLocksAndTransactions) {
  IStream* stream = Make(kTen);
  stream->Seek(Move(6), STREAM_SEEK_SET, nullptr);
  EXPECT_HR(S_OK, stream->SetSize(Size(4)));
  EXPECT_EQ(6u, PositionOf(stream));
  EXPECT_HR(S_OK, stream->SetSize(Size(7)));
  EXPECT_EQ((std::vector<BYTE>{1, 2, 3, 4, 0, 0, 0}), Contents(stream));

  STATSTG stat;
  ASSERT_HR(S_OK, stream->Stat(&stat, STATFLAG_NONAME));
  EXPECT_EQ(static_cast<DWORD>(STGTY_STREAM), stat.type);
  EXPECT_EQ(7u, stat.cbSize.QuadPart);
  EXPECT_EQ(nullptr, stat.pwcsName);
  EXPECT_HR(STG_E_INVALIDPOINTER, stream->Stat(nullptr, STATFLAG_NONAME));

  EXPECT_HR(S_OK, stream->Commit(0));
  EXPECT_HR(S_OK, stream->Revert());
  EXPECT_HR(STG_E_INVALIDFUNCTION, stream->LockRegion(Size(0), Size(1), 0));
  EXPECT_HR(STG_E_INVALIDFUNCTION, stream->UnlockRegion(Size(0), Size(1), 0));
  stream->Release();
}

TEST_P(SharedStreamTest, CopyToAndClone) {
  IStream* stream = Make(kTen);
  CMemoryStream* target = CMemoryStream::Create();
  const BYTE head = 0x55;
  target->Write(&head, 1, nullptr);
  struct CopyCase {
    ULONGLONG from;
    ULONGLONG limit;
    ULONGLONG copied;
  };
  // Appended one after another to the target.
  for (const CopyCase& c : {CopyCase{2, 3, 3}, CopyCase{8, 100, 2}, CopyCase{12, 5, 0}}) {
    stream->Seek(Move(static_cast<LONGLONG>(c.from)), STREAM_SEEK_SET, nullptr);
    ULARGE_INTEGER read = Size(99);
    ULARGE_INTEGER written = Size(99);
    EXPECT_HR(S_OK, stream->CopyTo(target, Size(c.limit), &read, &written));
    EXPECT_EQ(c.copied, read.QuadPart);
    EXPECT_EQ(c.copied, written.QuadPart);
  }
  EXPECT_EQ((std::vector<BYTE>{0x55, 3, 4, 5, 9, 10}), target->Bytes());
  EXPECT_HR(STG_E_INVALIDPOINTER, stream->CopyTo(nullptr, Size(1), nullptr, nullptr));
  target->FailWritesAfter(1);
  stream->Seek(Move(0), STREAM_SEEK_SET, nullptr);
  ULARGE_INTEGER written = Size(99);
  EXPECT_HR(STG_E_MEDIUMFULL, stream->CopyTo(target, Size(4), nullptr, &written));
  EXPECT_EQ(1u, written.QuadPart);
  target->Release();

  // A clone starts where the original stands, moves on its own and sees its writes.
  stream->Seek(Move(3), STREAM_SEEK_SET, nullptr);
  IStream* clone = nullptr;
  ASSERT_HR(S_OK, stream->Clone(&clone));
  EXPECT_EQ(3u, PositionOf(clone));
  BYTE byte = 0;
  clone->Read(&byte, 1, nullptr);
  EXPECT_EQ(4, byte);
  EXPECT_EQ(3u, PositionOf(stream));
  const BYTE mark = 0xEE;
  stream->Write(&mark, 1, nullptr);
  clone->Seek(Move(3), STREAM_SEEK_SET, nullptr);
  clone->Read(&byte, 1, nullptr);
  EXPECT_EQ(0xEE, byte);
  EXPECT_EQ(0u, stream->Release());
  EXPECT_EQ(0xEE, Contents(clone)[3]);  // outlives the original
  EXPECT_EQ(0u, clone->Release());
  IStream* other = Make(kTen);
  EXPECT_HR(STG_E_INVALIDPOINTER, other->Clone(nullptr));
  other->Release();
}

INSTANTIATE_TEST_SUITE_P(Kinds, SharedStreamTest,
                         ::testing::Values(StreamKind{"Memory", MakeMemory},
                                           StreamKind{"File", MakeFile}),
                         [](const ::testing::TestParamInfo<StreamKind>& kind) {
                           return std::string(kind.param.name);
                         });

TEST(MemoryStream, FailureHooksAndSizeLimit) {
  CMemoryStream* stream = CMemoryStream::Create(kTen.data(), kTen.size());
  ASSERT_NE(stream, nullptr);
  BYTE buffer[8];
  ULONG done = 0;
  // Reads: 6 more bytes go through, then every read fails.
  stream->FailReadsAfter(6);
  EXPECT_HR(S_OK, stream->Read(buffer, 4, &done));
  EXPECT_HR(STG_E_READFAULT, stream->Read(buffer, 4, &done));
  EXPECT_EQ(2u, done);
  EXPECT_HR(STG_E_READFAULT, stream->Read(buffer, 1, &done));
  EXPECT_EQ(0u, done);
  // Writes: likewise after 3 bytes.
  stream->FailWritesAfter(3);
  EXPECT_HR(STG_E_MEDIUMFULL, stream->Write(buffer, 5, &done));
  EXPECT_EQ(3u, done);
  EXPECT_EQ(9u, stream->Position());
  EXPECT_HR(STG_E_MEDIUMFULL, stream->Write(buffer, 1, &done));
  EXPECT_EQ(0u, done);
  stream->FailWritesAfter(~0ull);
  // A write or size past the limit changes nothing; a huge seek then write cannot allocate it.
  stream->SetSizeLimit(12);
  EXPECT_HR(STG_E_MEDIUMFULL, stream->Write(buffer, 4, &done));
  EXPECT_EQ(0u, done);
  EXPECT_HR(STG_E_MEDIUMFULL, stream->SetSize(Size(13)));
  EXPECT_EQ(10u, stream->Bytes().size());
  stream->SetSizeLimit(CMemoryStream::kDefaultSizeLimit);
  stream->Seek(Move(-1), STREAM_SEEK_SET, nullptr);
  ASSERT_HR(S_OK, stream->Seek(Move(LLONG_MAX), STREAM_SEEK_SET, nullptr));
  EXPECT_HR(STG_E_MEDIUMFULL, stream->Write(buffer, 1, &done));
  EXPECT_EQ(10u, stream->Bytes().size());
  EXPECT_EQ(0u, stream->Release());
  EXPECT_EQ(nullptr, CMemoryStream::Create(nullptr, 3));
}

TEST(FileStream, NameAccessAndMissingFiles) {
  TempFolder folder;
  const std::basic_string<WCHAR> path = Wide(folder / "named.bin");
  CFileStream* stream = nullptr;
  EXPECT_HR(STG_E_FILENOTFOUND, CFileStream::Open(path.c_str(), NxFileAccess::Read,
                                                  NxFileCreate::OpenExisting, &stream));
  EXPECT_EQ(nullptr, stream);
  EXPECT_HR(E_POINTER, CFileStream::Open(path.c_str(), NxFileAccess::Read,
                                         NxFileCreate::OpenExisting, nullptr));
  ASSERT_HR(S_OK, CFileStream::Open(path.c_str(), NxFileAccess::Write, NxFileCreate::CreateAlways,
                                    &stream));
  BYTE buffer[4] = {1, 2, 3, 4};
  EXPECT_HR(S_OK, stream->Write(buffer, 4, nullptr));
  EXPECT_HR(STG_E_ACCESSDENIED, stream->Read(buffer, 1, nullptr));
  const LONG outstanding = NxTaskMemOutstanding();
  STATSTG stat;
  ASSERT_HR(S_OK, stream->Stat(&stat, STATFLAG_DEFAULT));
  ASSERT_NE(stat.pwcsName, nullptr);
  EXPECT_EQ(path, std::basic_string<WCHAR>(stat.pwcsName));
  EXPECT_EQ(4u, stat.cbSize.QuadPart);
  CoTaskMemFree(stat.pwcsName);
  EXPECT_EQ(outstanding, NxTaskMemOutstanding());
  NxTaskMemFailNext(1);
  EXPECT_HR(STG_E_INSUFFICIENTMEMORY, stream->Stat(&stat, STATFLAG_DEFAULT));
  EXPECT_EQ(0u, stream->Release());

  ASSERT_HR(S_OK, CFileStream::Open(path.c_str(), NxFileAccess::Read, NxFileCreate::OpenExisting,
                                    &stream));
  ULONG done = 9;
  EXPECT_HR(STG_E_ACCESSDENIED, stream->Write(buffer, 1, &done));
  EXPECT_EQ(0u, done);
  EXPECT_HR(STG_E_ACCESSDENIED, stream->SetSize(Size(0)));
  EXPECT_EQ((std::vector<BYTE>{1, 2, 3, 4}), Contents(stream));
  EXPECT_EQ(0u, stream->Release());
}

}  // namespace
