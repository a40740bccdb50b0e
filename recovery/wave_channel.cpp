#include "recovery/wave_channel.h"

#include <climits>
#include <memory>
#include <new>

#include "impulse/wave_reader.h"

namespace {

constexpr DWORD kBlockFrames = 4096;

// The factor that brings a delivered sample to the 16-bit scale; WaveReader_GetSample hands
// float samples over as x * 2^31.
float ScaleOf(const WaveReader& reader) {
  if (reader.sampleKind == WaveSampleKind::Float) return 1.0f / 65536.0f;
  switch (reader.bytesPerSample) {
    case 1:
      return 256.0f;
    case 3:
      return 1.0f / 256.0f;
    case 4:
      return 1.0f / 65536.0f;
    default:
      return 1.0f;
  }
}

float SampleOf(const WaveReader& reader, const BYTE* block, DWORD frame, DWORD channel,
               float scale) {
  if (channel >= reader.channels) return 0.0f;
  double value = WaveReader_GetSampleUnclamped(&reader, block, frame, channel);
  // 8-bit samples are unsigned around 128.
  if (reader.bytesPerSample == 1 && reader.sampleKind != WaveSampleKind::Float) value -= 128;
  return static_cast<float>(value * scale);
}

}  // namespace

int ReadWaveChannel(LPCWSTR name, float* buffer, float* second, DWORD frames, DWORD startFrame,
                    DWORD channel) {
  WaveReader reader;
  const int opened = WaveReader_Open(name, &reader, false);
  if (opened != 0) return opened < 0 ? opened : kImpulseNotAFile;
  if (reader.bytesPerSample == 0 || reader.channels == 0) {
    WaveReader_Close(&reader);
    return kImpulseNotAFile;
  }
  if (buffer == nullptr || frames == 0 || frames > static_cast<DWORD>(INT_MAX) ||
      !WaveReader_Seek(&reader, startFrame)) {
    WaveReader_Close(&reader);
    return 0;
  }
  const size_t frameBytes = size_t{reader.bytesPerSample} * reader.channels;
  std::unique_ptr<BYTE[]> block(new (std::nothrow) BYTE[frameBytes * kBlockFrames]);
  if (!block) {
    WaveReader_Close(&reader);
    return kImpulseNoMemory;
  }
  const float scale = ScaleOf(reader);
  DWORD done = 0;
  while (done < frames) {
    const DWORD want = frames - done < kBlockFrames ? frames - done : kBlockFrames;
    const DWORD got =
        static_cast<DWORD>(WaveReader_Read(&reader, block.get(), want, 0, true) / frameBytes);
    for (DWORD i = 0; i < got; ++i) {
      buffer[done + i] = SampleOf(reader, block.get(), i, channel, scale);
      if (second != nullptr) second[done + i] = SampleOf(reader, block.get(), i, 1, scale);
    }
    done += got;
    if (got < want) break;
  }
  WaveReader_Close(&reader);
  return done == frames ? static_cast<int>(frames) : 0;
}
