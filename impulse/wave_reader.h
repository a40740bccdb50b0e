// WaveReader: one open wave file (RIFF form "WAVE"), read frame by frame.
//
// Delivered samples. Uncompressed files deliver their stored samples: PCM of 8 (unsigned), 16,
// 24 or 32 bits, IEEE float of 32 or 64 bits, and WAVE_FORMAT_EXTENSIBLE records whose SubFormat
// is PCM or IEEE float (read as that format). Compressed files (mu-law, A-law, IMA ADPCM,
// Microsoft ADPCM) are decoded through the audio compression manager and deliver signed 16-bit
// PCM. `bytesPerSample` is the width of one delivered sample; 0 marks a reader that opened a
// wave file it cannot deliver (unknown codec or width) and must not be read.
//
// Lengths. `frames` never reaches past the bytes the file holds: a data chunk that claims more
// than the file (a truncated file, or 0xFFFFFFFF from a streaming writer) counts what is there.
// A compressed file decodes every whole block and the frames a truncated last block still holds;
// its "fact" sample count shortens that only when it falls inside the last block, since writers
// disagree about it (some count whole blocks, one halves it for stereo IMA).
//
// Results: 0 or a byte count on success; kImpulseNotAFile (-1) for a file that cannot be opened
// or is not a wave file, kImpulseReadFailed (-12), kImpulseNoMemory (-18) (impulse/impulse_info.h).
#pragma once

#include "impulse/impulse_info.h"
#include "platform/acm.h"
#include "platform/file.h"
#include "platform/wave_format.h"

// How the delivered samples are stored.
enum class WaveSampleKind : BYTE {
  None,     // nothing can be delivered (bytesPerSample 0)
  Integer,  // 8-bit unsigned, 16/24/32-bit signed, little-endian
  Float,    // IEEE float of 4 or 8 bytes
};

struct WaveReader {
  DWORD channels;        // channels of the delivered samples
  DWORD sampleRate;      // frames per second
  DWORD bytesPerSample;  // bytes of one delivered sample; 0: cannot deliver
  DWORD frames;          // frames that can be delivered
  DWORD dataBytes;       // frames * bytesPerSample * channels
  NxFileHandle file;
  DWORD readPosition;  // absolute file position of the next source byte to read
  DWORD dataStart;     // absolute position of the "data" chunk's first byte
  DWORD dataSize;      // bytes of the "data" chunk, cut to what the file holds
  HACMSTREAM codecStream;
  BYTE* format;      // the "fmt " chunk as stored, zero-padded to at least 18 + cbSize bytes
  DWORD formatSize;  // bytes of `format` as stored in the file
  WaveSampleKind sampleKind;
  DWORD framePosition;     // next frame that WaveReader_Read delivers
  WAVEFORMATEX pcmFormat;  // decoded format of a compressed file
  DWORD sourceBlockBytes;  // compressed: bytes of one source block
  DWORD framesPerBlock;    // compressed: frames that one whole source block decodes to
};

// Opens `name` (for reading, or for reading and writing) and fills `reader`. On failure the
// reader is left closed and cleared.
int WaveReader_Open(LPCWSTR name, WaveReader* reader, bool forWriting);

// The same on a file that is already open; the reader takes ownership of `file` (it is closed on
// failure and by WaveReader_Close). Tests and fuzzers pass memory files.
int WaveReader_OpenFile(NxFileHandle file, WaveReader* reader);

// Closes the file and the codec stream and frees the format record; safe on a cleared reader and
// on one whose open failed, and more than once.
void WaveReader_Close(WaveReader* reader);

// Moves the next frame to read to `frame`. False (and the position at the end) when `frame` lies
// past `frames` or the reader cannot deliver.
bool WaveReader_Seek(WaveReader* reader, DWORD frame);

// Reads up to `frames` frames from the current frame on and advances past them. With
// `allChannels` (or a mono file) `buffer` receives whole interleaved frames, frames *
// bytesPerSample * channels bytes; otherwise the samples of `channel` alone, frames *
// bytesPerSample bytes. Returns the bytes written to `buffer`: fewer at the end of the data, 0
// for a reader that cannot deliver or a `channel` that does not exist.
DWORD WaveReader_Read(WaveReader* reader, void* buffer, DWORD frames, DWORD channel,
                      bool allChannels);

// The raw value of one sample of `buffer`, which holds whole interleaved frames as read with
// `allChannels`: 8-bit as the unsigned byte (0 to 255), 16 and 24-bit as the signed integer,
// 32-bit integer as is, float (4 or 8 bytes) as x * 2^31 clamped to the signed 32-bit range and
// rounded to nearest, ties to even. 0 for a channel that does not exist or an unknown width.
LONG WaveReader_GetSample(const WaveReader* reader, const void* buffer, DWORD frame, DWORD channel);

// A float sample on the same grid without the clamp: x * 2^31 rounded to nearest, ties to even.
// Float files legitimately hold samples past full scale, and impulses are normalised after
// loading, so clipping them would only corrupt. NaN gives 0; magnitudes are limited to 2^100 so
// that an infinity cannot poison the normalisation.
double FloatSampleOnIntGrid(double x);

// WaveReader_GetSample, with float samples unclamped (FloatSampleOnIntGrid).
double WaveReader_GetSampleUnclamped(const WaveReader* reader, const void* buffer, DWORD frame,
                                     DWORD channel);
