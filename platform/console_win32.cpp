// Win32 side of the console queries (console.h).
#include "platform/console.h"

#include "platform/utf8.h"
#include "platform/win32_sdk.h"

#include <shellapi.h>

std::vector<std::string> NxCommandLineArguments(int argc, char** argv) {
  std::vector<std::string> out;
  int count = 0;
  LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (wide == nullptr) {
    if (argc > 1) out.assign(argv + 1, argv + argc);
    return out;
  }
  for (int i = 1; i < count; ++i) {
    std::string text;
    // An unpaired surrogate cannot be named in UTF-8; what converts is kept, as a file of that
    // name could not be opened anyway and the command reports it.
    NxUtf16ToUtf8(wide[i], &text);
    out.push_back(text);
  }
  LocalFree(wide);
  return out;
}

bool NxStandardStreamIsTerminal(int descriptor) {
  static const DWORD kHandles[] = {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE};
  if (descriptor < 0 || descriptor > 2) return false;
  const HANDLE handle = GetStdHandle(kHandles[descriptor]);
  DWORD mode = 0;
  return handle != nullptr && handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode);
}
