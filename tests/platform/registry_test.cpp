// The registry store and the filter mapper over it.
#include "platform/registry.h"

#include "tests/support/registry_reader.h"
#include "tests/support/test_support.h"

#include <cstring>

#include "platform/dshow/base_filter.h"
#include "platform/filter_mapper.h"
#include "platform/guid.h"

namespace {

class RegistryTest : public ::testing::Test {
 protected:
  static void SetText(HKEY key, LPCWSTR name, const WString& text) {
    EXPECT_EQ(ERROR_SUCCESS,
              RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                             static_cast<DWORD>((text.size() + 1) * 2)));
  }

  TempFolder folder_{"AURALITH_CONFIG_DIR"};
};

TEST_F(RegistryTest, KeysAndValuesPersistAndMatchIgnoringCase) {
  DWORD disposition = 0;
  HKEY key = RegMake(HKEY_CLASSES_ROOT, NXW("CLSID\\{ABC}\\InprocServer32"), &disposition);
  EXPECT_EQ(REG_CREATED_NEW_KEY, disposition);
  SetText(key, nullptr, NXW("/opt/plug in.so"));
  SetText(key, NXW("ThreadingModel"), NXW("Both"));
  const DWORD merit = 0x200000;
  EXPECT_EQ(ERROR_SUCCESS,
            RegSetValueExW(key, NXW("Merit"), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&merit), 4));
  const BYTE odd[] = {0, 1, 0x22, 0x5C, 0xFF};
  EXPECT_EQ(ERROR_SUCCESS, RegSetValueExW(key, NXW("Quote\"And\\Slash\n"), 0, REG_BINARY, odd, 5));
  EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(key));
  RegCloseKey(RegMake(HKEY_CLASSES_ROOT, NXW("clsid\\{abc}\\INPROCSERVER32"), &disposition));
  EXPECT_EQ(REG_OPENED_EXISTING_KEY, disposition);

  // Everything comes back from the file through fresh handles.
  EXPECT_EQ(WString(NXW("/opt/plug in.so")),
            RegText(HKEY_CLASSES_ROOT, NXW("Clsid\\{Abc}\\InprocServer32"), NXW("")));
  EXPECT_EQ(WString(NXW("Both")),
            RegText(HKEY_CLASSES_ROOT, NXW("CLSID\\{ABC}\\InprocServer32"), NXW("threadingmodel")));
  DWORD type = 0;
  std::vector<BYTE> data;
  ASSERT_TRUE(
      RegQuery(HKEY_CLASSES_ROOT, NXW("CLSID\\{ABC}\\InprocServer32"), NXW("Merit"), &type, &data));
  EXPECT_EQ(REG_DWORD, type);
  EXPECT_EQ(std::vector<BYTE>({0, 0, 0x20, 0}), data);
  ASSERT_TRUE(RegQuery(HKEY_CLASSES_ROOT, NXW("CLSID\\{ABC}\\InprocServer32"),
                    NXW("quote\"and\\slash\n"), &type, &data));
  EXPECT_EQ(REG_BINARY, type);
  EXPECT_EQ(std::vector<BYTE>(odd, odd + 5), data);
  // The file reads like the platform's export.
  const std::string file = ReadFileText(NxRegistryFilePath());
  EXPECT_NE(std::string::npos, file.find("[HKEY_CLASSES_ROOT\\CLSID\\{ABC}\\InprocServer32]\n"
                                         "@=\"/opt/plug in.so\"\n\"ThreadingModel\"=\"Both\"\n"
                                         "\"Merit\"=dword:00200000\n"))
      << file;
  EXPECT_FALSE(RegKeyExists(HKEY_CURRENT_USER, NXW("CLSID")));  // roots are separate trees
}

// Only creation and writing serve the product (registration); reading is the tests' own check.
TEST_F(RegistryTest, BadPathsAndHandlesAreRefused) {
  HKEY key = RegMake(HKEY_CURRENT_USER, NXW("Software\\Auralith"));
  HKEY none = reinterpret_cast<HKEY>(1);
  for (LPCWSTR bad : {NXW("\\Lead"), NXW("a\\\\b")}) {
    EXPECT_EQ(ERROR_BAD_PATHNAME, RegCreateKeyExW(HKEY_CURRENT_USER, bad, 0, nullptr, 0, KEY_ALL_ACCESS,
                                                  nullptr, &none, nullptr));
  }
  const WString tooLong(256, 'k');
  EXPECT_EQ(ERROR_BAD_PATHNAME, RegCreateKeyExW(HKEY_CURRENT_USER, tooLong.c_str(), 0, nullptr, 0,
                                                KEY_ALL_ACCESS, nullptr, &none, nullptr));
  EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(key));
  EXPECT_EQ(ERROR_INVALID_HANDLE, RegCloseKey(key));  // a second close is refused, not a crash
  EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(HKEY_CLASSES_ROOT));
}

