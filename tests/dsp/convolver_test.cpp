#include "dsp/convolver.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "tests/dsp/engine_test_support.h"

namespace {

using namespace enginetest;

// Linear gain of a level in tenths of a dB; -80 dB and below is silence.
double Gain(LONG tenths) { return tenths <= -800 ? 0.0 : std::pow(10.0, tenths / 200.0); }

// The engine against direct convolution at quality q. The impulse comes at the processing rate
// (so it is not resampled), is normalised whole, then cut to N/2 samples with the last fifth
// faded where the plan partitions it. At half rate the first frame of each pair is convolved and
// each wet value held for two frames, while the dry signal keeps every frame.
template <typename T>
double EngineErrorDb(LONG q, Layout l, bool dry, uint32_t frames, uint32_t maxCall, uint32_t seed) {
  static const int32_t kPartition[5] = {8, 8, 4, 2, 1};
  const int32_t rd = q <= 3 ? 2 : 1;
  const int32_t pf = q == 1 && l.in == 1 ? 16 : kPartition[q - 1];
  const uint32_t used = 100;
  EngineRun run(l, frames, used, seed, kRate / rd);
  PlugInParams p = BaseParams(q);
  p.wetOut = -35;
  p.dryOut = dry ? -40 : -800;
  EXPECT_EQ(run.Prepare<T>(p), kConvolverOk);
  const std::vector<T> out = Stream(run.state, As<T>(run.input), maxCall, seed);

  const bool monoImpulse = q == 1 && l.in == 2 && l.out == 2;
  int64_t n = 1;
  while (n < 2 * int64_t(used) * rd - 1) n <<= 1;
  const int32_t half = std::max<int32_t>(int32_t(n / pf), 16) / 2;
  // The final block carries the filled part plus the whole (cut) impulse.
  const size_t outFrames = ((frames + rd - 1) / rd + std::min<uint32_t>(used, half)) * rd;
  EXPECT_EQ(out.size(), outFrames * l.out);
  double worst = -400.0;
  for (uint32_t k = 0; k < l.out; ++k) {
    const bool stereo = l.impulse == 2 && l.out == 2 && !monoImpulse;
    const std::vector<double> h =
        run.Impulse(stereo, k, Gain(p.wetOut), half, pf > 1 ? int32_t(0.2 * half) : 0);
    const std::vector<double> own = Channel(run.input, l.in, l.in == 2 ? k : 0);
    const std::vector<double> right = Channel(run.input, l.in, l.in - 1);
    std::vector<double> xp;
    for (uint32_t j = 0; j < frames; j += rd) {
      xp.push_back(monoImpulse ? (Channel(run.input, 2, 0)[j] + right[j]) * 0.5 : own[j]);
    }
    const std::vector<double> yp = Convolve(xp, h);
    std::vector<double> want(outFrames, 0.0);
    for (size_t j = 0; j < want.size(); ++j) {
      want[j] = (j / rd < yp.size() ? yp[j / rd] : 0.0) +
                (j < own.size() ? Gain(p.dryOut) * own[j] : 0.0);
    }
    worst = std::max(worst, ErrorDb(Channel(out, l.out, k), want));
  }
  return worst;
}

TEST(ConvolverExact, EveryQualityAndLayoutMatchesDirectConvolution) {
  const Layout layouts[] = {{1, 1, 1}, {2, 2, 2}, {2, 2, 1}, {1, 2, 2}, {1, 2, 1}, {2, 1, 2}};
  const uint32_t maxCalls[] = {1, 7, 64, 1000};
  uint32_t run = 0;
  for (LONG q = 1; q <= 5; ++q) {
    for (const Layout& l : layouts) {
      // 256 frames fill whole blocks at every quality; 301 end in a part block and a half pair.
      for (uint32_t frames : {256u, 301u}) {
        const bool dry = (q + l.in + l.impulse) % 2 == 0;
        const uint32_t maxCall = maxCalls[++run % 4];
        const double d = EngineErrorDb<double>(q, l, dry, frames, maxCall, run);
        const double f = EngineErrorDb<float>(q, l, dry, frames, maxCall, run);
        EXPECT_TRUE(d < -120.0 && f < -100.0)
            << "q" << q << " in " << l.in << " out " << l.out << " impulse " << l.impulse << " dry "
            << dry << " frames " << frames << " calls <= " << maxCall << ": double " << d
            << " dB, float " << f << " dB";
      }
    }
  }
}

// Width, pan, delay, levels and EQ, through the output of a stereo run at quality 5.
struct SettingsCase {
  LONG width;
  LONG pan;
  LONG delay;  // tenths of a ms: 30 = 30 samples at 10 kHz
  LONG wetOut;
  LONG dryOut;
  bool eq;
};

TEST(ConvolverSettings, EachSettingActsOnTheOutputAsDefined) {
  const SettingsCase cases[] = {
      {0, 0, 0, 0, -800, false},   {25, 0, 0, 0, -800, false},  {100, 0, 0, 0, -800, false},
      {50, -40, 0, 0, -60, false}, {50, 40, 0, 0, -800, false}, {50, 0, 30, 0, -800, false},
      {50, 0, -30, -800, 0, false}, {75, 20, 30, -20, -60, true}, {50, -10, -30, 0, -60, true}};
  for (const SettingsCase& c : cases) {
    SCOPED_TRACE(::testing::Message() << "width " << c.width << " pan " << c.pan << " delay "
                                      << c.delay << " wet " << c.wetOut << " dry " << c.dryOut);
    EngineRun run({2, 2, 2}, 400, 37, 77, kRate);
    PlugInParams p = BaseParams(5);
    p.pan = c.pan;
    p.responseDelay = c.delay;
    p.wetOut = c.wetOut;
    p.dryOut = c.dryOut;
    p.lowShelfOn = p.highShelfOn = c.eq ? 1 : 0;
    p.lowShelfGain = 60;
    p.lowShelfFreq = 300;
    p.highShelfGain = -90;
    p.highShelfFreq = 2000;
    ASSERT_EQ(run.Prepare<double>(p), kConvolverOk);
    const std::vector<double> out = Stream(run.state, run.input, 90, 4, c.width);
    const size_t frames = out.size() / 2;
    // A positive delay holds back the wet signal, a negative one the dry.
    const size_t wetShift = c.delay > 0 ? 30 : 0;
    const size_t dryShift = c.delay < 0 ? 30 : 0;
    const double balance[2] = {1.0 - std::max<LONG>(c.pan, 0) / 100.0,
                               1.0 + std::min<LONG>(c.pan, 0) / 100.0};
    ShelfEqState eq[2];
    SetupShelfEq(ShelfSettingsOf(p), kRate, eq);
    std::vector<double> wet[2];
    std::vector<double> dry[2];
    for (uint32_t k = 0; k < 2; ++k) {
      std::vector<double> x = Channel(run.input, 2, k);
      for (double& v : x) v *= balance[k];
      wet[k] = Convolve(x, run.Impulse(true, k, Gain(c.wetOut), 1 << 20, 0));
      wet[k].resize(frames);
      ApplyShelfEq(eq[k], wet[k].data(), frames);
      wet[k].insert(wet[k].begin(), wetShift, 0.0);
      for (double& v : x) v *= Gain(c.dryOut);
      dry[k] = x;
      dry[k].insert(dry[k].begin(), dryShift, 0.0);
      dry[k].resize(frames + wetShift);
    }
    const double f = 1.0 - c.width / 50.0;
    for (uint32_t k = 0; k < 2; ++k) {
      std::vector<double> want(frames);
      for (size_t i = 0; i < frames; ++i) want[i] = wet[k][i] + f * wet[1 - k][i] + dry[k][i];
      EXPECT_LT(ErrorDb(Channel(out, 2, k), want), -120.0) << "channel " << k;
    }
  }
}

TEST(ConvolverEngine, UnpreparedOrMismatchedCallsProduceNothing) {
  ConvolverState s;
  float in[4] = {};
  float out[4] = {};
  uint32_t ni = 2;
  uint32_t no = 2;
  EXPECT_EQ(ConvolverProcess(s, kStreamStart, in, &ni, out, &no, 50), kConvolverNotPrepared);
  EXPECT_EQ(ni + no, 0u);
  MemoryImpulse source({1.0f, 0.5f});
  const StreamShape shape{1, kRate, 64};
  ASSERT_EQ(PrepareImpulse(s, BaseParams(5), true, shape, shape, NXW(""), source, nullptr),
            kConvolverOk);
  ni = no = 2;
  EXPECT_EQ(ConvolverProcess(s, kStreamStart, in, &ni, out, &no, 50), kConvolverNotPrepared);
  double din[2] = {};
  double dout[2] = {};
  ni = 0;
  EXPECT_EQ(ConvolverProcess(s, kStreamStart, din, &ni, dout, &no, 50), kConvolverNothingToDo);
}

}  // namespace
