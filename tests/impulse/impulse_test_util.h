// Shared by the impulse tests: RIFF, wave and impulse files built byte by byte (little-endian, a
// pad byte behind odd data), memory files, a temporary folder, statuses printed in hex.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "impulse/irx_scramble.h"
#include "impulse/riff.h"
#include "platform/memory_file.h"

using Bytes = std::vector<BYTE>;
using WString = std::basic_string<WCHAR>;

inline Bytes& operator+=(Bytes& a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}
inline Bytes operator+(Bytes a, const Bytes& b) { return a += b; }
inline Bytes B(const std::string& s) { return Bytes(s.begin(), s.end()); }
inline Bytes Z(const std::string& s) { return B(s) + Bytes{0}; }  // ANSI text with its zero
inline WString W(const std::string& s) { return WString(s.begin(), s.end()); }
inline Bytes Le(std::initializer_list<DWORD> values, int width = 4) {
  Bytes out;
  for (DWORD v : values) {
    for (int i = 0; i < width; ++i) out.push_back(static_cast<BYTE>(v >> (8 * i)));
  }
  return out;
}
inline DWORD Get32(const Bytes& b, size_t at) {
  return b.at(at) | b.at(at + 1) << 8 | b.at(at + 2) << 16 | DWORD{b.at(at + 3)} << 24;
}
inline DWORD Id(const char* four) { return NxFourCC(four[0], four[1], four[2], four[3]); }

inline std::string Hex(NXSTATUS status) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(status));
  return text;
}
#define EXPECT_STATUS(expected, actual) EXPECT_EQ(Hex(expected), Hex(actual))
#define ASSERT_STATUS(expected, actual) ASSERT_EQ(Hex(expected), Hex(actual))

// A chunk and its pad byte; `size` lies about the data when given.
inline Bytes Chunk(const char* id, const Bytes& data, LONGLONG size = -1) {
  Bytes out =
      Bytes(id, id + 4) + Le({static_cast<DWORD>(size >= 0 ? size : LONGLONG(data.size()))}) + data;
  if (data.size() % 2) out.push_back(0);
  return out;
}
inline Bytes List(const char* type, const Bytes& body) { return Chunk("LIST", B(type) + body); }
inline Bytes Riff(const Bytes& body, const char* form = "WAVE") {
  return B("RIFF") + Le({static_cast<DWORD>(body.size() + 4)}) + B(form) + body;
}
inline Bytes InfoList(std::initializer_list<std::pair<const char*, std::string>> items) {
  Bytes body;
  for (const auto& item : items) body += Chunk(item.first, Z(item.second));
  return List("INFO", body);
}
inline Bytes DisplayChunk(DWORD format, const Bytes& item) {
  return Chunk("DISP", Le({format}) + item);
}

// A "fmt " payload; cbSize and `extra` follow when there is extra data or `withCbSize`.
inline Bytes Fmt(WORD tag, WORD channels, DWORD rate, WORD blockAlign, WORD bits,
                 const Bytes& extra = {}, bool withCbSize = false) {
  Bytes out = Le({tag, channels}, 2) + Le({rate, rate * blockAlign}) + Le({blockAlign, bits}, 2);
  if (withCbSize || !extra.empty()) out = out + Le({static_cast<DWORD>(extra.size())}, 2) + extra;
  return out;
}
// WAVEFORMATEXTENSIBLE's 22 extra bytes with the SubFormat GUID of `subTag`.
inline Bytes ExtensibleTail(WORD bits, WORD subTag, BYTE guidLast = 0x71) {
  return Le({bits}, 2) + Le({3}) + Le({subTag}, 2) +
         Bytes{0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, guidLast};
}
// A wave file; tag 0xFFFE is the extensible record of `subFormat` (1 PCM, 3 float).
inline Bytes WaveFile(WORD tag, WORD channels, DWORD rate, WORD bits, const Bytes& data,
                      const Bytes& before = {}, const Bytes& after = {}, WORD subFormat = 0) {
  const WORD align = static_cast<WORD>(channels * bits / 8);
  const Bytes fmt = tag == 0xFFFE
                        ? Fmt(tag, channels, rate, align, bits, ExtensibleTail(bits, subFormat))
                        : Fmt(tag, channels, rate, align, bits, {}, tag != 1 && tag != 3);
  return Riff(Chunk("fmt ", fmt) + before + Chunk("data", data) + after);
}

// Header fields of a hand-made impulse file; ~0 means "as the contents say".
struct IrxFields {
  DWORD headerSize = 36, version = 100, channels = 1, bytesPerSample = 2;
  DWORD dataBytes = ~0u, sampleRate = 44100, nameLength = ~0u, chunkSize = ~0u;
};
// An impulse file holding `samples` (stored bytes, scrambled here block by block) or, when `name`
// is not empty, a reference to `name`.
inline Bytes IrxFile(const IrxFields& f, const Bytes& samples, const std::string& name = "",
                     const Bytes& after = {}) {
  Bytes payload = name.empty() ? samples : Z(name);
  for (size_t at = 0; name.empty() && at < payload.size(); at += kIrxBlockBytes) {
    const size_t n = std::min<size_t>(kIrxBlockBytes, payload.size() - at);
    ScrambleImpulseBlock(payload.data() + at, static_cast<DWORD>(n), kIrxScramble);
  }
  Bytes header = Le({f.headerSize, f.version, f.channels, f.bytesPerSample,
                     f.dataBytes != ~0u ? f.dataBytes : static_cast<DWORD>(samples.size()),
                     f.sampleRate, 0, 0, 0});
  if (f.headerSize > 36 && f.headerSize < 64) header.resize(f.headerSize, 0xEE);
  const DWORD nameLength = static_cast<DWORD>(name.empty() ? 0 : name.size() + 1);
  header = header + Le({f.nameLength != ~0u ? f.nameLength : nameLength});
  const LONGLONG chunkSize = f.chunkSize != ~0u ? LONGLONG{f.chunkSize} : -1;
  return Riff(Chunk("fmt ", header + payload, chunkSize) + after, "IRXP");
}

// A memory file for calls that take the file over and close it.
inline NxFileHandle Mem(const Bytes& bytes) {
  return NxCreateMemoryFile(bytes.data(), bytes.size(), NxMemoryAccess::ReadWrite);
}
// A memory file that closes itself.
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

// A temporary folder, removed with everything in it at the end.
class TempFolder {
 public:
  TempFolder()
      : path_(std::filesystem::temp_directory_path() /
              ("auralith_impulse_" + std::to_string(std::random_device{}()))) {
    std::filesystem::create_directories(path_);
  }
  ~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  std::string operator/(const std::string& name) const { return (path_ / name).string(); }
  const std::filesystem::path& path() const { return path_; }
  // The UTF-16 path of `name`, valid as long as the folder.
  const WCHAR* Wide(const std::string& name) {
    return names_.emplace_back(W(*this / name)).c_str();
  }
  void Write(const std::string& name, const Bytes& bytes) const {
    std::ofstream(*this / name, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<long>(bytes.size()));
  }
  Bytes Read(const std::string& name) const {
    std::ifstream in(*this / name, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

 private:
  std::filesystem::path path_;
  std::deque<WString> names_;
};

inline bool RunTool(const std::string& command) {
  return std::system((command + " >/dev/null 2>&1 </dev/null").c_str()) == 0;
}
