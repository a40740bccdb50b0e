// What many suites need: HRESULTs printed in hex, a QueryInterface table checker, a temporary
// folder (optionally named in an environment variable the product reads its folders from), the
// RIFF/wave byte builder (riff_bytes.h) and outside tools that fail in CI when missing.
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
#include "tests/support/riff_bytes.h"

using WString = std::basic_string<WCHAR>;
// The UTF-16 form of ASCII text: test paths and names.
inline WString Wide(const std::string& text) { return WString(text.begin(), text.end()); }

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

inline void WriteFileBytes(const std::string& path, const Bytes& bytes) {
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), static_cast<long>(bytes.size()));
}
inline Bytes ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
inline std::string ReadFileText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
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
  void Write(const std::string& name, const Bytes& bytes) const { WriteFileBytes(*this / name, bytes); }
  // The UTF-16 path of `name` (ASCII), valid as long as the folder.
  const WCHAR* Wide(const std::string& name) {
    const std::string path = *this / name;
    return names_.emplace_back(path.begin(), path.end()).c_str();
  }
  Bytes Read(const std::string& name) const { return ReadFileBytes(*this / name); }

 private:
  std::filesystem::path path_;
  const char* variable_;
  std::deque<std::basic_string<WCHAR>> names_;
};

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
// would let a comparison pass unseen. The outside tools are Linux programs: a Windows build
// (under Wine, whose shell cannot start them) skips these comparisons, which the Linux run makes.
#ifdef _WIN32
#define REQUIRE_TOOL(program) GTEST_SKIP() << (program) << " runs on Linux only"
#else
#define REQUIRE_TOOL(program)                                                           \
  do {                                                                                  \
    if (!RunTool(std::string("command -v ") + (program))) {                             \
      if (InCi()) FAIL() << (program) << " is missing";                                 \
      GTEST_SKIP() << (program) << " is not installed";                                 \
    }                                                                                   \
  } while (0)
#endif
