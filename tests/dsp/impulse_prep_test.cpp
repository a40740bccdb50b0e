#include "frame/impulse_prep.h"

#include <gtest/gtest.h>

#include "dsp/resampler.h"
#include "tests/dsp/engine_test_support.h"

namespace {

using namespace enginetest;

StreamShape Shape(uint32_t channels, uint32_t rate) { return {channels, rate, 32}; }

LONG Prepare(ConvolverState& s, const PlugInParams& p, ImpulseSource& source, StreamShape in,
             StreamShape out, StatusLog* log = nullptr, bool rebuild = true) {
  return PrepareImpulse(s, p, rebuild, in, out, NXW("x"), source, log);
}

TEST(ImpulseEnvelope, SegmentsAreMeasuredAgainstTheReferenceAndCutAtTheFrames) {
  // Decay limit 1.40 s of a 3 s impulse at 44100 Hz: the default fade ends at frame 61740.
  std::vector<float> ones(61740, 1.0f);
  const EnvelopePoint fade[2] = {{0, 100}, {1000, 0}};
  ApplyImpulseEnvelope(ones.data(), nullptr, 61740, 132300, fade, 2);
  for (uint32_t k : {0u, 1000u, 30870u, 61739u}) EXPECT_NEAR(ones[k], 1.0 - k / 61740.0, 1e-6);

  std::vector<float> a(1000, 2.0f);
  std::vector<float> b(1000, -4.0f);
  const EnvelopePoint three[3] = {{0, 100}, {500, 50}, {1000, 0}};
  ApplyImpulseEnvelope(a.data(), b.data(), 1000, 1000, three, 3);
  EXPECT_NEAR(a[250], 1.5, 1e-6);
  EXPECT_NEAR(a[500], 1.0, 1e-6);
  EXPECT_NEAR(b[750], -1.0, 1e-6);
  const std::vector<float> before = a;
  ApplyImpulseEnvelope(a.data(), nullptr, 10, 10, three, 1);
  EXPECT_EQ(a, before);
}

TEST(PrepareImpulse, DecayLimitAndMaxImpulseFramesLimitTheRead) {
  MemoryImpulse source(std::vector<float>(132300, 1.0f), 44100);
  ConvolverState s;
  PlugInParams p = BaseParams(5);
  p.applyEnvelope = 1;
  ASSERT_EQ(Prepare(s, p, source, Shape(1, 44100), Shape(1, 44100)), kConvolverOk);
  EXPECT_TRUE(source.framesRequested == 61740u && s.impulseLength == 61740 && s.fftSize == 131072);
  // A limit longer than the impulse leaves it whole.
  p.decayLimit = 1000;
  ASSERT_EQ(Prepare(s, p, source, Shape(1, 44100), Shape(1, 44100)), kConvolverOk);
  EXPECT_EQ(source.framesRequested, 132300u);

  EXPECT_EQ(ClampMaxImpulseFrames(1000), 131071);
  EXPECT_EQ(ClampMaxImpulseFrames(50000000), 40000000);
  EXPECT_EQ(s.maxImpulseFrames, 524287);
  s.maxImpulseFrames = 1000;
  ASSERT_EQ(Prepare(s, BaseParams(3), source, Shape(1, 10000), Shape(1, 10000)), kConvolverOk);
  EXPECT_EQ(source.framesRequested, 131071u);
}

TEST(PrepareImpulse, StatusSequenceAndResamplingToTheProcessingRate) {
  MemoryImpulse source(Noise(300, 1), 22050);
  ConvolverState s;
  StatusLog log;
  ASSERT_EQ(Prepare(s, BaseParams(5), source, Shape(2, 44100), Shape(2, 44100), &log),
            kConvolverOk);
  EXPECT_EQ(log.codes, (std::vector<LONG>{5, 0, 1, 2, 1, 3, 1}));
  EXPECT_EQ(s.impulseLength, 600);
  // The norm is that of the resampled impulse.
  std::vector<float> resampled(600, 0.0f);
  std::copy(source.channel[0].begin(), source.channel[0].end(), resampled.begin());
  ResampleImpulse(nullptr, resampled.data(), nullptr, 300, 600);
  EXPECT_NEAR(s.normGain, s.fftSize / ImpulseNorm(resampled.data(), 600), 1e-9 * s.normGain);

  // At quality 3 the 22050 Hz impulse already runs at the processing rate.
  log.codes.clear();
  ASSERT_EQ(Prepare(s, BaseParams(3), source, Shape(2, 44100), Shape(2, 44100), &log),
            kConvolverOk);
  EXPECT_EQ(log.codes, (std::vector<LONG>{5, 0, 1, 2, 1}));
  // A silent impulse passes nothing: the gain stays at N.
  source.channel[0].assign(300, 0.0f);
  ASSERT_EQ(Prepare(s, BaseParams(3), source, Shape(2, 44100), Shape(2, 44100)), kConvolverOk);
  EXPECT_DOUBLE_EQ(s.normGain, s.fftSize);
  // 1000 frames at 1 kHz on a 48 kHz stream at quality 1 resample to 24000 samples, more than
  // both N (16384) and the frames read: the impulse buffer has room for them.
  MemoryImpulse low(Noise(1000, 5), 1000);
  ASSERT_EQ(Prepare(s, BaseParams(1), low, Shape(2, 48000), Shape(2, 48000)), kConvolverOk);
  EXPECT_GE(s.impulseCapacity, 24000u);
}

TEST(PrepareImpulse, QuickUpdateKeepsTheBlockAndRebuildsClearIt) {
  MemoryImpulse source(Noise(50, 2));
  ConvolverState s;
  StatusLog log;
  PlugInParams p = BaseParams(5);
  const StreamShape shape = Shape(1, 10000);
  ASSERT_EQ(Prepare(s, p, source, shape, shape), kConvolverOk);
  std::vector<float> in(20, 1.0f);
  std::vector<float> out(20);
  uint32_t ni = 20;
  uint32_t no = 20;
  ConvolverProcess(s, kStreamStart, in.data(), &ni, out.data(), &no, 50);
  EXPECT_EQ(s.fillPos, 20);
  p.dryOut = 0;
  p.responseDelay = 20;
  ASSERT_EQ(Prepare(s, p, source, shape, shape, &log, false), kConvolverOk);
  EXPECT_TRUE(log.codes.empty());
  EXPECT_EQ(s.fillPos, 20);
  EXPECT_NE(s.floatBuffers.dry[0], nullptr);
  EXPECT_EQ(s.delayLength, 20);
  EXPECT_NE(s.floatBuffers.delayLine[0], nullptr);
  // A rebuild request, and a format change without one, both start from scratch.
  ASSERT_EQ(Prepare(s, p, source, shape, shape), kConvolverOk);
  EXPECT_EQ(s.fillPos, 0);
  ConvolverProcess(s, kStreamStart, in.data(), &ni, out.data(), &no, 50);
  ASSERT_EQ(Prepare(s, p, source, shape, Shape(2, 10000), &log, false), kConvolverOk);
  EXPECT_EQ(s.fillPos, 0);
  EXPECT_EQ(s.outputChannels, 2u);
}

// Pan past +-100 (presets may carry any) balances as +-100; a response delay keeps its time at
// every quality, whatever the processing rate.
TEST(PrepareImpulse, PanIsLimitedAndDelayKeepsItsTimeAtEveryQuality) {
  MemoryImpulse source(Noise(50, 2));
  const StreamShape stereo = Shape(2, 48000);
  PlugInParams p = BaseParams(5);
  for (const LONG pan : {100, -100}) {
    ConvolverState limit, beyond;
    p.pan = pan;
    ASSERT_EQ(Prepare(limit, p, source, stereo, stereo), kConvolverOk);
    p.pan = 5 * pan;
    ASSERT_EQ(Prepare(beyond, p, source, stereo, stereo), kConvolverOk);
    EXPECT_TRUE(beyond.balanceLeft == limit.balanceLeft &&
                beyond.balanceRight == limit.balanceRight) << pan;
  }
  p.responseDelay = 200;  // 20 ms: 960 frames at 48 kHz
  for (const LONG quality : {5, 3, 1}) {
    ConvolverState s;
    p.quality = quality;
    ASSERT_EQ(Prepare(s, p, source, stereo, stereo), kConvolverOk);
    EXPECT_EQ(960, s.delayLength * s.rateDivisor) << quality;
  }
}

TEST(PrepareImpulse, UntrustedSizesAndFormats) {
  class BadInfo : public ImpulseSource {
   public:
    ImpulseSourceInfo info;
    bool GetInfo(const WCHAR*, ImpulseSourceInfo* out) override {
      *out = info;
      return true;
    }
    void Load(const WCHAR*, float*, float*, uint32_t) override { ADD_FAILURE(); }
  } source;
  ConvolverState s;
  const ImpulseSourceInfo bad[] = {
      {0, 2, 1000, 44100}, {1, 0, 1000, 44100}, {1, 2, 4, 44100}, {1, 2, 1000, 0},
      {2, 4000, 1000, 44100}};
  for (const ImpulseSourceInfo& info : bad) {
    source.info = info;
    ASSERT_EQ(Prepare(s, BaseParams(5), source, Shape(1, 44100), Shape(1, 44100)), kConvolverOk);
    EXPECT_FALSE(s.impulseLoaded);
    EXPECT_EQ(s.impulseLength, 256);
  }
  for (const auto& shapes : {std::pair{Shape(0, 44100), Shape(1, 44100)},
                             std::pair{Shape(1, 44100), Shape(3, 44100)},
                             std::pair{Shape(1, 0), Shape(1, 0)}}) {
    EXPECT_EQ(Prepare(s, BaseParams(5), source, shapes.first, shapes.second),
              kConvolverBadFormat);
  }
}

}  // namespace
