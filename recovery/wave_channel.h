// Reading one channel of a wave file as floats on the 16-bit full scale (±32768).
#pragma once

#include "platform/types.h"

// Reads `frames` frames from `startFrame` on: channel `channel` into `buffer` and, when `second`
// is given, channel 1 into `second` (zeros for a mono file). 16-bit samples are taken as they
// are, 8-bit ones as (b - 128) * 256, 24-bit ones / 256, 32-bit integers / 65536 and float
// samples as x * 32768 (on a 2^-16 grid); a channel the file lacks reads as zeros.
// Returns `frames` when every frame was read, 0 when fewer could be read (also for a start past
// the end or 0 frames), kImpulseNotAFile (-1) when the file cannot be opened or delivered and
// kImpulseNoMemory (-18) when no block buffer could be had.
int ReadWaveChannel(LPCWSTR name, float* buffer, float* second, DWORD frames, DWORD startFrame,
                    DWORD channel);
