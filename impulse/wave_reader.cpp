#include "impulse/wave_reader.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <new>

#include "impulse/riff.h"
#include "toolkit/file_read.h"
#include "platform/byte_order.h"

namespace {

constexpr DWORD kWaveFormType = NxFourCC('W', 'A', 'V', 'E');
constexpr DWORD kFmtChunkId = NxFourCC('f', 'm', 't', ' ');
constexpr DWORD kDataChunkId = NxFourCC('d', 'a', 't', 'a');
constexpr DWORD kFactChunkId = NxFourCC('f', 'a', 'c', 't');

// A WAVEFORMATEX and its cbSize extension can never be longer; the rest of a longer chunk is
// ignored, so a chunk claiming gigabytes costs no more than this.
constexpr DWORD kMaxFormatBytes = 18 + 0xFFFF;
constexpr DWORD kExtensibleFormatBytes = 40;  // WAVEFORMATEXTENSIBLE: 18 + cbSize 22

// Largest piece read or decoded in one pass, in bytes, so reads of any length use bounded memory.
constexpr DWORD kPieceBytes = 1u << 16;
constexpr DWORD kDecodedPieceBytes = 1u << 19;

// Tail of the KSDATAFORMAT_SUBTYPE_* GUIDs: bytes 4..15 behind the format tag in bytes 0..3.
constexpr BYTE kSubFormatTail[12] = {0x00, 0x00, 0x10, 0x00, 0x80, 0x00,
                                     0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
// Tail of the Ambisonic B-format sub-formats {00000001-0721-11D3-8644-C8C1CA000000} (PCM) and
// {00000003-...} (IEEE float): some tools write impulses that way, and their samples are plain
// PCM and float.
constexpr BYTE kBFormatSubFormatTail[12] = {0x21, 0x07, 0xD3, 0x11, 0x86, 0x44,
                                            0xC8, 0xC1, 0xCA, 0x00, 0x00, 0x00};

std::unique_ptr<BYTE[]> AllocBytes(size_t count) {
  return std::unique_ptr<BYTE[]>(new (std::nothrow) BYTE[count]());
}

bool SeekTo(NxFileHandle file, ULONGLONG position) {
  return file->Seek(static_cast<LONGLONG>(position), NxSeekOrigin::Begin, nullptr);
}

bool ReadExactly(NxFileHandle file, void* buffer, DWORD count) {
  DWORD done = 0;
  return NxReadFile(file, buffer, count, &done, nullptr) && done == count;
}

// Reads up to `count` bytes; the count read (0 on an error).
DWORD ReadSome(NxFileHandle file, void* buffer, DWORD count) {
  DWORD done = 0;
  if (!NxReadFile(file, buffer, count, &done, nullptr)) return 0;
  return done;
}

// File size as a 32-bit RIFF position: files past 4 GB are read as far as 32 bits reach.
bool FileSize32(NxFileHandle file, DWORD* size) {
  ULONGLONG size64 = 0;
  if (!file->GetSize(&size64)) return false;
  *size = static_cast<DWORD>(std::min<ULONGLONG>(size64, 0xFFFFFFFFull));
  return true;
}

bool CurrentPosition(NxFileHandle file, DWORD* position) {
  ULONGLONG position64 = 0;
  if (!file->Seek(0, NxSeekOrigin::Current, &position64) || position64 > 0xFFFFFFFFull) {
    return false;
  }
  *position = static_cast<DWORD>(position64);
  return true;
}

DWORD FrameBytes(const WaveReader* reader) { return reader->bytesPerSample * reader->channels; }

// Width of one delivered sample for an uncompressed tag, 0 when it is not one we read.
DWORD UncompressedWidth(WORD tag, WORD bits, WaveSampleKind* kind) {
  const DWORD width = (bits + 7u) / 8u;
  if (tag == WAVE_FORMAT_PCM && width >= 1 && width <= 4) {
    *kind = WaveSampleKind::Integer;
    return width;
  }
  if (tag == WAVE_FORMAT_IEEE_FLOAT && (bits == 32 || bits == 64)) {
    *kind = WaveSampleKind::Float;
    return width;
  }
  *kind = WaveSampleKind::None;
  return 0;
}

// Reads the "fmt " chunk into reader->format: at most kMaxFormatBytes of it, zero-padded to at
// least 18 bytes. A cbSize that claims more than the chunk holds is cut to what it holds, so that
// whoever reads 18 + cbSize bytes of the record stays inside it; `declaredExtra` keeps the claim.
int ReadFormatChunk(WaveReader* reader, DWORD fileSize, DWORD* declaredExtra) {
  DWORD chunkSize = 0;
  if (riff_FindChunkHeaderInRIFF(reader->file, kFmtChunkId, &chunkSize, nullptr) != NX_OK) {
    return kImpulseNotAFile;
  }
  DWORD position = 0;
  if (!CurrentPosition(reader->file, &position) || position > fileSize) return kImpulseNotAFile;
  const DWORD stored = std::min({chunkSize, fileSize - position, kMaxFormatBytes});
  if (stored < 16) return kImpulseNotAFile;
  std::unique_ptr<BYTE[]> bytes = AllocBytes(std::max<DWORD>(stored, 18));
  if (!bytes) return kImpulseNoMemory;
  if (!ReadExactly(reader->file, bytes.get(), stored)) return kImpulseNotAFile;
  *declaredExtra = stored >= 18 ? NxGetLe16(bytes.get() + 16) : 0;
  const DWORD extra = std::min(*declaredExtra, std::max<DWORD>(stored, 18) - 18);
  NxPutLe16(bytes.get() + 16, static_cast<WORD>(extra));
  reader->format = bytes.release();
  reader->formatSize = stored;
  return 0;
}

// Finds the "data" chunk; its size is cut to the bytes the file holds behind its header.
int FindDataChunk(WaveReader* reader, DWORD fileSize) {
  DWORD size = 0;
  if (riff_FindChunkHeaderInRIFF(reader->file, kDataChunkId, &size, nullptr) != NX_OK) {
    return kImpulseNotAFile;
  }
  DWORD start = 0;
  if (!CurrentPosition(reader->file, &start) || start > fileSize) return kImpulseNotAFile;
  reader->dataStart = start;
  reader->readPosition = start;
  reader->dataSize = std::min(size, fileSize - start);
  return 0;
}

// The sample count of a "fact" chunk, or 0 when there is none that can be read.
DWORD ReadFactSamples(NxFileHandle file) {
  DWORD size = 0;
  BYTE bytes[4];
  if (riff_FindChunkHeaderInRIFF(file, kFactChunkId, &size, nullptr) != NX_OK || size < 4 ||
      !ReadExactly(file, bytes, 4)) {
    return 0;
  }
  const DWORD samples = NxGetLe32(bytes);
  return samples == 0xFFFFFFFF ? 0 : samples;
}

// One conversion through the codec stream; the used byte counts come back. The prepared lengths
// are restored before unpreparing, as the stream requires.
bool Convert(HACMSTREAM stream, BYTE* src, DWORD srcBytes, BYTE* dst, DWORD dstBytes, DWORD flags,
             DWORD* srcUsed, DWORD* dstUsed) {
  ACMSTREAMHEADER header;
  std::memset(&header, 0, sizeof header);
  header.cbStruct = sizeof header;
  header.pbSrc = src;
  header.cbSrcLength = srcBytes;
  header.pbDst = dst;
  header.cbDstLength = dstBytes;
  if (acmStreamPrepareHeader(stream, &header, 0) != MMSYSERR_NOERROR) return false;
  const bool converted = acmStreamConvert(stream, &header, flags) == MMSYSERR_NOERROR;
  *srcUsed = converted ? header.cbSrcLengthUsed : 0;
  *dstUsed = converted ? header.cbDstLengthUsed : 0;
  header.cbSrcLength = srcBytes;
  header.cbDstLength = dstBytes;
  acmStreamUnprepareHeader(stream, &header, 0);
  return converted;
}

// Frames that the `bytes` bytes of a truncated last block (fewer than one block) decode to.
DWORD PartialBlockFrames(const WaveReader* reader, DWORD bytes) {
  if (bytes == 0) return 0;
  std::unique_ptr<BYTE[]> src = AllocBytes(bytes);
  const DWORD dstBytes = reader->framesPerBlock * FrameBytes(reader);
  std::unique_ptr<BYTE[]> dst = AllocBytes(dstBytes);
  DWORD srcUsed = 0;
  DWORD dstUsed = 0;
  if (!src || !dst ||
      !SeekTo(reader->file, ULONGLONG{reader->dataStart} + reader->dataSize - bytes) ||
      !ReadExactly(reader->file, src.get(), bytes) ||
      !Convert(reader->codecStream, src.get(), bytes, dst.get(), dstBytes, ACM_STREAMCONVERTF_END,
               &srcUsed, &dstUsed)) {
    return 0;
  }
  return dstUsed / FrameBytes(reader);
}

// Sets up decoding of a compressed format. A format the compression manager does not decode
// leaves the reader open with bytesPerSample 0.
int OpenCodec(WaveReader* reader, DWORD declaredExtra) {
  if (reader->formatSize < 18 || 18 + declaredExtra > reader->formatSize) return kImpulseNotAFile;
  auto* source = reinterpret_cast<LPWAVEFORMATEX>(reader->format);
  WAVEFORMATEX pcm;
  std::memset(&pcm, 0, sizeof pcm);
  pcm.wFormatTag = WAVE_FORMAT_PCM;
  pcm.wBitsPerSample = 16;
  if (acmFormatSuggest(nullptr, source, &pcm, sizeof pcm,
                       ACM_FORMATSUGGESTF_WFORMATTAG | ACM_FORMATSUGGESTF_WBITSPERSAMPLE) !=
          MMSYSERR_NOERROR ||
      pcm.nChannels == 0 ||
      acmStreamOpen(&reader->codecStream, nullptr, source, &pcm, nullptr, 0, 0,
                    ACM_STREAMOPENF_NONREALTIME) != MMSYSERR_NOERROR) {
    reader->codecStream = nullptr;
    return 0;
  }
  reader->pcmFormat = pcm;
  reader->channels = pcm.nChannels;
  reader->sampleRate = pcm.nSamplesPerSec;
  reader->bytesPerSample = 2;
  reader->sourceBlockBytes = NxGetLe16(reader->format + 12);
  DWORD blockPcmBytes = 0;
  if (reader->sourceBlockBytes == 0 ||
      acmStreamSize(reader->codecStream, reader->sourceBlockBytes, &blockPcmBytes,
                    ACM_STREAMSIZEF_SOURCE) != MMSYSERR_NOERROR ||
      blockPcmBytes < FrameBytes(reader)) {
    reader->bytesPerSample = 0;
    return 0;
  }
  reader->framesPerBlock = blockPcmBytes / FrameBytes(reader);
  reader->sampleKind = WaveSampleKind::Integer;

  const DWORD wholeBlocks = reader->dataSize / reader->sourceBlockBytes;
  const ULONGLONG capacity =
      ULONGLONG{wholeBlocks} * reader->framesPerBlock +
      PartialBlockFrames(reader, reader->dataSize % reader->sourceBlockBytes);
  // A count inside the last block is the writer telling where the padding starts; anything else
  // (whole blocks, half the frames, more than the data holds) is not worth more than the data.
  ULONGLONG frames = capacity;
  const DWORD fact = reader->dataSize != 0 ? ReadFactSamples(reader->file) : 0;
  if (fact != 0 && fact <= capacity && fact + ULONGLONG{reader->framesPerBlock} > capacity) {
    frames = fact;
  }
  reader->frames =
      static_cast<DWORD>(std::min<ULONGLONG>(frames, 0xFFFFFFFFu / FrameBytes(reader)));
  reader->dataBytes = reader->frames * FrameBytes(reader);
  return 0;
}

// Reads WAVE_FORMAT_EXTENSIBLE by its SubFormat: PCM and IEEE float are read as those tags.
int OpenExtensible(WaveReader* reader, DWORD declaredExtra, WORD bits) {
  if (reader->formatSize < kExtensibleFormatBytes || declaredExtra < 22) return kImpulseNotAFile;
  const BYTE* subFormat = reader->format + 24;
  WORD tag = 0;
  const bool knownTail =
      std::memcmp(subFormat + 4, kSubFormatTail, sizeof kSubFormatTail) == 0 ||
      std::memcmp(subFormat + 4, kBFormatSubFormatTail, sizeof kBFormatSubFormatTail) == 0;
  if (knownTail && NxGetLe16(subFormat + 2) == 0) {
    tag = NxGetLe16(subFormat);
  }
  reader->bytesPerSample = UncompressedWidth(tag, bits, &reader->sampleKind);
  return 0;
}

int OpenCore(WaveReader* reader) {
  DWORD fileSize = 0;
  DWORD formType = 0;
  if (!FileSize32(reader->file, &fileSize) || !SeekTo(reader->file, 0) ||
      riff_ReadFileID(reader->file, nullptr, &formType) != NX_OK || formType != kWaveFormType) {
    return kImpulseNotAFile;
  }
  DWORD declaredExtra = 0;
  int result = ReadFormatChunk(reader, fileSize, &declaredExtra);
  if (result != 0) return result;
  result = FindDataChunk(reader, fileSize);
  if (result != 0) return result;

  const WORD tag = NxGetLe16(reader->format);
  const WORD bits = NxGetLe16(reader->format + 14);
  reader->channels = NxGetLe16(reader->format + 2);
  reader->sampleRate = NxGetLe32(reader->format + 4);
  if (tag == WAVE_FORMAT_PCM || tag == WAVE_FORMAT_IEEE_FLOAT) {
    reader->bytesPerSample = UncompressedWidth(tag, bits, &reader->sampleKind);
  } else if (tag == WAVE_FORMAT_EXTENSIBLE) {
    result = OpenExtensible(reader, declaredExtra, bits);
  } else {
    return OpenCodec(reader, declaredExtra);
  }
  if (result != 0) return result;
  if (reader->channels == 0) reader->bytesPerSample = 0;
  if (reader->bytesPerSample == 0) {
    reader->sampleKind = WaveSampleKind::None;
    return 0;
  }
  reader->frames = reader->dataSize / FrameBytes(reader);
  reader->dataBytes = reader->frames * FrameBytes(reader);
  return 0;
}

DWORD CopyFrames(const BYTE* src, DWORD frames, DWORD frameBytes, DWORD channelOffset,
                 DWORD outFrameBytes, BYTE* dst) {
  if (outFrameBytes == frameBytes) {
    std::memcpy(dst, src, size_t{frames} * frameBytes);
  } else {
    for (DWORD i = 0; i < frames; ++i) {
      std::memcpy(dst + size_t{i} * outFrameBytes, src + size_t{i} * frameBytes + channelOffset,
                  outFrameBytes);
    }
  }
  return frames * outFrameBytes;
}

DWORD ReadUncompressed(WaveReader* reader, BYTE* out, DWORD frames, DWORD channel, bool whole) {
  const DWORD frameBytes = FrameBytes(reader);
  const DWORD outFrameBytes = whole ? frameBytes : reader->bytesPerSample;
  const DWORD pieceFrames = whole ? frames : std::max<DWORD>(1, kPieceBytes / frameBytes);
  std::unique_ptr<BYTE[]> piece;
  if (!whole && !(piece = AllocBytes(size_t{pieceFrames} * frameBytes))) return 0;
  DWORD delivered = 0;
  while (delivered < frames) {
    const DWORD want = std::min(frames - delivered, pieceFrames);
    BYTE* target = whole ? out : piece.get();
    if (!SeekTo(reader->file, reader->readPosition)) break;
    const DWORD got = ReadSome(reader->file, target, want * frameBytes) / frameBytes;
    if (got == 0) break;
    if (!whole) {
      CopyFrames(target, got, frameBytes, channel * reader->bytesPerSample, outFrameBytes,
                 out + size_t{delivered} * outFrameBytes);
    }
    delivered += got;
    reader->framePosition += got;
    reader->readPosition += got * frameBytes;
    if (got < want) break;
  }
  return delivered * outFrameBytes;
}

// Decodes from the block that holds the current frame, in bounded pieces, and hands out the
// wanted frames; a trailing partial block is decoded as far as its bytes reach.
DWORD ReadCompressed(WaveReader* reader, BYTE* out, DWORD frames, DWORD channel, bool whole) {
  const DWORD frameBytes = FrameBytes(reader);
  const DWORD outFrameBytes = whole ? frameBytes : reader->bytesPerSample;
  const DWORD blockBytes = reader->sourceBlockBytes;
  const DWORD blockPcmBytes = reader->framesPerBlock * frameBytes;
  const ULONGLONG requestBlocks =
      (ULONGLONG{reader->framePosition % reader->framesPerBlock} + frames) /
          reader->framesPerBlock +
      1;
  const DWORD passBlocks = static_cast<DWORD>(std::min<ULONGLONG>(
      requestBlocks,
      std::max<DWORD>(1, std::min(kPieceBytes / blockBytes, kDecodedPieceBytes / blockPcmBytes))));
  std::unique_ptr<BYTE[]> src = AllocBytes(size_t{passBlocks} * blockBytes);
  std::unique_ptr<BYTE[]> dst = AllocBytes(size_t{passBlocks} * blockPcmBytes);
  if (!src || !dst) return 0;
  const ULONGLONG dataEnd = ULONGLONG{reader->dataStart} + reader->dataSize;
  DWORD delivered = 0;
  while (delivered < frames) {
    const DWORD block = reader->framePosition / reader->framesPerBlock;
    const DWORD skip = reader->framePosition % reader->framesPerBlock;
    const ULONGLONG srcPosition = reader->dataStart + ULONGLONG{block} * blockBytes;
    if (srcPosition >= dataEnd) break;
    const ULONGLONG blocksNeeded =
        (ULONGLONG{skip} + (frames - delivered) + reader->framesPerBlock - 1) /
        reader->framesPerBlock;
    const ULONGLONG want =
        std::min(std::min<ULONGLONG>(blocksNeeded, passBlocks) * blockBytes, dataEnd - srcPosition);
    if (!SeekTo(reader->file, srcPosition)) break;
    const DWORD got = ReadSome(reader->file, src.get(), static_cast<DWORD>(want));
    const DWORD wholeBytes = got / blockBytes * blockBytes;
    DWORD produced = 0;
    DWORD srcUsed = 0;
    if (wholeBytes != 0) {
      Convert(reader->codecStream, src.get(), wholeBytes, dst.get(), passBlocks * blockPcmBytes,
              ACM_STREAMCONVERTF_BLOCKALIGN, &srcUsed, &produced);
    }
    if (got > wholeBytes && srcUsed == wholeBytes && srcPosition + got == dataEnd) {
      DWORD tailUsed = 0;
      DWORD tailProduced = 0;
      Convert(reader->codecStream, src.get() + wholeBytes, got - wholeBytes, dst.get() + produced,
              passBlocks * blockPcmBytes - produced, ACM_STREAMCONVERTF_END, &tailUsed,
              &tailProduced);
      produced += tailProduced;
    }
    const DWORD producedFrames = produced / frameBytes;
    if (producedFrames <= skip) break;
    const DWORD take = std::min(producedFrames - skip, frames - delivered);
    CopyFrames(dst.get() + size_t{skip} * frameBytes, take, frameBytes,
               channel * reader->bytesPerSample, outFrameBytes,
               out + size_t{delivered} * outFrameBytes);
    delivered += take;
    reader->framePosition += take;
  }
  WaveReader_Seek(reader, reader->framePosition);
  return delivered * outFrameBytes;
}

LONG FloatToInt32(double x) {
  const double scaled = x * 2147483648.0;
  if (!(scaled == scaled)) return 0;  // NaN
  if (scaled >= 2147483647.0) return 2147483647;
  if (scaled <= -2147483648.0) return static_cast<LONG>(-2147483647 - 1);
  return static_cast<LONG>(std::nearbyint(scaled));
}

}  // namespace

int WaveReader_Open(LPCWSTR name, WaveReader* reader, bool forWriting) {
  if (reader == nullptr) return kImpulseNotAFile;
  std::memset(reader, 0, sizeof *reader);
  if (name == nullptr) return kImpulseNotAFile;
  NxFileHandle file = NxOpenFile(name, forWriting ? NxFileAccess::ReadWrite : NxFileAccess::Read,
                                 NxFileCreate::OpenExisting);
  return WaveReader_OpenFile(file, reader);
}

int WaveReader_OpenFile(NxFileHandle file, WaveReader* reader) {
  if (reader == nullptr) {
    NxCloseFile(file);
    return kImpulseNotAFile;
  }
  std::memset(reader, 0, sizeof *reader);
  if (file == nullptr) return kImpulseNotAFile;
  reader->file = file;
  const int result = OpenCore(reader);
  if (result != 0) WaveReader_Close(reader);
  return result;
}

void WaveReader_Close(WaveReader* reader) {
  if (reader == nullptr) return;
  if (reader->codecStream != nullptr) acmStreamClose(reader->codecStream, 0);
  NxCloseFile(reader->file);
  delete[] reader->format;
  std::memset(reader, 0, sizeof *reader);
}

bool WaveReader_Seek(WaveReader* reader, DWORD frame) {
  if (reader == nullptr || reader->file == nullptr || reader->bytesPerSample == 0) return false;
  const bool inside = frame <= reader->frames;
  reader->framePosition = std::min(frame, reader->frames);
  if (reader->codecStream != nullptr) {
    const ULONGLONG offset =
        ULONGLONG{reader->framePosition / reader->framesPerBlock} * reader->sourceBlockBytes;
    reader->readPosition =
        reader->dataStart + static_cast<DWORD>(std::min<ULONGLONG>(offset, reader->dataSize));
  } else {
    reader->readPosition = reader->dataStart + reader->framePosition * FrameBytes(reader);
  }
  return inside;
}

DWORD WaveReader_Read(WaveReader* reader, void* buffer, DWORD frames, DWORD channel,
                      bool allChannels) {
  if (reader == nullptr || buffer == nullptr || reader->file == nullptr ||
      reader->bytesPerSample == 0 || reader->framePosition >= reader->frames) {
    return 0;
  }
  const bool whole = allChannels || reader->channels == 1;
  if (!whole && channel >= reader->channels) return 0;
  if (whole) channel = 0;
  frames = std::min(frames, reader->frames - reader->framePosition);
  BYTE* out = static_cast<BYTE*>(buffer);
  return reader->codecStream != nullptr ? ReadCompressed(reader, out, frames, channel, whole)
                                        : ReadUncompressed(reader, out, frames, channel, whole);
}

double FloatSampleOnIntGrid(double x) {
  constexpr double kLimit = 1267650600228229401496703205376.0;  // 2^100
  if (!(x == x)) return 0;
  const double scaled = x * 2147483648.0;
  if (scaled >= kLimit) return kLimit;
  if (scaled <= -kLimit) return -kLimit;
  return std::nearbyint(scaled);
}

double WaveReader_GetSampleUnclamped(const WaveReader* reader, const void* buffer, DWORD frame,
                                     DWORD channel) {
  if (reader == nullptr || buffer == nullptr || channel >= reader->channels) return 0;
  const bool isFloat = reader->sampleKind == WaveSampleKind::Float || reader->format == nullptr;
  if (!isFloat || (reader->bytesPerSample != 4 && reader->bytesPerSample != 8)) {
    return WaveReader_GetSample(reader, buffer, frame, channel);
  }
  const BYTE* p = static_cast<const BYTE*>(buffer) +
                  (size_t{frame} * reader->channels + channel) * reader->bytesPerSample;
  if (reader->bytesPerSample == 4) {
    const DWORD bits = NxGetLe32(p);
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return FloatSampleOnIntGrid(value);
  }
  const ULONGLONG bits = ULONGLONG{NxGetLe32(p)} | (ULONGLONG{NxGetLe32(p + 4)} << 32);
  double value;
  std::memcpy(&value, &bits, sizeof value);
  return FloatSampleOnIntGrid(value);
}

LONG WaveReader_GetSample(const WaveReader* reader, const void* buffer, DWORD frame,
                          DWORD channel) {
  if (reader == nullptr || buffer == nullptr || channel >= reader->channels) return 0;
  const BYTE* p = static_cast<const BYTE*>(buffer) +
                  (size_t{frame} * reader->channels + channel) * reader->bytesPerSample;
  const bool isFloat = reader->sampleKind == WaveSampleKind::Float || reader->format == nullptr;
  switch (reader->bytesPerSample) {
    case 1:
      return p[0];
    case 2:
      return static_cast<int16_t>(NxGetLe16(p));
    case 3:
      // Placed in the top three bytes so that the arithmetic shift carries the sign.
      return static_cast<LONG>((static_cast<DWORD>(p[0]) << 8) | (static_cast<DWORD>(p[1]) << 16) |
                               (static_cast<DWORD>(p[2]) << 24)) >>
             8;
    case 4: {
      const DWORD bits = NxGetLe32(p);
      if (!isFloat) return static_cast<LONG>(bits);
      float value;
      std::memcpy(&value, &bits, sizeof value);
      return FloatToInt32(value);
    }
    case 8: {
      if (!isFloat) return 0;
      const ULONGLONG bits = ULONGLONG{NxGetLe32(p)} | (ULONGLONG{NxGetLe32(p + 4)} << 32);
      double value;
      std::memcpy(&value, &bits, sizeof value);
      return FloatToInt32(value);
    }
    default:
      return 0;
  }
}
