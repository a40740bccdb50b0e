// The demo's audio, synthesised by the program itself: a short dry phrase and a concert-hall
// impulse response. Both come from one fixed-seed generator and plain arithmetic, so every run
// on every machine writes the same samples.
#pragma once

#include <cstdint>
#include <vector>

constexpr unsigned kDemoRate = 44100;

// Mono, 44100 Hz, about 4.5 s, peak 0.5: plucked notes of an arpeggio, two hand-claps and a
// silent ending that leaves room for the reverb's tail. Samples on ±1.0.
std::vector<double> SynthesizeDryPhrase();

// Stereo interleaved, 44100 Hz, 2.5 s: a direct sound, sparse early reflections that differ
// between the ears, then a diffuse tail of noise whose high frequencies die away faster than
// its lows (2.2 s to -60 dB at low frequencies). Peak 0.9.
std::vector<double> SynthesizeHallImpulse();

// The generator: xorshift64* with a fixed seed, uniform in [-1, 1).
class DemoNoise {
 public:
  explicit DemoNoise(uint64_t seed) : state_(seed != 0 ? seed : 1) {}
  double Next();

 private:
  uint64_t state_;
};
