#include "platform/byte_order.h"
#include "platform/g711.h"

#include <array>

namespace {

// Codes are stored inverted; 4 mantissa bits, 3 segment bits, sign bit set for positive values.
constexpr int16_t ExpandMuLaw(uint8_t code) {
  const int bias = 0x84;
  const int inverted = static_cast<uint8_t>(~code);
  const int magnitude = ((((inverted & 0x0F) << 3) + bias) << ((inverted >> 4) & 7)) - bias;
  return static_cast<int16_t>((inverted & 0x80) ? -magnitude : magnitude);
}

// Codes are stored with every even bit inverted; segment 0 is linear, the others double per
// segment. The sign bit is set for positive values.
constexpr int16_t ExpandALaw(uint8_t code) {
  const int value = code ^ 0x55;
  const int segment = (value >> 4) & 7;
  int magnitude = (value & 0x0F) << 4;
  if (segment == 0) {
    magnitude += 8;
  } else {
    magnitude = (magnitude + 0x108) << (segment - 1);
  }
  return static_cast<int16_t>((value & 0x80) ? magnitude : -magnitude);
}

template <int16_t (*Expand)(uint8_t)>
constexpr std::array<int16_t, 256> MakeTable() {
  std::array<int16_t, 256> table{};
  for (int code = 0; code < 256; ++code) table[code] = Expand(static_cast<uint8_t>(code));
  return table;
}

constexpr std::array<int16_t, 256> kMuLaw = MakeTable<ExpandMuLaw>();
constexpr std::array<int16_t, 256> kALaw = MakeTable<ExpandALaw>();

static_assert(kMuLaw[0xFF] == 0 && kMuLaw[0x7F] == 0 && kMuLaw[0x00] == -32124 &&
                  kMuLaw[0x80] == 32124,
              "mu-law end points");
static_assert(kALaw[0xD5] == 8 && kALaw[0x55] == -8 && kALaw[0xAA] == 32256 &&
                  kALaw[0x2A] == -32256,
              "A-law end points");

void Expand(const std::array<int16_t, 256>& table, const uint8_t* in, size_t count, uint8_t* out) {
  for (size_t i = 0; i < count; ++i) {
    NxPutLeI16(out + 2 * i, table[in[i]]);
  }
}

}  // namespace

int16_t MuLawToLinear(uint8_t code) { return kMuLaw[code]; }
int16_t ALawToLinear(uint8_t code) { return kALaw[code]; }

void DecodeMuLaw(const uint8_t* in, size_t count, uint8_t* out) { Expand(kMuLaw, in, count, out); }
void DecodeALaw(const uint8_t* in, size_t count, uint8_t* out) { Expand(kALaw, in, count, out); }
