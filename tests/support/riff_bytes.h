// Little-endian bytes, RIFF chunks and wave files built byte by byte, for tests and for the
// fuzz corpus writer (so no test framework here).
#pragma once

#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "platform/types.h"

using Bytes = std::vector<BYTE>;

inline Bytes& operator+=(Bytes& a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}
inline Bytes operator+(Bytes a, const Bytes& b) { return a += b; }
inline Bytes B(const std::string& s) { return Bytes(s.begin(), s.end()); }
inline Bytes Z(const std::string& s) { return B(s) + Bytes{0}; }  // ANSI text with its zero
// Each value in `width` bytes, lowest first.
inline Bytes Le(std::initializer_list<DWORD> values, int width = 4) {
  Bytes out;
  for (DWORD v : values) {
    for (int i = 0; i < width; ++i) out.push_back(static_cast<BYTE>(v >> (8 * i)));
  }
  return out;
}
inline DWORD GetLe(const Bytes& b, size_t at, int width = 4) {
  DWORD v = 0;
  for (int i = width - 1; i >= 0; --i) v = v << 8 | b.at(at + static_cast<size_t>(i));
  return v;
}
// A chunk and its pad byte; `size` lies about the data when given.
inline Bytes Chunk(const char* id, const Bytes& data, long long size = -1) {
  Bytes out =
      Bytes(id, id + 4) + Le({static_cast<DWORD>(size >= 0 ? size : static_cast<long long>(data.size()))}) + data;
  if (data.size() % 2) out.push_back(0);
  return out;
}
inline Bytes Riff(const Bytes& body, const char* form = "WAVE") {
  return B("RIFF") + Le({static_cast<DWORD>(body.size() + 4)}) + B(form) + body;
}
inline Bytes List(const char* type, const Bytes& body) { return Chunk("LIST", B(type) + body); }
// A LIST "INFO" of (id, ANSI text) items.
inline Bytes InfoList(std::initializer_list<std::pair<const char*, std::string>> items) {
  Bytes body;
  for (const auto& item : items) body += Chunk(item.first, Z(item.second));
  return List("INFO", body);
}
// A "fmt " payload; cbSize and `extra` follow when there is extra data or `withCbSize`.
inline Bytes Fmt(WORD tag, WORD channels, DWORD rate, WORD blockAlign, WORD bits,
                 const Bytes& extra = {}, bool withCbSize = false) {
  Bytes out = Le({tag, channels}, 2) + Le({rate, rate * blockAlign}) + Le({blockAlign, bits}, 2);
  if (withCbSize || !extra.empty()) out = out + Le({static_cast<DWORD>(extra.size())}, 2) + extra;
  return out;
}
// WAVEFORMATEXTENSIBLE's 22 extra bytes with the SubFormat GUID of `subTag`.
inline Bytes ExtensibleTail(WORD bits, WORD subTag, BYTE guidLast = 0x71, DWORD channelMask = 3) {
  return Le({bits}, 2) + Le({channelMask}) + Le({subTag}, 2) +
         Bytes{0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, guidLast};
}
// A wave file; tag 0xFFFE is the extensible record of `subFormat` (1 PCM, 3 float). Chunks in
// `before` and `after` go around the data.
inline Bytes WaveFile(WORD tag, WORD channels, DWORD rate, WORD bits, const Bytes& data,
                      const Bytes& before = {}, const Bytes& after = {}, WORD subFormat = 0) {
  const WORD align = static_cast<WORD>(channels * bits / 8);
  const Bytes fmt = tag == 0xFFFE
                        ? Fmt(tag, channels, rate, align, bits, ExtensibleTail(bits, subFormat))
                        : Fmt(tag, channels, rate, align, bits, {}, tag != 1 && tag != 3);
  return Riff(Chunk("fmt ", fmt) + before + Chunk("data", data) + after);
}

