// Impulse loading: from a file name to impulse samples, for impulse files (embedded samples or a
// reference to a wave file, impulse/irx_file.h) and plain wave files (impulse/wave_loader.h).
//
// Loaded samples are floats on the 16-bit full scale (±32768). Results are 0 or a count, or the
// codes of impulse/impulse_info.h: kImpulseNotAFile (-1: cannot be opened, or not a readable
// impulse or wave file), kImpulseReadFailed (-12), kImpulseWriteFailed (-17), kImpulseNoMemory
// (-18). Every operation opens and closes its own files; the *File variants work on a file that
// is already open and take it over (it is closed before they return), so tests and fuzzers can
// hand them memory files.
#pragma once

#include "impulse/impulse_info.h"
#include "impulse/irx_file.h"
#include "platform/file.h"

// True when the file starts with "RIFF" and its form type is "IRXP" (isWave false) or "WAVE"
// (isWave true). `isWave` is optional.
bool IsImpulseFile(LPCWSTR name, bool* isWave);

// Describes an impulse or wave file. `info` is zeroed first. A wave file is described as it
// delivers (headerSize 0). An impulse file gives its stored header when irx_ReadLayout accepts
// it (version 100, a header within its chunk, embedded data within the file); a reference file
// describes the wave file as it was when the reference was written. True only when dataBytes,
// bytesPerSample, channels and sampleRate are all non-zero, so callers may divide by them.
bool GetImpulseInfo(LPCWSTR name, ImpulseInfo* info, bool* isWave);
bool GetImpulseInfoFile(NxFileHandle file, ImpulseInfo* info, bool* isWave);

// Loads up to `maxFrames` frames of channel `channel` (a channel past the last loads the last)
// into `main` and, when `second` is given, another channel into it: for a wave file channel 1;
// for an impulse file every other channel in turn, so the last of them stays. A mono file leaves
// `second` untouched. Both buffers hold `maxFrames` floats. A reference impulse file loads the
// wave file it names, whatever its extension. Returns the frames loaded or a code; after a
// failure the buffers may hold the frames before it.
int LoadImpulse(LPCWSTR name, float* main, float* second, DWORD maxFrames, DWORD channel);
int LoadImpulseFile(NxFileHandle file, float* main, float* second, DWORD maxFrames,
                    DWORD channel);

// The name of the file that holds the samples, into `text` (`capacity` units, always
// terminated): `name` itself for a wave file (returns its length) and for an embedded impulse
// file (returns 0), with `isSelf` true; the stored wave file name of a reference impulse file,
// cut to kImpulseNameUnits - 1 units, with `isSelf` false (returns its length).
// kImpulseNotAFile or kImpulseReadFailed when the file cannot be read. `isSelf` is optional.
int GetImpulseSourceName(LPCWSTR name, WCHAR* text, DWORD capacity, bool* isSelf);
int GetImpulseSourceNameFile(NxFileHandle file, LPCWSTR name, WCHAR* text, DWORD capacity,
                             bool* isSelf);

// Up to `capacity` bytes of the unscrambled sample data of an embedded impulse file
// (irx_ReadRawData); 0 for anything else.
DWORD ReadImpulseRawData(LPCWSTR name, BYTE* buffer, DWORD capacity);

// Turns a reference impulse file into an embedded one made from the wave file it names, with
// that wave file's summary. The new file is written beside `name` first and put in its place only
// when complete, so a failure leaves the reference file as it was. 0 for a wave file or an
// embedded impulse file (nothing changes); kImpulseNotAFile when `name` is neither, or the named
// file is not a wave file; otherwise the codes of CopyImpulseAsEmbedded.
int EmbedReferencedImpulse(LPCWSTR name);

// Writes the embedded impulse file `destination` from the wave file `source` (irx_WriteEmbedded);
// an impulse file `source` is copied byte for byte. The destination is replaced; a failure after
// it was created deletes it, and a source that cannot be delivered is refused before the
// destination is touched. kImpulseNotAFile: the source is neither an impulse nor a readable wave
// file, is the destination itself, or the destination cannot be created; kImpulseWriteFailed;
// kImpulseReadFailed; kImpulseNoMemory.
int CopyImpulseAsEmbedded(LPCWSTR source, LPCWSTR destination);
int SaveImpulseFile(LPCWSTR destination, LPCWSTR source);

// The attributes line of an impulse: "44,100 Hz, 2 Channels, 1.50 Seconds" (string
// IDS_IMPULSE_ATTRIBUTES) from a description that GetImpulseInfo accepted; the seconds are
// frames * 100 / sampleRate hundredths, cut, not rounded. Returns the units written; 0 and an
// empty text for a description with a zero field or a text that does not fit.
DWORD FormatImpulseInfoText(const ImpulseInfo& info, WCHAR* text, DWORD capacity);

// The attributes of the file that holds the samples of `name` (GetImpulseSourceName); an empty
// text when that file cannot be described.
DWORD GetImpulseInfoText(LPCWSTR name, WCHAR* text, DWORD capacity);
