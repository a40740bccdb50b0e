// Shared pieces of the recovery tests: a settings folder, recording sinks, wave files of any
// sample format, synthetic rooms and the comparison after best alignment and gain.
#pragma once

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstring>

#include "dsp/fft.h"
#include "tests/support/test_support.h"
#include "platform/private_profile.h"
#include "recovery/recover_impulse.h"
#include "recovery/test_signal.h"
#include "recovery/wave_channel.h"

namespace recovery_test {

using Signal = std::vector<double>;
using Spectrum = std::vector<std::complex<double>>;

// A temporary folder that is also the settings folder, removed at the end.
class Folder : public TempFolder {
 public:
  Folder() : TempFolder("AURALITH_CONFIG_DIR") {}
  WString operator/(const std::string& name) const {
    return ::Wide(TempFolder::operator/(name));
  }
  void Set(const char* key, long value) const {
    WritePrivateProfileStringW(NXW("Auralith"), ::Wide(key).c_str(),
                               ::Wide(std::to_string(value)).c_str(), NXW("auralith.ini"));
  }
};

struct Progress final : RecoveryProgressSink {
  void Begin(LPCWSTR text, int range) override { ++begins, beginText = text, high = range; }
  void SetRange(int, int h) override { high = h; }
  void SetText(LPCWSTR text) override { texts.push_back(text); }
  bool Step(int at) override {
    positionsOk = positionsOk && at >= 0 && at <= high;
    return ++steps != cancelAtStep;
  }
  void End() override { ++ends; }
  int begins = 0, ends = 0, steps = 0, high = 0, cancelAtStep = 0;
  bool positionsOk = true;
  WString beginText;
  std::vector<WString> texts;
};

// Answers from `answers`, else No to questions and OK to the rest.
struct Messages final : RecoveryMessageSink {
  int Show(LPCWSTR text, LPCWSTR caption, UINT style) override {
    shown.push_back(text), captions.push_back(caption), styles.push_back(style);
    const int answer = answers.empty()
                           ? (style == kRecoveryBoxQuestion ? kRecoveryAnswerNo : kRecoveryAnswerOk)
                           : answers.front();
    if (!answers.empty()) answers.pop_front();
    return answer;
  }
  std::deque<int> answers;
  std::vector<WString> shown, captions;
  std::vector<UINT> styles;
};

// A wave file from samples on the 16-bit scale: PCM of 8, 16, 24 or 32 bits, or (bits 0) float.
inline void WriteWave(const WString& name, const std::vector<Signal>& channels, int bits,
                      unsigned rate = 44100) {
  const unsigned bytes = bits == 0 ? 4 : bits / 8;
  Bytes data;
  for (size_t i = 0; i < channels[0].size(); ++i) {
    for (const Signal& c : channels) {
      const float f = float(c[i] / 32768.0);
      uint32_t u;
      std::memcpy(&u, &f, 4);
      const auto pcm = int64_t(std::round(std::ldexp(c[i], bits - 16))) + (bits == 8 ? 128 : 0);
      data += Le({bits == 0 ? u : DWORD(pcm)}, int(bytes));
    }
  }
  const Bytes file = WaveFile(bits == 0 ? 3 : 1, WORD(channels.size()), rate, WORD(bytes * 8), data);
  WriteFileBytes(std::string(name.begin(), name.end()), file);
}

// One channel of a wave file, read through the code under test.
inline Signal ReadChannel(const WString& name, DWORD channel, DWORD frames) {
  std::vector<float> buffer(frames);
  EXPECT_EQ(ReadWaveChannel(name.c_str(), buffer.data(), nullptr, frames, 0, channel), int(frames));
  return Signal(buffer.begin(), buffer.end());
}

// Bins 0 .. n/2 of the project's forward transform (which carries 1/n and a plus sign).
inline Spectrum SpectrumOf(const Signal& s, uint32_t n) {
  Signal a(n);
  std::copy(s.begin(), s.begin() + std::min<size_t>(s.size(), n), a.begin());
  FFTSETUP* setup = NxSig_PrepareFFT(nullptr, n, nullptr, 0);
  NxSig_FFT(setup, a.data(), n, 1.0);
  NxSig_UnprepareFFT(setup);
  Spectrum z(n / 2 + 1);
  z[0] = a[0], z[n / 2] = a[1];
  for (uint32_t k = 1; k < n / 2; ++k) z[k] = {a[2 * k], a[2 * k + 1]};
  return z;
}

inline Signal Convolve(const Signal& x, const Signal& h) {
  uint32_t n = 2;
  while (n < x.size() + h.size()) n *= 2;
  const Spectrum a = SpectrumOf(x, n), b = SpectrumOf(h, n);
  Signal y(n);
  y[0] = (a[0] * b[0]).real() * n, y[1] = (a[n / 2] * b[n / 2]).real() * n;
  for (uint32_t k = 1; k < n / 2; ++k) {
    y[2 * k] = (a[k] * b[k]).real() * n, y[2 * k + 1] = (a[k] * b[k]).imag() * n;
  }
  FFTSETUP* setup = NxSig_PrepareFFT(nullptr, n, nullptr, 0);
  NxSig_InverseFFT(setup, y.data(), n, 1.0);
  NxSig_UnprepareFFT(setup);
  y.resize(x.size() + h.size() - 1);
  return y;
}

// Direct sound after `delay` frames, two reflections and a noise tail 30 dB down that decays by
// 60 dB over the room's length.
inline Signal Room(size_t frames, size_t delay, unsigned seed) {
  std::mt19937 random(seed);
  std::normal_distribution<double> noise(0.0, 0.03);
  Signal h(frames);
  for (size_t i = delay + 1; i < frames; ++i) {
    h[i] = noise(random) * std::exp(-6.9 * double(i - delay) / double(frames - delay));
  }
  h[delay] = 1.0, h[delay + 37] += 0.3, h[delay + 211] -= 0.2;
  return h;
}

// What a recorder whose clock runs `ppm` fast makes of y: y at m / (1 + ppm 1e-6), by a sinc of
// 64 taps either side under a Blackman-Harris window, far better than the tests measure.
inline Signal Reclock(const Signal& y, double ppm) {
  constexpr long kHalf = 64, kSteps = 4096;
  std::vector<double> window(kSteps + 2);
  for (size_t i = 0; i < window.size(); ++i) {
    const double w = M_PI * (1.0 + double(i) / kSteps);  // from the centre outwards
    window[i] =
        0.35875 - 0.48829 * std::cos(w) + 0.14128 * std::cos(2 * w) - 0.01168 * std::cos(3 * w);
  }
  const double step = 1.0 / (1.0 + ppm * 1e-6);
  Signal out(size_t(double(y.size()) / step));
  for (size_t m = 0; m < out.size(); ++m) {
    const double t = double(m) * step, sinT = std::sin(M_PI * (t - std::floor(t)));
    const long base = long(t);
    for (long k = std::max(0L, base - kHalf + 1); k <= base + kHalf && k < long(y.size()); ++k) {
      const double d = t - double(k), at = std::fabs(d) / kHalf * kSteps;
      const size_t i = size_t(at);
      const double sinc = d == 0.0 ? 1.0 : ((base - k) % 2 == 0 ? sinT : -sinT) / (M_PI * d);
      out[m] += y[k] * sinc * (window[i] + (window[i + 1] - window[i]) * (at - double(i)));
    }
  }
  return out;
}

// Relative error in dB of `got` against `want` (channels together) after the best shared delay
// (from the peaks' distance, refined to 1/1000 frame) and gain, below `band` times Nyquist.
inline double ErrorDb(const std::vector<Signal>& got, const std::vector<Signal>& want,
                      double band = 1.0) {
  uint32_t n = 2;
  while (n < 2 * std::max(got[0].size(), want[0].size())) n *= 2;
  std::vector<Spectrum> g, w;
  for (size_t c = 0; c < got.size(); ++c)
    g.push_back(SpectrumOf(got[c], n)), w.push_back(SpectrumOf(want[c], n));
  auto error = [&](double delay) {  // a delay of d frames turns bin k by e^(+i 2 pi k d / n)
    double cross = 0.0, energy = 0.0, residual = 0.0;
    for (int pass = 0; pass < 2; ++pass) {
      for (size_t c = 0; c < g.size(); ++c) {
        for (uint32_t k = 0; k <= band * (n / 2); ++k) {
          const auto shifted = w[c][k] * std::polar(1.0, 2 * M_PI * k * delay / n);
          if (pass == 0)
            cross += (g[c][k] * std::conj(shifted)).real(), energy += std::norm(shifted);
          if (pass == 1) residual += std::norm(g[c][k] - cross / energy * shifted);
        }
      }
    }
    return residual / (cross * cross / energy);
  };
  auto peak = [](const Signal& s) {
    return double(std::max_element(s.begin(), s.end(),
                                   [](double a, double b) { return std::fabs(a) < std::fabs(b); }) -
                  s.begin());
  };
  double best = peak(got[0]) - peak(want[0]), least = error(best);
  for (double step = 1.0; step > 1e-3; step /= 2) {
    for (double d : {best - step, best + step}) {
      const double e = error(d);
      if (e < least) best = d, least = e;
    }
  }
  return 10.0 * std::log10(std::max(least, 1e-30));
}

}  // namespace recovery_test
