// Win32 side of the settings file: kernel32's private-profile calls on a file in a folder the
// user may write.
#define NX_PRIVATE_PROFILE_IMPLEMENTATION
#include "platform/private_profile.h"

#include <shlobj.h>

#include <string>

#include "platform/utf8.h"

namespace {

typedef std::basic_string<WCHAR> WideString;

WideString Environment(LPCWSTR name) {
  WCHAR value[32768];
  const DWORD n = GetEnvironmentVariableW(name, value, 32768);
  return n == 0 || n >= 32768 ? WideString() : WideString(value, n);
}

WideString SettingsFolder() {
  const WideString configured = Environment(L"AURALITH_CONFIG_DIR");
  if (!configured.empty()) return configured;
  WCHAR appData[MAX_PATH];
  if (SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, appData) != S_OK) {
    return WideString();
  }
  return WideString(appData) + L"\\Auralith";
}

bool IsBareName(LPCWSTR name) {
  for (size_t i = 0; name[i] != 0; ++i) {
    if (name[i] == '\\' || name[i] == '/' || name[i] == ':') return false;
  }
  return true;
}

// A new settings file starts as UTF-16 with its byte-order mark: the private-profile calls then
// keep every value in UTF-16, where a file in the ANSI code page would turn the characters it
// lacks (in a folder or file name of the recently used lists) into '?'.
void CreateUnicodeFile(const WideString& path) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  const BYTE bom[2] = {0xFF, 0xFE};
  DWORD written = 0;
  WriteFile(file, bom, 2, &written, nullptr);
  CloseHandle(file);
}

// The file a name given to the calls stands for. A bare name lives in the settings folder; when
// it is not there yet, a copy that an older installation left in the Windows folder moves in once
// (copied, so that an older module still finds its own).
WideString Resolve(LPCWSTR fileName, bool forWriting) {
  if (fileName == nullptr || !IsBareName(fileName)) return fileName == nullptr ? L"" : fileName;
  const WideString folder = SettingsFolder();
  if (folder.empty()) return fileName;
  const WideString path = folder + L"\\" + fileName;
  if (GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) return path;
  WCHAR windows[MAX_PATH];
  const UINT n = GetWindowsDirectoryW(windows, MAX_PATH);
  const WideString old = n == 0 || n >= MAX_PATH ? WideString()
                                                   : WideString(windows, n) + L"\\" + fileName;
  const bool hasOld = !old.empty() && GetFileAttributesW(old.c_str()) != INVALID_FILE_ATTRIBUTES;
  if (!hasOld && !forWriting) return path;
  SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr);
  if (hasOld) {
    CopyFileW(old.c_str(), path.c_str(), TRUE);
  } else {
    CreateUnicodeFile(path);
  }
  return path;
}

}  // namespace

UINT NxGetPrivateProfileIntW(LPCWSTR section, LPCWSTR key, INT defaultValue, LPCWSTR fileName) {
  return GetPrivateProfileIntW(section, key, defaultValue, Resolve(fileName, false).c_str());
}

DWORD NxGetPrivateProfileStringW(LPCWSTR section, LPCWSTR key, LPCWSTR defaultValue,
                                 LPWSTR buffer, DWORD size, LPCWSTR fileName) {
  return GetPrivateProfileStringW(section, key, defaultValue, buffer, size,
                                  Resolve(fileName, false).c_str());
}

BOOL NxWritePrivateProfileStringW(LPCWSTR section, LPCWSTR key, LPCWSTR value, LPCWSTR fileName) {
  return WritePrivateProfileStringW(section, key, value, Resolve(fileName, true).c_str());
}

std::string NxSettingsFolder() {
  std::string folder;
  return NxUtf16ToUtf8(SettingsFolder().c_str(), &folder) ? folder : std::string();
}
