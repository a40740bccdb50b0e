// What many suites need: HRESULTs printed in hex, a QueryInterface table checker, outside tools
// that fail in CI when missing, and (from temp_folder.h) a temporary folder, optionally named in an
// environment variable the product reads its folders from, whole-file helpers and the RIFF/wave
// byte builder (riff_bytes.h).
#pragma once

#include <gtest/gtest.h>

#include <cstdio>

#include "platform/unknown.h"
#include "tests/support/temp_folder.h"

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
