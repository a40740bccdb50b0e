#include "dsp/convolver.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "tests/dsp/engine_test_support.h"

namespace {

using namespace enginetest;

constexpr uint32_t kRate = 10000;

struct Layout {
  uint32_t in;
  uint32_t out;
  uint32_t impulse;
};

// Everything one engine run needs, with the reference wet signal per output
// channel built by direct convolution with h / |h| at the wet level.
struct ExactRun {
  MemoryImpulse source;
  ConvolverState state;
  std::vector<double> input;  // interleaved
  Layout layout;
  uint32_t frames;

  ExactRun(Layout l, uint32_t frameCount, uint32_t impulseFrames, uint32_t seed)
      : layout(l), frames(frameCount) {
    source.rate = kRate;
    source.channels = l.impulse;
    source.channel[0] = Noise(impulseFrames, seed);
    source.channel[1] = Noise(impulseFrames, seed + 1);
    const std::vector<float> x = Noise(size_t(frameCount) * l.in, seed + 2);
    input.assign(x.begin(), x.end());
  }

  template <typename T>
  LONG Prepare(const PlugInParams& p) {
    const StreamShape in{layout.in, kRate, sizeof(T) * 8};
    const StreamShape out{layout.out, kRate, sizeof(T) * 8};
    return PrepareImpulse(state, p, true, in, out, NXW("memory"), source, nullptr);
  }

