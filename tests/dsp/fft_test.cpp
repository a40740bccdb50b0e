#include "dsp/fft.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <algorithm>
#include <cstdio>
#include <memory>
#include <random>
#include <vector>

#include "dsp/fft_plan.h"

namespace {

using LComplex = std::complex<long double>;
const long double kTwoPi = 6.283185307179586476925286766559005768L;

struct SetupDeleter {
  void operator()(FFTSETUP* s) const { NxSig_UnprepareFFT(s); }
};
using SetupPtr = std::unique_ptr<FFTSETUP, SetupDeleter>;

SetupPtr prepare(uint32_t n, NxSigProgressCallback cb = nullptr, void* user = nullptr) {
  return SetupPtr(NxSig_PrepareFFT(user, n, cb, 0));
}

std::vector<float> randomSignal(size_t n, unsigned seed) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<float> dist(-1.0f, 1.0f);
  std::vector<float> x(n);
  for (float& v : x) v = dist(rng);
  return x;
}

// Full spectrum bins 0 .. N/2 of F_k = (1/N) sum x_n e^(+2 pi i k n / N), by the plain sum.
std::vector<LComplex> plainDft(const std::vector<float>& x) {
  const size_t n = x.size();
  std::vector<LComplex> roots(n);
  for (size_t j = 0; j < n; ++j) roots[j] = std::polar(1.0L, kTwoPi * j / n);
  std::vector<LComplex> f(n / 2 + 1);
  for (size_t k = 0; k <= n / 2; ++k) {
    long double re = 0;
    long double im = 0;
    size_t idx = 0;
    for (size_t i = 0; i < n; ++i) {
      re += x[i] * roots[idx].real();
      im += x[i] * roots[idx].imag();
      idx += k;
      if (idx >= n) idx -= n;
    }
    f[k] = LComplex(re / n, im / n);
  }
  return f;
}

// Relative RMS error of a packed spectrum against bins 0 .. N/2.
template <typename T>
double packedError(const std::vector<T>& packed, const std::vector<LComplex>& ref) {
  const size_t n = packed.size();
  long double err = 0;
  long double norm = 0;
  auto add = [&](long double got, long double want) {
    err += (got - want) * (got - want);
    norm += want * want;
  };
  add(packed[0], ref[0].real());
  add(packed[1], ref[n / 2].real());
  for (size_t k = 1; k < n / 2; ++k) {
    add(packed[2 * k], ref[k].real());
    add(packed[2 * k + 1], ref[k].imag());
  }
  return static_cast<double>(std::sqrt(err / norm));
}

template <typename T, typename U>
double relativeError(const std::vector<T>& got, const std::vector<U>& want) {
  long double err = 0;
  long double norm = 0;
  for (size_t i = 0; i < got.size(); ++i) {
    const long double d = static_cast<long double>(got[i]) - static_cast<long double>(want[i]);
    err += d * d;
    norm += static_cast<long double>(want[i]) * want[i];
  }
  return static_cast<double>(std::sqrt(err / norm));
}

double toDb(double e) { return 20.0 * std::log10(e > 0 ? e : 1e-300); }

int forward(FFTSETUP* s, std::vector<float>& b) {
  return NxSig_FFT_Float(s, b.data(), static_cast<uint32_t>(b.size()), 1.0f);
}
int forward(FFTSETUP* s, std::vector<double>& b) {
  return NxSig_FFT(s, b.data(), static_cast<uint32_t>(b.size()), 1.0);
}
int inverse(FFTSETUP* s, std::vector<float>& b) {
  return NxSig_InverseFFT_Float(s, b.data(), static_cast<uint32_t>(b.size()), 1.0f);
}
int inverse(FFTSETUP* s, std::vector<double>& b) {
  return NxSig_InverseFFT(s, b.data(), static_cast<uint32_t>(b.size()), 1.0);
}

