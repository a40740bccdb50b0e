#pragma once

// Private to the FFT: the precomputed tables behind an FFTSETUP and the transform kernels.
//
// The real transform of N samples runs as an M = N/2 point complex transform of
// z_n = x_2n + i x_2n+1 (Stockham autosort, radix 4 with one radix-2 stage when log2 M is odd,
// ping-ponging between the caller's buffer and the plan's scratch, so the output comes out in
// natural order without a bit-reversal pass), followed by the split step that separates the
// spectra of the even and odd samples. Complex values are interleaved (re, im) pairs.
// Kernels come in three families with the same operations: portable scalar, SSE2 (the x86-64
// baseline) and AVX2/FMA (picked at run time where the processor has it).

#include <cstddef>
#include <cstdint>

// Kernel families, each giving the same results up to rounding.
enum class FftKernels : uint8_t { Scalar, Sse2, Avx2 };

// The fastest family this processor runs.
FftKernels fftBestKernels();

struct FftPlan {
  uint32_t n = 0;     // real size N
  uint32_t half = 0;  // M = N/2 complex points
  // Twiddles of the radix-4 stages, stage after stage: for sub-transform length n (n = M, M/4,
  // ... down to 4) with m = n/4, three runs of m values e^(+2 pi i k p / n), k = 1, 2, 3,
  // p < m, as (re, im) pairs, so that each stage reads its factors front to back.
  // The double tables are null in a float-only plan.
  double* twiddleD = nullptr;
  float* twiddleF = nullptr;
  // t_k = e^(+2 pi i k / N) for k < M/2 (at least one entry), the split-step factors.
  double* splitD = nullptr;
  float* splitF = nullptr;
  // N doubles, 64-byte aligned: the ping-pong partner of the caller's buffer.
  void* scratch = nullptr;
  FftKernels kernels = FftKernels::Scalar;
};

// Null on allocation failure; n must be a power of two >= 2. Without withDouble the plan holds
// only the float tables (the same values as a full plan's) and serves only float transforms.
FftPlan* fftCreatePlan(uint32_t n, bool withDouble);
void fftDestroyPlan(FftPlan* plan);

// scale already holds the 1/N (real) or 1/M (complex) factor of the forward transform.
// scratch holds at least N values of T and must not overlap buffer.
void fftRealForward(const FftPlan& plan, float* buffer, float* scratch, float scale);
void fftRealForward(const FftPlan& plan, double* buffer, double* scratch, double scale);
void fftRealInverse(const FftPlan& plan, float* buffer, float* scratch, float scale);
void fftRealInverse(const FftPlan& plan, double* buffer, double* scratch, double scale);
void fftComplexForward(const FftPlan& plan, float* buffer, float* scratch, float scale);
void fftComplexInverse(const FftPlan& plan, float* buffer, float* scratch, float scale);
