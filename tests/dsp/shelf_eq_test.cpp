#include "dsp/shelf_eq.h"

#include <gtest/gtest.h>

#include <complex>

#include "tests/dsp/engine_test_support.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

ShelfSettings Shelves(LONG lowFreq, LONG lowGain, LONG highFreq = 5000, LONG highGain = 0) {
  return {lowGain != 0, lowFreq, lowGain, highGain != 0, highFreq, highGain};
}

ShelfEqState Designed(const ShelfSettings& p, double rate) {
  ShelfEqState states[2];
  SetupShelfEq(p, rate, states);
  return states[0];
}

std::vector<double> Noise(size_t n, uint32_t seed) {
  return enginetest::As<double>(enginetest::Noise(n, seed, 1.0f));
}

double Db(double db, double per) { return std::pow(10.0, db / per); }

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
  // The low section's resonator is scaled by b (unity at DC); the high section's only by G.
  auto lowpass = [&](const TwoPoleSection& s) { return 1.0 / (1.0 - s.a1 * z1 + s.a2 * z1 * z1); };
  std::complex<double> h = 1.0;
  if (st.lowType == kShelfBoost)
    h *= st.low.directGain + st.low.filteredGain * st.low.b * lowpass(st.low);
  if (st.lowType == kShelfCut)
    h *= st.low.directGain + st.low.filteredGain * (1.0 - st.low.b * lowpass(st.low));
  if (st.highType != kShelfOff) {
    const std::complex<double> d2 = (1.0 - z1) * (1.0 - z1);
    h *= st.high.directGain + st.high.filteredGain * st.high.inputGain * d2 * lowpass(st.high);
  }
  return h;
}

// Steady-state gain of a sine of `cycles` per `period` samples after `settle` samples: the last
// sample for DC and Nyquist, else the amplitude fitted over the last period.
double MeasuredGain(ShelfEqState st, int period, int cycles, int settle) {
  const double omega = 2 * kPi * cycles / period;
  std::vector<double> x(settle + period);
  for (size_t i = 0; i < x.size(); ++i) x[i] = std::cos(omega * static_cast<double>(i));
  ApplyShelfEq(st, x.data(), x.size());
  if (cycles == 0 || 2 * cycles == period) return std::fabs(x.back());
  double c = 0, s = 0;
  for (int i = 0; i < period; ++i) {
    c += x[settle + i] * std::cos(omega * (settle + i));
    s += x[settle + i] * std::sin(omega * (settle + i));
  }
  return 2.0 / period * std::hypot(c, s);
}

}  // namespace

// Where each design puts its resonator, and the compensation the high shelf applies before it.
TEST(ShelfEqDesign, ResonatorCornersOfEachDesign) {
  struct Case {
    ShelfSettings p;
    double rate;
    double fc;  // expected resonator corner, normalised
    double q;
    double compensationDb;  // high shelves only
  };
  const double f10k = 10000.0 / 44100;
  const Case cases[] = {
      {Shelves(300, 60), 44100, 300.0 / 44100 / 1.5, 0.7, 0},
      {Shelves(400, -60), 44100, 400.0 / 44100 / 2.2, 0.1, 0},
      // The low cut's split lies at 500 Hz at 44.1 kHz, normalised: at 96 kHz 600 Hz is below it.
      {Shelves(600, -60), 44100, 600.0 / 44100 / 3.3, 0.1, 0},
      {Shelves(600, -60), 96000, 600.0 / 96000 / 2.2, 0.1, 0},
      // Exactly on the split (also 250 Hz at half of 44.1 kHz) is above it.
      {Shelves(500, -60), 44100, 500.0 / 44100 / 3.3, 0.1, 0},
      {Shelves(250, -60), 22050, 250.0 / 22050 / 3.3, 0.1, 0},
      {Shelves(15000, 60), 8000, 0.49, 0.7, 0},
      {Shelves(15000, -60), 4000, 0.49, 0.1, 0},
      {Shelves(0, 0, 5000, 60), 44100, 5000.0 / 44100, 0.7, -5},
      {Shelves(0, 0, 20000, 60), 22050, 0.49, 0.7, -13},
      // High cuts: 0.4 fc below 0.125 (5000 Hz lands on table point 2), then rising to fc.
      {Shelves(0, 0, 5000, -60), 44100, 2000.0 / 44100, 0.3, -2},
      {Shelves(0, 0, 10000, -60), 44100, f10k * ((f10k - 0.125) * 1.6 + 0.4), 0.3, NAN},
      {Shelves(0, 0, 20000, -60), 22050, 0.49 * (0.365 * 1.6 + 0.4), 0.3, NAN},
      // Tiny corners go to 0.00016, which the resonator then lifts to its own limit.
      {Shelves(0, 0, 20, -60), 192000, 0.0003, 0.3, NAN}};
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.p.lowShelfFreq << " / " << c.p.highShelfFreq << " Hz");
    const ShelfEqState st = Designed(c.p, c.rate);
    ExpectResonator(c.p.lowShelfOn ? st.low : st.high, c.fc, c.q);
    if (!std::isnan(c.compensationDb) && c.p.highShelfOn) {
      EXPECT_NEAR(st.high.inputGain, Db(c.compensationDb, 20), 1e-12);
    }
  }
}

