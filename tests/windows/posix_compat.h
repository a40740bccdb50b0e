// Force-included into the test suites built for Windows: the few POSIX calls the suites use to
// point the module and settings folders at a test folder, over the C runtime's environment
// (which also sets the process environment that the Win32 back end reads).
#pragma once

#include <cstdlib>

#include "platform/win32_sdk.h"
#include <string>

inline std::wstring NxCompatWide(const char* text) {
  std::wstring out;
  for (; *text != 0; ++text) out.push_back(static_cast<wchar_t>(static_cast<unsigned char>(*text)));
  return out;
}

inline int setenv(const char* name, const wchar_t* value, int overwrite) {
  const std::wstring wideName = NxCompatWide(name);
  if (overwrite == 0 && _wgetenv(wideName.c_str()) != nullptr) return 0;
  return _wputenv_s(wideName.c_str(), value) == 0 ? 0 : -1;
}

// Narrow values are UTF-8 (the suites write them so for POSIX file names).
inline int setenv(const char* name, const char* value, int overwrite) {
  std::wstring wide;
  const int n = MultiByteToWideChar(CP_UTF8, 0, value, -1, nullptr, 0);
  if (n > 0) {
    wide.resize(static_cast<size_t>(n));
    MultiByteToWideChar(CP_UTF8, 0, value, -1, &wide[0], n);
    wide.resize(static_cast<size_t>(n - 1));
  }
  return setenv(name, wide.c_str(), overwrite);
}

inline int unsetenv(const char* name) { return _wputenv_s(NxCompatWide(name).c_str(), L"") == 0 ? 0 : -1; }
