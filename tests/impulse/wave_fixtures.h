// Wave files for the wave reader tests: built byte by byte in memory, or made by the reference
// tools in a temporary folder at test time.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "platform/memory_file.h"

using Bytes = std::vector<BYTE>;

inline Bytes Le(std::initializer_list<DWORD> values, int width) {
  Bytes out;
  for (DWORD v : values) {
    for (int i = 0; i < width; ++i) out.push_back(static_cast<BYTE>(v >> (8 * i)));
  }
  return out;
}
inline Bytes operator+(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// A chunk whose size field is `size` when given (to lie about it), else the data's size.
struct Chunk {
  const char* id;
  Bytes data;
  long long size = -1;
};

inline Bytes Riff(const std::vector<Chunk>& chunks, const char* form = "WAVE") {
  Bytes body(form, form + 4);
  for (const Chunk& c : chunks) {
    body = body + Bytes(c.id, c.id + 4) +
           Le({static_cast<DWORD>(c.size < 0 ? c.data.size() : c.size)}, 4) + c.data;
    if (c.data.size() % 2) body.push_back(0);
  }
  return Bytes{'R', 'I', 'F', 'F'} + Le({static_cast<DWORD>(body.size())}, 4) + body;
}

// A "fmt " payload; cbSize and `extra` follow when there is extra data or `withCbSize`.
inline Bytes Fmt(WORD tag, WORD channels, DWORD rate, WORD blockAlign, WORD bits,
                 const Bytes& extra = {}, bool withCbSize = false) {
  Bytes out = Le({tag, channels}, 2) + Le({rate, rate * blockAlign}, 4) + Le({blockAlign, bits}, 2);
  if (withCbSize || !extra.empty()) out = out + Le({static_cast<DWORD>(extra.size())}, 2) + extra;
  return out;
}

// WAVEFORMATEXTENSIBLE's 22 extra bytes with the SubFormat GUID of `subTag`.
inline Bytes ExtensibleTail(WORD bits, WORD subTag) {
  return Le({bits}, 2) + Le({3}, 4) + Le({subTag}, 2) +
         Bytes{0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71};
}

inline NxFileHandle MemoryFile(const Bytes& bytes) {
  return NxCreateMemoryFile(bytes.data(), bytes.size(), NxMemoryAccess::ReadOnly);
}

// A temporary folder, removed with everything in it at the end.
class ToolFolder {
 public:
  ToolFolder()
      : path_(std::filesystem::temp_directory_path() /
              ("auralith_wave_" + std::to_string(std::random_device{}()))) {
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

inline bool RunTool(const std::string& command) {
  return std::system((command + " >/dev/null 2>&1 </dev/null").c_str()) == 0;
}
inline bool HaveTool(const std::string& tool) { return RunTool("command -v " + tool); }

inline Bytes ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// An ASCII path as the UTF-16 text the file API takes.
inline std::basic_string<WCHAR> Wide(const std::string& text) {
  return std::basic_string<WCHAR>(text.begin(), text.end());
}
