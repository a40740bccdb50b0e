// Wave files for the wave reader tests: built byte by byte in memory, or made by the reference
// tools (sox, ffmpeg, sndfile-convert) in a temporary folder at test time.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/memory_file.h"

using Bytes = std::vector<BYTE>;

inline void PutLe(Bytes* out, DWORD value, int width) {
  for (int i = 0; i < width; ++i) out->push_back(static_cast<BYTE>(value >> (8 * i)));
}

// One chunk: `size` is written as given (to lie about it) unless it is kTrueSize.
struct Chunk {
  static constexpr ULONGLONG kTrueSize = ~0ull;
  const char* id;
  Bytes data;
  ULONGLONG size = kTrueSize;
};

// "RIFF" <size> "WAVE" and the chunks, each padded to even.
inline Bytes Riff(const std::vector<Chunk>& chunks, const char* form = "WAVE") {
  Bytes out(form, form + 4);
  for (const Chunk& c : chunks) {
    out.insert(out.end(), c.id, c.id + 4);
    PutLe(&out, static_cast<DWORD>(c.size == Chunk::kTrueSize ? c.data.size() : c.size), 4);
    out.insert(out.end(), c.data.begin(), c.data.end());
    if (c.data.size() % 2) out.push_back(0);
  }
  Bytes riff{'R', 'I', 'F', 'F'};
  PutLe(&riff, static_cast<DWORD>(out.size()), 4);
  riff.insert(riff.end(), out.begin(), out.end());
  return riff;
}

// A "fmt " payload: the 16 common bytes, then cbSize and `extra` when there is extra data or
// `withCbSize` asks for a cbSize of 0.
inline Bytes Fmt(WORD tag, WORD channels, DWORD rate, WORD blockAlign, WORD bits,
                 const Bytes& extra = {}, bool withCbSize = false) {
  Bytes out;
  PutLe(&out, tag, 2);
  PutLe(&out, channels, 2);
  PutLe(&out, rate, 4);
  PutLe(&out, rate * blockAlign, 4);
  PutLe(&out, blockAlign, 2);
  PutLe(&out, bits, 2);
  if (withCbSize || !extra.empty()) PutLe(&out, static_cast<DWORD>(extra.size()), 2);
  out.insert(out.end(), extra.begin(), extra.end());
  return out;
}

// WAVEFORMATEXTENSIBLE extension (22 bytes) with the SubFormat GUID of `subTag`.
inline Bytes ExtensibleTail(WORD validBits, WORD subTag) {
  Bytes out;
  PutLe(&out, validBits, 2);
  PutLe(&out, 3, 4);  // channel mask
  PutLe(&out, subTag, 2);
  const BYTE tail[14] = {0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71};
  out.insert(out.end(), tail, tail + 14);
  return out;
}

inline NxFileHandle MemoryFile(const Bytes& bytes) {
  return NxCreateMemoryFile(bytes.data(), bytes.size(), NxMemoryAccess::ReadOnly);
}

// A temporary folder for tool-made files, removed at the end.
class ToolFolder {
 public:
  ToolFolder() {
    path_ = std::filesystem::temp_directory_path() /
            ("auralith_wave_" + std::to_string(reinterpret_cast<uintptr_t>(this)) + "_" +
             std::to_string(std::rand()));
    std::filesystem::create_directories(path_);
  }
  ~ToolFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  std::string operator/(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

inline bool HaveTool(const std::string& tool) {
  return std::system(("command -v " + tool + " >/dev/null 2>&1").c_str()) == 0;
}

inline bool RunTool(const std::string& command) {
  return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

inline Bytes ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// ASCII path as the UTF-16 text the file API takes.
inline std::basic_string<WCHAR> Wide(const std::string& text) {
  return std::basic_string<WCHAR>(text.begin(), text.end());
}
