#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "impulse/summary.h"
#include "tests/impulse/riff_test_util.h"

namespace {

typedef std::basic_string<WCHAR> WString;
typedef std::vector<BYTE> Bytes;

std::string Le32(DWORD value) {
  std::string bytes;
  for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<char>(value >> (8 * i)));
  return bytes;
}

// A subchunk with its pad byte.
std::string Padded(const std::string& id, const std::string& data) {
  std::string chunk = id + Le32(static_cast<DWORD>(data.size())) + data;
  if (data.size() % 2 != 0) chunk.push_back('\0');
  return chunk;
}

std::string InfoList(const std::string& items) {
  return "LIST" + Le32(static_cast<DWORD>(items.size() + 4)) + "INFO" + items;
}

Bytes Riff(const std::string& body) {
  const std::string file = "RIFF" + Le32(static_cast<DWORD>(body.size() + 4)) + "WAVE" + body;
  return Bytes(file.begin(), file.end());
}

// A wave-like file: "fmt ", an INFO list of another kind first, "data", then the INFO list with
// items of odd and even stored sizes ("Hall" + zero is 5, "Me" + zero is 3, "ab" + zero is 3).
const std::string kItems = Padded("INAM", std::string("Hall\0", 5)) +
                           Padded("IENG", std::string("Me\0", 3)) +
                           Padded("ICOP", std::string("(c) Caf\xE9 \x80\0", 11)) +
                           Padded("ICMT", std::string("ab\0", 3));
Bytes SampleFile() {
  return Riff(Padded("fmt ", "abc") + "LIST" + Le32(12) + "adtl" + "INAM" + Le32(0) +
              Padded("data", "12345") + InfoList(kItems));
}

TEST(Summary, SaveWritesTheListAndLoadReadsItBack) {
  WCHAR title[] = u"Hall";
  WCHAR author[] = u"Me";
  WCHAR copyright[] = u"(c) Caf\u00E9 \u20AC";
  WCHAR empty[] = u"";
  NxSummaryItem items[] = {{kInfoTitle, title},   {kInfoAuthor, author},
                           {kInfoComments, nullptr}, {kInfoCopyright, copyright},
                           {kInfoComments, empty}};
  const NxSummary summary = {5, items};

  MemFile file(Bytes{'x', 'y'});
  file.Seek(2);
  DWORD written = 0;
  ASSERT_STATUS(NX_OK, NxSummary_Save(file, &summary, &written));
  const std::string expectedItems = Padded("INAM", std::string("Hall\0", 5)) +
                                    Padded("IENG", std::string("Me\0", 3)) +
                                    Padded("ICOP", std::string("(c) Caf\xE9 \x80\0", 11)) +
                                    Padded("ICMT", std::string("\0", 1));
  const std::string expected = "xy" + InfoList(expectedItems);
  EXPECT_EQ(file->Bytes(), Bytes(expected.begin(), expected.end()));
  EXPECT_EQ(written, expected.size() - 2);
  EXPECT_EQ(file.Pos(), expected.size());

  file.Seek(2 + 12);
  NxSummary loaded = {};
  ASSERT_STATUS(NX_OK, NxSummary_Load(file, &loaded, static_cast<DWORD>(expectedItems.size())));
  ASSERT_EQ(loaded.count, 4u);
  EXPECT_EQ(WString(NxSummary_GetItemText(&loaded, kInfoTitle)), u"Hall");
  EXPECT_EQ(WString(NxSummary_GetItemText(&loaded, kInfoAuthor)), u"Me");
  EXPECT_EQ(WString(NxSummary_GetItemText(&loaded, kInfoCopyright)), copyright);
  EXPECT_EQ(WString(NxSummary_GetItemText(&loaded, kInfoComments)), u"");
  EXPECT_EQ(NxSummary_GetItemText(&loaded, kInfoDisplayText), nullptr);
  EXPECT_EQ(loaded.items[3].id, kInfoComments);  // file order
  NxSummary_Free(&loaded);
  EXPECT_EQ(loaded.count, 0u);
  EXPECT_EQ(loaded.items, nullptr);

  // An empty record writes nothing.
  const NxSummary none = {};
  written = 99;
  EXPECT_STATUS(NX_OK, NxSummary_Save(file, &none, &written));
  EXPECT_EQ(written, 0u);
  EXPECT_EQ(file->Bytes().size(), expected.size());
  EXPECT_STATUS(E_INVALIDARG, NxSummary_Save(file, nullptr, &written));

  // A full disk fails the save.
  MemFile full(Bytes{});
  full->SetSizeLimit(20);
  EXPECT_STATUS(NX_E_WRITE, NxSummary_Save(full, &summary, &written));
  EXPECT_EQ(written, 0u);
}

