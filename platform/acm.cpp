#include "platform/acm.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <new>

#include "platform/acm_format.h"
#include "platform/byte_order.h"

namespace {

constexpr size_t kPcmRecordBytes = 16;

struct AcmStream {
  AcmSourceFormat format;
  AcmStream* next;
};

// Open streams, so that a stale or made-up handle is recognised without being dereferenced.
std::mutex g_streamsLock;
AcmStream* g_streams = nullptr;

AcmStream* FindStream(HACMSTREAM has) {
  if (has == nullptr) return nullptr;
  std::lock_guard<std::mutex> lock(g_streamsLock);
  for (AcmStream* s = g_streams; s != nullptr; s = s->next) {
    if (reinterpret_cast<HACMSTREAM>(s) == has) return s;
  }
  return nullptr;
}

void AddStream(AcmStream* stream) {
  std::lock_guard<std::mutex> lock(g_streamsLock);
  stream->next = g_streams;
  g_streams = stream;
}

bool RemoveStream(HACMSTREAM has) {
  std::lock_guard<std::mutex> lock(g_streamsLock);
  for (AcmStream** link = &g_streams; *link != nullptr; link = &(*link)->next) {
    if (reinterpret_cast<HACMSTREAM>(*link) == has) {
      AcmStream* stream = *link;
      *link = stream->next;
      delete stream;
      return true;
    }
  }
  return false;
}

const BYTE* Bytes(const WAVEFORMATEX* format) { return reinterpret_cast<const BYTE*>(format); }

// What a prepared header looked like when it was prepared, kept in its driver words.
struct PreparedBuffers {
  LPBYTE src;
  LPBYTE dst;
  DWORD srcLength;
  DWORD dstLength;
};
constexpr DWORD kPreparedTag = 0x41434D50;
static_assert(sizeof(PreparedBuffers) + sizeof(DWORD) <= sizeof(ACMSTREAMHEADER::dwReservedDriver),
              "prepared buffers fit the driver words");

void StorePrepared(ACMSTREAMHEADER* header) {
  const PreparedBuffers prepared{header->pbSrc, header->pbDst, header->cbSrcLength,
                                 header->cbDstLength};
  header->dwReservedDriver[0] = kPreparedTag;
  std::memcpy(&header->dwReservedDriver[1], &prepared, sizeof(prepared));
}

bool LoadPrepared(const ACMSTREAMHEADER* header, PreparedBuffers* prepared) {
  if (!(header->fdwStatus & ACMSTREAMHEADER_STATUSF_PREPARED) ||
      header->dwReservedDriver[0] != kPreparedTag) {
    return false;
  }
  std::memcpy(prepared, &header->dwReservedDriver[1], sizeof(*prepared));
  return true;
}

MMRESULT SuggestConstraints(const AcmSourceFormat& source, const BYTE* dst, DWORD flags) {
  const WORD tag = NxGetLe16(dst);
  const WORD channels = NxGetLe16(dst + 2);
  const DWORD rate = NxGetLe32(dst + 4);
  const WORD bits = NxGetLe16(dst + 14);
  if ((flags & ACM_FORMATSUGGESTF_WFORMATTAG) && tag != WAVE_FORMAT_PCM) return ACMERR_NOTPOSSIBLE;
  if ((flags & ACM_FORMATSUGGESTF_NCHANNELS) && channels != source.channels) {
    return ACMERR_NOTPOSSIBLE;
  }
  if ((flags & ACM_FORMATSUGGESTF_NSAMPLESPERSEC) && rate != source.samplesPerSec) {
    return ACMERR_NOTPOSSIBLE;
  }
  if ((flags & ACM_FORMATSUGGESTF_WBITSPERSAMPLE) && bits != 16) return ACMERR_NOTPOSSIBLE;
  return MMSYSERR_NOERROR;
}

}  // namespace

MMRESULT acmFormatSuggest(HACMDRIVER had, LPWAVEFORMATEX pwfxSrc, LPWAVEFORMATEX pwfxDst,
                          DWORD cbwfxDst, DWORD fdwSuggest) {
  constexpr DWORD kKnown = ACM_FORMATSUGGESTF_WFORMATTAG | ACM_FORMATSUGGESTF_NCHANNELS |
                           ACM_FORMATSUGGESTF_NSAMPLESPERSEC | ACM_FORMATSUGGESTF_WBITSPERSAMPLE;
  if (had != nullptr) return MMSYSERR_INVALHANDLE;
  if (fdwSuggest & ~kKnown) return MMSYSERR_INVALFLAG;
  if (pwfxSrc == nullptr || pwfxDst == nullptr || cbwfxDst < kPcmRecordBytes) {
    return MMSYSERR_INVALPARAM;
  }
  AcmSourceFormat source;
  if (!ReadAcmSourceFormat(Bytes(pwfxSrc), &source)) return ACMERR_NOTPOSSIBLE;
  BYTE* dst = reinterpret_cast<BYTE*>(pwfxDst);
  const MMRESULT fits = SuggestConstraints(source, dst, fdwSuggest);
  if (fits != MMSYSERR_NOERROR) return fits;
  WriteAcmPcmFormat(source, dst, cbwfxDst);
  return MMSYSERR_NOERROR;
}

