// POSIX side of the console queries (console.h).
#include "platform/console.h"

#include <unistd.h>

std::vector<std::string> NxCommandLineArguments(int argc, char** argv) {
  return argc > 1 ? std::vector<std::string>(argv + 1, argv + argc) : std::vector<std::string>();
}

bool NxStandardStreamIsTerminal(int descriptor) {
  return descriptor >= 0 && descriptor <= 2 && isatty(descriptor) == 1;
}