TEST(Summary, LoadFailuresLeaveAnEmptyRecord) {
  const std::string list = InfoList(kItems);
  const Bytes whole(list.begin(), list.end());
  NxSummary summary = {};
  {
    MemFile file(whole);
    file.Seek(12);
    ASSERT_STATUS(NX_OK, NxSummary_Load(file, &summary, static_cast<DWORD>(kItems.size())));
    EXPECT_EQ(summary.count, 4u);
    EXPECT_EQ(WString(NxSummary_GetItemText(&summary, kInfoComments)), u"ab");
    NxSummary_Free(&summary);
  }
  // Cut inside the third item: counting or reading fails, nothing is kept.
  for (size_t cut : {size_t{12 + 14 + 12 + 4}, size_t{12 + 14 + 12 + 10}, whole.size() - 2}) {
    MemFile file(Bytes(whole.begin(), whole.begin() + cut));
    file.Seek(12);
    EXPECT_STATUS(NX_E_READ, NxSummary_Load(file, &summary, static_cast<DWORD>(kItems.size())))
        << cut;
    EXPECT_EQ(summary.count, 0u);
    EXPECT_EQ(summary.items, nullptr);
  }
  // An item claiming gigabytes is refused before allocating.
  const std::string liar = "INAM" + Le32(0xFFFFFFF0u) + "Hall";
  MemFile file(Bytes(liar.begin(), liar.end()));
  EXPECT_STATUS(NX_E_READ, NxSummary_Load(file, &summary, 100));
  EXPECT_EQ(summary.count, 0u);
  EXPECT_STATUS(E_INVALIDARG, NxSummary_Load(file, &summary, 0));
  EXPECT_STATUS(E_INVALIDARG, NxSummary_Load(file, nullptr, 100));
}

TEST(Summary, GetStringFromFileFindsItemsAndRestoresThePosition) {
  const Bytes sample = SampleFile();
  MemFile file(sample);
  DWORD body = 0;
  ASSERT_STATUS(NX_OK, riff_ReadFileID(file, &body, nullptr));
  WCHAR text[128];
  // Each lookup independent of the last; the pad of an odd item does not hide the next.
  const std::pair<DWORD, WString> expected[] = {{kInfoComments, u"ab"},
                                                {kInfoTitle, u"Hall"},
                                                {kInfoCopyright, u"(c) Caf\u00E9 \u20AC"},
                                                {kInfoAuthor, u"Me"}};
  for (const auto& item : expected) {
    DWORD remaining = body;
    ASSERT_STATUS(NX_OK, NxSummary_GetStringFromFile(file, item.first, text, 128, &remaining));
    EXPECT_EQ(WString(text), item.second);
    EXPECT_EQ(file.Pos(), 12u);
  }
  // Unbounded search from the start of the body finds the same list.
  ASSERT_STATUS(NX_OK, NxSummary_GetStringFromFile(file, kInfoAuthor, text, 128, nullptr));
  EXPECT_EQ(WString(text), u"Me");

  // A capacity smaller than the text cuts it.
  DWORD remaining = body;
  ASSERT_STATUS(NX_OK, NxSummary_GetStringFromFile(file, kInfoTitle, text, 3, &remaining));
  EXPECT_EQ(WString(text), u"Ha");

  // Missing item, list outside the bound, item larger than the file: codes, empty text, position
  // restored.
  remaining = body;
  EXPECT_STATUS(NX_E_NOTFOUND,
                NxSummary_GetStringFromFile(file, kInfoDisplayText, text, 128, &remaining));
  EXPECT_EQ(text[0], 0);
  EXPECT_EQ(file.Pos(), 12u);
  remaining = 40;
  EXPECT_STATUS(NX_E_NOTFOUND,
                NxSummary_GetStringFromFile(file, kInfoTitle, text, 128, &remaining));
  EXPECT_EQ(file.Pos(), 12u);
  Bytes liar = sample;
  const size_t icmtSize = sample.size() - 4 - 4;
  liar[icmtSize + 3] = 0x7F;
  MemFile damaged(liar);
  damaged.Seek(12);
  remaining = body;
  EXPECT_STATUS(NX_E_READ, NxSummary_GetStringFromFile(damaged, kInfoComments, text, 128,
                                                        &remaining));
  EXPECT_EQ(damaged.Pos(), 12u);
  EXPECT_STATUS(E_INVALIDARG, NxSummary_GetStringFromFile(file, kInfoTitle, text, 0, nullptr));
}