TEST_F(RegistryTest, DeletionsFollowThePlatformRules) {
  HKEY parent = RegMake(HKEY_CLASSES_ROOT, NXW("CLSID\\{P}"));
  ASSERT_EQ(ERROR_SUCCESS,
            RegCloseKey(RegMake(HKEY_CLASSES_ROOT, NXW("CLSID\\{P}\\InprocServer32"))));
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegDeleteTreeW(HKEY_CLASSES_ROOT, NXW("CLSID\\{R}")));
  EXPECT_EQ(ERROR_SUCCESS, RegDeleteTreeW(HKEY_CLASSES_ROOT, NXW("clsid\\{p}")));
  EXPECT_FALSE(RegKeyExists(HKEY_CLASSES_ROOT, NXW("CLSID\\{P}\\InprocServer32")));
  // The handle outlives its key.
  SetText(HKEY_CLASSES_ROOT, nullptr, NXW("x"));
  EXPECT_EQ(ERROR_KEY_DELETED, RegSetValueExW(parent, nullptr, 0, REG_SZ, nullptr, 0));
  EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(parent));
  // A null subkey empties the key and keeps it.
  EXPECT_EQ(ERROR_SUCCESS, RegDeleteTreeW(HKEY_CLASSES_ROOT, nullptr));
  EXPECT_FALSE(RegKeyExists(HKEY_CLASSES_ROOT, NXW("CLSID")));
  EXPECT_EQ(WString(NXW("<missing>")), RegText(HKEY_CLASSES_ROOT, nullptr, nullptr));
}

TEST_F(RegistryTest, DamagedFileLosesOnlyItsBadLines) {
  std::ofstream(NxRegistryFilePath())
      << "[HKEY_CLASSES_ROOT\\Good]\r\n@=\"kept\"\n\"Cut\"=\"no end\n\"Hex\"=hex(3):01,0\n"
         "\"Bad\"=dword:12\n\"Esc\"=\"a\\x4\"\n\"Type\"=hex(123456789):00\n[HKEY_NOWHERE\\X]\n@=\"lost\"\n"
         "[HKEY_CLASSES_ROOT\\\\Empty]\n[HKEY_CLASSES_ROOT\\Good]\n\"Bytes\"=hex(3):0A,ff\n"
         "\xff\xfe garbage\n[";
  EXPECT_EQ(WString(NXW("kept")), RegText(HKEY_CLASSES_ROOT, NXW("Good"), nullptr));
  DWORD type = 0;
  std::vector<BYTE> data;
  ASSERT_TRUE(RegQuery(HKEY_CLASSES_ROOT, NXW("Good"), NXW("Bytes"), &type, &data));
  EXPECT_EQ(std::vector<BYTE>({0x0A, 0xFF}), data);
  for (LPCWSTR lost : {NXW("Cut"), NXW("Hex"), NXW("Bad"), NXW("Esc"), NXW("Type")}) {
    EXPECT_FALSE(RegQuery(HKEY_CLASSES_ROOT, NXW("Good"), lost, &type, &data))
        << static_cast<int>(type);
  }
  EXPECT_FALSE(RegKeyExists(HKEY_CLASSES_ROOT, NXW("X")));
}

// ---- Filter mapper ------------------------------------------------------------------------

GUID GuidAt(const std::vector<BYTE>& blob, DWORD at) {
  GUID g = {};
  if (at + 16 <= blob.size()) std::memcpy(&g, &blob[at], 16);
  return g;
}

