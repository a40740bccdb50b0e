// What the engine and filter suites feed the engine: seeded noise, and an impulse held in
// memory (channel[1] for two channels, or channel[0] negated when it is empty) that records
// how many frames the last load asked for.
#pragma once

#include <random>
#include <vector>

#include "frame/impulse_prep.h"

inline std::vector<float> RandomSignal(size_t count, unsigned seed, float scale = 1000.0f) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<float> dist(-scale, scale);
  std::vector<float> out(count);
  for (float& v : out) v = dist(rng);
  return out;
}

class MemoryImpulse : public ImpulseSource {
 public:
  explicit MemoryImpulse(std::vector<float> left = {}, uint32_t r = 10000, uint32_t n = 1)
      : rate(r), channels(n) {
    channel[0] = std::move(left);
  }
  bool GetInfo(const WCHAR*, ImpulseSourceInfo* info) override {
    *info = {channels, 4, static_cast<uint32_t>(channel[0].size() * 4 * channels), rate};
    return true;
  }
  void Load(const WCHAR*, float* c0, float* c1, uint32_t frames) override {
    framesRequested = frames;
    for (uint32_t i = 0; i < frames && i < channel[0].size(); ++i) {
      c0[i] = channel[0][i];
      if (c1 != nullptr && channels == 2)
        c1[i] = i < channel[1].size() ? channel[1][i] : -channel[0][i];
    }
  }
  std::vector<float> channel[2];
  uint32_t rate;
  uint32_t channels;
  uint32_t framesRequested = 0;
};
