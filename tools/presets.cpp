// auralith preset show FILE [--json] | preset builtin INDEX OUTPUT | preset list
#include <cstdio>

#include "frame/builtin_presets.h"
#include "tools/cli.h"
#include "tools/commands.h"
#include "tools/json.h"
#include "tools/options.h"
#include "tools/preset_io.h"
#include "tools/render.h"

namespace {

const char kCommand[] = "preset";

struct NamedField {
  const char* name;
  LONG PlugInParams::*field;
};

// The 32-bit fields in record order, each under its record name.
const NamedField kFields[] = {
    {"dryOut", &PlugInParams::dryOut},
    {"wetOut", &PlugInParams::wetOut},
    {"responseWidth", &PlugInParams::responseWidth},
    {"applyEnvelope", &PlugInParams::applyEnvelope},
    {"decayLimit", &PlugInParams::decayLimit},
    {"responseDelay", &PlugInParams::responseDelay},
    {"highShelfFreq", &PlugInParams::highShelfFreq},
    {"highShelfGain", &PlugInParams::highShelfGain},
    {"lowShelfFreq", &PlugInParams::lowShelfFreq},
    {"lowShelfGain", &PlugInParams::lowShelfGain},
    {"highShelfOn", &PlugInParams::highShelfOn},
    {"lowShelfOn", &PlugInParams::lowShelfOn},
    {"recoveryMode", &PlugInParams::recoveryMode},
    {"removeLowFreq", &PlugInParams::removeLowFreq},
    {"packageImpulse", &PlugInParams::packageImpulse},
    {"quality", &PlugInParams::quality},
};

struct NamedText {
  const char* name;
  WCHAR (PlugInParams::*field)[kMaxPathUnits];
};

const NamedText kTexts[] = {
    {"impulseFile", &PlugInParams::impulseFile},
    {"testFile", &PlugInParams::testFile},
    {"recordedFile", &PlugInParams::recordedFile},
    {"outputFile", &PlugInParams::outputFile},
};

// The record's text, terminated within its 260 units even when the stored one is not.
std::string TextOf(const WCHAR (&text)[kMaxPathUnits]) {
  WCHAR copy[kMaxPathUnits];
  for (int i = 0; i < kMaxPathUnits; ++i) copy[i] = text[i];
  copy[kMaxPathUnits - 1] = 0;
  return Narrow(copy);
}

// The value in the unit a user reads, for the text listing.
std::string UnitText(const std::string& name, LONG value) {
  char text[48] = "";
  if (name == "dryOut" || name == "wetOut") {
    if (value <= -800) return "off";
    std::snprintf(text, sizeof text, "%.1f dB", value / 10.0);
  } else if (name == "highShelfGain" || name == "lowShelfGain") {
    std::snprintf(text, sizeof text, "%.1f dB", value / 10.0);
  } else if (name == "responseDelay") {
    std::snprintf(text, sizeof text, "%.1f ms", value / 10.0);
  } else if (name == "decayLimit") {
    std::snprintf(text, sizeof text, "%.2f s", value / 100.0);
  } else if (name == "highShelfFreq" || name == "lowShelfFreq") {
    std::snprintf(text, sizeof text, "%ld Hz", static_cast<long>(value));
  }
  return text;
}

void ShowJson(const std::string& path, const PresetHead& head, const PlugInParams& params) {
  JsonWriter json;
  json.BeginObject();
  json.String("file", path);
  json.Integer("version", head.version);
  json.Integer("size", static_cast<long long>(head.totalBytes));
  json.Integer("fileSize", static_cast<long long>(head.fileBytes));
  json.Integer("packagedImpulseSize", static_cast<long long>(head.impulseBytes));
  json.BeginObject("params");
  for (const NamedField& f : kFields) json.Integer(f.name, params.*(f.field));
  for (const NamedText& t : kTexts) json.String(t.name, TextOf(params.*(t.field)));
  json.Integer("envelopeCount", params.envelopeCount);
  json.BeginArray("envelopePoints");
  for (const EnvelopePoint& point : params.envelopePoints) {
    json.BeginObject();
    json.Integer("position", point.position);
    json.Integer("level", point.level);
    json.EndObject();
  }
  json.EndArray();
  json.Integer("monoToStereo", params.monoToStereo);
  json.Integer("pan", params.pan);
  json.EndObject();
  json.EndObject();
  std::fputs(json.Text().c_str(), stdout);
}

void ShowText(const std::string& path, const PresetHead& head, const PlugInParams& params) {
  std::printf("%s: Auralith preset, version %s, %lu bytes", path.c_str(),
              head.version == 0 ? "before 24242" : std::to_string(head.version).c_str(),
              head.totalBytes);
  if (head.impulseBytes != 0) std::printf(" (packaged impulse: %lu bytes)", head.impulseBytes);
  std::printf("\n");
  for (const NamedField& f : kFields) {
    const LONG value = params.*(f.field);
    const std::string unit = UnitText(f.name, value);
    std::printf("  %-16s %ld%s%s\n", f.name, static_cast<long>(value), unit.empty() ? "" : "  ",
                unit.c_str());
  }
  for (const NamedText& t : kTexts) std::printf("  %-16s %s\n", t.name, TextOf(params.*(t.field)).c_str());
  std::printf("  %-16s %ld:", "envelope", static_cast<long>(params.envelopeCount));
  for (LONG i = 0; i < params.envelopeCount && i < kMaxEnvelopePoints; ++i)
    std::printf(" %ld:%ld", static_cast<long>(params.envelopePoints[i].position),
                static_cast<long>(params.envelopePoints[i].level));
  std::printf("\n  %-16s %ld\n  %-16s %ld\n", "monoToStereo", static_cast<long>(params.monoToStereo),
              "pan", static_cast<long>(params.pan));
}

int Show(const Args& rawArgs) {
  const ParsedArgs args = ParseArgs("preset show", rawArgs, {{"json", false}});
  if (args.helpAsked) return PrintHelp(kCommand);
  RequirePositionals("preset show", args, 1, 1, "FILE");
  const std::string& path = args.positionals[0];
  const PresetHead head = ReadPresetHead(path);
  PlugInHandle plugin;
  LoadPresetRecord(plugin.Get(), path, head);
  PlugInParams params;
  plugin->GetParams(&params);
  if (args.Has("json")) ShowJson(path, head, params);
  else ShowText(path, head, params);
  return kExitOk;
}

int Builtin(const Args& rawArgs) {
  const ParsedArgs args = ParseArgs("preset builtin", rawArgs, {});
  if (args.helpAsked) return PrintHelp(kCommand);
  RequirePositionals("preset builtin", args, 2, 2, "INDEX and OUTPUT");
  const LONG index = static_cast<LONG>(
      ParseInteger("preset builtin", "INDEX", args.positionals[0], 0, kBuiltInPresetCount - 1));
  PlugInHandle plugin;
  plugin->ApplyPreset(index);
  SavePresetFile(plugin.Get(), args.positionals[1]);
  std::printf("%s: built-in preset %ld \"%s\" written\n", args.positionals[1].c_str(),
              static_cast<long>(index), Narrow(BuiltInPresetName(index)).c_str());
  return kExitOk;
}

int List(const Args& rawArgs) {
  const ParsedArgs args = ParseArgs("preset list", rawArgs, {});
  if (args.helpAsked) return PrintHelp(kCommand);
  RequirePositionals("preset list", args, 0, 0, "");
  for (LONG i = 0; i < kBuiltInPresetCount; ++i)
    std::printf("%ld  %s\n", static_cast<long>(i), Narrow(BuiltInPresetName(i)).c_str());
  return kExitOk;
}

}  // namespace

int RunPreset(const Args& args) {
  if (args.empty()) UsageError(kCommand, "missing a subcommand: show, builtin or list");
  const std::string& sub = args[0];
  const Args rest(args.begin() + 1, args.end());
  if (sub == "show") return Show(rest);
  if (sub == "builtin") return Builtin(rest);
  if (sub == "list") return List(rest);
  if (sub == "--help" || sub == "-h") return PrintHelp(kCommand);
  UsageError(kCommand, "unknown subcommand '" + sub + "'");
}
