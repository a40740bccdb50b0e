// The waveform picture behind the envelope editor (and in `auralith plot`): the impulse reduced
// to one column per pixel, each column the lowest and highest sample of the frames it covers,
// per channel, on the 16-bit full scale (±32768).
#pragma once

#include <vector>

#include "platform/types.h"

struct NxWaveColumn {
  float low;
  float high;
};

struct NxWaveform {
  DWORD width = 0;           // columns
  DWORD channels = 0;        // 1 or 2
  DWORD frames = 0;          // frames reduced
  bool envelopeOff = false;  // drawn greyed when the envelope is not applied
  std::vector<NxWaveColumn> columns[2];
};

// Reduces `frames` samples of one or two channels (`second` null for one) to `width` columns:
// column c covers frames [c * frames / width, (c + 1) * frames / width), at least one frame, so
// a short impulse repeats frames over neighbouring columns. An empty impulse or a width of 0
// gives an empty waveform.
NxWaveform NxReduceWaveform(const float* first, const float* second, DWORD frames, DWORD width);