// Gains at DC and Nyquist against the formulas (a shelf of g dB has level 10^(g/40)), and the
// filtered signal against the transfer function of the designed sections.
TEST(ShelfEqResponse, GainsMatchTheFormulasAndTheTransferFunction) {
  struct Case {
    ShelfSettings p;
    double rate;
    double dc;
    double highCompensationDb;  // NaN: no closed form at Nyquist checked
    double highFiltered;
  };
  const Case cases[] = {
      {Shelves(250, 150), 44100, Db(15, 40), NAN, 0},
      {Shelves(250, 60), 44100, Db(6, 40), NAN, 0},
      {Shelves(250, -60), 44100, Db(-6, 40), NAN, 0},
      {Shelves(300, -149), 44100, Db(-14.9, 40), NAN, 0},
      // At the floor, and for stored gains beyond it, the cut removes the band entirely.
      {Shelves(300, -150), 44100, 0.0, NAN, 0},
      {Shelves(300, -100000), 44100, 0.0, NAN, 0},
      {Shelves(0, 0, 5000, 150), 44100, 1.0, -5, Db(15, 40) - 1},
      {Shelves(0, 0, 5000, -60), 44100, 1.0, -2, Db(-6, 40) - 1},
      {Shelves(0, 0, 5000, -150), 44100, 1.0, -2, -1},
      {Shelves(0, 0, 8000, 100000), 44100, 1.0, -7, Db(15, 40) - 1},
      // Low corners, where a unity-DC factor in the high section would all but silence it.
      {Shelves(0, 0, 1000, 150), 44100, 1.0, -1, Db(15, 40) - 1},
      {Shelves(0, 0, 1000, -150), 44100, 1.0, -0.4, -1},
      {Shelves(0, 0, 250, -90), 44100, 1.0, -0.1, Db(-9, 40) - 1},
      {Shelves(150, 90, 9000, -40), 48000, Db(9, 40), NAN, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.p.lowShelfGain << " / " << c.p.highShelfGain);
    const ShelfEqState st = Designed(c.p, c.rate);
    EXPECT_NEAR(MeasuredGain(st, 2, 0, 40000), c.dc, 1e-9);
    const double nyquist = MeasuredGain(st, 2, 1, 40000);
    if (!c.p.highShelfOn) {
      EXPECT_NEAR(nyquist, 1.0, c.dc < 1.0 ? 0.01 : 1e-3);
    }
    if (!std::isnan(c.highCompensationDb)) {
      const TwoPoleSection& s = st.high;
      const double lowpassAtNyquist = 1 / (1 + s.a1 + s.a2);
      const double g = Db(c.highCompensationDb, 20);
      EXPECT_NEAR(nyquist, std::fabs(1 + c.highFiltered * g * 4 * lowpassAtNyquist), 1e-9);
    }
    EXPECT_NEAR(nyquist, std::abs(Response(st, kPi)), 1e-9);
    for (int cycles : {1, 5, 31}) {
      const double want = std::abs(Response(st, 2 * kPi * cycles / 64));
      EXPECT_NEAR(MeasuredGain(st, 64, cycles, 40000), want, 1e-9) << cycles;
    }
  }
}

TEST(ShelfEqRun, ZeroGainOrSwitchedOffLeavesSamplesBitIdentical) {
  ShelfSettings p = Shelves(300, 0);
  p.lowShelfOn = 1;
  p.highShelfGain = 80;  // the high shelf is switched off
  ShelfEqState states[2];
  SetupShelfEq(p, 44100, states);
  EXPECT_FALSE(ShelfEqActive(states[0]));
  const std::vector<double> in = Noise(256, 7);
  std::vector<double> d = in;
  ApplyShelfEq(states[0], d.data(), d.size());
  EXPECT_EQ(d, in);
}

// One channel runs doubles whole, the other floats in blocks of 100: the float stream is the
// double one rounded, so both channels match and the state carries across blocks.
TEST(ShelfEqRun, FloatBlocksMatchDoubleRoundedAndTailsEndInExactZero) {
  ShelfEqState states[2];
  SetupShelfEq(Shelves(80, -150, 12000, 150), 44100, states);
  std::vector<double> d = Noise(500, 11);
  d.resize(20000, 0.0);
  std::vector<float> f(d.begin(), d.end());
  ApplyShelfEq(states[0], d.data(), d.size());
  for (size_t at = 0; at < f.size(); at += 100) ApplyShelfEq(states[1], &f[at], 100);
  for (size_t i = 0; i < f.size(); ++i) ASSERT_EQ(f[i], static_cast<float>(d[i])) << i;
  EXPECT_TRUE(d.back() == 0.0 && states[0].low.y1 == 0.0 && states[0].high.y1 == 0.0);
}

TEST(ShelfEqRun, StableOverEveryAllowedSetting) {
  // Noise, then silence long enough for the slowest resonator (20 Hz at 192 kHz) to die away.
  std::vector<double> noise = Noise(2000, 3);
  noise.resize(16000, 0.0);
  const LONG freqs[] = {20, 60, 200, 500, 1500, 5000, 12000, 15000, 20000};
  const LONG gains[] = {-150, -149, -60, -1, 1, 60, 150};
  const double rates[] = {8000, 11025, 22050, 32000, 44100, 48000, 88200, 96000, 192000};
  for (double rate : rates) {
    for (double processing : {rate, rate / 2}) {
      for (LONG freq : freqs) {
        for (LONG gain : gains) {
          ShelfEqState states[2];
          SetupShelfEq(Shelves(std::min<LONG>(freq, 15000), -gain, freq, gain), processing,
                       states);
          std::vector<double> x = noise;
          ApplyShelfEq(states[0], x.data(), x.size());
          // Bounded throughout (a NaN fails too) and silent over the last 1000 samples.
          for (size_t i = 0; i < x.size(); ++i) {
            ASSERT_LT(std::fabs(x[i]), i < x.size() - 1000 ? 16.0 : 1e-6)
                << processing << " Hz, " << freq << " Hz, " << gain << " at " << i;
          }
        }
      }
    }
  }
}
