// auralith process INPUT OUTPUT [options]: renders a wave file through the reverb.
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "frame/builtin_presets.h"
#include "frame/module_info.h"
#include "impulse/impulse_loader.h"
#include "tools/cli.h"
#include "tools/commands.h"
#include "tools/impulse_plan.h"
#include "tools/options.h"
#include "tools/preset_io.h"
#include "tools/render.h"
#include "tools/summary_text.h"

namespace {

const char kCommand[] = "process";

const std::vector<OptionSpec> kOptions = {
    {"impulse", true},      {"preset", true},       {"dry", true},
    {"wet", true},          {"width", true},        {"delay", true},
    {"pan", true},          {"quality", true},      {"mono-to-stereo", false},
    {"envelope", true},     {"decay-limit", true},  {"low-shelf", true},
    {"high-shelf", true},   {"save-preset", true},  {"format", true},
    {"block-frames", true}, {"allow-missing-impulse", false}, {"package-impulse", false},
    {"progress", false},    {"quiet", false},
};

// Sets a file name through the interface; names past the record's 259 units are refused rather
// than cut, since a cut name would name another file.
void SetImpulseName(CNxPlugIn* plugin, const std::string& option, const std::string& name) {
  const WideString wide = Wide(name);
  if (wide.size() >= static_cast<size_t>(kMaxPathUnits))
    UsageError(kCommand, "'--" + option + "' path is longer than 259 characters");
  plugin->SetImpulseFile(wide.c_str());
}

// Copies the impulse into "~IRX.TMP" beside the module as an impulse file with its samples
// inside, and has the filter use and package it.
void PackageImpulse(CNxPlugIn* plugin) {
  const std::string source = EffectiveImpulsePath(plugin);
  if (source.empty()) UsageError(kCommand, "'--package-impulse' needs an impulse");
  WCHAR path[kMaxPathUnits];
  if (!NxGetPackagedImpulsePath(path)) Failure("the program's folder is unknown");
  const std::string packaged = Narrow(path);
  LONG already = 0;
  plugin->GetPackageImpulse(&already);
  if (already == 0) {
    const int code = SaveImpulseFile(Wide(packaged).c_str(), Wide(source).c_str());
    if (code == kImpulseWriteFailed) FileError(packaged, LastFileError());
    if (code < 0) FileError(source, "cannot be packaged into " + packaged);
  }
  plugin->SetImpulseFile(kPackagedImpulseName);
  plugin->SetPackageImpulse(1);
}

void ApplyOptions(CNxPlugIn* plugin, const ParsedArgs& args) {
  if (args.Has("impulse")) {
    SetImpulseName(plugin, "impulse", AbsolutePath(args.Get("impulse")));
    plugin->SetPackageImpulse(0);
  }
  if (args.Has("dry")) plugin->SetDryOut(ParseLevel(kCommand, "dry", args.Get("dry")));
  if (args.Has("wet")) plugin->SetWetOut(ParseLevel(kCommand, "wet", args.Get("wet")));
  if (args.Has("width"))
    plugin->SetResponseWidth(ParseInteger(kCommand, "width", args.Get("width"), 0, 100));
  if (args.Has("delay"))
    plugin->SetResponseDelay(ToTenths(ParseNumber(kCommand, "delay", args.Get("delay"), -500, 500)));
  if (args.Has("pan")) plugin->SetPan(ParseInteger(kCommand, "pan", args.Get("pan"), -100, 100));
  if (args.Has("quality"))
    plugin->SetQuality(ParseInteger(kCommand, "quality", args.Get("quality"), 1, 5));
  if (args.Has("mono-to-stereo")) plugin->SetMonoToStereo(1);
  if (args.Has("envelope")) {
    const std::vector<EnvelopePoint> points = ParseEnvelope(kCommand, "envelope", args.Get("envelope"));
    plugin->SetEnvelopePoints(points.data(), static_cast<LONG>(points.size()));
    plugin->SetApplyEnvelope(1);
  }
  if (args.Has("decay-limit")) {
    plugin->SetDecayLimit(
        ToHundredths(ParseNumber(kCommand, "decay-limit", args.Get("decay-limit"), 0.01, 12.0)));
    plugin->SetApplyEnvelope(1);
  }
  LONG hz = 0;
  LONG gain = 0;
  if (args.Has("low-shelf")) {
    ParseShelf(kCommand, "low-shelf", args.Get("low-shelf"), 20, 15000, &hz, &gain);
    plugin->SetLowShelfFreq(hz);
    plugin->SetLowShelfGain(gain);
    plugin->SetLowShelfOn(1);
  }
  if (args.Has("high-shelf")) {
    ParseShelf(kCommand, "high-shelf", args.Get("high-shelf"), 20, 20000, &hz, &gain);
    plugin->SetHighShelfFreq(hz);
    plugin->SetHighShelfGain(gain);
    plugin->SetHighShelfOn(1);
  }
  if (args.Has("package-impulse")) PackageImpulse(plugin);
}

// An impulse that cannot be found is an error here: a command line must not quietly write dry
// audio.
void CheckImpulse(CNxPlugIn* plugin) {
  const std::string impulse = EffectiveImpulsePath(plugin);
  if (impulse.empty())
    UsageError(kCommand, "no impulse: give --impulse FILE or a --preset that names one");
  ImpulseInfo info;
  if (!GetImpulseInfo(Wide(impulse).c_str(), &info, nullptr)) {
    std::error_code error;
    const bool exists = std::filesystem::exists(std::filesystem::u8path(impulse), error);
    FileError(impulse, exists ? "not a usable impulse or wave file"
                              : "impulse not found (--allow-missing-impulse renders dry)");
  }
}

}  // namespace