  // Wet reference of output channel k with input balance gains.
  std::vector<double> Wet(uint32_t k, double wetGain, const double balance[2]) const {
    const bool stereoImpulse = layout.impulse == 2 && layout.out == 2;
    std::vector<double> h0(source.channel[0].begin(), source.channel[0].end());
    std::vector<double> h1(source.channel[1].begin(), source.channel[1].end());
    double norm = Norm(h0);
    if (stereoImpulse) norm = std::max(norm, Norm(h1));
    std::vector<double> h = (stereoImpulse && k == 1) ? h1 : h0;
    for (double& v : h) v *= wetGain / norm;
    std::vector<double> x = Channel(input, layout.in, layout.in == 2 ? k : 0);
    for (double& v : x) v *= balance[k];
    return Convolve(x, h);
  }
};

template <typename T>
std::vector<T> As(const std::vector<double>& v) {
  return std::vector<T>(v.begin(), v.end());
}

template <typename T>
double ExactErrorDb(Layout layout, uint32_t frames, uint32_t seed) {
  ExactRun run(layout, frames, 37, seed);
  PlugInParams p = BaseParams(5);
  p.wetOut = -35;
  EXPECT_EQ(run.Prepare<T>(p), kConvolverOk);
  const std::vector<T> out = Stream(run.state, As<T>(run.input), 100, seed + 7);
  // The final block carries the filled part plus the whole impulse: frames + L.
  EXPECT_EQ(out.size(), size_t(frames + 37) * layout.out);
  const double balance[2] = {1.0, 1.0};
  double worst = -400.0;
  for (uint32_t k = 0; k < layout.out; ++k) {
    worst =
        std::max(worst, ErrorDb(Channel(out, layout.out, k), run.Wet(k, LevelGain(-35), balance)));
  }
  return worst;
}

TEST(ConvolverExact, QualityFiveMatchesDirectConvolutionForEveryLayout) {
  const Layout layouts[] = {{1, 1, 1}, {2, 2, 2}, {2, 2, 1}, {1, 2, 2}, {1, 2, 1}, {2, 1, 2}};
  // 500 frames end in a partly filled block; 128 fill exactly two blocks of 64.
  for (uint32_t frames : {500u, 128u}) {
    for (const Layout& l : layouts) {
      const double d = ExactErrorDb<double>(l, frames, 11 * l.in + 3 * l.out + l.impulse);
      const double f = ExactErrorDb<float>(l, frames, 11 * l.in + 3 * l.out + l.impulse);
      std::printf(
          "q5 in %u out %u impulse %u frames %u: double %.1f dB, float "
          "%.1f dB\n",
          l.in, l.out, l.impulse, frames, d, f);
      EXPECT_LT(d, -120.0);
      EXPECT_LT(f, -100.0);
    }
  }
}

TEST(ConvolverExact, SingleFrameCallsGiveTheSameOutput) {
  ExactRun run({2, 2, 2}, 300, 37, 5);
  PlugInParams p = BaseParams(5);
  ASSERT_EQ(run.Prepare<double>(p), kConvolverOk);
  const std::vector<double> single = Stream(run.state, run.input, 1, 1);
  ASSERT_EQ(run.Prepare<double>(p), kConvolverOk);
  const std::vector<double> large = Stream(run.state, run.input, 1000, 2);
  ASSERT_EQ(single.size(), large.size());
  for (size_t i = 0; i < single.size(); ++i) ASSERT_DOUBLE_EQ(single[i], large[i]) << i;
}

// Qualities 1-4: the impulse is read at the processing rate (no resampling),
// normalised whole, then cut to N/2 samples with the last fifth faded; at half
// rate the first frame of each pair is convolved and each wet value held for
// two frames, while the dry signal keeps every frame.
struct LowQualityCase {
  LONG quality;
  Layout layout;
  bool dry;
};

double LowQualityErrorDb(const LowQualityCase& c, uint32_t frames) {
  const int32_t rd = c.quality <= 3 ? 2 : 1;
  const uint32_t used = 100;
  ExactRun run(c.layout, frames, used, 40 + c.quality);
  run.source.rate = kRate / rd;
  PlugInParams p = BaseParams(c.quality);
  p.wetOut = 0;
  p.dryOut = c.dry ? -40 : -800;
  EXPECT_EQ(run.Prepare<double>(p), kConvolverOk);
  const std::vector<double> out = Stream(run.state, run.input, 64, 9);

  const bool monoImpulse = c.quality == 1 && c.layout.in == 2 && c.layout.out == 2;
  const int32_t pf = c.quality == 1 ? (c.layout.in == 1 ? 16 : 8)
                                    : (c.quality == 2 ? 8 : (c.quality == 3 ? 4 : 2));
  const int64_t length = int64_t(used) * rd;
  int64_t pow2 = 1;
  while (pow2 < 2 * length - 1) pow2 <<= 1;
  const int32_t n = std::max<int32_t>(static_cast<int32_t>(pow2 / pf), 16);
  const int32_t half = n / 2;
  const int32_t m = static_cast<int32_t>(0.2 * half);
  const bool stereoImpulse = c.layout.impulse == 2 && c.layout.out == 2 && !monoImpulse;
  double norm = Norm(Channel(run.source.channel[0], 1, 0));
  if (stereoImpulse) norm = std::max(norm, Norm(Channel(run.source.channel[1], 1, 0)));
  const uint32_t processingFrames = (frames + rd - 1) / rd;
  const uint32_t tail = std::min<uint32_t>(used, half);
  EXPECT_EQ(out.size(), size_t(processingFrames + tail) * rd * c.layout.out);
  const double d = c.dry ? LevelGain(-40) : 0.0;
  double worst = -400.0;
  for (uint32_t k = 0; k < c.layout.out; ++k) {
    std::vector<double> h;
    for (int32_t i = 0; i < half && i < int32_t(used); ++i) {
      float v = run.source.channel[stereoImpulse ? k : 0][i];
      if (i >= half - m) v *= static_cast<float>(half - i) / static_cast<float>(m);
      h.push_back(v / norm);
    }
    const std::vector<double> left = Channel(run.input, c.layout.in, 0);
    const std::vector<double> own = Channel(run.input, c.layout.in, c.layout.in == 2 ? k : 0);
    std::vector<double> xp;
    for (uint32_t j = 0; j < frames; j += rd) {
      xp.push_back(monoImpulse ? (left[j] + Channel(run.input, 2, 1)[j]) * 0.5 : own[j]);
    }
    const std::vector<double> yp = Convolve(xp, h);
    std::vector<double> want(out.size() / c.layout.out, 0.0);
    for (size_t j = 0; j < want.size(); ++j) {
      want[j] = (j / rd < yp.size() ? yp[j / rd] : 0.0) + (j < own.size() ? d * own[j] : 0.0);
    }
    worst = std::max(worst, ErrorDb(Channel(out, c.layout.out, k), want));
  }
  return worst;
}

TEST(ConvolverLowQuality, CutFadedImpulseAtHalfRateWithHold) {
  const LowQualityCase cases[] = {
      {4, {2, 2, 2}, false}, {4, {1, 1, 1}, true},  {3, {2, 2, 2}, false}, {3, {2, 2, 2}, true},
      {3, {1, 2, 1}, true},  {2, {2, 2, 2}, false}, {2, {1, 1, 1}, true},  {1, {2, 2, 2}, false},
      {1, {2, 2, 2}, true},  {1, {1, 1, 1}, false}, {1, {1, 2, 2}, true}};
  for (const LowQualityCase& c : cases) {
    for (uint32_t frames : {301u, 400u}) {
      const double e = LowQualityErrorDb(c, frames);
      std::printf("q%d in %u out %u impulse %u dry %d frames %u: %.1f dB\n", int(c.quality),
                  c.layout.in, c.layout.out, c.layout.impulse, int(c.dry), frames, e);
      EXPECT_LT(e, -120.0);
    }
  }
}

// Width, pan, delay, dry level and EQ, each checked through the output of a
// stereo run.
class ConvolverSettings : public ::testing::Test {
 protected:
  ExactRun run{{2, 2, 2}, 400, 37, 77};
  PlugInParams p = BaseParams(5);
  const double unity[2] = {1.0, 1.0};

