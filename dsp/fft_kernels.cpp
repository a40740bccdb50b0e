#include "dsp/fft_plan.h"

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

template <typename T, bool Inv>
T* runStages(const FftPlan& plan, T* a, T* b, const T* twiddles) {
  size_t n = plan.half;
  size_t s = 1;
  const bool simd = plan.vectorPath && fftsse::kAvailable;
  while (n >= 4) {
    const size_t m = n / 4;
    if (simd) {
      fftsse::stage4<Inv>(a, b, m, s, twiddles);
    } else {
      fftscalar::stage4<T, Inv>(a, b, m, s, twiddles);
    }
    T* t = a;
    a = b;
    b = t;
    n = m;
    s *= 4;
  }
  if (n == 2) {
    if (simd) {
      fftsse::stage2(a, b, s);
    } else {
      fftscalar::stage2<T>(a, b, s);
    }
    a = b;
  }
  return a;
}

template <typename T>
void realForward(const FftPlan& plan, T* buffer, T* scratch, T scale, const T* twiddles,
                 const T* splits) {
  const T* z = runStages<T, false>(plan, buffer, scratch, twiddles);
  if (plan.vectorPath && fftsse::kAvailable) {
    fftsse::splitForward(z, buffer, plan.half, splits, scale);
  } else {
    fftscalar::splitForward<T>(z, buffer, plan.half, splits, scale);
  }
}

template <typename T>
void realInverse(const FftPlan& plan, T* buffer, T* scratch, T scale, const T* twiddles,
                 const T* splits) {
  // The stages ping-pong, so start where an even or odd count of them ends in the buffer.
  T* start = (stageCount(plan.half) & 1) ? scratch : buffer;
  T* other = start == buffer ? scratch : buffer;
  if (plan.vectorPath && fftsse::kAvailable) {
    fftsse::splitInverse(buffer, start, plan.half, splits, scale);
  } else {
    fftscalar::splitInverse<T>(buffer, start, plan.half, splits, scale);
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
