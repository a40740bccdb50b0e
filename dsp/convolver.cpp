#include "dsp/convolver.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

template <typename T>
T* Samples(void* buffer) {
  return static_cast<T*>(buffer);
}

// Buffers are allocated as doubles (see impulse_prep.cpp) whatever their sample type.
void FreeSamples(void*& buffer) {
  delete[] static_cast<double*>(buffer);
  buffer = nullptr;
}

int WetChannels(const ConvolverState& s) {
  return (s.outputChannels == 2 && !s.monoImpulse) ? 2 : 1;
}

// One frame of input into the current block: at half rate a pair of frames makes one processing
// sample, so a frame is either the kept first one (convolved and dry) or the second (dry only).
template <typename T>
void InputStage(ConvolverState& s, const T* input, uint32_t frames, uint32_t& frame) {
  const int32_t half = s.blockSize;
  const int32_t rd = s.rateDivisor;
  T* block0 = Samples<T>(s.block[0]);
  T* block1 = WetChannels(s) == 2 ? Samples<T>(s.block[1]) : nullptr;
  T* dry0 = Samples<T>(s.dry[0]);
  T* dry1 = Samples<T>(s.dry[1]);
  const uint32_t channels = s.inputChannels;
  while (s.fillPos < half && frame < frames) {
    const T* in = input + static_cast<size_t>(frame) * channels;
    const T left = in[0];
    const T right = channels == 2 ? in[1] : in[0];
    const T scaledLeft = static_cast<T>(s.balanceLeft * left);
    const T scaledRight = static_cast<T>(s.balanceRight * right);
    const int32_t i = s.fillPos;
    if (!s.inputHalfPair) {
      if (s.monoImpulse) {
        // The right sample enters the single wet channel without its balance gain.
        block0[i] = static_cast<T>((static_cast<double>(scaledLeft) + right) * 0.5);
      } else {
        block0[i] = scaledLeft;
        if (block1 != nullptr) block1[i] = scaledRight;
      }
      if (dry0 != nullptr) dry0[i * rd] = scaledLeft;
      if (dry1 != nullptr) dry1[i * rd] = scaledRight;
      if (rd == 1) {
        s.fillPos += 1;
      } else {
        s.inputHalfPair = true;
      }
    } else {
      if (dry0 != nullptr) dry0[i * rd + 1] = scaledLeft;
      if (dry1 != nullptr) dry1[i * rd + 1] = scaledRight;
      s.inputHalfPair = false;
      s.fillPos += 1;
    }
    ++frame;
    s.blocksStarted = true;
  }
}

// End of stream: the partly filled block becomes the final one and carries the whole tail.
template <typename T>
void CloseFinalBlock(ConvolverState& s) {
  const int32_t n = s.fftSize;
  const int32_t half = s.blockSize;
  const int32_t rd = s.rateDivisor;
  const int32_t dryStart = s.fillPos * rd + (s.inputHalfPair ? 1 : 0);
  if (s.inputHalfPair) {
    s.inputHalfPair = false;
    s.fillPos += 1;
  }
  for (int k = 0; k < 2; ++k) {
    if (s.block[k] != nullptr)
      std::fill(Samples<T>(s.block[k]) + s.fillPos, Samples<T>(s.block[k]) + n, T(0));
    if (s.dry[k] != nullptr)
      std::fill(Samples<T>(s.dry[k]) + dryStart, Samples<T>(s.dry[k]) + half * rd, T(0));
  }
  s.blockOutputCount = std::min(n, s.fillPos + s.impulseTail);
  s.fillPos = half;
  s.tailEmitted = true;
}

int RunFft(FFTSETUP* fft, double* block, uint32_t n, double scale, void* spectrum) {
  return NxSig_FFTProcess(fft, block, n, 1.0, scale, SpectrumMultiply, spectrum);
}

int RunFft(FFTSETUP* fft, float* block, uint32_t n, double scale, void* spectrum) {
  return NxSig_FFTProcess_Float(fft, block, n, 1.0f, static_cast<float>(scale),
                                SpectrumMultiplyFloat, spectrum);
}

// Convolves the full block of each wet channel and overlap-adds the carry of the last block.
template <typename T>
void ProcessBlock(ConvolverState& s) {
  const int32_t n = s.fftSize;
  const int32_t half = s.blockSize;
  for (int k = 0; k < WetChannels(s); ++k) {
    T* block = Samples<T>(s.block[k]);
    T* overlap = Samples<T>(s.overlap[k]);
    std::fill(block + half, block + n, T(0));
    RunFft(s.fft, block, static_cast<uint32_t>(n), s.wetScale, s.impulseSpectrum[k]);
    for (int32_t i = 0; i < half - 1; ++i) {
      block[i] += overlap[i];
      overlap[i] = block[half + i];
    }
    if (ShelfEqActive(s.eq[k]))
      ApplyShelfEq(s.eq[k], block, static_cast<size_t>(s.blockOutputCount));
  }
}

