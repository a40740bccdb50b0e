#include "recovery/recovery_settings.h"

#include "impulse/settings.h"

RecoverySettings ReadRecoverySettings() {
  RecoverySettings settings;
  settings.spikeSpacing = NxSettings_GetInt(kNxSpikeSpacing);
  settings.lowCutFreq = NxSettings_GetInt(kNxLowCutFreq);
  settings.spikeLength = NxSettings_GetInt(kNxSpikeLength);
  settings.maxStoredImpulse = NxSettings_GetInt(kNxMaxStoredImpulse);
  settings.impulsePreSamples = NxSettings_GetInt(kNxImpulsePreSamples);
  settings.outBits = NxSettings_GetInt(kNxOutBits);
  return settings;
}

INT ReadSpikeSpacing() { return NxSettings_GetInt(kNxSpikeSpacing); }
