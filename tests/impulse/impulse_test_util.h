// Shared by the impulse tests: RIFF, wave and impulse files built byte by byte (little-endian, a
// pad byte behind odd data), memory files, a temporary folder, statuses printed in hex.
#pragma once

#include <algorithm>

#include "impulse/irx_scramble.h"
#include "impulse/riff.h"
#include "platform/memory_file.h"
#include "tests/support/test_support.h"

inline DWORD Id(const char* four) { return NxFourCC(four[0], four[1], four[2], four[3]); }

inline Bytes DisplayChunk(DWORD format, const Bytes& item) {
  return Chunk("DISP", Le({format}) + item);
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
  explicit MemFile(const Bytes& bytes)
      : file_(NxCreateMemoryFile(bytes.data(), bytes.size(), NxMemoryAccess::ReadWrite)) {}
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

