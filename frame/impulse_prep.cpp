#include "frame/impulse_prep.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "dsp/resampler.h"
#include "platform/muldiv.h"

namespace {

constexpr int64_t kMaxFftSize = int64_t(1) << 24;
constexpr uint32_t kStandbyDataBytes = 512;

void Report(ConvolverStatusSink* status, LONG code) {
  if (status != nullptr) status->SetStatus(code);
}

// Zero-filled samples; ReleaseConvolver frees them.
template <typename T>
T* AllocSamples(size_t count) {
  return new (std::nothrow) T[count]();
}

bool ValidShape(const StreamShape& shape) {
  return (shape.channels == 1 || shape.channels == 2) && shape.sampleRate > 0 &&
         shape.sampleRate <= 0x7fffffffu;
}

bool SameFormats(const ConvolverState& s, const StreamShape& in, const StreamShape& out) {
  return s.inputChannels == in.channels && s.outputChannels == out.channels &&
         s.inputRate == in.sampleRate && s.outputRate == out.sampleRate &&
         s.doublePrecision == (in.bitsPerSample == 64);
}

void SetBalance(ConvolverState& s, LONG pan) {
  // Presets may carry any pan; beyond +-100 a channel gain would turn negative.
  const LONG p = std::min<LONG>(std::max<LONG>(pan, -100), 100);
  s.balanceLeft = 1.0;
  s.balanceRight = 1.0;
  if (s.outputChannels != 2) return;
  if (p < 0) s.balanceRight = (p + 100) / 100.0;
  if (p > 0) s.balanceLeft = (100 - p) / 100.0;
}

// Dry and wet gains, response delay and balance: what both paths derive from the levels.
void SetGainsAndDelay(ConvolverState& s, const PlugInParams& params) {
  s.dryGain = LevelGain(params.dryOut);
  s.wetScale = LevelGain(params.wetOut) * s.normGain;
  // Tenths of a millisecond to processing-rate samples, truncated toward zero.
  const int64_t delay = int64_t(params.responseDelay) * s.outputRate / s.rateDivisor / 10000;
  s.delayOnWet = delay >= 0;
  s.delayLength = static_cast<int32_t>(delay < 0 ? -delay : delay);
  SetBalance(s, params.pan);
}

template <typename T>
bool AllocateDryBuffers(ConvolverState& s, ConvolverBuffers<T>& b) {
  const size_t count = size_t(s.rateDivisor) * s.fftSize;
  if (s.dryGain == 0.0 || b.dry[0] != nullptr) return true;
  b.dry[0] = AllocSamples<T>(count);
  if (s.outputChannels == 2) b.dry[1] = AllocSamples<T>(count);
  return b.dry[0] != nullptr && (s.outputChannels != 2 || b.dry[1] != nullptr);
}

template <typename T>
bool AllocateDelayLines(ConvolverState& s, ConvolverBuffers<T>& b) {
  delete[] b.delayLine[0];
  delete[] b.delayLine[1];
  b.delayLine[0] = b.delayLine[1] = nullptr;
  s.delayIndex = 0;
  if (s.delayLength <= 0) return true;
  const size_t count = size_t(s.delayLength) * s.rateDivisor;
  b.delayLine[0] = AllocSamples<T>(count);
  if (s.outputChannels == 2) b.delayLine[1] = AllocSamples<T>(count);
  return b.delayLine[0] != nullptr && (s.outputChannels != 2 || b.delayLine[1] != nullptr);
}

bool AllocateDryBuffers(ConvolverState& s) {
  return s.doublePrecision ? AllocateDryBuffers(s, s.doubleBuffers)
                           : AllocateDryBuffers(s, s.floatBuffers);
}

bool AllocateDelayLines(ConvolverState& s) {
  return s.doublePrecision ? AllocateDelayLines(s, s.doubleBuffers)
                           : AllocateDelayLines(s, s.floatBuffers);
}

bool SameSection(const TwoPoleSection& a, const TwoPoleSection& b) {
  return a.a1 == b.a1 && a.a2 == b.a2 && a.b == b.b && a.inputGain == b.inputGain &&
         a.directGain == b.directGain && a.filteredGain == b.filteredGain;
}

bool SameEq(const ShelfEqState& a, const ShelfEqState& b) {
  return a.lowType == b.lowType && a.highType == b.highType && SameSection(a.low, b.low) &&
         SameSection(a.high, b.high);
}

// Level, pan and width moves also arrive here; they must not empty the delay lines or restart the
// filters, or every fader move would be heard as a dropout. So the delay lines are renewed only
// when the delay changed, and the EQ history only when its design did.
LONG QuickUpdate(ConvolverState& s, const PlugInParams& params) {
  const int32_t oldDelay = s.delayLength;
  const bool oldOnWet = s.delayOnWet;
  SetGainsAndDelay(s, params);
  const bool delayChanged = s.delayLength != oldDelay || s.delayOnWet != oldOnWet;
  if (!AllocateDryBuffers(s) || (delayChanged && !AllocateDelayLines(s))) {
    s.phase = StreamPhase::kUnprepared;
    return kConvolverOutOfMemory;
  }
  ShelfEqState eq[2];
  SetupShelfEq(ShelfSettingsOf(params), double(s.outputRate) / s.rateDivisor, eq);
  if (!SameEq(eq[0], s.eq[0])) {
    s.eq[0] = eq[0];
    s.eq[1] = eq[1];
  }
  return kConvolverOk;
}

// The file to read, or the silent stand-by impulse when it cannot be used. Returns the frames in
// the file.
uint32_t DescribeImpulse(ConvolverState& s, const WCHAR* file, ImpulseSource& source,
                         ImpulseSourceInfo* info) {
  ImpulseSourceInfo found = {};
  s.impulseLoaded = source.GetInfo(file, &found) && found.dataBytes >= 8 && found.channels > 0 &&
                    found.bytesPerSample > 0 && found.sampleRate > 0 &&
                    found.sampleRate <= 0x7fffffffu &&
                    found.dataBytes / found.bytesPerSample / found.channels > 0;
  if (!s.impulseLoaded) found = {1, 2, kStandbyDataBytes, s.inputRate / s.rateDivisor};
  *info = found;
  s.impulseChannels = found.channels >= 2 ? 2 : 1;
  return found.dataBytes / found.bytesPerSample / found.channels;
}

template <typename T>
bool AllocateBlockBuffers(ConvolverState& s, ConvolverBuffers<T>& b, uint32_t impulseChannels) {
  const size_t n = size_t(s.fftSize);
  const bool wet2 = s.outputChannels == 2 && !s.monoImpulse;
  b.impulseSpectrum[0] = AllocSamples<T>(s.impulseCapacity);
  b.overlap[0] = AllocSamples<T>(n / 2);
  b.block[0] = AllocSamples<T>(n);
  bool ok = b.impulseSpectrum[0] && b.overlap[0] && b.block[0];
  if (wet2) {
    if (impulseChannels == 2) {
      b.impulseSpectrum[1] = AllocSamples<T>(s.impulseCapacity);
      ok = ok && b.impulseSpectrum[1];
    }
    b.overlap[1] = AllocSamples<T>(n / 2);
    b.block[1] = AllocSamples<T>(n);
    ok = ok && b.overlap[1] && b.block[1];
  }
  return ok;
}

bool AllocateBuffers(ConvolverState& s, uint32_t used, uint32_t impulseChannels) {
  const bool dbl = s.doublePrecision;
  // The impulse buffers also hold the impulse at the processing rate, which at low qualities with a
  // low file rate outgrows both N and the frames read.
  s.impulseCapacity = static_cast<uint32_t>(std::max<size_t>(
      {size_t(s.fftSize), size_t(used), size_t(s.impulseLength / s.rateDivisor)}));
  bool ok = dbl ? AllocateBlockBuffers(s, s.doubleBuffers, impulseChannels)
                : AllocateBlockBuffers(s, s.floatBuffers, impulseChannels);
  if (!dbl) {
    s.pcmInput = new (std::nothrow) float[kPcmChunkFrames * 2]();
    s.pcmOutput = new (std::nothrow) float[kPcmChunkFrames * 2]();
    ok = ok && s.pcmInput && s.pcmOutput;
  }
  return ok && AllocateDryBuffers(s) && AllocateDelayLines(s);
}

// Zeroes the second half and fades the last fifth of the first half: the partitioned qualities run
// on the first block of the impulse only.
void CutAndFade(float* buffer, int32_t n) {
  const int32_t half = n / 2;
  std::fill(buffer + half, buffer + n, 0.0f);
  const int32_t m = static_cast<int32_t>(0.2 * half);
  for (int32_t j = 0; j < m; ++j) {
    buffer[half - m + j] *= static_cast<float>(m - j) / static_cast<float>(m);
  }
}

// The impulse is read and shaped in float whatever the stream's precision; a double-precision
// stream transforms the first N samples widened (exactly) to double.
bool TransformImpulse(ConvolverState& s, float* samples, int k) {
  const uint32_t n = static_cast<uint32_t>(s.fftSize);
  if (!s.doublePrecision) return NxSig_FFT_Float(s.fft, samples, n, 1.0f) != 0;
  double* wide = s.doubleBuffers.impulseSpectrum[k];
  std::copy(samples, samples + n, wide);
  return NxSig_FFT(s.fft, wide, n, 1.0) != 0;
}

// Float working buffers of the impulse: the spectrum buffers themselves for a float stream,
// scratch of the same capacity for a double one (released when the spectra are made).
class ImpulseWorkBuffers {
 public:
  explicit ImpulseWorkBuffers(ConvolverState& s) {
    for (int k = 0; k < 2; ++k) {
      if (!s.doublePrecision) {
        m_channel[k] = s.floatBuffers.impulseSpectrum[k];
      } else if (s.doubleBuffers.impulseSpectrum[k] != nullptr) {
        m_owned[k] = AllocSamples<float>(s.impulseCapacity);
        m_channel[k] = m_owned[k];
        m_failed = m_failed || m_owned[k] == nullptr;
      }
    }
  }
  ~ImpulseWorkBuffers() {
    delete[] m_owned[0];
    delete[] m_owned[1];
  }
  ImpulseWorkBuffers(const ImpulseWorkBuffers&) = delete;
  ImpulseWorkBuffers& operator=(const ImpulseWorkBuffers&) = delete;
  float* Channel(int k) const { return m_channel[k]; }
  bool Failed() const { return m_failed; }

