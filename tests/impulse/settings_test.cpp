// The settings file: integer keys with defaults and limits, dialog folders and types, the
// recently used lists and the Save dialog's extension rule.
#include "impulse/settings.h"

#include "tests/support/test_support.h"


#include "platform/file.h"
#include "platform/private_profile.h"

namespace {

class SettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(folder_ / "config");
    std::filesystem::create_directories(folder_ / "module");
    setenv("AURALITH_CONFIG_DIR", (folder_ / "config").c_str(), 1);
    setenv("AURALITH_MODULE_DIR", (folder_ / "module").c_str(), 1);
  }
  void TearDown() override { unsetenv("AURALITH_MODULE_DIR"); }
  void WriteIni(const std::string& content) {
    std::ofstream(folder_ / "config" / "auralith.ini") << content;
  }
  std::string Ini() { return ReadFileText(temp_ / "config/auralith.ini"); }
  // A file (or folder) in the test's folder, made on disk.
  WString MakeFile(const std::string& name) {
    std::ofstream(folder_ / name) << "x";
    return Wide((folder_ / name).string());
  }
  WString MakeFolder(const std::string& name) {
    std::filesystem::create_directories(folder_ / name);
    return Wide((folder_ / name).string());
  }
  WString ModuleFolder() {
    return Wide((folder_ / "module").string()) + WString(1, kNxPathSeparator);
  }

  TempFolder temp_;
  const std::filesystem::path& folder_ = temp_.path();
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
      {kNxMaxImpulseSize, 524287, "-5", 131071},
      {kNxMaxImpulseSize, 524287, "200000", 200000},
      {kNxSpikeSpacing, 150000, "44100", 44100},
      {kNxLowCutFreq, 38, "20", 20},
      {kNxSpikeLength, 40, "-3", -3},
      {kNxMaxStoredImpulse, 262144, "1", 2},
      {kNxMaxStoredImpulse, 262144, "100", 100},
      {kNxImpulsePreSamples, 1000, "0", 0},
      {kNxOutBits, 0, "32", 32},
  };
  for (const auto& row : rows) {
    std::remove((folder_ / "config" / "auralith.ini").string().c_str());
    EXPECT_EQ(row.defaultValue, NxSettings_GetInt(row.setting));
    const std::string key(row.setting.key, row.setting.key + std::char_traits<WCHAR>::length(row.setting.key));
    WriteIni("[auralith]\n" + key + "=" + row.stored + "\n");
    EXPECT_EQ(row.expected, NxSettings_GetInt(row.setting)) << key << "=" << row.stored;
  }
}

TEST_F(SettingsTest, FolderQueryFallsBackToTheModuleFolder) {
  WCHAR folder[kNxSettingsPathUnits];
  // Nothing stored, then a folder that was deleted, then a file where a folder should be.
  EXPECT_EQ(ModuleFolder().size(), NxSettings_GetFolder(kNxImpulseLastDir, folder, kNxSettingsPathUnits));
  EXPECT_EQ(ModuleFolder(), WString(folder));
  const WString gone = MakeFolder("gone");
  NxSettings_SetFolder(kNxImpulseLastDir, gone.c_str());
  std::filesystem::remove(folder_ / "gone");
  NxSettings_GetFolder(kNxImpulseLastDir, folder, kNxSettingsPathUnits);
  EXPECT_EQ(ModuleFolder(), WString(folder));
  NxSettings_SetFolder(kNxSweepLastDir, MakeFile("plain").c_str());
  NxSettings_GetFolder(kNxSweepLastDir, folder, kNxSettingsPathUnits);
  EXPECT_EQ(ModuleFolder(), WString(folder));

  const WString kept = MakeFolder("impulses");
  NxSettings_SetFolder(kNxImpulseLastDir, kept.c_str());
  NxSettings_GetFolder(kNxImpulseLastDir, folder, kNxSettingsPathUnits);
  EXPECT_EQ(kept, WString(folder));
  EXPECT_EQ(0u, NxSettings_GetFolder(kNxImpulseLastDir, folder, 4));  // neither fits
  EXPECT_EQ(0, folder[0]);
}

TEST_F(SettingsTest, ChoiceRemembersFolderAndTypeIndex) {
  EXPECT_EQ(0, NxSettings_GetFilterIndex(kNxDestLastDir));
  const WString sub = MakeFolder("out");
  EXPECT_TRUE(NxSettings_RememberChoice(kNxDestLastDir, (sub + NXW("/take.wav")).c_str(), 2));
  EXPECT_EQ(2, NxSettings_GetFilterIndex(kNxDestLastDir));
  WCHAR folder[kNxSettingsPathUnits];
  NxSettings_GetFolder(kNxDestLastDir, folder, kNxSettingsPathUnits);
  EXPECT_EQ(sub, WString(folder));
  const std::string ini = Ini();
  EXPECT_NE(std::string::npos, ini.find("[Directories]\nDestLastDirFlt=2\n")) << ini;
  EXPECT_NE(std::string::npos, ini.find("DestLastDir=" + (folder_ / "out").string())) << ini;
}

// ---- Recently used lists ------------------------------------------------------------------

