// Helpers shared by the RIFF and summary tests: statuses printed in hex, RIFF bytes built
// explicitly (little-endian, pad bytes where a size is odd), and a memory file that closes itself.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "impulse/riff.h"
#include "platform/memory_file.h"

typedef std::vector<BYTE> Bytes;
typedef std::basic_string<WCHAR> WString;

inline std::string Hex(NXSTATUS status) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(status));
  return text;
}
#define EXPECT_STATUS(expected, actual) EXPECT_EQ(Hex(expected), Hex(actual))
#define ASSERT_STATUS(expected, actual) ASSERT_EQ(Hex(expected), Hex(actual))

inline DWORD Id(const char* four) { return NxFourCC(four[0], four[1], four[2], four[3]); }
inline std::string Le32(DWORD v) {
  return {char(v & 0xFF), char((v >> 8) & 0xFF), char((v >> 16) & 0xFF), char(v >> 24)};
}
inline std::string Chunk(const std::string& id, const std::string& data) {
  return id + Le32(static_cast<DWORD>(data.size())) + data + std::string(data.size() % 2, '\0');
}
inline std::string List(const std::string& type, const std::string& body) {
  return "LIST" + Le32(static_cast<DWORD>(body.size() + 4)) + type + body;
}
inline Bytes Riff(const std::string& body, const std::string& form = "WAVE") {
  const std::string file = "RIFF" + Le32(static_cast<DWORD>(body.size() + 4)) + form + body;
  return Bytes(file.begin(), file.end());
}
inline Bytes B(const std::string& s) { return Bytes(s.begin(), s.end()); }
inline DWORD At32(const Bytes& b, size_t at) {
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | DWORD{b[at + 3]} << 24;
}

class MemFile {
 public:
  explicit MemFile(const Bytes& bytes, NxMemoryAccess access = NxMemoryAccess::ReadWrite)
      : file_(NxCreateMemoryFile(bytes.data(), bytes.size(), access)) {}
  ~MemFile() { NxCloseFile(file_); }
  MemFile(const MemFile&) = delete;
  MemFile& operator=(const MemFile&) = delete;
  NxMemoryFile* operator->() const { return file_; }
  operator NxFileHandle() const { return file_; }
  DWORD Pos() const { return static_cast<DWORD>(file_->Position()); }
  const MemFile& Seek(DWORD position) const {
    file_->Seek(position, NxSeekOrigin::Begin, nullptr);
    return *this;
  }

 private:
  NxMemoryFile* file_;
};
