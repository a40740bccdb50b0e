#include "dsp/convolver.h"
#include "dsp/exact_math.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

template <typename T>
void FreeSamples(T*& buffer) {
  delete[] buffer;
  buffer = nullptr;
}

template <typename T>
void FreeBuffers(ConvolverBuffers<T>& b) {
  if (b.impulseSpectrum[1] == b.impulseSpectrum[0]) b.impulseSpectrum[1] = nullptr;
  for (int k = 0; k < 2; ++k) {
    FreeSamples(b.impulseSpectrum[k]);
    FreeSamples(b.block[k]);
    FreeSamples(b.overlap[k]);
    FreeSamples(b.dry[k]);
    FreeSamples(b.delayLine[k]);
  }
}

// Input reached a block: the stream has started (and an announced end now has a block to close).
void NoteBlockInput(ConvolverState& s) {
  if (s.phase == StreamPhase::kIdle) s.phase = StreamPhase::kStreaming;
  if (s.phase == StreamPhase::kIdleEnding) s.phase = StreamPhase::kFlushing;
}

void NoteStreamEnd(ConvolverState& s) {
  if (s.phase == StreamPhase::kIdle) s.phase = StreamPhase::kIdleEnding;
  if (s.phase == StreamPhase::kStreaming) s.phase = StreamPhase::kFlushing;
}

int WetChannels(const ConvolverState& s) {
  return (s.outputChannels == 2 && !s.monoImpulse) ? 2 : 1;
}

// The bulk of InputStage: whole processing samples (Rd frames each) while no pair is split, with
// the per-frame decisions taken once. Gives the same values as the frame loop.
template <typename T, uint32_t Rd, bool Stereo>
void InputRunOf(ConvolverState& s, const T* in, uint32_t count) {
  constexpr size_t kStride = Stereo ? 2 : 1;
  constexpr size_t kRight = Stereo ? 1 : 0;
  const size_t at = static_cast<size_t>(s.fillPos);
  const double gainLeft = s.balanceLeft;
  const double gainRight = s.balanceRight;
  // The wet channels take the first frame of each processing sample; each loop carries no branch.
  const ConvolverBuffers<T>& b = Buffers<T>(s);
  T* block0 = b.block[0] + at;
  if (s.monoImpulse) {
    // The right sample enters the single wet channel without its balance gain.
    for (uint32_t j = 0; j < count; ++j) {
      const T* p = in + size_t{j} * Rd * kStride;
      const T scaledLeft = static_cast<T>(gainLeft * p[0]);
      block0[j] = static_cast<T>((static_cast<double>(scaledLeft) + p[kRight]) * 0.5);
    }
  } else {
    for (uint32_t j = 0; j < count; ++j)
      block0[j] = static_cast<T>(gainLeft * in[size_t{j} * Rd * kStride]);
    if (WetChannels(s) == 2) {
      T* block1 = b.block[1] + at;
      for (uint32_t j = 0; j < count; ++j)
        block1[j] = static_cast<T>(gainRight * in[size_t{j} * Rd * kStride + kRight]);
    }
  }
  // The dry channels take every frame.
  const size_t frames = size_t{count} * Rd;
  if (b.dry[0] != nullptr) {
    T* dry0 = b.dry[0] + at * Rd;
    for (size_t m = 0; m < frames; ++m) dry0[m] = static_cast<T>(gainLeft * in[m * kStride]);
  }
  if (b.dry[1] != nullptr) {
    T* dry1 = b.dry[1] + at * Rd;
    for (size_t m = 0; m < frames; ++m)
      dry1[m] = static_cast<T>(gainRight * in[m * kStride + kRight]);
  }
}

