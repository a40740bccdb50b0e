// The engine's bulk paths against its scalar ones: whole-buffer calls (bulk input and output
// runs) against one-frame calls (the frame-by-frame loops wherever a pair of frames is split),
// bit for bit.
#include <gtest/gtest.h>

#include "tests/dsp/engine_test_support.h"

namespace {

using namespace enginetest;

template <typename T>
std::vector<T> Render(LONG quality, Layout l, LONG dry, LONG delay, const std::vector<T>& input,
                      uint32_t maxCall) {
  EngineRun run(l, 0, 300, 7, kRate);
  PlugInParams p = BaseParams(quality);
  p.wetOut = -30;
  p.dryOut = dry;
  p.responseDelay = delay;
  p.pan = 20;
  EXPECT_EQ(run.Prepare<T>(p), kConvolverOk);
  // A fixed seed: the call sizes matter only as "large" or "one frame".
  return Stream(run.state, input, maxCall, 3, 70);
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
