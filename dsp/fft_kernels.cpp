#include "dsp/fft_plan.h"

#include "dsp/fft_kernels_avx.h"
#include "dsp/fft_kernels_scalar.h"
#include "dsp/fft_kernels_sse2.h"

namespace {

uint32_t log2Of(uint32_t v) {
  uint32_t r = 0;
  while (v > 1) {
    v >>= 1;
    ++r;
  }
  return r;
}

// Radix-4 stages while four or more points remain per sub-transform, then one radix-2 stage.
uint32_t stageCount(uint32_t half) {
  const uint32_t bits = log2Of(half);
  return bits / 2 + (bits & 1);
}

bool useSse(const FftPlan& plan) {
  return fftsse::kAvailable && plan.kernels != FftKernels::Scalar;
}

template <typename T, bool Inv>
void stage4(const FftPlan& plan, const T* x, T* y, size_t m, size_t s, const T* twiddles) {
#if FFT_HAVE_AVX_KERNELS
  if (plan.kernels == FftKernels::Avx2 && fftAvxStage4(x, y, m, s, twiddles, Inv)) return;
#endif
  if (useSse(plan)) {
    fftsse::stage4<Inv>(x, y, m, s, twiddles);
  } else {
    fftscalar::stage4<T, Inv>(x, y, m, s, twiddles);
  }
}

template <typename T>
void stage2(const FftPlan& plan, const T* x, T* y, size_t s) {
#if FFT_HAVE_AVX_KERNELS
  if (plan.kernels == FftKernels::Avx2 && fftAvxStage2(x, y, s)) return;
#endif
  if (useSse(plan)) {
    fftsse::stage2(x, y, s);
  } else {
    fftscalar::stage2<T>(x, y, s);
  }
}

template <typename T, bool Inv>
T* runStages(const FftPlan& plan, T* a, T* b, const T* twiddles) {
  size_t n = plan.half;
  size_t s = 1;
  while (n >= 4) {
    const size_t m = n / 4;
    stage4<T, Inv>(plan, a, b, m, s, twiddles);
    twiddles += 6 * m;
    T* t = a;
    a = b;
    b = t;
    n = m;
    s *= 4;
  }
  if (n == 2) {
    stage2<T>(plan, a, b, s);
    a = b;
  }
  return a;
}

template <typename T>
void realForward(const FftPlan& plan, T* buffer, T* scratch, T scale, const T* twiddles,
                 const T* splits) {
  const T* z = runStages<T, false>(plan, buffer, scratch, twiddles);
  size_t first = 1;
#if FFT_HAVE_AVX_KERNELS
  if (plan.kernels == FftKernels::Avx2) {
    first = fftAvxSplitForward(z, buffer, plan.half, splits, scale);
  }
#endif
  if (useSse(plan)) {
    fftsse::splitForward(z, buffer, plan.half, splits, scale, first);
  } else {
    fftscalar::splitForward<T>(z, buffer, plan.half, splits, scale, first);
  }
}

template <typename T>
void realInverse(const FftPlan& plan, T* buffer, T* scratch, T scale, const T* twiddles,
                 const T* splits) {
  // The stages ping-pong, so start where an even or odd count of them ends in the buffer.
  T* start = (stageCount(plan.half) & 1) ? scratch : buffer;
  T* other = start == buffer ? scratch : buffer;
  size_t first = 1;
#if FFT_HAVE_AVX_KERNELS
  if (plan.kernels == FftKernels::Avx2) {
    first = fftAvxSplitInverse(buffer, start, plan.half, splits, scale);
  }
#endif
  if (useSse(plan)) {
    fftsse::splitInverse(buffer, start, plan.half, splits, scale, first);
  } else {
    fftscalar::splitInverse<T>(buffer, start, plan.half, splits, scale, first);
  }
  runStages<T, true>(plan, start, other, twiddles);
}

template <bool Inv>
void complexTransform(const FftPlan& plan, float* buffer, float* scratch, float scale) {
  const float* z = runStages<float, Inv>(plan, buffer, scratch, plan.twiddleF);
  const size_t count = size_t{plan.half} * 2;
  if (z != buffer || scale != 1.0f) {
    for (size_t i = 0; i < count; ++i) buffer[i] = z[i] * scale;
  }
}

}  // namespace

FftKernels fftBestKernels() {
#if FFT_HAVE_AVX_KERNELS
  __builtin_cpu_init();
  if (__builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma")) return FftKernels::Avx2;
#endif
  return fftsse::kAvailable ? FftKernels::Sse2 : FftKernels::Scalar;
}

void fftRealForward(const FftPlan& plan, float* buffer, float* scratch, float scale) {
  realForward<float>(plan, buffer, scratch, scale, plan.twiddleF, plan.splitF);
}

void fftRealForward(const FftPlan& plan, double* buffer, double* scratch, double scale) {
  realForward<double>(plan, buffer, scratch, scale, plan.twiddleD, plan.splitD);
}

void fftRealInverse(const FftPlan& plan, float* buffer, float* scratch, float scale) {
  realInverse<float>(plan, buffer, scratch, scale, plan.twiddleF, plan.splitF);
}

void fftRealInverse(const FftPlan& plan, double* buffer, double* scratch, double scale) {
  realInverse<double>(plan, buffer, scratch, scale, plan.twiddleD, plan.splitD);
}

void fftComplexForward(const FftPlan& plan, float* buffer, float* scratch, float scale) {
  complexTransform<false>(plan, buffer, scratch, scale);
}

void fftComplexInverse(const FftPlan& plan, float* buffer, float* scratch, float scale) {
  complexTransform<true>(plan, buffer, scratch, scale);
}
