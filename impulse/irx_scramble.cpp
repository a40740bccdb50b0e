#include "impulse/irx_scramble.h"

namespace {

constexpr DWORD kKeyBytes = 40;
constexpr DWORD kGroupBytes = 32;
constexpr DWORD kSwapsPerGroup = 13;

// key[i] = 1 + (37 i^2 + 113 i + 71) mod 255 for i = 0..39: never zero, so no byte passes
// through unchanged.
constexpr BYTE kKey[kKeyBytes] = {
    0x48, 0xDE, 0xBF, 0xEA, 0x60, 0x20, 0x2A, 0x7E, 0x1D, 0x06, 0x39, 0xB6, 0x7E, 0x90,
    0xEC, 0x93, 0x84, 0xBF, 0x45, 0x15, 0x2F, 0x93, 0x42, 0x3B, 0x7E, 0x0C, 0xE3, 0x06,
    0x72, 0x29, 0x2A, 0x75, 0x0B, 0xEA, 0x15, 0x89, 0x48, 0x51, 0xA4, 0x42};

// Positions within a 32-byte group: front[k] = 1 + (7 k + 3) mod 30 and
// back[k] = 1 + (11 k + 17) mod 30 for k = 0..12. 7 and 11 are prime to 30, so the 13 entries
// of each table are distinct, all within 1..30.
constexpr BYTE kFrontPositions[kSwapsPerGroup] = {4, 11, 18, 25, 2, 9, 16, 23, 30, 7, 14, 21, 28};
constexpr BYTE kBackPositions[kSwapsPerGroup] = {18, 29, 10, 21, 2, 13, 24, 5, 16, 27, 8, 19, 30};

void XorWithKey(BYTE* bytes, DWORD count) {
  for (DWORD i = 0; i < count; ++i) bytes[i] ^= kKey[i % kKeyBytes];
}

// Front groups start at 32 g, back groups at n - 33 - 32 g, while the back group starts beyond
// the middle; front groups then end before the middle, so no byte takes part in two exchanges
// and the step is its own inverse.
void ExchangeGroups(BYTE* bytes, DWORD count) {
  if (count < kGroupBytes + 1) return;
  const LONGLONG half = count / 2;
  for (LONGLONG front = 0, back = static_cast<LONGLONG>(count) - (kGroupBytes + 1); back > half;
       front += kGroupBytes, back -= kGroupBytes) {
    for (DWORD k = 0; k < kSwapsPerGroup; ++k) {
      BYTE& a = bytes[front + kFrontPositions[k]];
      BYTE& b = bytes[back + kBackPositions[k]];
      const BYTE t = a;
      a = b;
      b = t;
    }
  }
}

}  // namespace

void ScrambleImpulseBlock(BYTE* bytes, DWORD count, int direction) {
  if (bytes == nullptr || count == 0) return;
  if (direction == kIrxScramble) {
    ExchangeGroups(bytes, count);
    XorWithKey(bytes, count);
  } else {
    XorWithKey(bytes, count);
    ExchangeGroups(bytes, count);
  }
}
