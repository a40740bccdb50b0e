// Shared pieces of the recovery tests: a settings folder, recording sinks, wave files of any
// sample format, synthetic rooms and the comparison after best alignment and gain.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "dsp/fft.h"
#include "platform/private_profile.h"
#include "recovery/recover_impulse.h"
#include "recovery/test_signal.h"
#include "recovery/wave_channel.h"

namespace recovery_test {

using WString = std::basic_string<WCHAR>;
using Signal = std::vector<double>;

inline WString Wide(const std::string& text) { return WString(text.begin(), text.end()); }

// A temporary folder that is also the settings folder, removed at the end.
class Folder {
 public:
  Folder()
      : path_(std::filesystem::temp_directory_path() /
              ("auralith_recovery_" + std::to_string(std::random_device{}()))) {
    std::filesystem::create_directories(path_);
    setenv("AURALITH_CONFIG_DIR", path_.c_str(), 1);
  }
  ~Folder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  WString operator/(const std::string& name) const { return Wide((path_ / name).string()); }
  void Set(const char* key, long value) const {
    WritePrivateProfileStringW(NXW("Auralith"), Wide(key).c_str(),
                               Wide(std::to_string(value)).c_str(), NXW("auralith.ini"));
  }

 private:
  std::filesystem::path path_;
};

class Progress final : public RecoveryProgressSink {
 public:
  void Begin(LPCWSTR text, int range) override {
    ++begins;
    beginText = text;
    high = range;
  }
  void SetRange(int, int h) override { high = h; }
  void SetText(LPCWSTR text) override { texts.push_back(text); }
  bool Step(int position) override {
    positionOk = positionOk && position >= 0 && position <= high;
    return ++steps < cancelAtStep || cancelAtStep == 0;
  }
  void End() override { ++ends; }
  int begins = 0, ends = 0, steps = 0, high = 0, cancelAtStep = 0;
  bool positionOk = true;
  WString beginText;
  std::vector<WString> texts;
};

class Messages final : public RecoveryMessageSink {
 public:
  int Show(LPCWSTR text, LPCWSTR caption, UINT style) override {
    shown.push_back(text);
    captions.push_back(caption);
    styles.push_back(style);
    if (answers.empty()) return style == kRecoveryBoxQuestion ? kRecoveryAnswerNo : kRecoveryAnswerOk;
    const int answer = answers.front();
    answers.pop_front();
    return answer;
  }
  std::deque<int> answers;
  std::vector<WString> shown, captions;
  std::vector<UINT> styles;
};

// A wave file of `channels` interleaved channels from samples on the 16-bit scale: PCM of 8, 16,
// 24 or 32 bits, or float of 32 bits (bits 0 means float).
inline void WriteWave(const WString& name, const std::vector<Signal>& channels, int bits,
                      unsigned rate = 44100) {
  const bool isFloat = bits == 0;
  const unsigned bytes = isFloat ? 4 : bits / 8;
  const size_t frames = channels[0].size();
  const unsigned count = static_cast<unsigned>(channels.size());
  std::string out;
  auto le = [&out](uint64_t v, int n) {
    for (int i = 0; i < n; ++i) out.push_back(static_cast<char>(v >> (8 * i)));
  };
  const uint64_t data = frames * count * bytes;
  out += "RIFF";
  le(36 + data, 4);
  out += "WAVEfmt ";
  le(16, 4);
  le(isFloat ? 3 : 1, 2);
  le(count, 2);
  le(rate, 4);
  le(rate * count * bytes, 4);
  le(count * bytes, 2);
  le(bytes * 8, 2);
  out += "data";
  le(data, 4);
  for (size_t i = 0; i < frames; ++i) {
    for (const Signal& c : channels) {
      if (isFloat) {
        const float f = static_cast<float>(c[i] / 32768.0);
        uint32_t u;
        std::memcpy(&u, &f, 4);
        le(u, 4);
      } else {
        const double scaled = std::round(c[i] * std::ldexp(1.0, bits - 16));
        le(static_cast<uint64_t>(static_cast<int64_t>(scaled) + (bits == 8 ? 128 : 0)), bytes);
      }
    }
  }
  std::string path(name.begin(), name.end());
  std::ofstream(path, std::ios::binary).write(out.data(), static_cast<std::streamsize>(out.size()));
}

// One channel of a wave file, read back through the code under test.
inline Signal ReadChannel(const WString& name, DWORD channel, DWORD frames) {
  std::vector<float> buffer(frames);
  EXPECT_EQ(ReadWaveChannel(name.c_str(), buffer.data(), nullptr, frames, 0, channel),
            static_cast<int>(frames));
  return Signal(buffer.begin(), buffer.end());
}

// Linear convolution through the project's FFT (forward carries 1/N, so the product is scaled
// back by N).
inline Signal Convolve(const Signal& x, const Signal& h) {
  uint32_t n = 2;
  while (n < x.size() + h.size()) n *= 2;
  FFTSETUP* setup = NxSig_PrepareFFT(nullptr, n, nullptr, 0);
  Signal a(n), b(n);
  std::copy(x.begin(), x.end(), a.begin());
  std::copy(h.begin(), h.end(), b.begin());
  NxSig_FFT(setup, a.data(), n, 1.0);
  NxSig_FFT(setup, b.data(), n, static_cast<double>(n));
  a[0] *= b[0];
  a[1] *= b[1];
  for (uint32_t i = 2; i < n; i += 2) {
    const std::complex<double> p =
        std::complex<double>(a[i], a[i + 1]) * std::complex<double>(b[i], b[i + 1]);
    a[i] = p.real();
    a[i + 1] = p.imag();
  }
  NxSig_InverseFFT(setup, a.data(), n, 1.0);
  NxSig_UnprepareFFT(setup);
  a.resize(x.size() + h.size() - 1);
  return a;
}

// A room: direct sound after `delay` frames, a few reflections and a noise tail decaying by
// 60 dB over `frames`, starting `tailDb` below the direct sound.
inline Signal Room(size_t frames, size_t delay, unsigned seed, double tailDb = -30.0) {
  std::mt19937 random(seed);
  std::normal_distribution<double> noise;
  Signal h(frames);
  const double tail = std::pow(10.0, tailDb / 20.0);
  for (size_t i = delay + 1; i < frames; ++i) {
    h[i] = tail * noise(random) * std::exp(-6.9 * double(i - delay) / double(frames - delay));
  }
  h[delay] = 1.0;
  h[delay + 37] += 0.3;
  h[delay + 211] -= 0.2;
  return h;
}

// The recording of a clock that runs `ppm` fast: y sampled at m / (1 + ppm 1e-6) by a windowed
// sinc of 64 taps either side (Blackman-Harris), good far beyond what the tests measure.
inline Signal Reclock(const Signal& y, double ppm) {
  constexpr int kHalf = 64;
  const double step = 1.0 / (1.0 + ppm * 1e-6);
  Signal out(static_cast<size_t>(double(y.size()) / step));
  constexpr int kTable = 4096;
  std::vector<double> window(kTable * kHalf + 2);
  for (size_t i = 0; i < window.size(); ++i) {
    const double x = 0.5 + 0.5 * double(i) / (kTable * kHalf);  // 0.5 .. 1 of the window
    const double w = 2 * M_PI * x;
    window[i] = 0.35875 - 0.48829 * std::cos(w) + 0.14128 * std::cos(2 * w) -
                0.01168 * std::cos(3 * w);
  }
  for (size_t m = 0; m < out.size(); ++m) {
    const double t = double(m) * step;
    const long base = static_cast<long>(t);
    const double frac = t - double(base);
    const double sinFrac = std::sin(M_PI * frac);
    double sum = 0.0;
    for (long k = base - kHalf + 1; k <= base + kHalf; ++k) {
      if (k < 0 || k >= static_cast<long>(y.size())) continue;
      const double d = t - double(k);
      const double sinc = std::fabs(d) < 1e-12 ? 1.0
                          : ((base - k) % 2 == 0 ? sinFrac : -sinFrac) / (M_PI * d);
      const double at = std::fabs(d) / kHalf * kTable * kHalf;
      const size_t i = static_cast<size_t>(at);
      sum += y[k] * sinc * (window[i] + (window[i + 1] - window[i]) * (at - double(i)));
    }
    out[m] = sum;
  }
  return out;
}

// Relative error in dB of `got` against `want` (channels compared together) after the best
// shared delay (whole frames, then refined to 1/1000 frame) and gain, over frequencies below
// `band` times Nyquist.
inline double ErrorDb(const std::vector<Signal>& got, const std::vector<Signal>& want,
                      double band = 1.0) {
  size_t length = 0;
  for (size_t c = 0; c < got.size(); ++c) length = std::max({length, got[c].size(), want[c].size()});
  uint32_t n = 2;
  while (n < 2 * length) n *= 2;
  FFTSETUP* setup = NxSig_PrepareFFT(nullptr, n, nullptr, 0);
  using Spectrum = std::vector<std::complex<double>>;
  auto spectrum = [&](const Signal& s) {
    Signal a(n);
    std::copy(s.begin(), s.end(), a.begin());
    NxSig_FFT(setup, a.data(), n, 1.0);
    Spectrum z(n / 2 + 1);
    z[0] = a[0];
    z[n / 2] = a[1];
    for (uint32_t k = 1; k < n / 2; ++k) z[k] = {a[2 * k], a[2 * k + 1]};
    return z;
  };
  std::vector<Spectrum> g, w;
  for (size_t c = 0; c < got.size(); ++c) {
    g.push_back(spectrum(got[c]));
    w.push_back(spectrum(want[c]));
  }
  NxSig_UnprepareFFT(setup);
  const uint32_t top = static_cast<uint32_t>(band * (n / 2));
  // Forward transforms here use e^(+i...), so a delay of d frames multiplies bin k by e^(+i w d).
  auto error = [&](double delay) {
    std::complex<double> cross = 0.0;
    double energyWant = 0.0;
    for (size_t c = 0; c < g.size(); ++c) {
      for (uint32_t k = 0; k <= top; ++k) {
        cross += g[c][k] * std::conj(w[c][k] * std::polar(1.0, 2 * M_PI * k * delay / n));
        energyWant += std::norm(w[c][k]);
      }
    }
    const double gain = cross.real() / energyWant;
    double residual = 0.0;
    for (size_t c = 0; c < g.size(); ++c) {
      for (uint32_t k = 0; k <= top; ++k) {
        residual += std::norm(g[c][k] - gain * w[c][k] * std::polar(1.0, 2 * M_PI * k * delay / n));
      }
    }
    return residual / (gain * gain * energyWant);
  };
  // Whole-frame delay: the peak of the in-band cross-correlation.
  Signal cross(n);
  for (size_t c = 0; c < g.size(); ++c) {
    for (uint32_t k = 0; k <= top; ++k) {
      const std::complex<double> p = g[c][k] * std::conj(w[c][k]);
      if (k == 0 || k == n / 2) {
        cross[k == 0 ? 0 : 1] += p.real();
      } else {
        cross[2 * k] += p.real();
        cross[2 * k + 1] += p.imag();
      }
    }
  }
  setup = NxSig_PrepareFFT(nullptr, n, nullptr, 0);
  NxSig_InverseFFT(setup, cross.data(), n, 1.0);
  NxSig_UnprepareFFT(setup);
  const size_t lag = static_cast<size_t>(std::max_element(cross.begin(), cross.end()) - cross.begin());
  double best = lag < n / 2 ? double(lag) : double(lag) - n;
  double bestError = error(best);
  for (double step = 0.5; step > 1e-3; step /= 2) {
    for (double d : {best - step, best + step}) {
      const double e = error(d);
      if (e < bestError) best = d, bestError = e;
    }
  }
  return 10.0 * std::log10(std::max(bestError, 1e-30));
}

}  // namespace recovery_test
