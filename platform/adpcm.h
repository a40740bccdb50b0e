// Block decoders of the two 4-bit ADPCM wave formats, to interleaved signed 16-bit PCM written
// little-endian (two bytes per sample, any alignment).
//
// IMA ADPCM block: per channel a 4-byte header (first sample, signed 16-bit; step index 0..88;
// a reserved byte), then groups of 4 bytes per channel in channel order, each group holding 8
// samples of its channel, low nibble first. One block of b bytes holds
// 8 * (b / (4 * channels) - 1) + 1 frames.
//
// Microsoft ADPCM block: a predictor index byte per channel, then per channel the initial
// adaptive delta, then the second-older sample, then the older sample (each signed 16-bit); the
// older sample is frame 0. Nibbles follow high nibble first, alternating between channels. The
// prediction is (s1 * c1 + s2 * c2) / 256 rounded down, with the pair (c1, c2) chosen by the
// block's predictor index from the format's coefficient table.
//
// Both decoders decode at most the frames that `blockBytes` hold, whatever `frames` asks, so a
// truncated block decodes its complete samples and nothing past its bytes is read.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr int kImaMaxStepIndex = 88;

// Frames of an IMA block of `bytes` bytes, counting the header sample; 0 below one header.
uint32_t ImaFramesHeld(size_t bytes, unsigned channels);

// Frames of a Microsoft ADPCM block of `bytes` bytes, counting both header samples; 0 below one
// header.
uint32_t MsAdpcmFramesHeld(size_t bytes, unsigned channels);

// Decodes min(frames, ImaFramesHeld(blockBytes, channels)) frames into `out` and returns that
// count. A step index above 88 in a header counts as 88.
uint32_t DecodeImaBlock(const uint8_t* block, size_t blockBytes, unsigned channels, uint32_t frames,
                        uint8_t* out);

// Decodes min(frames, MsAdpcmFramesHeld(blockBytes, channels)) frames into `out` and returns that
// count (0 for more than two channels). `coefficients` holds `pairs` pairs (c1, c2); a predictor
// index at or above `pairs` uses pair 0.
uint32_t DecodeMsAdpcmBlock(const uint8_t* block, size_t blockBytes, unsigned channels,
                            const int16_t (*coefficients)[2], unsigned pairs, uint32_t frames,
                            uint8_t* out);
