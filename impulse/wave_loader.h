// Loading a wave file as impulse samples, and its description.
//
// Loaded samples are floats on the 16-bit full scale (±32768) whatever the stored width:
// 8-bit (b - 128) * 256, 16-bit as is, 24-bit / 256, 32-bit integer / 65536, float (32 or 64-bit)
// as x * 2^31 clamped and rounded to an integer, then / 65536. Compressed files load their
// decoded 16-bit PCM.
#pragma once

#include "impulse/impulse_info.h"
#include "impulse/wave_reader.h"
#include "platform/file.h"

// Loads up to `maxFrames` frames: channel `channel` into `main` (a channel past the file's last
// loads the last one) and, when `second` is given and the file has two or more channels, channel 1
// into `second`; a mono file leaves `second` untouched. Both buffers hold `maxFrames` floats.
// Returns the frames loaded, or kImpulseNotAFile (-1: cannot open, not a wave file, or a wave file
// that cannot be delivered), kImpulseReadFailed (-12: no frame could be read), kImpulseNoMemory.
// maxFrames 0 returns 0 for a loadable file.
int LoadWaveImpulse(LPCWSTR name, float* main, float* second, DWORD maxFrames, DWORD channel);

// The same on an open file, whose ownership passes to the loader (closed before it returns).
int LoadWaveImpulseFile(NxFileHandle file, float* main, float* second, DWORD maxFrames,
                        DWORD channel);

// Describes a wave file: `info` is zeroed, then gets headerSize 0, version 100 and the delivered
// channels, bytesPerSample (2 for a compressed file), dataBytes and sampleRate. True only when
// dataBytes, bytesPerSample, channels and sampleRate are all non-zero.
bool GetWaveImpulseInfo(LPCWSTR name, ImpulseInfo* info);

// The same on an open file, whose ownership passes to the call.
bool GetWaveImpulseInfoFile(NxFileHandle file, ImpulseInfo* info);
