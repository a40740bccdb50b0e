#include "recovery/test_signal.h"

#include <cmath>
#include <memory>
#include <new>

#include "dsp/fft.h"
#include "impulse/impulse_info.h"
#include "recovery/impulse_wave_writer.h"
#include "recovery/recovery_settings.h"
#include "dsp/exact_math.h"

namespace {

constexpr DWORD kMinSignalFrames = 1024;
constexpr DWORD kMaxSignalFrames = 1u << 23;
constexpr double kMaxLevelDb = -12.0;
constexpr double kTwoPi = 6.283185307179586476925286766559;

bool IsPowerOfTwo(DWORD n) { return n != 0 && (n & (n - 1)) == 0; }

bool ValidOptions(const TestSignalOptions& o) {
  return IsPowerOfTwo(o.signalFrames) && o.signalFrames >= kMinSignalFrames &&
         o.signalFrames <= kMaxSignalFrames && o.spikeSpacing > o.spikeLength &&
         o.spikeSpacing <= 0x10000000u && o.sampleRate != 0 &&
         (o.channels == 1 || o.channels == 2) && (o.bitsPerSample == 16 || o.bitsPerSample == 32) &&
         o.levelDb <= kMaxLevelDb && o.levelDb > -200.0;
}

}  // namespace

TestSignalOptions DefaultTestSignalOptions() {
  const RecoverySettings settings = ReadRecoverySettings();
  TestSignalOptions options;
  options.signalFrames = 262144;
  options.spikeSpacing = settings.spikeSpacing > 0 ? static_cast<DWORD>(settings.spikeSpacing) : 0;
  options.spikeLength = settings.spikeLength > 0 ? static_cast<DWORD>(settings.spikeLength) : 0;
  options.sampleRate = 44100;
  options.channels = 1;
  options.bitsPerSample = 16;
  options.levelDb = -24.0;
  return options;
}

bool MakePerfectSweep(double* period, DWORD n) {
  if (period == nullptr || !IsPowerOfTwo(n) || n < 2 || n > kMaxSignalFrames) return false;
  FFTSETUP* setup = NxSig_PrepareFFT(nullptr, n, nullptr, 0);
  if (setup == nullptr) return false;
  // Bin k has phase -2 pi k^2 / N: its group delay is 2k frames, so the sweep spans the period.
  // k^2 is reduced modulo N in integers to keep the phase exact for large k.
  auto phase = [n](ULONGLONG k) {
    return -kTwoPi * static_cast<double>((k * k) % n) / static_cast<double>(n);
  };
  period[0] = 1.0;
  period[1] = NxCos(phase(n / 2)) >= 0.0 ? 1.0 : -1.0;
  for (DWORD k = 1; k < n / 2; ++k) {
    period[2 * k] = NxCos(phase(k));
    period[2 * k + 1] = NxSin(phase(k));
  }
  NxSig_InverseFFT(setup, period, n, 1.0);
  NxSig_UnprepareFFT(setup);
  double peak = 0.0;
  for (DWORD i = 0; i < n; ++i) peak = std::fmax(peak, std::fabs(period[i]));
  for (DWORD i = 0; i < n; ++i) period[i] /= peak;
  return true;
}

DWORD TestFileFrames(const TestSignalOptions& options) {
  if (!ValidOptions(options)) return 0;
  return options.signalFrames + 2 * options.spikeSpacing;
}

int BuildTestSignal(const TestSignalOptions& options, float* samples) {
  const DWORD frames = TestFileFrames(options);
  if (frames == 0 || samples == nullptr) return kTestSignalBadOptions;
  const DWORD n = options.signalFrames;
  std::unique_ptr<double[]> period(new (std::nothrow) double[n]);
  if (!period || !MakePerfectSweep(period.get(), n)) return kImpulseNoMemory;
  const bool isFloat = options.bitsPerSample == 32;
  // A float file stores x / 32766, so 32766 is its full scale.
  const double fullScale = isFloat ? 32766.0 : 32767.0;
  const double gain = fullScale * NxPow10(options.levelDb / 20.0);
  for (DWORD t = 0; t < frames; ++t) {
    // Frame S holds sample 0 of the period; the sections around repeat it.
    const DWORD phase = static_cast<DWORD>((t + ULONGLONG{n} - options.spikeSpacing % n) % n);
    const double value = gain * period[phase];
    samples[t] = static_cast<float>(isFloat ? value : std::round(value));
  }
  samples[0] = static_cast<float>(fullScale);
  samples[frames - options.spikeLength - 1] = static_cast<float>(fullScale);
  return 0;
}

int WriteTestSignalFile(LPCWSTR name, const TestSignalOptions& options) {
  const DWORD frames = TestFileFrames(options);
  if (frames == 0 || name == nullptr) return kTestSignalBadOptions;
  std::unique_ptr<float[]> samples(new (std::nothrow) float[frames]);
  if (!samples) return kImpulseNoMemory;
  const int built = BuildTestSignal(options, samples.get());
  if (built != 0) return built;
  const int written = options.bitsPerSample == 32
                          ? WriteImpulseWaveFloat(name, samples.get(), nullptr, frames,
                                                  options.sampleRate, options.channels)
                          : WriteImpulseWave16(name, samples.get(), nullptr, frames,
                                               options.sampleRate, options.channels);
  return written == 0 ? 0 : kImpulseWriteFailed;
}
