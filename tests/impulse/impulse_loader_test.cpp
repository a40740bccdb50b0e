// Impulse loading by file name: impulse files written from wave files on disk, reference files,
// embedding, the source name and the attributes text.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

#include "impulse/impulse_loader.h"
#include "impulse/wave_loader.h"
#include "irx_test_util.h"
#include "toolkit/string_table.h"

using namespace irxtest;

namespace {

std::u16string Wide(const std::string& text) { return std::u16string(text.begin(), text.end()); }
std::u16string Text(const WCHAR* text) { return reinterpret_cast<const char16_t*>(text); }

class ImpulseFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = std::filesystem::temp_directory_path() /
              ("auralith_irx_" + std::to_string(std::random_device{}()));
    std::filesystem::create_directories(folder_);
  }
  void TearDown() override { std::filesystem::remove_all(folder_); }

  std::string Path(const std::string& name) const { return (folder_ / name).string(); }
  const WCHAR* W(const std::string& name) {
    names_.push_back(Wide(Path(name)));
    return reinterpret_cast<const WCHAR*>(names_.back().c_str());
  }
  void Write(const std::string& name, const Bytes& bytes) const {
    std::ofstream(Path(name), std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<long>(bytes.size()));
  }
  Bytes Read(const std::string& name) const {
    std::ifstream in(Path(name), std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

  // A stereo 24-bit wave file with a summary behind its data.
  static Bytes StereoWave(DWORD frames) {
    Bytes data;
    for (DWORD i = 0; i < frames * 2; ++i) Put(&data, i * 2654435761u, 3);
    return WaveFile(1, 2, 44100, 24, data, {}, InfoList({{"INAM", "Plate"}}));
  }

  // Both channels of `name`, loaded as an impulse or as a wave file.
  static std::vector<float> Loaded(const WCHAR* name, DWORD frames, bool asWave) {
    std::vector<float> both(2 * frames);
    auto load = asWave ? LoadWaveImpulse : LoadImpulse;
    EXPECT_EQ(static_cast<int>(frames), load(name, both.data(), both.data() + frames, frames, 0));
    return both;
  }

  std::filesystem::path folder_;
  std::vector<std::u16string> names_;
};

}  // namespace

TEST_F(ImpulseFiles, SavedImpulseLoadsLikeItsWaveFile) {
  const DWORD frames = 7000;  // 42000 bytes: frames straddle blocks
  Write("src.wav", StereoWave(frames));
  ASSERT_EQ(0, SaveImpulseFile(W("hall.irx"), W("src.wav")));
  bool isWave = true;
  EXPECT_TRUE(IsImpulseFile(W("hall.irx"), &isWave) && !isWave);
  EXPECT_TRUE(IsImpulseFile(W("src.wav"), &isWave) && isWave);
  ImpulseInfo info;
  ASSERT_TRUE(GetImpulseInfo(W("hall.irx"), &info, &isWave));
  EXPECT_EQ(3u, info.bytesPerSample);
  EXPECT_EQ(frames * 6, info.dataBytes);
  EXPECT_EQ(Loaded(W("src.wav"), frames, true), Loaded(W("hall.irx"), frames, false));
  // 24-bit data is stored as it was: the raw bytes are the wave file's.
  std::vector<BYTE> raw(info.dataBytes);
  ASSERT_EQ(info.dataBytes, ReadImpulseRawData(W("hall.irx"), raw.data(), info.dataBytes));
  EXPECT_TRUE(std::equal(raw.begin(), raw.end(), Read("src.wav").begin() + 12 + 24 + 8));

  WCHAR name[kImpulseNameUnits];
  bool isSelf = false;
  EXPECT_EQ(0, GetImpulseSourceName(W("hall.irx"), name, kImpulseNameUnits, &isSelf));
  EXPECT_TRUE(isSelf);
  EXPECT_EQ(Wide(Path("hall.irx")), Text(name));
  EXPECT_EQ(static_cast<int>(Path("src.wav").size()),
            GetImpulseSourceName(W("src.wav"), name, kImpulseNameUnits, &isSelf));
  EXPECT_EQ(-1, GetImpulseSourceName(W("missing.irx"), name, kImpulseNameUnits, &isSelf));
  // An impulse file as source is copied byte for byte.
  ASSERT_EQ(0, SaveImpulseFile(W("copy.irx"), W("hall.irx")));
  EXPECT_EQ(Read("hall.irx"), Read("copy.irx"));
}

TEST_F(ImpulseFiles, RefusedSourcesLeaveTheDestinationAlone) {
  Write("dest.irx", {1, 2, 3});
  Write("text.txt", Bytes(100, 'a'));
  Write("codec.wav", WaveFile(0x55, 1, 8000, 0, Bytes(50, 1)));  // no decoder for this tag
  Write("src.wav", StereoWave(10));
  for (const char* source : {"missing.wav", "text.txt", "codec.wav"}) {
    EXPECT_EQ(-1, SaveImpulseFile(W("dest.irx"), W(source))) << source;
  }
  EXPECT_EQ(-1, SaveImpulseFile(W("src.wav"), W("src.wav")));
  EXPECT_EQ(-1, SaveImpulseFile(W("no/such/folder.irx"), W("src.wav")));
  EXPECT_EQ(Bytes({1, 2, 3}), Read("dest.irx"));
  EXPECT_EQ(StereoWave(10), Read("src.wav"));
}

