// WAVEFORMATEX: the platform's wave format record, 18 bytes packed, little-endian on every
// system this builds for. Stream formats pass between the pins and the parameter object as this
// record with cbSize 0.
#pragma once

#include "platform/types.h"

#if defined(_WIN32)
#include <mmsystem.h>
#include <mmreg.h>
#else
#pragma pack(push, 1)
struct WAVEFORMATEX {
  WORD wFormatTag;
  WORD nChannels;
  DWORD nSamplesPerSec;
  DWORD nAvgBytesPerSec;
  WORD nBlockAlign;
  WORD wBitsPerSample;
  WORD cbSize;  // bytes of format-specific data that follow the record
};
#pragma pack(pop)
typedef WAVEFORMATEX* LPWAVEFORMATEX;

constexpr WORD WAVE_FORMAT_PCM = 0x0001;
constexpr WORD WAVE_FORMAT_ADPCM = 0x0002;
constexpr WORD WAVE_FORMAT_IEEE_FLOAT = 0x0003;
constexpr WORD WAVE_FORMAT_ALAW = 0x0006;
constexpr WORD WAVE_FORMAT_MULAW = 0x0007;
constexpr WORD WAVE_FORMAT_IMA_ADPCM = 0x0011;
constexpr WORD WAVE_FORMAT_EXTENSIBLE = 0xFFFE;
#endif  // _WIN32

static_assert(sizeof(WAVEFORMATEX) == 18, "WAVEFORMATEX is 18 bytes");
static_assert(offsetof(WAVEFORMATEX, nChannels) == 2 && offsetof(WAVEFORMATEX, nSamplesPerSec) == 4 &&
                  offsetof(WAVEFORMATEX, nAvgBytesPerSec) == 8 &&
                  offsetof(WAVEFORMATEX, nBlockAlign) == 12 &&
                  offsetof(WAVEFORMATEX, wBitsPerSample) == 14 && offsetof(WAVEFORMATEX, cbSize) == 16,
              "WAVEFORMATEX field offsets");
