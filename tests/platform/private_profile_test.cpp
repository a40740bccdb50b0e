#include "platform/private_profile.h"

#include "tests/support/test_support.h"

namespace {

class PrivateProfileTest : public ::testing::Test {
 protected:
  // The settings folder does not exist yet: the first write must create it.
  PrivateProfileTest() { setenv("AURALITH_CONFIG_DIR", (temp_ / "nested").c_str(), 1); }
  void WriteFile(const std::string& content) {
    std::filesystem::create_directories(temp_ / "nested");
    std::ofstream(temp_ / "nested/auralith.ini") << content;
  }
  std::string ReadFile() { return ReadFileText(temp_ / "nested/auralith.ini"); }
  TempFolder temp_;
};

TEST_F(PrivateProfileTest, ReadsValuesAsThePlatformDoes) {
  WriteFile("; settings\n[Auralith]\r\nMaxImpulseSize = 1000\r\n  name = \" quoted \"  \n"
            "Bad=abc\nNeg=-7\n[other]\nmaxImpulseSize=5\n");
  const WCHAR* ini = NXW("auralith.ini");
  EXPECT_EQ(GetPrivateProfileIntW(NXW("auralith"), NXW("MAXIMPULSESIZE"), 524287, ini), 1000u);
  EXPECT_EQ(GetPrivateProfileIntW(NXW("Auralith"), NXW("Missing"), 524287, ini), 524287u);
  EXPECT_EQ(GetPrivateProfileIntW(NXW("Auralith"), NXW("Bad"), 3, ini), 0u);
  EXPECT_EQ(static_cast<INT>(GetPrivateProfileIntW(NXW("Auralith"), NXW("Neg"), 3, ini)), -7);
  EXPECT_EQ(GetPrivateProfileIntW(NXW("Nowhere"), NXW("Neg"), 3, NXW("absent.ini")), 3u);

  WCHAR buffer[16];
  EXPECT_EQ(GetPrivateProfileStringW(NXW("Auralith"), NXW("name"), NXW("x"), buffer, 16, ini), 8u);
  EXPECT_EQ(WString(buffer), NXW(" quoted "));
  // Truncated to the buffer, always terminated.
  EXPECT_EQ(GetPrivateProfileStringW(NXW("Auralith"), NXW("name"), NXW("x"), buffer, 4, ini), 3u);
  EXPECT_EQ(WString(buffer), NXW(" qu"));
  EXPECT_EQ(GetPrivateProfileStringW(NXW("Auralith"), NXW("none"), nullptr, buffer, 16, ini), 0u);
  EXPECT_EQ(WString(buffer), NXW(""));
}

TEST_F(PrivateProfileTest, WritesKeepTheRestOfTheFile) {
  const WCHAR* ini = NXW("auralith.ini");
  ASSERT_TRUE(WritePrivateProfileStringW(NXW("MRU Folders"), NXW("Dir0"), NXW("/a/b"), ini));
  ASSERT_TRUE(WritePrivateProfileStringW(NXW("Auralith"), NXW("LowCutFreq"), NXW("38"), ini));
  ASSERT_TRUE(WritePrivateProfileStringW(NXW("mru folders"), NXW("Dir1"), NXW("/é/€"), ini));
  ASSERT_TRUE(WritePrivateProfileStringW(NXW("MRU Folders"), NXW("DIR0"), NXW("/c"), ini));
  EXPECT_EQ(ReadFile(), "[MRU Folders]\nDir0=/c\nDir1=/é/€\n[Auralith]\nLowCutFreq=38\n");

  WCHAR buffer[16];
  GetPrivateProfileStringW(NXW("MRU Folders"), NXW("Dir1"), nullptr, buffer, 16, ini);
  EXPECT_EQ(WString(buffer), NXW("/é/€"));

  // A null value removes the key, a null key the section; comments survive.
  WriteFile("; keep me\n[A]\nx=1\ny=2\n\n[B]\nz=3\n");
  ASSERT_TRUE(WritePrivateProfileStringW(NXW("A"), NXW("x"), nullptr, ini));
  ASSERT_TRUE(WritePrivateProfileStringW(NXW("B"), nullptr, nullptr, ini));
  ASSERT_TRUE(WritePrivateProfileStringW(NXW("A"), NXW("w"), NXW("4"), ini));
  EXPECT_EQ(ReadFile(), "; keep me\n[A]\ny=2\nw=4\n\n");

  // A line break would smuggle in another key.
  EXPECT_FALSE(WritePrivateProfileStringW(NXW("A"), NXW("x"), NXW("1\n[B]"), ini));
  EXPECT_FALSE(WritePrivateProfileStringW(nullptr, NXW("x"), NXW("1"), ini));
}

}  // namespace
