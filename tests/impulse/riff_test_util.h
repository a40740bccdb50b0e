// Helpers shared by the RIFF and summary tests: statuses printed in hex, and a memory file that
// closes itself.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/memory_file.h"
#include "toolkit/status.h"

inline std::string Hex(NXSTATUS status) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(status));
  return text;
}
#define EXPECT_STATUS(expected, actual) EXPECT_EQ(Hex(expected), Hex(actual))
#define ASSERT_STATUS(expected, actual) ASSERT_EQ(Hex(expected), Hex(actual))

class MemFile {
 public:
  explicit MemFile(const std::vector<BYTE>& bytes,
                   NxMemoryAccess access = NxMemoryAccess::ReadWrite)
      : file_(NxCreateMemoryFile(bytes.data(), bytes.size(), access)) {}
  ~MemFile() { NxCloseFile(file_); }
  MemFile(const MemFile&) = delete;
  MemFile& operator=(const MemFile&) = delete;

  NxMemoryFile* operator->() const { return file_; }
  operator NxFileHandle() const { return file_; }
  DWORD Pos() const { return static_cast<DWORD>(file_->Position()); }
  void Seek(DWORD position) const { file_->Seek(position, NxSeekOrigin::Begin, nullptr); }

 private:
  NxMemoryFile* file_;
};
