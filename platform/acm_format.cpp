#include "platform/acm_format.h"

#include <algorithm>

#include "platform/acm.h"
#include "platform/adpcm.h"
#include "platform/byte_order.h"
#include "platform/g711.h"
#include "platform/wave_format.h"

namespace {

constexpr size_t kWaveFormatExBytes = 18;
constexpr WORD kAdpcmBitsPerSample = 4;
constexpr WORD kLawBitsPerSample = 8;
constexpr WORD kPcmBitsPerSample = 16;
constexpr WORD kMaxAdpcmChannels = 2;

// The block must be a whole number of 4-byte groups per channel, one of them the header, and
// wSamplesPerBlock must be exactly what those groups hold.
bool ReadImaExtra(const BYTE* extra, WORD extraBytes, AcmSourceFormat* f) {
  if (extraBytes < 2 || f->channels > kMaxAdpcmChannels) return false;
  const DWORD groupBytes = 4u * f->channels;
  if (f->blockAlign < groupBytes || f->blockAlign % groupBytes != 0) return false;
  const DWORD samplesPerBlock = NxGetLe16(extra);
  if (samplesPerBlock != ImaFramesHeld(f->blockAlign, f->channels)) return false;
  f->framesPerBlock = samplesPerBlock;
  return true;
}

// The block must hold the header and wSamplesPerBlock frames; bytes past them are ignored.
bool ReadMsAdpcmExtra(const BYTE* extra, WORD extraBytes, AcmSourceFormat* f) {
  if (extraBytes < 4 || f->channels > kMaxAdpcmChannels) return false;
  const DWORD samplesPerBlock = NxGetLe16(extra);
  const WORD pairs = NxGetLe16(extra + 2);
  if (samplesPerBlock < 2 || pairs < kMsAdpcmMinCoefficientPairs) return false;
  if (DWORD{extraBytes} < 4u + 4u * pairs) return false;
  const DWORD needed = 7u * f->channels + ((samplesPerBlock - 2) * f->channels + 1) / 2;
  if (needed > f->blockAlign) return false;
  f->framesPerBlock = samplesPerBlock;
  f->coefficientPairs = std::min<unsigned>(pairs, kMsAdpcmMaxCoefficientPairs);
  for (unsigned i = 0; i < f->coefficientPairs; ++i) {
    f->coefficients[i][0] = static_cast<int16_t>(NxGetLe16(extra + 4 + 4 * i));
    f->coefficients[i][1] = static_cast<int16_t>(NxGetLe16(extra + 6 + 4 * i));
  }
  return true;
}

}  // namespace

bool AcmSourceFormat::IsAdpcm() const {
  return formatTag == WAVE_FORMAT_IMA_ADPCM || formatTag == WAVE_FORMAT_ADPCM;
}

bool ReadAcmSourceFormat(const BYTE* record, AcmSourceFormat* f) {
  f->formatTag = NxGetLe16(record);
  f->channels = NxGetLe16(record + 2);
  f->samplesPerSec = NxGetLe32(record + 4);
  f->blockAlign = NxGetLe16(record + 12);
  const WORD bitsPerSample = NxGetLe16(record + 14);
  const WORD extraBytes = NxGetLe16(record + 16);
  const BYTE* extra = record + kWaveFormatExBytes;
  f->framesPerBlock = 0;
  f->coefficientPairs = 0;
  if (f->channels == 0 || f->samplesPerSec == 0) return false;
  // The decoded stream's bytes per second must fit its 32-bit field.
  if (uint64_t{f->samplesPerSec} * f->channels * 2 > UINT32_MAX) return false;

  bool ok = false;
  switch (f->formatTag) {
    case WAVE_FORMAT_MULAW:
    case WAVE_FORMAT_ALAW:
      ok = bitsPerSample == kLawBitsPerSample && f->channels <= kAcmMaxLawChannels &&
           f->blockAlign == f->channels;
      f->framesPerBlock = 1;
      break;
    case WAVE_FORMAT_IMA_ADPCM:
      ok = bitsPerSample == kAdpcmBitsPerSample && ReadImaExtra(extra, extraBytes, f);
      break;
    case WAVE_FORMAT_ADPCM:
      ok = bitsPerSample == kAdpcmBitsPerSample && ReadMsAdpcmExtra(extra, extraBytes, f);
      break;
    default:
      break;
  }
  return ok;
}

bool IsAcmPcmTarget(const BYTE* record, const AcmSourceFormat& source) {
  return NxGetLe16(record) == WAVE_FORMAT_PCM && NxGetLe16(record + 2) == source.channels &&
         NxGetLe32(record + 4) == source.samplesPerSec &&
         NxGetLe16(record + 12) == 2 * source.channels && NxGetLe16(record + 14) == kPcmBitsPerSample;
}

void WriteAcmPcmFormat(const AcmSourceFormat& source, BYTE* record, DWORD capacity) {
  const WORD blockAlign = static_cast<WORD>(2 * source.channels);
  NxPutLe16(record, WAVE_FORMAT_PCM);
  NxPutLe16(record + 2, source.channels);
  NxPutLe32(record + 4, source.samplesPerSec);
  NxPutLe32(record + 8, source.samplesPerSec * blockAlign);
  NxPutLe16(record + 12, blockAlign);
  NxPutLe16(record + 14, kPcmBitsPerSample);
  if (capacity >= kWaveFormatExBytes) NxPutLe16(record + 16, 0);
}

void DecodeAcmBlocks(const AcmSourceFormat& f, const BYTE* src, DWORD blocks, BYTE* dst) {
  const size_t srcBytes = size_t{blocks} * f.blockAlign;
  switch (f.formatTag) {
    case WAVE_FORMAT_MULAW:
      DecodeMuLaw(src, srcBytes, dst);
      return;
    case WAVE_FORMAT_ALAW:
      DecodeALaw(src, srcBytes, dst);
      return;
    default:
      break;
  }
  for (DWORD b = 0; b < blocks; ++b) {
    const BYTE* block = src + size_t{b} * f.blockAlign;
    BYTE* out = dst + size_t{b} * f.PcmBlockBytes();
    if (f.formatTag == WAVE_FORMAT_IMA_ADPCM) {
      DecodeImaBlock(block, f.blockAlign, f.channels, f.framesPerBlock, out);
    } else {
      DecodeMsAdpcmBlock(block, f.blockAlign, f.channels, f.coefficients, f.coefficientPairs,
                         f.framesPerBlock, out);
    }
  }
}

DWORD AcmPartialBlockPcmBytes(const AcmSourceFormat& f, DWORD bytes) {
  if (!f.IsAdpcm() || bytes >= f.blockAlign) return 0;
  const DWORD held = f.formatTag == WAVE_FORMAT_IMA_ADPCM ? ImaFramesHeld(bytes, f.channels)
                                                          : MsAdpcmFramesHeld(bytes, f.channels);
  return std::min(held, f.framesPerBlock) * f.channels * 2u;
}

void DecodeAcmPartialBlock(const AcmSourceFormat& f, const BYTE* src, DWORD bytes, BYTE* dst) {
  const DWORD frames = AcmPartialBlockPcmBytes(f, bytes) / (2u * f.channels);
  if (frames == 0) return;
  if (f.formatTag == WAVE_FORMAT_IMA_ADPCM) {
    DecodeImaBlock(src, bytes, f.channels, frames, dst);
  } else {
    DecodeMsAdpcmBlock(src, bytes, f.channels, f.coefficients, f.coefficientPairs, frames, dst);
  }
}
