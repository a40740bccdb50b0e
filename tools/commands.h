// The commands of the auralith host. Each takes the arguments after its name, prints its
// results on standard output and returns the exit status; failures are thrown as CliError.
#pragma once

#include <string>
#include <vector>

typedef std::vector<std::string> Args;

int RunProcess(const Args& args);
int RunMakeIrx(const Args& args);
int RunInfo(const Args& args);
int RunPreset(const Args& args);
int RunRecover(const Args& args);
int RunTestTone(const Args& args);
int RunDemo(const Args& args);
int RunPlot(const Args& args);

// The help text of a command ("" for the tool itself); empty for an unknown command.
std::string HelpText(const std::string& command);
// Prints the help of `command` on standard output and returns kExitOk.
int PrintHelp(const std::string& command);
