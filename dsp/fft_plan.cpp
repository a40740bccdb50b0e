#include "dsp/fft_plan.h"
#include "dsp/exact_math.h"

#include <cmath>
#include <new>

namespace {

constexpr std::align_val_t kTableAlign{64};

void* allocTable(size_t bytes) {
  return ::operator new[](bytes, kTableAlign, std::nothrow);
}

void freeTable(void* p) {
  if (p) ::operator delete[](p, kTableAlign);
}

// How the first-octant sines and cosines are computed: correctly rounded (NxSinCos) for the
// double tables; in plain double (NxSinCosPlain, a fraction of the cost) for the float ones, whose
// second rounding gives the same float values at every size up to 2^24.
enum class Roots { kExact, kPlain };

// e^(+2 pi i j / d) for a power of two d, reduced to a first-octant angle so that large tables
// keep full precision at every entry.
void unitRoot(uint64_t j, uint64_t d, double& re, double& im, Roots roots) {
  const double halfPi = 1.57079632679489661923;
  void (*const sinCos)(double, double*, double*) =
      roots == Roots::kExact ? NxSinCos : NxSinCosPlain;
  j %= d;
  const uint64_t quadrant = (4 * j) / d;
  const uint64_t rest = 4 * j - quadrant * d;  // angle within the quadrant, in units of (pi/2)/d
  double c;
  double s;
  if (2 * rest <= d) {
    const double a = halfPi * static_cast<double>(rest) / static_cast<double>(d);
    sinCos(a, &s, &c);
  } else {
    const double a = halfPi * static_cast<double>(d - rest) / static_cast<double>(d);
    sinCos(a, &c, &s);
  }
  switch (quadrant) {
    case 0: re = c; im = s; break;
    case 1: re = -s; im = c; break;
    case 2: re = -c; im = -s; break;
    default: re = s; im = -c; break;
  }
}

size_t stageTwiddleCount(size_t half) {
  size_t count = 0;
  for (size_t n = half; n >= 4; n /= 4) count += 3 * (n / 4);
  return count > 0 ? count : 1;
}

// unitRoot(j, d) from the first-quadrant value q = unitRoot(j mod d/4, d): unitRoot reduces j to
// that same angle and only swaps and negates its cosine and sine by quadrant, which is exact.
void rotateByQuadrant(uint64_t j, uint64_t d, const double* q, double& re, double& im) {
  switch ((4 * (j % d)) / d) {
    case 0: re = q[0]; im = q[1]; break;
    case 1: re = -q[1]; im = q[0]; break;
    case 2: re = -q[0]; im = -q[1]; break;
    default: re = q[1]; im = -q[0]; break;
  }
}

// First-quadrant roots e^(+2 pi i j / d) for j < d/4 (d a multiple of 8) into table[j]: computed up
// to d/8 and mirrored past it, where unitRoot takes the complementary angle and swaps cosine and
// sine. The same values bit for bit, at an eighth of the sine and cosine calls.
void fillQuadrant(double* table, uint64_t d, Roots roots) {
  for (uint64_t j = 0; j < d / 4; ++j) {
    if (8 * j <= d) {
      unitRoot(j, d, table[2 * j], table[2 * j + 1], roots);
    } else {
      table[2 * j] = table[2 * (d / 4 - j) + 1];
      table[2 * j + 1] = table[2 * (d / 4 - j)];
    }
  }
}

// The roots of the first stage's first quadrant, e^(+2 pi i j / M) for j < max(M/4, 1): every
// table entry is one of these with its parts swapped or negated.
size_t quadrantLength(size_t half) { return half >= 4 ? half / 4 : 1; }

void fillFirstQuadrant(double* quadrant, size_t half, Roots roots) {
  if (half >= 8) {
    fillQuadrant(quadrant, half, roots);
  } else {  // M <= 4: the quadrant is the root 1 alone
    quadrant[0] = 1.0;
    quadrant[1] = 0.0;
  }
}

// Factor (k, p) of a stage of length n is unitRoot(k p M/n, M) (unitRoot reduces j/d and
// (j r)/(d r) alike for a power of two r), so every stage comes from the first quadrant of length
// M, which is also the first stage's k = 1 run; the swaps and negations are exact, so a float
// table rounds each quadrant value once. `table` may begin with `quadrant` itself.
template <typename T>
void fillStageTwiddles(T* table, size_t half, const double* quadrant) {
  const size_t first = quadrantLength(half);
  for (size_t i = 0; i < 2 * first; ++i) table[i] = static_cast<T>(quadrant[i]);
  if (half < 4) return;
  table += 2 * first;
  for (size_t n = half; n >= 4; n /= 4) {
    const size_t m = n / 4;
    const size_t step = half / n;
    for (size_t k = 1; k <= 3; ++k) {
      if (n == half && k == 1) continue;  // the quadrant itself
      for (size_t p = 0; p < m; ++p) {
        const uint64_t j = k * p * step;
        double re;
        double im;
        rotateByQuadrant(j, half, quadrant + 2 * (j % first), re, im);
        table[0] = static_cast<T>(re);
        table[1] = static_cast<T>(im);
        table += 2;
      }
    }
  }
}

// t_j = e^(+2 pi i j / N) for j < count (count <= N/4, so all in the first quadrant): an even j is
// t_(j/2) of length M = N/2, already in the first quadrant; an odd j past N/8 is the mirror of
// N/4 - j (also odd, so computed first).
template <typename T>
void fillSplitRoots(T* table, size_t count, const double* quadrant, size_t half, Roots roots) {
  const uint64_t n = 2 * uint64_t{half};
  for (size_t j = 0; j < count; ++j) {
    if (j % 2 == 0 && half >= 4 && j / 2 < half / 4) {
      table[2 * j] = static_cast<T>(quadrant[j]);
      table[2 * j + 1] = static_cast<T>(quadrant[j + 1]);
    } else if (n % 8 == 0 && 8 * j > n && n / 4 - j < j) {
      table[2 * j] = table[2 * (n / 4 - j) + 1];
      table[2 * j + 1] = table[2 * (n / 4 - j)];
    } else {
      double re;
      double im;
      unitRoot(j, n, re, im, roots);
      table[2 * j] = static_cast<T>(re);
      table[2 * j + 1] = static_cast<T>(im);
    }
  }
}

}  // namespace

