// auralith recover --test FILE --recorded FILE --output FILE [...]: impulse recovery, and
// auralith test-tone OUTPUT [...]: the test file that recovery deconvolves by.
#include <cstdio>
#include <iostream>
#include <string>

#include "impulse/impulse_info.h"
#include "recovery/recover_impulse.h"
#include "recovery/recovery_settings.h"
#include "recovery/test_signal.h"
#include "tools/cli.h"
#include "tools/commands.h"
#include "tools/options.h"
#include "tools/progress.h"

namespace {

const char kRecover[] = "recover";
const char kTestTone[] = "test-tone";

// One line: the system's texts break their paragraphs with newlines.
std::string OneLine(LPCWSTR text) {
  std::string line;
  bool space = false;
  for (const char c : Narrow(text)) {
    if (c == '\n' || c == '\r') {
      space = true;
      continue;
    }
    if (space && !line.empty()) line += ' ';
    space = false;
    line += c;
  }
  return line;
}

class ProgressRoute final : public RecoveryProgressSink {
 public:
  explicit ProgressRoute(bool enabled) : bar_(enabled, "Recovering") {}
  void Begin(LPCWSTR text, int range) override {
    bar_.SetLabel(Narrow(text));
    SetRange(0, range);
    bar_.Update(0.0);
  }
  void SetRange(int low, int high) override {
    low_ = low;
    high_ = high;
  }
  void SetText(LPCWSTR text) override { bar_.SetLabel(Narrow(text)); }
  bool Step(int position) override {
    if (high_ > low_) bar_.Update(static_cast<double>(position - low_) / (high_ - low_));
    return true;
  }
  void End() override { bar_.Finish(); }

 private:
  ProgressBar bar_;
  int low_ = 0;
  int high_ = 0;
};

// Questions get the --answer; the final message is kept for the caller to print.
class MessageRoute final : public RecoveryMessageSink {
 public:
  MessageRoute(std::string answer, bool quiet) : answer_(std::move(answer)), quiet_(quiet) {}
  int Show(LPCWSTR text, LPCWSTR /*caption*/, UINT style) override {
    const std::string line = OneLine(text);
    if ((style & 0x000F) != kRecoveryBoxYesNoCancel) {
      final_ = line;
      return kRecoveryAnswerOk;
    }
    if (answer_ == "ask") return Ask(line);
    const int result = answer_ == "yes" ? kRecoveryAnswerYes : kRecoveryAnswerNo;
    if (!quiet_) std::fprintf(stderr, "auralith: %s %s\n", line.c_str(), answer_ == "yes" ? "Yes" : "No");
    return result;
  }
  const std::string& Final() const { return final_; }

 private:
  static int Ask(const std::string& question) {
    for (;;) {
      std::fprintf(stderr, "%s [y]es/[n]o/[c]ancel: ", question.c_str());
      std::fflush(stderr);
      std::string reply;
      if (!std::getline(std::cin, reply)) return kRecoveryAnswerCancel;
      if (reply == "y" || reply == "yes") return kRecoveryAnswerYes;
      if (reply == "n" || reply == "no") return kRecoveryAnswerNo;
      if (reply == "c" || reply == "cancel") return kRecoveryAnswerCancel;
    }
  }

  std::string answer_;
  bool quiet_;
  std::string final_;
};

// The file a failed recovery is about, for the one-line error.
const std::string& FileOf(int code, const std::string& test, const std::string& recorded,
                          const std::string& output) {
  switch (code) {
    case kRecoveryTestNotFound:
    case kRecoveryTestReadFailed:
    case kRecoveryNotATestFile:
      return test;
    case kRecoveryWriteFailed:
      return output;
    default:
      return recorded;
  }
}

}  // namespace

