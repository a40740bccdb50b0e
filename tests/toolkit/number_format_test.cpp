#include "toolkit/number_format.h"

#include <gtest/gtest.h>

#include <string>

TEST(NxFormatNumber, GroupsDigitsByThousandsAndRefusesSmallBuffers) {
  const struct {
    DWORD value, capacity;
    std::u16string text;
  } rows[] = {{0, 2, u"0"},
              {999, 4, u"999"},
              {1000, 9, u"1,000"},
              {44100, 7, u"44,100"},
              {44100, 6, u""},
              {1000000, 10, u"1,000,000"},
              {4294967295u, 14, u"4,294,967,295"}};
  for (const auto& row : rows) {
    WCHAR text[16] = {'x'};
    EXPECT_EQ(row.text.size(), NxFormatNumber(row.value, text, row.capacity)) << row.value;
    EXPECT_EQ(row.text, std::u16string(reinterpret_cast<const char16_t*>(text)));
  }
  EXPECT_EQ(0u, NxFormatNumber(1, nullptr, 0));
}
