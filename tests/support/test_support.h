// What many suites need: HRESULTs printed in hex, a temporary folder (optionally named in an
// environment variable the product reads its folders from), and little-endian RIFF/wave bytes.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "platform/types.h"
#include "platform/unknown.h"

// Failures print codes as 0x8004020A, not as signed decimals.
inline std::string Hr(long hr) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(hr));
  return text;
}
#define EXPECT_HR(expected, actual) EXPECT_EQ(Hr(expected), Hr(actual))
#define ASSERT_HR(expected, actual) ASSERT_EQ(Hr(expected), Hr(actual))

// QueryInterface conformance, table-driven: every IID in `answered` gives an interface that
// adds exactly one reference (on the object, or on its outer object when aggregated) and leads
// back to the one IUnknown identity; every IID in `refused` gives E_NOINTERFACE and a null
// pointer; a null out-pointer gives E_POINTER. The count is unchanged afterwards.
inline void ExpectInterfaces(IUnknown* object, std::initializer_list<const IID*> answered,
                             std::initializer_list<const IID*> refused) {
  IUnknown* identity = nullptr;
  ASSERT_HR(S_OK, object->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity)));
  const ULONG count = identity->Release();
  int row = 0;
  for (const IID* iid : answered) {
    SCOPED_TRACE(::testing::Message() << "answered row " << row++);
    IUnknown* got = nullptr;
    EXPECT_HR(S_OK, object->QueryInterface(*iid, reinterpret_cast<void**>(&got)));
    if (got == nullptr) continue;
    EXPECT_EQ(count + 2, got->AddRef());  // the earlier ones, the interface's, this one
    got->Release();
    IUnknown* back = nullptr;
    EXPECT_HR(S_OK, got->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&back)));
    EXPECT_EQ(identity, back);
    if (back != nullptr) back->Release();
    EXPECT_EQ(count, got->Release());
  }
  row = 0;
  for (const IID* iid : refused) {
    SCOPED_TRACE(::testing::Message() << "refused row " << row++);
    void* got = object;
    EXPECT_HR(E_NOINTERFACE, object->QueryInterface(*iid, &got));
    EXPECT_EQ(nullptr, got);
  }
  EXPECT_HR(E_POINTER, object->QueryInterface(IID_IUnknown, nullptr));
  object->AddRef();
  EXPECT_EQ(count, object->Release());
}

// A fresh folder, removed with its contents at the end. With `variable`, the folder is also
// named there (with a trailing separator) while it lives.
class TempFolder {
 public:
  explicit TempFolder(const char* variable = nullptr)
      : path_(std::filesystem::temp_directory_path() /
              ("auralith_test_" + std::to_string(std::random_device{}()))),
        variable_(variable) {
    std::filesystem::create_directories(path_);
    if (variable_ != nullptr) setenv(variable_, Path().c_str(), 1);
  }
  ~TempFolder() {
    if (variable_ != nullptr) unsetenv(variable_);
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  std::string operator/(const std::string& name) const { return (path_ / name).string(); }
  const std::filesystem::path& path() const { return path_; }
  std::string Path() const { return path_.string() + "/"; }
  void Write(const std::string& name, const std::vector<BYTE>& bytes) const {
    std::ofstream(*this / name, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<long>(bytes.size()));
  }
  // The UTF-16 path of `name` (ASCII), valid as long as the folder.
  const WCHAR* Wide(const std::string& name) {
    const std::string path = *this / name;
    return names_.emplace_back(path.begin(), path.end()).c_str();
  }
  std::vector<BYTE> Read(const std::string& name) const {
    std::ifstream in(*this / name, std::ios::binary);
    return std::vector<BYTE>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

 private:
  std::filesystem::path path_;
  const char* variable_;
  std::deque<std::basic_string<WCHAR>> names_;
};

// ---- Little-endian bytes and RIFF chunks ----------------------------------------------------

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

// ---- Outside tools --------------------------------------------------------------------------

// Runs a shell command quietly; true when it succeeded.
inline bool RunTool(const std::string& command) {
  return std::system((command + " >/dev/null 2>&1 </dev/null").c_str()) == 0;
}
inline bool InCi() {
  const char* ci = std::getenv("CI");
  return ci != nullptr && std::string(ci) == "true";
}
// Skips the test when `program` is not installed, but fails it in CI, where a missing oracle
// would let a comparison pass unseen.
#define REQUIRE_TOOL(program)                                                           \
  do {                                                                                  \
    if (!RunTool(std::string("command -v ") + (program))) {                             \
      if (InCi()) FAIL() << (program) << " is missing";                                 \
      GTEST_SKIP() << (program) << " is not installed";                                 \
    }                                                                                   \
  } while (0)
