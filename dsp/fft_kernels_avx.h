#pragma once

// AVX2/FMA stages of the FFT (fft_kernels_avx.cpp). Callers check fftAvxSupported() first.
// Each stage returns false, doing nothing, for a shape it does not cover; the caller then runs
// the SSE2 stage instead.

#include <cstddef>

#if (defined(__GNUC__) || defined(__clang__)) && defined(__x86_64__)
#define FFT_HAVE_AVX_KERNELS 1
#else
#define FFT_HAVE_AVX_KERNELS 0
#endif

#if FFT_HAVE_AVX_KERNELS
bool fftAvxStage4(const float* x, float* y, size_t m, size_t s, const float* tw, bool inverse);
bool fftAvxStage4(const double* x, double* y, size_t m, size_t s, const double* tw,
                  bool inverse);
bool fftAvxStage2(const float* x, float* y, size_t s);
bool fftAvxStage2(const double* x, double* y, size_t s);
// The middle of the split step: bins k and M-k from k = 1 up; returns the first k not done.
// Bins 0 and M/2 are never touched.
size_t fftAvxSplitForward(const float* z, float* out, size_t half, const float* t, float scale);
size_t fftAvxSplitForward(const double* z, double* out, size_t half, const double* t,
                          double scale);
size_t fftAvxSplitInverse(const float* in, float* z, size_t half, const float* t, float scale);
size_t fftAvxSplitInverse(const double* in, double* z, size_t half, const double* t,
                          double scale);
#endif
