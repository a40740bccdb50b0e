// The string table's language file, which replaces the built-in texts (the pages', filter's and
// recovery's suites compare the texts they show).
#include "toolkit/string_table.h"

#include "tests/support/test_support.h"

namespace {

std::string Narrow(LPCWSTR text) {
  std::string out;
  for (; *text != 0; ++text) out.push_back(*text < 0x80 ? static_cast<char>(*text) : '?');
  return out;
}

class LanguageFile : public ::testing::Test {
 protected:
  void TearDown() override { NxCloseStringTable(); }
  void Write(const std::string& content) {
    std::ofstream(temp_ / "auralith_x64.LNG", std::ios::binary) << content;
  }

  TempFolder temp_;
  const WString module_ = Wide(temp_ / "auralith_x64.dll");
};

TEST_F(LanguageFile, PathReplacesOnlyTheNamesExtension) {
  WCHAR path[64];
  const struct {
    LPCWSTR module;
    LPCWSTR expected;
  } rows[] = {
      {NXW("/a/b/auralith_x64.dll"), NXW("/a/b/auralith_x64.LNG")},
      {NXW("/a.b/plugin"), NXW("/a.b/plugin.LNG")},
      {NXW("C:\\x.y\\libauralith.so"), NXW("C:\\x.y\\libauralith.LNG")},
  };
  for (const auto& row : rows) {
    ASSERT_TRUE(NxLanguageFilePath(row.module, path, 64));
    EXPECT_EQ(WString(row.expected), WString(path));
  }
  EXPECT_FALSE(NxLanguageFilePath(NXW("/a/b/auralith_x64.dll"), path, 21));
}

TEST_F(LanguageFile, ReplacesTextsWithMatchingConversionsOnly) {
  Write("\xEF\xBB\xBF; translated\r\n"
        "1=Allgemein\r\n"
        "# comment\n"
        " 228 =[Verarbeitung]\n"
        "233=%s Hz, %lu Kan\xC3\xA4le, %lu.%02lu Sekunden\n"
        "232=%s at %lu.%02lu\n"              // a conversion of another kind
        "211=%s %s\n"                        // one conversion too many
        "218=%*s\n"                          // an argument the caller never passes
        "222=50%\n"                          // cut-off conversion
        "234=Zeile eins\\n\\nZeile zwei\\t\\\\\n"
        "999=not a text of the table\n"
        "abc=x\n=y\nno equals sign\n"
        "2=\xC3\x28 bad UTF-8\n"
        "3=first\n3=second\n"
        "99999999999=overflow\n");
  EXPECT_EQ(5u, NxOpenStringTable(module_.c_str()));
  EXPECT_EQ(WString(NXW("%s Hz, %lu Kan\u00E4le, %lu.%02lu Sekunden")), WString(NxGetString(233)));
  // Translations taken, then (from 232 on) the built-in texts kept where the file's do not fit.
  const std::pair<UINT, const char*> rows[] = {
      // clang-format off
      {1, "Allgemein"}, {228, "[Verarbeitung]"}, {234, "Zeile eins\n\nZeile zwei\t\\"},
      {3, "second"}, {232, "%d %% at %lu.%02lu Seconds"}, {211, "%s Plug-In"}, {218, "About %s"},
      {222, "Auralith"}, {2, "Envelope"}, {999, ""}};
  // clang-format on
  for (const auto& row : rows) EXPECT_EQ(row.second, Narrow(NxGetString(row.first))) << row.first;

  // Texts handed out stay readable after the table closes; lookups are English again.
  const LPCWSTR translated = NxGetString(1);
  NxCloseStringTable();
  EXPECT_EQ("Allgemein", Narrow(translated));
  EXPECT_EQ("General", Narrow(NxGetString(1)));
}

TEST_F(LanguageFile, MissingEmptyOrHugeFilesKeepTheBuiltInTexts) {
  EXPECT_EQ(0u, NxOpenStringTable(module_.c_str()));
  EXPECT_EQ("", Narrow(NxGetString(0xFFFFFFFFu)));  // past the table's end: empty, not null
  Write("");
  EXPECT_EQ(0u, NxOpenStringTable(module_.c_str()));
  Write("1=Big\n" + std::string(1 << 20, ';'));
  EXPECT_EQ(0u, NxOpenStringTable(module_.c_str()));
  Write("1=" + std::string(5000, 'x') + "\n4=" + std::string(4095, 'y'));
  EXPECT_EQ(1u, NxOpenStringTable(module_.c_str()));
  EXPECT_EQ("General", Narrow(NxGetString(1)));
  EXPECT_EQ(4095u, WString(NxGetString(4)).size());
  // Reopening replaces the earlier set instead of adding to it.
  Write("2=Huelle\n");
  EXPECT_EQ(1u, NxOpenStringTable(module_.c_str()));
  EXPECT_EQ("Summary", Narrow(NxGetString(4)));
  EXPECT_EQ(0u, NxOpenStringTable(nullptr));
  EXPECT_EQ("Envelope", Narrow(NxGetString(2)));
}

}  // namespace
