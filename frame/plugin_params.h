// PlugInParams: every setting of the reverb in one plain record.
//
// The record is stored byte for byte in presets, so its layout is fixed: 2284 bytes, little-endian,
// no padding. Every field falls on its natural alignment, so the compiler's own layout is the
// packed one; the asserts below prove it on every build.
//
// Units: levels and gains in tenths of a dB (linear gain 10^(v/200), silent at -800 and below),
// the response delay in tenths of a millisecond, the decay limit in hundredths of a second, width
// and pan in percent, frequencies in Hz.
#pragma once

#include <cstddef>

#include "platform/types.h"

constexpr int kMaxPathUnits = 260;       // file names, terminator included
constexpr int kMaxEnvelopePoints = 16;

struct EnvelopePoint {
  LONG position;  // thousandths of the envelope's time span
  LONG level;     // percent of linear gain: 100 unchanged, 0 silent
};

struct PlugInParams {
  LONG dryOut;          // tenths of a dB, -800..200
  LONG wetOut;          // tenths of a dB, -800..200
  LONG responseWidth;   // 0..100; 50 is plain stereo
  LONG applyEnvelope;   // 0/1: apply the envelope and the decay limit
  LONG decayLimit;      // hundredths of a second, 1..1200
  LONG responseDelay;   // tenths of a millisecond, -5000..5000
  LONG highShelfFreq;   // Hz, 20..20000
  LONG highShelfGain;   // tenths of a dB, -150..150
  LONG lowShelfFreq;    // Hz, 20..15000
  LONG lowShelfGain;    // tenths of a dB, -150..150
  LONG highShelfOn;     // 0/1
  LONG lowShelfOn;      // 0/1
  LONG recoveryMode;    // kSpikeModeNone .. kSpikeModeFileEnds (recovery/timing_spikes.h)
  LONG removeLowFreq;   // 0/1
  LONG packageImpulse;  // 0/1: the impulse file travels inside the preset
  LONG quality;         // 1 fast .. 5 exact
  WCHAR impulseFile[kMaxPathUnits];
  WCHAR testFile[kMaxPathUnits];
  WCHAR recordedFile[kMaxPathUnits];
  WCHAR outputFile[kMaxPathUnits];
  LONG envelopeCount;  // valid points, 2..16
  EnvelopePoint envelopePoints[kMaxEnvelopePoints];  // points past the count are zero
  // Added after the rest; older preset layouts end before these two.
  LONG monoToStereo;  // 0/1
  LONG pan;           // -100 left .. 100 right
};

static_assert(sizeof(EnvelopePoint) == 8, "envelope point is two 32-bit integers");
static_assert(sizeof(PlugInParams) == 2284, "PlugInParams is the 2284-byte stored record");
static_assert(offsetof(PlugInParams, dryOut) == 0, "layout");
static_assert(offsetof(PlugInParams, wetOut) == 4, "layout");
static_assert(offsetof(PlugInParams, responseWidth) == 8, "layout");
static_assert(offsetof(PlugInParams, applyEnvelope) == 12, "layout");
static_assert(offsetof(PlugInParams, decayLimit) == 16, "layout");
static_assert(offsetof(PlugInParams, responseDelay) == 20, "layout");
static_assert(offsetof(PlugInParams, highShelfFreq) == 24, "layout");
static_assert(offsetof(PlugInParams, highShelfGain) == 28, "layout");
static_assert(offsetof(PlugInParams, lowShelfFreq) == 32, "layout");
static_assert(offsetof(PlugInParams, lowShelfGain) == 36, "layout");
static_assert(offsetof(PlugInParams, highShelfOn) == 40, "layout");
static_assert(offsetof(PlugInParams, lowShelfOn) == 44, "layout");
static_assert(offsetof(PlugInParams, recoveryMode) == 48, "layout");
static_assert(offsetof(PlugInParams, removeLowFreq) == 52, "layout");
static_assert(offsetof(PlugInParams, packageImpulse) == 56, "layout");
static_assert(offsetof(PlugInParams, quality) == 60, "layout");
static_assert(offsetof(PlugInParams, impulseFile) == 64, "layout");
static_assert(offsetof(PlugInParams, testFile) == 584, "layout");
static_assert(offsetof(PlugInParams, recordedFile) == 1104, "layout");
static_assert(offsetof(PlugInParams, outputFile) == 1624, "layout");
static_assert(offsetof(PlugInParams, envelopeCount) == 2144, "layout");
static_assert(offsetof(PlugInParams, envelopePoints) == 2148, "layout");
static_assert(offsetof(PlugInParams, monoToStereo) == 2276, "layout");
static_assert(offsetof(PlugInParams, pan) == 2280, "layout");
