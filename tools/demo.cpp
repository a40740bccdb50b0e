// auralith demo [DIR]: synthesises a dry phrase and a hall impulse, makes an impulse file of the
// hall, renders the phrase through it with the real filter and says what it wrote where.
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "impulse/impulse_loader.h"
#include "tools/cli.h"
#include "tools/commands.h"
#include "tools/demo_synth.h"
#include "tools/options.h"
#include "tools/preset_io.h"
#include "tools/render.h"
#include "tools/summary_text.h"
#include "tools/wave_io.h"

namespace {

const char kCommand[] = "demo";

void WriteWave(const std::string& path, SampleFormat format, unsigned channels,
               const std::vector<double>& samples, const std::vector<InfoItem>& info) {
  WaveWriter writer;
  if (!writer.Open(path, format, channels, kDemoRate, info) ||
      !writer.Write(samples.data(), samples.size() / channels) || !writer.Close())
    FileError(path, LastFileError());
}

std::string Join(const std::filesystem::path& folder, const char* name) {
  return (folder / name).u8string();
}

}  // namespace

int RunDemo(const Args& rawArgs) {
  const ParsedArgs args = ParseArgs(kCommand, rawArgs, {{"progress", false}, {"quiet", false}});
  if (args.helpAsked) return PrintHelp(kCommand);
  RequirePositionals(kCommand, args, 0, 1, "");
  const std::filesystem::path folder =
      std::filesystem::u8path(args.positionals.empty() ? "auralith-demo" : args.positionals[0]);
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (error || !std::filesystem::is_directory(folder))
    FileError(folder.u8string(), "cannot create the folder");

  const std::string dry = Join(folder, "dry.wav");
  const std::string hallWave = Join(folder, "hall.wav");
  const std::string hallIrx = Join(folder, "hall.irx");
  const std::string wet = Join(folder, "wet.wav");
  const std::string preset = Join(folder, "hall.preset");

  WriteWave(dry, SampleFormat::Pcm16, 1, SynthesizeDryPhrase(), {});
  const std::vector<InfoItem> hallInfo = {
      {"INAM", "Synthetic hall"},
      {"IENG", "auralith demo"},
      {"ICOP", "Synthesised by the program; free to use"},
      {"ICMT", "Direct sound, ten early reflections and a two-band diffuse tail, 2.2 s to -60 dB"},
      {"DISP", "Synthetic hall: 2.5 s, stereo"},
  };
  WriteWave(hallWave, SampleFormat::Float32, 2, SynthesizeHallImpulse(), hallInfo);
  if (SaveImpulseFile(Wide(hallIrx).c_str(), Wide(hallWave).c_str()) < 0)
    FileError(hallIrx, "cannot write the impulse file");

  PlugInHandle plugin;
  plugin->ApplyPreset(0);
  plugin->SetImpulseFile(Wide(AbsolutePath(hallIrx)).c_str());
  plugin->SetMonoToStereo(1);
  plugin->SetDryOut(-30);  // -3 dB
  plugin->SetWetOut(-90);  // -9 dB
  plugin->SetQuality(5);
  RenderJob job;
  job.input = dry;
  job.output = wet;
  ProgressBar progress(ProgressBar::WantedBy(args), "Rendering");
  job.progress = &progress;
  const RenderResult result = Render(plugin.Get(), job);
  SavePresetFile(plugin.Get(), preset);

  if (!args.Has("quiet")) {
    std::printf("Auralith demo, in %s:\n", folder.u8string().c_str());
    std::printf("  %-12s the dry phrase (%s)\n", "dry.wav", FormatText(result.sourceFormat, result.inputFrames).c_str());
    std::printf("  %-12s a synthetic concert hall impulse (44100 Hz, stereo, 32-bit float, 2.50 s)\n", "hall.wav");
    std::printf("  %-12s the same hall as an impulse file, with its title and comments\n", "hall.irx");
    std::printf("  %-12s the phrase in the hall (%s; dry -3 dB, wet -9 dB, mono to stereo)\n", "wet.wav",
                FormatText(result.outputFormat, result.outputFrames).c_str());
    std::printf("  %-12s those settings as a preset\n", "hall.preset");
    if (result.clipped != 0)
      std::printf("  (%llu samples of wet.wav clipped)\n", result.clipped);
    std::printf("Listen to dry.wav and then wet.wav. Try your own settings:\n");
    std::printf("  auralith process %s mine.wav --preset %s --wet -3 --decay-limit 1.2\n", dry.c_str(),
                preset.c_str());
  }
  return kExitOk;
}
