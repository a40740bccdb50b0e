// What the engine will make of an impulse, in the user's terms. The figures come from the
// engine's own plan (PlanImpulse), so they are what a rendering keeps, not a second reckoning.
#pragma once

#include <string>
#include <vector>

#include "frame/impulse_prep.h"
#include "frame/plugin_params.h"
#include "platform/wave_format.h"

// An impulse file as the filter describes it, and the engine's plan for it.
struct PlannedImpulse {
  ImpulseSourceInfo info;
  ImpulsePlan plan;
};

// The plan for `file` under `params` and the stream formats (channels and rate), with the
// "MaxImpulseSize" of the settings file or, when not negative, `maxFrames`; false when the
// filter could not use the file as an impulse or nothing of it would remain.
bool PlanImpulseFile(const std::string& file, const PlugInParams& params, const StreamShape& input,
                     const StreamShape& output, PlannedImpulse* planned, int64_t maxFrames = -1);

StreamShape ShapeOf(const WAVEFORMATEX& format);

// Seconds of the impulse that the plan convolves, and the file's own length.
double KeptSeconds(const ImpulsePlan& plan);
double FileSeconds(const PlannedImpulse& planned);

// The lines `process` prints on standard error for the impulse `file` (named `shown`) as used
// for a rendering: when less of it is used than the file holds, how much and why with the way
// out, and when only its first channel is used.
std::vector<std::string> ImpulseNotes(const std::string& shown, const std::string& file,
                                      const PlugInParams& params, const WAVEFORMATEX& input,
                                      const WAVEFORMATEX& output);