// Packed spectrum bins 0 .. N/2 of x_n = sum_r amp_r cos(2 pi f_r n / N + phase_r), from the
// closed form of the geometric sum of each complex exponential. Frequencies are whole eighths of
// a bin so that the phase of every sample reduces exactly in integers.
struct Tone {
  uint64_t eighths;  // frequency in eighths of a bin
  double amp;
  double phase;
};

std::vector<LComplex> toneSpectrum(const std::vector<Tone>& tones, size_t n) {
  std::vector<LComplex> f(n / 2 + 1);
  const double pi = 3.14159265358979323846;
  const double dn = static_cast<double>(n);
  for (const Tone& t : tones) {
    for (int sign : {1, -1}) {
      const LComplex c = std::polar<long double>(t.amp / 2, sign * t.phase);
      const double g = sign * static_cast<double>(t.eighths) / 8;
      if (t.eighths % 8 == 0) {
        // A whole number of cycles lands in one bin (or in its mirror image, not stored).
        const uint64_t bin = (sign > 0 ? n - (t.eighths / 8) % n : (t.eighths / 8) % n) % n;
        if (bin <= n / 2) f[bin] += c;
        continue;
      }
      // (1/N) sum_n e^(i a n) = sin(N a/2) / (N sin(a/2)) e^(i (N-1) a/2), a = 2 pi (g+k)/N;
      // sin(pi (g+k)) = (-1)^k sin(pi g) and e^(i pi (g+k)) = (-1)^k e^(i pi g).
      const double gMod2 = sign * static_cast<double>(t.eighths % 16) / 8;
      const LComplex head = std::polar<long double>(std::sin(pi * gMod2), pi * gMod2) * c;
      for (size_t k = 0; k <= n / 2; ++k) {
        const double a = pi * (g + static_cast<double>(k)) / dn;
        const long double r = 1.0L / (dn * std::sin(a));
        f[k] += head * LComplex(r * std::cos(a), -r * std::sin(a));
      }
    }
  }
  return f;
}

std::vector<long double> toneSignal(const std::vector<Tone>& tones, size_t n) {
  std::vector<long double> x(n, 0.0L);
  const double twoPi = 6.28318530717958647692;
  const uint64_t period = 8 * static_cast<uint64_t>(n);
  for (const Tone& t : tones) {
    for (size_t i = 0; i < n; ++i) {
      const double cycles = static_cast<double>((t.eighths * i) % period) / period;
      x[i] += t.amp * std::cos(twoPi * cycles + t.phase);
    }
  }
  return x;
}

TEST(FftAccuracy, MatchesPlainDftUpTo4096) {
  for (uint32_t n = 2; n <= 4096; n *= 2) {
    SCOPED_TRACE(n);
    const std::vector<float> x = randomSignal(n, n);
    const std::vector<LComplex> ref = plainDft(x);
    SetupPtr s = prepare(n);
    ASSERT_TRUE(s);
    std::vector<float> f(x);
    std::vector<double> d(x.begin(), x.end());
    ASSERT_TRUE(forward(s.get(), f));
    ASSERT_TRUE(forward(s.get(), d));
    const double ef = packedError(f, ref);
    const double ed = packedError(d, ref);
    std::printf("N=%-5u float %7.1f dB  double %7.1f dB\n", n, toDb(ef), toDb(ed));
    EXPECT_LE(ef, 1e-6);
    EXPECT_LE(ed, 1e-13);
  }
}

TEST(FftAccuracy, MatchesAnalyticSpectraUpTo2Pow20) {
  for (uint32_t n = 8192; n <= (1u << 20); n *= 2) {
    SCOPED_TRACE(n);
    const std::vector<Tone> tones = {{3 * 8, 0.5, 0.3},
                                     {(n / 2 - 17) * 8, 0.2, 1.1},
                                     {(n / 7) * 8 + 3, 0.7, -0.4},
                                     {1234 * 8 + 4, 0.3, 2.0}};
    const std::vector<LComplex> ref = toneSpectrum(tones, n);
    SetupPtr s = prepare(n);
    ASSERT_TRUE(s);
    const std::vector<long double> x = toneSignal(tones, n);
    std::vector<float> f(x.begin(), x.end());
    std::vector<double> d(x.begin(), x.end());
    ASSERT_TRUE(forward(s.get(), f));
    ASSERT_TRUE(forward(s.get(), d));
    const double ef = packedError(f, ref);
    const double ed = packedError(d, ref);
    std::printf("N=%-8u float %7.1f dB  double %7.1f dB\n", n, toDb(ef), toDb(ed));
    EXPECT_LE(ef, 1e-6);
    EXPECT_LE(ed, 1e-13);
  }
}

