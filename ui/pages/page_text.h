// Texts and numbers the pages show and read: level labels, fixed-point fields, the typed
// decimals, formatted string-table texts, the header strip's title and the status line.
#pragma once

#include <initializer_list>

#include "ui/pages/dialog.h"

// A level in tenths of a dB as the toolkit's label shows it: "-79.9 dB"; "-Inf." at or below
// `floor` (the control's minimum).
NxText NxLevelText(LONG tenthsOfDb, LONG floor);

// `value` / 10^decimals with exactly `decimals` digits after the point ("-250.0", "12.34").
NxText NxFixedText(LONG value, int decimals);

// Reads a number typed into a field as value * 10^decimals, from the typed digits themselves
// (no binary fraction in between, so "0.29" with 2 decimals is 29, and "1.15" is 115): leading
// blanks, an optional sign, digits, an optional point and digits; whatever follows is ignored.
// Digits past `decimals` are cut (toward zero); no digits give 0; only the first `maxUnits`
// units are read; a value beyond the 32-bit range gives the nearest end of it.
LONG NxParseFixed(const NxText& text, int decimals, size_t maxUnits = 9);

// One argument of NxFormatText: a number or a text.
struct NxFormatArgument {
  NxFormatArgument(LONGLONG value) : number(value) {}  // NOLINT: arguments convert in place
  NxFormatArgument(LPCWSTR value) : text(value) {}     // NOLINT
  LONGLONG number = 0;
  LPCWSTR text = nullptr;
};

// Fills a string-table pattern: %d, %u, %lu (with an optional zero-filled width, "%02lu"), %s
// and %%. A conversion without an argument, or of another kind, ends the text there.
NxText NxFormatText(LPCWSTR pattern, std::initializer_list<NxFormatArgument> arguments);

// The header strip's title: the product name with the host's name "LUMEN " taken out.
NxText NxHeaderTitle(LPCWSTR productName);

// The status line's text for a processing status (empty for codes outside 1..6), whether it is
// a busy one (wait cursor), and the colour of its text (0 black, else the toolkit's colour).
NxText NxStatusText(LONG status);
bool NxStatusIsBusy(LONG status);
int NxStatusColour(LONG status);

// The envelope editor's decay marker (0..1000 on the impulse's length) and the decay limit
// (hundredths of a second), both ways in 64-bit integers: the marker is the first position
// whose decay reaches the limit, and a position reads back as the decay it covers, so a limit
// taken to the marker and back is the same limit whenever the impulse is at most 10 s long,
// and a position taken to a limit and back is the same position when it is longer.
LONG NxDecayToMarker(LONG decayHundredths, DWORD frames, DWORD rate);
LONG NxMarkerToDecay(LONG position, DWORD frames, DWORD rate);
