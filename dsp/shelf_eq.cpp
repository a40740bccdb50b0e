#include "dsp/shelf_eq.h"
#include "dsp/exact_math.h"

#include <cmath>

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kMinCorner = 0.0003;
constexpr double kMaxCorner = 0.49;
constexpr double kFlushLevel = 1.0 / 4294967296.0;  // 2^-32

// The low cut's resonator sits further below the corner above 500 Hz at 44.1 kHz.
constexpr double kLowCutSplit = 500.0 / 44100.0;

// High-shelf compensation table: levels in dB at f_k = k * 1000 / 44100.
constexpr int kCompensationPoints = 16;
constexpr double kCompensationDb[kCompensationPoints] = {0,  -1, -2, -3,  -4,  -5,  -5,  -6,
                                                         -7, -8, -9, -10, -11, -12, -12, -13};

double CompensationPoint(int k) { return k * 1000.0 / 44100.0; }

// NaN goes to the low end so that no comparison can let it through.
double ClampCorner(double fc) {
  if (!(fc >= kMinCorner)) return kMinCorner;
  return fc > kMaxCorner ? kMaxCorner : fc;
}

// The high cut's resonator corner: well below the requested corner for low settings, rising to it
// towards the top of the band.
double HiShelfCutCorner(double fc) {
  if (fc < 0.0004) return 0.00016;
  if (fc > kMaxCorner) return kMaxCorner * ((kMaxCorner - 0.125) * 1.6 + 0.4);
  if (fc < 0.125) return 0.4 * fc;
  return fc * ((fc - 0.125) * 1.6 + 0.4);
}

double ShelfLevel(double gainDb) { return NxPow10(gainDb / 40.0); }

double Flush(double y) { return std::fabs(y) < kFlushLevel ? 0.0 : y; }

// One resonator step on an already scaled input; returns the new output and shifts the history.
inline double Resonate(TwoPoleSection& s, double scaledIn) {
  const double y = Flush(scaledIn + s.a1 * s.y1 - s.a2 * s.y2);
  s.y2 = s.y1;
  s.y1 = y;
  return y;
}

inline double ApplyLow(LONG type, TwoPoleSection& s, double x) {
  const double y = Resonate(s, s.b * x);
  const double v = type == kShelfBoost ? y : x - y;
  return s.directGain * x + s.filteredGain * v;
}

inline double ApplyHigh(TwoPoleSection& s, double u) {
  const double oldY1 = s.y1;
  const double oldY2 = s.y2;
  // The high section has no unity-DC factor: its second difference already removes DC, and the
  // compensation G is what sets its level at Nyquist.
  const double y = Resonate(s, s.inputGain * u);
  const double secondDifference = y - 2.0 * oldY1 + oldY2;
  return s.directGain * u + s.filteredGain * secondDifference;
}

template <typename Sample>
void ApplyShelfEqTo(ShelfEqState& state, Sample* samples, std::size_t count) {
  const LONG lowType = state.lowType;
  const LONG highType = state.highType;
  if (lowType == kShelfOff && highType == kShelfOff) return;
  for (std::size_t i = 0; i < count; ++i) {
    double x = static_cast<double>(samples[i]);
    if (lowType != kShelfOff) x = ApplyLow(lowType, state.low, x);
    if (highType != kShelfOff) x = ApplyHigh(state.high, x);
    samples[i] = static_cast<Sample>(x);
  }
}

// Tenths of a dB, limited to the range the parameter interface allows.
double ShelfGainDb(LONG tenths) {
  if (tenths < -150) tenths = -150;
  if (tenths > 150) tenths = 150;
  return tenths / 10.0;
}

void SetupLowShelf(const ShelfSettings& settings, double processingRate, ShelfEqState& state) {
  state.lowType = kShelfOff;
  state.low = TwoPoleSection{};
  if (!settings.lowShelfOn || settings.lowShelfGain == 0) return;
  const double fc = settings.lowShelfFreq / processingRate;
  const double gainDb = ShelfGainDb(settings.lowShelfGain);
  if (gainDb > 0) {
    NxSig_FindLowShelfBoostCoeffs(state.low, ShelfDesign{fc, gainDb, kLowBoostQ}, true);
    state.lowType = kShelfBoost;
  } else {
    NxSig_FindLowShelfCutCoeffs(state.low, ShelfDesign{fc, gainDb, kLowCutQ}, kShelfFloorDb, true);
    state.lowType = kShelfCut;
  }
}

