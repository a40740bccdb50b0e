#include "dsp/fft.h"

#include <gtest/gtest.h>

#include <complex>
#include <memory>

#include "dsp/fft_plan.h"
#include "tests/dsp/engine_test_support.h"

namespace {

using enginetest::ErrorDb;
using LComplex = std::complex<long double>;
const long double kTwoPi = 6.283185307179586476925286766559005768L;

struct SetupDeleter {
  void operator()(FFTSETUP* s) const { NxSig_UnprepareFFT(s); }
};
using SetupPtr = std::unique_ptr<FFTSETUP, SetupDeleter>;

SetupPtr Prepare(uint32_t n) { return SetupPtr(NxSig_PrepareFFT(nullptr, n, nullptr, 0)); }

std::vector<float> Noise(size_t n, uint32_t seed) { return enginetest::Noise(n, seed, 1.0f); }

int Forward(FFTSETUP* s, std::vector<float>& b) {
  return NxSig_FFT_Float(s, b.data(), static_cast<uint32_t>(b.size()), 1.0f);
}
int Forward(FFTSETUP* s, std::vector<double>& b) {
  return NxSig_FFT(s, b.data(), static_cast<uint32_t>(b.size()), 1.0);
}
int Inverse(FFTSETUP* s, std::vector<double>& b) {
  return NxSig_InverseFFT(s, b.data(), static_cast<uint32_t>(b.size()), 1.0);
}

// scale * bins 0 .. N/2 of a whole spectrum, in the packed layout.
std::vector<long double> Packed(const std::vector<LComplex>& f, long double scale) {
  const size_t n = f.size();
  std::vector<long double> p(n);
  p[0] = scale * f[0].real();
  p[1] = scale * f[n / 2].real();
  for (size_t k = 1; k < n / 2; ++k) {
    p[2 * k] = scale * f[k].real();
    p[2 * k + 1] = scale * f[k].imag();
  }
  return p;
}

// F_k = (1/N) sum x_n e^(+2 pi i k n / N) for every k, by the textbook radix-2 transform in long
// double (bit-reversed order, then butterflies with roots exact to long double).
std::vector<LComplex> ReferenceDft(std::vector<LComplex> x) {
  const size_t n = x.size();
  for (size_t i = 1, j = 0; i < n; ++i) {
    size_t bit = n >> 1;
    for (; j & bit; bit >>= 1) j ^= bit;
    j ^= bit;
    if (i < j) std::swap(x[i], x[j]);
  }
  std::vector<LComplex> roots(n / 2 + 1);
  for (size_t j = 0; j < roots.size(); ++j) roots[j] = std::polar(1.0L, kTwoPi * j / n);
  for (size_t len = 2; len <= n; len *= 2) {
    for (size_t i = 0; i < n; i += len) {
      for (size_t j = 0; j < len / 2; ++j) {
        const LComplex w = roots[j * (n / len)];
        const LComplex v = x[i + j + len / 2];  // multiplied by hand: no infinity checks
        const LComplex t(w.real() * v.real() - w.imag() * v.imag(),
                         w.real() * v.imag() + w.imag() * v.real());
        x[i + j + len / 2] = x[i + j] - t;
        x[i + j] += t;
      }
    }
  }
  for (LComplex& v : x) v /= static_cast<long double>(n);
  return x;
}

std::vector<long double> RealSpectrum(const std::vector<float>& x, long double scale) {
  return Packed(ReferenceDft(std::vector<LComplex>(x.begin(), x.end())), scale);
}

// Every size and every kernel family this processor runs: the spectrum (forward scale 2) against
// the reference, then the inverse (scale 1/2) back to the signal; the buffers lie 0 to 3 samples
// past an aligned address in turn.
TEST(FftAccuracy, EverySizeAgainstTheReferenceAndRoundTrip) {
  for (uint32_t n = 2, offset = 0; n <= (1u << 20); n *= 2, offset = (offset + 1) % 4) {
    const std::vector<float> x = Noise(n, n);
    const std::vector<long double> want = RealSpectrum(x, 2);
    SetupPtr s = Prepare(n);
    ASSERT_TRUE(s);
    for (int k = 0; k <= static_cast<int>(fftBestKernels()); ++k) {
      s->plan->kernels = static_cast<FftKernels>(k);
      std::vector<float> fb(offset + n);
      std::vector<double> db(offset + n);
      float* const f = fb.data() + offset;
      double* const d = db.data() + offset;
      std::copy(x.begin(), x.end(), f);
      std::copy(x.begin(), x.end(), d);
      ASSERT_TRUE(NxSig_FFT_Float(s.get(), f, n, 2.0f) && NxSig_FFT(s.get(), d, n, 2.0));
      const double ef = ErrorDb(std::vector<float>(f, f + n), want);
      const double ed = ErrorDb(std::vector<double>(d, d + n), want);
      ASSERT_TRUE(NxSig_InverseFFT_Float(s.get(), f, n, 0.5f));
      ASSERT_TRUE(NxSig_InverseFFT(s.get(), d, n, 0.5));
      const double rf = ErrorDb(std::vector<float>(f, f + n), x);
      const double rd = ErrorDb(std::vector<double>(d, d + n), x);
      EXPECT_TRUE(ef < -120.0 && ed < -260.0 && rf < -120.0 && rd < -260.0)
          << "N=" << n << " family " << k << ": spectrum float " << ef << " double " << ed
          << " dB, round trip " << rf << " " << rd << " dB";
    }
  }
}

// The largest size impulse recovery uses: a delayed impulse is a pure phase ramp.
TEST(FftAccuracy, DelayedImpulseAt2Pow23) {
  const uint32_t n = 1u << 23;
  const uint32_t delay = 12345;
  SetupPtr s = Prepare(n);
  ASSERT_TRUE(s);
  std::vector<double> x(n, 0.0);
  x[delay] = 1.0;
  ASSERT_TRUE(Forward(s.get(), x));
  for (uint32_t k = 1; k < n / 2; k += 997) {
    const LComplex want = std::polar(1.0L / n, kTwoPi * ((uint64_t{k} * delay) % n) / n);
    ASSERT_LE(static_cast<double>(std::abs(LComplex(x[2 * k], x[2 * k + 1]) - want) * n), 1e-12);
  }
  ASSERT_TRUE(Inverse(s.get(), x));
  for (uint32_t i = 0; i < n; ++i) ASSERT_NEAR(x[i], i == delay ? 1.0 : 0.0, 1e-13) << i;
}

TEST(FftSetup, BadSizesAndArgumentsAreRefusedWithoutTouchingTheBuffer) {
  for (uint32_t bad : {0u, 1u, 3u, 48u, 1000u, 1u << 25}) {
    EXPECT_EQ(NxSig_PrepareFFT(nullptr, bad, nullptr, 0), nullptr) << bad;
  }
  SetupPtr s = Prepare(64);
  std::vector<double> d(128, 1.0);
  std::vector<float> f(128, 1.0f);
  EXPECT_EQ(NxSig_FFT(s.get(), d.data(), 128, 1.0), 0);
  EXPECT_EQ(NxSig_InverseFFT(s.get(), d.data(), 32, 1.0), 0);
  EXPECT_EQ(NxSig_FFT_Float(s.get(), f.data(), 128, 1.0f), 0);
  EXPECT_EQ(NxSig_FFT(nullptr, d.data(), 64, 1.0), 0);
  EXPECT_EQ(NxSig_FFT(s.get(), nullptr, 64, 1.0), 0);
  EXPECT_EQ(NxSig_FFT_Complex_Float(s.get(), f.data(), 64, 1.0f), 0);
  EXPECT_EQ(NxSig_FFT_Interleaved_Float(s.get(), f.data(), 64, 3, 1.0f), 0);
  EXPECT_EQ(NxSig_FFTProcess(s.get(), d.data(), 16, 1.0, 1.0, nullptr, nullptr), 0);
  // A float-only record has no double tables.
  SetupPtr lean(NxSig_PrepareFFT_Float(nullptr, 64, nullptr, 0));
  EXPECT_EQ(NxSig_FFT(lean.get(), d.data(), 64, 1.0), 0);
  EXPECT_EQ(NxSig_InverseFFT(lean.get(), d.data(), 64, 1.0), 0);
  EXPECT_EQ(d, std::vector<double>(128, 1.0));
  EXPECT_EQ(f, std::vector<float>(128, 1.0f));
  EXPECT_EQ(NxSig_UnprepareFFT(nullptr), 0);
}

TEST(FftOtherForms, InterleavedStereoIsTwoMonoTransforms) {
  const uint32_t n = 1024;
  SetupPtr s = Prepare(n);
  std::vector<float> ch[2] = {Noise(n, 31), Noise(n, 32)};
  std::vector<float> both(2 * n);
  for (size_t i = 0; i < 2 * n; ++i) both[i] = ch[i % 2][i / 2];
  const std::vector<float> input = both;
  ASSERT_TRUE(NxSig_FFT_Interleaved_Float(s.get(), both.data(), n, 2, 1.0f));
  for (int c = 0; c < 2; ++c) {
    std::vector<float> mono = ch[c];
    ASSERT_TRUE(Forward(s.get(), mono));
    EXPECT_EQ(enginetest::As<float>(enginetest::Channel(both, 2, c)), mono);
  }
  ASSERT_TRUE(NxSig_InverseFFT_Interleaved_Float(s.get(), both.data(), n, 2, 1.0f));
  EXPECT_LT(ErrorDb(both, input), -120.0);
}

TEST(FftOtherForms, ComplexTransformMatchesTheReference) {
  for (uint32_t len : {1u, 2u, 8u, 64u, 512u}) {
    SetupPtr s = Prepare(2 * len);
    const std::vector<float> z = Noise(2 * len, len);
    std::vector<float> buf = z;
    ASSERT_TRUE(NxSig_FFT_Complex_Float(s.get(), buf.data(), len, 1.0f));
    std::vector<LComplex> pairs(len);
    for (size_t i = 0; i < len; ++i) pairs[i] = LComplex(z[2 * i], z[2 * i + 1]);
    std::vector<long double> want;
    for (const LComplex& v : ReferenceDft(pairs)) want.insert(want.end(), {v.real(), v.imag()});
    EXPECT_LT(ErrorDb(buf, want), -120.0) << len;
    ASSERT_TRUE(NxSig_InverseFFT_Complex_Float(s.get(), buf.data(), len, 1.0f));
    EXPECT_LT(ErrorDb(buf, z), -120.0) << len;
  }
}

}  // namespace
