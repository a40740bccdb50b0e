// Audio compression manager: decoding streams from the compressed wave formats people meet to
// 16-bit PCM, behind the calls a wave reader makes (suggest a PCM format, open a stream, size a
// conversion, convert prepared buffers, close).
//
// Formats decoded, each to signed 16-bit little-endian PCM with the source's channel count and
// sampling rate:
//   WAVE_FORMAT_MULAW (7) and WAVE_FORMAT_ALAW (6): 8 bits per sample, 1 to kAcmMaxLawChannels
//     channels, one source byte per sample (a source block is one frame of `nChannels` bytes);
//   WAVE_FORMAT_IMA_ADPCM (0x11): 4 bits, 1 or 2 channels, cbSize >= 2 holding wSamplesPerBlock;
//   WAVE_FORMAT_ADPCM (2, Microsoft ADPCM): 4 bits, 1 or 2 channels, cbSize >= 4 + 4 * wNumCoef
//     holding wSamplesPerBlock, wNumCoef (7 or more) and the coefficient pairs.
// The destination is always PCM with 16 bits per sample, the source's channels and rate.
//
// Format records are read byte by byte, little-endian. A source record must be readable for
// 18 + cbSize bytes (the caller passes the whole "fmt " chunk and makes sure that its size covers
// cbSize); a destination record is read for its first 16 bytes only.
//
// Conversion works on whole source blocks (one ADPCM block or one frame of law samples) and never
// writes past cbDstLength. With ACM_STREAMCONVERTF_BLOCKALIGN only whole blocks are converted.
// Without it and with ACM_STREAMCONVERTF_END, a trailing partial ADPCM block (fewer bytes than
// nBlockAlign, the end of a truncated file) is decoded as far as its bytes hold samples: IMA
// 8 * floor((bytes - 4 * channels) / (4 * channels)) + 1 frames, Microsoft ADPCM
// 2 * (bytes - 7 * channels) / channels + 2 frames, nothing below one block header.
// Corrupt blocks decode without failing: an IMA step index above 88 counts as 88, a Microsoft
// ADPCM predictor index at or above wNumCoef counts as 0.
//
// Handles are opaque; a handle that is not an open stream gives MMSYSERR_INVALHANDLE. One stream
// may be used by one thread at a time; different streams are independent.
#pragma once

#include "platform/types.h"
#include "platform/wave_format.h"

#if defined(_WIN32)
#include <mmsystem.h>
#include <msacm.h>  // msacm32's audio compression manager
#else
typedef UINT MMRESULT;
typedef ULONG_PTR DWORD_PTR;
typedef BYTE* LPBYTE;
typedef DWORD* LPDWORD;

struct HACMDRIVER__ {
  int unused;
};
typedef HACMDRIVER__* HACMDRIVER;
struct HACMSTREAM__ {
  int unused;
};
typedef HACMSTREAM__* HACMSTREAM;
typedef HACMSTREAM* LPHACMSTREAM;

constexpr MMRESULT MMSYSERR_NOERROR = 0;
constexpr MMRESULT MMSYSERR_ERROR = 1;
constexpr MMRESULT MMSYSERR_INVALHANDLE = 5;
constexpr MMRESULT MMSYSERR_NOMEM = 7;
constexpr MMRESULT MMSYSERR_NOTSUPPORTED = 8;
constexpr MMRESULT MMSYSERR_INVALFLAG = 10;
constexpr MMRESULT MMSYSERR_INVALPARAM = 11;
constexpr MMRESULT ACMERR_BASE = 512;
constexpr MMRESULT ACMERR_NOTPOSSIBLE = ACMERR_BASE + 0;
constexpr MMRESULT ACMERR_BUSY = ACMERR_BASE + 1;
constexpr MMRESULT ACMERR_UNPREPARED = ACMERR_BASE + 2;
constexpr MMRESULT ACMERR_CANCELED = ACMERR_BASE + 3;

constexpr DWORD ACM_FORMATSUGGESTF_WFORMATTAG = 0x00010000;
constexpr DWORD ACM_FORMATSUGGESTF_NCHANNELS = 0x00020000;
constexpr DWORD ACM_FORMATSUGGESTF_NSAMPLESPERSEC = 0x00040000;
constexpr DWORD ACM_FORMATSUGGESTF_WBITSPERSAMPLE = 0x00080000;
constexpr DWORD ACM_FORMATSUGGESTF_TYPEMASK = 0x00FF0000;

constexpr DWORD ACM_STREAMOPENF_QUERY = 0x00000001;
constexpr DWORD ACM_STREAMOPENF_ASYNC = 0x00000002;
constexpr DWORD ACM_STREAMOPENF_NONREALTIME = 0x00000004;

constexpr DWORD ACM_STREAMSIZEF_SOURCE = 0x00000000;
constexpr DWORD ACM_STREAMSIZEF_DESTINATION = 0x00000001;
constexpr DWORD ACM_STREAMSIZEF_QUERYMASK = 0x0000000F;

constexpr DWORD ACM_STREAMCONVERTF_BLOCKALIGN = 0x00000004;
constexpr DWORD ACM_STREAMCONVERTF_START = 0x00000010;
constexpr DWORD ACM_STREAMCONVERTF_END = 0x00000020;

constexpr DWORD ACMSTREAMHEADER_STATUSF_DONE = 0x00010000;
constexpr DWORD ACMSTREAMHEADER_STATUSF_PREPARED = 0x00020000;
constexpr DWORD ACMSTREAMHEADER_STATUSF_INQUEUE = 0x00100000;

