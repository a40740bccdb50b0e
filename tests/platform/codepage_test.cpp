#include "platform/codepage.h"

#include "platform/wide_string.h"
#include "tests/support/test_support.h"

namespace {

TEST(CodePage, EveryByteRoundTripsThroughUtf16) {
  char bytes[256], back[256];
  for (int i = 0; i < 256; ++i) bytes[i] = static_cast<char>(i);
  WCHAR u[256];
  ASSERT_EQ(MultiByteToWideChar(CP_ACP, 0, bytes, 256, u, 256), 256);
  // The published mapping of 0x80..0x9F, where the five bytes without a character keep their own
  // value; every other byte is its Latin-1 character.
  const WCHAR k80[32] = {0x20AC, 0x81,   0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                         0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x8D,   0x017D, 0x8F,
                         0x90,   0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                         0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x9D,   0x017E, 0x0178};
  for (int i = 0; i < 256; ++i) {
    EXPECT_EQ(u[i], i >= 0x80 && i <= 0x9F ? k80[i - 0x80] : i) << std::hex << "byte " << i;
  }
  BOOL usedDefault = TRUE;
  ASSERT_EQ(WideCharToMultiByte(1252, 0, u, 256, back, 256, nullptr, &usedDefault), 256);
  EXPECT_FALSE(usedDefault);
  for (int i = 0; i < 256; ++i) EXPECT_EQ(static_cast<BYTE>(back[i]), i) << "byte " << i;
}

TEST(CodePage, UnitsWithoutAByteBecomeTheDefaultCharacter) {
  // U+0100 has a best-fit 'A' on Windows by default; it is never used here.
  const WCHAR text[] = {'a', 0x0100, 0x20AC, 0x4E2D, 0xD83D, 0xDE00, 'z', 0};
  char out[16];
  BOOL usedDefault = FALSE;
  ASSERT_EQ(WideCharToMultiByte(CP_ACP, 0, text, -1, out, 16, nullptr, &usedDefault), 8);
  EXPECT_STREQ(out,
               "a?\x80??"
               "?z");
  EXPECT_TRUE(usedDefault);
  ASSERT_EQ(WideCharToMultiByte(CP_ACP, 0, text, 3, out, 16, "#", &usedDefault), 3);
  EXPECT_EQ(std::string(out, 3), "a#\x80");
}

TEST(CodePage, SizesTerminatorsSmallBuffersAndInvalidArguments) {
  const char* ansi = "Caf\xE9 \x80";
  const WCHAR wide[] = {'C', 'a', 'f', 0xE9, ' ', 0x20AC, 0};
  // Size queries count the terminator of a terminated source, not of a counted one.
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, ansi, -1, nullptr, 0), 7);
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, ansi, 3, nullptr, 0), 3);
  EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, wide, -1, nullptr, 0, nullptr, nullptr), 7);
  // Too small: 0 and nothing written.
  char guard[8] = "xxxxxxx";
  EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, wide, -1, guard, 6, nullptr, nullptr), 0);
  EXPECT_STREQ(guard, "xxxxxxx");
  WCHAR units[8];
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, ansi, -1, units, 6), 0);
  for (int srcLen : {0, -2}) EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, ansi, srcLen, units, 8), 0);
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, nullptr, -1, units, 8), 0);
  EXPECT_EQ(MultiByteToWideChar(65001, 0, ansi, -1, units, 8), 0);
  EXPECT_EQ(WideCharToMultiByte(437, 0, wide, -1, guard, 8, nullptr, nullptr), 0);
}

TEST(WideString, CopyCatLengthAndCompareNeverReadPastTheCapacity) {
  WCHAR dst[5];
  EXPECT_EQ(NxStrCopyW(dst, 5, NXW("abcdefgh")), 4u);
  EXPECT_EQ(WString(dst), NXW("abcd"));
  EXPECT_EQ(NxStrCopyW(dst, 1, NXW("abc")), 0u);
  EXPECT_EQ(dst[0], 0);
  dst[0] = 'q';
  EXPECT_EQ(NxStrCopyW(dst, 0, NXW("abc")), 0u);
  EXPECT_EQ(dst[0], 'q');
  // A source with no terminator, as in a damaged record: only capacity - 1 units are read.
  const WCHAR unterminated[4] = {'w', 'x', 'y', 'z'};
  EXPECT_EQ(NxStrCopyW(dst, 5, unterminated), 4u);
  EXPECT_EQ(WString(dst), NXW("wxyz"));
  EXPECT_EQ(NxStrLenBoundedW(unterminated, 4), 4u);

  EXPECT_LT(NxStrCmpW(NXW("ab"), NXW("abc")), 0);
  EXPECT_NE(NxStrCmpW(NXW("File.IRX"), NXW("file.irx")), 0);
  EXPECT_EQ(NxStrCmpIW(NXW("File.IRX"), NXW("file.irx")), 0);
  EXPECT_GT(NxStrCmpW(NXW("\u00E9"), NXW("z")), 0);  // by unit value, not by locale
  EXPECT_NE(NxStrCmpIW(NXW("\u00C9"), NXW("\u00E9")), 0);
}

}  // namespace
