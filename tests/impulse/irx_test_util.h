// Impulse and wave files for the impulse-file and loader tests, built byte by byte.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "impulse/irx_scramble.h"
#include "platform/memory_file.h"

namespace irxtest {

using Bytes = std::vector<BYTE>;

inline void Put32(Bytes* out, DWORD value) {
  for (int i = 0; i < 4; ++i) out->push_back(static_cast<BYTE>(value >> (8 * i)));
}
inline void Put16(Bytes* out, DWORD value) {
  out->push_back(static_cast<BYTE>(value));
  out->push_back(static_cast<BYTE>(value >> 8));
}
inline Bytes operator+(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}
inline DWORD Get32(const Bytes& bytes, size_t at) {
  DWORD value = 0;
  for (int i = 3; i >= 0; --i) value = (value << 8) | bytes.at(at + i);
  return value;
}

// A chunk with its header and pad byte; `size` lies about the data when not ~0.
inline Bytes ChunkBytes(const char* id, const Bytes& data, DWORD size = ~0u) {
  Bytes out(id, id + 4);
  Put32(&out, size != ~0u ? size : static_cast<DWORD>(data.size()));
  out.insert(out.end(), data.begin(), data.end());
  if (data.size() % 2) out.push_back(0);
  return out;
}

// "RIFF", the size of what follows, the form type, then `body` (whole chunks).
inline Bytes RiffFile(const char* form, const Bytes& body) {
  Bytes out{'R', 'I', 'F', 'F'};
  Put32(&out, static_cast<DWORD>(body.size() + 4));
  out.insert(out.end(), form, form + 4);
  out.insert(out.end(), body.begin(), body.end());
  return out;
}

// A "LIST" "INFO" chunk of ANSI items.
inline Bytes InfoList(const std::vector<std::pair<const char*, std::string>>& items) {
  Bytes data{'I', 'N', 'F', 'O'};
  for (const auto& item : items) {
    Bytes text(item.second.begin(), item.second.end());
    text.push_back(0);
    const Bytes sub = ChunkBytes(item.first, text);
    data.insert(data.end(), sub.begin(), sub.end());
  }
  return ChunkBytes("LIST", data);
}

inline Bytes DisplayChunk(DWORD format, const Bytes& item) {
  Bytes data;
  Put32(&data, format);
  data.insert(data.end(), item.begin(), item.end());
  return ChunkBytes("DISP", data);
}

// The "fmt " chunk of a wave file; tag 0xFFFE writes the extensible record with `subFormat`.
inline Bytes WaveFormat(WORD tag, WORD channels, DWORD rate, WORD bits, WORD subFormat = 0) {
  Bytes out;
  const WORD align = static_cast<WORD>(channels * bits / 8);
  Put16(&out, tag);
  Put16(&out, channels);
  Put32(&out, rate);
  Put32(&out, rate * align);
  Put16(&out, align);
  Put16(&out, bits);
  if (tag != 1 && tag != 3 && tag != 0xFFFE) Put16(&out, 0);  // codecs need cbSize
  if (tag == 0xFFFE) {
    Put16(&out, 22);
    Put16(&out, bits);
    Put32(&out, 0);
    const BYTE guidTail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                               0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
    Put16(&out, subFormat);
    out.insert(out.end(), guidTail, guidTail + 14);
  }
  return ChunkBytes("fmt ", out);
}

inline Bytes WaveFile(WORD tag, WORD channels, DWORD rate, WORD bits, const Bytes& data,
                      const Bytes& before = {}, const Bytes& after = {}, WORD subFormat = 0) {
  Bytes body = WaveFormat(tag, channels, rate, bits, subFormat);
  body.insert(body.end(), before.begin(), before.end());
  const Bytes chunk = ChunkBytes("data", data);
  body.insert(body.end(), chunk.begin(), chunk.end());
  body.insert(body.end(), after.begin(), after.end());
  return RiffFile("WAVE", body);
}

// Header fields of a hand-made impulse file.
struct IrxFields {
  DWORD headerSize = 36;
  DWORD version = 100;
  DWORD channels = 1;
  DWORD bytesPerSample = 2;
  DWORD dataBytes = ~0u;  // ~0: the payload's size
  DWORD sampleRate = 44100;
  DWORD nameLength = ~0u;  // ~0: 0 for samples, the name's bytes for a reference
  DWORD chunkSize = ~0u;   // ~0: the true size
};

// An impulse file holding `samples` (stored bytes, scrambled here block by block) or, when
// `name` is not empty, a reference to `name` (terminator added).
inline Bytes IrxFile(const IrxFields& f, const Bytes& samples, const std::string& name = "",
                     const Bytes& after = {}) {
  Bytes payload;
  if (name.empty()) {
    payload = samples;
    for (size_t at = 0; at < payload.size(); at += kIrxBlockBytes) {
      const DWORD n = static_cast<DWORD>(std::min<size_t>(kIrxBlockBytes, payload.size() - at));
      ScrambleImpulseBlock(payload.data() + at, n, kIrxScramble);
    }
  } else {
    payload.assign(name.begin(), name.end());
    payload.push_back(0);
  }
  Bytes data;
  const DWORD words[6] = {f.headerSize, f.version, f.channels, f.bytesPerSample,
                          f.dataBytes != ~0u ? f.dataBytes : static_cast<DWORD>(samples.size()),
                          f.sampleRate};
  for (DWORD w : words) Put32(&data, w);
  data.resize(data.size() + 12 + (f.headerSize > 36 && f.headerSize < 64 ? f.headerSize - 36 : 0));
  Put32(&data, f.nameLength != ~0u ? f.nameLength
                                   : (name.empty() ? 0 : static_cast<DWORD>(payload.size())));
  data.insert(data.end(), payload.begin(), payload.end());
  Bytes body = ChunkBytes("fmt ", data, f.chunkSize);
  body.insert(body.end(), after.begin(), after.end());
  return RiffFile("IRXP", body);
}

// A read-write memory file holding `bytes`, for the calls that take a file over.
inline NxFileHandle Mem(const Bytes& bytes) {
  return NxCreateMemoryFile(bytes.data(), bytes.size(), NxMemoryAccess::ReadWrite);
}

// Values of a test signal on the 16-bit scale that 16, 24-bit and float encodings hold exactly.
inline float TestValue(size_t i) {
  return static_cast<float>(static_cast<int>((i * 7919 + 13) % 65535) - 32767);
}

}  // namespace irxtest
