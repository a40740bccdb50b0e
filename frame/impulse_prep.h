// Impulse preparation: turns the parameter record, the stream formats and an impulse file into a
// ready ConvolverState (see dsp/convolver.h).
//
// Numeric contract
// - Impulse samples are floats on a 16-bit full scale; their scale does not matter, because the
//   impulse is normalised to unit energy (ImpulseNorm) before it is transformed.
// - The impulse is read at its file rate, cut to maxImpulseFrames and to the decay limit, shaped by
//   the envelope, converted to the processing rate (output rate / rateDivisor), normalised, cut and
//   faded to N/2 samples where the quality plan partitions it, then transformed.
// - Allocation happens here and only here (zero-filled, std::nothrow); failure gives
//   kConvolverOutOfMemory and leaves the state unprepared, so the next call retries.
// - Runs on the streaming thread; nothing here takes a lock.
#pragma once

#include <cstddef>
#include <cstdint>

#include "dsp/convolver.h"
#include "dsp/shelf_eq.h"
#include "frame/plugin_params.h"

// What an impulse (or wave) file holds.
struct ImpulseSourceInfo {
  uint32_t channels;
  uint32_t bytesPerSample;
  uint32_t dataBytes;
  uint32_t sampleRate;  // Hz
};

// How preparation reads an impulse file; the frame binds it to the impulse-file loader.
class ImpulseSource {
 public:
  // False when the file cannot be read as an impulse or wave file.
  virtual bool GetInfo(const WCHAR* file, ImpulseSourceInfo* info) = 0;
  // Fills `frames` float samples of the file's channel 0 into channel0 and, when channel1 is not
  // null, of its channel 1 into channel1. Samples it cannot read stay as they are (zero).
  virtual void Load(const WCHAR* file, float* channel0, float* channel1, uint32_t frames) = 0;

 protected:
  ~ImpulseSource() = default;
};

// The part of a stream format that preparation needs.
struct StreamShape {
  uint32_t channels;       // 1 or 2
  uint32_t sampleRate;     // Hz
  uint32_t bitsPerSample;  // 64 selects double precision
};

// What a full rebuild makes of an impulse, decided before anything is read. Preparation runs on
// this plan, so a host can tell the user the same figures (how much of the impulse is kept, and
// what cut it) without preparing.
struct ImpulsePlan {
  int32_t rateDivisor;          // 1 or 2: processing rate = output rate / rateDivisor
  int32_t blockDivisor;         // after the mono-input adjustment of quality 1
  int32_t partitionFactor;      // rateDivisor x blockDivisor
  bool monoImpulse;             // one wet channel for a stereo output
  uint32_t processingRate;      // Hz
  uint32_t fileFrames;          // frames the file holds
  uint32_t maxFrames;           // the "MaxImpulseSize" limit as applied
  uint32_t readFrames;          // frames read, at the file rate: after the limit and decay limit
  bool cutByMaxFrames;          // the limit shortened the read
  bool cutByDecayLimit;         // the decay limit shortened it (the envelope then applies)
  int32_t impulseLength;        // L: the read frames at the stream rate
  int32_t fftSize;              // N
  int32_t keptSamples;          // processing-rate samples convolved: min(L / rateDivisor, N/2)
  bool cutByQuality;            // the quality's one-block cut shortened it (keptSamples < L/rd)
  int32_t latencyFrames;        // block latency, output frames: N/2 x rateDivisor
  uint32_t impulseChannelsUsed;  // 1 or 2 of the file's channels
};

// The plan for the parameters, the two formats, an impulse described by `info` (its rate must be
// non-zero) and the "MaxImpulseSize" setting (clamped here as the engine clamps it). Returns
// kConvolverOk, kConvolverBadFormat (nothing of the impulse would remain) or
// kConvolverOutOfMemory (the transform would be too large).
LONG PlanImpulse(const PlugInParams& params, const StreamShape& input, const StreamShape& output,
                 const ImpulseSourceInfo& info, int64_t maxImpulseFrames, ImpulsePlan* plan);

// Prepares `state` for the snapshot `params` and the two formats. A full rebuild runs when
// `rebuildRequested` (the exchanged rebuild request), when nothing is prepared yet, or when the
// formats differ from the prepared ones; otherwise a quick update applies levels, delay, pan and EQ
// and keeps the block state. `impulseFile` is the file to read (the frame resolves the packaged
// impulse's path). Status changes go to `status` (may be null). Returns kConvolverOk,
// kConvolverOutOfMemory or kConvolverBadFormat.
LONG PrepareImpulse(ConvolverState& state, const PlugInParams& params, bool rebuildRequested,
                    const StreamShape& input, const StreamShape& output, const WCHAR* impulseFile,
                    ImpulseSource& source, ConvolverStatusSink* status);

// Square root of the sum of squares, accumulated in double.
double ImpulseNorm(const float* samples, size_t count);

// Multiplies channel0 (and channel1 when not null) by the piecewise-linear envelope: point times
// are thousandths of `reference` frames, levels percent of linear gain; the segment that reaches
// `frames` is compressed to end there. Fewer than 2 points change nothing.
void ApplyImpulseEnvelope(float* channel0, float* channel1, uint32_t frames, uint32_t reference,
                          const EnvelopePoint* points, LONG count);

// The shelf fields of the record, as the EQ design takes them.
ShelfSettings ShelfSettingsOf(const PlugInParams& params);
