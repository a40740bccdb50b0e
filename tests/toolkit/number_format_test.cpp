#include "toolkit/number_format.h"

#include <gtest/gtest.h>

#include <string>

TEST(NxFormatNumber, GroupsDigitsByThousandsAndRefusesSmallBuffers) {
  const struct {
    DWORD value, capacity;
    std::basic_string<WCHAR> text;
  } rows[] = {{0, 2, NXW("0")},
              {999, 4, NXW("999")},
              {1000, 9, NXW("1,000")},
              {44100, 7, NXW("44,100")},
              {44100, 6, NXW("")},
              {1000000, 10, NXW("1,000,000")},
              {4294967295u, 14, NXW("4,294,967,295")}};
  for (const auto& row : rows) {
    WCHAR text[16] = {'x'};
    EXPECT_EQ(row.text.size(), NxFormatNumber(row.value, text, row.capacity)) << row.value;
    EXPECT_EQ(row.text, std::basic_string<WCHAR>(text));
  }
  EXPECT_EQ(0u, NxFormatNumber(1, nullptr, 0));
}
