// Shelf EQ of the wet signal: one low-shelf and one high-shelf two-pole section per wet channel.
//
// Numeric contract:
// - Frequencies in a ShelfDesign are normalised: Hz / processing rate in Hz (the processing rate is
//   the stream rate divided by the engine's rate divisor, so a corner keeps its frequency in Hz at
//   half rate). Every resonator corner is clamped to 0.0003 .. 0.49 (NaN counts as the low end).
// - Gains: dB in a ShelfDesign; tenths of a dB in ShelfSettings (-150..150, clamped to that range
//   here). Linear shelf levels are 10^(dB / 40): a shelf of g dB moves the level by g/2 dB.
// - Each section runs in double. Its resonator output y is flushed to exactly 0 when |y| < 2^-32,
//   so a decaying tail never turns into denormals.
// - Low boost: out = x + (10^(g/40) - 1) * lowpass(x)            (DC gain 10^(g/40), HF gain ~1)
//   Low cut:   out = 10^(g/40) x + (1 - 10^(g/40)) (x - lowpass(x)) (DC gain 10^(g/40), HF gain 1);
//              at or below the floor the section is a pure high-pass x - lowpass(x).
//   High:      out = u + filtered * second difference of lowpass(G * u), with G the high-shelf
//              compensation; DC passes unchanged.
// - Every resonator has both poles at radius exp(-pi fc / q) < 1, so all sections are stable for
//   any setting.
// - Nothing here allocates; ApplyShelfEq filters in place and may run on the audio thread.
#pragma once

#include <cstddef>

#include "platform/types.h"

// The six shelf settings, in the parameter record's units: Hz and tenths of a dB.
struct ShelfSettings {
  LONG lowShelfOn;     // 0 off
  LONG lowShelfFreq;   // Hz
  LONG lowShelfGain;   // tenths of a dB
  LONG highShelfOn;    // 0 off
  LONG highShelfFreq;  // Hz
  LONG highShelfGain;  // tenths of a dB
};

// What a design operation is asked for.
struct ShelfDesign {
  double fc;      // corner, Hz / processing rate
  double gainDb;  // shelf gain in dB
  double q;       // resonance
};

// One two-pole section: coefficients, gains and its last two resonator outputs.
struct TwoPoleSection {
  double y1;  // last resonator output
  double y2;  // the one before
  double a1;
  double a2;
  double b;             // 1 - a1 + a2: the resonator passes DC at unity
  double inputGain;     // scales the section's input into the resonator (high shelf only)
  double directGain;    // weight of the unfiltered signal in the output
  double filteredGain;  // weight of the filtered signal in the output
};

enum ShelfType : LONG {
  kShelfOff = 0,
  kShelfBoost = 1,
  kShelfCut = 2,
};

// The EQ of one wet channel.
struct ShelfEqState {
  LONG lowType;  // ShelfType
  TwoPoleSection low;
  LONG highType;  // ShelfType
  TwoPoleSection high;
};

// Settings that SetupShelfEq hands to the design operations.
constexpr double kShelfFloorDb = -15.0;  // a cut at or below this removes the shelf band entirely
constexpr double kLowBoostQ = 0.7;
constexpr double kLowCutQ = 0.1;
constexpr double kHighBoostQ = 0.7;
constexpr double kHighCutQ = 0.3;

// Resonator: corner fc (clamped to 0.0003 .. 0.49) and resonance q > 0. Sets a1, a2 and b; with
// reset the outputs y1, y2 become 0. The gains are left alone.
void NxSig_FindResonatorCoeffs(TwoPoleSection& section, double fc, double q, bool reset);

// High-shelf compensation G(f) for a normalised corner f: a linear gain from 1 down to about 0.22.
double NxSig_HiShelfCompensation(double f);

// The four shelf designs. The cut designs take the floor in dB at or below which the shelf band is
// removed entirely.
void NxSig_FindLowShelfCutCoeffs(TwoPoleSection& section, const ShelfDesign& design,
                                 double floorDb, bool reset);
void NxSig_FindLowShelfBoostCoeffs(TwoPoleSection& section, const ShelfDesign& design, bool reset);
void NxSig_FindHiShelfCutCoeffs(TwoPoleSection& section, const ShelfDesign& design,
                                double floorDb, bool reset);
void NxSig_FindHiShelfBoostCoeffs(TwoPoleSection& section, const ShelfDesign& design, bool reset);

// Designs both shelves from the shelf settings for a processing rate in Hz into states[0],
// resets their history, and copies states[0] to states[1]. A shelf that is off or has gain 0 gets
// type kShelfOff; so do both when the processing rate is not a positive finite number.
void SetupShelfEq(const ShelfSettings& settings, double processingRate, ShelfEqState states[2]);

// True when at least one section of the state would change the signal.
bool ShelfEqActive(const ShelfEqState& state);

// Filters count samples of one wet channel in place; the state carries over to the next block.
// Float samples are processed in double and rounded back.
void ApplyShelfEq(ShelfEqState& state, float* samples, std::size_t count);
void ApplyShelfEq(ShelfEqState& state, double* samples, std::size_t count);