 private:
  float* m_channel[2] = {};
  float* m_owned[2] = {};
  bool m_failed = false;
};

// Reads, shapes, converts, normalises and transforms the impulse into the spectra.
LONG BuildSpectra(ConvolverState& s, const PlugInParams& params, const WCHAR* file,
                  ImpulseSource& source, ConvolverStatusSink* status, uint32_t used,
                  uint32_t reference, bool envelope, uint32_t fileRate) {
  const ImpulseWorkBuffers work(s);
  if (work.Failed()) return kConvolverOutOfMemory;
  float* b0 = work.Channel(0);
  float* b1 = work.Channel(1);
  if (s.impulseLoaded) {
    Report(status, kConvolverStatusLoading);
    source.Load(file, b0, b1, used);
    Report(status, kConvolverStatusInitializing);
  }
  if (envelope) {
    ApplyImpulseEnvelope(b0, b1, used, reference, params.envelopePoints, params.envelopeCount);
  }
  const uint32_t processed = static_cast<uint32_t>(s.impulseLength / s.rateDivisor);
  if (s.outputRate / uint32_t(s.rateDivisor) != fileRate) {
    Report(status, kConvolverStatusPreparing);
    ResampleImpulse(nullptr, b0, b1, used, processed);
    Report(status, kConvolverStatusInitializing);
  }
  double norm = ImpulseNorm(b0, processed);
  if (b1 != nullptr) norm = std::max(norm, ImpulseNorm(b1, processed));
  s.normGain = norm > 0.0 ? s.fftSize / norm : s.fftSize;
  s.wetScale = LevelGain(params.wetOut) * s.normGain;
  // A float stream never runs a double transform, so its record skips the double tables.
  const uint32_t fftSize = static_cast<uint32_t>(s.fftSize);
  s.fft = s.doublePrecision ? NxSig_PrepareFFT(nullptr, fftSize, nullptr, 0)
                            : NxSig_PrepareFFT_Float(nullptr, fftSize, nullptr, 0);
  if (s.fft == nullptr) return kConvolverOutOfMemory;
  for (float* b : {b0, b1}) {
    if (b == nullptr) continue;
    if (s.partitionFactor > 1) {
      CutAndFade(b, s.fftSize);
    } else {
      std::fill(b + s.fftSize / 2, b + s.fftSize, 0.0f);
    }
  }
  if (!TransformImpulse(s, b0, 0) || (b1 != nullptr && !TransformImpulse(s, b1, 1))) {
    return kConvolverOutOfMemory;
  }
  if (b1 == nullptr && s.outputChannels == 2 && !s.monoImpulse) {
    s.floatBuffers.impulseSpectrum[1] = s.floatBuffers.impulseSpectrum[0];
    s.doubleBuffers.impulseSpectrum[1] = s.doubleBuffers.impulseSpectrum[0];
  }
  return kConvolverOk;
}

LONG FullRebuild(ConvolverState& s, const PlugInParams& params, const StreamShape& in,
                 const StreamShape& out, const WCHAR* file, ImpulseSource& source,
                 ConvolverStatusSink* status) {
  ReleaseConvolver(s, status);
  const int32_t maxFrames = s.maxImpulseFrames;
  static_cast<ConvolverFields&>(s) = ConvolverFields();
  s.maxImpulseFrames = maxFrames;
  Report(status, kConvolverStatusInitializing);
  s.inputChannels = in.channels;
  s.outputChannels = out.channels;
  s.inputRate = in.sampleRate;
  s.outputRate = out.sampleRate;
  s.doublePrecision = in.bitsPerSample == 64;
  // The stand-by impulse is described at the processing rate.
  s.rateDivisor = QualityPlan(params.quality, in.channels == 1).rateDivisor;
  ImpulseSourceInfo info;
  const uint32_t frames = DescribeImpulse(s, file, source, &info);
  ImpulsePlan plan;
  const LONG planned = PlanImpulse(params, in, out, info, maxFrames, &plan);
  s.blockDivisor = plan.blockDivisor;
  s.partitionFactor = plan.partitionFactor;
  s.monoImpulse = plan.monoImpulse;
  if (planned != kConvolverOk) return planned;
  s.impulseLength = plan.impulseLength;
  s.fftSize = plan.fftSize;
  s.blockSize = s.blockOutputCount = s.fftSize / 2;
  s.impulseTail = plan.keptSamples;
  const uint32_t used = plan.readFrames;
  const uint32_t reference = std::min(frames, plan.maxFrames);
  SetGainsAndDelay(s, params);
  if (!AllocateBuffers(s, used, plan.impulseChannelsUsed)) return kConvolverOutOfMemory;
  const LONG result = BuildSpectra(s, params, file, source, status, used, reference,
                                   plan.cutByDecayLimit, info.sampleRate);
  if (result != kConvolverOk) return result;
  SetupShelfEq(ShelfSettingsOf(params), double(s.outputRate) / s.rateDivisor, s.eq);
  s.phase = StreamPhase::kIdle;
  return kConvolverOk;
}

}  // namespace

