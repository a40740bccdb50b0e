// The four built-in presets: a string-table name and a whole parameter record each.
//
// Every one starts from the defaults (quality 3, no file names, the two-point envelope
// (0, 100), (1000, 0)); only "Reset, highest quality, with mono to stereo conversion" differs,
// with mono-to-stereo on.
#pragma once

#include "frame/plugin_params.h"

constexpr LONG kBuiltInPresetCount = 4;

// String-table identifiers of the preset names.
constexpr UINT kPresetNameDefault = 197;          // "(Default)"
constexpr UINT kPresetNameHighestQuality = 198;   // "Reset, highest quality"
constexpr UINT kPresetNameMonoToStereo = 199;     // "... with mono to stereo conversion"
constexpr UINT kPresetNameRealTimePreview = 200;  // "Reset, lower quality for real-time ..."

struct BuiltInPreset {
  UINT nameId;
  PlugInParams params;
};

// The preset at `index`, or null outside 0..kBuiltInPresetCount-1.
const BuiltInPreset* GetBuiltInPreset(LONG index);

// The preset's name in the current string set; the English text when the set lacks it. Empty
// outside the presets; never null.
LPCWSTR BuiltInPresetName(LONG index);