// Round trip, linearity and Parseval on random signals of the large sizes.
TEST(FftAccuracy, RandomSignalIdentitiesUpTo2Pow20) {
  for (uint32_t n = 8192; n <= (1u << 20); n *= 4) {
    SCOPED_TRACE(n);
    SetupPtr s = prepare(n);
    ASSERT_TRUE(s);
    const std::vector<float> xf = randomSignal(n, 7);
    const std::vector<float> yf = randomSignal(n, 8);
    std::vector<double> x(xf.begin(), xf.end());
    std::vector<double> y(yf.begin(), yf.end());
    std::vector<double> mix(n);
    for (size_t i = 0; i < n; ++i) mix[i] = 0.75 * x[i] - 1.5 * y[i];

    std::vector<double> fx(x), fy(y), fmix(mix);
    ASSERT_TRUE(forward(s.get(), fx));
    ASSERT_TRUE(forward(s.get(), fy));
    ASSERT_TRUE(forward(s.get(), fmix));
    std::vector<double> combined(n);
    for (size_t i = 0; i < n; ++i) combined[i] = 0.75 * fx[i] - 1.5 * fy[i];
    EXPECT_LE(relativeError(fmix, combined), 1e-13);

    long double energy = 0;
    for (double v : x) energy += static_cast<long double>(v) * v;
    long double spectral = static_cast<long double>(fx[0]) * fx[0] +
                           static_cast<long double>(fx[1]) * fx[1];
    for (size_t i = 2; i < n; ++i) spectral += 2.0L * fx[i] * fx[i];
    EXPECT_NEAR(static_cast<double>(spectral * n / energy), 1.0, 1e-13);

    ASSERT_TRUE(inverse(s.get(), fx));
    EXPECT_LE(relativeError(fx, x), 1e-13);
    std::vector<float> rf(xf);
    ASSERT_TRUE(forward(s.get(), rf));
    ASSERT_TRUE(inverse(s.get(), rf));
    EXPECT_LE(relativeError(rf, xf), 1e-6);
  }
}

TEST(FftBasics, ImpulseGivesFlatSpectrum) {
  for (uint32_t n : {16u, 1024u}) {
    SetupPtr s = prepare(n);
    std::vector<double> d(n, 0.0);
    std::vector<float> f(n, 0.0f);
    d[0] = 1.0;
    f[0] = 1.0f;
    ASSERT_TRUE(forward(s.get(), d));
    ASSERT_TRUE(forward(s.get(), f));
    for (size_t k = 0; k < n; ++k) {
      const double want = (k < 2 || k % 2 == 0) ? 1.0 / n : 0.0;
      EXPECT_DOUBLE_EQ(d[k], want) << "N=" << n << " index " << k;
      EXPECT_FLOAT_EQ(f[k], static_cast<float>(want)) << "N=" << n << " index " << k;
    }
  }
}

TEST(FftBasics, ScaleArgumentsScaleBothDirections) {
  const uint32_t n = 64;
  SetupPtr s = prepare(n);
  const std::vector<float> x = randomSignal(n, 3);
  std::vector<double> plain(x.begin(), x.end());
  std::vector<double> scaled(plain);
  ASSERT_TRUE(NxSig_FFT(s.get(), plain.data(), n, 1.0));
  ASSERT_TRUE(NxSig_FFT(s.get(), scaled.data(), n, 3.0));
  for (size_t i = 0; i < n; ++i) EXPECT_NEAR(scaled[i], 3.0 * plain[i], 1e-15);
  ASSERT_TRUE(NxSig_InverseFFT(s.get(), scaled.data(), n, 0.5));
  for (size_t i = 0; i < n; ++i) EXPECT_NEAR(scaled[i], 1.5 * x[i], 1e-14);
}

