#include "platform/file.h"

#include "tests/support/test_support.h"

#include "platform/memory_file.h"

namespace {

namespace fs = std::filesystem;

Bytes ReadWhole(NxFile* file) {
  ULONGLONG size = 0;
  DWORD done = 0;
  EXPECT_TRUE(file->GetSize(&size) && file->Seek(0, NxSeekOrigin::Begin, nullptr));
  Bytes bytes(static_cast<size_t>(size));
  EXPECT_TRUE(file->Read(bytes.data(), static_cast<DWORD>(size), &done) && done == size);
  return bytes;
}

// Behaviour every back end shares, run against a fresh, empty, writable file.
void CheckCommonBehaviour(NxFile* file) {
  const BYTE data[5] = {1, 2, 3, 4, 5};
  BYTE buffer[8] = {};
  DWORD done = 0;
  ULONGLONG position = 99;
  ASSERT_TRUE(file->Write(data, 5, &done) && done == 5);
  ASSERT_TRUE(file->Seek(2, NxSeekOrigin::Begin, &position) && position == 2);
  ASSERT_TRUE(file->Read(buffer, 8, &done));  // past the end: fewer bytes, still success
  EXPECT_TRUE(done == 3 && buffer[0] == 3);
  ASSERT_TRUE(file->Read(buffer, 8, &done));
  EXPECT_EQ(done, 0u);
  EXPECT_FALSE(file->Seek(-6, NxSeekOrigin::Current, &position));  // before 0
  ASSERT_TRUE(file->Seek(-1, NxSeekOrigin::End, &position));
  EXPECT_EQ(position, 4u);
  // Writing past the end fills the gap with zeros; SetEnd cuts at the position and lengthens.
  ASSERT_TRUE(file->Seek(7, NxSeekOrigin::Begin, nullptr) && file->Write(data, 1, &done));
  EXPECT_EQ(ReadWhole(file), (Bytes{1, 2, 3, 4, 5, 0, 0, 1}));
  ASSERT_TRUE(file->Seek(3, NxSeekOrigin::Begin, nullptr) && file->SetEnd());
  EXPECT_EQ(ReadWhole(file), (Bytes{1, 2, 3}));
  ASSERT_TRUE(file->Seek(5, NxSeekOrigin::Begin, nullptr) && file->SetEnd());
  EXPECT_EQ(ReadWhole(file), (Bytes{1, 2, 3, 0, 0}));
}

TEST(MemoryFile, BehavesLikeAFileAndRefusesWritesWhenReadOnlyOrFull) {
  NxMemoryFile* file = NxCreateMemoryFile(nullptr, 0, NxMemoryAccess::ReadWrite);
  ASSERT_NE(file, nullptr);
  CheckCommonBehaviour(file);
  EXPECT_EQ(file->Bytes(), (Bytes{1, 2, 3, 0, 0}));
  NxCloseFile(file);

  const BYTE data[4] = {9, 8, 7, 6};
  NxMemoryFile* readOnly = NxCreateMemoryFile(data, 4, NxMemoryAccess::ReadOnly);
  DWORD done = 1;
  EXPECT_FALSE(readOnly->Write(data, 1, &done) || readOnly->SetEnd());
  EXPECT_EQ(done, 0u);
  EXPECT_EQ(readOnly->Bytes(), Bytes(data, data + 4));
  NxCloseFile(readOnly);

  NxMemoryFile* limited = NxCreateMemoryFile(data, 4, NxMemoryAccess::ReadWrite);
  limited->SetSizeLimit(6);
  ASSERT_TRUE(limited->Seek(0, NxSeekOrigin::End, nullptr));
  EXPECT_TRUE(limited->Write(data, 2, &done));
  EXPECT_FALSE(limited->Write(data, 1, &done));  // nothing written when it would not fit
  // A write far past the end fails on the limit instead of allocating gigabytes.
  limited->SetSizeLimit(1 << 20);
  ASSERT_TRUE(limited->Seek(0xFFFFFFF0ll, NxSeekOrigin::Begin, nullptr));
  EXPECT_FALSE(limited->Write(data, 4, &done));
  EXPECT_FALSE(limited->Seek(-0x100000000ll, NxSeekOrigin::Current, nullptr));
  EXPECT_EQ(limited->Bytes().size(), 6u);
  NxCloseFile(limited);
}

class DiskFileTest : public ::testing::Test {
 protected:
  WString Path(const std::string& name) const { return Wide((folder_ / name).string()); }
  NxFileHandle Open(const std::string& name, NxFileAccess access, NxFileCreate create) const {
    return NxOpenFile(Path(name).c_str(), access, create);
  }
  void WriteBytes(const std::string& name, const std::string& bytes) const {
    std::ofstream(folder_ / name, std::ios::binary) << bytes;
  }
  std::string ReadBytes(const std::string& name) const { return ReadFileText(temp_ / name); }
  TempFolder temp_;
  const fs::path& folder_ = temp_.path();
};

TEST_F(DiskFileTest, SharesTheMemoryFileBehaviourAndHonoursOpenModes) {
  NxFileHandle file = Open("a.bin", NxFileAccess::ReadWrite, NxFileCreate::CreateAlways);
  ASSERT_NE(file, nullptr);
  CheckCommonBehaviour(file);
  NxCloseFile(file);
  EXPECT_EQ(ReadBytes("a.bin"), std::string("\1\2\3\0\0", 5));

  EXPECT_EQ(Open("b.bin", NxFileAccess::Read, NxFileCreate::OpenExisting), nullptr);
  // Open always keeps the contents; opened for reading it refuses writes and truncation.
  file = Open("a.bin", NxFileAccess::Read, NxFileCreate::OpenAlways);
  ASSERT_NE(file, nullptr);
  DWORD done = 0;
  char buffer[8];
  EXPECT_TRUE(file->Read(buffer, 8, &done) && done == 5);
  EXPECT_FALSE(file->Write("x", 1, &done) || file->SetEnd());
  NxCloseFile(file);
  NxCloseFile(Open("a.bin", NxFileAccess::Write, NxFileCreate::CreateAlways));
  EXPECT_EQ(ReadBytes("a.bin"), "");
  // A folder is not a file; a missing folder fails the open.
  const WString folder = Wide(folder_.string());
  EXPECT_EQ(NxOpenFile(folder.c_str(), NxFileAccess::Read, NxFileCreate::OpenExisting), nullptr);
  EXPECT_FALSE(NxFileExists(folder.c_str()));
  EXPECT_EQ(Open("none/c.bin", NxFileAccess::Write, NxFileCreate::CreateAlways), nullptr);
  NxCloseFile(nullptr);
}

TEST_F(DiskFileTest, NamesAreUtf16AndUnpairedSurrogatesFail) {
  // "é" and U+1F600 as a surrogate pair become UTF-8 on disk.
  WString path = Path("x");
  path.back() = 0x00E9;
  NxCloseFile(NxOpenFile((path + WString{0xD83D, 0xDE00}).c_str(), NxFileAccess::Write,
                         NxFileCreate::CreateAlways));
  EXPECT_TRUE(fs::exists(folder_ / fs::u8path("\xC3\xA9\xF0\x9F\x98\x80")));
  for (WCHAR lone : {0xD83D, 0xDE00}) {
    path.back() = lone;
    EXPECT_EQ(NxOpenFile(path.c_str(), NxFileAccess::Write, NxFileCreate::CreateAlways), nullptr);
  }
  EXPECT_EQ(std::distance(fs::directory_iterator(folder_), fs::directory_iterator()), 1);
}

TEST_F(DiskFileTest, CopyAndDelete) {
  WriteBytes("src.bin", "source bytes");
  WriteBytes("dst.bin", "old and longer contents");
  const WString src = Path("src.bin"), dst = Path("dst.bin");
  EXPECT_FALSE(NxCopyFile(src.c_str(), dst.c_str(), true));
  EXPECT_EQ(ReadBytes("dst.bin"), "old and longer contents");
  EXPECT_TRUE(NxCopyFile(src.c_str(), dst.c_str(), false));
  EXPECT_EQ(ReadBytes("dst.bin"), "source bytes");
  // Onto itself: refused, and the file survives.
  EXPECT_FALSE(NxCopyFile(src.c_str(), src.c_str(), false));
  EXPECT_EQ(ReadBytes("src.bin"), "source bytes");
  EXPECT_TRUE(NxDeleteFile(dst.c_str()));
  EXPECT_FALSE(NxFileExists(dst.c_str()) || NxDeleteFile(dst.c_str()));
}

TEST_F(DiskFileTest, ModuleFolder) {
  WCHAR buffer[1024];
  ::unsetenv("AURALITH_MODULE_DIR");  // no suite sets it outside its own cases
  // Without the override: the folder of this test executable, with its separator.
  DWORD length = NxGetModuleFolder(buffer, 1024);
  ASSERT_GT(length, 0u);
  EXPECT_EQ(buffer[length - 1], kNxPathSeparator);
  EXPECT_EQ(WString(buffer, length),
            Wide(fs::canonical("/proc/self/exe").parent_path().string() + "/"));
  ::setenv("AURALITH_MODULE_DIR", folder_.string().c_str(), 1);
  length = NxGetModuleFolder(buffer, 1024);
  EXPECT_EQ(WString(buffer, length), Wide(folder_.string() + "/"));
  // Too small for the whole folder: nothing rather than a cut name.
  EXPECT_EQ(NxGetModuleFolder(buffer, length), 0u);
  EXPECT_EQ(buffer[0], 0);
  ::setenv("AURALITH_MODULE_DIR", "/tmp/caf\xC3\xA9/", 1);
  length = NxGetModuleFolder(buffer, 1024);
  EXPECT_EQ(WString(buffer, length), WString(NXW("/tmp/caf\u00E9/")));
  ::unsetenv("AURALITH_MODULE_DIR");
}

}  // namespace