// Swaps a fresh value into the delay line and returns the value it held.
template <typename T>
double DelaySwap(void* line, int32_t index, double fresh) {
  T* slot = Samples<T>(line) + index;
  const double old = *slot;
  *slot = static_cast<T>(fresh);
  return old;
}

template <typename T>
void WriteFrame(T* out, uint32_t channels, const double frame[2]) {
  out[0] = static_cast<T>(frame[0]);
  if (channels == 2) out[1] = static_cast<T>(frame[1]);
}

// Emits the convolved block frame by frame; at half rate each processing sample gives two frames
// and the second waits in heldFrame when the output buffer ends between them.
template <typename T>
void OutputStage(ConvolverState& s, T* output, uint32_t frames, uint32_t& frame, LONG width) {
  const uint32_t channels = s.outputChannels;
  const bool wet2 = WetChannels(s) == 2;
  const int32_t rd = s.rateDivisor;
  const double d = s.dryGain;
  const double f = wet2 ? 1.0 - 2.0 * std::min<LONG>(std::max<LONG>(width, 0), 100) / 100.0 : 0.0;
  const T* block0 = Samples<T>(s.block[0]);
  const T* block1 = wet2 ? Samples<T>(s.block[1]) : nullptr;
  const T* dry0 = Samples<T>(s.dry[0]);
  const T* dry1 = Samples<T>(s.dry[1]);
  for (;;) {
    if (s.outputHalfPair) {
      if (frame >= frames) return;
      WriteFrame(output + static_cast<size_t>(frame) * channels, channels, s.heldFrame);
      ++frame;
      s.outputHalfPair = false;
    }
    if (s.readPos >= s.blockOutputCount || frame >= frames) return;
    const int32_t i = s.readPos;
    double w0 = block0[i];
    double w1 = wet2 ? static_cast<double>(block1[i]) : w0;
    double dryA[2] = {0.0, 0.0};
    double dryB[2] = {0.0, 0.0};
    if (dry0 != nullptr) {
      dryA[0] = d * dry0[i * rd];
      if (rd == 2) dryB[0] = d * dry0[i * rd + 1];
    }
    if (dry1 != nullptr) {
      dryA[1] = d * dry1[i * rd];
      if (rd == 2) dryB[1] = d * dry1[i * rd + 1];
    }
    if (s.delayLength > 0) {
      const int32_t j = s.delayIndex;
      if (s.delayOnWet) {
        w0 = DelaySwap<T>(s.delayLine[0], j, w0);
        w1 = wet2 ? DelaySwap<T>(s.delayLine[1], j, w1) : w0;
      } else {
        // A dry slot holds the rateDivisor dry samples of one processing sample.
        for (int c = 0; c < 2; ++c) {
          if (s.delayLine[c] == nullptr) continue;
          dryA[c] = DelaySwap<T>(s.delayLine[c], j * rd, dryA[c]);
          if (rd == 2) dryB[c] = DelaySwap<T>(s.delayLine[c], j * rd + 1, dryB[c]);
        }
      }
      s.delayIndex = (j + 1 >= s.delayLength) ? 0 : j + 1;
    }
    const double first[2] = {w0 + f * w1 + dryA[0], w1 + f * w0 + dryA[1]};
    WriteFrame(output + static_cast<size_t>(frame) * channels, channels, first);
    ++frame;
    ++s.readPos;
    if (rd == 2) {
      s.heldFrame[0] = w0 + f * w1 + dryB[0];
      s.heldFrame[1] = w1 + f * w0 + dryB[1];
      s.outputHalfPair = true;
    }
  }
}

void ResetStream(ConvolverState& s) {
  s.fillPos = 0;
  s.readPos = 0;
  s.outputPending = false;
  s.flushing = false;
  s.inputHalfPair = false;
  s.outputHalfPair = false;
  s.tailEmitted = false;
  s.blocksStarted = false;
  s.delayIndex = 0;
  // A new stream must not hear the carry of the last one.
  const size_t sampleBytes = s.doublePrecision ? sizeof(double) : sizeof(float);
  for (int k = 0; k < 2; ++k) {
    if (s.overlap[k] != nullptr) std::memset(s.overlap[k], 0, sampleBytes * s.blockSize);
    if (s.delayLine[k] != nullptr) {
      std::memset(s.delayLine[k], 0, sampleBytes * s.delayLength * s.rateDivisor);
    }
  }
}

