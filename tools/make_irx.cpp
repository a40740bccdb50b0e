// auralith make-irx SOURCE DEST: writes an impulse file from a wave file.
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "impulse/impulse_loader.h"
#include "tools/cli.h"
#include "tools/commands.h"
#include "tools/options.h"
#include "tools/progress.h"

namespace {

const char kCommand[] = "make-irx";

std::string SaveFailure(int code) {
  switch (code) {
    case kImpulseWriteFailed: return LastFileError();
    case kImpulseReadFailed: return "read failed";
    case kImpulseNoMemory: return "not enough memory";
    default: return "";
  }
}

}  // namespace

int RunMakeIrx(const Args& rawArgs) {
  const ParsedArgs args = ParseArgs(kCommand, rawArgs, {{"progress", false}, {"quiet", false}});
  if (args.helpAsked) return PrintHelp(kCommand);
  RequirePositionals(kCommand, args, 2, 2, "SOURCE and DEST");
  const std::string& source = args.positionals[0];
  const std::string& destination = args.positionals[1];
  std::error_code error;
  if (!std::filesystem::exists(std::filesystem::u8path(source), error)) FileError(source, "no such file");
  bool isWave = false;
  if (!IsImpulseFile(Wide(source).c_str(), &isWave)) FileError(source, "not a wave or impulse file");
  if (std::filesystem::equivalent(std::filesystem::u8path(source), std::filesystem::u8path(destination), error))
    FileError(destination, "is the source itself");

  ProgressBar progress(ProgressBar::WantedBy(args), "Writing impulse");
  progress.Update(0.0);
  const int code = SaveImpulseFile(Wide(destination).c_str(), Wide(source).c_str());
  if (code < 0) {
    const std::string reason = SaveFailure(code);
    if (!reason.empty()) FileError(destination, reason);
    // Not a file: either the source cannot be delivered or the destination cannot be made.
    ImpulseInfo info;
    if (!GetImpulseInfo(Wide(source).c_str(), &info, nullptr))
      FileError(source, "a wave format that cannot be read as an impulse");
    FileError(destination, "cannot be created");
  }
  progress.Finish();
  if (!args.Has("quiet")) {
    WCHAR text[128];
    GetImpulseInfoText(Wide(destination).c_str(), text, 128);
    std::printf("%s: impulse file written from %s (%s)\n", destination.c_str(), source.c_str(),
                Narrow(text).c_str());
  }
  return kExitOk;
}
