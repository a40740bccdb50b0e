// ImpulseInfo: the 36-byte description of an impulse or wave file, and the result codes of the
// impulse-file functions.
//
// The record is also the header stored in every impulse file (nine little-endian 32-bit words),
// so it is read and written field by field, never as a block of memory.
#pragma once

#include <cstddef>

#include "platform/types.h"

struct ImpulseInfo {
  DWORD headerSize;      // bytes of this header as stored; 36 when written
  DWORD version;         // 100
  DWORD channels;        // interleaved channels
  DWORD bytesPerSample;  // 2, 3 or 4 in an impulse file; a wave file's own width otherwise
  DWORD dataBytes;       // sample data of all channels, in bytes
  DWORD sampleRate;      // frames per second
  DWORD reserved[3];     // written as 0, never read
};
static_assert(sizeof(ImpulseInfo) == 36, "ImpulseInfo is nine 32-bit words");
static_assert(offsetof(ImpulseInfo, version) == 4 && offsetof(ImpulseInfo, channels) == 8 &&
                  offsetof(ImpulseInfo, bytesPerSample) == 12 &&
                  offsetof(ImpulseInfo, dataBytes) == 16 && offsetof(ImpulseInfo, sampleRate) == 20 &&
                  offsetof(ImpulseInfo, reserved) == 24,
              "ImpulseInfo field offsets");

constexpr DWORD kImpulseHeaderSize = 36;
constexpr DWORD kImpulseVersion = 100;

// Results of the impulse-file functions: 0 or a count on success, these on failure.
constexpr int kImpulseNotAFile = -1;      // not an impulse or wave file, or cannot be opened
constexpr int kImpulseReadFailed = -12;   // a read failed or came short
constexpr int kImpulseWriteFailed = -17;  // a write failed
constexpr int kImpulseNoMemory = -18;     // out of memory