const GUID kMajor = {0x73647561, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
const GUID kMinor = {0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};
const CLSID kFilter = {0x11111111, 0x2222, 0x3333, {4, 5, 6, 7, 8, 9, 10, 11}};
const REGPINTYPES kTypes[] = {{&kMajor, &kMinor}};
WCHAR kInputName[] = NXW("Input");
WCHAR kOutputName[] = NXW("Output");
const REGFILTERPINS kPins[] = {
    {kInputName, FALSE, FALSE, FALSE, FALSE, nullptr, NXW("Output"), 1, kTypes},
    {kOutputName, FALSE, TRUE, TRUE, TRUE, nullptr, NXW("Input"), 1, kTypes}};

TEST(FilterMapper, FilterDataHoldsPinsTypesAndOneCopyOfEachGuid) {
  REGFILTER2 filter = {};
  filter.dwVersion = 1;
  filter.dwMerit = 0x200000;
  filter.cPins = 2;
  filter.rgPins = kPins;
  Bytes blob;
  ASSERT_TRUE(NxSerializeFilterData(filter, &blob));
  EXPECT_EQ((std::vector<DWORD>{2, 0x200000, 2}),
            (std::vector<DWORD>{GetLe(blob, 0), GetLe(blob, 4), GetLe(blob, 8)}));
  // Two pins of 24 bytes, each with one 16-byte type, then two distinct GUIDs.
  ASSERT_EQ(16u + 2 * (24 + 16) + 2 * 16, blob.size());
  const DWORD expectedFlags[] = {0, REG_PINFLAG_B_OUTPUT | REG_PINFLAG_B_ZERO | REG_PINFLAG_B_MANY};
  for (size_t pin = 0; pin < 2; ++pin) {
    const size_t at = 16 + pin * 40;
    EXPECT_EQ(std::string(1, char('0' + pin)) + "pi3", std::string(blob.begin() + at, blob.begin() + at + 4));
    EXPECT_EQ(expectedFlags[pin], GetLe(blob, at + 4));
    EXPECT_EQ(1u, GetLe(blob, at + 12));  // media types
    EXPECT_EQ(0u, GetLe(blob, at + 20));  // no category
    EXPECT_EQ("0ty3", std::string(blob.begin() + at + 24, blob.begin() + at + 28));
    EXPECT_TRUE(GuidAt(blob, GetLe(blob, at + 32)) == kMajor);
    EXPECT_TRUE(GuidAt(blob, GetLe(blob, at + 36)) == kMinor);
    EXPECT_EQ(96u, GetLe(blob, at + 32));  // both pins share the pool entries
  }
  filter.dwVersion = 3;
  EXPECT_FALSE(NxSerializeFilterData(filter, &blob));
  filter.dwVersion = 1;
  filter.rgPins = nullptr;
  EXPECT_FALSE(NxSerializeFilterData(filter, &blob));
}

TEST_F(RegistryTest, MapperWritesAndRemovesTheInstanceKey) {
  IFilterMapper2* mapper = nullptr;
  ASSERT_EQ(Hr(S_OK), Hr(NxCreateFilterMapper(IID_IFilterMapper2, reinterpret_cast<void**>(&mapper))));
  const AMOVIESETUP_FILTER setup = {&kFilter, NXW("Test Filter"), 0x200000, 2, kPins};
  const LPCWSTR instance =
      NXW("CLSID\\{083863F1-70DE-11D0-BD40-00A0C911CE86}\\Instance\\{11111111-2222-3333-0405-060708090A0B}");
  EXPECT_EQ(Hr(S_FALSE), Hr(AMovieSetupRegisterFilter2(nullptr, mapper, TRUE)));
  EXPECT_EQ(Hr(S_OK), Hr(AMovieSetupRegisterFilter2(&setup, mapper, FALSE)));  // nothing there yet
  EXPECT_EQ(Hr(S_OK), Hr(AMovieSetupRegisterFilter2(&setup, mapper, TRUE)));
  EXPECT_EQ(WString(NXW("Test Filter")), RegText(HKEY_CLASSES_ROOT, instance, NXW("FriendlyName")));
  // The key's name is the class id's text form (as is the module's CLSID value), which needs
  // all 39 units.
  WCHAR text[39];
  EXPECT_EQ(0, StringFromGUID2(kFilter, text, 38));
  EXPECT_EQ(0, StringFromGUID2(kFilter, nullptr, 39));
  EXPECT_EQ(Hr(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)),
            Hr(mapper->UnregisterFilter(nullptr, NXW("other"), kFilter)));
  // An entry with a subkey (another tool's): the mapper deletes childless keys only, as the
  // system's does, and unregistration still removes the entry whole.
  HKEY extra = nullptr;
  const WString extraName = WString(instance) + NXW("\\Extra");
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CLASSES_ROOT, extraName.c_str(), 0, nullptr, 0,
                                           KEY_ALL_ACCESS, nullptr, &extra, nullptr));
  RegCloseKey(extra);
  EXPECT_EQ(Hr(E_ACCESSDENIED), Hr(mapper->UnregisterFilter(nullptr, nullptr, kFilter)));
  EXPECT_EQ(Hr(S_OK), Hr(AMovieSetupRegisterFilter2(&setup, mapper, FALSE)));
  EXPECT_FALSE(RegKeyExists(HKEY_CLASSES_ROOT, instance));
  EXPECT_EQ(0u, mapper->Release());
}

}  // namespace