FftPlan* fftCreatePlan(uint32_t n, bool withDouble) {
  if (n < 2 || (n & (n - 1)) != 0) return nullptr;
  FftPlan* plan = new (std::nothrow) FftPlan;
  if (!plan) return nullptr;
  plan->n = n;
  plan->half = n / 2;
  plan->kernels = fftBestKernels();
  const size_t m = plan->half;
  const size_t twiddles = stageTwiddleCount(m);
  const size_t splits = m >= 2 ? m / 2 : 1;
  if (withDouble) {
    plan->twiddleD = static_cast<double*>(allocTable(twiddles * 2 * sizeof(double)));
    plan->splitD = static_cast<double*>(allocTable(splits * 2 * sizeof(double)));
  }
  plan->twiddleF = static_cast<float*>(allocTable(twiddles * 2 * sizeof(float)));
  plan->splitF = static_cast<float*>(allocTable(splits * 2 * sizeof(float)));
  // The interleaved stereo float transforms use 2N floats of scratch, as many bytes as N doubles.
  plan->scratch = allocTable(size_t{n} * sizeof(double));
  // The float tables come from a quadrant of their own, computed in plain double, which is
  // let go once they are written (a sixteenth of what the double tables hold).
  double* quadrant = static_cast<double*>(allocTable(quadrantLength(m) * 2 * sizeof(double)));
  if ((withDouble && (!plan->twiddleD || !plan->splitD)) || !plan->twiddleF || !plan->splitF ||
      !plan->scratch || !quadrant) {
    freeTable(quadrant);
    fftDestroyPlan(plan);
    return nullptr;
  }
  if (withDouble) {
    fillFirstQuadrant(plan->twiddleD, m, Roots::kExact);
    fillStageTwiddles(plan->twiddleD, m, plan->twiddleD);
    fillSplitRoots(plan->splitD, splits, plan->twiddleD, m, Roots::kExact);
  }
  fillFirstQuadrant(quadrant, m, Roots::kPlain);
  fillStageTwiddles(plan->twiddleF, m, quadrant);
  fillSplitRoots(plan->splitF, splits, quadrant, m, Roots::kPlain);
  freeTable(quadrant);
  return plan;
}

void fftDestroyPlan(FftPlan* plan) {
  if (!plan) return;
  freeTable(plan->twiddleD);
  freeTable(plan->twiddleF);
  freeTable(plan->splitD);
  freeTable(plan->splitF);
  freeTable(plan->scratch);
  delete plan;
}