template <typename T>
void InputRun(ConvolverState& s, const T* input, uint32_t frames, uint32_t& frame) {
  const uint32_t rd = static_cast<uint32_t>(s.rateDivisor);
  if (s.blockPhase == BlockPhase::kFillingPairSplit || frame >= frames) return;
  const uint32_t count =
      std::min((frames - frame) / rd, static_cast<uint32_t>(s.blockSize - s.fillPos));
  if (count == 0) return;
  const bool stereo = s.inputChannels == 2;
  const T* in = input + static_cast<size_t>(frame) * s.inputChannels;
  if (rd == 1) {
    stereo ? InputRunOf<T, 1, true>(s, in, count) : InputRunOf<T, 1, false>(s, in, count);
  } else {
    stereo ? InputRunOf<T, 2, true>(s, in, count) : InputRunOf<T, 2, false>(s, in, count);
  }
  s.fillPos += static_cast<int32_t>(count);
  frame += count * rd;
  NoteBlockInput(s);
}

// One frame of input into the current block: at half rate a pair of frames makes one processing
// sample, so a frame is either the kept first one (convolved and dry) or the second (dry only).
template <typename T>
void InputStage(ConvolverState& s, const T* input, uint32_t frames, uint32_t& frame) {
  InputRun(s, input, frames, frame);
  const int32_t half = s.blockSize;
  const int32_t rd = s.rateDivisor;
  const ConvolverBuffers<T>& b = Buffers<T>(s);
  T* block0 = b.block[0];
  T* block1 = WetChannels(s) == 2 ? b.block[1] : nullptr;
  T* dry0 = b.dry[0];
  T* dry1 = b.dry[1];
  const uint32_t channels = s.inputChannels;
  while (s.fillPos < half && frame < frames) {
    const T* in = input + static_cast<size_t>(frame) * channels;
    const T left = in[0];
    const T right = channels == 2 ? in[1] : in[0];
    const T scaledLeft = static_cast<T>(s.balanceLeft * left);
    const T scaledRight = static_cast<T>(s.balanceRight * right);
    const int32_t i = s.fillPos;
    if (s.blockPhase != BlockPhase::kFillingPairSplit) {
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
        s.blockPhase = BlockPhase::kFillingPairSplit;
      }
    } else {
      if (dry0 != nullptr) dry0[i * rd + 1] = scaledLeft;
      if (dry1 != nullptr) dry1[i * rd + 1] = scaledRight;
      s.blockPhase = BlockPhase::kFilling;
      s.fillPos += 1;
    }
    ++frame;
    NoteBlockInput(s);
  }
}

