#include "dsp/exact_math.h"

#include <gtest/gtest.h>

namespace {

// Expected values are the exact results rounded to nearest, from a 200-bit reference; each input
// is one where the Linux C library's result is one unit in the last place away (its value in the
// comment), which made the two systems' outputs differ.
TEST(ExactMath, CorrectlyRoundedWhereTheCLibraryIsNot) {
  const struct {
    double (*function)(double);
    double x;
    double expected;
  } rows[] = {
      {NxSin, 0x1.a575d68871cdap+2, 0x1.30b29719a881fp-2},      // 0x1.30b29719a881ep-2
      {NxCos, 0x1.43788dafaaae2p+2, 0x1.574537b430909p-2},      // 0x1.574537b43090ap-2
      {NxExp, -0x1.b248959094000p-8, 0x1.fc9e4def257adp-1},     // 0x1.fc9e4def257aep-1
      {NxPow10, -0x1.b8558bea35f11p+1, 0x1.7c9e307ca6421p-12},  // 0x1.7c9e307ca6420p-12
      {NxSin, 0.0, 0.0},
      {NxCos, 0.0, 1.0},
      {NxExp, 0.0, 1.0},
      {NxCos, 3.14159265358979323846, -1.0},
  };
  for (const auto& row : rows) EXPECT_EQ(row.function(row.x), row.expected) << row.x;
  // Powers of ten up to 10^22 are doubles exactly.
  double power = 1.0;
  for (int k = 0; k <= 22; ++k, power *= 10.0) EXPECT_EQ(NxPow10(k), power) << k;
}

}  // namespace
