#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/guid.h"
#include "platform/unknown.h"

namespace {

typedef std::basic_string<WCHAR> WString;

// {6D41C283-3F7B-11D0-B5E2-00AA004E7C19}
constexpr GUID kKnown = {0x6D41C283, 0x3F7B, 0x11D0, {0xB5, 0xE2, 0x00, 0xAA, 0x00, 0x4E, 0x7C, 0x19}};

TEST(Guid, MemoryLayoutIsLittleEndianWordsThenBytes) {
  const BYTE expected[16] = {0x83, 0xC2, 0x41, 0x6D, 0x7B, 0x3F, 0xD0, 0x11,
                             0xB5, 0xE2, 0x00, 0xAA, 0x00, 0x4E, 0x7C, 0x19};
  BYTE actual[16];
  std::memcpy(actual, &kKnown, sizeof actual);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(actual[i], expected[i]) << "byte " << i;
}

TEST(Guid, TextFormRoundTrips) {
  WCHAR text[39];
  ASSERT_EQ(StringFromGUID2(kKnown, text, 39), 39);
  EXPECT_EQ(WString(text), WString(NXW("{6D41C283-3F7B-11D0-B5E2-00AA004E7C19}")));

  GUID parsed = {};
  ASSERT_TRUE(GUIDFromString(text, &parsed));
  EXPECT_EQ(parsed, kKnown);

  ASSERT_TRUE(GUIDFromString(NXW("{6d41c283-3f7b-11d0-b5e2-00aa004e7c19}"), &parsed));
  EXPECT_EQ(parsed, kKnown);

  ASSERT_EQ(StringFromGUID2(IID_IUnknown, text, 39), 39);
  EXPECT_EQ(WString(text), WString(NXW("{00000000-0000-0000-C000-000000000046}")));

  EXPECT_EQ(StringFromGUID2(kKnown, text, 38), 0);
  EXPECT_EQ(StringFromGUID2(kKnown, nullptr, 39), 0);
}

TEST(Guid, MalformedTextIsRejectedAndLeavesTheGuidAlone) {
  const WCHAR* const bad[] = {
      NXW(""),
      NXW("6D41C283-3F7B-11D0-B5E2-00AA004E7C19"),     // no braces
      NXW("{6D41C283-3F7B-11D0-B5E2-00AA004E7C19"),    // no closing brace
      NXW("{6D41C283-3F7B-11D0-B5E2-00AA004E7C19}x"),  // trailing text
      NXW("{6D41C283-3F7B-11D0-B5E2-00AA004E7C1}"),    // one digit short
      NXW("{6D41C283+3F7B-11D0-B5E2-00AA004E7C19}"),   // wrong separator
      NXW("{6D41C283-3F7B-11D0B5E2-00AA004E7C19-}"),   // separator misplaced
      NXW("{6D41C28G-3F7B-11D0-B5E2-00AA004E7C19}"),   // not a hex digit
      NXW("{6D41C283-3F7B-11D0-B5E2-00AA004E7C1 }"),
      NXW("{"),
  };
  for (const WCHAR* text : bad) {
    GUID guid = kKnown;
    EXPECT_FALSE(GUIDFromString(text, &guid));
    EXPECT_EQ(guid, kKnown);
  }
  GUID guid = {};
  EXPECT_FALSE(GUIDFromString(nullptr, &guid));
}

TEST(Guid, EqualityComparesAllSixteenBytes) {
  GUID other = kKnown;
  EXPECT_TRUE(IsEqualGUID(other, kKnown));
  other.Data4[7] ^= 1;
  EXPECT_FALSE(IsEqualGUID(other, kKnown));
  EXPECT_NE(other, kKnown);
}

}  // namespace
