#include "impulse/summary.h"

#include "tests/impulse/impulse_test_util.h"

namespace {

// Items of odd and even stored sizes ("Hall" + zero is 5, "Me" + zero is 3); the copyright has "é"
// and "€", single bytes of the code page.
const WString kCopyright = NXW("(c) Caf\u00E9 \u20AC");
const Bytes kItems = Chunk("INAM", Z("Hall")) + Chunk("IENG", Z("Me")) +
                     Chunk("ICOP", Z("(c) Caf\xE9 \x80")) + Chunk("ICMT", Z("ab"));
// A wave-like file: "fmt ", a LIST of another type, "data", then the INFO list.
const Bytes kSample = Riff(Chunk("fmt ", B("abc")) + List("adtl", B("INAM") + Le({0})) +
                           Chunk("data", B("12345")) + List("INFO", kItems));

TEST(Summary, SaveWritesTheListAndLoadReadsItBackInFileOrder) {
  WCHAR title[] = NXW("Hall"), author[] = NXW("Me"), empty[] = NXW("");
  WString copyright = kCopyright;
  NxSummaryItem items[] = {{kInfoTitle, title},
                           {kInfoAuthor, author},
                           {kInfoComments, nullptr},
                           {kInfoCopyright, copyright.data()},
                           {kInfoComments, empty}};
  const NxSummary summary = {5, items}, none = {};
  MemFile file(B("xy"));
  DWORD written = 0;
  ASSERT_HR(NX_OK, NxSummary_Save(file.Seek(2), &summary, &written));
  const Bytes saved = List("INFO", Bytes(kItems.begin(), kItems.end() - 12) + Chunk("ICMT", {0}));
  EXPECT_EQ(file->Bytes(), B("xy") + saved);
  EXPECT_TRUE(written == saved.size() && file.Pos() == saved.size() + 2);

  NxSummary loaded = {};
  ASSERT_HR(NX_OK,
                NxSummary_Load(file.Seek(14), &loaded, static_cast<DWORD>(saved.size() - 12)));
  ASSERT_EQ(loaded.count, 4u);
  EXPECT_EQ(WString(NxSummary_GetItemText(&loaded, kInfoTitle)), NXW("Hall"));
  EXPECT_EQ(WString(NxSummary_GetItemText(&loaded, kInfoCopyright)), kCopyright);
  EXPECT_EQ(WString(NxSummary_GetItemText(&loaded, kInfoComments)), NXW(""));
  EXPECT_EQ(NxSummary_GetItemText(&loaded, kInfoDisplayText), nullptr);
  EXPECT_EQ(loaded.items[3].id, kInfoComments);
  NxSummary_Free(&loaded);
  EXPECT_TRUE(loaded.count == 0 && loaded.items == nullptr);
  // An empty record writes nothing. (A full disk: the impulse writer's case.)
  EXPECT_HR(NX_OK, NxSummary_Save(file, &none, &written));
  EXPECT_TRUE(written == 0 && file->Bytes().size() == saved.size() + 2);
}

TEST(Summary, LoadFailuresLeaveAnEmptyRecord) {
  const Bytes list = List("INFO", kItems);
  const DWORD size = static_cast<DWORD>(kItems.size());
  // Cut inside the third item's text, and inside the last item; an item claiming gigabytes; a zero
  // size.
  const struct {
    Bytes bytes;
    DWORD at, remaining;
    NXSTATUS status;
  } cases[] = {{Bytes(list.begin(), list.begin() + 48), 12, size, NX_E_READ},
               {Bytes(list.begin(), list.end() - 2), 12, size, NX_E_READ},
               {B("INAM") + Le({0xFFFFFFF0u}) + B("Hall"), 0, 100, NX_E_READ},
               {list, 12, 0, E_INVALIDARG}};
  for (const auto& c : cases) {
    MemFile file(c.bytes);
    NxSummary summary = {1, nullptr};
    EXPECT_HR(c.status, NxSummary_Load(file.Seek(c.at), &summary, c.remaining));
    EXPECT_TRUE(summary.count == 0 && summary.items == nullptr) << c.bytes.size();
  }
}

TEST(Summary, GetStringFromFileFindsItemsAndRestoresThePosition) {
  Bytes liar = kSample;
  liar[liar.size() - 5] = 0x7F;  // top byte of the last item's size
  MemFile file(kSample), damaged(liar);
  const DWORD body = static_cast<DWORD>(kSample.size() - 12);
  // Each lookup independent of the last; the pad of an odd item does not hide the next. A small
  // capacity cuts; a missing item, a list outside the bound and an item larger than the file give
  // codes and an empty text.
  const struct {
    const MemFile& file;
    DWORD id, capacity, remaining;
    NXSTATUS status;
    WString text;
  } cases[] = {{file, kInfoComments, 128, body, NX_OK, NXW("ab")},
               {file, kInfoTitle, 128, body, NX_OK, NXW("Hall")},
               {file, kInfoCopyright, 128, body, NX_OK, kCopyright},
               {file, kInfoAuthor, 128, 0, NX_OK, NXW("Me")},  // 0: unbounded
               {file, kInfoTitle, 3, body, NX_OK, NXW("Ha")},
               {file, kInfoDisplayText, 128, body, NX_E_NOTFOUND, NXW("")},
               {file, kInfoTitle, 128, 40, NX_E_NOTFOUND, NXW("")},
               {damaged, kInfoComments, 128, body, NX_E_READ, NXW("")},
               {file, kInfoTitle, 0, body, E_INVALIDARG, NXW("x")}};
  for (const auto& c : cases) {
    WCHAR text[128] = {'x', 0};
    DWORD remaining = c.remaining;
    EXPECT_HR(c.status, NxSummary_GetStringFromFile(c.file.Seek(12), c.id, text, c.capacity,
                                                        c.remaining ? &remaining : nullptr));
    EXPECT_TRUE(WString(text) == c.text && c.file.Pos() == 12u) << c.capacity;
  }
}

TEST(Summary, DisplayTextsAreCutAndEmptyWhereTheFileHasNone) {
  WCHAR texts[4][kNxSummaryDisplayChars];
  const auto textsAre = [&texts](std::vector<WString> expected) {
    for (size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(expected[i], WString(texts[i])) << i;
  };
  MemFile file(kSample);
  NxSummary_ReadDisplayTexts(file.Seek(30), kDialogSummaryItems, 4,
                             texts);  // from anywhere
  textsAre({NXW("Hall"), NXW("Me"), kCopyright, NXW("ab")});
  MemFile longFile(Riff(List("INFO", Chunk("ICMT", Z(std::string(200, 'L'))))));
  NxSummary_ReadDisplayTexts(longFile, kPageSummaryItems, 3, texts);
  textsAre({WString(127, 'L'), NXW(""), NXW("")});
  for (const Bytes& bytes : {Riff(Chunk("data", B("1234"))), B("RIFX"), Bytes{}}) {
    MemFile none(bytes);
    for (auto& text : texts) text[0] = 'x';
    NxSummary_ReadDisplayTexts(none, kDialogSummaryItems, 4, texts);
    textsAre({NXW(""), NXW(""), NXW(""), NXW("")});
  }
}

}  // namespace
