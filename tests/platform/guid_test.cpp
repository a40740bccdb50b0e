
#include <cstring>

#include "platform/guid.h"
#include "tests/support/test_support.h"

namespace {

// {6D41C283-3F7B-11D0-B5E2-00AA004E7C19}
constexpr GUID kKnown = {0x6D41C283, 0x3F7B, 0x11D0, {0xB5, 0xE2, 0x00, 0xAA, 0x00, 0x4E, 0x7C, 0x19}};

TEST(Guid, TextFormIsBracedUpperCaseHex) {
  WCHAR text[39];
  ASSERT_EQ(StringFromGUID2(kKnown, text, 39), 39);
  EXPECT_EQ(WString(text), NXW("{6D41C283-3F7B-11D0-B5E2-00AA004E7C19}"));
  ASSERT_EQ(StringFromGUID2(IID_IUnknown, text, 39), 39);
  EXPECT_EQ(WString(text), NXW("{00000000-0000-0000-C000-000000000046}"));
  EXPECT_EQ(StringFromGUID2(kKnown, text, 38), 0);
  EXPECT_EQ(StringFromGUID2(kKnown, nullptr, 39), 0);
}

}  // namespace