int RunProcess(const Args& rawArgs) {
  const ParsedArgs args = ParseArgs(kCommand, rawArgs, kOptions);
  if (args.helpAsked) return PrintHelp(kCommand);
  RequirePositionals(kCommand, args, 2, 2, "INPUT and OUTPUT");
  RenderJob job;
  job.input = args.positionals[0];
  job.output = args.positionals[1];
  if (args.Has("format")) {
    if (!ParseSampleFormat(args.Get("format"), &job.format))
      UsageError(kCommand, "'--format' is pcm16, float32 or float64, not '" + args.Get("format") + "'");
    job.convertFormat = true;
  }
  if (args.Has("block-frames"))
    job.blockFrames = static_cast<unsigned>(
        ParseInteger(kCommand, "block-frames", args.Get("block-frames"), 1, 1 << 20));
  job.allowMissingImpulse = args.Has("allow-missing-impulse");

  PlugInHandle plugin;
  plugin->ApplyPreset(0);  // "(Default)"
  if (args.Has("preset")) LoadPresetFile(plugin.Get(), args.Get("preset"));
  ApplyOptions(plugin.Get(), args);
  if (!job.allowMissingImpulse) CheckImpulse(plugin.Get());

  ProgressBar progress(ProgressBar::WantedBy(args), "Rendering");
  job.progress = &progress;
  const RenderResult result = Render(plugin.Get(), job);
  if (args.Has("save-preset")) SavePresetFile(plugin.Get(), args.Get("save-preset"));

  if (!args.Has("quiet")) {
    std::printf("%s: %s\n", job.input.c_str(), FormatText(result.sourceFormat, result.inputFrames).c_str());
    if (result.sourceConverted) std::printf("  (converted to 32-bit float for the filter)\n");
    if (result.impulseMissing) std::printf("  impulse not found: rendered dry\n");
    const std::string written = job.convertFormat ? std::string(SampleFormatName(job.format))
                                                   : SampleFormatText(result.outputFormat);
    std::printf("%s: %u Hz, %s, %s, %s (tail included)\n", job.output.c_str(),
                static_cast<unsigned>(result.outputFormat.nSamplesPerSec),
                ChannelText(result.outputFormat.nChannels).c_str(), written.c_str(),
                DurationText(result.outputFrames, result.outputFormat.nSamplesPerSec).c_str());
    if (args.Has("save-preset")) std::printf("preset saved to %s\n", args.Get("save-preset").c_str());
  }
  if (!args.Has("quiet") && !result.impulseMissing) {
    // The filter shortens the impulse and drops channels by design; say so, or the user takes
    // the rendering for the whole impulse.
    PlugInParams params;
    plugin->GetParams(&params);
    WCHAR named[kMaxPathUnits];
    plugin->GetImpulseFile(named, kMaxPathUnits);
    const std::string shown = args.Has("impulse") ? args.Get("impulse") : Narrow(named);
    for (const std::string& note : ImpulseNotes(shown, EffectiveImpulsePath(plugin.Get()), params,
                                                result.sourceFormat, result.outputFormat))
      std::fprintf(stderr, "auralith: %s\n", note.c_str());
  }
  if (result.clipped != 0) {
    std::fprintf(stderr, "auralith: %s: %llu samples clipped at 16-bit full scale (lower --wet or --dry)\n",
                 job.output.c_str(), result.clipped);
  }
  return kExitOk;
}
