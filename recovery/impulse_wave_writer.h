// Writing a recovered impulse as a plain RIFF WAVE file, and putting its second channel in.
//
// Samples arrive as floats on the 16-bit scale. 16-bit files store them rounded half away from
// zero and clamped to -32768..32767; 32-bit float files store them divided by 32766, so that a
// peak of 32766 becomes 1.0. Both are written by the one wave writer (impulse/wave_writer.h).
#pragma once

#include "platform/types.h"

// Creates (or replaces) `name`, whole or not at all (platform/file_replacement.h), with `frames` frames of `channels` channels at `rate` Hz:
// `channel0` in the first channel and `channel1` (or `channel0` when null) in every other.
// 0 when every frame was written; -1 otherwise (no file, a write failed, no channels or a size
// past the 32-bit RIFF limit).
int WriteImpulseWave16(LPCWSTR name, const float* channel0, const float* channel1, DWORD frames,
                       DWORD rate, DWORD channels);
int WriteImpulseWaveFloat(LPCWSTR name, const float* channel0, const float* channel1, DWORD frames,
                          DWORD rate, DWORD channels);

// Rewrites the second channel of the stereo file `name` (as written above) in place: channel 1
// becomes channel1Scale * channel1[i], and channel 0 is multiplied by channel0Factor unless it is
// exactly 1.0. The 16-bit form rounds half away from zero and clamps; the float form stores
// channel 1 divided by 32766. 0 when all `frames` frames were rewritten; -1 otherwise (also for a
// file that is not two-channel of the matching format or holds fewer frames).
int MergeSecondChannel16(LPCWSTR name, const float* channel1, DWORD frames, float channel0Factor,
                         float channel1Scale);
int MergeSecondChannelFloat(LPCWSTR name, const float* channel1, DWORD frames, float channel0Factor,
                            float channel1Scale);