TEST(FftBasics, RejectsBadSizesAndArguments) {
  for (uint32_t bad : {0u, 1u, 3u, 48u, 1000u, 1u << 25}) {
    EXPECT_EQ(NxSig_PrepareFFT(nullptr, bad, nullptr, 0), nullptr) << bad;
  }
  SetupPtr s = prepare(64);
  std::vector<double> d(128, 1.0);
  std::vector<float> f(128, 1.0f);
  EXPECT_EQ(NxSig_FFT(s.get(), d.data(), 128, 1.0), 0);
  EXPECT_EQ(NxSig_FFT(s.get(), d.data(), 48, 1.0), 0);
  EXPECT_EQ(NxSig_InverseFFT(s.get(), d.data(), 32, 1.0), 0);
  EXPECT_EQ(NxSig_FFT_Float(s.get(), f.data(), 128, 1.0f), 0);
  EXPECT_EQ(NxSig_InverseFFT_Float(s.get(), f.data(), 0, 1.0f), 0);
  EXPECT_EQ(NxSig_FFT(nullptr, d.data(), 64, 1.0), 0);
  EXPECT_EQ(NxSig_FFT(s.get(), nullptr, 64, 1.0), 0);
  EXPECT_EQ(NxSig_FFT_Complex_Float(s.get(), f.data(), 64, 1.0f), 0);
  EXPECT_EQ(NxSig_FFT_Interleaved_Float(s.get(), f.data(), 64, 3, 1.0f), 0);
  for (double v : d) ASSERT_EQ(v, 1.0);
  for (float v : f) ASSERT_EQ(v, 1.0f);
  EXPECT_EQ(NxSig_UnprepareFFT(nullptr), 0);
}

TEST(FftSetup, FieldsAfterPrepare) {
  int token = 0;
  auto cb = [](void*, FFTSETUP*, uint32_t, uint32_t) { return 1; };
  SetupPtr s = prepare(1024, cb, &token);
  ASSERT_TRUE(s);
  EXPECT_EQ(s->userData, &token);
  EXPECT_EQ(s->size, 1024u);
  EXPECT_EQ(s->stepsDone, 0u);
  EXPECT_EQ(s->stepsTotal, 11u);
  EXPECT_EQ(s->progressInterval, 128u);
  EXPECT_EQ(s->hasWorkBuffer, 0u);
  EXPECT_EQ(s->workBuffer, nullptr);
  EXPECT_EQ(s->librarySpec, nullptr);
}

TEST(FftSetup, ReprepareResizesInPlace) {
  SetupPtr s = prepare(64);
  FFTSETUP* raw = s.get();
  for (uint32_t n : {4096u, 16u, 16u, 256u}) {
    SCOPED_TRACE(n);
    ASSERT_EQ(NxSig_ReprepareFFT(raw, nullptr, n, nullptr, 0), raw);
    EXPECT_EQ(raw->size, n);
    const std::vector<float> x = randomSignal(n, 11);
    std::vector<double> d(x.begin(), x.end());
    ASSERT_TRUE(forward(raw, d));
    EXPECT_LE(packedError(d, plainDft(x)), 1e-13);
  }
  // A refused size leaves the record as it was.
  EXPECT_EQ(NxSig_ReprepareFFT(raw, nullptr, 100, nullptr, 0), nullptr);
  EXPECT_EQ(raw->size, 256u);
  std::vector<double> d(256, 0.5);
  EXPECT_TRUE(forward(raw, d));
}

