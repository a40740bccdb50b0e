// Shared helpers of the dsp tests: noise, the error measure in dB, a status recorder, a noise
// impulse and input prepared for the engine, a streaming driver with random call sizes and
// direct convolution.
#pragma once

#include <algorithm>
#include <cmath>

#include "dsp/convolver.h"
#include "frame/audio_transform.h"
#include "tests/support/memory_impulse.h"

namespace enginetest {

inline std::vector<float> Noise(size_t count, uint32_t seed, float scale = 1000.0f) {
  return RandomSignal(count, seed, scale);
}

template <typename T, typename U>
std::vector<T> As(const std::vector<U>& v) {
  return std::vector<T>(v.begin(), v.end());
}

// 20 log10(|got - want| / |want|) over the longer of the two, the shorter padded with zeros.
template <typename A, typename B>
double ErrorDb(const std::vector<A>& got, const std::vector<B>& want) {
  long double err = 0.0L;
  long double ref = 0.0L;
  for (size_t i = 0; i < std::max(got.size(), want.size()); ++i) {
    const long double g = i < got.size() ? static_cast<long double>(got[i]) : 0.0L;
    const long double w = i < want.size() ? static_cast<long double>(want[i]) : 0.0L;
    err += (g - w) * (g - w);
    ref += w * w;
  }
  return static_cast<double>(10.0L * std::log10(std::max(err, 1e-300L) / ref));
}

class StatusLog : public ConvolverStatusSink {
 public:
  std::vector<LONG> codes;
  void SetStatus(LONG status) override { codes.push_back(status); }
};

// Channels of the input, the output and the impulse.
struct Layout {
  uint32_t in, out, impulse;
};

// The default record (whose recovery fields the engine never reads) at `quality`.
inline PlugInParams BaseParams(LONG quality) {
  PlugInParams p = DefaultPlugInParams();
  p.quality = quality;
  return p;
}

inline double Norm(const std::vector<double>& h) {
  double sum = 0.0;
  for (double v : h) sum += v * v;
  return std::sqrt(sum);
}

constexpr uint32_t kRate = 10000;

// A noise impulse and a noise input, prepared at the stream rate kRate.
struct EngineRun {
  MemoryImpulse source;
  ConvolverState state;
  Layout layout;
  std::vector<double> input;  // interleaved

  EngineRun(Layout l, uint32_t frames, uint32_t impulseFrames, uint32_t seed, uint32_t impulseRate)
      : layout(l) {
    source.rate = impulseRate;
    source.channels = l.impulse;
    source.channel[0] = Noise(impulseFrames, seed);
    source.channel[1] = Noise(impulseFrames, seed + 1);
    input = As<double>(Noise(size_t(frames) * l.in, seed + 2));
  }

  template <typename T>
  LONG Prepare(const PlugInParams& p) {
    const StreamShape shape[2] = {{layout.in, kRate, sizeof(T) * 8},
                                  {layout.out, kRate, sizeof(T) * 8}};
    return PrepareImpulse(state, p, true, shape[0], shape[1], NXW("memory"), source, nullptr);
  }

  // The impulse output channel k hears, scaled by `gain` over the larger channel norm when both
  // are in use, cut to `half` samples and its last `fade` samples faded out.
  std::vector<double> Impulse(bool stereo, uint32_t k, double gain, int32_t half,
                              int32_t fade) const {
    double norm = Norm(As<double>(source.channel[0]));
    if (stereo) norm = std::max(norm, Norm(As<double>(source.channel[1])));
    std::vector<double> h;
    for (int32_t i = 0; i < half && i < int32_t(source.channel[0].size()); ++i) {
      float v = source.channel[stereo ? k : 0][i];
      if (i >= half - fade) v *= static_cast<float>(half - i) / static_cast<float>(fade);
      h.push_back(v * gain / norm);
    }
    return h;
  }
};

// Streams `input` (interleaved) through the engine in random call sizes of 1..maxCall frames,
// with random output capacities, then flushes; returns every output frame.
template <typename T>
std::vector<T> Stream(ConvolverState& s, const std::vector<T>& input, uint32_t maxCall,
                      uint32_t seed, LONG width = 50) {
  std::mt19937 rng(seed);
  std::uniform_int_distribution<uint32_t> size(1, maxCall);
  const uint32_t ic = s.inputChannels;
  const uint32_t oc = s.outputChannels;
  const uint32_t frames = static_cast<uint32_t>(input.size() / ic);
  std::vector<T> out;
  std::vector<T> buffer(size_t(maxCall) * oc);
  uint32_t pos = 0;
  LONG mode = kStreamStart;
  int guard = 0;
  while (pos < frames && ++guard < 1000000) {
    uint32_t in = std::min(size(rng), frames - pos);
    uint32_t o = size(rng);
    ConvolverProcess(s, mode, input.data() + size_t(pos) * ic, &in, buffer.data(), &o, width);
    mode = kStreamContinue;
    pos += in;
    out.insert(out.end(), buffer.begin(), buffer.begin() + size_t(o) * oc);
  }
  for (mode = kStreamEnd; ++guard < 1000000; mode = kStreamContinue) {
    uint32_t in = 0;
    uint32_t o = size(rng);
    const LONG r =
        ConvolverProcess(s, mode, static_cast<const T*>(nullptr), &in, buffer.data(), &o, width);
    out.insert(out.end(), buffer.begin(), buffer.begin() + size_t(o) * oc);
    if (r == kConvolverNothingToDo || (o == 0 && !BlockEmitting(s))) break;
  }
  return out;
}

// Direct convolution of one channel, in double.
inline std::vector<double> Convolve(const std::vector<double>& x, const std::vector<double>& h) {
  std::vector<double> y(x.size() + h.size() - 1, 0.0);
  for (size_t n = 0; n < x.size(); ++n) {
    for (size_t k = 0; k < h.size(); ++k) y[n + k] += x[n] * h[k];
  }
  return y;
}

// One channel of interleaved frames, widened to double.
template <typename T>
std::vector<double> Channel(const std::vector<T>& frames, uint32_t channels, uint32_t which) {
  std::vector<double> v;
  for (size_t i = which; i < frames.size(); i += channels) v.push_back(frames[i]);
  return v;
}

}  // namespace enginetest
