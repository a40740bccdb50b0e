// The engine's bulk paths against its scalar ones: the vector spectrum product against the
// per-bin formula, and whole-buffer calls (bulk input and output runs) against one-frame calls
// (the frame-by-frame loops wherever a pair of frames is split), bit for bit.
#include <gtest/gtest.h>

#include "tests/dsp/engine_test_support.h"

namespace {

using namespace enginetest;

template <typename T>
void ExpectProductMatchesFormula(uint32_t n) {
  const std::vector<T> a = As<T>(Noise(n, n, 3.0f));
  const std::vector<T> b = As<T>(Noise(n, n + 1, 3.0f));
  std::vector<T> got = a;
  std::vector<T> want = a;
  want[0] = a[0] * b[0];
  want[1] = a[1] * b[1];
  for (uint32_t k = 2; k < n; k += 2) {
    want[k] = a[k] * b[k] - a[k + 1] * b[k + 1];
    want[k + 1] = a[k] * b[k + 1] + a[k + 1] * b[k];
  }
  if constexpr (sizeof(T) == sizeof(float)) {
    EXPECT_EQ(SpectrumMultiplyFloat(nullptr, got.data(), n, const_cast<T*>(b.data())), 1);
  } else {
    EXPECT_EQ(SpectrumMultiply(nullptr, got.data(), n, const_cast<T*>(b.data())), 1);
  }
  EXPECT_EQ(std::memcmp(got.data(), want.data(), n * sizeof(T)), 0) << "n = " << n;
}

TEST(ConvolverFastPath, SpectrumProductIsTheScalarFormulaBitForBit) {
  for (uint32_t n : {4u, 6u, 16u, 18u, 22u, 1024u}) {
    ExpectProductMatchesFormula<float>(n);
    ExpectProductMatchesFormula<double>(n);
  }
}

template <typename T>
std::vector<T> Render(LONG quality, Layout l, LONG dry, LONG delay, const std::vector<T>& input,
                      uint32_t maxCall) {
  MemoryImpulse source(Noise(300, 7), 10000, l.impulse);
  source.channel[1] = Noise(300, 8);
  PlugInParams p = BaseParams(quality);
  p.wetOut = -30;
  p.dryOut = dry;
  p.responseDelay = delay;
  p.pan = 20;
  ConvolverState s;
  const StreamShape shapes[2] = {{l.in, 10000, sizeof(T) * 8}, {l.out, 10000, sizeof(T) * 8}};
  EXPECT_EQ(PrepareImpulse(s, p, true, shapes[0], shapes[1], NXW("memory"), source, nullptr),
            kConvolverOk);
  // A fixed seed: the call sizes matter only as "large" or "one frame".
  return Stream(s, input, maxCall, 3, 70);
}

TEST(ConvolverFastPath, WholeBufferCallsMatchFrameByFrameCalls) {
  const Layout layouts[] = {{1, 1, 1}, {1, 2, 2}, {2, 2, 2}, {2, 2, 1}, {2, 1, 1}};
  for (LONG quality = 1; quality <= 5; ++quality) {
    for (const Layout& l : layouts) {
      for (LONG dry : {-800L, -60L}) {
        for (LONG delay : {0L, 30L}) {
          SCOPED_TRACE(testing::Message() << "quality " << quality << ", " << l.in << " -> "
                                          << l.out << ", dry " << dry << ", delay " << delay);
          const std::vector<float> input = Noise(size_t{1501} * l.in, quality);
          EXPECT_EQ(Render(quality, l, dry, delay, input, 1),
                    Render(quality, l, dry, delay, input, 5000));
          const std::vector<double> wide = As<double>(input);
          EXPECT_EQ(Render(quality, l, dry, delay, wide, 1),
                    Render(quality, l, dry, delay, wide, 5000));
        }
      }
    }
  }
}

}  // namespace
