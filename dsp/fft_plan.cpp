#include "dsp/fft_plan.h"

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

// e^(+2 pi i j / d) for a power of two d, reduced to a first-octant angle so that large tables
// keep full precision at every entry.
void unitRoot(uint64_t j, uint64_t d, double& re, double& im) {
  const double halfPi = 1.57079632679489661923;
  j %= d;
  const uint64_t quadrant = (4 * j) / d;
  const uint64_t rest = 4 * j - quadrant * d;  // angle within the quadrant, in units of (pi/2)/d
  double c;
  double s;
  if (2 * rest <= d) {
    const double a = halfPi * static_cast<double>(rest) / static_cast<double>(d);
    c = std::cos(a);
    s = std::sin(a);
  } else {
    const double a = halfPi * static_cast<double>(d - rest) / static_cast<double>(d);
    c = std::sin(a);
    s = std::cos(a);
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

// Only the first stage (length M) is computed. Factor (k, p) of a later stage of length n is
// factor (k, p M/n) of the first: unitRoot reduces j/d and (j r)/(d r) to the same quadrant and
// the same angle for a power of two r (the scaling is exact), so the copy is the same value bit
// for bit, at a third fewer sine and cosine calls.
void fillStageTwiddles(double* table, size_t half) {
  if (half < 4) return;
  const size_t first = half / 4;
  const double* const top = table;
  for (size_t k = 1; k <= 3; ++k) {
    for (size_t p = 0; p < first; ++p) {
      unitRoot(k * p, half, table[0], table[1]);
      table += 2;
    }
  }
  for (size_t n = half / 4; n >= 4; n /= 4) {
    const size_t m = n / 4;
    const size_t step = half / n;
    for (size_t k = 1; k <= 3; ++k) {
      for (size_t p = 0; p < m; ++p) {
        const double* from = top + 2 * ((k - 1) * first + p * step);
        table[0] = from[0];
        table[1] = from[1];
        table += 2;
      }
    }
  }
}

// t_j = e^(+2 pi i j / N) for j < count; an even j is t_(j/2) of length M = N/2, already among
// the first stage's factors (k = 1, p = j/2) when there is a first stage.
void fillSplitRoots(double* table, size_t count, const double* stageTwiddles, size_t half) {
  for (size_t j = 0; j < count; ++j) {
    if (j % 2 == 0 && half >= 4 && j / 2 < half / 4) {
      table[2 * j] = stageTwiddles[j];
      table[2 * j + 1] = stageTwiddles[j + 1];
    } else {
      unitRoot(j, 2 * uint64_t{half}, table[2 * j], table[2 * j + 1]);
    }
  }
}

}  // namespace

FftPlan* fftCreatePlan(uint32_t n) {
  if (n < 2 || (n & (n - 1)) != 0) return nullptr;
  FftPlan* plan = new (std::nothrow) FftPlan;
  if (!plan) return nullptr;
  plan->n = n;
  plan->half = n / 2;
  plan->kernels = fftBestKernels();
  const size_t m = plan->half;
  const size_t twiddles = stageTwiddleCount(m);
  const size_t splits = m >= 2 ? m / 2 : 1;
  plan->twiddleD = static_cast<double*>(allocTable(twiddles * 2 * sizeof(double)));
  plan->twiddleF = static_cast<float*>(allocTable(twiddles * 2 * sizeof(float)));
  plan->splitD = static_cast<double*>(allocTable(splits * 2 * sizeof(double)));
  plan->splitF = static_cast<float*>(allocTable(splits * 2 * sizeof(float)));
  plan->scratch = allocTable(size_t{n} * sizeof(double));
  if (!plan->twiddleD || !plan->twiddleF || !plan->splitD || !plan->splitF || !plan->scratch) {
    fftDestroyPlan(plan);
    return nullptr;
  }
  plan->twiddleD[0] = 1.0;
  plan->twiddleD[1] = 0.0;
  fillStageTwiddles(plan->twiddleD, m);
  fillSplitRoots(plan->splitD, splits, plan->twiddleD, m);
  for (size_t i = 0; i < 2 * twiddles; ++i)
    plan->twiddleF[i] = static_cast<float>(plan->twiddleD[i]);
  for (size_t i = 0; i < 2 * splits; ++i) plan->splitF[i] = static_cast<float>(plan->splitD[i]);
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
