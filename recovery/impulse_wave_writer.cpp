#include "recovery/impulse_wave_writer.h"

#include <cmath>
#include <cstring>
#include <memory>
#include <new>

#include "impulse/wave_reader.h"
#include "impulse/wave_writer.h"
#include "platform/byte_order.h"
#include "platform/file.h"
#include "platform/file_replacement.h"

namespace {

constexpr DWORD kWriteBlockFrames = 1024;
constexpr DWORD kMergeBlockFrames = 4096;
constexpr float kFloatFullScale = 32766.0f;

int16_t RoundToPcm16(float value) {
  const float rounded = std::round(value);  // halves away from zero
  if (!(rounded > -32768.0f)) return value != value ? 0 : -32768;
  if (rounded > 32767.0f) return 32767;
  return static_cast<int16_t>(rounded);
}

void PutSample16(BYTE* p, float value) { NxPutLeI16(p, RoundToPcm16(value)); }

bool WriteAll(NxFileHandle file, const BYTE* bytes, DWORD count) {
  DWORD done = 0;
  return file->Write(bytes, count, &done) && done == count;
}

int WriteImpulseWave(LPCWSTR name, const float* channel0, const float* channel1, DWORD frames,
                     DWORD rate, DWORD channels, bool isFloat) {
  const DWORD sampleBytes = isFloat ? 4 : 2;
  if (name == nullptr || channel0 == nullptr || channels == 0 || channels > 0xFFFF) return -1;
  const ULONGLONG dataBytes = ULONGLONG{frames} * channels * sampleBytes;
  const ULONGLONG byteRate = ULONGLONG{rate} * channels * sampleBytes;
  if (dataBytes > 0xFFFFFFFFull - 36 || byteRate > 0xFFFFFFFFull) return -1;
  if (channel1 == nullptr) channel1 = channel0;

  const size_t frameBytes = size_t{channels} * sampleBytes;
  std::unique_ptr<BYTE[]> staging(new (std::nothrow) BYTE[frameBytes * kWriteBlockFrames]);
  if (!staging) return -1;
  NxFileReplacement* file = NxFileReplacement::Create(name, NxFileAccess::Write);
  if (file == nullptr) return -1;
  WAVEFORMATEX format = {};
  format.wFormatTag = isFloat ? WAVE_FORMAT_IEEE_FLOAT : WAVE_FORMAT_PCM;
  format.nChannels = static_cast<WORD>(channels);
  format.nSamplesPerSec = rate;
  format.wBitsPerSample = static_cast<WORD>(8 * sampleBytes);
  WaveFileWriter writer;
  bool ok = writer.Start(file, format);
  for (DWORD first = 0; ok && first < frames; first += kWriteBlockFrames) {
    const DWORD count = frames - first < kWriteBlockFrames ? frames - first : kWriteBlockFrames;
    BYTE* p = staging.get();
    for (DWORD i = first; i < first + count; ++i) {
      for (DWORD c = 0; c < channels; ++c, p += sampleBytes) {
        const float value = c == 0 ? channel0[i] : channel1[i];
        if (isFloat) {
          NxPutLeFloat(p, value / kFloatFullScale);
        } else {
          PutSample16(p, value);
        }
      }
    }
    ok = writer.Append(staging.get(), static_cast<DWORD>(count * frameBytes));
  }
  ok = ok && writer.Finish() && file->Commit();
  NxCloseFile(file);
  return ok ? 0 : -1;
}

int MergeSecondChannel(LPCWSTR name, const float* channel1, DWORD frames, float channel0Factor,
                       float channel1Scale, bool isFloat) {
  if (name == nullptr || channel1 == nullptr) return -1;
  WaveReader reader;
  if (WaveReader_Open(name, &reader, true) != 0) return -1;
  const DWORD sampleBytes = isFloat ? 4 : 2;
  const bool matches =
      reader.codecStream == nullptr && reader.channels == 2 &&
      reader.bytesPerSample == sampleBytes &&
      reader.sampleKind == (isFloat ? WaveSampleKind::Float : WaveSampleKind::Integer) &&
      reader.frames >= frames;
  std::unique_ptr<BYTE[]> block(new (std::nothrow) BYTE[2 * sampleBytes * kMergeBlockFrames]);
  if (!matches || !block) {
    WaveReader_Close(&reader);
    return -1;
  }
  const bool scaleChannel0 = channel0Factor != 1.0f;
  DWORD done = 0;
  while (done < frames) {
    const DWORD want = frames - done < kMergeBlockFrames ? frames - done : kMergeBlockFrames;
    const DWORD position = reader.readPosition;
    const DWORD bytes = WaveReader_Read(&reader, block.get(), want, 0, true);
    const DWORD got = bytes / (2 * sampleBytes);
    for (DWORD i = 0; i < got; ++i) {
      BYTE* left = block.get() + size_t{i} * 2 * sampleBytes;
      BYTE* right = left + sampleBytes;
      const float value = channel1Scale * channel1[done + i];
      if (isFloat) {
        if (scaleChannel0) NxPutLeFloat(left, NxGetLeFloat(left) * channel0Factor);
        NxPutLeFloat(right, value / kFloatFullScale);
      } else {
        if (scaleChannel0) {
          PutSample16(left, static_cast<float>(NxGetLeI16(left)) * channel0Factor);
        }
        PutSample16(right, value);
      }
    }
    if (got == 0 || !reader.file->Seek(position, NxSeekOrigin::Begin, nullptr) ||
        !WriteAll(reader.file, block.get(), got * 2 * sampleBytes)) {
      break;
    }
    done += got;
    if (got < want) break;
  }
  WaveReader_Close(&reader);
  return done == frames ? 0 : -1;
}

}  // namespace

int WriteImpulseWave16(LPCWSTR name, const float* channel0, const float* channel1, DWORD frames,
                       DWORD rate, DWORD channels) {
  return WriteImpulseWave(name, channel0, channel1, frames, rate, channels, false);
}

int WriteImpulseWaveFloat(LPCWSTR name, const float* channel0, const float* channel1, DWORD frames,
                          DWORD rate, DWORD channels) {
  return WriteImpulseWave(name, channel0, channel1, frames, rate, channels, true);
}

int MergeSecondChannel16(LPCWSTR name, const float* channel1, DWORD frames, float channel0Factor,
                         float channel1Scale) {
  return MergeSecondChannel(name, channel1, frames, channel0Factor, channel1Scale, false);
}

int MergeSecondChannelFloat(LPCWSTR name, const float* channel1, DWORD frames, float channel0Factor,
                            float channel1Scale) {
  return MergeSecondChannel(name, channel1, frames, channel0Factor, channel1Scale, true);
}
