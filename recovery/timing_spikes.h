// Timing spikes: where the test signal begins in a recording, and how far the recording's clock
// differs from the test file's, from the spikes that frame the test signal.
#pragma once

#include "platform/types.h"
#include "recovery/recovery_sinks.h"

// Recovery modes, the identifiers of the three choices on the Recover page.
constexpr LONG kSpikeModeNone = 1503;        // "Do not use timing spikes"
constexpr LONG kSpikeModeAutoDetect = 1504;  // "Auto-detect timing spikes"
constexpr LONG kSpikeModeFileEnds = 1505;    // the recording's first and last frames

// Samples count as a spike only when the peak reaches this multiple of the mean level.
constexpr float kSpikeLevelFactor = 8.0f;
// Frames by which the left and right spikes may differ.
constexpr LONG kSpikeMisalignment = 1000;

// Finds the first spike's frame `*start` and the spike distance `*distance` (from the first
// spike's frame to the end spike's frame, both counted) in the recording `recordedFile` of a
// test file whose signal is `n` frames long; "SpikeSpacing" is read from the settings.
// Doubtful spikes are put to the user as questions through `messages`: No falls back to frame 0
// (first spike) or the nominal distance n + 2 * SpikeSpacing (end spike).
// Returns 0, or kRecoveryRecordingReadFailed, kRecoveryNoMemory, kRecoveryEndSpikeNotFound,
// kRecoveryRecordingTooSmall, kRecoveryRecordingTooLarge, kRecoverySpikeQuestionCancel.
// A mode other than kSpikeModeAutoDetect and kSpikeModeFileEnds is read as kSpikeModeFileEnds.
int FindTimingSpikes(RecoveryMessageSink& messages, LPCWSTR recordedFile, DWORD n, LONG* start,
                     LONG* distance, LONG mode);
