// The source formats the compression manager decodes, read from their record bytes and checked,
// with the block arithmetic that sizes and conversions share.
//
// A source block is what decodes on its own: one ADPCM block of nBlockAlign bytes, or one frame
// of law samples (nChannels bytes). Each block decodes to framesPerBlock frames of 16-bit PCM.
#pragma once

#include <cstdint>

#include "platform/types.h"

// Coefficient pairs kept from a Microsoft ADPCM format: a block's predictor index is one byte.
constexpr unsigned kMsAdpcmMaxCoefficientPairs = 256;
constexpr WORD kMsAdpcmMinCoefficientPairs = 7;

struct AcmSourceFormat {
  WORD formatTag;
  WORD channels;
  DWORD samplesPerSec;
  WORD blockAlign;       // source bytes of one block
  DWORD framesPerBlock;  // 1 for mu-law and A-law
  unsigned coefficientPairs;
  int16_t coefficients[kMsAdpcmMaxCoefficientPairs][2];

  // PCM bytes of one decoded block.
  DWORD PcmBlockBytes() const { return framesPerBlock * channels * 2u; }
  bool IsAdpcm() const;
};

// Reads the record at `record` (18 + cbSize bytes) into `format`. False when the format is not
// one decoded here or a field is out of range or inconsistent with another.
bool ReadAcmSourceFormat(const BYTE* record, AcmSourceFormat* format);

// True when the first 16 bytes at `record` describe the PCM format `source` decodes to: tag 1,
// the same channels and rate, 16 bits, block align 2 * channels.
bool IsAcmPcmTarget(const BYTE* record, const AcmSourceFormat& source);

// Writes that PCM format: 16 bytes, and cbSize 0 when `capacity` is 18 or more.
void WriteAcmPcmFormat(const AcmSourceFormat& source, BYTE* record, DWORD capacity);

// Decodes `blocks` whole blocks from `src` into `dst` (blocks * PcmBlockBytes() bytes).
void DecodeAcmBlocks(const AcmSourceFormat& format, const BYTE* src, DWORD blocks, BYTE* dst);

// PCM bytes that a trailing partial block of `bytes` bytes (fewer than one block) decodes to:
// the frames its bytes hold, at most framesPerBlock; 0 for the laws, whose blocks are frames.
DWORD AcmPartialBlockPcmBytes(const AcmSourceFormat& format, DWORD bytes);

// Decodes such a partial block into `dst`, which takes AcmPartialBlockPcmBytes(format, bytes).
void DecodeAcmPartialBlock(const AcmSourceFormat& format, const BYTE* src, DWORD bytes, BYTE* dst);
