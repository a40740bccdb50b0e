// The tuning values of recovery, read from section "Auralith" of "auralith.ini" at each run.
#pragma once

#include "platform/types.h"

constexpr INT kDefaultSpikeSpacing = 150000;      // frames of each spike section
constexpr INT kDefaultLowCutFreq = 38;            // Hz
constexpr INT kDefaultSpikeLength = 40;           // frames
constexpr INT kDefaultMaxStoredImpulse = 262144;  // frames
constexpr INT kDefaultImpulsePreSamples = 1000;   // frames
constexpr INT kDefaultOutBits = 0;                // 0: the recording decides

struct RecoverySettings {
  INT spikeSpacing;
  INT lowCutFreq;
  INT spikeLength;
  INT maxStoredImpulse;
  INT impulsePreSamples;
  INT outBits;
};

// Every key as stored (a missing key gives its default); limits are the caller's.
RecoverySettings ReadRecoverySettings();

// "SpikeSpacing" alone, which spike detection reads again.
INT ReadSpikeSpacing();
