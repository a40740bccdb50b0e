// The command-line process's arguments and standard streams, as the operating system gives them.
#pragma once

#include <string>
#include <vector>

// The arguments after the program's name, as UTF-8. On Windows they are read again from the
// process's UTF-16 command line, since the C runtime's `argv` is in the ANSI code page and loses
// every character outside it; elsewhere `argv` is already the bytes the user typed.
std::vector<std::string> NxCommandLineArguments(int argc, char** argv);

// True when standard stream `descriptor` (0 input, 1 output, 2 error) is an interactive terminal
// or console; false for files, pipes and anything that cannot be told.
bool NxStandardStreamIsTerminal(int descriptor);