MMRESULT acmStreamOpen(LPHACMSTREAM phas, HACMDRIVER had, LPWAVEFORMATEX pwfxSrc,
                       LPWAVEFORMATEX pwfxDst, LPWAVEFILTER pwfltr, DWORD_PTR dwCallback,
                       DWORD_PTR dwInstance, DWORD fdwOpen) {
  (void)dwCallback;  // only asynchronous streams call back
  (void)dwInstance;
  if (phas != nullptr) *phas = nullptr;
  if (had != nullptr) return MMSYSERR_INVALHANDLE;
  if (fdwOpen & ACM_STREAMOPENF_ASYNC) return ACMERR_NOTPOSSIBLE;
  if (fdwOpen & ~(ACM_STREAMOPENF_QUERY | ACM_STREAMOPENF_NONREALTIME)) return MMSYSERR_INVALFLAG;
  const bool query = (fdwOpen & ACM_STREAMOPENF_QUERY) != 0;
  if (pwfxSrc == nullptr || pwfxDst == nullptr || (phas == nullptr && !query)) {
    return MMSYSERR_INVALPARAM;
  }
  if (pwfltr != nullptr) return ACMERR_NOTPOSSIBLE;

  AcmSourceFormat source;
  if (!ReadAcmSourceFormat(Bytes(pwfxSrc), &source) || !IsAcmPcmTarget(Bytes(pwfxDst), source)) {
    return ACMERR_NOTPOSSIBLE;
  }
  if (query) return MMSYSERR_NOERROR;
  AcmStream* stream = new (std::nothrow) AcmStream{source, nullptr};
  if (stream == nullptr) return MMSYSERR_NOMEM;
  AddStream(stream);
  *phas = reinterpret_cast<HACMSTREAM>(stream);
  return MMSYSERR_NOERROR;
}

MMRESULT acmStreamClose(HACMSTREAM has, DWORD fdwClose) {
  if (fdwClose != 0) return FindStream(has) ? MMSYSERR_INVALFLAG : MMSYSERR_INVALHANDLE;
  return RemoveStream(has) ? MMSYSERR_NOERROR : MMSYSERR_INVALHANDLE;
}

MMRESULT acmStreamSize(HACMSTREAM has, DWORD cbInput, LPDWORD pdwOutputBytes, DWORD fdwSize) {
  const AcmStream* stream = FindStream(has);
  if (stream == nullptr) return MMSYSERR_INVALHANDLE;
  if (fdwSize & ~ACM_STREAMSIZEF_QUERYMASK) return MMSYSERR_INVALFLAG;
  const DWORD query = fdwSize & ACM_STREAMSIZEF_QUERYMASK;
  if (query != ACM_STREAMSIZEF_SOURCE && query != ACM_STREAMSIZEF_DESTINATION) {
    return MMSYSERR_INVALFLAG;
  }
  if (pdwOutputBytes == nullptr) return MMSYSERR_INVALPARAM;
  *pdwOutputBytes = 0;
  if (cbInput == 0) return MMSYSERR_NOERROR;

  const AcmSourceFormat& f = stream->format;
  uint64_t output;
  if (query == ACM_STREAMSIZEF_SOURCE) {
    output = uint64_t{cbInput / f.blockAlign} * f.PcmBlockBytes();
  } else {
    const uint64_t pcmFrameBytes = 2u * f.channels;
    const uint64_t frames = (cbInput + pcmFrameBytes - 1) / pcmFrameBytes;
    output = (frames + f.framesPerBlock - 1) / f.framesPerBlock * f.blockAlign;
  }
  if (output == 0 || output > UINT32_MAX) return ACMERR_NOTPOSSIBLE;
  *pdwOutputBytes = static_cast<DWORD>(output);
  return MMSYSERR_NOERROR;
}

