// Preset files through the filter's IPersistStream, as a host stores them, and the head of a
// preset read without the filter (version and sizes for `preset show`).
#pragma once

#include <string>

#include "frame/nx_plugin.h"

// Loads the preset file into the filter (a packaged impulse goes to "~IRX.TMP" beside the
// module). Failures are thrown naming the file.
void LoadPresetFile(CNxPlugIn* plugin, const std::string& path);
// Saves the filter's settings (and a packaged impulse) to `path`, replacing it.
void SavePresetFile(CNxPlugIn* plugin, const std::string& path);

struct PresetHead {
  unsigned long fileBytes;     // the file's size (up to 4 GB counted)
  unsigned long totalBytes;    // the size the head claims: layout plus packaged impulse
  long version;                // 24243, 24242, or 0 for the oldest layout (no version block)
  unsigned long layoutBytes;   // 2320, 1280 or 1256
  unsigned long impulseBytes;  // packaged impulse bytes the head claims
};

// Reads and checks the head; failures are thrown naming the file.
PresetHead ReadPresetHead(const std::string& path);

// Loads only the record of the preset into the filter, leaving any packaged impulse where it
// is, so that showing a preset changes nothing on disk.
void LoadPresetRecord(CNxPlugIn* plugin, const std::string& path, const PresetHead& head);
