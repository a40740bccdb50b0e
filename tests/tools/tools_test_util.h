// Running the auralith binary from tests, and the wave files the tests feed it and read back.
#pragma once

#include "tests/support/test_support.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <sstream>

#include "impulse/wave_reader.h"
#include "platform/utf8.h"

namespace tools_test {

struct RunResult {
  int status;
  std::string out;
  std::string err;
};

inline std::string Quote(const std::string& text) {
  std::string quoted = "'";
  for (const char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

// Runs auralith with `args` in `folder` (its module and settings folder too), standard input
// empty, and collects the exit status and both outputs.
// With `fileSizeLimit` bytes, no file of the run can grow past that size (as on a full disk):
// writes fail with EFBIG instead of the process being stopped by SIGXFSZ.
inline RunResult RunCli(const TempFolder& folder, const std::vector<std::string>& args,
                        unsigned long long fileSizeLimit = 0) {
  const std::string limit =
      fileSizeLimit == 0 ? std::string() : "prlimit --fsize=" + std::to_string(fileSizeLimit) + " ";
  std::string command = std::string(fileSizeLimit == 0 ? "" : "trap '' XFSZ; ") + "cd " +
                        Quote(folder.path().string()) +
                        " && AURALITH_MODULE_DIR=" + Quote(folder.path().string()) +
                        " AURALITH_CONFIG_DIR=" + Quote(folder.path().string()) + " " + limit +
                        Quote(AURALITH_CLI);
  for (const std::string& arg : args) command += " " + Quote(arg);
  const std::string out = folder / ".stdout";
  const std::string err = folder / ".stderr";
  command += " </dev/null >" + Quote(out) + " 2>" + Quote(err);
  const int raw = std::system(command.c_str());
  return {raw >= 0 ? (raw >> 8) & 0xFF : -1, ReadFileText(out), ReadFileText(err)};
}

inline bool OneLine(const std::string& text) {
  return !text.empty() && text.back() == '\n' && text.find('\n') == text.size() - 1;
}

// --- Wave files ------------------------------------------------------------------------------

struct Audio {
  unsigned channels = 1;
  unsigned rate = 44100;
  unsigned bits = 32;  // 16, 24 (PCM) or 32, 64 (float)
  bool isFloat = true;
  std::vector<double> samples;  // interleaved, ±1.0
  size_t frames() const { return channels ? samples.size() / channels : 0; }
};
// `samples` of `channels`: 16 or 24 bits are PCM, 32 or 64 float.
inline Audio Sound(std::vector<double> samples, unsigned channels = 1, unsigned bits = 32,
                   unsigned rate = 44100) {
  return {channels, rate, bits, bits >= 32, std::move(samples)};
}

// Writes `audio` as a canonical wave file; INFO items (id, text) follow the data.
inline void WriteAudio(const std::string& path, const Audio& audio,
                       const std::vector<std::pair<std::string, std::string>>& info = {}) {
  const unsigned width = audio.bits / 8;
  std::vector<uint8_t> data;
  for (const double x : audio.samples) {
    const float f = static_cast<float>(x);
    const double full = std::ldexp(1.0, static_cast<int>(audio.bits) - 1);
    uint64_t bits = 0;
    if (audio.isFloat)
      std::memcpy(&bits, width == 4 ? static_cast<const void*>(&f) : &x, width);
    else
      bits = static_cast<uint64_t>(
          static_cast<int64_t>(std::fmax(-full, std::fmin(full - 1, std::round(x * full)))));
    for (unsigned i = 0; i < width; ++i) data.push_back(static_cast<uint8_t>(bits >> (8 * i)));
  }
  Bytes items;
  for (const auto& item : info) items += Chunk(item.first.c_str(), Z(item.second));
  const Bytes file = WaveFile(audio.isFloat ? 3 : 1, static_cast<WORD>(audio.channels), audio.rate,
                              static_cast<WORD>(audio.bits), data, {},
                              info.empty() ? Bytes() : List("INFO", items));
  WriteFileBytes(path, file);
}

// Reads a 16-bit PCM or float file through the system's reader; no channels when it fails.
inline Audio ReadAudio(const std::string& path) {
  std::basic_string<WCHAR> wide;
  NxUtf8ToUtf16(path, &wide);
  WaveReader reader;
  if (WaveReader_Open(wide.c_str(), &reader, false) != 0) return Audio{0, 0, 0, false, {}};
  Audio audio{reader.channels, reader.sampleRate, reader.bytesPerSample * 8,
              reader.sampleKind == WaveSampleKind::Float, {}};
  std::vector<uint8_t> raw(size_t{reader.frames} * reader.channels * reader.bytesPerSample);
  WaveReader_Read(&reader, raw.data(), reader.frames, 0, true);
  WaveReader_Close(&reader);
  const size_t width = audio.bits / 8;
  for (size_t i = 0; i + width <= raw.size(); i += width) {
    float f = 0;
    double d = 0;
    int16_t v = 0;
    const bool pcm = !audio.isFloat;
    std::memcpy(pcm ? static_cast<void*>(&v) : width == 4 ? static_cast<void*>(&f) : &d, &raw[i],
                pcm ? 2 : width);
    audio.samples.push_back(pcm ? v / 32768.0 : width == 4 ? f : d);
  }
  return audio;
}

// Seeded noise on ±scale.
inline std::vector<double> Noise(size_t count, unsigned seed, double scale) {
  std::mt19937 rng(seed);
  std::vector<double> out(count);
  for (double& x : out) x = scale * (static_cast<double>(rng()) / 2147483648.0 - 1.0);
  return out;
}

// One channel of interleaved samples.
inline std::vector<double> Channel(const Audio& audio, unsigned channel) {
  std::vector<double> out;
  for (size_t i = channel; i < audio.samples.size(); i += audio.channels)
    out.push_back(audio.samples[i]);
  return out;
}

}  // namespace tools_test
