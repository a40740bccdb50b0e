// Impulse recovery: the impulse response of a space from a recording of the test file played in
// it (recovery/test_signal.h).
//
// The N recorded frames of the test signal are deconvolved by the test signal in the frequency
// domain (the room's circular convolution with one period, divided by the period's spectrum),
// trimmed to "MaxStoredImpulse" frames beginning "ImpulsePreSamples" frames before the
// alignment point, scaled so that the louder channel peaks at 32766 and written as a 44100 Hz
// wave file. The timing spikes of the test file (recovery/timing_spikes.h) give where the signal
// begins in the recording and the recording's clock error, which is undone by resampling.
//
// Arithmetic: transforms in double precision; samples cross files and the resampler as floats
// on the 16-bit scale. Memory: the inverse spectrum and one work buffer of N doubles, one
// channel buffer of max(N, M) floats (M: recorded frames of the signal), all freed on return.
#pragma once

#include "platform/types.h"
#include "recovery/recovery_message.h"
#include "recovery/recovery_sinks.h"
#include "recovery/timing_spikes.h"

// The inputs of one run, as the Recover page holds them.
struct RecoveryRequest {
  LPCWSTR testFile;      // "&Test file used:"
  LPCWSTR recordedFile;  // "R&ecorded file:"
  LPCWSTR outputFile;    // "&Impulse output file:"
  LONG mode;             // kSpikeModeNone, kSpikeModeAutoDetect or kSpikeModeFileEnds
  BOOL removeLowFreq;    // clears the spectrum below "LowCutFreq" Hz
};

// Runs a recovery to its end on the calling thread. `progress` is opened once the files are
// known to fit each other and closed before any message; `messages` shows the timing-spike
// questions and exactly one final message, except after a cancel (result 1 or -1253), which
// ends the run silently. Returns a RecoveryResult. A recording of more than two channels gives
// a two-channel impulse from its first two channels.
int RecoverImpulse(const RecoveryRequest& request, RecoveryProgressSink& progress,
                   RecoveryMessageSink& messages);
