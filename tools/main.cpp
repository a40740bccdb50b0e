// auralith: the command-line host of the Auralith reverb.
#include <cstdio>
#include <string>
#include <vector>

#include "platform/console.h"
#include "tools/cli.h"
#include "tools/commands.h"

namespace {

struct Command {
  const char* name;
  int (*run)(const Args& args);
};

const Command kCommands[] = {
    {"process", RunProcess}, {"make-irx", RunMakeIrx}, {"info", RunInfo},
    {"preset", RunPreset},   {"recover", RunRecover},  {"test-tone", RunTestTone},
    {"demo", RunDemo},       {"plot", RunPlot},
};

int Dispatch(const std::vector<std::string>& args) {
  if (args.empty()) UsageError("", "missing a command");
  const std::string& name = args[0];
  if (name == "--help" || name == "-h" || name == "help") {
    return PrintHelp(args.size() > 1 && name == "help" ? args[1] : "");
  }
  if (name == "--version") {
    std::printf("auralith %s\n", AURALITH_VERSION);
    return kExitOk;
  }
  for (const Command& command : kCommands) {
    if (name == command.name) return command.run(Args(args.begin() + 1, args.end()));
  }
  UsageError("", "unknown command '" + name + "'");
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args = NxCommandLineArguments(argc, argv);
  try {
    const int status = Dispatch(args);
    if (std::fflush(stdout) != 0) {
      std::fprintf(stderr, "auralith: cannot write to standard output\n");
      return kExitFailure;
    }
    return status;
  } catch (const CliError& error) {
    std::fflush(stdout);
    std::fprintf(stderr, "auralith: %s\n", error.message.c_str());
    return error.status;
  } catch (const std::bad_alloc&) {
    std::fprintf(stderr, "auralith: out of memory\n");
    return kExitFailure;
  }
}