TEST(FftSetup, UnalignedBuffersGiveTheSameResult) {
  const uint32_t n = 2048;
  SetupPtr s = prepare(n);
  const std::vector<float> x = randomSignal(n, 5);
  std::vector<float> alignedF(x);
  std::vector<double> alignedD(x.begin(), x.end());
  ASSERT_TRUE(forward(s.get(), alignedF));
  ASSERT_TRUE(forward(s.get(), alignedD));
  for (size_t offset = 1; offset < 4; ++offset) {
    std::vector<float> bf(n + offset);
    std::vector<double> bd(n + offset);
    std::copy(x.begin(), x.end(), bf.begin() + offset);
    std::copy(x.begin(), x.end(), bd.begin() + offset);
    ASSERT_TRUE(NxSig_FFT_Float(s.get(), bf.data() + offset, n, 1.0f));
    ASSERT_TRUE(NxSig_FFT(s.get(), bd.data() + offset, n, 1.0));
    for (size_t i = 0; i < n; ++i) {
      ASSERT_EQ(bf[i + offset], alignedF[i]);
      ASSERT_EQ(bd[i + offset], alignedD[i]);
    }
    ASSERT_TRUE(NxSig_InverseFFT_Float(s.get(), bf.data() + offset, n, 1.0f));
    EXPECT_LE(relativeError(std::vector<float>(bf.begin() + offset, bf.end()), x), 1e-6);
  }
}

// Every kernel family this processor runs agrees with the portable one.
TEST(FftSetup, AllKernelFamiliesAgree) {
  const FftKernels best = fftBestKernels();
  for (uint32_t n : {2u, 8u, 16u, 32u, 64u, 512u, 8192u, 32768u}) {
    SCOPED_TRACE(n);
    SetupPtr s = prepare(n);
    const std::vector<float> x = randomSignal(n, 9);
    s->plan->kernels = FftKernels::Scalar;
    std::vector<float> sf(x);
    std::vector<double> sd(x.begin(), x.end());
    ASSERT_TRUE(forward(s.get(), sf));
    ASSERT_TRUE(forward(s.get(), sd));
    std::vector<float> sfi(sf);
    std::vector<double> sdi(sd);
    ASSERT_TRUE(inverse(s.get(), sfi));
    ASSERT_TRUE(inverse(s.get(), sdi));
    for (int k = 1; k <= static_cast<int>(best); ++k) {
      SCOPED_TRACE(k);
      s->plan->kernels = static_cast<FftKernels>(k);
      std::vector<float> vf(x);
      std::vector<double> vd(x.begin(), x.end());
      ASSERT_TRUE(forward(s.get(), vf));
      ASSERT_TRUE(forward(s.get(), vd));
      EXPECT_LE(relativeError(vf, sf), 1e-6);
      EXPECT_LE(relativeError(vd, sd), 1e-14);
      ASSERT_TRUE(inverse(s.get(), vf));
      ASSERT_TRUE(inverse(s.get(), vd));
      EXPECT_LE(relativeError(vf, sfi), 1e-6);
      EXPECT_LE(relativeError(vd, sdi), 1e-14);
    }
  }
}

// Multiplies two packed spectra: the second comes in through the context.
template <typename T>
void multiplyPacked(T* a, const T* b, uint32_t n) {
  a[0] *= b[0];
  a[1] *= b[1];
  for (uint32_t k = 2; k < n; k += 2) {
    const T re = a[k] * b[k] - a[k + 1] * b[k + 1];
    const T im = a[k] * b[k + 1] + a[k + 1] * b[k];
    a[k] = re;
    a[k + 1] = im;
  }
}

