#include "frame/builtin_presets.h"

#include "frame/audio_transform.h"
#include "toolkit/string_table.h"

namespace {

struct PresetTable {
  BuiltInPreset presets[kBuiltInPresetCount];
};

PresetTable MakeTable() {
  const PlugInParams defaults = DefaultPlugInParams();
  PresetTable table = {{{kPresetNameDefault, defaults},
                        {kPresetNameHighestQuality, defaults},
                        {kPresetNameMonoToStereo, defaults},
                        {kPresetNameRealTimePreview, defaults}}};
  table.presets[2].params.monoToStereo = 1;
  return table;
}

// Shown when the string set has no text for the preset (a language file that lacks it).
constexpr LPCWSTR kEnglishNames[kBuiltInPresetCount] = {
    NXW("(Default)"),
    NXW("Reset, highest quality"),
    NXW("Reset, highest quality, with mono to stereo conversion"),
    NXW("Reset, lower quality for real-time previewing"),
};

}  // namespace

const BuiltInPreset* GetBuiltInPreset(LONG index) {
  static const PresetTable table = MakeTable();
  if (index < 0 || index >= kBuiltInPresetCount) return nullptr;
  return &table.presets[index];
}

LPCWSTR BuiltInPresetName(LONG index) {
  const BuiltInPreset* preset = GetBuiltInPreset(index);
  if (preset == nullptr) return NXW("");
  const LPCWSTR text = NxGetString(preset->nameId);
  return text != nullptr && text[0] != 0 ? text : kEnglishNames[index];
}
