// MulDiv: number * numerator / denominator with a 64-bit intermediate product, rounded to the
// nearest integer with halves away from zero (MulDiv(3, 1, 2) == 2, MulDiv(-3, 1, 2) == -2).
// The sign of the result follows the signs of all three operands. Returns -1 when the
// denominator is 0 or the rounded result does not fit in 32 bits; -1 is also a genuine result
// (MulDiv(-1, 1, 1)), so callers that must tell them apart check the operands first.
#pragma once

#include "platform/types.h"

#if defined(_WIN32)
#include "platform/win32_sdk.h"  // kernel32's MulDiv
#else
int MulDiv(int number, int numerator, int denominator);
#endif  // _WIN32