  std::vector<double> Run(LONG width = 50) {
    EXPECT_EQ(run.Prepare<double>(p), kConvolverOk);
    return Stream(run.state, run.input, 90, 4, width);
  }
};

TEST_F(ConvolverSettings, WidthMixesTheWetChannels) {
  const std::vector<double> w0 = run.Wet(0, 1.0, unity);
  const std::vector<double> w1 = run.Wet(1, 1.0, unity);
  for (LONG width : {0, 25, 50, 100}) {
    const std::vector<double> out = Run(width);
    const double f = 1.0 - width / 50.0;
    std::vector<double> left(w0.size());
    std::vector<double> right(w0.size());
    for (size_t i = 0; i < w0.size(); ++i) {
      left[i] = w0[i] + f * w1[i];
      right[i] = w1[i] + f * w0[i];
    }
    EXPECT_LT(ErrorDb(Channel(out, 2, 0), left), -120.0) << width;
    EXPECT_LT(ErrorDb(Channel(out, 2, 1), right), -120.0) << width;
  }
}

TEST_F(ConvolverSettings, PanScalesTheFarChannelInput) {
  for (LONG pan : {-40, 40}) {
    p.pan = pan;
    const double balance[2] = {pan > 0 ? 0.6 : 1.0, pan < 0 ? 0.6 : 1.0};
    const std::vector<double> out = Run();
    EXPECT_LT(ErrorDb(Channel(out, 2, 0), run.Wet(0, 1.0, balance)), -120.0) << pan;
    EXPECT_LT(ErrorDb(Channel(out, 2, 1), run.Wet(1, 1.0, balance)), -120.0) << pan;
  }
}

TEST_F(ConvolverSettings, PositiveDelayShiftsTheWetNegativeTheDry) {
  p.responseDelay = 30;  // 3 ms = 30 samples at 10 kHz
  std::vector<double> out = Run();
  for (uint32_t k = 0; k < 2; ++k) {
    std::vector<double> want = run.Wet(k, 1.0, unity);
    want.insert(want.begin(), 30, 0.0);
    want.resize(out.size() / 2);
    EXPECT_LT(ErrorDb(Channel(out, 2, k), want), -120.0);
  }
  p.responseDelay = -30;
  p.wetOut = -800;
  p.dryOut = 0;
  out = Run();
  for (uint32_t k = 0; k < 2; ++k) {
    std::vector<double> want = Channel(run.input, 2, k);
    want.insert(want.begin(), 30, 0.0);
    want.resize(out.size() / 2);
    EXPECT_LT(ErrorDb(Channel(out, 2, k), want), -120.0);
  }
}

TEST_F(ConvolverSettings, DryLevelAddsTheInput) {
  p.dryOut = -60;
  const std::vector<double> out = Run();
  for (uint32_t k = 0; k < 2; ++k) {
    std::vector<double> want = run.Wet(k, 1.0, unity);
    const std::vector<double> x = Channel(run.input, 2, k);
    for (size_t i = 0; i < x.size(); ++i) want[i] += LevelGain(-60) * x[i];
    EXPECT_LT(ErrorDb(Channel(out, 2, k), want), -120.0);
  }
}

TEST_F(ConvolverSettings, ShelfEqFiltersTheWetStream) {
  p.lowShelfOn = 1;
  p.lowShelfGain = 60;
  p.lowShelfFreq = 300;
  p.highShelfOn = 1;
  p.highShelfGain = -90;
  p.highShelfFreq = 2000;
  const std::vector<double> out = Run();
  ShelfEqState eq[2];
  SetupShelfEq(p, kRate, eq);
  for (uint32_t k = 0; k < 2; ++k) {
    std::vector<double> want = run.Wet(k, 1.0, unity);
    want.resize(out.size() / 2);
    ApplyShelfEq(eq[k], want.data(), want.size());
    EXPECT_LT(ErrorDb(Channel(out, 2, k), want), -120.0);
  }
}

TEST(ConvolverEngine, SpectrumMultiplyIsThePackedComplexProduct) {
  double a[8] = {2, 3, 1, 2, -1, 4, 0.5, -2};
  const double b[8] = {5, -1, 3, -1, 2, 2, 1, 1};
  EXPECT_EQ(SpectrumMultiply(nullptr, a, 8, const_cast<double*>(b)), 1);
  const double want[8] = {10, -3, 5, 5, -10, 6, 2.5, -1.5};
  for (int i = 0; i < 8; ++i) EXPECT_DOUBLE_EQ(a[i], want[i]) << i;
}

TEST(ConvolverEngine, UnpreparedOrMismatchedCallsProduceNothing) {
  ConvolverState s;
  float in[4] = {};
  float out[4] = {};
  uint32_t ni = 2;
  uint32_t no = 2;
  EXPECT_EQ(ConvolverProcess(s, kStreamStart, in, &ni, out, &no, 50), kConvolverNotPrepared);
  EXPECT_EQ(ni, 0u);
  EXPECT_EQ(no, 0u);
  MemoryImpulse source;
  source.channel[0] = {1.0f, 0.5f};
  const StreamShape shape{1, kRate, 64};
  ASSERT_EQ(PrepareImpulse(s, BaseParams(5), true, shape, shape, NXW(""), source, nullptr),
            kConvolverOk);
  ni = 2;
  no = 2;
  EXPECT_EQ(ConvolverProcess(s, kStreamStart, in, &ni, out, &no, 50), kConvolverNotPrepared);
  double din[2] = {};
  double dout[2] = {};
  ni = 0;
  no = 2;
  EXPECT_EQ(ConvolverProcess(s, kStreamStart, din, &ni, dout, &no, 50), kConvolverNothingToDo);
}

}  // namespace