TEST_F(ImpulseFiles, ReferenceFilesLoadAndEmbedTheirWaveFile) {
  const DWORD frames = 3000;
  Write("src.wav", StereoWave(frames));
  IrxFields stale;  // the stored description is what the wave file once was
  stale.dataBytes = 500;
  Write("ref.irx", IrxFile(stale, {}, Path("src.wav"), InfoList({{"INAM", "Old"}})));
  ImpulseInfo info;
  ASSERT_TRUE(GetImpulseInfo(W("ref.irx"), &info, nullptr));
  EXPECT_EQ(500u, info.dataBytes);
  EXPECT_EQ(Loaded(W("src.wav"), frames, true), Loaded(W("ref.irx"), frames, false));
  WCHAR name[kImpulseNameUnits];
  bool isSelf = true;
  EXPECT_EQ(static_cast<int>(Path("src.wav").size()),
            GetImpulseSourceName(W("ref.irx"), name, kImpulseNameUnits, &isSelf));
  EXPECT_FALSE(isSelf);
  EXPECT_EQ(Wide(Path("src.wav")), Text(name));
  WCHAR text[64];  // the attributes are the wave file's, not the stale header's
  EXPECT_EQ(35u, GetImpulseInfoText(W("ref.irx"), text, 64));
  EXPECT_EQ(u"44,100 Hz, 2 Channels, 0.06 Seconds", Text(text));

  ASSERT_EQ(0, EmbedReferencedImpulse(W("ref.irx")));
  EXPECT_EQ(2, std::distance(std::filesystem::directory_iterator(folder_), {}));  // no temporary
  EXPECT_EQ(0, GetImpulseSourceName(W("ref.irx"), name, kImpulseNameUnits, &isSelf));
  EXPECT_EQ(Loaded(W("src.wav"), frames, true), Loaded(W("ref.irx"), frames, false));
  const Bytes embedded = Read("ref.irx");
  EXPECT_EQ(kListChunkId, Get32(embedded, 20 + 40 + frames * 6));

  // Nothing to do, or nothing that can be done; no file changes.
  Write("text.txt", Bytes(20, 'a'));
  Write("lost.irx", IrxFile(stale, {}, Path("gone.wav")));
  Write("notwave.irx", IrxFile(stale, {}, Path("text.txt")));
  const struct {
    const char* name;
    int code;
  } cases[] = {{"ref.irx", 0},      {"src.wav", 0},  {"text.txt", -1},
               {"missing.irx", -1}, {"lost.irx", -1}, {"notwave.irx", -1}};
  for (const auto& c : cases) EXPECT_EQ(c.code, EmbedReferencedImpulse(W(c.name))) << c.name;
  EXPECT_EQ(embedded, Read("ref.irx"));
  EXPECT_EQ(IrxFile(stale, {}, Path("gone.wav")), Read("lost.irx"));
  float sample[4];
  EXPECT_EQ(-1, LoadImpulse(W("lost.irx"), sample, nullptr, 4, 0));
}

TEST_F(ImpulseFiles, ReferenceNamesAreAnsiCutToTheNameLimit) {
  const std::string longName(300, 'n');
  Write("ref.irx", IrxFile({}, {}, longName));
  WCHAR name[kImpulseNameUnits];
  EXPECT_EQ(259, GetImpulseSourceName(W("ref.irx"), name, kImpulseNameUnits, nullptr));
  EXPECT_EQ(Wide(longName.substr(0, 259)), Text(name));
  EXPECT_EQ(7, GetImpulseSourceName(W("ref.irx"), name, 8, nullptr));
  Write("short.irx", IrxFile({}, {}, "caf\xE9.wav"));  // Windows-1252: 0xE9 is U+00E9
  EXPECT_EQ(8, GetImpulseSourceName(W("short.irx"), name, kImpulseNameUnits, nullptr));
  EXPECT_EQ(u"caf\u00e9.wav", Text(name));
}

TEST(ImpulseInfoText, FormatsRateChannelsAndSeconds) {
  const struct {
    DWORD rate, channels, width, dataBytes;
    const char* text;
  } cases[] = {
      {44100, 2, 2, 66150 * 4, "44,100 Hz, 2 Channels, 1.50 Seconds"},
      {44100, 2, 2, 99 * 4, "44,100 Hz, 2 Channels, 0.00 Seconds"},
      {8000, 1, 3, 12000 * 3 + 2, "8,000 Hz, 1 Channels, 1.50 Seconds"},
      {8000, 1, 2, 0xFFFFFFFE, "8,000 Hz, 1 Channels, 268435.45 Seconds"},  // frames * 100 > 2^32
      {192000, 6, 4, 3072000, "192,000 Hz, 6 Channels, 0.66 Seconds"},
      {0, 2, 2, 400, ""},
      {44100, 0, 2, 400, ""},
  };
  for (const auto& c : cases) {
    const ImpulseInfo info = {36, 100, c.channels, c.width, c.dataBytes, c.rate, {}};
    WCHAR text[64], small[10];
    EXPECT_EQ(std::strlen(c.text), FormatImpulseInfoText(info, text, 64));
    EXPECT_EQ(Wide(c.text), Text(text));
    EXPECT_EQ(0u, FormatImpulseInfoText(info, small, 10));  // never shown cut
    EXPECT_EQ(0, small[0]);
  }
  EXPECT_EQ(u"%s Hz, %lu Channels, %lu.%02lu Seconds", Text(NxGetString(IDS_IMPULSE_ATTRIBUTES)));
  EXPECT_EQ(u"", Text(NxGetString(1)));
  WCHAR text[64] = {'x', 0};
  EXPECT_EQ(0u, GetImpulseInfoText(NXW("/no/such/file.irx"), text, 64));
  EXPECT_EQ(0, text[0]);
}
