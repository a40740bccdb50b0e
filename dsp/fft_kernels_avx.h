#pragma once

// AVX2/FMA stages of the FFT (fft_kernels_avx.cpp). Callers check fftAvxSupported() first.
// Each returns false, doing nothing, for a stage shape it does not cover; the caller then runs
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
#endif
