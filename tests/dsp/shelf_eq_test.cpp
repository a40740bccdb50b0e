#include "dsp/shelf_eq.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdint>
#include <vector>

namespace {

constexpr double kPi = 3.14159265358979323846;

PlugInParams NoShelves() {
  PlugInParams p{};
  p.lowShelfFreq = 200;
  p.highShelfFreq = 5000;
  return p;
}

PlugInParams LowShelf(LONG freq, LONG gain) {
  PlugInParams p = NoShelves();
  p.lowShelfOn = 1;
  p.lowShelfFreq = freq;
  p.lowShelfGain = gain;
  return p;
}

PlugInParams HighShelf(LONG freq, LONG gain) {
  PlugInParams p = NoShelves();
  p.highShelfOn = 1;
  p.highShelfFreq = freq;
  p.highShelfGain = gain;
  return p;
}

ShelfEqState Designed(const PlugInParams& p, double rate) {
  ShelfEqState states[2];
  SetupShelfEq(p, rate, states);
  return states[0];
}

// Resonator coefficients straight from their definition.
void ExpectResonator(const TwoPoleSection& s, double fc, double q) {
  const double r = std::exp(-kPi * fc / q);
  EXPECT_NEAR(s.a1, 2 * r * std::cos(2 * kPi * fc), 1e-12) << "fc " << fc;
  EXPECT_NEAR(s.a2, r * r, 1e-12) << "fc " << fc;
  EXPECT_NEAR(s.b, 1 - s.a1 + s.a2, 1e-15);
}

// Frequency response of a whole channel, from the transfer functions of its sections.
std::complex<double> Response(const ShelfEqState& st, double omega) {
  const std::complex<double> z1 = std::polar(1.0, -omega);
  auto lowpass = [&](const TwoPoleSection& s) { return s.b / (1.0 - s.a1 * z1 + s.a2 * z1 * z1); };
  std::complex<double> h = 1.0;
  if (st.lowType == kShelfBoost) h *= st.low.directGain + st.low.filteredGain * lowpass(st.low);
  if (st.lowType == kShelfCut)
    h *= st.low.directGain + st.low.filteredGain * (1.0 - lowpass(st.low));
  if (st.highType != kShelfOff) {
    const std::complex<double> d2 = (1.0 - z1) * (1.0 - z1);
    h *= st.high.directGain + st.high.filteredGain * st.high.inputGain * d2 * lowpass(st.high);
  }
  return h;
}

// Steady-state gain for a signal that repeats every `period` samples: runs it for `settle`
// samples and fits amplitude over the last period (exact for DC, Nyquist and bin-centred sines).
double MeasuredGain(ShelfEqState st, int period, int cycles, int settle) {
  const double omega = 2 * kPi * cycles / period;
  std::vector<double> x(settle + period);
  for (size_t i = 0; i < x.size(); ++i) x[i] = std::cos(omega * static_cast<double>(i));
  ApplyShelfEq(st, x.data(), x.size());
  if (cycles == 0) return std::fabs(x.back());
  if (2 * cycles == period) return std::fabs(x.back());
  double c = 0, s = 0;
  for (int i = 0; i < period; ++i) {
    const double ph = omega * (settle + i);
    c += x[settle + i] * std::cos(ph);
    s += x[settle + i] * std::sin(ph);
  }
  return 2.0 / period * std::hypot(c, s);
}

double Dc(const ShelfEqState& st) { return MeasuredGain(st, 2, 0, 40000); }
double Nyquist(const ShelfEqState& st) { return MeasuredGain(st, 2, 1, 40000); }

std::vector<double> Noise(size_t n, uint32_t seed) {
  std::vector<double> v(n);
  for (double& x : v) {
    seed = seed * 1664525u + 1013904223u;
    x = static_cast<double>(seed >> 8) / 8388608.0 - 1.0;
  }
  return v;
}

}  // namespace

