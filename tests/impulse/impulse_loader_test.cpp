// Impulse loading by file name: impulse files written from wave files on disk, reference files,
// embedding, the source name and the attributes text.
#include "impulse/impulse_loader.h"

#include <cstring>

#include "impulse/wave_loader.h"
#include "tests/impulse/impulse_test_util.h"

namespace {

// A stereo 24-bit wave file with a summary behind its data.
Bytes StereoWave(DWORD frames) {
  Bytes data;
  for (DWORD i = 0; i < frames * 2; ++i) data += Le({i * 2654435761u}, 3);
  return WaveFile(1, 2, 44100, 24, data, {}, InfoList({{"INAM", "Plate"}}));
}

// Both channels of `name`, loaded as an impulse or as a wave file.
std::vector<float> Loaded(const WCHAR* name, DWORD frames, bool asWave) {
  std::vector<float> both(2 * frames);
  auto load = asWave ? LoadWaveImpulse : LoadImpulse;
  EXPECT_EQ(static_cast<int>(frames), load(name, both.data(), both.data() + frames, frames, 0));
  return both;
}

TEST(ImpulseFiles, SavedImpulseLoadsLikeItsWaveFile) {
  TempFolder dir;
  const DWORD frames = 7000;  // 42000 bytes: frames straddle blocks
  dir.Write("src.wav", StereoWave(frames));
  ASSERT_EQ(0, SaveImpulseFile(dir.Wide("hall.irx"), dir.Wide("src.wav")));
  bool isWave = true;
  EXPECT_TRUE(IsImpulseFile(dir.Wide("hall.irx"), &isWave) && !isWave);
  EXPECT_TRUE(IsImpulseFile(dir.Wide("src.wav"), &isWave) && isWave);
  ImpulseInfo info;
  ASSERT_TRUE(GetImpulseInfo(dir.Wide("hall.irx"), &info, &isWave));
  EXPECT_TRUE(info.bytesPerSample == 3 && info.dataBytes == frames * 6);
  EXPECT_EQ(Loaded(dir.Wide("src.wav"), frames, true), Loaded(dir.Wide("hall.irx"), frames, false));
  // 24-bit data is stored as it was: the raw bytes are the wave file's.
  Bytes raw(info.dataBytes);
  ASSERT_EQ(info.dataBytes, ReadImpulseRawData(dir.Wide("hall.irx"), raw.data(), info.dataBytes));
  EXPECT_TRUE(std::equal(raw.begin(), raw.end(), dir.Read("src.wav").begin() + 12 + 24 + 8));

  // An impulse file as source is copied byte for byte.
  ASSERT_EQ(0, SaveImpulseFile(dir.Wide("copy.irx"), dir.Wide("hall.irx")));
  EXPECT_EQ(dir.Read("hall.irx"), dir.Read("copy.irx"));
}

TEST(ImpulseFiles, RefusedSourcesLeaveTheDestinationAlone) {
  TempFolder dir;
  dir.Write("dest.irx", {1, 2, 3});
  dir.Write("text.txt", Bytes(100, 'a'));
  dir.Write("codec.wav", WaveFile(0x55, 1, 8000, 0, Bytes(50, 1)));  // no decoder for this tag
  dir.Write("src.wav", StereoWave(10));
  for (const char* source : {"missing.wav", "text.txt", "codec.wav"}) {
    EXPECT_EQ(-1, SaveImpulseFile(dir.Wide("dest.irx"), dir.Wide(source))) << source;
  }
  EXPECT_EQ(-1, SaveImpulseFile(dir.Wide("src.wav"), dir.Wide("src.wav")));
  EXPECT_EQ(-1, SaveImpulseFile(dir.Wide("no/such/folder.irx"), dir.Wide("src.wav")));
  EXPECT_TRUE(dir.Read("dest.irx") == Bytes({1, 2, 3}) && dir.Read("src.wav") == StereoWave(10));
}

TEST(ImpulseFiles, ReferenceFilesLoadAndEmbedTheirWaveFile) {
  TempFolder dir;
  const DWORD frames = 3000;
  dir.Write("src.wav", StereoWave(frames));
  const IrxFields stale{36, 100, 1, 2, 500};  // what the wave file once was
  dir.Write("ref.irx", IrxFile(stale, {}, dir / "src.wav", InfoList({{"INAM", "Old"}})));
  ImpulseInfo info;
  ASSERT_TRUE(GetImpulseInfo(dir.Wide("ref.irx"), &info, nullptr));
  EXPECT_EQ(500u, info.dataBytes);
  EXPECT_EQ(Loaded(dir.Wide("src.wav"), frames, true), Loaded(dir.Wide("ref.irx"), frames, false));
  WCHAR name[kImpulseNameUnits];
  bool isSelf = true;
  EXPECT_EQ(static_cast<int>((dir / "src.wav").size()),
            GetImpulseSourceName(dir.Wide("ref.irx"), name, kImpulseNameUnits, &isSelf));
  EXPECT_TRUE(!isSelf && WString(name) == Wide(dir / "src.wav"));
  WCHAR text[64];  // the attributes are the wave file's, not the stale header's
  EXPECT_EQ(35u, GetImpulseInfoText(dir.Wide("ref.irx"), text, 64));
  EXPECT_EQ(NXW("44,100 Hz, 2 Channels, 0.06 Seconds"), WString(text));

  ASSERT_EQ(0, EmbedReferencedImpulse(dir.Wide("ref.irx")));
  EXPECT_EQ(2, std::distance(std::filesystem::directory_iterator(dir.path()), {}));  // no temporary
  EXPECT_EQ(0, GetImpulseSourceName(dir.Wide("ref.irx"), name, kImpulseNameUnits, &isSelf));
  EXPECT_EQ(Loaded(dir.Wide("src.wav"), frames, true), Loaded(dir.Wide("ref.irx"), frames, false));
  const Bytes embedded = dir.Read("ref.irx");
  EXPECT_EQ(kListChunkId, GetLe(embedded, 20 + 40 + frames * 6));

  // Nothing to do, or nothing that can be done; no file changes.
  dir.Write("lost.irx", IrxFile(stale, {}, dir / "gone.wav"));
  for (const char* file : {"ref.irx", "src.wav"})
    EXPECT_EQ(0, EmbedReferencedImpulse(dir.Wide(file)));
  for (const char* file : {"missing.irx", "lost.irx"}) {
    EXPECT_EQ(-1, EmbedReferencedImpulse(dir.Wide(file))) << file;
  }
  EXPECT_EQ(embedded, dir.Read("ref.irx"));
  EXPECT_EQ(IrxFile(stale, {}, dir / "gone.wav"), dir.Read("lost.irx"));
  float sample[4];
  EXPECT_EQ(-1, LoadImpulse(dir.Wide("lost.irx"), sample, nullptr, 4, 0));
}

TEST(ImpulseFiles, ReferenceNamesAreAnsiCutToTheNameLimit) {
  TempFolder dir;
  const std::string longName(300, 'n');
  dir.Write("ref.irx", IrxFile({}, {}, longName));
  WCHAR name[kImpulseNameUnits];
  EXPECT_EQ(259, GetImpulseSourceName(dir.Wide("ref.irx"), name, kImpulseNameUnits, nullptr));
  EXPECT_EQ(Wide(longName.substr(0, 259)), WString(name));
  EXPECT_EQ(7, GetImpulseSourceName(dir.Wide("ref.irx"), name, 8, nullptr));
  dir.Write("short.irx", IrxFile({}, {}, "caf\xE9.wav"));  // Windows-1252: 0xE9 is U+00E9
  EXPECT_EQ(8, GetImpulseSourceName(dir.Wide("short.irx"), name, kImpulseNameUnits, nullptr));
  EXPECT_EQ(NXW("caf\u00e9.wav"), WString(name));
}

TEST(ImpulseInfoText, FormatsRateChannelsAndSeconds) {
  const struct {
    DWORD rate, channels, width, dataBytes;
    const char* text;
  } cases[] = {
      {44100, 2, 2, 66150 * 4, "44,100 Hz, 2 Channels, 1.50 Seconds"},
      {8000, 1, 3, 12000 * 3 + 2, "8,000 Hz, 1 Channels, 1.50 Seconds"},
      {8000, 1, 2, 0xFFFFFFFE, "8,000 Hz, 1 Channels, 268435.45 Seconds"},  // frames * 100 > 2^32
      {0, 2, 2, 400, ""},
  };
  for (const auto& c : cases) {
    const ImpulseInfo info = {36, 100, c.channels, c.width, c.dataBytes, c.rate, {}};
    WCHAR text[64], small[10];
    EXPECT_EQ(std::strlen(c.text), FormatImpulseInfoText(info, text, 64));
    EXPECT_EQ(Wide(c.text), WString(text));
    EXPECT_EQ(0u, FormatImpulseInfoText(info, small, 10));  // never shown cut
    EXPECT_EQ(0, small[0]);
  }
  WCHAR text[64] = {'x', 0};
  EXPECT_EQ(0u, GetImpulseInfoText(NXW("/no/such/file.irx"), text, 64));
  EXPECT_EQ(0, text[0]);
}

}  // namespace
