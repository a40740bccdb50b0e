#include "recovery/impulse_wave_writer.h"

#include <cmath>
#include <cstring>
#include <memory>
#include <new>

#include "impulse/wave_reader.h"
#include "platform/file.h"

namespace {

constexpr DWORD kWriteBlockFrames = 1024;
constexpr DWORD kMergeBlockFrames = 4096;
constexpr float kFloatFullScale = 32766.0f;
constexpr WORD kFormatPcm = 1;
constexpr WORD kFormatFloat = 3;

void PutLe16(BYTE* p, WORD v) {
  p[0] = static_cast<BYTE>(v);
  p[1] = static_cast<BYTE>(v >> 8);
}
void PutLe32(BYTE* p, DWORD v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<BYTE>(v >> (8 * i));
}
DWORD GetLe32(const BYTE* p) {
  return DWORD{p[0]} | (DWORD{p[1]} << 8) | (DWORD{p[2]} << 16) | (DWORD{p[3]} << 24);
}

int16_t ToPcm16(float value) {
  const float rounded = std::round(value);  // halves away from zero
  if (!(rounded > -32768.0f)) return value != value ? 0 : -32768;
  if (rounded > 32767.0f) return 32767;
  return static_cast<int16_t>(rounded);
}

void PutSample16(BYTE* p, float value) { PutLe16(p, static_cast<WORD>(ToPcm16(value))); }
void PutSampleFloat(BYTE* p, float value) {
  DWORD bits;
  std::memcpy(&bits, &value, sizeof bits);
  PutLe32(p, bits);
}
float GetSampleFloat(const BYTE* p) {
  const DWORD bits = GetLe32(p);
  float value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

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

  BYTE header[44];
  std::memcpy(header, "RIFF", 4);
  PutLe32(header + 4, static_cast<DWORD>(36 + dataBytes));
  std::memcpy(header + 8, "WAVEfmt ", 8);
  PutLe32(header + 16, 16);
  PutLe16(header + 20, isFloat ? kFormatFloat : kFormatPcm);
  PutLe16(header + 22, static_cast<WORD>(channels));
  PutLe32(header + 24, rate);
  PutLe32(header + 28, static_cast<DWORD>(byteRate));
  PutLe16(header + 32, static_cast<WORD>(channels * sampleBytes));
  PutLe16(header + 34, static_cast<WORD>(8 * sampleBytes));
  std::memcpy(header + 36, "data", 4);
  PutLe32(header + 40, static_cast<DWORD>(dataBytes));

  const size_t frameBytes = size_t{channels} * sampleBytes;
  std::unique_ptr<BYTE[]> staging(new (std::nothrow) BYTE[frameBytes * kWriteBlockFrames]);
  if (!staging) return -1;
  NxFileHandle file = NxOpenFile(name, NxFileAccess::Write, NxFileCreate::CreateAlways);
  if (file == nullptr) return -1;
  bool ok = WriteAll(file, header, sizeof header);
  for (DWORD first = 0; ok && first < frames; first += kWriteBlockFrames) {
    const DWORD count = frames - first < kWriteBlockFrames ? frames - first : kWriteBlockFrames;
    BYTE* p = staging.get();
    for (DWORD i = first; i < first + count; ++i) {
      for (DWORD c = 0; c < channels; ++c, p += sampleBytes) {
        const float value = c == 0 ? channel0[i] : channel1[i];
        if (isFloat) {
          PutSampleFloat(p, value / kFloatFullScale);
        } else {
          PutSample16(p, value);
        }
      }
    }
    ok = WriteAll(file, staging.get(), static_cast<DWORD>(count * frameBytes));
  }
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
        if (scaleChannel0) PutSampleFloat(left, GetSampleFloat(left) * channel0Factor);
        PutSampleFloat(right, value / kFloatFullScale);
      } else {
        if (scaleChannel0) {
          const auto sample = static_cast<int16_t>(left[0] | (left[1] << 8));
          PutSample16(left, static_cast<float>(sample) * channel0Factor);
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