TEST(ShelfEqDesign, ResonatorFollowsItsDefinitionAndClampsTheCorner) {
  TwoPoleSection s{};
  for (double fc : {0.0003, 0.01, 0.125, 0.3, 0.49}) {
    NxSig_FindResonatorCoeffs(s, fc, 0.7, true);
    ExpectResonator(s, fc, 0.7);
  }
  NxSig_FindResonatorCoeffs(s, 0.9, 0.3, true);
  ExpectResonator(s, 0.49, 0.3);
  NxSig_FindResonatorCoeffs(s, 0.0, 0.3, true);
  ExpectResonator(s, 0.0003, 0.3);
  NxSig_FindResonatorCoeffs(s, std::nan(""), 0.3, true);
  ExpectResonator(s, 0.0003, 0.3);

  s.y1 = 0.5;
  s.y2 = -0.25;
  NxSig_FindResonatorCoeffs(s, 0.1, 0.7, false);
  EXPECT_EQ(s.y1, 0.5);
  EXPECT_EQ(s.y2, -0.25);
  NxSig_FindResonatorCoeffs(s, 0.1, 0.7, true);
  EXPECT_EQ(s.y1, 0.0);
  EXPECT_EQ(s.y2, 0.0);
}

TEST(ShelfEqDesign, CompensationAtTablePointsBetweenThemAndBeyond) {
  const double levels[16] = {0, -1, -2, -3, -4, -5, -5, -6, -7, -8, -9, -10, -11, -12, -12, -13};
  auto point = [](int k) { return k * 1000.0 / 44100.0; };
  for (int k = 1; k < 16; ++k) {
    EXPECT_NEAR(NxSig_HiShelfCompensation(point(k)), std::pow(10.0, levels[k] / 20), 1e-12) << k;
    const double mid = 0.5 * (point(k - 1) + point(k));
    const double midDb = 0.5 * (levels[k - 1] + levels[k]);
    EXPECT_NEAR(NxSig_HiShelfCompensation(mid), std::pow(10.0, midDb / 20), 1e-12) << k;
  }
  // A quarter of the way from point 7 (-6 dB) to point 8 (-7 dB).
  EXPECT_NEAR(NxSig_HiShelfCompensation(7250.0 / 44100.0), std::pow(10.0, -6.25 / 20), 1e-12);
  // Below the lowest corner the clamp to 0.0003 applies; above point 15 the last level holds.
  const double atFloor = std::pow(10.0, -0.0003 / (1000.0 / 44100.0) / 20);
  EXPECT_NEAR(NxSig_HiShelfCompensation(0.0), atFloor, 1e-12);
  EXPECT_NEAR(NxSig_HiShelfCompensation(0.4), std::pow(10.0, -13.0 / 20), 1e-12);
  EXPECT_NEAR(NxSig_HiShelfCompensation(2.0), std::pow(10.0, -13.0 / 20), 1e-12);
}

TEST(ShelfEqDesign, LowCutCornerMovesDownFurtherAbove500HzAt44100) {
  const ShelfEqState at400 = Designed(LowShelf(400, -60), 44100);
  ASSERT_EQ(at400.lowType, kShelfCut);
  ExpectResonator(at400.low, 400.0 / 44100 / 2.2, 0.1);
  const ShelfEqState at600 = Designed(LowShelf(600, -60), 44100);
  ExpectResonator(at600.low, 600.0 / 44100 / 3.3, 0.1);
  // The split is normalised, not in Hz: 600 Hz at 96000 Hz lies below it.
  ExpectResonator(Designed(LowShelf(600, -60), 96000).low, 600.0 / 96000 / 2.2, 0.1);
}

TEST(ShelfEqDesign, CornersAboveTheClampLimitUseIt) {
  const ShelfEqState boost = Designed(HighShelf(20000, 60), 22050);
  ExpectResonator(boost.high, 0.49, 0.7);
  EXPECT_NEAR(boost.high.inputGain, std::pow(10.0, -13.0 / 20), 1e-12);
  ExpectResonator(Designed(HighShelf(20000, -60), 22050).high, 0.49 * (0.365 * 1.6 + 0.4), 0.3);
  ExpectResonator(Designed(LowShelf(15000, 60), 8000).low, 0.49, 0.7);
  ExpectResonator(Designed(LowShelf(15000, -60), 4000).low, 0.49, 0.1);
}

TEST(ShelfEqDesign, HighCutMapsItsCorner) {
  // Below 0.125 the resonator sits at 0.4 fc: 5000 Hz at 44100 lands on table point 2.
  const ShelfEqState low = Designed(HighShelf(5000, -60), 44100);
  ExpectResonator(low.high, 2000.0 / 44100, 0.3);
  EXPECT_NEAR(low.high.inputGain, std::pow(10.0, -2.0 / 20), 1e-12);
  const double fc = 10000.0 / 44100;
  ExpectResonator(Designed(HighShelf(10000, -60), 44100).high, fc * ((fc - 0.125) * 1.6 + 0.4),
                  0.3);
  // Tiny corners go to 0.00016, which the resonator then lifts to its own limit.
  ExpectResonator(Designed(HighShelf(20, -60), 192000).high, 0.0003, 0.3);
}