MMRESULT acmStreamPrepareHeader(HACMSTREAM has, LPACMSTREAMHEADER pash, DWORD fdwPrepare) {
  if (FindStream(has) == nullptr) return MMSYSERR_INVALHANDLE;
  if (fdwPrepare != 0) return MMSYSERR_INVALFLAG;
  if (pash == nullptr || pash->cbStruct < sizeof(ACMSTREAMHEADER) ||
      (pash->pbSrc == nullptr && pash->cbSrcLength != 0) ||
      (pash->pbDst == nullptr && pash->cbDstLength != 0)) {
    return MMSYSERR_INVALPARAM;
  }
  StorePrepared(pash);
  pash->fdwStatus =
      (pash->fdwStatus & ~ACMSTREAMHEADER_STATUSF_DONE) | ACMSTREAMHEADER_STATUSF_PREPARED;
  return MMSYSERR_NOERROR;
}

MMRESULT acmStreamUnprepareHeader(HACMSTREAM has, LPACMSTREAMHEADER pash, DWORD fdwUnprepare) {
  if (FindStream(has) == nullptr) return MMSYSERR_INVALHANDLE;
  if (fdwUnprepare != 0) return MMSYSERR_INVALFLAG;
  if (pash == nullptr || pash->cbStruct < sizeof(ACMSTREAMHEADER)) return MMSYSERR_INVALPARAM;
  PreparedBuffers prepared;
  if (!LoadPrepared(pash, &prepared)) return ACMERR_UNPREPARED;
  if (pash->pbSrc != prepared.src || pash->pbDst != prepared.dst ||
      pash->cbSrcLength != prepared.srcLength || pash->cbDstLength != prepared.dstLength) {
    return MMSYSERR_INVALPARAM;
  }
  pash->fdwStatus &= ~ACMSTREAMHEADER_STATUSF_PREPARED;
  pash->dwReservedDriver[0] = 0;
  return MMSYSERR_NOERROR;
}

MMRESULT acmStreamConvert(HACMSTREAM has, LPACMSTREAMHEADER pash, DWORD fdwConvert) {
  const AcmStream* stream = FindStream(has);
  if (stream == nullptr) return MMSYSERR_INVALHANDLE;
  if (fdwConvert &
      ~(ACM_STREAMCONVERTF_BLOCKALIGN | ACM_STREAMCONVERTF_START | ACM_STREAMCONVERTF_END)) {
    return MMSYSERR_INVALFLAG;
  }
  if (pash == nullptr || pash->cbStruct < sizeof(ACMSTREAMHEADER)) return MMSYSERR_INVALPARAM;
  PreparedBuffers prepared;
  if (!LoadPrepared(pash, &prepared)) return ACMERR_UNPREPARED;
  if (pash->pbSrc != prepared.src || pash->pbDst != prepared.dst ||
      pash->cbSrcLength > prepared.srcLength || pash->cbDstLength > prepared.dstLength) {
    return MMSYSERR_INVALPARAM;
  }

  // Blocks decode independently, so START needs no reset and END only matters for a trailing
  // partial block.
  const AcmSourceFormat& f = stream->format;
  pash->fdwStatus &= ~ACMSTREAMHEADER_STATUSF_DONE;
  const DWORD wholeBlocks = pash->cbSrcLength / f.blockAlign;
  const DWORD blocks = std::min(wholeBlocks, pash->cbDstLength / f.PcmBlockBytes());
  DecodeAcmBlocks(f, pash->pbSrc, blocks, pash->pbDst);
  DWORD srcUsed = blocks * f.blockAlign;
  DWORD dstUsed = blocks * f.PcmBlockBytes();

  const bool finalPartial = !(fdwConvert & ACM_STREAMCONVERTF_BLOCKALIGN) &&
                            (fdwConvert & ACM_STREAMCONVERTF_END) && blocks == wholeBlocks &&
                            srcUsed < pash->cbSrcLength;
  if (finalPartial) {
    const DWORD rest = pash->cbSrcLength - srcUsed;
    const DWORD pcmBytes = AcmPartialBlockPcmBytes(f, rest);
    if (pcmBytes <= pash->cbDstLength - dstUsed) {
      DecodeAcmPartialBlock(f, pash->pbSrc + srcUsed, rest, pash->pbDst + dstUsed);
      srcUsed += rest;
      dstUsed += pcmBytes;
    }
  }
  pash->cbSrcLengthUsed = srcUsed;
  pash->cbDstLengthUsed = dstUsed;
  pash->fdwStatus |= ACMSTREAMHEADER_STATUSF_DONE;
  return MMSYSERR_NOERROR;
}