template <typename T>
LONG Process(ConvolverState& s, LONG mode, const T* input, uint32_t* inFrames, T* output,
             uint32_t* outFrames, LONG width) {
  const uint32_t inCount = (input != nullptr && inFrames != nullptr) ? *inFrames : 0;
  const uint32_t outCount = (output != nullptr && outFrames != nullptr) ? *outFrames : 0;
  if (inFrames != nullptr) *inFrames = 0;
  if (outFrames != nullptr) *outFrames = 0;
  if (!s.prepared || s.doublePrecision != (sizeof(T) == sizeof(double))) {
    return kConvolverNotPrepared;
  }
  if (mode == kStreamStart) ResetStream(s);
  if (mode == kStreamEnd) s.flushing = true;
  uint32_t inFrame = 0;
  uint32_t outFrame = 0;
  for (;;) {
    if (s.outputPending) {
      OutputStage(s, output, outCount, outFrame, width);
      if (s.readPos != s.blockOutputCount || s.outputHalfPair) break;
      s.readPos = 0;
      s.fillPos = 0;
      s.outputPending = false;
    }
    const bool finalBlockDue = s.flushing && !s.tailEmitted && s.blocksStarted;
    if (inFrame >= inCount && s.fillPos == 0 && !s.inputHalfPair && !finalBlockDue) break;
    InputStage(s, input, inCount, inFrame);
    if (s.flushing && !s.tailEmitted && s.blocksStarted && inFrame >= inCount) {
      CloseFinalBlock<T>(s);
    } else if (s.fillPos < s.blockSize) {
      break;
    } else {
      s.blockOutputCount = s.blockSize;
    }
    ProcessBlock<T>(s);
    s.outputPending = true;
  }
  s.inPos = inFrame * s.inputChannels;
  s.outPos = outFrame * s.outputChannels;
  if (inFrames != nullptr) *inFrames = inFrame;
  if (outFrames != nullptr) *outFrames = outFrame;
  if (inFrame == 0 && outFrame == 0 && !s.outputPending && s.fillPos == 0 && !s.inputHalfPair) {
    return kConvolverNothingToDo;
  }
  return kConvolverOk;
}

template <typename T>
void MultiplyPacked(T* buffer, const T* spectrum, uint32_t n) {
  buffer[0] *= spectrum[0];
  buffer[1] *= spectrum[1];
  for (uint32_t k = 2; k < n; k += 2) {
    const T re = buffer[k];
    const T im = buffer[k + 1];
    buffer[k] = re * spectrum[k] - im * spectrum[k + 1];
    buffer[k + 1] = re * spectrum[k + 1] + im * spectrum[k];
  }
}

}  // namespace

QualityPlanEntry QualityPlan(LONG quality, bool monoInput) {
  static const QualityPlanEntry kPlan[5] = {
      {2, 4, true}, {2, 4, false}, {2, 2, false}, {1, 2, false}, {1, 1, false}};
  QualityPlanEntry plan = kPlan[std::min<LONG>(std::max<LONG>(quality, 1), 5) - 1];
  if (plan.monoImpulse && monoInput) {
    plan.monoImpulse = false;
    plan.blockDivisor = 8;
  }
  return plan;
}

int32_t ClampMaxImpulseFrames(int64_t frames) {
  return static_cast<int32_t>(std::min<int64_t>(std::max<int64_t>(frames, 131071), 40000000));
}

double LevelGain(LONG tenthsOfDb) {
  if (tenthsOfDb <= -800) return 0.0;
  return std::pow(10.0, tenthsOfDb / 200.0);
}

ConvolverState::~ConvolverState() { ReleaseConvolver(*this, nullptr); }

void ReleaseConvolver(ConvolverState& s, ConvolverStatusSink* status) {
  if (status != nullptr) status->SetStatus(kConvolverStatusStopping);
  if (s.impulseSpectrum[1] == s.impulseSpectrum[0]) s.impulseSpectrum[1] = nullptr;
  for (int k = 0; k < 2; ++k) {
    FreeSamples(s.impulseSpectrum[k]);
    FreeSamples(s.block[k]);
    FreeSamples(s.overlap[k]);
    FreeSamples(s.dry[k]);
    FreeSamples(s.delayLine[k]);
  }
  delete[] s.pcmInput;
  delete[] s.pcmOutput;
  s.pcmInput = nullptr;
  s.pcmOutput = nullptr;
  NxSig_UnprepareFFT(s.fft);
  s.fft = nullptr;
  s.prepared = false;
  if (status != nullptr) status->SetStatus(kConvolverStatusNone);
}

int SpectrumMultiply(FFTSETUP*, double* buffer, uint32_t n, void* context) {
  MultiplyPacked(buffer, static_cast<const double*>(context), n);
  return 1;
}

int SpectrumMultiplyFloat(FFTSETUP*, float* buffer, uint32_t n, void* context) {
  MultiplyPacked(buffer, static_cast<const float*>(context), n);
  return 1;
}

LONG ConvolverProcess(ConvolverState& state, LONG mode, const float* input, uint32_t* inFrames,
                      float* output, uint32_t* outFrames, LONG responseWidth) {
  return Process(state, mode, input, inFrames, output, outFrames, responseWidth);
}

LONG ConvolverProcess(ConvolverState& state, LONG mode, const double* input, uint32_t* inFrames,
                      double* output, uint32_t* outFrames, LONG responseWidth) {
  return Process(state, mode, input, inFrames, output, outFrames, responseWidth);
}
