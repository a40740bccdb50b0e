// The impulse file (*.irx): reading and writing the format on open files.
//
// Layout, little-endian throughout: "RIFF", size, form type "IRXP"; then the "fmt " chunk, whose
// data is the 36-byte ImpulseInfo (impulse/impulse_info.h), a 32-bit name length L and the
// payload: for L = 0 the embedded samples (info.dataBytes bytes, scrambled in blocks of 8192,
// impulse/irx_scramble.h), otherwise the L bytes of a referenced wave file's path as ANSI text
// ending in a zero byte. The chunk size counts header, name length and payload; one zero pad byte
// follows an odd payload. An optional "LIST" "INFO" summary and "DISP" display chunks follow.
//
// Embedded sample encodings (bytesPerSample), all loaded on the 16-bit full scale (±32768):
//   2: signed 16-bit, loaded as is
//   3: signed 24-bit, low byte first, loaded / 256
//   4: IEEE single float of full scale ±1.0, loaded as x * 2^31 clamped to the signed 32-bit
//      range and rounded to nearest (ties to even), then / 65536
// Samples are interleaved by frame, channel 0 first. Frames that straddle a block boundary
// (24-bit data, three or more channels) are carried across blocks.
//
// Every size in a file is distrusted: no function reads past the "fmt " chunk or the file, and
// none allocates more than one block, a path, or what the file holds. Results are 0 or a count,
// or the codes of impulse/impulse_info.h. The functions here neither open nor close files.
#pragma once

#include "impulse/impulse_info.h"
#include "impulse/riff.h"
#include "impulse/wave_reader.h"

constexpr DWORD kImpulseFormType = NxFourCC('I', 'R', 'X', 'P');
constexpr DWORD kWaveFormType = NxFourCC('W', 'A', 'V', 'E');
constexpr DWORD kFormatChunkId = NxFourCC('f', 'm', 't', ' ');
// File names, terminator included.
constexpr DWORD kImpulseNameUnits = 260;

// What the header of an impulse file tells, read with irx_ReadLayout.
struct IrxLayout {
  ImpulseInfo info;
  DWORD nameLength;     // L: 0 for embedded samples
  DWORD payloadOffset;  // absolute position of the payload
  DWORD payloadBytes;   // payload bytes that both the "fmt " chunk and the file hold
};

// Reads an impulse file from its start up to its payload and leaves the position there.
// kImpulseNotAFile: not "RIFF" / "IRXP", no "fmt " chunk within the RIFF size, fewer than 36
// header bytes, a version other than 100, a headerSize below 36 or beyond the chunk, no channels,
// or (embedded) a bytesPerSample other than 2, 3 or 4, (reference) one of 0.
// kImpulseReadFailed: the name length cannot be read, or the name or the embedded data
// (dataBytes) runs past the chunk or the file.
int irx_ReadLayout(NxFileHandle file, IrxLayout* layout);

// Reads the form type of a RIFF file from its start: true for "IRXP" (isWave false) and "WAVE"
// (isWave true). `isWave` is optional.
bool irx_ReadFormType(NxFileHandle file, bool* isWave);

// With the position at the payload of a reference file: reads at most L bytes of the name, up to
// its first zero byte, converts them from the ANSI code page and copies them into `text`
// (`capacity` units, cut to kImpulseNameUnits - 1 and to capacity - 1, always terminated).
// Returns the units written, or kImpulseReadFailed.
int irx_ReadReferenceName(NxFileHandle file, const IrxLayout& layout, WCHAR* text,
                          DWORD capacity);

// Reads embedded samples from the current position (the payload): frames of `channels`
// samples of `bytesPerSample` bytes, `dataBytes` bytes in all. Channel `channel` (a channel past
// the last means the last) goes to `main`, every other channel to `second` when given (with
// three or more channels the last of them stays); a mono file leaves `second` untouched. At most
// `maxFrames` frames and only whole frames are delivered. Returns the frames delivered;
// kImpulseNotAFile for no channels, an unknown width or no main buffer; kImpulseReadFailed for a
// short read (the frames before it are written); kImpulseNoMemory.
int ReadEmbeddedSamples(NxFileHandle file, float* main, float* second, DWORD maxFrames,
                        DWORD channel, DWORD bytesPerSample, DWORD channels, DWORD dataBytes);

// Reads up to `capacity` bytes of the unscrambled sample data of an embedded impulse file of
// version 100 from its start. Every block is read and unscrambled whole, so a capacity that ends
// inside a block still delivers that block's true bytes. Returns the bytes delivered (those of
// the blocks before a read that fails); 0 for a reference file or anything that is not a
// readable impulse file.
DWORD irx_ReadRawData(NxFileHandle file, BYTE* buffer, DWORD capacity);

// Writes a whole embedded impulse file from the wave file open in `reader` onto `destination`
// (open for reading and writing, positioned at its start, empty), then the source's summary
// (CopyFileSummary). Stored encodings: 16-bit PCM and compressed sources (decoded) as 16-bit;
// 8-bit as 16-bit (b - 128) * 256; 24-bit as is; 32-bit float as is; 32-bit integer as float
// x / 2^31, which keeps every bit that the float loading path keeps and so loads exactly what the
// wave loader delivers from the source; 64-bit float as 32-bit float. The header describes what
// is stored. A source that delivers fewer frames than it announced is stored as delivered.
// Returns 0, kImpulseNotAFile (a source that cannot be delivered), kImpulseReadFailed (nothing
// could be read, or the source's summary could not), kImpulseWriteFailed, kImpulseNoMemory.
int irx_WriteEmbedded(NxFileHandle destination, WaveReader* reader);

// Appends the source's INFO list and display items to the impulse file `destination`. Searches
// the source's top-level chunks from its current position to the end of its RIFF size for the
// "LIST" "INFO"; none: nothing is written and the result is 0 (so an INFO list before the
// source's current position is not copied). Otherwise the summary is written at the
// destination's end, then the display items: the source's bitmap item and, as text item, the
// summary's "DISP" item (ANSI with its zero byte) when it has text. Each addition grows the
// destination's RIFF size. Returns a toolkit status; a failure may leave a partly written tail.
NXSTATUS CopyFileSummary(NxFileHandle destination, NxFileHandle source);
