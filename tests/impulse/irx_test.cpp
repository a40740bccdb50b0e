// The impulse file format on memory files: scrambling, display chunks, the header reader against
// hostile files, embedded samples across blocks, and the writer from every kind of wave file.

#include <cmath>
#include <cstring>

#include "impulse/display_list.h"
#include "impulse/impulse_loader.h"
#include "impulse/wave_loader.h"
#include "tests/impulse/impulse_test_util.h"

namespace {

Bytes Counting(size_t count) {
  Bytes bytes(count);
  for (size_t i = 0; i < count; ++i) bytes[i] = static_cast<BYTE>(i * 31 + 7);
  return bytes;
}

// Values on the 16-bit scale that 16, 24-bit and float encodings hold exactly.
float TestValue(size_t i) {
  return static_cast<float>(static_cast<int>((i * 7919 + 13) % 65535) - 32767);
}

// `count` samples of TestValue stored in `width` bytes; 24-bit odd samples carry a fraction.
Bytes Encoded(size_t count, DWORD width) {
  Bytes out;
  for (size_t i = 0; i < count; ++i) {
    const float x = TestValue(i) / 32768.0f;
    DWORD bits = static_cast<DWORD>(static_cast<int>(TestValue(i)) * (width == 3 ? 256 : 1));
    if (width == 3) bits += 255 * (i % 2);
    if (width == 4) std::memcpy(&bits, &x, 4);
    out += Le({bits}, static_cast<int>(width));
  }
  return out;
}
float Expected(size_t i, DWORD width) {
  return TestValue(i) + (width == 3 && i % 2 ? 255.0f / 256.0f : 0.0f);
}

// Writes an impulse file from `wave` into memory.
int WriteFromWave(const Bytes& wave, Bytes* irx, ULONGLONG sizeLimit = 0) {
  WaveReader reader = {};
  const int opened = WaveReader_OpenFile(Mem(wave), &reader);
  if (opened != 0) return opened;
  MemFile out(Bytes{});
  if (sizeLimit != 0) out->SetSizeLimit(sizeLimit);
  const int result = irx_WriteEmbedded(out, &reader);
  *irx = out->Bytes();
  WaveReader_Close(&reader);
  return result;
}

}  // namespace

TEST(IrxScramble, KnownBlocksPinKeyTablesAndGroupBound) {
  // Both blocks reach one front and one back group, so every key byte and table entry shows; in 130
  // bytes a second pair of groups would meet at the middle and must not be exchanged.
  const std::pair<size_t, const char*> known[] = {
      {100,
       "4ff8dd8e3282eb17e2b10411050af04b88a91f415ce2f38491a3ce4ab4a33ebdecec30cd2bd30582"
       "9720a2d63b5ab3c6caf02c822de27d234b51483964f9cb93b9eae622316cabd5db34e8307364ddda"
       "56084a4353a3b8ee13c8d44155da0c1bd8d4a011"},
      {130,
       "4ff8bb8e9482eb75e25f04ff050a524b2aa9b9415c80f35a915dce4a1aa39cbdecec30cd2bd30582"
       "9720a2d63b5ab3c6caf02c822de27d234b51483964f9cb93b9eae622314babd5b434e895730bddda"
       "ff084afe53725beeb2c8d4ba55da851b2379a0500cd192bbe1b53e336913340d9c43c00ada63aa32"
       "c7297206800a76159aa0"}};
  for (const auto& [size, hex] : known) {
    Bytes block = Counting(size);
    ScrambleImpulseBlock(block.data(), static_cast<DWORD>(size), kIrxScramble);
    std::string text;
    for (BYTE b : block) text += "0123456789abcdef"[b >> 4], text += "0123456789abcdef"[b & 15];
    EXPECT_EQ(hex, text);
  }
}

