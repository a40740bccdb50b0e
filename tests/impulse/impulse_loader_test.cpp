// Impulse loading by file name: writing impulse files from wave files on disk, reference files,
// embedding, the source name and the attributes text.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "impulse/impulse_loader.h"
#include "impulse/wave_loader.h"
#include "irx_test_util.h"
#include "toolkit/string_table.h"

using namespace irxtest;

namespace {

std::u16string Wide(const std::string& text) { return std::u16string(text.begin(), text.end()); }
std::u16string Text(const WCHAR* text) {
  return std::u16string(reinterpret_cast<const char16_t*>(text));
}

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
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }
  Bytes Read(const std::string& name) const {
    std::ifstream in(Path(name), std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  size_t FilesInFolder() const {
    return static_cast<size_t>(std::distance(std::filesystem::directory_iterator(folder_),
                                             std::filesystem::directory_iterator()));
  }

  // A stereo 24-bit wave file with a summary behind its data.
  Bytes StereoWave(DWORD frames) const {
    Bytes data;
    for (DWORD i = 0; i < frames * 2; ++i) {
      const DWORD v = i * 2654435761u;
      data.insert(data.end(), {static_cast<BYTE>(v), static_cast<BYTE>(v >> 8),
                               static_cast<BYTE>(v >> 16)});
    }
    return WaveFile(1, 2, 44100, 24, data, {}, InfoList({{"INAM", "Plate"}}));
  }

  // Loads both channels of `name` with LoadImpulse (or LoadWaveImpulse) into one vector.
  static std::vector<float> Loaded(const WCHAR* name, DWORD frames, bool asWave) {
    std::vector<float> both(2 * frames);
    const int got = asWave ? LoadWaveImpulse(name, both.data(), both.data() + frames, frames, 0)
                           : LoadImpulse(name, both.data(), both.data() + frames, frames, 0);
    EXPECT_EQ(static_cast<int>(frames), got);
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
  EXPECT_TRUE(IsImpulseFile(W("hall.irx"), &isWave));
  EXPECT_FALSE(isWave);
  EXPECT_TRUE(IsImpulseFile(W("src.wav"), &isWave));
  EXPECT_TRUE(isWave);
  ImpulseInfo info;
  ASSERT_TRUE(GetImpulseInfo(W("hall.irx"), &info, &isWave));
  EXPECT_EQ(36u, info.headerSize);
  EXPECT_EQ(3u, info.bytesPerSample);
  EXPECT_EQ(frames * 6, info.dataBytes);
  EXPECT_EQ(Loaded(W("src.wav"), frames, true), Loaded(W("hall.irx"), frames, false));
  // 24-bit data is stored as it was: the raw bytes are the wave file's.
  std::vector<BYTE> raw(info.dataBytes);
  ASSERT_EQ(info.dataBytes, ReadImpulseRawData(W("hall.irx"), raw.data(), info.dataBytes));
  const Bytes wave = Read("src.wav");
  EXPECT_TRUE(std::equal(raw.begin(), raw.end(), wave.begin() + 12 + 24 + 8));

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
  const struct {
    const char* source;
    const char* destination;
    int code;
  } cases[] = {
      {"missing.wav", "dest.irx", -1},
      {"text.txt", "dest.irx", -1},
      {"codec.wav", "dest.irx", -1},
      {"src.wav", "src.wav", -1},
      {"src.wav", "no/such/folder.irx", -1},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.code, SaveImpulseFile(W(c.destination), W(c.source))) << c.source;
  }
  EXPECT_EQ(Bytes({1, 2, 3}), Read("dest.irx"));
  EXPECT_EQ(StereoWave(10), Read("src.wav"));
}

TEST_F(ImpulseFiles, ReferenceFilesLoadAndEmbedTheirWaveFile) {
  const DWORD frames = 3000;
  Write("src.wav", StereoWave(frames));
  IrxFields stale;  // the stored description is what the wave was once
  stale.channels = 1;
  stale.dataBytes = 500;
  const Bytes reference = IrxFile(stale, {}, Path("src.wav"), InfoList({{"INAM", "Old"}}));
  Write("ref.irx", reference);

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
  // The attributes are the wave file's, not the stale header's.
  WCHAR text[64];
  EXPECT_EQ(Wide("44,100 Hz, 2 Channels, 0.06 Seconds"),
            Text((GetImpulseInfoText(W("ref.irx"), text, 64), text)));

  ASSERT_EQ(0, EmbedReferencedImpulse(W("ref.irx")));
  EXPECT_EQ(2u, FilesInFolder());  // no temporary file is left behind
  EXPECT_EQ(0, GetImpulseSourceName(W("ref.irx"), name, kImpulseNameUnits, &isSelf));
  EXPECT_TRUE(isSelf);
  EXPECT_EQ(Loaded(W("src.wav"), frames, true), Loaded(W("ref.irx"), frames, false));
  const Bytes embedded = Read("ref.irx");
  EXPECT_EQ(NxFourCC('L', 'I', 'S', 'T'), Get32(embedded, 20 + 40 + frames * 6));

  // Nothing to do, or nothing that can be done.
  Write("text.txt", Bytes(20, 'a'));
  Write("lost.irx", IrxFile(stale, {}, Path("gone.wav")));
  Write("notwave.irx", IrxFile(stale, {}, Path("text.txt")));
  EXPECT_EQ(0, EmbedReferencedImpulse(W("ref.irx")));
  EXPECT_EQ(0, EmbedReferencedImpulse(W("src.wav")));
  EXPECT_EQ(-1, EmbedReferencedImpulse(W("text.txt")));
  EXPECT_EQ(-1, EmbedReferencedImpulse(W("missing.irx")));
  EXPECT_EQ(-1, EmbedReferencedImpulse(W("lost.irx")));
  EXPECT_EQ(-1, EmbedReferencedImpulse(W("notwave.irx")));
  EXPECT_EQ(embedded, Read("ref.irx"));
  EXPECT_EQ(IrxFile(stale, {}, Path("gone.wav")), Read("lost.irx"));
  float sample[4];
  EXPECT_EQ(-1, LoadImpulse(W("lost.irx"), sample, nullptr, 4, 0));
}

TEST_F(ImpulseFiles, ReferenceNamesAreCutToTheNameLimit) {
  const std::string longName(300, 'n');
  Write("ref.irx", IrxFile({}, {}, longName + "\xE9"));
  WCHAR name[kImpulseNameUnits];
  EXPECT_EQ(259, GetImpulseSourceName(W("ref.irx"), name, kImpulseNameUnits, nullptr));
  EXPECT_EQ(Wide(longName.substr(0, 259)), Text(name));
  WCHAR small[8];
  EXPECT_EQ(7, GetImpulseSourceName(W("ref.irx"), small, 8, nullptr));
  // Windows-1252 text: 0xE9 is U+00E9.
  Write("short.irx", IrxFile({}, {}, "caf\xE9.wav"));
  EXPECT_EQ(8, GetImpulseSourceName(W("short.irx"), name, kImpulseNameUnits, nullptr));
  EXPECT_EQ(std::u16string(u"caf\u00e9.wav"), Text(name));
}

TEST(ImpulseInfoText, FormatsRateChannelsAndSeconds) {
  struct Case {
    DWORD rate, channels, width, dataBytes;
    const char* text;
  } cases[] = {
      {44100, 2, 2, 66150 * 4, "44,100 Hz, 2 Channels, 1.50 Seconds"},
      {44100, 2, 2, 99 * 4, "44,100 Hz, 2 Channels, 0.00 Seconds"},
      {8000, 1, 3, 12000 * 3 + 2, "8,000 Hz, 1 Channels, 1.50 Seconds"},
      // frames * 100 passes 32 bits here.
      {8000, 1, 2, 0xFFFFFFFE, "8,000 Hz, 1 Channels, 268435.45 Seconds"},
      {192000, 6, 4, 192000 * 24 * 2 / 3, "192,000 Hz, 6 Channels, 0.66 Seconds"},
      {0, 2, 2, 400, ""},
      {44100, 0, 2, 400, ""},
  };
  for (const Case& c : cases) {
    ImpulseInfo info = {36, 100, c.channels, c.width, c.dataBytes, c.rate, {}};
    WCHAR text[64];
    const DWORD length = FormatImpulseInfoText(info, text, 64);
    EXPECT_EQ(Wide(c.text), Text(text));
    EXPECT_EQ(std::string(c.text).size(), length);
    // A text that does not fit is not shown cut.
    WCHAR small[10];
    EXPECT_EQ(0u, FormatImpulseInfoText(info, small, 10));
    EXPECT_EQ(0, small[0]);
  }
  EXPECT_EQ(std::u16string(u"%s Hz, %lu Channels, %lu.%02lu Seconds"),
            Text(NxGetString(IDS_IMPULSE_ATTRIBUTES)));
  EXPECT_EQ(std::u16string(), Text(NxGetString(1)));
  WCHAR text[64] = {'x', 0};
  EXPECT_EQ(0u, GetImpulseInfoText(NXW("/no/such/file.irx"), text, 64));
  EXPECT_EQ(0, text[0]);
}
