#include <gtest/gtest.h>

#include <string>

#include "toolkit/number_format.h"

TEST(NxFormatNumber, GroupsDigitsByThousands) {
  const struct {
    DWORD value;
    const char* text;
  } rows[] = {{0, "0"},           {7, "7"},         {999, "999"},         {1000, "1,000"},
              {44100, "44,100"},  {192000, "192,000"}, {1000000, "1,000,000"},
              {4294967295u, "4,294,967,295"}};
  for (const auto& row : rows) {
    WCHAR text[32];
    const std::string expected = row.text;
    ASSERT_EQ(expected.size(), NxFormatNumber(row.value, text, 32));
    EXPECT_EQ(std::u16string(expected.begin(), expected.end()),
              std::u16string(reinterpret_cast<const char16_t*>(text)));
  }
}

TEST(NxFormatNumber, RefusesATooSmallBuffer) {
  WCHAR text[6] = {'x', 'x', 'x', 'x', 'x', 'x'};
  EXPECT_EQ(0u, NxFormatNumber(44100, text, 6));  // needs 7 units with the terminator
  EXPECT_EQ(0, text[0]);
  WCHAR exact[7];
  EXPECT_EQ(6u, NxFormatNumber(44100, exact, 7));
  EXPECT_EQ(0u, NxFormatNumber(1, nullptr, 0));
}
