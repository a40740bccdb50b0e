#include "impulse/wave_loader.h"

#include <algorithm>
#include <memory>
#include <new>

namespace {

// Frames read per pass, so that a long file loads with bounded memory.
constexpr DWORD kLoadPieceBytes = 1u << 16;

// One sample on the 16-bit full scale.
float ScaledSample(const WaveReader* reader, const BYTE* frames, DWORD frame, DWORD channel) {
  const double raw = WaveReader_GetSampleUnclamped(reader, frames, frame, channel);
  switch (reader->bytesPerSample) {
    case 1:
      return static_cast<float>((raw - 128) * 256);
    case 2:
      return static_cast<float>(raw);
    case 3:
      return static_cast<float>(raw) * 0.00390625f;
    default:
      // 32-bit integers and floats arrive on the 32-bit scale (floats unclamped); double keeps
      // the integer exact until the one rounding to float.
      return static_cast<float>(raw / 65536.0);
  }
}

int LoadFromReader(WaveReader* reader, float* main, float* second, DWORD maxFrames, DWORD channel) {
  if (reader->bytesPerSample == 0 || main == nullptr) return kImpulseNotAFile;
  if (reader->frames == 0) return kImpulseReadFailed;
  const DWORD frameBytes = reader->bytesPerSample * reader->channels;
  const DWORD wanted = std::min(maxFrames, reader->frames);
  const DWORD pieceFrames = std::max<DWORD>(1, kLoadPieceBytes / frameBytes);
  std::unique_ptr<BYTE[]> piece(new (std::nothrow) BYTE[size_t{pieceFrames} * frameBytes]);
  if (!piece) return kImpulseNoMemory;
  channel = std::min(channel, reader->channels - 1);
  const bool loadSecond = second != nullptr && reader->channels >= 2;
  DWORD loaded = 0;
  while (loaded < wanted) {
    const DWORD bytes =
        WaveReader_Read(reader, piece.get(), std::min(pieceFrames, wanted - loaded), 0, true);
    const DWORD got = bytes / frameBytes;
    if (got == 0) break;
    for (DWORD i = 0; i < got; ++i) {
      main[loaded + i] = ScaledSample(reader, piece.get(), i, channel);
      if (loadSecond) second[loaded + i] = ScaledSample(reader, piece.get(), i, 1);
    }
    loaded += got;
  }
  if (loaded == 0 && wanted != 0) return kImpulseReadFailed;
  return static_cast<int>(std::min<DWORD>(loaded, 0x7FFFFFFF));
}

}  // namespace

int LoadWaveImpulseFile(NxFileHandle file, float* main, float* second, DWORD maxFrames,
                        DWORD channel) {
  WaveReader reader;
  const int opened = WaveReader_OpenFile(file, &reader);
  if (opened != 0) return opened;
  // A count must fit the int result.
  const int result =
      LoadFromReader(&reader, main, second, std::min<DWORD>(maxFrames, 0x7FFFFFFF), channel);
  WaveReader_Close(&reader);
  return result;
}

int LoadWaveImpulse(LPCWSTR name, float* main, float* second, DWORD maxFrames, DWORD channel) {
  if (name == nullptr) return kImpulseNotAFile;
  return LoadWaveImpulseFile(NxOpenFile(name, NxFileAccess::Read, NxFileCreate::OpenExisting), main,
                             second, maxFrames, channel);
}

bool GetWaveImpulseInfoFile(NxFileHandle file, ImpulseInfo* info) {
  if (info == nullptr) {
    NxCloseFile(file);
    return false;
  }
  *info = ImpulseInfo{};
  WaveReader reader;
  if (WaveReader_OpenFile(file, &reader) != 0) return false;
  info->version = kImpulseVersion;
  info->channels = reader.channels;
  info->bytesPerSample = reader.bytesPerSample;
  info->dataBytes = reader.dataBytes;
  info->sampleRate = reader.sampleRate;
  WaveReader_Close(&reader);
  return info->dataBytes != 0 && info->bytesPerSample != 0 && info->channels != 0 &&
         info->sampleRate != 0;
}

bool GetWaveImpulseInfo(LPCWSTR name, ImpulseInfo* info) {
  if (name == nullptr) {
    if (info != nullptr) *info = ImpulseInfo{};
    return false;
  }
  return GetWaveImpulseInfoFile(NxOpenFile(name, NxFileAccess::Read, NxFileCreate::OpenExisting),
                                info);
}