TEST(Summary, DisplayTextsAreEmptyWhereTheFileHasNone) {
  WCHAR texts[4][kNxSummaryDisplayChars];
  MemFile file(SampleFile());
  file.Seek(30);  // wherever a previous reader left it
  NxSummary_ReadDisplayTexts(file, kDialogSummaryItems, 4, texts);
  EXPECT_EQ(WString(texts[0]), u"Hall");
  EXPECT_EQ(WString(texts[1]), u"Me");
  EXPECT_EQ(WString(texts[2]), u"(c) Caf\u00E9 \u20AC");
  EXPECT_EQ(WString(texts[3]), u"ab");

  // Texts over 127 characters are cut; missing items and lists give empty texts.
  const std::string longText = std::string(200, 'L') + '\0';
  MemFile longFile(Riff(InfoList(Padded("ICMT", longText))));
  NxSummary_ReadDisplayTexts(longFile, kPageSummaryItems, 3, texts);
  EXPECT_EQ(WString(texts[0]), WString(127, 'L'));
  EXPECT_EQ(texts[1][0], 0);
  EXPECT_EQ(texts[2][0], 0);

  for (const Bytes& bytes : {Riff(Padded("data", "1234")), Bytes{'R', 'I', 'F', 'X'},
                             Bytes{}}) {
    MemFile none(bytes);
    for (auto& text : texts) text[0] = 'x';
    NxSummary_ReadDisplayTexts(none, kDialogSummaryItems, 4, texts);
    for (const auto& text : texts) EXPECT_EQ(text[0], 0);
  }

  // From a path: a missing file empties everything.
  for (auto& text : texts) text[0] = 'x';
  const std::string folder = std::filesystem::temp_directory_path().string();
  const std::string missing = folder + "/auralith_summary_missing_" +
                              std::to_string(std::random_device()()) + ".wav";
  EXPECT_FALSE(NxSummary_ReadDisplayTextsFromPath(WString(missing.begin(), missing.end()).c_str(),
                                                  kDialogSummaryItems, 4, texts));
  for (const auto& text : texts) EXPECT_EQ(text[0], 0);
  const std::string path = missing + ".present";
  const Bytes sample = SampleFile();
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(sample.data()),
             static_cast<std::streamsize>(sample.size()));
  EXPECT_TRUE(NxSummary_ReadDisplayTextsFromPath(WString(path.begin(), path.end()).c_str(),
                                                 kDialogSummaryItems, 4, texts));
  EXPECT_EQ(WString(texts[3]), u"ab");
  std::filesystem::remove(path);
}

TEST(Summary, DamagedFilesNeverReadOutOfBounds) {
  const Bytes sample = SampleFile();
  std::mt19937 random(99);
  WCHAR texts[4][kNxSummaryDisplayChars];
  for (size_t round = 0; round < sample.size() + 300; ++round) {
    Bytes bytes = sample;
    if (round <= sample.size()) {
      bytes.resize(round);
    } else {
      for (int k = 0; k < 3; ++k) bytes[random() % bytes.size()] = static_cast<BYTE>(random());
    }
    MemFile file(bytes);
    NxSummary_ReadDisplayTexts(file, kDialogSummaryItems, 4, texts);
    DWORD remaining = 0x7FFFFFFF;
    file.Seek(12);
    if (riff_FindListChunk(file, kInfoListType, &remaining, nullptr) == NX_OK && remaining > 0) {
      NxSummary summary = {};
      NxSummary_Load(file, &summary, remaining);
      for (DWORD i = 0; i < summary.count; ++i) EXPECT_NE(summary.items[i].text, nullptr);
      NxSummary_Free(&summary);
    }
  }
}

}  // namespace