TEST_F(SettingsTest, ListsKeepDirMaxEntriesNewestFirst) {
  const struct {
    const char* dirMax;  // null: key absent
    size_t kept;
  } rows[] = {{nullptr, 15}, {"0", 15}, {"3", 3}, {"-1", 15}, {"99999", 20}};
  for (const auto& row : rows) {
    std::remove((folder_ / "config" / "auralith.ini").string().c_str());
    if (row.dirMax != nullptr) WriteIni(std::string("[AL MRU List]\nDirMax=") + row.dirMax + "\n");
    NxMruBox box;
    for (int i = 0; i < 20; ++i) {
      const WString path = MakeFile("f" + std::to_string(i) + ".irx");
      ASSERT_EQ(0, NxMru_Add(&box, kNxMruImpulseFiles, path.c_str(), NxMruKind::Files));
      ASSERT_EQ(path, box.front());
    }
    EXPECT_EQ(row.kept, box.size()) << (row.dirMax ? row.dirMax : "absent");
    EXPECT_EQ(Wide((folder_ / ("f" + std::to_string(20 - row.kept) + ".irx")).string()), box.back());
    NxMruBox loaded;
    NxMru_Load(kNxMruImpulseFiles, &loaded);
    EXPECT_EQ(box, loaded);
  }
  // Position 0 holds the oldest entry.
  WCHAR oldest[kNxSettingsPathUnits];
  GetPrivateProfileStringW(kNxMruImpulseFiles, NXW("Dir0"), NXW(""), oldest, kNxSettingsPathUnits,
                           kNxSettingsFile);
  EXPECT_EQ(Wide((folder_ / "f0.irx").string()), WString(oldest));
}

TEST_F(SettingsTest, AddingAListedPathMovesItWithoutDuplicate) {
  WriteIni("[AL MRU Test File]\nDirMax=4\n");
  NxMruBox box;
  const WString a = MakeFile("a.wav"), b = MakeFile("b.wav"), c = MakeFile("c.wav");
  for (const WString* path : {&a, &b, &c}) {
    NxMru_Add(&box, kNxMruTestFiles, path->c_str(), NxMruKind::Files);
  }
  // The same file in other letter case is the same entry.
  WString upper = a;
  upper.replace(upper.size() - 5, 5, NXW("A.WAV"));
  std::filesystem::rename(folder_ / "a.wav", folder_ / "A.WAV");
  EXPECT_EQ(0, NxMru_Add(&box, kNxMruTestFiles, upper.c_str(), NxMruKind::Files));
  EXPECT_EQ(NxMruBox({upper, c, b}), box);
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
  // A folder list is written but its box is not reloaded (the dialog closes after it).
  EXPECT_EQ(-1, NxMru_Add(&box, kNxMruFolders, dir.c_str(), NxMruKind::Folders));
  NxMru_Load(kNxMruFolders, &box);
  EXPECT_EQ(NxMruBox({dir}), box);
}

TEST_F(SettingsTest, LoadSkipsGapsAndAddLeavesNoStaleEntries) {
  const WString x = MakeFile("x.irx"), y = MakeFile("y.irx");
  const std::string xs = (folder_ / "x.irx").string(), ys = (folder_ / "y.irx").string();
  WriteIni("[AL MRU List]\nDirMax=5\nDir0=\nDir2=" + xs + "\nDir3=" + ys + "\nDir5=/beyond\n");
  NxMruBox box;
  NxMru_Load(kNxMruImpulseFiles, &box);
  EXPECT_EQ(NxMruBox({y, x}), box);
  // Moving x to the top writes y at 0 and x at 1; positions 2 and 3 held them before.
  NxMru_Add(&box, kNxMruImpulseFiles, x.c_str(), NxMruKind::Files);
  EXPECT_EQ(NxMruBox({x, y}), box);
}

// ---- Save dialog --------------------------------------------------------------------------

TEST(SaveDialogExtension, TakesTheChosenTypesExtension) {
  const struct {
    LPCWSTR description;
    LPCWSTR extension;
  } rows[] = {
      {NXW("Microsoft Wave File (*.wav)"), NXW(".wav")},
      {NXW("Impulse File (*.irx;*.wav)"), NXW(".irx")},
      {NXW("All Files (*.*)"), NXW("")},
      {NXW("No pattern"), NXW("")},
      {NXW("Ver. 2 Files (*.ir2)"), NXW(".ir2")},
      {NXW("Open (*.raw"), NXW(".raw")},
      {NXW("Nothing (*)"), NXW("")},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(WString(row.extension), NxSaveDialogExtension(row.description));
  }
  const struct {
    LPCWSTR name;
    LPCWSTR result;
  } names[] = {
      {NXW("take1"), NXW("take1.wav")},
      {NXW("take1.irx"), NXW("take1.wav")},
      {NXW("a.b.c"), NXW("a.b.wav")},
      {NXW(""), NXW("")},
      {NXW("/my.folder/take"), NXW("/my.folder/take.wav")},
      {NXW("C:\\my.folder\\take"), NXW("C:\\my.folder\\take.wav")},
  };
  for (const auto& row : names) {
    EXPECT_EQ(WString(row.result),
              NxApplySaveExtension(row.name, NXW("Microsoft Wave File (*.wav)")));
  }
  EXPECT_EQ(WString(NXW("take.irx")), NxApplySaveExtension(NXW("take.irx"), NXW("All (*.*)")));
}

}  // namespace