TEST(FftProcess, ProductOfSpectraIsCircularConvolutionOverN) {
  const uint32_t n = 256;
  SetupPtr s = prepare(n);
  const std::vector<float> xf = randomSignal(n, 21);
  const std::vector<float> hf = randomSignal(n, 22);
  std::vector<double> direct(n, 0.0);
  for (size_t i = 0; i < n; ++i)
    for (size_t j = 0; j < n; ++j) direct[(i + j) % n] += double(xf[i]) * hf[j] / n;

  std::vector<double> h(hf.begin(), hf.end());
  ASSERT_TRUE(forward(s.get(), h));
  std::vector<double> x(xf.begin(), xf.end());
  auto mul = [](FFTSETUP*, double* buf, uint32_t len, void* ctx) {
    multiplyPacked(buf, static_cast<const double*>(ctx), len);
    return 1;
  };
  ASSERT_EQ(NxSig_FFTProcess(s.get(), x.data(), n, 1.0, 1.0, mul, h.data()), 1);
  EXPECT_LE(relativeError(x, direct), 1e-13);
  EXPECT_EQ(s->stepsDone, 2u);

  std::vector<float> hs(hf);
  ASSERT_TRUE(forward(s.get(), hs));
  std::vector<float> xs(xf);
  auto mulF = [](FFTSETUP*, float* buf, uint32_t len, void* ctx) {
    multiplyPacked(buf, static_cast<const float*>(ctx), len);
    return 1;
  };
  // An inverse scale of N gives the convolution itself.
  ASSERT_EQ(NxSig_FFTProcess_Float(s.get(), xs.data(), n, 1.0f, float(n), mulF, hs.data()), 1);
  for (double& v : direct) v *= n;
  EXPECT_LE(relativeError(xs, direct), 1e-6);
}

struct ProgressLog {
  int calls = 0;
  int answer = 1;
  uint32_t lastDone = 0;
  uint32_t lastTotal = 0;
};

int logProgress(void* user, FFTSETUP*, uint32_t done, uint32_t total) {
  auto* log = static_cast<ProgressLog*>(user);
  ++log->calls;
  log->lastDone = done;
  log->lastTotal = total;
  return log->answer;
}

int keepSpectrum(FFTSETUP*, double*, uint32_t, void*) { return 1; }

TEST(FftProcess, ProgressCallbackRunsWhenDueAndCanAbort) {
  ProgressLog log;
  SetupPtr s = prepare(64, logProgress, &log);
  std::vector<double> x(64, 0.25);
  // Not yet due: the first interval has not passed.
  ASSERT_EQ(NxSig_FFTProcess(s.get(), x.data(), 64, 1.0, 1.0, keepSpectrum, nullptr), 1);
  EXPECT_EQ(log.calls, 0);
  EXPECT_EQ(s->stepsDone, 2u);

  // Make the tick due now; it moves one interval on, so only the first step reports.
  s->nextProgressTick -= 10 * s->progressInterval;
  ASSERT_EQ(NxSig_FFTProcess(s.get(), x.data(), 64, 1.0, 1.0, keepSpectrum, nullptr), 1);
  EXPECT_GE(log.calls, 1);
  EXPECT_EQ(log.lastTotal, 7u);
  EXPECT_GE(log.lastDone, 3u);
  for (double v : x) EXPECT_NEAR(v, 0.25, 1e-15);

  log.answer = 0;
  s->nextProgressTick -= 10 * s->progressInterval;
  EXPECT_EQ(NxSig_FFTProcess(s.get(), x.data(), 64, 1.0, 1.0, keepSpectrum, nullptr), 0);
}

TEST(FftProcess, ProcessCallbackReturningZeroAborts) {
  SetupPtr s = prepare(32);
  std::vector<double> d(32, 1.0);
  std::vector<float> f(32, 1.0f);
  auto stop = [](FFTSETUP*, double*, uint32_t, void*) { return 0; };
  auto stopF = [](FFTSETUP*, float*, uint32_t, void*) { return 0; };
  EXPECT_EQ(NxSig_FFTProcess(s.get(), d.data(), 32, 1.0, 1.0, stop, nullptr), 0);
  EXPECT_EQ(NxSig_FFTProcess_Float(s.get(), f.data(), 32, 1.0f, 1.0f, stopF, nullptr), 0);
  EXPECT_EQ(NxSig_FFTProcess(s.get(), d.data(), 16, 1.0, 1.0, nullptr, nullptr), 0);
  EXPECT_EQ(NxSig_FFTProcess_Float(s.get(), f.data(), 64, 1.0f, 1.0f, nullptr, nullptr), 0);
}

