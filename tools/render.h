// Rendering a wave file through a configured CNxPlugIn, as a host does: wave source -> filter ->
// wave sink in a CFilterGraph, run to the end of the stream, tail included.
#pragma once

#include <string>

#include "frame/nx_plugin.h"
#include "tools/progress.h"
#include "tools/wave_io.h"

// The filter as the host holds it: created through its factory function, one reference.
class PlugInHandle {
 public:
  PlugInHandle();
  ~PlugInHandle();
  PlugInHandle(const PlugInHandle&) = delete;
  PlugInHandle& operator=(const PlugInHandle&) = delete;
  CNxPlugIn* operator->() const { return plugin_; }
  CNxPlugIn* Get() const { return plugin_; }

 private:
  CNxPlugIn* plugin_;
};

struct RenderJob {
  std::string input;
  std::string output;
  unsigned blockFrames = 4096;  // frames per media sample the source delivers
  bool convertFormat = false;   // write `format` instead of the filter's output format
  SampleFormat format = SampleFormat::Float32;
  bool allowMissingImpulse = false;
  ProgressBar* progress = nullptr;
};

struct RenderResult {
  WAVEFORMATEX sourceFormat;  // what the source delivered to the filter
  WAVEFORMATEX outputFormat;  // what the filter delivered
  bool sourceConverted;       // the input was converted to 32-bit float first
  unsigned long long inputFrames;
  unsigned long long outputFrames;
  unsigned long long clipped;  // 16-bit samples saturated (or clamped by --format pcm16)
  bool impulseMissing;         // rendered dry because the impulse was not found
};

// The impulse file the filter would read for its current parameters: the packaged impulse
// beside the module, or the named file. Empty when none is named.
std::string EffectiveImpulsePath(CNxPlugIn* plugin);

// Checks the input (readable wave, one or two channels), renders it into `job.output` and
// returns what happened. The output is written under a temporary name beside it and renamed
// only once complete, so a failure never leaves a partial file under the asked name. Failures
// are thrown as CliError naming the file.
RenderResult Render(CNxPlugIn* plugin, const RenderJob& job);
