// The block convolution engine: overlap-add FFT convolution of interleaved frames with a prepared
// impulse, plus dry mix, response delay, width, pan balance and shelf EQ of the wet signal.
//
// Numeric contract
// - Samples are float (32-bit) or double (64-bit, when the state was prepared with
//   doublePrecision); the buffer set of that type (floatBuffers or doubleBuffers) is the one in
//   use, the other stays empty.
// - The processing rate is the stream rate / rateDivisor (1 or 2). At rate 2 the first frame of
//   each pair feeds the convolution and each wet value is held for two output frames.
// - Wet path: with h the prepared impulse at the processing rate (already normalised to unit energy
//   and cut to N/2 samples at partitionFactor > 1), wet = (x * h) * level(wet), with the forward
//   transform's 1/N undone by wetScale = level(wet) * N / norm.
// - Latency: a block is emitted only when it is complete, so output lags input by up to
//   blockSize * rateDivisor frames; no signal delay is added. At end of stream the final block
//   carries the filled part plus the whole impulse tail.
// - Input and output are interleaved frames of inputChannels / outputChannels (1 or 2) samples;
//   they must not alias each other. Counts are in frames.
// - Memory: every buffer is allocated (zero-filled, std::nothrow) by PrepareImpulse and freed by
//   ReleaseConvolver. ConvolverProcess allocates nothing and takes no lock, so it may run on the
//   audio thread.
#pragma once

#include <cstdint>

#include "dsp/fft.h"
#include "dsp/shelf_eq.h"
#include "platform/types.h"

// Result codes; the values are the HRESULTs the frame hands on.
constexpr LONG kConvolverOk = 0;                                        // S_OK
constexpr LONG kConvolverNothingToDo = 1;                               // S_FALSE
constexpr LONG kConvolverOutOfMemory = static_cast<LONG>(0x8007000Eu);  // E_OUTOFMEMORY
constexpr LONG kConvolverBadFormat = static_cast<LONG>(0x80070057u);    // E_INVALIDARG
constexpr LONG kConvolverNotPrepared = static_cast<LONG>(0x8000FFFFu);  // E_UNEXPECTED

// The processing status codes the engine publishes (the frame's ProcessingStatus values).
constexpr LONG kConvolverStatusNone = 0;
constexpr LONG kConvolverStatusInitializing = 1;
constexpr LONG kConvolverStatusLoading = 2;
constexpr LONG kConvolverStatusPreparing = 3;
constexpr LONG kConvolverStatusProcessing = 4;
constexpr LONG kConvolverStatusStopping = 5;
constexpr LONG kConvolverStatusNoImpulse = 6;

// Where preparation and release report their progress (the frame routes it to the status slot).
class ConvolverStatusSink {
 public:
  virtual void SetStatus(LONG status) = 0;

 protected:
  ~ConvolverStatusSink() = default;
};

// ConvolverProcess modes.
constexpr LONG kStreamStart = 0;
constexpr LONG kStreamContinue = 1;
constexpr LONG kStreamEnd = 2;

// What the quality setting (1 fast .. 5 exact) asks of the engine.
struct QualityPlanEntry {
  int32_t rateDivisor;   // 1 or 2
  int32_t blockDivisor;  // 1, 2, 4 or 8: divides the full-length FFT size
  bool monoImpulse;      // one wet channel for a stereo output
};

// The plan of `quality` (clamped to 1..5). A mono input at quality 1 gets blockDivisor 8 and keeps
// both wet channels.
QualityPlanEntry QualityPlan(LONG quality, bool monoInput);

// Frames of the 16-bit conversion scratch: a 16-bit stream is processed in chunks of this size.
constexpr uint32_t kPcmChunkFrames = 1024;

constexpr int32_t kDefaultMaxImpulseFrames = 524287;

// Where the stream stands. Preparation leaves kIdle, a stream start returns to it and
// ReleaseConvolver (or a failed preparation) to kUnprepared.
enum class StreamPhase : uint8_t {
  kUnprepared,   // no buffers for the current formats: ConvolverProcess refuses to run
  kIdle,         // prepared; no input has reached a block since the stream started
  kIdleEnding,   // end of stream came before any input: there is no final block to flush
  kStreaming,    // input reaches blocks
  kFlushing,     // end of stream came: the final block and the tail follow once the input is in
  kTailEmitted,  // the final block was formed; input after it runs as plain blocks
};

// Where the current block stands. At half rate a frame pair may be split between two calls, on
// the way in and on the way out.
enum class BlockPhase : uint8_t {
  kFilling,             // taking input at fillPos
  kFillingPairSplit,    // the first frame of a pair was read, its second is still to come
  kEmitting,            // the convolved block is written out from readPos
  kEmittingHeldFrame,   // the second frame of an output pair waits in heldFrame
};

// The sample buffers of one precision; only the set of the prepared precision is allocated.
template <typename T>
struct ConvolverBuffers {
  T* impulseSpectrum[2] = {};  // packed spectra; [1] may alias [0]
  T* block[2] = {};            // N samples
  T* overlap[2] = {};          // N/2 samples
  T* dry[2] = {};              // rateDivisor x N samples
  T* delayLine[2] = {};        // delayLength x rateDivisor samples
};