TEST(ShelfEqDesign, CutsAtTheFloorRemoveTheWholeBand) {
  const ShelfEqState low = Designed(LowShelf(300, -150), 44100);
  EXPECT_EQ(low.low.directGain, 0.0);
  EXPECT_EQ(low.low.filteredGain, 1.0);
  EXPECT_NEAR(Dc(low), 0.0, 1e-9);
  EXPECT_NEAR(Nyquist(low), 1.0, 0.01);
  EXPECT_NEAR(Nyquist(low), std::abs(Response(low, kPi)), 1e-9);
  EXPECT_NEAR(Designed(LowShelf(300, -149), 44100).low.directGain, std::pow(10.0, -14.9 / 40),
              1e-12);
  // Out-of-range stored gains are limited to the floor rather than trusted.
  EXPECT_EQ(Designed(LowShelf(300, -100000), 44100).low.directGain, 0.0);
  EXPECT_EQ(Designed(HighShelf(8000, -150), 44100).high.filteredGain, -1.0);
  EXPECT_NEAR(Designed(HighShelf(8000, 100000), 44100).high.filteredGain,
              std::pow(10.0, 15.0 / 40) - 1, 1e-12);
}

TEST(ShelfEqResponse, LowShelvesSetTheLevelAtDcAndLeaveTheTopAlone) {
  for (LONG gain : {150, 60, -60, -140}) {
    const ShelfEqState st = Designed(LowShelf(250, gain), 44100);
    const double dc = std::pow(10.0, gain / 400.0);
    EXPECT_NEAR(Dc(st), dc, 1e-9 * dc) << gain;
    EXPECT_NEAR(Nyquist(st), 1.0, 1e-3) << gain;
    EXPECT_NEAR(Nyquist(st), std::abs(Response(st, kPi)), 1e-9) << gain;
    // A sine at 1/64 of the rate, well above the corner.
    EXPECT_NEAR(MeasuredGain(st, 64, 1, 40000), std::abs(Response(st, 2 * kPi / 64)), 1e-9);
  }
}

TEST(ShelfEqResponse, HighShelvesKeepDcAndMoveTheTopByTheCompensatedResonator) {
  for (LONG gain : {150, 60, -60, -150}) {
    const ShelfEqState st = Designed(HighShelf(5000, gain), 44100);
    const TwoPoleSection& s = st.high;
    EXPECT_NEAR(Dc(st), 1.0, 1e-9) << gain;
    const double g = gain > 0 ? std::pow(10.0, -5.0 / 20) : std::pow(10.0, -2.0 / 20);
    const double filtered = gain <= -150 ? -1.0 : std::pow(10.0, gain / 400.0) - 1;
    const double top = 1 + filtered * g * 4 * s.b / (1 + s.a1 + s.a2);
    EXPECT_NEAR(Nyquist(st), std::fabs(top), 1e-9) << gain;
    EXPECT_NEAR(MeasuredGain(st, 16, 3, 4000), std::abs(Response(st, 2 * kPi * 3 / 16)), 1e-9);
  }
}

TEST(ShelfEqResponse, BothShelvesTogetherMultiply) {
  PlugInParams p = LowShelf(150, 90);
  p.highShelfOn = 1;
  p.highShelfFreq = 9000;
  p.highShelfGain = -40;
  const ShelfEqState st = Designed(p, 48000);
  for (int cycles : {1, 5, 11, 31}) {
    EXPECT_NEAR(MeasuredGain(st, 64, cycles, 40000), std::abs(Response(st, 2 * kPi * cycles / 64)),
                1e-9)
        << cycles;
  }
}

TEST(ShelfEqRun, ZeroGainOrSwitchedOffLeavesSamplesBitIdentical) {
  PlugInParams p = LowShelf(300, 0);
  p.highShelfGain = 80;  // the high shelf is switched off
  ShelfEqState states[2];
  SetupShelfEq(p, 44100, states);
  EXPECT_FALSE(ShelfEqActive(states[0]));
  const std::vector<double> in = Noise(256, 7);
  std::vector<double> d = in;
  ApplyShelfEq(states[0], d.data(), d.size());
  EXPECT_EQ(d, in);
  std::vector<float> f(in.begin(), in.end());
  const std::vector<float> fin = f;
  ApplyShelfEq(states[1], f.data(), f.size());
  EXPECT_EQ(f, fin);
  // A rate that is no rate designs nothing.
  SetupShelfEq(LowShelf(300, 60), 0.0, states);
  EXPECT_FALSE(ShelfEqActive(states[0]));
}

