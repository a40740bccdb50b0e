#include "recovery/recovery_settings.h"

#include "platform/private_profile.h"

namespace {

INT ReadKey(LPCWSTR key, INT defaultValue) {
  return static_cast<INT>(
      GetPrivateProfileIntW(NXW("Auralith"), key, defaultValue, NXW("auralith.ini")));
}

}  // namespace

RecoverySettings ReadRecoverySettings() {
  RecoverySettings settings;
  settings.spikeSpacing = ReadKey(NXW("SpikeSpacing"), kDefaultSpikeSpacing);
  settings.lowCutFreq = ReadKey(NXW("LowCutFreq"), kDefaultLowCutFreq);
  settings.spikeLength = ReadKey(NXW("SpikeLength"), kDefaultSpikeLength);
  settings.maxStoredImpulse = ReadKey(NXW("MaxStoredImpulse"), kDefaultMaxStoredImpulse);
  settings.impulsePreSamples = ReadKey(NXW("ImpulsePreSamples"), kDefaultImpulsePreSamples);
  settings.outBits = ReadKey(NXW("OutBits"), kDefaultOutBits);
  return settings;
}

INT ReadSpikeSpacing() { return ReadKey(NXW("SpikeSpacing"), kDefaultSpikeSpacing); }
