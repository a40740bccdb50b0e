// Mu-law and A-law (G.711) expansion of 8-bit codes to signed 16-bit PCM written little-endian
// (two bytes per sample, any alignment). Mu-law codes expand to -32124..32124 and A-law codes to
// -32256..32256; the tables are the segment formulas of the standard evaluated for all 256 codes.
#pragma once

#include <cstddef>
#include <cstdint>

int16_t MuLawToLinear(uint8_t code);
int16_t ALawToLinear(uint8_t code);

// Expands `count` codes from `in` into `out` (2 * count bytes).
void DecodeMuLaw(const uint8_t* in, size_t count, uint8_t* out);
void DecodeALaw(const uint8_t* in, size_t count, uint8_t* out);