// Saving is covered by the impulse writer's cases; loading passes over a chunk too small for a
// format and one past the RIFF size, and refuses an item past the end of the file.
TEST(IrxDisplayList, HostileChunks) {
  NxDisplayList list = {};
  ASSERT_EQ(NX_OK, displist_Create(&list, kImpulseDisplayFormats, 2));
  const Bytes good = DisplayChunk(kDisplayFormatText, Z("T"));
  Bytes cut = Riff(good + DisplayChunk(kDisplayFormatBitmap, Bytes(20, 1)));
  cut.resize(cut.size() - 10);
  const struct {
    Bytes file;
    NXSTATUS status;
  } cases[] = {
      {Riff(Chunk("DISP", {1, 0}) + good + DisplayChunk(3, Bytes(6, 9))), NX_OK},
      {Riff(good + Chunk("DISP", {8, 0, 0, 0}, 99)), NX_OK},
      {cut, NX_E_READ},
  };
  for (const auto& c : cases) {
    MemFile in(c.file);
    EXPECT_EQ(c.status, displist_Load(in, &list)) << c.file.size();
    EXPECT_EQ(2u, displist_GetItem(&list, kDisplayFormatText)->size) << c.file.size();
    EXPECT_EQ(0u, displist_GetItem(&list, kDisplayFormatBitmap)->size) << c.file.size();
  }
  displist_Free(&list);
}

TEST(IrxRead, HeaderFieldsDecideTheResult) {
  const Bytes samples = Encoded(100, 2);
  const struct {
    const char* what;
    IrxFields f;
    int code;
    const char* name;
  } cases[] = {
      {"sound", {}, 0, ""},
      {"headerSize 40 is skipped", {40}, 0, ""},
      {"headerSize 35", {35}, -1, ""},
      {"headerSize past the chunk", {0xFFFFFFF0}, -1, ""},
      {"headerSize eats the name length", {240}, -12, ""},
      {"version 101", {36, 101}, -1, ""},
      {"channels 0", {36, 100, 0}, -1, ""},
      {"bytesPerSample 1", {36, 100, 1, 1}, -1, ""},
      {"bytesPerSample 8 embedded", {36, 100, 1, 8}, -1, ""},
      {"dataBytes past the file", {36, 100, 1, 2, 0x7FFFFFFF}, -12, ""},
      {"dataBytes past the chunk", {36, 100, 1, 2, 300, 44100, ~0u, 240}, -12, ""},
      {"chunk too small for the header", {36, 100, 1, 2, ~0u, 44100, ~0u, 30}, -1, ""},
      {"name past the file", {36, 100, 1, 2, 8, 44100, 0xFFFFFFFE}, -12, "C:\\a.wav"},
      {"name past the chunk", {36, 100, 1, 2, 8, 44100, 10}, -12, "C:\\a.wav"},
      {"reference", {36, 100, 1, 2, 8}, 0, "C:\\a.wav"},
  };
  for (const auto& c : cases) {
    const Bytes file = IrxFile(c.f, samples, c.name);
    IrxLayout layout;
    EXPECT_EQ(c.code, irx_ReadLayout(MemFile(file), &layout)) << c.what;
    ImpulseInfo info;
    EXPECT_EQ(c.code == 0, GetImpulseInfoFile(Mem(file), &info, nullptr)) << c.what;
    std::vector<float> main(101, -1);
    const int loaded = LoadImpulseFile(Mem(file), main.data(), nullptr, 101, 0);
    EXPECT_EQ(c.code == 0 ? (*c.name ? -1 : 100) : c.code, loaded) << c.what;
    EXPECT_EQ(c.code == 0 && !*c.name ? TestValue(99) : -1, main[99]) << c.what;
  }
  EXPECT_EQ(-1, irx_ReadLayout(nullptr, nullptr));
}

