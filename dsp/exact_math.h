// Sine, cosine, exponential and powers of ten that give the same bits on every system.
//
// The C libraries of the two systems this builds for (glibc on Linux, the mingw-w64 runtime on
// Windows) round sin, exp and pow differently in the last place, which made FFT tables, shelf
// coefficients and gains, and so every output sample, differ between the systems. These
// evaluate in double-double arithmetic (about 100 bits) with plain IEEE additions and
// multiplications only (no fused multiply-add, no x87), and round once at the end: the results
// are the correctly rounded values except when the exact value lies within about 2^-100 of a
// rounding boundary, and are identical wherever IEEE double arithmetic is.
//
// Domains: NxSin and NxCos for |x| <= 2^20 (setup angles are within a few multiples of pi);
// NxExp for |x| <= 700; NxPow10 for |y| <= 300. Outside them the results are still finite
// but lose accuracy.
#pragma once

double NxSin(double x);
double NxCos(double x);
// Both at once, the same values as NxSin and NxCos, for less than the cost of two calls.
void NxSinCos(double x, double* sine, double* cosine);
// Both to within about one unit in the last place, not always correctly rounded, at a tenth of the
// cost; the same bits on every system too. For tables that are stored as float, where the second
// rounding makes the difference vanish (checked for every table this program builds).
void NxSinCosPlain(double x, double* sine, double* cosine);
double NxExp(double x);
// 10^y.
double NxPow10(double y);