TEST(ShelfEqRun, StatePersistsAcrossBlocksAndSetupResetsIt) {
  PlugInParams p = LowShelf(120, -90);
  p.highShelfOn = 1;
  p.highShelfFreq = 6000;
  p.highShelfGain = 120;
  ShelfEqState states[2];
  SetupShelfEq(p, 44100, states);
  for (int k = 0; k < 2; ++k) {
    EXPECT_EQ(states[1].lowType, states[0].lowType);
    EXPECT_EQ(states[1].highType, states[0].highType);
    EXPECT_EQ(states[1].low.a1, states[0].low.a1);
    EXPECT_EQ(states[1].high.inputGain, states[0].high.inputGain);
    EXPECT_EQ(states[1].high.filteredGain, states[0].high.filteredGain);

    const std::vector<double> in = Noise(1000, 11);
    std::vector<double> whole = in, pieces = in;
    ApplyShelfEq(states[0], whole.data(), whole.size());
    for (size_t at = 0; at < pieces.size(); at += 100) ApplyShelfEq(states[1], &pieces[at], 100);
    EXPECT_EQ(whole, pieces);
    EXPECT_NE(states[0].low.y1, 0.0);
    // A second setup starts both channels from silence again.
    SetupShelfEq(p, 44100, states);
    EXPECT_EQ(states[0].low.y1, 0.0);
    EXPECT_EQ(states[0].high.y2, 0.0);
  }
}

TEST(ShelfEqRun, FloatStreamMatchesDoubleRoundedAndTailsEndInExactZero) {
  PlugInParams p = LowShelf(80, -150);
  p.highShelfOn = 1;
  p.highShelfFreq = 12000;
  p.highShelfGain = 150;
  ShelfEqState states[2];
  SetupShelfEq(p, 44100, states);
  std::vector<float> f(20000, 0.0f);
  for (size_t i = 0; i < 500; ++i) f[i] = static_cast<float>(std::sin(0.01 * i));
  std::vector<double> d(f.begin(), f.end());
  ApplyShelfEq(states[0], f.data(), f.size());
  ApplyShelfEq(states[1], d.data(), d.size());
  for (size_t i = 0; i < f.size(); ++i) ASSERT_EQ(f[i], static_cast<float>(d[i])) << i;
  EXPECT_EQ(d.back(), 0.0);
  EXPECT_EQ(states[1].low.y1, 0.0);
  EXPECT_EQ(states[1].high.y1, 0.0);
}

TEST(ShelfEqRun, StableOverEveryAllowedSetting) {
  // Noise, then silence long enough for the slowest resonator (20 Hz at 192 kHz) to die away.
  std::vector<double> noise = Noise(2000, 3);
  noise.resize(16000, 0.0);
  const LONG freqs[] = {20, 60, 200, 500, 1500, 5000, 12000, 15000, 20000};
  const LONG gains[] = {-150, -149, -60, -1, 1, 60, 150};
  const double rates[] = {8000, 11025, 22050, 32000, 44100, 48000, 88200, 96000, 192000};
  std::vector<double> x(noise.size());
  for (double rate : rates) {
    for (double processing : {rate, rate / 2}) {
      for (LONG freq : freqs) {
        for (LONG gain : gains) {
          PlugInParams p = HighShelf(freq, gain);
          p.lowShelfOn = 1;
          p.lowShelfFreq = freq > 15000 ? 15000 : freq;
          p.lowShelfGain = -gain;
          ShelfEqState states[2];
          SetupShelfEq(p, processing, states);
          x = noise;
          ApplyShelfEq(states[0], x.data(), x.size());
          double peak = 0, tail = 0;
          for (size_t i = 0; i < x.size(); ++i) {
            ASSERT_TRUE(std::isfinite(x[i])) << rate << " " << freq << " " << gain;
            peak = std::max(peak, std::fabs(x[i]));
            if (i >= x.size() - 1000) tail = std::max(tail, std::fabs(x[i]));
          }
          ASSERT_LT(peak, 16.0) << processing << " Hz, " << freq << " Hz, " << gain;
          ASSERT_LT(tail, 1e-6) << processing << " Hz, " << freq << " Hz, " << gain;
        }
      }
    }
  }
}
