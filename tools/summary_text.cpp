#include "tools/summary_text.h"

#include <cstdio>

std::string ChannelText(unsigned channels) {
  if (channels == 1) return "mono";
  if (channels == 2) return "stereo";
  return std::to_string(channels) + " channels";
}

std::string SampleFormatText(const WAVEFORMATEX& format) {
  const std::string bits = std::to_string(format.wBitsPerSample) + "-bit ";
  return bits + (format.wFormatTag == WAVE_FORMAT_IEEE_FLOAT ? "float" : "PCM");
}

std::string DurationText(unsigned long long frames, unsigned long rate) {
  char text[48];
  std::snprintf(text, sizeof text, "%.2f s", rate != 0 ? static_cast<double>(frames) / rate : 0.0);
  return text;
}

std::string FormatText(const WAVEFORMATEX& format, unsigned long long frames) {
  return std::to_string(format.nSamplesPerSec) + " Hz, " + ChannelText(format.nChannels) + ", " +
         SampleFormatText(format) + ", " + DurationText(frames, format.nSamplesPerSec);
}