void SetupHighShelf(const ShelfSettings& settings, double processingRate, ShelfEqState& state) {
  state.highType = kShelfOff;
  state.high = TwoPoleSection{};
  if (!settings.highShelfOn || settings.highShelfGain == 0) return;
  const double fc = settings.highShelfFreq / processingRate;
  const double gainDb = ShelfGainDb(settings.highShelfGain);
  if (gainDb > 0) {
    NxSig_FindHiShelfBoostCoeffs(state.high, ShelfDesign{fc, gainDb, kHighBoostQ}, true);
    state.highType = kShelfBoost;
  } else {
    NxSig_FindHiShelfCutCoeffs(state.high, ShelfDesign{fc, gainDb, kHighCutQ}, kShelfFloorDb,
                               true);
    state.highType = kShelfCut;
  }
}

}  // namespace

void NxSig_FindResonatorCoeffs(TwoPoleSection& section, double fc, double q, bool reset) {
  fc = ClampCorner(fc);
  const double r = NxExp(-kPi * fc / q);
  section.a1 = 2.0 * r * NxCos(2.0 * kPi * fc);
  section.a2 = NxExp(-2.0 * kPi * fc / q);
  section.b = 1.0 - section.a1 + section.a2;
  if (reset) {
    section.y1 = 0.0;
    section.y2 = 0.0;
  }
}

double NxSig_HiShelfCompensation(double f) {
  f = ClampCorner(f);
  int k = 1;
  while (k < kCompensationPoints - 1 && CompensationPoint(k) < f) ++k;
  double levelDb = kCompensationDb[k];
  const double upper = CompensationPoint(k);
  if (f < upper) {
    const double lower = CompensationPoint(k - 1);
    const double t = (f - lower) / (upper - lower);
    levelDb = kCompensationDb[k - 1] + t * (kCompensationDb[k] - kCompensationDb[k - 1]);
  }
  return NxPow10(levelDb / 20.0);
}

void NxSig_FindLowShelfCutCoeffs(TwoPoleSection& section, const ShelfDesign& design,
                                 double floorDb, bool reset) {
  const double divisor = design.fc < kLowCutSplit ? 2.2 : 3.3;
  NxSig_FindResonatorCoeffs(section, design.fc / divisor, design.q, reset);
  section.inputGain = 1.0;
  section.directGain = design.gainDb <= floorDb ? 0.0 : ShelfLevel(design.gainDb);
  section.filteredGain = 1.0 - section.directGain;
}

void NxSig_FindLowShelfBoostCoeffs(TwoPoleSection& section, const ShelfDesign& design,
                                   bool reset) {
  NxSig_FindResonatorCoeffs(section, design.fc / 1.5, design.q, reset);
  section.inputGain = 1.0;
  section.directGain = 1.0;
  section.filteredGain = ShelfLevel(design.gainDb) - 1.0;
}

void NxSig_FindHiShelfCutCoeffs(TwoPoleSection& section, const ShelfDesign& design,
                                double floorDb, bool reset) {
  const double corner = HiShelfCutCorner(design.fc);
  NxSig_FindResonatorCoeffs(section, corner, design.q, reset);
  section.inputGain = NxSig_HiShelfCompensation(corner);
  section.directGain = 1.0;
  section.filteredGain = design.gainDb <= floorDb ? -1.0 : ShelfLevel(design.gainDb) - 1.0;
}

void NxSig_FindHiShelfBoostCoeffs(TwoPoleSection& section, const ShelfDesign& design,
                                  bool reset) {
  NxSig_FindResonatorCoeffs(section, design.fc, design.q, reset);
  section.inputGain = NxSig_HiShelfCompensation(design.fc);
  section.directGain = 1.0;
  section.filteredGain = ShelfLevel(design.gainDb) - 1.0;
}

void SetupShelfEq(const ShelfSettings& settings, double processingRate, ShelfEqState states[2]) {
  ShelfEqState& first = states[0];
  if (std::isfinite(processingRate) && processingRate > 0.0) {
    SetupLowShelf(settings, processingRate, first);
    SetupHighShelf(settings, processingRate, first);
  } else {
    first = ShelfEqState{};
  }
  states[1] = first;
}

bool ShelfEqActive(const ShelfEqState& state) {
  return state.lowType != kShelfOff || state.highType != kShelfOff;
}

void ApplyShelfEq(ShelfEqState& state, float* samples, std::size_t count) {
  ApplyShelfEqTo(state, samples, count);
}

void ApplyShelfEq(ShelfEqState& state, double* samples, std::size_t count) {
  ApplyShelfEqTo(state, samples, count);
}