TEST(FftOtherForms, InterleavedStereoMatchesTwoMonoTransforms) {
  const uint32_t n = 1024;
  SetupPtr s = prepare(n);
  const std::vector<float> left = randomSignal(n, 31);
  const std::vector<float> right = randomSignal(n, 32);
  std::vector<float> both(2 * n);
  for (size_t i = 0; i < n; ++i) {
    both[2 * i] = left[i];
    both[2 * i + 1] = right[i];
  }
  std::vector<float> l(left), r(right);
  ASSERT_TRUE(forward(s.get(), l));
  ASSERT_TRUE(forward(s.get(), r));
  ASSERT_TRUE(NxSig_FFT_Interleaved_Float(s.get(), both.data(), n, 2, 1.0f));
  for (size_t i = 0; i < n; ++i) {
    ASSERT_EQ(both[2 * i], l[i]);
    ASSERT_EQ(both[2 * i + 1], r[i]);
  }
  ASSERT_TRUE(NxSig_InverseFFT_Interleaved_Float(s.get(), both.data(), n, 2, 1.0f));
  for (size_t i = 0; i < n; ++i) {
    ASSERT_NEAR(both[2 * i], left[i], 1e-5);
    ASSERT_NEAR(both[2 * i + 1], right[i], 1e-5);
  }
  std::vector<float> mono(left);
  auto keep = [](FFTSETUP*, float*, uint32_t, void*) { return 1; };
  ASSERT_EQ(NxSig_FFTProcess_Interleaved_Float(s.get(), mono.data(), n, 1, 1.0f, 1.0f, keep,
                                               nullptr),
            1);
  EXPECT_LE(relativeError(mono, left), 1e-6);
}

TEST(FftOtherForms, ComplexTransformMatchesPlainDft) {
  for (uint32_t len : {1u, 2u, 8u, 64u, 512u}) {
    SCOPED_TRACE(len);
    SetupPtr s = prepare(2 * len);
    const std::vector<float> z = randomSignal(2 * len, len);
    std::vector<float> buf(z);
    ASSERT_TRUE(NxSig_FFT_Complex_Float(s.get(), buf.data(), len, 1.0f));
    std::vector<long double> ref(2 * len);
    for (size_t k = 0; k < len; ++k) {
      LComplex acc = 0;
      for (size_t i = 0; i < len; ++i)
        acc += LComplex(z[2 * i], z[2 * i + 1]) * std::polar(1.0L, kTwoPi * ((k * i) % len) / len);
      ref[2 * k] = acc.real() / len;
      ref[2 * k + 1] = acc.imag() / len;
    }
    EXPECT_LE(relativeError(buf, ref), 1e-6);
    ASSERT_TRUE(NxSig_InverseFFT_Complex_Float(s.get(), buf.data(), len, 1.0f));
    EXPECT_LE(relativeError(buf, z), 1e-6);
  }
}

}  // namespace

// The largest size impulse recovery uses: a delayed impulse is a pure phase ramp.
TEST(FftAccuracy, DelayedImpulseAt2Pow23) {
  const uint32_t n = 1u << 23;
  SetupPtr s = prepare(n);
  ASSERT_TRUE(s);
  std::vector<double> x(n, 0.0);
  const uint32_t delay = 12345;
  x[delay] = 1.0;
  ASSERT_TRUE(forward(s.get(), x));
  long double err = 0;
  for (uint32_t k = 1; k < n / 2; k += 997) {
    const LComplex want = std::polar(1.0L / n, kTwoPi * ((uint64_t{k} * delay) % n) / n);
    err = std::max<long double>(err, std::abs(LComplex(x[2 * k], x[2 * k + 1]) - want) * n);
  }
  EXPECT_LE(static_cast<double>(err), 1e-12);
  ASSERT_TRUE(inverse(s.get(), x));
  for (uint32_t i = 0; i < n; ++i) ASSERT_NEAR(x[i], i == delay ? 1.0 : 0.0, 1e-13) << i;
}