int RunRecover(const Args& rawArgs) {
  const ParsedArgs args = ParseArgs(kRecover, rawArgs,
                                    {{"test", true}, {"recorded", true}, {"output", true},
                                     {"mode", true}, {"keep-low-frequencies", false},
                                     {"answer", true}, {"progress", false}, {"quiet", false}});
  if (args.helpAsked) return PrintHelp(kRecover);
  RequirePositionals(kRecover, args, 0, 0, "");
  for (const char* needed : {"test", "recorded", "output"})
    if (!args.Has(needed)) UsageError(kRecover, std::string("missing --") + needed + " FILE");
  LONG mode = kSpikeModeFileEnds;
  if (args.Has("mode")) {
    const std::string& text = args.Get("mode");
    if (text == "none") mode = kSpikeModeNone;
    else if (text == "auto") mode = kSpikeModeAutoDetect;
    else if (text == "ends") mode = kSpikeModeFileEnds;
    else UsageError(kRecover, "'--mode' is none, auto or ends, not '" + text + "'");
  }
  std::string answer = args.Has("answer") ? args.Get("answer") : (StdinIsTerminal() ? "ask" : "no");
  if (answer != "yes" && answer != "no" && answer != "ask")
    UsageError(kRecover, "'--answer' is yes, no or ask, not '" + answer + "'");

  const std::string& test = args.Get("test");
  const std::string& recorded = args.Get("recorded");
  const std::string& output = args.Get("output");
  const WideString testWide = Wide(test);
  const WideString recordedWide = Wide(recorded);
  const WideString outputWide = Wide(output);
  RecoveryRequest request = {testWide.c_str(), recordedWide.c_str(), outputWide.c_str(), mode,
                             args.Has("keep-low-frequencies") ? FALSE : TRUE};
  ProgressRoute progress(ProgressBar::WantedBy(args));
  MessageRoute messages(answer, args.Has("quiet"));
  const int result = RecoverImpulse(request, progress, messages);
  if (result == kRecoveryCancelled || result == kRecoverySpikeQuestionCancel)
    Failure("recovery cancelled; nothing written");
  if (result == kRecoveryWriteFailed)
    FileError(output, messages.Final() + " (" + LastFileError() + ")");
  if (result != kRecoveryOk) FileError(FileOf(result, test, recorded, output), messages.Final());
  if (!args.Has("quiet")) std::printf("%s: %s\n", output.c_str(), messages.Final().c_str());
  return kExitOk;
}

int RunTestTone(const Args& rawArgs) {
  const ParsedArgs args =
      ParseArgs(kTestTone, rawArgs, {{"order", true}, {"spacing", true}, {"rate", true}, {"quiet", false}});
  if (args.helpAsked) return PrintHelp(kTestTone);
  RequirePositionals(kTestTone, args, 1, 1, "OUTPUT");
  TestSignalOptions options = DefaultTestSignalOptions();
  if (args.Has("order"))
    options.signalFrames = 1u << ParseInteger(kTestTone, "order", args.Get("order"), 10, 23);
  if (args.Has("spacing")) {
    options.spikeSpacing = static_cast<DWORD>(ParseInteger(
        kTestTone, "spacing", args.Get("spacing"), static_cast<long>(options.spikeLength) + 1, 10000000));
  }
  if (args.Has("rate"))
    options.sampleRate = static_cast<DWORD>(ParseInteger(kTestTone, "rate", args.Get("rate"), 8000, 192000));
  const std::string& output = args.positionals[0];
  const int code = WriteTestSignalFile(Wide(output).c_str(), options);
  if (code == kTestSignalBadOptions)
    UsageError(kTestTone, "these options do not make a valid test file");
  if (code == kImpulseNoMemory) FileError(output, "not enough memory");
  if (code != 0) FileError(output, LastFileError());
  if (!args.Has("quiet")) {
    std::printf("%s: test tone of N = %lu frames between spike sections of %lu frames, %lu Hz, %lu frames in all\n",
                output.c_str(), static_cast<unsigned long>(options.signalFrames),
                static_cast<unsigned long>(options.spikeSpacing),
                static_cast<unsigned long>(options.sampleRate),
                static_cast<unsigned long>(TestFileFrames(options)));
  }
  return kExitOk;
}
