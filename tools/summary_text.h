// Short descriptions of audio formats and lengths for the host's messages.
#pragma once

#include <string>

#include "platform/wave_format.h"

// "mono", "stereo", "6 channels".
std::string ChannelText(unsigned channels);
// "16-bit PCM", "32-bit float".
std::string SampleFormatText(const WAVEFORMATEX& format);
// "12.34 s".
std::string DurationText(unsigned long long frames, unsigned long rate);
// "44100 Hz, stereo, 16-bit PCM, 12.34 s".
std::string FormatText(const WAVEFORMATEX& format, unsigned long long frames);
