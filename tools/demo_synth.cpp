#include "tools/demo_synth.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kPi = 3.14159265358979323846;

double Peak(const std::vector<double>& samples) {
  double peak = 0.0;
  for (const double x : samples) peak = std::max(peak, std::fabs(x));
  return peak;
}

void ScaleToPeak(std::vector<double>& samples, double target) {
  const double peak = Peak(samples);
  if (peak > 0.0)
    for (double& x : samples) x *= target / peak;
}

// A plucked string (Karplus-Strong): a delay line of one period, filled with noise and averaged
// as it circulates, so the tone darkens while it decays.
void AddPluck(std::vector<double>& out, DemoNoise& noise, double startSeconds, double hz,
              double seconds, double level) {
  const size_t period = static_cast<size_t>(std::lround(kDemoRate / hz));
  std::vector<double> line(period);
  for (double& x : line) x = noise.Next();
  const size_t start = static_cast<size_t>(startSeconds * kDemoRate);
  const size_t length = static_cast<size_t>(seconds * kDemoRate);
  for (size_t i = 0; i < length && start + i < out.size(); ++i) {
    const size_t at = i % period;
    const double value = line[at];
    line[at] = 0.996 * 0.5 * (value + line[(at + 1) % period]);
    // A short fade at the end keeps the cut silent.
    const double fade = std::min(1.0, static_cast<double>(length - i) / 441.0);
    out[start + i] += level * value * fade;
  }
}

// A hand-clap: a few quick noise bursts, band-limited by a two-pole resonance near 1.2 kHz.
void AddClap(std::vector<double>& out, DemoNoise& noise, double startSeconds, double level) {
  const size_t start = static_cast<size_t>(startSeconds * kDemoRate);
  const double r = 0.96;
  const double w = 2.0 * kPi * 1200.0 / kDemoRate;
  double y1 = 0.0;
  double y2 = 0.0;
  const size_t length = kDemoRate / 5;
  for (size_t i = 0; i < length && start + i < out.size(); ++i) {
    const double t = static_cast<double>(i) / kDemoRate;
    // Three bursts 10 ms apart, then the body of the clap decaying over 40 ms.
    const double burst = t < 0.03 ? std::exp(-std::fmod(t, 0.01) * 400.0) : 0.0;
    const double body = std::exp(-t * 25.0);
    const double x = noise.Next() * std::max(burst, body * 0.6);
    const double y = x + 2.0 * r * std::cos(w) * y1 - r * r * y2;
    y2 = y1;
    y1 = y;
    out[start + i] += level * y * 0.1;
  }
}

}  // namespace

double DemoNoise::Next() {
  state_ ^= state_ >> 12;
  state_ ^= state_ << 25;
  state_ ^= state_ >> 27;
  const uint64_t value = state_ * 0x2545F4914F6CDD1DULL;
  return static_cast<double>(value >> 11) / 4503599627370496.0 - 1.0;  // 2^52: [-1, 1)
}

std::vector<double> SynthesizeDryPhrase() {
  std::vector<double> out(static_cast<size_t>(4.5 * kDemoRate), 0.0);
  DemoNoise noise(0xA0CA11u);
  // A minor arpeggio rising and falling: A3 C4 E4 A4 E4 C4, then a chord.
  const double notes[] = {220.0, 261.63, 329.63, 440.0, 329.63, 261.63};
  for (size_t i = 0; i < 6; ++i) AddPluck(out, noise, 0.1 + 0.3 * i, notes[i], 0.6, 0.8);
  AddClap(out, noise, 2.0, 1.0);
  AddClap(out, noise, 2.35, 0.9);
  for (const double hz : {220.0, 261.63, 329.63}) AddPluck(out, noise, 2.7, hz, 1.1, 0.6);
  ScaleToPeak(out, 0.5);
  return out;
}

std::vector<double> SynthesizeHallImpulse() {
  const size_t frames = static_cast<size_t>(2.5 * kDemoRate);
  std::vector<double> out(frames * 2, 0.0);
  DemoNoise noise(0x4A11u);
  out[0] = out[1] = 1.0;  // the direct sound

  // Early reflections: delay in ms, gain, and the share that reaches the left ear.
  struct Reflection {
    double ms, gain, left;
  };
  const Reflection early[] = {{11.0, 0.62, 0.8}, {17.5, 0.55, 0.3}, {23.0, 0.47, 0.65},
                              {31.0, 0.40, 0.2}, {37.5, 0.36, 0.9}, {46.0, 0.30, 0.45},
                              {53.0, 0.27, 0.7}, {61.5, 0.22, 0.15}, {72.0, 0.18, 0.55},
                              {83.0, 0.15, 0.35}};
  for (const Reflection& r : early) {
    const size_t at = static_cast<size_t>(r.ms * kDemoRate / 1000.0);
    out[at * 2] += r.gain * r.left * 2.0 * 0.6;
    out[at * 2 + 1] += r.gain * (1.0 - r.left) * 2.0 * 0.6;
  }

  // The diffuse tail in two bands: a one-pole low-pass splits each ear's noise, and the high
  // band decays at twice the rate, as air and walls absorb high frequencies faster.
  const double lowRate = 6.9 / 2.2;   // e-folds per second: -60 dB at 2.2 s
  const double highRate = 6.9 / 1.1;
  const double split = std::exp(-2.0 * kPi * 2500.0 / kDemoRate);
  double low[2] = {0.0, 0.0};
  const size_t onset = static_cast<size_t>(0.025 * kDemoRate);
  for (size_t i = onset; i < frames; ++i) {
    const double t = static_cast<double>(i) / kDemoRate;
    const double rise = std::min(1.0, static_cast<double>(i - onset) / (0.04 * kDemoRate));
    const double fadeOut = std::min(1.0, static_cast<double>(frames - i) / (0.1 * kDemoRate));
    for (int c = 0; c < 2; ++c) {
      const double n = noise.Next();
      low[c] = (1.0 - split) * n + split * low[c];
      const double high = n - low[c];
      const double sample = 2.2 * low[c] * std::exp(-lowRate * t) + 0.7 * high * std::exp(-highRate * t);
      out[i * 2 + c] += 0.35 * rise * fadeOut * sample;
    }
  }
  ScaleToPeak(out, 0.9);
  return out;
}