TEST(IrxRead, FramesStraddlingBlocksLoadWhole) {
  const struct {
    DWORD width, channels, channel;
  } cases[] = {{3, 1, 0}, {3, 2, 0}, {3, 2, 1}, {2, 3, 0},
               {2, 3, 2}, {4, 2, 1}, {4, 5, 3}, {3, 3, 7}, {2, 2, 2}};
  for (const auto& c : cases) {
    const size_t frames = 5 * kIrxBlockBytes / (c.width * c.channels) + 3;
    // A frame short of one byte follows the last whole one.
    const Bytes file =
        IrxFile({36, 100, c.channels, c.width},
                Encoded(frames * c.channels, c.width) + Bytes(c.width * c.channels - 1, 0x5A));
    std::vector<float> main(frames + 1, -1), second(frames + 1, -1);
    ASSERT_EQ(static_cast<int>(frames),
              LoadImpulseFile(Mem(file), main.data(), second.data(), 0x7FFFFFFF, c.channel));
    const DWORD chosen = std::min(c.channel, c.channels - 1);
    // The other channel whose sample comes last in a frame stays in `second`.
    const DWORD other = chosen == c.channels - 1 ? c.channels - 2 : c.channels - 1;
    for (size_t i = 0; i < frames; ++i) {
      ASSERT_EQ(Expected(i * c.channels + chosen, c.width), main[i]) << c.width << "/" << i;
      ASSERT_EQ(c.channels == 1 ? -1 : Expected(i * c.channels + other, c.width), second[i]);
    }
    EXPECT_EQ(-1, main[frames]);
    // A maximum below the frame count delivers exactly the maximum.
    EXPECT_EQ(1000, LoadImpulseFile(Mem(file), main.data(), nullptr, 1000, c.channel));
  }
}

TEST(IrxRead, FloatSamplesRoundAndScaleUnclipped) {
  // On the 32-bit scale 2.5 and 3.5 are ties: they round to the even 2 and 4. Samples past full
  // scale keep their level: the impulse is normalised after loading.
  const float values[] = {
      1.0f, -1.0f, 2.5f, -7.0f, 1.0f / 65536, 2.5f / 2147483648.0f, 3.5f / 2147483648.0f, NAN};
  const float expected[] = {32768, -32768, 81920, -229376, 0.5f, 2.0f / 65536, 4.0f / 65536, 0};
  Bytes stored(sizeof values);
  std::memcpy(stored.data(), values, sizeof values);
  float main[8];
  ASSERT_EQ(8, LoadImpulseFile(Mem(IrxFile({36, 100, 1, 4}, stored)), main, nullptr, 8, 0));
  for (int i = 0; i < 8; ++i) EXPECT_EQ(expected[i], main[i]) << i;
}

