#include "dsp/resampler.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

namespace {

const double kPi = 3.14159265358979323846;

// The interpolation kernel evaluated from its definition, in double, without a table.
double ExactKernel(double d) {
  d = std::fabs(d);
  if (d >= 5.0) return 0.0;
  if (d == 0.0) return 1.0;
  const double x1 = kPi * d;
  const double x2 = x1 / 5 + kPi;
  const double window =
      0.35875 - 0.48829 * std::cos(x2) + 0.14128 * std::cos(2 * x2) - 0.01168 * std::cos(3 * x2);
  return window * std::sin(x1) / x1;
}

// Output sample m of converting `in` to `outLength` samples, straight from the formula.
std::vector<double> ReferenceResample(const std::vector<float>& in, size_t outLength) {
  const double r = static_cast<double>(in.size()) / static_cast<double>(outLength);
  std::vector<double> out(outLength);
  for (size_t m = 0; m < outLength; ++m) {
    const double pos = static_cast<double>(m) * r;
    const long centre = static_cast<long>(std::floor(pos));
    double sum = 0.0;
    for (long n = centre - 4; n <= centre + 4; ++n)
      if (n >= 0 && n < static_cast<long>(in.size())) sum += in[n] * ExactKernel(pos - n);
    out[m] = sum;
  }
  return out;
}

std::vector<float> Noise(size_t n, unsigned seed) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<float> dist(-1.0f, 1.0f);
  std::vector<float> v(n);
  for (float& x : v) x = dist(rng);
  return v;
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
    const std::vector<float> left = Noise(inLength, 1), right = Noise(inLength, 2);
    const size_t room = std::max(inLength, outLength);
    std::vector<float> b0(room, 7.0f), b1(room, 7.0f);
    std::copy(left.begin(), left.end(), b0.begin());
    std::copy(right.begin(), right.end(), b1.begin());
    ASSERT_EQ(ResampleImpulse(nullptr, b0.data(), b1.data(), inLength, outLength), kResampleDone);

    const std::vector<double> want0 = ReferenceResample(left, outLength);
    const std::vector<double> want1 = ReferenceResample(right, outLength);
    double worst = 0.0;
    for (size_t m = 0; m < outLength; ++m)
      worst = std::max({worst, std::fabs(b0[m] - want0[m]), std::fabs(b1[m] - want1[m])});
    // The float table and its linear interpolation at 1/800 sample limit the agreement.
    EXPECT_LT(worst, 2e-5);
    for (size_t m = outLength; m < room; ++m) ASSERT_EQ(b0[m], 0.0f) << "tail not cleared at " << m;
  }
}

TEST(ResampleImpulse, DoublingAUnitImpulseSamplesTheKernelAtHalfSteps) {
  std::vector<float> x(64, 0.0f);
  x[0] = 1.0f;
  ASSERT_EQ(ResampleImpulse(nullptr, x.data(), nullptr, 32, 64), kResampleDone);
  EXPECT_FLOAT_EQ(x[0], 1.0f);
  EXPECT_NEAR(x[1], ExactKernel(0.5), 1e-6);  // sin(pi/2)/(pi/2), windowed
  EXPECT_NEAR(x[3], ExactKernel(1.5), 1e-6);
  EXPECT_NEAR(x[2], 0.0, 1e-6);  // whole-sample distances fall on the sinc's zeros
  EXPECT_NEAR(x[9], ExactKernel(4.5), 1e-6);
  EXPECT_EQ(x[11], 0.0f);  // beyond the four taps on each side
}

TEST(ResampleImpulse, EqualLengthsAndEmptyInput) {
  std::vector<float> x = Noise(16, 3), copy = x;
  EXPECT_EQ(ResampleImpulse(nullptr, x.data(), nullptr, 16, 16), kResampleDone);
  EXPECT_EQ(x, copy);
  EXPECT_EQ(ResampleImpulse(nullptr, x.data(), nullptr, 0, 16), kResampleDone);
  EXPECT_EQ(x, std::vector<float>(16, 0.0f));
}

TEST(ResampleImpulse, ReportsProgressEvery2001OutputsAndStopsWhenCancelled) {
  std::vector<float> x = Noise(10000, 4);
  CountingProgress all(0);
  ASSERT_EQ(ResampleImpulse(&all, x.data(), nullptr, 10000, 5000), kResampleDone);
  // Outputs 0, 2001, 4002: the percentage of the input consumed so far.
  ASSERT_EQ(all.percents, (std::vector<int>{0, 40, 80}));

  std::vector<float> up = Noise(5000, 5);
  up.resize(10000);
  CountingProgress downward(0);
  ASSERT_EQ(ResampleImpulse(&downward, up.data(), nullptr, 5000, 10000), kResampleDone);
  ASSERT_EQ(downward.percents.size(), 5u);
  EXPECT_EQ(downward.percents.front(), 0);
  EXPECT_TRUE(std::is_sorted(downward.percents.begin(), downward.percents.end()));

  CountingProgress cancel(2);
  EXPECT_EQ(ResampleImpulse(&cancel, x.data(), nullptr, 10000, 5000), kResampleCancelled);
  EXPECT_EQ(cancel.percents.size(), 2u);
}

}  // namespace
