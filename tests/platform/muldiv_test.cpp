#include <gtest/gtest.h>

#include <climits>

#include "platform/muldiv.h"

namespace {

// Halves round away from zero with the sign of the operands; the product is 64-bit; -1 when the
// divisor is 0 or the result does not fit.
TEST(MulDiv, RoundsHalvesAwayFromZeroAndFailsOnlyWhenTheResultDoesNotFit) {
  const struct {
    int number, numerator, denominator, expected;
  } cases[] = {
      {1, 1, 2, 1},    {-3, 1, 2, -2},  {5, 1, -2, -3},  {-5, 1, -2, 3},  {1, 1, 3, 0},
      {-2, 1, 3, -1},  {0, 7, -3, 0},   {44100, 1000, 48000, 919},
      {INT_MAX, INT_MAX, INT_MAX, INT_MAX},  {INT_MIN, INT_MIN, INT_MIN, INT_MIN},
      {1 << 30, 1 << 30, 1 << 29, -1},       {1 << 30, 4, -2, INT_MIN},
      {INT_MIN, -1, 1, -1},  {INT_MIN, 1, -1, -1},  {100000, 100000, 10, 1000000000},
      {100000, 100000, 1, -1},  {12, 34, 0, -1},  {INT_MAX, 1, INT_MIN, -1},
      {1 << 30, 1, INT_MIN, -1},  {(1 << 30) - 1, 1, INT_MIN, 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(MulDiv(c.number, c.numerator, c.denominator), c.expected)
        << c.number << " * " << c.numerator << " / " << c.denominator;
  }
}

}  // namespace