LONG PlanImpulse(const PlugInParams& params, const StreamShape& input, const StreamShape& output,
                 const ImpulseSourceInfo& info, int64_t maxImpulseFrames, ImpulsePlan* plan) {
  ImpulsePlan p = {};
  const QualityPlanEntry quality = QualityPlan(params.quality, input.channels == 1);
  p.rateDivisor = quality.rateDivisor;
  p.blockDivisor = quality.blockDivisor;
  p.partitionFactor = quality.rateDivisor * quality.blockDivisor;
  p.monoImpulse = quality.monoImpulse && output.channels == 2;
  p.processingRate = output.sampleRate / uint32_t(p.rateDivisor);
  p.fileFrames = info.channels > 0 && info.bytesPerSample > 0
                     ? info.dataBytes / info.bytesPerSample / info.channels
                     : 0;
  p.maxFrames = static_cast<uint32_t>(ClampMaxImpulseFrames(maxImpulseFrames));
  p.readFrames = std::min(p.fileFrames, p.maxFrames);
  p.cutByMaxFrames = p.readFrames < p.fileFrames;
  if (params.applyEnvelope != 0) {
    // Hundredths of a second at the file rate.
    const int32_t limit =
        std::max(MulDiv(std::min<LONG>(std::max<LONG>(params.decayLimit, 1), 1200),
                        static_cast<int>(info.sampleRate), 100),
                 2);
    if (uint32_t(limit) < p.readFrames) {
      p.readFrames = static_cast<uint32_t>(limit);
      p.cutByDecayLimit = true;
    }
  }
  p.impulseChannelsUsed =
      output.channels == 2 && !p.monoImpulse && info.channels >= 2 ? 2 : 1;
  *plan = p;
  if (info.sampleRate == 0 || info.sampleRate > 0x7fffffffu) return kConvolverBadFormat;
  const int length = MulDiv(static_cast<int>(p.readFrames), static_cast<int>(input.sampleRate),
                            static_cast<int>(info.sampleRate));
  if (length <= 0) return kConvolverBadFormat;
  p.impulseLength = length;
  // N from the impulse length at the stream rate: the power of two that holds the whole linear
  // convolution, divided by the partition factor.
  const int64_t span = 2 * int64_t(length) - 1;
  int64_t whole = 1;
  while (whole < span) whole <<= 1;
  const int64_t n = std::max<int64_t>(whole / p.partitionFactor, 16);
  if (n > kMaxFftSize) return kConvolverOutOfMemory;
  p.fftSize = static_cast<int32_t>(n);
  const int32_t processed = length / p.rateDivisor;
  p.keptSamples = std::min(processed, p.fftSize / 2);
  p.cutByQuality = p.keptSamples < processed;
  p.latencyFrames = p.fftSize / 2 * p.rateDivisor;
  *plan = p;
  return kConvolverOk;
}

