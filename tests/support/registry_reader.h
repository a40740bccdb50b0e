// The registry store for tests: a key made, and read back: whether a key exists, a value's bytes
// and its text.
#pragma once

#include <string>
#include <vector>

#include "platform/registry.h"

// Creates (or opens) a key for writing; null when that fails.
inline HKEY RegMake(HKEY root, const WCHAR* path) {
  HKEY key = nullptr;
  const LONG status =
      RegCreateKeyExW(root, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
  return status == ERROR_SUCCESS ? key : nullptr;
}
inline bool RegKeyExists(HKEY root, const WCHAR* path) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}
// The value's bytes and type; false when the key or the value is missing.
inline bool RegQuery(HKEY root, const WCHAR* path, const WCHAR* name, DWORD* type,
                     std::vector<BYTE>* data) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  DWORD size = 0;
  LONG status = RegQueryValueExW(key, name, nullptr, type, nullptr, &size);
  if (status == ERROR_SUCCESS) {
    data->assign(size, 0);
    status = RegQueryValueExW(key, name, nullptr, type, data->data(), &size);
  }
  RegCloseKey(key);
  return status == ERROR_SUCCESS;
}
// A REG_SZ value without its terminator, or "<missing>".
inline std::basic_string<WCHAR> RegText(HKEY root, const WCHAR* path, const WCHAR* name) {
  DWORD type = 0;
  std::vector<BYTE> data;
  if (!RegQuery(root, path, name, &type, &data) || type != REG_SZ || data.size() < 2) {
    return NXW("<missing>");
  }
  return std::basic_string<WCHAR>(reinterpret_cast<const WCHAR*>(data.data()), data.size() / 2 - 1);
}
