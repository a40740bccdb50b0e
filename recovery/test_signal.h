// The test file that recovery deconvolves by: S frames of spike section, the N-frame test signal,
// S frames of spike section.
//
// The test signal is one period of a "perfect sweep": its discrete spectrum has the same
// magnitude in all N bins (DC and Nyquist included) and a quadratic phase, so that its
// frequency sweeps from DC to Nyquist once per period at a nearly constant envelope. Dividing by
// such a spectrum amplifies nothing. The period repeats through both spike sections, so that a
// room of up to S frames of reverberation is in its steady state when the N frames begin, and
// the N recorded frames are the room's circular convolution with one period.
//
// Spikes: a full-scale sample at frame 0 and another at frame N + 2S - SpikeLength - 1, which
// replace the signal there. Recovery's time base divides the spike distance (both ends counted)
// by 2S + N - SpikeLength, so a recording without clock error gives a ratio of exactly 1. The
// signal's peak sits `levelDb` below full scale (at least 12 dB) so that the spikes stay the
// loudest samples of their search ranges also after a reverberant room has smeared both.
#pragma once

#include "platform/types.h"

struct TestSignalOptions {
  DWORD signalFrames;   // N, a power of two from 1024 to 8388608
  DWORD spikeSpacing;   // S, more than spikeLength
  DWORD spikeLength;    // the "SpikeLength" that recovery will use
  DWORD sampleRate;     // Hz
  DWORD channels;       // 1 or 2, the same signal in each
  DWORD bitsPerSample;  // 16 (PCM) or 32 (float)
  double levelDb;       // peak of the test signal against full scale, -12 or lower
};

// N = 262144, S and SpikeLength from the settings file, 44100 Hz, mono, 16-bit, -24 dB.
TestSignalOptions DefaultTestSignalOptions();

// Results besides 0; the impulse-file codes for memory and writing.
constexpr int kTestSignalBadOptions = -2;

// One period of the sweep, peak 1.0, into `period` (n doubles). False for an n that is not a
// power of two from 2 to 8388608, or without memory.
bool MakePerfectSweep(double* period, DWORD n);

// Frames of the whole test file, 0 for options that would not make a valid one.
DWORD TestFileFrames(const TestSignalOptions& options);

// The test file's samples on the 16-bit scale, as they will be stored (16-bit files: already
// rounded), into `samples` (TestFileFrames floats). 0, kTestSignalBadOptions or
// kImpulseNoMemory.
int BuildTestSignal(const TestSignalOptions& options, float* samples);

// Writes the test file. 0, kTestSignalBadOptions, kImpulseNoMemory or kImpulseWriteFailed.
int WriteTestSignalFile(LPCWSTR name, const TestSignalOptions& options);
