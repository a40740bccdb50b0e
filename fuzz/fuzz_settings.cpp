// The settings file (platform/private_profile.h, impulse/settings.h) from arbitrary bytes: every
// section and key listed and read, the tuning values, the dialog folders and the recently used
// lists; then one value written must read back as written.
#include <fstream>

#include "fuzz/fuzz_temp.h"
#include "fuzz/fuzz_util.h"
#include "impulse/settings.h"
#include "platform/private_profile.h"
#include "platform/wide_string.h"

namespace {

constexpr DWORD kListUnits = 2048;
constexpr int kMostNames = 16;

// The names of a double-terminated list, at most kMostNames of them.
std::vector<std::basic_string<WCHAR>> Names(const WCHAR* list, DWORD units) {
  std::vector<std::basic_string<WCHAR>> names;
  for (DWORD at = 0; at < units && list[at] != 0 && names.size() < kMostNames;) {
    const std::basic_string<WCHAR> name(list + at);
    names.push_back(name);
    at += static_cast<DWORD>(name.size()) + 1;
  }
  return names;
}

void ReadEverything() {
  std::vector<WCHAR> sections(kListUnits);
  const DWORD units = GetPrivateProfileStringW(nullptr, nullptr, nullptr, sections.data(),
                                               kListUnits, kNxSettingsFile);
  FUZZ_CHECK(units <= kListUnits - 2 && sections[units] == 0);
  for (const auto& section : Names(sections.data(), units)) {
    std::vector<WCHAR> keys(kListUnits);
    const DWORD keyUnits = GetPrivateProfileStringW(section.c_str(), nullptr, nullptr, keys.data(),
                                                    kListUnits, kNxSettingsFile);
    FUZZ_CHECK(keyUnits <= kListUnits - 2);
    for (const auto& key : Names(keys.data(), keyUnits)) {
      WCHAR value[64];
      const DWORD valueUnits = GetPrivateProfileStringW(section.c_str(), key.c_str(), NXW("-"),
                                                        value, 64, kNxSettingsFile);
      FUZZ_CHECK(valueUnits < 64 && value[valueUnits] == 0);
      GetPrivateProfileIntW(section.c_str(), key.c_str(), 7, kNxSettingsFile);
    }
  }
  for (const NxIntSetting* setting : {&kNxMaxImpulseSize, &kNxSpikeSpacing, &kNxMaxStoredImpulse,
                                      &kNxOutBits}) {
    const INT value = NxSettings_GetInt(*setting);
    FUZZ_CHECK(value >= setting->minimum && value <= setting->maximum);
  }
  WCHAR folder[kNxSettingsPathUnits];
  const DWORD folderUnits = NxSettings_GetFolder(kNxImpulseLastDir, folder, kNxSettingsPathUnits);
  FUZZ_CHECK(folderUnits < kNxSettingsPathUnits && folder[folderUnits] == 0);
  NxSettings_GetFilterIndex(kNxImpulseLastDir);
  for (LPCWSTR list : {kNxMruFolders, kNxMruImpulseFiles, kNxMruTestFiles}) {
    FUZZ_CHECK(NxMru_GetMax(list) <= kNxMruLongest);
    NxMruBox box;
    NxMru_Load(list, &box);
    FUZZ_CHECK(box.size() <= kNxMruLongest);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = FuzzTempFolder("AURALITH_CONFIG_DIR") + "auralith.ini";
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    FUZZ_CHECK(out.good());
  }
  ReadEverything();
  // A value written replaces what the file held under its key, whatever else the file holds.
  FUZZ_CHECK(WritePrivateProfileStringW(kNxSettingsSection, kNxMaxImpulseSize.key, NXW("200000"),
                                        kNxSettingsFile));
  FUZZ_CHECK(NxSettings_GetInt(kNxMaxImpulseSize) == 200000);
  FUZZ_CHECK(NxSettings_SetFilterIndex(kNxImpulseLastDir, 3));
  FUZZ_CHECK(NxSettings_GetFilterIndex(kNxImpulseLastDir) == 3);
  ReadEverything();
  return 0;
}
