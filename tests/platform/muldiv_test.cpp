#include <gtest/gtest.h>

#include <climits>

#include "platform/muldiv.h"
#include "platform/tick.h"

namespace {

struct MulDivCase {
  int number, numerator, denominator, expected;
};

TEST(MulDiv, RoundsHalvesAwayFromZeroWithTheSignOfTheOperands) {
  const MulDivCase cases[] = {
      {1, 1, 2, 1},     {-1, 1, 2, -1},   {3, 1, 2, 2},     {-3, 1, 2, -2},
      {5, 1, -2, -3},   {-5, 1, -2, 3},   {5, -1, -2, 3},   {1, 1, 3, 0},
      {2, 1, 3, 1},     {-2, 1, 3, -1},   {1, 1, 4, 0},     {3, 1, 4, 1},
      {0, 7, -3, 0},    {7, 0, 5, 0},     {6, 10, 4, 15},   {44100, 1000, 48000, 919},
      {1, 1, 1, 1},     {-1, 1, 1, -1},   {100, 3, 7, 43},  {-100, 3, 7, -43},
  };
  for (const MulDivCase& c : cases) {
    EXPECT_EQ(MulDiv(c.number, c.numerator, c.denominator), c.expected)
        << c.number << " * " << c.numerator << " / " << c.denominator;
  }
}

TEST(MulDiv, UsesA64BitProductAndFailsOnlyWhenTheResultDoesNotFit) {
  EXPECT_EQ(MulDiv(INT_MAX, INT_MAX, INT_MAX), INT_MAX);
  EXPECT_EQ(MulDiv(INT_MIN, INT_MIN, INT_MIN), INT_MIN);
  EXPECT_EQ(MulDiv(1 << 30, 1 << 30, 1 << 29), -1);  // 2^31
  EXPECT_EQ(MulDiv(1 << 30, 4, -2), INT_MIN);
  EXPECT_EQ(MulDiv(INT_MIN, -1, 1), -1);  // 2^31
  EXPECT_EQ(MulDiv(INT_MIN, 1, -1), -1);
  EXPECT_EQ(MulDiv(100000, 100000, 10), 1000000000);
  EXPECT_EQ(MulDiv(100000, 100000, 1), -1);
  EXPECT_EQ(MulDiv(12, 34, 0), -1);
  EXPECT_EQ(MulDiv(0, 0, 0), -1);
  EXPECT_EQ(MulDiv(INT_MAX, 1, INT_MIN), -1);  // -0.99999... rounds to -1
  EXPECT_EQ(MulDiv(1 << 30, 1, INT_MIN), -1);  // -0.5 rounds away from zero
  EXPECT_EQ(MulDiv((1 << 30) - 1, 1, INT_MIN), 0);
}

TEST(TickCount, IsTheLow32BitsOfASteadyMillisecondClock) {
  const ULONGLONG before = GetTickCount64();
  const DWORD tick = GetTickCount();
  const ULONGLONG after = GetTickCount64();
  EXPECT_LE(before, after);
  // Wrap-safe: the 32-bit reading lies between the two 64-bit ones.
  EXPECT_LE(static_cast<DWORD>(tick - static_cast<DWORD>(before)), after - before);
}

}  // namespace
