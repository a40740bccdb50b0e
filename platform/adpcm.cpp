#include "platform/adpcm.h"

#include <algorithm>
#include "platform/byte_order.h"

namespace {

const int16_t kImaStepSizes[kImaMaxStepIndex + 1] = {
    7,     8,     9,     10,    11,    12,    13,    14,    16,    17,    19,   21,    23,
    25,    28,    31,    34,    37,    41,    45,    50,    55,    60,    66,   73,    80,
    88,    97,    107,   118,   130,   143,   157,   173,   190,   209,   230,  253,   279,
    307,   337,   371,   408,   449,   494,   544,   598,   658,   724,   796,  876,   963,
    1060,  1166,  1282,  1411,  1552,  1707,  1878,  2066,  2272,  2499,  2749, 3024,  3327,
    3660,  4026,  4428,  4871,  5358,  5894,  6484,  7132,  7845,  8630,  9493, 10442, 11487,
    12635, 13899, 15289, 16818, 18500, 20350, 22385, 24623, 27086, 29794, 32767};

const int8_t kImaIndexAdjust[8] = {-1, -1, -1, -1, 2, 4, 6, 8};

// Adaptive delta scale per nibble, in 1/256.
const int kMsAdpcmDeltaScale[16] = {230, 230, 230, 230, 307, 409, 512, 614,
                                    768, 614, 512, 409, 307, 230, 230, 230};
constexpr int64_t kMsAdpcmMinDelta = 16;
// Far above any delta an encoder produces; only keeps corrupt blocks from growing the delta
// without bound (it triples per nibble at most).
constexpr int64_t kMsAdpcmMaxDelta = int64_t{1} << 24;

int16_t ReadI16(const uint8_t* p) { return NxGetLeI16(p); }

void WriteI16(uint8_t* p, int32_t value) { NxPutLe16(p, static_cast<WORD>(value)); }

int32_t ClampToI16(int64_t value) {
  return static_cast<int32_t>(std::clamp<int64_t>(value, INT16_MIN, INT16_MAX));
}

// Division by 256 rounded towards minus infinity, the arithmetic shift encoders assume.
int64_t FloorDiv256(int64_t value) { return value >= 0 ? value / 256 : -((255 - value) / 256); }

struct ImaChannel {
  int32_t sample;
  int stepIndex;

  int32_t Decode(unsigned nibble) {
    const int step = kImaStepSizes[stepIndex];
    int32_t difference = step >> 3;
    if (nibble & 4) difference += step;
    if (nibble & 2) difference += step >> 1;
    if (nibble & 1) difference += step >> 2;
    sample = ClampToI16(nibble & 8 ? int64_t{sample} - difference : int64_t{sample} + difference);
    stepIndex = std::clamp(stepIndex + kImaIndexAdjust[nibble & 7], 0, kImaMaxStepIndex);
    return sample;
  }
};

struct MsAdpcmChannel {
  int64_t c1, c2, delta, s1, s2;

  int32_t Decode(unsigned nibble) {
    const int64_t prediction = FloorDiv256(s1 * c1 + s2 * c2);
    const int64_t signedNibble = static_cast<int64_t>(nibble) - ((nibble & 8) << 1);
    const int32_t sample = ClampToI16(prediction + signedNibble * delta);
    delta = std::clamp<int64_t>(FloorDiv256(kMsAdpcmDeltaScale[nibble] * delta), kMsAdpcmMinDelta,
                                kMsAdpcmMaxDelta);
    s2 = s1;
    s1 = sample;
    return sample;
  }
};

}  // namespace

uint32_t ImaFramesHeld(size_t bytes, unsigned channels) {
  const size_t header = size_t{4} * channels;
  if (channels == 0 || bytes < header) return 0;
  const size_t groups = (bytes - header) / header;
  return static_cast<uint32_t>(std::min<size_t>(groups * 8 + 1, UINT32_MAX));
}

uint32_t MsAdpcmFramesHeld(size_t bytes, unsigned channels) {
  const size_t header = size_t{7} * channels;
  if (channels == 0 || bytes < header) return 0;
  const size_t nibbles = (bytes - header) * 2;
  return static_cast<uint32_t>(std::min<size_t>(nibbles / channels + 2, UINT32_MAX));
}

uint32_t DecodeImaBlock(const uint8_t* block, size_t blockBytes, unsigned channels, uint32_t frames,
                        uint8_t* out) {
  frames = std::min(frames, ImaFramesHeld(blockBytes, channels));
  if (frames == 0) return 0;
  const size_t frameBytes = size_t{2} * channels;
  for (unsigned ch = 0; ch < channels; ++ch) {
    const uint8_t* header = block + size_t{4} * ch;
    ImaChannel state{ReadI16(header), std::min<int>(header[2], kImaMaxStepIndex)};
    uint8_t* o = out + size_t{2} * ch;
    WriteI16(o, state.sample);
    // Sample i >= 1 sits in group (i - 1) / 8 of this channel, nibble (i - 1) % 8.
    const uint8_t* groups = block + size_t{4} * channels + size_t{4} * ch;
    for (uint32_t i = 1; i < frames; ++i) {
      const uint32_t k = i - 1;
      const uint8_t pair = groups[size_t{k / 8} * 4 * channels + (k % 8) / 2];
      const unsigned nibble = (k & 1) ? pair >> 4 : pair & 0x0F;
      WriteI16(o + i * frameBytes, state.Decode(nibble));
    }
  }
  return frames;
}

uint32_t DecodeMsAdpcmBlock(const uint8_t* block, size_t blockBytes, unsigned channels,
                            const int16_t (*coefficients)[2], unsigned pairs, uint32_t frames,
                            uint8_t* out) {
  frames = std::min(frames, MsAdpcmFramesHeld(blockBytes, channels));
  if (frames == 0 || pairs == 0 || channels > 2) return 0;
  MsAdpcmChannel state[2];
  const uint8_t* p = block;
  for (unsigned ch = 0; ch < channels; ++ch) {
    const unsigned index = p[ch] < pairs ? p[ch] : 0;
    state[ch].c1 = coefficients[index][0];
    state[ch].c2 = coefficients[index][1];
  }
  p += channels;
  for (unsigned ch = 0; ch < channels; ++ch) state[ch].delta = ReadI16(p + 2 * ch);
  p += 2 * channels;
  for (unsigned ch = 0; ch < channels; ++ch) state[ch].s1 = ReadI16(p + 2 * ch);
  p += 2 * channels;
  for (unsigned ch = 0; ch < channels; ++ch) state[ch].s2 = ReadI16(p + 2 * ch);
  p += 2 * channels;

  for (unsigned ch = 0; ch < channels; ++ch) {
    WriteI16(out + 2 * ch, static_cast<int32_t>(state[ch].s2));
    if (frames > 1) WriteI16(out + 2 * (channels + ch), static_cast<int32_t>(state[ch].s1));
  }
  const size_t samples = size_t{frames} * channels;
  for (size_t n = size_t{2} * channels; n < samples; ++n) {
    const size_t k = n - size_t{2} * channels;
    const uint8_t pair = p[k / 2];
    const unsigned nibble = (k & 1) ? pair & 0x0F : pair >> 4;
    WriteI16(out + 2 * n, state[n % channels].Decode(nibble));
  }
  return frames;
}
