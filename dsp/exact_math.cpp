#include "dsp/exact_math.h"

#include <cmath>

namespace {

// A value hi + lo with |lo| <= ulp(hi) / 2.
struct DD {
  double hi;
  double lo;
};

DD TwoSum(double a, double b) {
  const double s = a + b;
  const double v = s - a;
  return {s, (a - (s - v)) + (b - v)};
}

DD FastTwoSum(double a, double b) {  // |a| >= |b|
  const double s = a + b;
  return {s, b - (s - a)};
}

// Dekker's exact product, with Veltkamp's split (2^27 + 1).
DD TwoProd(double a, double b) {
  const double p = a * b;
  const double ca = 134217729.0 * a;
  const double ah = ca - (ca - a);
  const double al = a - ah;
  const double cb = 134217729.0 * b;
  const double bh = cb - (cb - b);
  const double bl = b - bh;
  return {p, ((ah * bh - p) + ah * bl + al * bh) + al * bl};
}

DD Add(DD a, DD b) {
  const DD s = TwoSum(a.hi, b.hi);
  const DD t = TwoSum(a.lo, b.lo);
  DD r = FastTwoSum(s.hi, s.lo + t.hi);
  return FastTwoSum(r.hi, r.lo + t.lo);
}

DD Mul(DD a, DD b) {
  const DD p = TwoProd(a.hi, b.hi);
  return FastTwoSum(p.hi, p.lo + (a.hi * b.lo + a.lo * b.hi));
}

DD MulD(DD a, double b) {
  const DD p = TwoProd(a.hi, b);
  return FastTwoSum(p.hi, p.lo + a.lo * b);
}

DD DivD(DD a, double b) {
  const double q1 = a.hi / b;
  const DD p = TwoProd(q1, b);
  const DD r = Add(a, {-p.hi, -p.lo});
  const double q2 = r.hi / b;
  return FastTwoSum(q1, q2);
}

double Round(DD a) { return a.hi + a.lo; }

// pi/2 and ln 2 in three parts (each exactly representable), ln 10 as a double-double.
constexpr double kHalfPi1 = 1.5707963267948966192e+00;
constexpr double kHalfPi2 = 6.1232339957367658e-17;
constexpr double kHalfPi3 = -1.4973849048591698e-33;
constexpr double kLn2Hi = 6.9314718055994529e-01;
constexpr double kLn2Lo = 2.3190468138462996e-17;
constexpr double kLn2Lo2 = 5.7077084384162121e-34;
constexpr DD kLn10 = {2.302585092994045901e+00, -2.1707562233822494e-16};

// x - k pi/2 as a double-double, for the integer k nearest x / (pi/2).
DD ReduceHalfPi(double x, long long* quadrant) {
  const double k = std::nearbyint(x / kHalfPi1);
  *quadrant = static_cast<long long>(k);
  if (k == 0.0) return {x, 0.0};  // what the subtractions below give for k = 0, without them
  // k has at most 21 bits here, so k * part is exact to double-double precision.
  DD r = TwoSum(x, 0.0);
  r = Add(r, {-TwoProd(k, kHalfPi1).hi, -TwoProd(k, kHalfPi1).lo});
  r = Add(r, {-TwoProd(k, kHalfPi2).hi, -TwoProd(k, kHalfPi2).lo});
  r = Add(r, {-k * kHalfPi3, 0.0});
  return r;
}

// Taylor coefficients (-1)^k / n! with n = 2k (cosine) or 2k + 1 (sine), k < kSeriesTerms, as
// double-doubles. 15 terms reach r^29 / 29! < 2^-110 for |r| <= pi/4 + a little.
constexpr int kSeriesTerms = 15;
struct SeriesCoefficients {
  DD sine[kSeriesTerms];
  DD cosine[kSeriesTerms];
};

const SeriesCoefficients& Coefficients() {
  static const SeriesCoefficients table = [] {
    SeriesCoefficients c{};
    DD factorial = {1.0, 0.0};  // 1 / n!, built by exact-as-possible divisions
    for (int n = 0; n < 2 * kSeriesTerms; ++n) {
      if (n > 0) factorial = DivD(factorial, double(n));
      const DD term = (n / 2) % 2 == 0 ? factorial : DD{-factorial.hi, -factorial.lo};
      if (n % 2 == 0) {
        c.cosine[n / 2] = term;
      } else {
        c.sine[n / 2] = term;
      }
    }
    return c;
  }();
  return table;
}

// Terms from this index on are below 2^-50 of the leading one for |r| <= pi/4 + a little, so
// evaluating them in plain double keeps the whole sum within about 2^-102 of exact.
constexpr int kFirstDoubleTerm = 8;

// sin (odd = true) or cos of r for |r| <= pi/4 + a little: Horner's rule in r^2, the small high
// terms in double and the rest in double-double.
DD SeriesSinCos(DD r, DD r2, bool odd) {
  const DD* c = odd ? Coefficients().sine : Coefficients().cosine;
  double tail = c[kSeriesTerms - 1].hi;
  for (int k = kSeriesTerms - 2; k >= kFirstDoubleTerm; --k) tail = c[k].hi + r2.hi * tail;
  DD sum = Add(c[kFirstDoubleTerm - 1], MulD(r2, tail));
  for (int k = kFirstDoubleTerm - 2; k >= 0; --k) sum = Add(c[k], Mul(r2, sum));
  return odd ? Mul(r, sum) : sum;
}

// sin(r + q pi/2) for q in 0..3: sin r, cos r, -sin r, -cos r.
double OnQuadrant(DD r, DD r2, long long q) {
  DD v = SeriesSinCos(r, r2, q % 2 == 0);
  if (q >= 2) v = {-v.hi, -v.lo};
  return Round(v);
}

void SinCos(double x, double* sine, double* cosine) {
  if (x == 0.0) {
    if (sine) *sine = x;
    if (cosine) *cosine = 1.0;
    return;
  }
  long long quadrant = 0;
  const DD r = ReduceHalfPi(x, &quadrant);
  const DD r2 = Mul(r, r);
  const long long q = ((quadrant % 4) + 4) % 4;
  if (sine) *sine = OnQuadrant(r, r2, q);
  if (cosine) *cosine = OnQuadrant(r, r2, (q + 1) % 4);
}

// (-1)^k / n! rounded once to double (n! itself is exact in double up to n = 22).
constexpr double TaylorCoefficient(int n) {
  double f = 1.0;
  for (int k = 2; k <= n; ++k) f *= k;
  return ((n / 2) % 2 ? -1.0 : 1.0) / f;
}

// sin r and cos r for |r| <= pi/4 + a little, by the Taylor series in plain double (terms to
// r^19 / 19!, below 2^-60 there); lo is a correction below ulp(r) / 2 added to r to first order.
void PlainSeries(double r, double lo, double* sine, double* cosine) {
  constexpr int kTerms = 9;
  static constexpr double kSine[kTerms + 1] = {
      TaylorCoefficient(1),  TaylorCoefficient(3),  TaylorCoefficient(5),  TaylorCoefficient(7),
      TaylorCoefficient(9),  TaylorCoefficient(11), TaylorCoefficient(13), TaylorCoefficient(15),
      TaylorCoefficient(17), TaylorCoefficient(19)};
  static constexpr double kCosine[kTerms + 1] = {
      TaylorCoefficient(0),  TaylorCoefficient(2),  TaylorCoefficient(4),  TaylorCoefficient(6),
      TaylorCoefficient(8),  TaylorCoefficient(10), TaylorCoefficient(12), TaylorCoefficient(14),
      TaylorCoefficient(16), TaylorCoefficient(18)};
  const double r2 = r * r;
  double s = kSine[kTerms];
  double c = kCosine[kTerms];
  for (int k = kTerms - 1; k >= 1; --k) {
    s = kSine[k] + r2 * s;
    c = kCosine[k] + r2 * c;
  }
  const double sinR = r + r * (r2 * s);
  const double cosR = 1.0 + r2 * c;
  *sine = sinR + lo * cosR;
  *cosine = cosR - lo * sinR;
}

// e^x for a double-double x.
double ExpDD(DD x) {
  if (x.hi > 709.8) return HUGE_VAL;
  if (x.hi < -745.2) return 0.0;
  const double k = std::nearbyint(x.hi / kLn2Hi);
  DD r = Add(x, {-TwoProd(k, kLn2Hi).hi, -TwoProd(k, kLn2Hi).lo});
  r = Add(r, {-TwoProd(k, kLn2Lo).hi, -TwoProd(k, kLn2Lo).lo});
  r = Add(r, {-k * kLn2Lo2, 0.0});
  // |r| <= 0.35: e^r by its series.
  DD term = {1.0, 0.0};
  DD sum = term;
  for (int n = 1; n < 40; ++n) {
    term = DivD(Mul(term, r), double(n));
    sum = Add(sum, term);
    if (std::fabs(term.hi) < 1e-36 * std::fabs(sum.hi)) break;
  }
  // Scaling by 2^k is exact unless the result is subnormal.
  return std::ldexp(Round(sum), static_cast<int>(k));
}

}  // namespace

double NxSin(double x) {
  double s;
  SinCos(x, &s, nullptr);
  return s;
}

double NxCos(double x) {
  double c;
  SinCos(x, nullptr, &c);
  return c;
}

void NxSinCos(double x, double* sine, double* cosine) { SinCos(x, sine, cosine); }

void NxSinCosPlain(double x, double* sine, double* cosine) {
  long long quadrant = 0;
  const DD r = ReduceHalfPi(x, &quadrant);
  double s;
  double c;
  PlainSeries(r.hi, r.lo, &s, &c);
  switch (((quadrant % 4) + 4) % 4) {  // sin(r + q pi/2), cos(r + q pi/2)
    case 0: *sine = s; *cosine = c; break;
    case 1: *sine = c; *cosine = -s; break;
    case 2: *sine = -s; *cosine = -c; break;
    default: *sine = -c; *cosine = s; break;
  }
}

double NxExp(double x) { return ExpDD({x, 0.0}); }

double NxPow10(double y) { return ExpDD(MulD(kLn10, y)); }
