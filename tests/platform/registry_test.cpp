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
  HKEY key = RegMake(HKEY_CLASSES_ROOT, NXW("CLSID\\{ABC}\\InprocServer32"));
  SetText(key, nullptr, NXW("/opt/plug in.so"));
  SetText(key, NXW("ThreadingModel"), NXW("Both"));
  const DWORD merit = 0x200000;
  EXPECT_EQ(ERROR_SUCCESS,
            RegSetValueExW(key, NXW("Merit"), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&merit), 4));
  EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(key));

  // Everything comes back from the file through fresh handles.
  EXPECT_EQ(WString(NXW("/opt/plug in.so")),
            RegText(HKEY_CLASSES_ROOT, NXW("Clsid\\{Abc}\\InprocServer32"), NXW("")));
  EXPECT_EQ(WString(NXW("Both")),
            RegText(HKEY_CLASSES_ROOT, NXW("CLSID\\{ABC}\\InprocServer32"), NXW("threadingmodel")));
  // The file reads like the platform's export.
  const std::string file = ReadFileText(NxRegistryFilePath());
  EXPECT_NE(std::string::npos, file.find("[HKEY_CLASSES_ROOT\\CLSID\\{ABC}\\InprocServer32]\n"
                                         "@=\"/opt/plug in.so\"\n\"ThreadingModel\"=\"Both\"\n"
                                         "\"Merit\"=dword:00200000\n"))
      << file;
  EXPECT_FALSE(RegKeyExists(HKEY_CURRENT_USER, NXW("CLSID")));  // roots are separate trees
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
  // The key's name is the class id's text form, which needs all 39 units.
  WCHAR text[39];
  EXPECT_EQ(0, StringFromGUID2(kFilter, text, 38));
  EXPECT_EQ(0, StringFromGUID2(kFilter, nullptr, 39));
}

}  // namespace