LONG PrepareImpulse(ConvolverState& s, const PlugInParams& params, bool rebuildRequested,
                    const StreamShape& input, const StreamShape& output, const WCHAR* impulseFile,
                    ImpulseSource& source, ConvolverStatusSink* status) {
  if (!ValidShape(input) || !ValidShape(output)) return kConvolverBadFormat;
  const bool rebuild =
      rebuildRequested || s.phase == StreamPhase::kUnprepared ||
      (s.floatBuffers.block[0] == nullptr && s.doubleBuffers.block[0] == nullptr) ||
      !SameFormats(s, input, output);
  if (!rebuild) return QuickUpdate(s, params);
  const LONG result = FullRebuild(s, params, input, output, impulseFile, source, status);
  if (result != kConvolverOk) s.phase = StreamPhase::kUnprepared;
  return result;
}

double ImpulseNorm(const float* samples, size_t count) {
  double sum = 0.0;
  for (size_t i = 0; i < count; ++i) sum += double(samples[i]) * samples[i];
  return std::sqrt(sum);
}

void ApplyImpulseEnvelope(float* channel0, float* channel1, uint32_t frames, uint32_t reference,
                          const EnvelopePoint* points, LONG count) {
  if (points == nullptr || count < 2) return;
  count = std::min<LONG>(count, kMaxEnvelopePoints);
  const int64_t total = frames;
  for (LONG s = 1; s < count; ++s) {
    const int64_t start =
        std::max(MulDiv(points[s - 1].position, static_cast<int>(reference), 1000), 0);
    if (start >= total) break;
    int64_t end = MulDiv(points[s].position, static_cast<int>(reference), 1000);
    if (s == count - 1 || end >= total) end = total;
    if (start < end) {
      double gain = points[s - 1].level / 100.0;
      const double step = (points[s].level / 100.0 - gain) / double(end - start);
      for (int64_t k = start; k < end; ++k) {
        channel0[k] = static_cast<float>(channel0[k] * gain);
        if (channel1 != nullptr) channel1[k] = static_cast<float>(channel1[k] * gain);
        gain += step;
      }
    }
    if (end >= total) break;
  }
}

ShelfSettings ShelfSettingsOf(const PlugInParams& params) {
  return {params.lowShelfOn,  params.lowShelfFreq,  params.lowShelfGain,
          params.highShelfOn, params.highShelfFreq, params.highShelfGain};
}