// Every field of the engine, all zero (or neutral) when value-initialised, so that a full rebuild
// can start from a clean record in one assignment.
struct ConvolverFields {
  int32_t rateDivisor = 0;
  int32_t blockDivisor = 0;
  // rateDivisor x blockDivisor: N is the power of two that holds the whole impulse's linear
  // convolution at the stream rate, divided by this. It is no uniform partitioning: above 1 the
  // impulse is not split into N/2-sample parts that are all convolved; only its first N/2
  // processing samples are kept (the rest is dropped and the kept part's end faded), so the
  // lower qualities trade the late tail for a shorter FFT.
  int32_t partitionFactor = 0;
  bool monoImpulse = false;
  int32_t fftSize = 0;           // N, a power of two, at least 16
  int32_t blockSize = 0;         // N/2 processing samples per block
  int32_t blockOutputCount = 0;  // samples the current block yields: N/2, more for the final block
  int32_t impulseLength = 0;     // L, frames at the stream rate
  int32_t impulseTail = 0;       // processing-rate samples of the impulse in the spectra:
                                 // min(L/rd, N/2)
  double wetScale = 0.0;         // level(wet) x normGain: the inverse transform's scale
  double normGain = 0.0;         // N / norm of the last rebuild
  double dryGain = 0.0;
  double balanceLeft = 1.0;
  double balanceRight = 1.0;
  int32_t delayLength = 0;  // processing-rate samples (magnitude)
  bool delayOnWet = false;  // true: wet delayed; false: dry delayed
  int32_t delayIndex = 0;
  int32_t fillPos = 0;  // processing samples of the current input block
  int32_t readPos = 0;  // processing samples of the current output block already emitted
  StreamPhase phase = StreamPhase::kUnprepared;
  BlockPhase blockPhase = BlockPhase::kFilling;
  double heldFrame[2] = {};  // the output frame held in BlockPhase::kEmittingHeldFrame
  bool doublePrecision = false;
  bool impulseLoaded = false;

  // The formats the buffers were prepared for.
  uint32_t inputChannels = 0;
  uint32_t outputChannels = 0;
  uint32_t inputRate = 0;
  uint32_t outputRate = 0;
  uint32_t impulseChannels = 0;  // of the impulse file (1 or 2; 1 for the stand-by impulse)

  // The buffers of the prepared precision (see the numeric contract).
  ConvolverBuffers<float> floatBuffers;
  ConvolverBuffers<double> doubleBuffers;
  uint32_t impulseCapacity = 0;  // samples of each impulse buffer
  FFTSETUP* fft = nullptr;
  ShelfEqState eq[2] = {};

  // 16-bit streams are converted through these (kPcmChunkFrames x 2 floats each).
  float* pcmInput = nullptr;
  float* pcmOutput = nullptr;

  // Longest impulse read, in frames; the frame sets it from the settings file.
  int32_t maxImpulseFrames = kDefaultMaxImpulseFrames;
};

// The buffer set of sample type T.
inline ConvolverBuffers<float>& BuffersOf(ConvolverFields& s, float*) { return s.floatBuffers; }
inline ConvolverBuffers<double>& BuffersOf(ConvolverFields& s, double*) { return s.doubleBuffers; }
template <typename T>
ConvolverBuffers<T>& Buffers(ConvolverFields& s) {
  return BuffersOf(s, static_cast<T*>(nullptr));
}
template <typename T>
const ConvolverBuffers<T>& Buffers(const ConvolverFields& s) {
  return BuffersOf(const_cast<ConvolverFields&>(s), static_cast<T*>(nullptr));
}

// True while a convolved block waits to be written out.
inline bool BlockEmitting(const ConvolverFields& s) {
  return s.blockPhase == BlockPhase::kEmitting || s.blockPhase == BlockPhase::kEmittingHeldFrame;
}

// The engine's state: owns its buffers (freed by ReleaseConvolver, at the latest on destruction).
struct ConvolverState : ConvolverFields {
  ConvolverState() = default;
  ~ConvolverState();
  ConvolverState(const ConvolverState&) = delete;
  ConvolverState& operator=(const ConvolverState&) = delete;
};

// The "MaxImpulseSize" setting as the engine uses it: 131071 .. 40000000.
int32_t ClampMaxImpulseFrames(int64_t frames);

// Linear gain of a level in tenths of a dB: 10^(v/200), 0 at -800 and below.
double LevelGain(LONG tenthsOfDb);

// Status 5, frees every buffer and the FFT setup (an impulse-spectrum alias is cleared first),
// status 0. `status` may be null. maxImpulseFrames survives.
void ReleaseConvolver(ConvolverState& state, ConvolverStatusSink* status);

// The per-bin product handed to the FFT driver: `context` is the impulse spectrum of the same size
// and type as `buffer` (packed layout: [0] DC and [1] Nyquist real, then complex pairs).
int SpectrumMultiply(FFTSETUP* setup, double* buffer, uint32_t n, void* context);
int SpectrumMultiplyFloat(FFTSETUP* setup, float* buffer, uint32_t n, void* context);

// Runs the block loop on one call's worth of frames. mode: kStreamStart resets the block positions,
// kStreamEnd marks end of stream (the final block and the impulse tail are then emitted once the
// input is used up), anything else continues. input may be null (tail flush). On return *inFrames
// holds the frames consumed and *outFrames the frames produced. responseWidth is the live width
// setting, 0..100. Returns kConvolverOk, kConvolverNothingToDo (nothing in, nothing pending,
// nothing produced) or kConvolverNotPrepared (also when the sample type does not match the
// preparation).
LONG ConvolverProcess(ConvolverState& state, LONG mode, const float* input, uint32_t* inFrames,
                      float* output, uint32_t* outFrames, LONG responseWidth);
LONG ConvolverProcess(ConvolverState& state, LONG mode, const double* input, uint32_t* inFrames,
                      double* output, uint32_t* outFrames, LONG responseWidth);
