#include "tools/cli.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "platform/console.h"
#include "platform/file.h"
#include "platform/utf8.h"

void UsageError(const std::string& command, const std::string& reason) {
  const std::string help = command.empty() ? "auralith --help" : "auralith " + command + " --help";
  throw CliError{kExitUsage, reason + " (try '" + help + "')"};
}

void FileError(const std::string& file, const std::string& reason) {
  throw CliError{kExitFailure, file + ": " + reason};
}

void Failure(const std::string& reason) { throw CliError{kExitFailure, reason}; }

std::string LastFileError() { return NxFileErrorText(NxGetLastFileError()); }

WideString Wide(const std::string& text) {
  WideString wide;
  if (!NxUtf8ToUtf16(text, &wide)) UsageError("", "'" + text + "' is not valid UTF-8");
  return wide;
}

std::string Narrow(LPCWSTR text) {
  std::string out;
  if (text == nullptr) return out;
  if (NxUtf16ToUtf8(text, &out)) return out;
  // Replace what cannot be converted one unit at a time.
  out.clear();
  for (const WCHAR* p = text; *p != 0; ++p) {
    const WCHAR one[2] = {*p, 0};
    std::string piece;
    out += NxUtf16ToUtf8(one, &piece) ? piece : "\xEF\xBF\xBD";
  }
  return out;
}

std::string AbsolutePath(const std::string& path) {
  std::error_code error;
  const std::filesystem::path absolute = std::filesystem::absolute(std::filesystem::u8path(path), error);
  return error ? path : absolute.lexically_normal().u8string();
}

bool StderrIsTerminal() { return NxStandardStreamIsTerminal(2); }
bool StdinIsTerminal() { return NxStandardStreamIsTerminal(0); }

std::string HresultText(HRESULT hr) {
  char text[32];
  std::snprintf(text, sizeof text, "HRESULT 0x%08X", static_cast<unsigned>(hr));
  return text;
}
