#include "tools/impulse_plan.h"

#include <algorithm>
#include <cstdio>

#include "frame/impulse_file_source.h"
#include "impulse/settings.h"
#include "tools/cli.h"

namespace {

std::string Seconds(double seconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2f s", seconds);
  return text;
}

}  // namespace

StreamShape ShapeOf(const WAVEFORMATEX& format) {
  return {format.nChannels, format.nSamplesPerSec, format.wBitsPerSample};
}

bool PlanImpulseFile(const std::string& file, const PlugInParams& params, const StreamShape& input,
                     const StreamShape& output, PlannedImpulse* planned, int64_t maxFrames) {
  if (file.empty() || !FileImpulseSource()->GetInfo(Wide(file).c_str(), &planned->info))
    return false;
  if (maxFrames < 0) maxFrames = NxSettings_GetInt(kNxMaxImpulseSize);
  return PlanImpulse(params, input, output, planned->info, maxFrames, &planned->plan) ==
         kConvolverOk;
}

double KeptSeconds(const ImpulsePlan& plan) {
  return plan.processingRate != 0 ? double(plan.keptSamples) / plan.processingRate : 0.0;
}

double FileSeconds(const PlannedImpulse& planned) {
  return planned.info.sampleRate != 0 ? double(planned.plan.fileFrames) / planned.info.sampleRate
                                      : 0.0;
}

std::vector<std::string> ImpulseNotes(const std::string& shown, const std::string& file,
                                      const PlugInParams& params, const WAVEFORMATEX& input,
                                      const WAVEFORMATEX& output) {
  std::vector<std::string> notes;
  const StreamShape in = ShapeOf(input);
  const StreamShape out = ShapeOf(output);
  PlannedImpulse used;
  if (!PlanImpulseFile(file, params, in, out, &used)) return notes;
  const ImpulsePlan& plan = used.plan;
  const std::string cut =
      shown + ": impulse cut to " + Seconds(KeptSeconds(plan)) + " of " + Seconds(FileSeconds(used));
  // The cuts apply in the order limit, decay limit, quality; the last one that bites is the reason.
  if (plan.cutByQuality) {
    // The lowest higher quality that keeps the most.
    std::string better;
    double bestSeconds = KeptSeconds(plan);
    for (LONG q = params.quality + 1; q <= 5; ++q) {
      PlugInParams other = params;
      other.quality = q;
      PlannedImpulse alternative;
      if (!PlanImpulseFile(file, other, in, out, &alternative)) continue;
      const double seconds = KeptSeconds(alternative.plan);
      if (seconds <= bestSeconds) continue;
      bestSeconds = seconds;
      better = " (quality " + std::to_string(q) + " keeps up to " + Seconds(seconds) + ")";
    }
    notes.push_back(cut + " by quality " + std::to_string(params.quality) + better);
  } else if (plan.cutByDecayLimit) {
    notes.push_back(cut + " by the decay limit");
  } else if (plan.cutByMaxFrames) {
    // The setting that would keep the whole file, within what the setting allows.
    const int64_t whole = std::min<int64_t>(plan.fileFrames, kNxMaxImpulseSize.maximum);
    PlannedImpulse raised;
    std::string remedy;
    if (PlanImpulseFile(file, params, in, out, &raised, whole))
      remedy = " (MaxImpulseSize=" + std::to_string(whole) + " keeps " +
               Seconds(KeptSeconds(raised.plan)) + ")";
    notes.push_back(cut + " by MaxImpulseSize in auralith.ini" + remedy);
  }
  if (used.info.channels >= 2 && plan.impulseChannelsUsed < 2) {
    std::string remedy;
    if (out.channels == 1) {
      remedy = "--mono-to-stereo renders both";
    } else {
      for (LONG q = params.quality + 1; q <= 5 && remedy.empty(); ++q) {
        PlugInParams other = params;
        other.quality = q;
        PlannedImpulse alternative;
        if (PlanImpulseFile(file, other, in, out, &alternative) &&
            alternative.plan.impulseChannelsUsed == 2)
          remedy = "quality " + std::to_string(q) + " renders both";
      }
    }
    notes.push_back(shown + ": only the impulse's first channel is used" +
                    (remedy.empty() ? std::string() : " (" + remedy + ")"));
  }
  return notes;
}
