// The settings file: integer keys with defaults and limits, dialog folders and types, the
// recently used lists and the Save dialog's extension rule.
#include "impulse/settings.h"

#include "tests/support/test_support.h"

#include "platform/file.h"
#include "platform/private_profile.h"

namespace {

// A settings folder, where the test's files and folders are made too, with the module folder.
class SettingsTest : public ::testing::Test {
 protected:
  SettingsTest() {
    std::filesystem::create_directories(config_ / "module");
    setenv("AURALITH_MODULE_DIR", (config_ / "module").c_str(), 1);
  }
  ~SettingsTest() override { unsetenv("AURALITH_MODULE_DIR"); }
  void WriteIni(const std::string& content) { config_.Write("auralith.ini", B(content)); }
  std::string Ini() { return ReadFileText(config_ / "auralith.ini"); }
  WString MakeFile(const std::string& name) {
    config_.Write(name, B("x"));
    return Wide(config_ / name);
  }
  WString MakeFolder(const std::string& name) {
    std::filesystem::create_directories(config_ / name);
    return Wide(config_ / name);
  }

  TempFolder config_{"AURALITH_CONFIG_DIR"};
};

TEST_F(SettingsTest, IntegerKeysHaveTheirDefaultsAndLimits) {
  const struct {
    NxIntSetting setting;
    INT defaultValue;
    const char* stored;
    INT expected;
  } rows[] = {
      {kNxMaxImpulseSize, 524287, "1000", 131071},
      {kNxMaxImpulseSize, 524287, "50000000", 40000000},
      {kNxSpikeSpacing, 150000, "44100", 44100},
      {kNxLowCutFreq, 38, "20", 20},
      {kNxSpikeLength, 40, "-3", -3},
      {kNxMaxStoredImpulse, 262144, "1", 2},
      {kNxImpulsePreSamples, 1000, "0", 0},
      {kNxOutBits, 0, "32", 32},
  };
  for (const auto& row : rows) {
    WriteIni("");
    EXPECT_EQ(row.defaultValue, NxSettings_GetInt(row.setting));
    const std::string key(row.setting.key, row.setting.key + std::char_traits<WCHAR>::length(row.setting.key));
    WriteIni("[auralith]\n" + key + "=" + row.stored + "\n");
    EXPECT_EQ(row.expected, NxSettings_GetInt(row.setting)) << key << "=" << row.stored;
  }
}

TEST_F(SettingsTest, FolderQueryFallsBackToTheModuleFolder) {
  WCHAR folder[kNxSettingsPathUnits];
  const WString module = Wide(config_ / "module") + WString(1, kNxPathSeparator);
  // A folder that was deleted.
  NxSettings_SetFolder(kNxImpulseLastDir, MakeFolder("gone").c_str());
  std::filesystem::remove(config_ / "gone");
  EXPECT_EQ(module.size(), NxSettings_GetFolder(kNxImpulseLastDir, folder, kNxSettingsPathUnits));
  EXPECT_EQ(module, WString(folder));
  NxSettings_SetFolder(kNxImpulseLastDir, MakeFolder("impulses").c_str());
  EXPECT_EQ(0u, NxSettings_GetFolder(kNxImpulseLastDir, folder, 4));  // neither fits
  EXPECT_EQ(0, folder[0]);
}

// Not on Windows (scripts/test-windows.sh): the system's file is UTF-16 with CRLF.
TEST_F(SettingsTest, ChoiceRemembersFolderAndTypeIndex) {
  WCHAR folder[kNxSettingsPathUnits];
  EXPECT_EQ(0, NxSettings_GetFilterIndex(kNxDestLastDir));
  const WString sub = MakeFolder("out");
  EXPECT_TRUE(NxSettings_RememberChoice(kNxDestLastDir, (sub + NXW("/take.wav")).c_str(), 2));
  EXPECT_EQ(2, NxSettings_GetFilterIndex(kNxDestLastDir));
  NxSettings_GetFolder(kNxDestLastDir, folder, kNxSettingsPathUnits);
  EXPECT_EQ(sub, WString(folder));
  const std::string ini = Ini();
  EXPECT_NE(std::string::npos, ini.find("[Directories]\nDestLastDirFlt=2\n")) << ini;
  EXPECT_NE(std::string::npos, ini.find("DestLastDir=" + (config_ / "out"))) << ini;
}

// ---- Recently used lists ------------------------------------------------------------------

TEST_F(SettingsTest, ListsKeepDirMaxEntriesNewestFirst) {
  const struct {
    std::string dirMax;  // empty: key absent
    size_t kept;
  } rows[] = {{"", 15}, {"0", 15}, {"3", 3}, {"-1", 15}, {"99999", 20}};
  for (const auto& row : rows) {
    WriteIni(row.dirMax.empty() ? "" : "[AL MRU List]\nDirMax=" + row.dirMax + "\n");
    NxMruBox box;
    for (int i = 0; i < 20; ++i) {
      const WString path = MakeFile("f" + std::to_string(i) + ".irx");
      ASSERT_EQ(0, NxMru_Add(&box, kNxMruImpulseFiles, path.c_str(), NxMruKind::Files));
      ASSERT_EQ(path, box.front());
    }
    EXPECT_EQ(row.kept, box.size()) << row.dirMax;
    EXPECT_EQ(Wide(config_ / ("f" + std::to_string(20 - row.kept) + ".irx")), box.back());
    NxMruBox loaded;
    NxMru_Load(kNxMruImpulseFiles, &loaded);
    EXPECT_EQ(box, loaded);
  }
  // Position 0 holds the oldest entry.
  WCHAR oldest[kNxSettingsPathUnits];
  GetPrivateProfileStringW(kNxMruImpulseFiles, NXW("Dir0"), NXW(""), oldest, kNxSettingsPathUnits,
                           kNxSettingsFile);
  EXPECT_EQ(Wide(config_ / "f0.irx"), WString(oldest));
}

// A listed path, also in other letter case, moves to the top; a load skips gaps, and what the
// next add rewrites leaves no stale entry behind.
TEST_F(SettingsTest, AddingAListedPathMovesItAndLeavesNoStaleEntries) {
  const WString a = MakeFile("a.irx"), b = MakeFile("b.irx");
  WriteIni("[AL MRU List]\nDirMax=5\nDir0=\nDir2=" + config_ / "a.irx" + "\nDir3=" +
           config_ / "b.irx" + "\nDir5=/beyond\n");
  NxMruBox box;
  NxMru_Load(kNxMruImpulseFiles, &box);
  EXPECT_EQ(NxMruBox({b, a}), box);
  WString upper = a;
  upper.replace(upper.size() - 5, 5, NXW("A.IRX"));
  std::filesystem::rename(config_ / "a.irx", config_ / "A.IRX");
  EXPECT_EQ(0, NxMru_Add(&box, kNxMruImpulseFiles, upper.c_str(), NxMruKind::Files));
  EXPECT_EQ(NxMruBox({upper, b}), box);
}

TEST_F(SettingsTest, ListsRefuseWhatIsNotThereOrOfTheWrongKind) {
  NxMruBox box;
  const WString file = MakeFile("x.irx");
  const WString dir = MakeFolder("dir");
  EXPECT_EQ(-1, NxMru_Add(&box, kNxMruImpulseFiles, dir.c_str(), NxMruKind::Files));
  EXPECT_EQ(-1, NxMru_Add(&box, kNxMruImpulseFiles, (file + NXW("x")).c_str(), NxMruKind::Files));
  EXPECT_EQ(-1, NxMru_Add(&box, kNxMruImpulseFiles, NXW(""), NxMruKind::Files));
  EXPECT_EQ(-1, NxMru_Add(&box, kNxMruFolders, file.c_str(), NxMruKind::Folders));
  EXPECT_TRUE(box.empty());
  EXPECT_EQ("", Ini());
  // A folder is written to its list; the box is not reloaded (the dialog closes after it).
  NxMru_Add(&box, kNxMruFolders, dir.c_str(), NxMruKind::Folders);
  NxMru_Load(kNxMruFolders, &box);
  EXPECT_EQ(NxMruBox({dir}), box);
}

// ---- Save dialog --------------------------------------------------------------------------

TEST(SaveDialogExtension, TakesTheChosenTypesExtension) {
  const std::pair<LPCWSTR, LPCWSTR> rows[] = {
      {NXW("Microsoft Wave File (*.wav)"), NXW(".wav")},
      {NXW("Impulse File (*.irx;*.wav)"), NXW(".irx")},
      {NXW("All Files (*.*)"), NXW("")},
      {NXW("No pattern"), NXW("")},
      {NXW("Open (*.raw"), NXW(".raw")},
  };
  for (const auto& [description, extension] : rows) {
    EXPECT_EQ(WString(extension), NxSaveDialogExtension(description));
  }
  const std::pair<LPCWSTR, LPCWSTR> names[] = {
      {NXW("take1"), NXW("take1.wav")},
      {NXW("a.b.c"), NXW("a.b.wav")},
      {NXW(""), NXW("")},
      {NXW("C:\\my.folder\\take"), NXW("C:\\my.folder\\take.wav")},
  };
  for (const auto& [name, result] : names) {
    EXPECT_EQ(WString(result), NxApplySaveExtension(name, NXW("Microsoft Wave File (*.wav)")));
  }
  EXPECT_EQ(WString(NXW("take.irx")), NxApplySaveExtension(NXW("take.irx"), NXW("All (*.*)")));
}

}  // namespace