// End of stream: the partly filled block becomes the final one and carries the whole tail.
template <typename T>
void CloseFinalBlock(ConvolverState& s) {
  const int32_t n = s.fftSize;
  const int32_t half = s.blockSize;
  const int32_t rd = s.rateDivisor;
  const bool pairSplit = s.blockPhase == BlockPhase::kFillingPairSplit;
  const int32_t dryStart = s.fillPos * rd + (pairSplit ? 1 : 0);
  if (pairSplit) {
    s.blockPhase = BlockPhase::kFilling;
    s.fillPos += 1;
  }
  ConvolverBuffers<T>& b = Buffers<T>(s);
  for (int k = 0; k < 2; ++k) {
    if (b.block[k] != nullptr) std::fill(b.block[k] + s.fillPos, b.block[k] + n, T(0));
    if (b.dry[k] != nullptr) std::fill(b.dry[k] + dryStart, b.dry[k] + half * rd, T(0));
  }
  s.blockOutputCount = std::min(n, s.fillPos + s.impulseTail);
  s.fillPos = half;
  s.phase = StreamPhase::kTailEmitted;
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
  ConvolverBuffers<T>& b = Buffers<T>(s);
  for (int k = 0; k < WetChannels(s); ++k) {
    T* block = b.block[k];
    T* overlap = b.overlap[k];
    std::fill(block + half, block + n, T(0));
    RunFft(s.fft, block, static_cast<uint32_t>(n), s.wetScale, b.impulseSpectrum[k]);
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
double DelaySwap(T* line, int32_t index, double fresh) {
  T* slot = line + index;
  const double old = *slot;
  *slot = static_cast<T>(fresh);
  return old;
}

template <typename T>
void WriteFrame(T* out, uint32_t channels, const double frame[2]) {
  out[0] = static_cast<T>(frame[0]);
  if (channels == 2) out[1] = static_cast<T>(frame[1]);
}

// The bulk of OutputStage without a delay line: whole processing samples (Rd frames each) while no
// pair is split, with the per-frame decisions taken once. Gives the same values as the frame loop.
template <typename T, uint32_t Rd, bool Stereo, bool HasDry>
void OutputRunOf(const ConvolverState& s, T* out, uint32_t count, double f) {
  const size_t at = static_cast<size_t>(s.readPos);
  const ConvolverBuffers<T>& b = Buffers<T>(s);
  const T* block0 = b.block[0] + at;
  const T* block1 = WetChannels(s) == 2 ? b.block[1] + at : block0;
  const T* dry0 = HasDry ? b.dry[0] + at * Rd : nullptr;
  const T* dry1 = HasDry && Stereo ? b.dry[1] + at * Rd : nullptr;
  const double d = s.dryGain;
  constexpr size_t kChannels = Stereo ? 2 : 1;
  for (uint32_t j = 0; j < count; ++j) {
    const double w0 = block0[j];
    const double w1 = block1[j];
    for (uint32_t k = 0; k < Rd; ++k) {
      // Without dry buffers the dry terms are the frame loop's 0.0, added all the same.
      const double dryLeft = HasDry ? d * dry0[j * Rd + k] : 0.0;
      const double dryRight = HasDry && Stereo ? d * dry1[j * Rd + k] : 0.0;
      T* o = out + (size_t{j} * Rd + k) * kChannels;
      o[0] = static_cast<T>(w0 + f * w1 + dryLeft);
      if (Stereo) o[1] = static_cast<T>(w1 + f * w0 + dryRight);
    }
  }
}

template <typename T, uint32_t Rd, bool Stereo>
void OutputRunWith(const ConvolverState& s, T* out, uint32_t count, double f) {
  if (Buffers<T>(s).dry[0] != nullptr) {
    OutputRunOf<T, Rd, Stereo, true>(s, out, count, f);
  } else {
    OutputRunOf<T, Rd, Stereo, false>(s, out, count, f);
  }
}

template <typename T>
void OutputRun(ConvolverState& s, T* output, uint32_t frames, uint32_t& frame, double f) {
  const uint32_t rd = static_cast<uint32_t>(s.rateDivisor);
  if (s.blockPhase == BlockPhase::kEmittingHeldFrame || s.delayLength > 0 || frame >= frames) {
    return;
  }
  const uint32_t count =
      std::min((frames - frame) / rd, static_cast<uint32_t>(s.blockOutputCount - s.readPos));
  if (count == 0) return;
  const bool stereo = s.outputChannels == 2;
  // A stereo output has both dry buffers or neither.
  const ConvolverBuffers<T>& b = Buffers<T>(s);
  if (stereo && (b.dry[0] == nullptr) != (b.dry[1] == nullptr)) return;
  T* out = output + static_cast<size_t>(frame) * s.outputChannels;
  if (rd == 1 && stereo) {
    OutputRunWith<T, 1, true>(s, out, count, f);
  } else if (rd == 1) {
    OutputRunWith<T, 1, false>(s, out, count, f);
  } else if (stereo) {
    OutputRunWith<T, 2, true>(s, out, count, f);
  } else {
    OutputRunWith<T, 2, false>(s, out, count, f);
  }
  s.readPos += static_cast<int32_t>(count);
  frame += count * rd;
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
  if (s.blockPhase != BlockPhase::kEmittingHeldFrame) OutputRun(s, output, frames, frame, f);
  ConvolverBuffers<T>& b = Buffers<T>(s);
  const T* block0 = b.block[0];
  const T* block1 = wet2 ? b.block[1] : nullptr;
  const T* dry0 = b.dry[0];
  const T* dry1 = b.dry[1];
  for (;;) {
    if (s.blockPhase == BlockPhase::kEmittingHeldFrame) {
      if (frame >= frames) return;
      WriteFrame(output + static_cast<size_t>(frame) * channels, channels, s.heldFrame);
      ++frame;
      s.blockPhase = BlockPhase::kEmitting;
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
        w0 = DelaySwap(b.delayLine[0], j, w0);
        w1 = wet2 ? DelaySwap(b.delayLine[1], j, w1) : w0;
      } else {
        // A dry slot holds the rateDivisor dry samples of one processing sample.
        for (int c = 0; c < 2; ++c) {
          if (b.delayLine[c] == nullptr) continue;
          dryA[c] = DelaySwap(b.delayLine[c], j * rd, dryA[c]);
          if (rd == 2) dryB[c] = DelaySwap(b.delayLine[c], j * rd + 1, dryB[c]);
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
      s.blockPhase = BlockPhase::kEmittingHeldFrame;
    }
  }
}

template <typename T>
void ResetStream(ConvolverState& s) {
  s.fillPos = 0;
  s.readPos = 0;
  s.phase = StreamPhase::kIdle;
  s.blockPhase = BlockPhase::kFilling;
  s.delayIndex = 0;
  // A new stream must not hear the carry of the last one: nor the shelves' memory, which a
  // stream started again in a running graph (a seek) would otherwise begin with.
  ConvolverBuffers<T>& b = Buffers<T>(s);
  for (int k = 0; k < 2; ++k) {
    for (TwoPoleSection* section : {&s.eq[k].low, &s.eq[k].high}) section->y1 = section->y2 = 0.0;
    if (b.overlap[k] != nullptr) std::fill(b.overlap[k], b.overlap[k] + s.blockSize, T(0));
    if (b.delayLine[k] != nullptr) {
      std::fill(b.delayLine[k], b.delayLine[k] + size_t(s.delayLength) * s.rateDivisor, T(0));
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
  if (s.phase == StreamPhase::kUnprepared || s.doublePrecision != (sizeof(T) == sizeof(double))) {
    return kConvolverNotPrepared;
  }
  if (mode == kStreamStart) ResetStream<T>(s);
  if (mode == kStreamEnd) NoteStreamEnd(s);
  uint32_t inFrame = 0;
  uint32_t outFrame = 0;
  for (;;) {
    if (BlockEmitting(s)) {
      OutputStage(s, output, outCount, outFrame, width);
      if (s.readPos != s.blockOutputCount || s.blockPhase == BlockPhase::kEmittingHeldFrame) break;
      s.readPos = 0;
      s.fillPos = 0;
      s.blockPhase = BlockPhase::kFilling;
    }
    const bool finalBlockDue = s.phase == StreamPhase::kFlushing;
    if (inFrame >= inCount && s.fillPos == 0 && s.blockPhase == BlockPhase::kFilling &&
        !finalBlockDue) {
      break;
    }
    InputStage(s, input, inCount, inFrame);
    if (s.phase == StreamPhase::kFlushing && inFrame >= inCount) {
      CloseFinalBlock<T>(s);
    } else if (s.fillPos < s.blockSize) {
      break;
    } else {
      s.blockOutputCount = s.blockSize;
    }
    ProcessBlock<T>(s);
    s.blockPhase = BlockPhase::kEmitting;
  }
  if (inFrames != nullptr) *inFrames = inFrame;
  if (outFrames != nullptr) *outFrames = outFrame;
  if (inFrame == 0 && outFrame == 0 && s.blockPhase == BlockPhase::kFilling && s.fillPos == 0) {
    return kConvolverNothingToDo;
  }
  return kConvolverOk;
}

// The complex products of bins [k, n): re = a.re b.re - a.im b.im, im = a.re b.im + a.im b.re.
template <typename T>
void MultiplyBins(T* buffer, const T* spectrum, uint32_t k, uint32_t n) {
  for (; k < n; k += 2) {
    const T re = buffer[k];
    const T im = buffer[k + 1];
    buffer[k] = re * spectrum[k] - im * spectrum[k + 1];
    buffer[k + 1] = re * spectrum[k + 1] + im * spectrum[k];
  }
}

#if defined(__SSE2__)
// Two complex values per register, the same products and sums as MultiplyBins (a - b is computed
// as a + (-b), which rounds the same), so results are bit-identical to it. Returns the first bin
// left for the scalar loop.
uint32_t MultiplyBinsSse2(float* buffer, const float* spectrum, uint32_t k, uint32_t n) {
  const __m128 negateReal = _mm_castsi128_ps(_mm_set_epi32(0, INT32_MIN, 0, INT32_MIN));
  for (; k + 4 <= n; k += 4) {
    const __m128 a = _mm_loadu_ps(buffer + k);
    const __m128 b = _mm_loadu_ps(spectrum + k);
    const __m128 aRe = _mm_shuffle_ps(a, a, _MM_SHUFFLE(2, 2, 0, 0));
    const __m128 aIm = _mm_shuffle_ps(a, a, _MM_SHUFFLE(3, 3, 1, 1));
    const __m128 bSwapped = _mm_shuffle_ps(b, b, _MM_SHUFFLE(2, 3, 0, 1));
    const __m128 cross = _mm_xor_ps(_mm_mul_ps(aIm, bSwapped), negateReal);
    _mm_storeu_ps(buffer + k, _mm_add_ps(_mm_mul_ps(aRe, b), cross));
  }
  return k;
}

uint32_t MultiplyBinsSse2(double* buffer, const double* spectrum, uint32_t k, uint32_t n) {
  const __m128d negateReal = _mm_castsi128_pd(_mm_set_epi64x(0, INT64_MIN));
  for (; k + 2 <= n; k += 2) {
    const __m128d a = _mm_loadu_pd(buffer + k);
    const __m128d b = _mm_loadu_pd(spectrum + k);
    const __m128d aRe = _mm_unpacklo_pd(a, a);
    const __m128d aIm = _mm_unpackhi_pd(a, a);
    const __m128d bSwapped = _mm_shuffle_pd(b, b, 1);
    const __m128d cross = _mm_xor_pd(_mm_mul_pd(aIm, bSwapped), negateReal);
    _mm_storeu_pd(buffer + k, _mm_add_pd(_mm_mul_pd(aRe, b), cross));
  }
  return k;
}
#endif

template <typename T>
void MultiplyPacked(T* buffer, const T* spectrum, uint32_t n) {
  buffer[0] *= spectrum[0];
  buffer[1] *= spectrum[1];
  uint32_t k = 2;
#if defined(__SSE2__)
  k = MultiplyBinsSse2(buffer, spectrum, k, n);
#endif
  MultiplyBins(buffer, spectrum, k, n);
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
  return NxPow10(tenthsOfDb / 200.0);
}

ConvolverState::~ConvolverState() { ReleaseConvolver(*this, nullptr); }

void ReleaseConvolver(ConvolverState& s, ConvolverStatusSink* status) {
  if (status != nullptr) status->SetStatus(kConvolverStatusStopping);
  FreeBuffers(s.floatBuffers);
  FreeBuffers(s.doubleBuffers);
  delete[] s.pcmInput;
  delete[] s.pcmOutput;
  s.pcmInput = nullptr;
  s.pcmOutput = nullptr;
  NxSig_UnprepareFFT(s.fft);
  s.fft = nullptr;
  s.phase = StreamPhase::kUnprepared;
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
