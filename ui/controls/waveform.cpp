#include "ui/controls/waveform.h"

#include <algorithm>

NxWaveform NxReduceWaveform(const float* first, const float* second, DWORD frames, DWORD width) {
  NxWaveform w;
  if (first == nullptr || frames == 0 || width == 0) return w;
  w.width = width;
  w.frames = frames;
  w.channels = second != nullptr ? 2 : 1;
  const float* channels[2] = {first, second};
  for (DWORD ch = 0; ch < w.channels; ++ch) {
    w.columns[ch].resize(width);
    for (DWORD c = 0; c < width; ++c) {
      // 64-bit products: frames * width may pass 32 bits.
      DWORD begin = static_cast<DWORD>(static_cast<ULONGLONG>(c) * frames / width);
      DWORD end = static_cast<DWORD>(static_cast<ULONGLONG>(c + 1) * frames / width);
      begin = std::min(begin, frames - 1);
      end = std::max(end, begin + 1);
      const auto [low, high] = std::minmax_element(channels[ch] + begin, channels[ch] + end);
      w.columns[ch][c] = {*low, *high};
    }
  }
  return w;
}
