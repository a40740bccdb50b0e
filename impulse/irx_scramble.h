// Scrambling of the sample data embedded in impulse files.
//
// Embedded samples are stored in blocks of kIrxBlockBytes bytes counted from the start of the
// data (the last block shorter), each scrambled by itself: an XOR with a fixed 40-byte key that
// restarts at the first byte of every block, and, in blocks of 33 bytes or more, an exchange of
// 13 byte positions of each 32-byte group at the front with 13 of a group mirrored at the back.
// The key and both position tables are part of the file format: changing them makes every
// existing impulse file unreadable.
#pragma once

#include "platform/types.h"

constexpr DWORD kIrxBlockBytes = 8192;

constexpr int kIrxUnscramble = 0;  // reading: XOR first, then the exchange
constexpr int kIrxScramble = 1;    // writing: the exchange first, then XOR

// Scrambles (direction 1) or unscrambles (direction 0) `count` bytes in place. The two
// directions undo each other exactly for every count; a block must be unscrambled with the
// count it was scrambled with.
void ScrambleImpulseBlock(BYTE* bytes, DWORD count, int direction);
