#include "dsp/resampler.h"

#include <gtest/gtest.h>

#include "tests/dsp/engine_test_support.h"

namespace {

using enginetest::Noise;

// The interpolation kernel from its definition, in double, without a table.
double ExactKernel(double d) {
  const double pi = 3.14159265358979323846;
  d = std::fabs(d);
  if (d >= 5.0) return 0.0;
  if (d == 0.0) return 1.0;
  const double x2 = pi * d / 5 + pi;
  const double window =
      0.35875 - 0.48829 * std::cos(x2) + 0.14128 * std::cos(2 * x2) - 0.01168 * std::cos(3 * x2);
  return window * std::sin(pi * d) / (pi * d);
}

// Output sample m of converting `in` to `outLength` samples, straight from the formula.
std::vector<double> ReferenceResample(const std::vector<float>& in, size_t outLength) {
  const double r = static_cast<double>(in.size()) / static_cast<double>(outLength);
  std::vector<double> out(outLength);
  for (size_t m = 0; m < outLength; ++m) {
    const double pos = static_cast<double>(m) * r;
    const long centre = static_cast<long>(std::floor(pos));
    for (long n = centre - 4; n <= centre + 4; ++n)
      if (n >= 0 && n < static_cast<long>(in.size())) out[m] += in[n] * ExactKernel(pos - n);
  }
  return out;
}

class CountingProgress : public ResampleProgress {
 public:
  explicit CountingProgress(int cancelAtCall) : cancelAt(cancelAtCall) {}
  int Update(int percent) override {
    percents.push_back(percent);
    return static_cast<int>(percents.size()) == cancelAt ? 0 : 1;
  }
  int cancelAt;
  std::vector<int> percents;
};

TEST(ResampleImpulse, MatchesTheFormulaBothWaysInPlace) {
  // Lengths as impulse preparation meets them: 44.1 kHz <-> 48 kHz, halving, odd ratios.
  const std::pair<size_t, size_t> cases[] = {
      {4410, 4800}, {4800, 4410}, {1000, 500}, {999, 2000}, {37, 101}, {101, 37}, {3000, 2999}};
  for (auto [inLength, outLength] : cases) {
    SCOPED_TRACE(::testing::Message() << inLength << " -> " << outLength);
    const std::vector<float> in[2] = {Noise(inLength, 1, 1.0f), Noise(inLength, 2, 1.0f)};
    const size_t room = std::max(inLength, outLength);
    std::vector<float> b[2] = {in[0], in[1]};
    for (auto& v : b) v.resize(room, 7.0f);
    ASSERT_EQ(ResampleImpulse(nullptr, b[0].data(), b[1].data(), inLength, outLength),
              kResampleDone);
    for (int c = 0; c < 2; ++c) {
      const std::vector<double> want = ReferenceResample(in[c], outLength);
      // The float table and its linear interpolation at 1/800 sample limit the agreement.
      for (size_t m = 0; m < outLength; ++m) ASSERT_NEAR(b[c][m], want[m], 2e-5) << m;
      for (size_t m = outLength; m < room; ++m) ASSERT_EQ(b[c][m], 0.0f) << "tail at " << m;
    }
  }
}

TEST(ResampleImpulse, ReportsProgressEvery2001OutputsAndStopsWhenCancelled) {
  std::vector<float> x = Noise(10000, 4);
  CountingProgress all(0);
  ASSERT_EQ(ResampleImpulse(&all, x.data(), nullptr, 10000, 5000), kResampleDone);
  // Outputs 0, 2001, 4002: the percentage of the input consumed so far.
  EXPECT_EQ(all.percents, (std::vector<int>{0, 40, 80}));
  CountingProgress cancel(2);
  EXPECT_EQ(ResampleImpulse(&cancel, x.data(), nullptr, 10000, 5000), kResampleCancelled);
  EXPECT_EQ(cancel.percents.size(), 2u);
}

}  // namespace
