// Impulse and wave files for the impulse-file and loader tests, built byte by byte.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "impulse/irx_scramble.h"
#include "platform/memory_file.h"

namespace irxtest {

using Bytes = std::vector<BYTE>;

inline void Put(Bytes* out, DWORD value, int width = 4) {
  for (int i = 0; i < width; ++i) out->push_back(static_cast<BYTE>(value >> (8 * i)));
}
inline Bytes operator+(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}
inline DWORD Get32(const Bytes& bytes, size_t at) {
  return bytes.at(at) | (bytes.at(at + 1) << 8) | (bytes.at(at + 2) << 16) |
         (static_cast<DWORD>(bytes.at(at + 3)) << 24);
}

// A chunk with its header and pad byte; `size` lies about the data when not ~0.
inline Bytes ChunkBytes(const char* id, const Bytes& data, DWORD size = ~0u) {
  Bytes out(id, id + 4);
  Put(&out, size != ~0u ? size : static_cast<DWORD>(data.size()));
  out = out + data;
  if (data.size() % 2) out.push_back(0);
  return out;
}

inline Bytes RiffFile(const char* form, const Bytes& body) {
  Bytes out{'R', 'I', 'F', 'F'};
  Put(&out, static_cast<DWORD>(body.size() + 4));
  return out + Bytes(form, form + 4) + body;
}

inline Bytes InfoList(const std::vector<std::pair<const char*, std::string>>& items) {
  Bytes data{'I', 'N', 'F', 'O'};
  for (const auto& item : items) {
    data = data + ChunkBytes(item.first, Bytes(item.second.begin(), item.second.end()) + Bytes{0});
  }
  return ChunkBytes("LIST", data);
}

inline Bytes DisplayChunk(DWORD format, const Bytes& item) {
  Bytes data;
  Put(&data, format);
  return ChunkBytes("DISP", data + item);
}

// A wave file; tag 0xFFFE writes the extensible record with `subFormat` (1 PCM, 3 float).
inline Bytes WaveFile(WORD tag, WORD channels, DWORD rate, WORD bits, const Bytes& data,
                      const Bytes& before = {}, const Bytes& after = {}, WORD subFormat = 0) {
  Bytes format;
  const DWORD align = channels * bits / 8;
  for (DWORD v : {DWORD{tag}, DWORD{channels}}) Put(&format, v, 2);
  for (DWORD v : {rate, rate * align}) Put(&format, v);
  for (DWORD v : {align, DWORD{bits}}) Put(&format, v, 2);
  if (tag != 1 && tag != 3 && tag != 0xFFFE) Put(&format, 0, 2);  // codecs need cbSize
  if (tag == 0xFFFE) {
    for (DWORD v : {22u, DWORD{bits}}) Put(&format, v, 2);
    Put(&format, 0);
    Put(&format, subFormat);
    format = format + Bytes{0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71};
  }
  return RiffFile("WAVE", ChunkBytes("fmt ", format) + before + ChunkBytes("data", data) + after);
}

// Header fields of a hand-made impulse file; ~0 means "as the contents say".
struct IrxFields {
  DWORD headerSize = 36, version = 100, channels = 1, bytesPerSample = 2;
  DWORD dataBytes = ~0u, sampleRate = 44100, nameLength = ~0u, chunkSize = ~0u;
};

// An impulse file holding `samples` (stored bytes, scrambled here block by block) or, when
// `name` is not empty, a reference to `name`.
inline Bytes IrxFile(const IrxFields& f, const Bytes& samples, const std::string& name = "",
                     const Bytes& after = {}) {
  Bytes payload = samples;
  for (size_t at = 0; at < payload.size(); at += kIrxBlockBytes) {
    const DWORD n = static_cast<DWORD>(std::min<size_t>(kIrxBlockBytes, payload.size() - at));
    ScrambleImpulseBlock(payload.data() + at, n, kIrxScramble);
  }
  if (!name.empty()) payload = Bytes(name.begin(), name.end()) + Bytes{0};
  Bytes data;
  for (DWORD w : {f.headerSize, f.version, f.channels, f.bytesPerSample,
                  f.dataBytes != ~0u ? f.dataBytes : static_cast<DWORD>(samples.size()),
                  f.sampleRate, 0u, 0u, 0u}) {
    Put(&data, w);
  }
  if (f.headerSize > 36 && f.headerSize < 64) data.resize(f.headerSize, 0xEE);
  Put(&data, f.nameLength != ~0u ? f.nameLength : (name.empty() ? 0 : name.size() + 1));
  return RiffFile("IRXP", ChunkBytes("fmt ", data + payload, f.chunkSize) + after);
}

// A memory file holding `bytes`, for the calls that take a file over.
inline NxFileHandle Mem(const Bytes& bytes) {
  return NxCreateMemoryFile(bytes.data(), bytes.size(), NxMemoryAccess::ReadWrite);
}

// Values on the 16-bit scale that 16, 24-bit and float encodings hold exactly.
inline float TestValue(size_t i) {
  return static_cast<float>(static_cast<int>((i * 7919 + 13) % 65535) - 32767);
}

}  // namespace irxtest
