#include "dsp/fft.h"

#include <chrono>
#include <new>

#include "dsp/fft_plan.h"

namespace {

constexpr uint32_t kMaxSize = 1u << 24;
constexpr uint32_t kProgressIntervalMs = 128;

bool isValidSize(uint32_t n) { return n >= 2 && n <= kMaxSize && (n & (n - 1)) == 0; }

uint32_t log2Of(uint32_t n) {
  uint32_t r = 0;
  while (n > 1) {
    n >>= 1;
    ++r;
  }
  return r;
}

// Milliseconds of the steady clock, wrapping modulo 2^32 like a system tick count.
uint32_t tickCount() {
  const auto now = std::chrono::steady_clock::now().time_since_epoch();
  return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

bool ready(const FFTSETUP* setup, const void* buffer, uint32_t n) {
  return setup && setup->plan && buffer && n == setup->size && isValidSize(n);
}

// A float-only record refuses the double transforms.
bool readyDouble(const FFTSETUP* setup, const double* buffer, uint32_t n) {
  return ready(setup, buffer, n) && setup->plan->twiddleD;
}

FFTSETUP* prepare(FFTSETUP* setup, void* userData, uint32_t n, NxSigProgressCallback callback,
                  bool withDouble) {
  if (!isValidSize(n)) return nullptr;
  FftPlan* plan = nullptr;
  if (!setup || !setup->plan || setup->plan->n != n || (withDouble && !setup->plan->twiddleD)) {
    plan = fftCreatePlan(n, withDouble);
    if (!plan) return nullptr;
  }
  if (!setup) {
    setup = new (std::nothrow) FFTSETUP{};
    if (!setup) {
      fftDestroyPlan(plan);
      return nullptr;
    }
  }
  if (plan) {
    fftDestroyPlan(setup->plan);
    setup->plan = plan;
  }
  setup->userData = userData;
  setup->size = n;
  setup->stepsDone = 0;
  setup->stepsTotal = log2Of(n) + 1;
  setup->progressCallback = callback;
  setup->progressInterval = kProgressIntervalMs;
  setup->nextProgressTick = tickCount() + kProgressIntervalMs;
  setup->hasWorkBuffer = 0;
  setup->workBuffer = nullptr;
  setup->workBufferSize = 0;
  setup->librarySpec = nullptr;
  return setup;
}

template <typename T>
T* scratchOf(const FFTSETUP* setup) {
  return static_cast<T*>(setup->plan->scratch);
}

// One step of a driver: counts it and, once the tick is due, asks the progress callback
// whether to go on. The wrapped difference keeps working across the 49-day tick wrap.
bool progressStep(FFTSETUP* setup) {
  ++setup->stepsDone;
  if (!setup->progressCallback) return true;
  const uint32_t now = tickCount();
  if (static_cast<int32_t>(now - setup->nextProgressTick) < 0) return true;
  setup->nextProgressTick += setup->progressInterval;
  return setup->progressCallback(setup->userData, setup, setup->stepsDone, setup->stepsTotal) != 0;
}

// Two interleaved channels of n frames: the left channel is packed into the front half of the
// buffer, the right one into the upper half of the scratch, and each goes through the plain
// transform with the lower half of the scratch as its partner.
template <bool Forward>
void stereoTransform(FFTSETUP* setup, float* buffer, uint32_t n, float scale) {
  float* scratch = scratchOf<float>(setup);
  float* right = scratch + n;
  for (uint32_t i = 0; i < n; ++i) {
    right[i] = buffer[2 * i + 1];
    buffer[i] = buffer[2 * i];
  }
  if (Forward) {
    fftRealForward(*setup->plan, buffer, scratch, scale / static_cast<float>(n));
    fftRealForward(*setup->plan, right, scratch, scale / static_cast<float>(n));
  } else {
    fftRealInverse(*setup->plan, buffer, scratch, scale);
    fftRealInverse(*setup->plan, right, scratch, scale);
  }
  for (uint32_t i = n; i-- > 0;) {
    buffer[2 * i] = buffer[i];
    buffer[2 * i + 1] = right[i];
  }
}

}  // namespace

FFTSETUP* NxSig_PrepareFFT(void* userData, uint32_t n, NxSigProgressCallback callback,
                           int useLibrary) {
  return NxSig_ReprepareFFT(nullptr, userData, n, callback, useLibrary);
}

FFTSETUP* NxSig_ReprepareFFT(FFTSETUP* setup, void* userData, uint32_t n,
                             NxSigProgressCallback callback, int useLibrary) {
  (void)useLibrary;
  return prepare(setup, userData, n, callback, true);
}

FFTSETUP* NxSig_PrepareFFT_Float(void* userData, uint32_t n, NxSigProgressCallback callback,
                                 int useLibrary) {
  (void)useLibrary;
  return prepare(nullptr, userData, n, callback, false);
}

int NxSig_UnprepareFFT(FFTSETUP* setup) {
  if (!setup) return 0;
  fftDestroyPlan(setup->plan);
  delete setup;
  return 1;
}

int NxSig_FFT(FFTSETUP* setup, double* buffer, uint32_t n, double scale) {
  if (!readyDouble(setup, buffer, n)) return 0;
  fftRealForward(*setup->plan, buffer, scratchOf<double>(setup), scale / static_cast<double>(n));
  return 1;
}

int NxSig_InverseFFT(FFTSETUP* setup, double* buffer, uint32_t n, double scale) {
  if (!readyDouble(setup, buffer, n)) return 0;
  fftRealInverse(*setup->plan, buffer, scratchOf<double>(setup), scale);
  return 1;
}

int NxSig_FFT_Float(FFTSETUP* setup, float* buffer, uint32_t n, float scale) {
  if (!ready(setup, buffer, n)) return 0;
  fftRealForward(*setup->plan, buffer, scratchOf<float>(setup), scale / static_cast<float>(n));
  return 1;
}

int NxSig_InverseFFT_Float(FFTSETUP* setup, float* buffer, uint32_t n, float scale) {
  if (!ready(setup, buffer, n)) return 0;
  fftRealInverse(*setup->plan, buffer, scratchOf<float>(setup), scale);
  return 1;
}

int NxSig_FFTProcess(FFTSETUP* setup, double* buffer, uint32_t n, double forwardScale,
                     double inverseScale, NxSigProcessCallback callback, void* context) {
  if (!NxSig_FFT(setup, buffer, n, forwardScale)) return 0;
  if (!progressStep(setup)) return 0;
  if (callback && !callback(setup, buffer, n, context)) return 0;
  if (!progressStep(setup)) return 0;
  return NxSig_InverseFFT(setup, buffer, n, inverseScale) ? 1 : 0;
}

int NxSig_FFTProcess_Float(FFTSETUP* setup, float* buffer, uint32_t n, float forwardScale,
                           float inverseScale, NxSigProcessCallbackFloat callback,
                           void* context) {
  if (!NxSig_FFT_Float(setup, buffer, n, forwardScale)) return 0;
  if (callback && !callback(setup, buffer, n, context)) return 0;
  return NxSig_InverseFFT_Float(setup, buffer, n, inverseScale) ? 1 : 0;
}

int NxSig_FFT_Interleaved_Float(FFTSETUP* setup, float* buffer, uint32_t n, uint32_t channels,
                                float scale) {
  if (channels == 1) return NxSig_FFT_Float(setup, buffer, n, scale);
  if (channels != 2 || !ready(setup, buffer, n)) return 0;
  stereoTransform<true>(setup, buffer, n, scale);
  return 1;
}

int NxSig_InverseFFT_Interleaved_Float(FFTSETUP* setup, float* buffer, uint32_t n,
                                       uint32_t channels, float scale) {
  if (channels == 1) return NxSig_InverseFFT_Float(setup, buffer, n, scale);
  if (channels != 2 || !ready(setup, buffer, n)) return 0;
  stereoTransform<false>(setup, buffer, n, scale);
  return 1;
}

int NxSig_FFTProcess_Interleaved_Float(FFTSETUP* setup, float* buffer, uint32_t n,
                                       uint32_t channels, float forwardScale, float inverseScale,
                                       NxSigProcessCallbackFloat callback, void* context) {
  if (!NxSig_FFT_Interleaved_Float(setup, buffer, n, channels, forwardScale)) return 0;
  if (callback && !callback(setup, buffer, n, context)) return 0;
  return NxSig_InverseFFT_Interleaved_Float(setup, buffer, n, channels, inverseScale) ? 1 : 0;
}

int NxSig_FFT_Complex_Float(FFTSETUP* setup, float* buffer, uint32_t complexLength,
                            float scale) {
  if (!setup || complexLength == 0 || complexLength > kMaxSize / 2 ||
      !ready(setup, buffer, complexLength * 2)) {
    return 0;
  }
  fftComplexForward(*setup->plan, buffer, scratchOf<float>(setup),
                    scale / static_cast<float>(complexLength));
  return 1;
}

int NxSig_InverseFFT_Complex_Float(FFTSETUP* setup, float* buffer, uint32_t complexLength,
                                   float scale) {
  if (!setup || complexLength == 0 || complexLength > kMaxSize / 2 ||
      !ready(setup, buffer, complexLength * 2)) {
    return 0;
  }
  fftComplexInverse(*setup->plan, buffer, scratchOf<float>(setup), scale);
  return 1;
}
