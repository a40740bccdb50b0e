#include "impulse/settings.h"

#include <cstdio>

#include "platform/file.h"
#include "platform/module_file.h"
#include "platform/private_profile.h"
#include "platform/wide_string.h"

namespace {

typedef std::basic_string<WCHAR> WideString;

// "DirMax" 0 (or missing) means this many entries.
constexpr UINT kDefaultMruEntries = 15;

WideString ReadString(LPCWSTR section, LPCWSTR key) {
  WCHAR value[kNxSettingsPathUnits];
  GetPrivateProfileStringW(section, key, NXW(""), value, kNxSettingsPathUnits, kNxSettingsFile);
  return value;
}

WideString FilterKey(LPCWSTR folderKey) {
  return WideString(folderKey != nullptr ? folderKey : NXW("")) + NXW("Flt");
}

WideString EntryKey(UINT position) {
  char digits[16];
  std::snprintf(digits, sizeof digits, "Dir%u", position);
  return WideString(digits, digits + std::char_traits<char>::length(digits));
}

WideString DecimalText(INT value) {
  char digits[16];
  std::snprintf(digits, sizeof digits, "%d", value);
  return WideString(digits, digits + std::char_traits<char>::length(digits));
}

bool IsSeparator(WCHAR c) { return c == '/' || c == '\\'; }

bool Accepts(LPCWSTR path, NxMruKind kind) {
  if (path == nullptr || path[0] == 0 || NxStrLenBoundedW(path, kNxSettingsPathUnits) >=
                                            kNxSettingsPathUnits) {
    return false;
  }
  return kind == NxMruKind::Folders ? NxFolderExists(path) : NxFileExists(path);
}

}  // namespace

INT NxSettings_GetInt(const NxIntSetting& setting) {
  const INT value = static_cast<INT>(GetPrivateProfileIntW(
      kNxSettingsSection, setting.key, setting.defaultValue, kNxSettingsFile));
  if (value < setting.minimum) return setting.minimum;
  if (value > setting.maximum) return setting.maximum;
  return value;
}

DWORD NxSettings_GetFolder(LPCWSTR folderKey, LPWSTR folder, DWORD capacity) {
  if (folder == nullptr || capacity == 0) return 0;
  folder[0] = 0;
  const WideString stored = ReadString(kNxSettingsSection, folderKey);
  if (!stored.empty() && NxFolderExists(stored.c_str()) && stored.size() < capacity) {
    return static_cast<DWORD>(NxStrCopyW(folder, capacity, stored.c_str()));
  }
  return NxGetModuleFolder(folder, capacity);
}

bool NxSettings_SetFolder(LPCWSTR folderKey, LPCWSTR folder) {
  return WritePrivateProfileStringW(kNxSettingsSection, folderKey, folder, kNxSettingsFile) !=
         FALSE;
}

INT NxSettings_GetFilterIndex(LPCWSTR folderKey) {
  return static_cast<INT>(GetPrivateProfileIntW(kNxDirectoriesSection,
                                                FilterKey(folderKey).c_str(), 0,
                                                kNxSettingsFile));
}

bool NxSettings_SetFilterIndex(LPCWSTR folderKey, INT index) {
  return WritePrivateProfileStringW(kNxDirectoriesSection, FilterKey(folderKey).c_str(),
                                    DecimalText(index).c_str(), kNxSettingsFile) != FALSE;
}

bool NxSettings_RememberChoice(LPCWSTR folderKey, LPCWSTR path, INT filterIndex) {
  const WideString chosen(path != nullptr ? path : NXW(""));
  size_t slash = chosen.size();
  while (slash > 0 && !IsSeparator(chosen[slash - 1])) --slash;
  // The folder without its trailing separator, except for the root itself.
  const WideString folder = chosen.substr(0, slash > 1 ? slash - 1 : slash);
  const bool typeKept = NxSettings_SetFilterIndex(folderKey, filterIndex);
  return NxSettings_SetFolder(folderKey, folder.c_str()) && typeKept;
}

UINT NxMru_GetMax(LPCWSTR section) {
  const INT stored =
      static_cast<INT>(GetPrivateProfileIntW(section, NXW("DirMax"), 0, kNxSettingsFile));
  if (stored <= 0) return kDefaultMruEntries;
  return static_cast<UINT>(stored) > kNxMruLongest ? kNxMruLongest : static_cast<UINT>(stored);
}

void NxMru_Load(LPCWSTR section, NxMruBox* box) {
  box->clear();
  const UINT longest = NxMru_GetMax(section);
  for (UINT position = 0; position < longest; ++position) {
    WideString entry = ReadString(section, EntryKey(position).c_str());
    if (!entry.empty()) box->insert(box->begin(), std::move(entry));
  }
}

int NxMru_Add(NxMruBox* box, LPCWSTR section, LPCWSTR path, NxMruKind kind) {
  if (!Accepts(path, kind)) return -1;
  for (size_t i = box->size(); i-- > 0;) {
    if (NxStrCmpIW((*box)[i].c_str(), path) == 0) box->erase(box->begin() + i);
  }
  const UINT longest = NxMru_GetMax(section);
  if (!box->empty() && box->size() >= longest) box->pop_back();
  // Oldest first from position 0, the new path last. A full box that still holds more entries
  // than the list may keep (DirMax was lowered) loses its oldest ones too.
  while (box->size() + 1 > longest) box->pop_back();
  UINT position = 0;
  for (size_t i = box->size(); i-- > 0;) {
    WritePrivateProfileStringW(section, EntryKey(position++).c_str(), (*box)[i].c_str(),
                               kNxSettingsFile);
  }
  WritePrivateProfileStringW(section, EntryKey(position++).c_str(), path, kNxSettingsFile);
  // Positions past the list would come back at the next load as stale duplicates.
  for (; position < longest; ++position) {
    WritePrivateProfileStringW(section, EntryKey(position).c_str(), nullptr, kNxSettingsFile);
  }
  if (kind == NxMruKind::Folders) return -1;
  NxMru_Load(section, box);
  return 0;
}

std::basic_string<WCHAR> NxSaveDialogExtension(LPCWSTR description) {
  const WideString text(description != nullptr ? description : NXW(""));
  const size_t open = text.find('(');
  if (open == WideString::npos) return WideString();
  const size_t dot = text.find('.', open);
  if (dot == WideString::npos) return WideString();
  const size_t end = text.find_first_of(NXW(");"), dot);
  const WideString extension = text.substr(dot, end == WideString::npos ? end : end - dot);
  if (extension.size() >= 2 && extension[1] == '*') return WideString();
  return extension;
}

std::basic_string<WCHAR> NxApplySaveExtension(LPCWSTR name, LPCWSTR description) {
  WideString result(name != nullptr ? name : NXW(""));
  const WideString extension = NxSaveDialogExtension(description);
  if (result.empty() || extension.empty()) return result;
  const size_t dot = result.find_last_of('.');
  size_t folderEnd = 0;
  for (size_t i = 0; i < result.size(); ++i) {
    if (IsSeparator(result[i])) folderEnd = i + 1;
  }
  if (dot != WideString::npos && dot >= folderEnd) result.resize(dot);
  return result + extension;
}