TEST(IrxWrite, EveryWaveFormatLoadsBackAsTheWaveLoaderDelivers) {
  const struct {
    WORD tag, bits, channels, subFormat;
    DWORD storedWidth;
  } cases[] = {
      {1, 8, 1, 0, 2},  {1, 16, 3, 0, 2},      {1, 24, 2, 0, 3},      {1, 32, 2, 0, 4},
      {3, 32, 2, 0, 4}, {3, 64, 2, 0, 4},      {0xFFFE, 24, 2, 1, 3}, {0xFFFE, 32, 2, 3, 4},
      {7, 8, 1, 0, 2},  {6, 8, 2, 0, 2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.tag) + "/" + std::to_string(c.bits) + "/" +
                 std::to_string(c.channels));
    const DWORD frames = 3 * kIrxBlockBytes / (c.bits / 8) / c.channels + 7;
    Bytes data;  // floats within ±1.25 so that clamping shows; integers from a hash
    for (DWORD i = 0; i < frames * c.channels; ++i) {
      const DWORD r = i * 2654435761u + 12345;
      const double x = (static_cast<double>(r % 200001) - 100000) / 80000.0;
      const float f = static_cast<float>(x);
      ULONGLONG bits = r;
      if (c.tag == 3 || c.subFormat == 3) {
        std::memcpy(&bits, c.bits == 64 ? static_cast<const void*>(&x) : &f, c.bits / 8);
      }
      for (int b = 0; b < c.bits / 8; ++b) data.push_back(static_cast<BYTE>(bits >> (8 * b)));
    }
    const Bytes wave = WaveFile(c.tag, c.channels, 22050, c.bits, data, {}, {}, c.subFormat);
    Bytes irx;
    ASSERT_EQ(0, WriteFromWave(wave, &irx));
    EXPECT_TRUE(GetLe(irx, 32) == c.storedWidth &&
                GetLe(irx, 36) == frames * c.channels * c.storedWidth);
    for (DWORD channel = 0; channel < c.channels; ++channel) {
      std::vector<float> fromIrx(frames), fromWave(frames);
      ASSERT_EQ(static_cast<int>(frames),
                LoadImpulseFile(Mem(irx), fromIrx.data(), nullptr, frames, channel));
      ASSERT_EQ(static_cast<int>(frames),
                LoadWaveImpulseFile(Mem(wave), fromWave.data(), nullptr, frames, channel));
      // Doubles pass through one float rounding (2^-24 of the value) before the rounding to an
      // integer on the 32-bit scale (1/65536 on ours).
      const float tolerance = c.bits == 64 ? 2.4e-7f : 0;
      for (DWORD i = 0; i < frames; ++i) {
        ASSERT_NEAR(fromWave[i], fromIrx[i], (std::fabs(fromWave[i]) + 128) * tolerance) << i;
      }
    }
  }
  // Two equal blocks of samples are stored alike: the key restarts in every block.
  Bytes irx;
  ASSERT_EQ(0, WriteFromWave(WaveFile(1, 1, 8000, 16, Encoded(4096, 2) + Encoded(4096, 2)), &irx));
  EXPECT_TRUE(std::equal(irx.begin() + 60, irx.begin() + 60 + 8192, irx.begin() + 60 + 8192));
}

// Only a summary behind the data comes over: its INFO list, its "DISP" item as the display text in
// place of the old one, and the picture. 24-bit mono, 5 frames: an odd payload of 36 + 4 + 15
// bytes, then its pad byte.
TEST(IrxWrite, PadByteAndSummaryPlacement) {
  const Bytes picture = DisplayChunk(kDisplayFormatBitmap, Bytes(11, 0xD1));
  const Bytes display = picture + DisplayChunk(kDisplayFormatText, Z("old"));
  const Bytes info = InfoList({{"INAM", "Great Hall"}, {"DISP", "Shown"}});
  const Bytes comment = InfoList({{"ICMT", "x"}});
  const struct {
    Bytes before, after, tail;
  } cases[] = {
      {info + display, {}, {}},
      {{}, info + display, info + DisplayChunk(kDisplayFormatText, Z("Shown")) + picture},
      {display, comment, comment + picture},
      {{}, List("INFO", {}) + display, picture},
  };
  for (const auto& c : cases) {
    Bytes irx;
    ASSERT_EQ(0, WriteFromWave(WaveFile(1, 1, 48000, 24, Bytes(15, 3), c.before, c.after), &irx));
    EXPECT_TRUE(GetLe(irx, 16) == 55 && irx.at(75) == 0 && GetLe(irx, 4) == irx.size() - 8);
    EXPECT_EQ(c.tail, Bytes(irx.begin() + 76, irx.end())) << c.tail.size();
  }
}

TEST(IrxWrite, FullDestinationIsAWriteFailure) {
  const Bytes wave = WaveFile(1, 2, 8000, 16, Bytes(80000, 1), {}, InfoList({{"INAM", "x"}}));
  Bytes irx;
  for (ULONGLONG limit : {10ull, 60ull, 9000ull, 80060ull + 4}) {
    EXPECT_EQ(-17, WriteFromWave(wave, &irx, limit)) << limit;
  }
  EXPECT_EQ(0, WriteFromWave(wave, &irx, 80060 + 22));
}
