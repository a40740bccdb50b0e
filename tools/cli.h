// What every command of the auralith host shares: exit statuses, the failures that end a
// command, and text conversions between the command line (UTF-8) and the system (UTF-16).
//
// Failures travel as exceptions inside the host only; main turns each into one line on
// standard error and its exit status.
#pragma once

#include <string>

#include "platform/hresult.h"
#include "platform/types.h"

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;  // the command was understood but could not be done
constexpr int kExitUsage = 2;    // a bad command line

// A failure with the one line that explains it.
struct CliError {
  int status;
  std::string message;
};

// A bad command line of `command` ("process", or empty for the tool itself).
[[noreturn]] void UsageError(const std::string& command, const std::string& reason);
// A failure about `file`: "FILE: reason".
[[noreturn]] void FileError(const std::string& file, const std::string& reason);
// A failure that concerns no single file.
[[noreturn]] void Failure(const std::string& reason);

typedef std::basic_string<WCHAR> WideString;

// UTF-8 to UTF-16; a name that is not valid UTF-8 is a usage error.
WideString Wide(const std::string& text);
// UTF-16 to UTF-8; unpaired surrogates become U+FFFD.
std::string Narrow(LPCWSTR text);

// The absolute form of a path, so that a name stored in a preset does not depend on the folder
// the host ran in.
std::string AbsolutePath(const std::string& path);

// Whether standard error (or input) is a terminal, for the progress bar and questions.
bool StderrIsTerminal();
bool StdinIsTerminal();

// Why this thread's last failed file call failed, in words ("disk full", "write failed").
std::string LastFileError();

// "HRESULT 0x80004005".
std::string HresultText(HRESULT hr);