#endif  // _WIN32

// Most channels accepted for mu-law and A-law; their samples are independent of each other, so
// the count only has to be plausible.
constexpr WORD kAcmMaxLawChannels = 8;

#if !defined(_WIN32)
#pragma pack(push, 1)
struct WAVEFILTER {
  DWORD cbStruct;
  DWORD dwFilterTag;
  DWORD fdwFilter;
  DWORD dwReserved[5];
};
typedef WAVEFILTER* LPWAVEFILTER;

#if defined(_WIN64) || UINTPTR_MAX > 0xFFFFFFFFu
constexpr size_t kAcmDriverReservedWords = 15;
#else
constexpr size_t kAcmDriverReservedWords = 10;
#endif

struct ACMSTREAMHEADER {
  DWORD cbStruct;  // sizeof(ACMSTREAMHEADER)
  DWORD fdwStatus;
  DWORD_PTR dwUser;
  LPBYTE pbSrc;
  DWORD cbSrcLength;
  DWORD cbSrcLengthUsed;
  DWORD_PTR dwSrcUser;
  LPBYTE pbDst;
  DWORD cbDstLength;
  DWORD cbDstLengthUsed;
  DWORD_PTR dwDstUser;
  DWORD dwReservedDriver[kAcmDriverReservedWords];
};
#pragma pack(pop)
typedef ACMSTREAMHEADER* LPACMSTREAMHEADER;

static_assert(offsetof(ACMSTREAMHEADER, dwUser) == 8 &&
                  offsetof(ACMSTREAMHEADER, pbSrc) == 8 + sizeof(DWORD_PTR) &&
                  offsetof(ACMSTREAMHEADER, cbSrcLength) == 8 + 2 * sizeof(DWORD_PTR) &&
                  offsetof(ACMSTREAMHEADER, dwSrcUser) == 16 + 2 * sizeof(DWORD_PTR) &&
                  offsetof(ACMSTREAMHEADER, pbDst) == 16 + 3 * sizeof(DWORD_PTR) &&
                  offsetof(ACMSTREAMHEADER, cbDstLength) == 16 + 4 * sizeof(DWORD_PTR) &&
                  offsetof(ACMSTREAMHEADER, dwDstUser) == 24 + 4 * sizeof(DWORD_PTR) &&
                  sizeof(ACMSTREAMHEADER) ==
                      24 + 5 * sizeof(DWORD_PTR) + 4 * kAcmDriverReservedWords,
              "ACMSTREAMHEADER layout");

// Fills `pwfxDst` (cbwfxDst bytes available, at least 16; cbSize is written when 18 fit) with
// the PCM format this layer decodes `pwfxSrc` to. Fields named by the ACM_FORMATSUGGESTF_ flags
// are taken from `pwfxDst` as constraints and must be met exactly (PCM, the source's channels and
// rate, 16 bits), else ACMERR_NOTPOSSIBLE. `had` must be null (there are no drivers to choose).
MMRESULT acmFormatSuggest(HACMDRIVER had, LPWAVEFORMATEX pwfxSrc, LPWAVEFORMATEX pwfxDst,
                          DWORD cbwfxDst, DWORD fdwSuggest);

// Opens a decoding stream. With ACM_STREAMOPENF_QUERY only checks whether the conversion is
// possible (`phas` may then be null). Filters and asynchronous streams are not supported
// (ACMERR_NOTPOSSIBLE); every stream is non-real-time.
MMRESULT acmStreamOpen(LPHACMSTREAM phas, HACMDRIVER had, LPWAVEFORMATEX pwfxSrc,
                       LPWAVEFORMATEX pwfxDst, LPWAVEFILTER pwfltr, DWORD_PTR dwCallback,
                       DWORD_PTR dwInstance, DWORD fdwOpen);

MMRESULT acmStreamClose(HACMSTREAM has, DWORD fdwClose);

// ACM_STREAMSIZEF_SOURCE: PCM bytes that `cbInput` source bytes decode to in whole blocks.
// ACM_STREAMSIZEF_DESTINATION: source bytes, in whole blocks, needed to produce `cbInput` PCM
// bytes. An input of 0 gives 0; a non-zero input that gives 0 (less than one source block) or a
// result beyond 32 bits gives ACMERR_NOTPOSSIBLE.
MMRESULT acmStreamSize(HACMSTREAM has, DWORD cbInput, LPDWORD pdwOutputBytes, DWORD fdwSize);

// Marks a header prepared and remembers its buffers. Conversions may use source and destination
// lengths up to the prepared ones; unpreparing needs the prepared lengths back in the header.
MMRESULT acmStreamPrepareHeader(HACMSTREAM has, LPACMSTREAMHEADER pash, DWORD fdwPrepare);
MMRESULT acmStreamUnprepareHeader(HACMSTREAM has, LPACMSTREAMHEADER pash, DWORD fdwUnprepare);

// Converts synchronously and sets cbSrcLengthUsed, cbDstLengthUsed and the DONE status. Whole
// blocks are converted while both buffers have room for them; what is left over stays unused
// (so a destination too small for one block's output succeeds with both lengths used 0), except
// a trailing partial block under END without BLOCKALIGN (see the top of this header), whose
// bytes are all used once its frames fit the destination.
MMRESULT acmStreamConvert(HACMSTREAM has, LPACMSTREAMHEADER pash, DWORD fdwConvert);
#endif  // !_WIN32
