// The tuning values of recovery, read from section "Auralith" of "auralith.ini" at each run.
#pragma once

#include "platform/types.h"

struct RecoverySettings {
  INT spikeSpacing;       // S, frames of each spike section
  INT lowCutFreq;         // Hz
  INT spikeLength;        // frames
  INT maxStoredImpulse;   // frames, at least 2
  INT impulsePreSamples;  // frames
  INT outBits;            // 32 float, 16 PCM, else the recording decides
};

// Every key as stored (a missing key gives its default); limits other than the settings
// file's own are the caller's.
RecoverySettings ReadRecoverySettings();

// "SpikeSpacing" alone, which spike detection reads again.
INT ReadSpikeSpacing();
