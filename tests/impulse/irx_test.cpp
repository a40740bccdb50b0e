// The impulse file format on memory files: scrambling, display chunks, the header reader against
// hostile files, embedded samples across blocks, and the writer from every kind of wave file.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "impulse/display_list.h"
#include "impulse/impulse_loader.h"
#include "impulse/irx_file.h"
#include "impulse/irx_scramble.h"
#include "impulse/summary.h"
#include "impulse/wave_loader.h"
#include "irx_test_util.h"

using namespace irxtest;

namespace {

std::string HexOf(const BYTE* bytes, size_t count) {
  std::string text;
  char two[3];
  for (size_t i = 0; i < count; ++i) {
    std::snprintf(two, sizeof two, "%02x", bytes[i]);
    text += two;
  }
  return text;
}

Bytes Counting(size_t count) {
  Bytes bytes(count);
  for (size_t i = 0; i < count; ++i) bytes[i] = static_cast<BYTE>(i * 31 + 7);
  return bytes;
}

// Stored bytes of `count` samples of TestValue in the encoding `width`.
Bytes Encoded(size_t count, DWORD width) {
  Bytes out;
  for (size_t i = 0; i < count; ++i) {
    const float value = TestValue(i);
    if (width == 2) {
      Put16(&out, static_cast<DWORD>(static_cast<int>(value)));
    } else if (width == 3) {
      const DWORD v = static_cast<DWORD>(static_cast<int>(value) * 256 + 255 * (i % 2));
      out.insert(out.end(), {static_cast<BYTE>(v), static_cast<BYTE>(v >> 8),
                             static_cast<BYTE>(v >> 16)});
    } else {
      const float x = value / 32768.0f;
      DWORD bits = 0;
      std::memcpy(&bits, &x, 4);
      Put32(&out, bits);
    }
  }
  return out;
}

float Expected(size_t i, DWORD width) {
  return width == 3 ? TestValue(i) + (i % 2 ? 255.0f / 256.0f : 0.0f) : TestValue(i);
}

}  // namespace

// --- Scrambling ---------------------------------------------------------------------------

TEST(IrxScramble, KnownBlockPinsKeyAndTables) {
  // 100 bytes reach one front and one back group, so every key byte and table entry shows.
  Bytes block = Counting(100);
  ScrambleImpulseBlock(block.data(), 100, kIrxScramble);
  EXPECT_EQ(HexOf(block.data(), block.size()), "4ff8dd8e3282eb17e2b10411050af04b88a91f415ce2f38491a3ce4ab4a33ebdecec30cd2bd305829720a2d6"
            "3b5ab3c6caf02c822de27d234b51483964f9cb93b9eae622316cabd5db34e8307364ddda56084a4353a3b8"
            "ee13c8d44155da0c1bd8d4a011");
}

TEST(IrxScramble, EverySizeRoundTripsAndSmallBlocksOnlyXor) {
  const Bytes original = Counting(kIrxBlockBytes);
  Bytes zeros(kIrxBlockBytes, 0);
  ScrambleImpulseBlock(zeros.data(), kIrxBlockBytes, kIrxScramble);
  for (DWORD n = 1; n <= kIrxBlockBytes; ++n) {
    Bytes block(original.begin(), original.begin() + n);
    ScrambleImpulseBlock(block.data(), n, kIrxScramble);
    ASSERT_NE(0, std::memcmp(block.data(), original.data(), n)) << n;
    // Below 33 bytes nothing moves: the result is the data XOR the scrambled zeros (the key).
    if (n < 33) {
      for (DWORD i = 0; i < n; ++i) ASSERT_EQ(block[i], original[i] ^ zeros[i]) << n << " " << i;
    }
    ScrambleImpulseBlock(block.data(), n, kIrxUnscramble);
    ASSERT_EQ(0, std::memcmp(block.data(), original.data(), n)) << n;
  }
}

TEST(IrxScramble, KeyRestartsInEveryBlockOfAFile) {
  // Two identical blocks of samples scramble identically, so the second block's key starts anew.
  const Bytes samples = Encoded(kIrxBlockBytes, 2);  // two blocks of 8192 bytes
  Bytes twice(samples.begin(), samples.begin() + kIrxBlockBytes);
  twice.insert(twice.end(), samples.begin(), samples.begin() + kIrxBlockBytes);
  const Bytes file = IrxFile({}, twice);
  const size_t data = 12 + 8 + 40;
  EXPECT_TRUE(std::equal(file.begin() + data, file.begin() + data + kIrxBlockBytes,
                         file.begin() + data + kIrxBlockBytes));
}

// --- Display list ---------------------------------------------------------------------------

TEST(IrxDisplayList, SavesAndLoadsTextAndBitmapSkippingOthers) {
  NxDisplayList list = {};
  ASSERT_EQ(NX_OK, displist_Create(&list, kImpulseDisplayFormats, 2));
  const Bytes text{'H', 'a', 'l', 'l', 0};  // odd: padded
  const Bytes bitmap(41, 0xB5);
  ASSERT_EQ(NX_OK, displist_SetItem(&list, kDisplayFormatBitmap, bitmap.data(), 41));
  ASSERT_EQ(NX_OK, displist_SetItem(&list, kDisplayFormatText, text.data(), 5));
  EXPECT_EQ(NX_E_NOTFOUND, displist_SetItem(&list, 2, text.data(), 5));
  NxFileHandle file = Mem(RiffFile("WAVE", DisplayChunk(3, {1, 2, 3})));
  file->Seek(0, NxSeekOrigin::End, nullptr);
  DWORD written = 0;
  ASSERT_EQ(NX_OK, displist_Save(file, &list, &written));
  EXPECT_EQ(DWORD{(8 + 10) + (8 + 46)}, written);
  ASSERT_EQ(NX_OK, riff_UpdateRIFFSize(file, written));

  NxDisplayList loaded = {};
  ASSERT_EQ(NX_OK, displist_Create(&loaded, kImpulseDisplayFormats, 2));
  ASSERT_EQ(NX_OK, displist_Load(file, &loaded));
  const NxDisplayItem* t = displist_GetItem(&loaded, kDisplayFormatText);
  const NxDisplayItem* b = displist_GetItem(&loaded, kDisplayFormatBitmap);
  ASSERT_TRUE(t != nullptr && b != nullptr);
  EXPECT_EQ(text, Bytes(t->data, t->data + t->size));
  EXPECT_EQ(bitmap, Bytes(b->data, b->data + b->size));
  // Text is written before bitmap, in list order, whatever order the items were set in.
  const Bytes& bytes = static_cast<NxMemoryFile*>(file)->Bytes();
  EXPECT_EQ(kDisplayFormatText, Get32(bytes, 12 + 16 + 8));
  NxCloseFile(file);
  displist_Free(&list);
  displist_Free(&loaded);
}

TEST(IrxDisplayList, HostileChunks) {
  const Bytes text{'T', 0};
  const Bytes good = DisplayChunk(kDisplayFormatText, text);
  struct Case {
    const char* what;
    Bytes file;
    NXSTATUS status;
    bool hasText;
  } cases[] = {
      {"not RIFF", Bytes{'R', 'I', 'F', 'X', 4, 0, 0, 0, 'W', 'A', 'V', 'E'}, NX_E_NOTRIFF, false},
      {"too small for a format", RiffFile("WAVE", ChunkBytes("DISP", {1, 0}) + good), NX_OK, true},
      {"past the RIFF size",
       [&] {
         Bytes f = RiffFile("WAVE", good + ChunkBytes("DISP", Bytes(8, 1), 0x7FFFFFF0));
         return f;
       }(),
       NX_OK, true},
      {"item past the file",
       [&] {
         Bytes f = RiffFile("WAVE", good + DisplayChunk(8, Bytes(20, 1)));
         f.resize(f.size() - 10);
         Bytes size;
         Put32(&size, static_cast<DWORD>(f.size() + 10 - 8));
         std::copy(size.begin(), size.end(), f.begin() + 4);
         return f;
       }(),
       NX_E_READ, true},
      {"RIFF size past the file", [&] {
         Bytes f = RiffFile("WAVE", good);
         f[6] = 0x10;
         return f;
       }(), NX_OK, true},
  };
  for (const Case& c : cases) {
    NxDisplayList list = {};
    displist_Create(&list, kImpulseDisplayFormats, 2);
    NxFileHandle file = Mem(c.file);
    EXPECT_EQ(c.status, displist_Load(file, &list)) << c.what;
    EXPECT_EQ(c.hasText ? 2u : 0u, displist_GetItem(&list, kDisplayFormatText)->size) << c.what;
    NxCloseFile(file);
    displist_Free(&list);
  }
}

// --- Reading: header, hostile files ---------------------------------------------------------

TEST(IrxRead, HeaderFieldsDecideTheResult) {
  const Bytes samples = Encoded(100, 2);
  auto with = [](auto change) {
    IrxFields f;
    change(f);
    return f;
  };
  struct Case {
    const char* what;
    Bytes file;
    int code;
  } cases[] = {
      {"sound", IrxFile({}, samples), 0},
      {"headerSize 40 is skipped", IrxFile(with([](IrxFields& f) { f.headerSize = 40; }), samples), 0},
      {"version 101", IrxFile(with([](IrxFields& f) { f.version = 101; }), samples), -1},
      {"version 0", IrxFile(with([](IrxFields& f) { f.version = 0; }), samples), -1},
      {"headerSize 35", IrxFile(with([](IrxFields& f) { f.headerSize = 35; }), samples), -1},
      {"headerSize past the chunk",
       IrxFile(with([](IrxFields& f) { f.headerSize = 0xFFFFFFF0; }), samples), -1},
      {"headerSize eats the name length",
       IrxFile(with([](IrxFields& f) { f.headerSize = 36 + 4 + 200; }), samples), -12},
      {"channels 0", IrxFile(with([](IrxFields& f) { f.channels = 0; }), samples), -1},
      {"bytesPerSample 1", IrxFile(with([](IrxFields& f) { f.bytesPerSample = 1; }), samples), -1},
      {"bytesPerSample 5", IrxFile(with([](IrxFields& f) { f.bytesPerSample = 5; }), samples), -1},
      {"bytesPerSample 8 embedded",
       IrxFile(with([](IrxFields& f) { f.bytesPerSample = 8; }), samples), -1},
      {"dataBytes past the file",
       IrxFile(with([](IrxFields& f) { f.dataBytes = 0x7FFFFFFF; }), samples), -12},
      {"dataBytes past the chunk",
       IrxFile(with([](IrxFields& f) {
                 f.dataBytes = 300;
                 f.chunkSize = 40 + 200;
               }),
               samples),
       -12},
      {"name past the file",
       IrxFile(with([](IrxFields& f) { f.nameLength = 0xFFFFFFFE; }), {}, "C:\\a.wav"), -12},
      {"name 1 byte past the chunk", IrxFile(with([](IrxFields& f) { f.nameLength = 10; }), {},
                                             "C:\\a.wav"), -12},
      {"chunk too small for the header",
       IrxFile(with([](IrxFields& f) { f.chunkSize = 30; }), samples), -1},
      {"form WAVE", WaveFile(1, 1, 8000, 16, Bytes(4, 0)), -1},
      {"fmt chunk missing", RiffFile("IRXP", ChunkBytes("data", samples)), -1},
  };
  for (const Case& c : cases) {
    NxFileHandle file = Mem(c.file);
    IrxLayout layout;
    EXPECT_EQ(c.code, irx_ReadLayout(file, &layout)) << c.what;
    NxCloseFile(file);
    std::vector<float> main(100, -1);
    const int loaded = LoadImpulseFile(Mem(c.file), main.data(), nullptr, 100, 0);
    if (c.code == 0) {
      EXPECT_EQ(100, loaded) << c.what;
      EXPECT_EQ(TestValue(99), main[99]) << c.what;
    } else if (std::string(c.what) != "form WAVE") {
      EXPECT_EQ(c.code, loaded) << c.what;
    }
    ImpulseInfo info;
    bool wave = false;
    const bool described = GetImpulseInfoFile(Mem(c.file), &info, &wave);
    if (!wave) {
      EXPECT_EQ(c.code == 0, described) << c.what;
    }
  }
}

TEST(IrxRead, EveryPrefixOfAFileFailsCleanly) {
  const Bytes after = InfoList({{"INAM", "Hall"}}) + DisplayChunk(1, {'x', 0});
  IrxFields reference;
  reference.dataBytes = 4000;
  const Bytes files[] = {IrxFile({}, Encoded(9, 2), "", after),
                         IrxFile(reference, {}, "C:\\Impulses\\hall.wav", after)};
  for (const Bytes& whole : files) {
    // Everything up to the end of the "fmt " payload is needed; its pad byte is not.
    const size_t needed = 20 + Get32(whole, 16);
    for (size_t n = 0; n <= whole.size(); ++n) {
      const Bytes prefix(whole.begin(), whole.begin() + n);
      ImpulseInfo info;
      float samples[16];
      WCHAR name[kImpulseNameUnits];
      const bool described = GetImpulseInfoFile(Mem(prefix), &info, nullptr);
      const int loaded = LoadImpulseFile(Mem(prefix), samples, samples, 16, 0);
      const int named = GetImpulseSourceNameFile(Mem(prefix), NXW("self.irx"), name,
                                                 kImpulseNameUnits, nullptr);
      NxFileHandle file = Mem(prefix);
      BYTE raw[64];
      const DWORD rawBytes = irx_ReadRawData(file, raw, sizeof raw);
      NxCloseFile(file);
      if (n < needed) {
        ASSERT_FALSE(described) << n;
        ASSERT_TRUE(loaded == -1 || loaded == -12) << n << " " << loaded;
        ASSERT_TRUE(named == -1 || named == -12) << n << " " << named;
        ASSERT_EQ(0u, rawBytes) << n;
      } else {
        ASSERT_TRUE(described) << n;
        const bool embedded = Get32(whole, 56) == 0;
        ASSERT_EQ(embedded ? 0 : 20, named) << n;
        ASSERT_EQ(embedded ? 18u : 0u, rawBytes) << n;
        if (embedded) {
          ASSERT_EQ(9, loaded) << n;
        }
      }
    }
  }
}

// --- Reading: embedded samples --------------------------------------------------------------

TEST(IrxRead, FramesStraddlingBlocksLoadWhole) {
  struct Case {
    DWORD width;
    DWORD channels;
    DWORD channel;
  } cases[] = {{3, 1, 0}, {3, 2, 0}, {3, 2, 1}, {2, 3, 0}, {2, 3, 2}, {4, 2, 1},
               {2, 1, 0}, {4, 5, 3}, {3, 3, 7}};
  for (const Case& c : cases) {
    const size_t frames = 5 * kIrxBlockBytes / (c.width * c.channels) + 3;
    const size_t count = frames * c.channels;
    IrxFields f;
    f.channels = c.channels;
    f.bytesPerSample = c.width;
    const Bytes file = IrxFile(f, Encoded(count, c.width) + Bytes(c.width - 1, 0x5A));
    std::vector<float> main(frames + 1, -1), second(frames + 1, -1);
    ASSERT_EQ(static_cast<int>(frames),
              LoadImpulseFile(Mem(file), main.data(), second.data(), 0x7FFFFFFF, c.channel));
    const DWORD chosen = std::min(c.channel, c.channels - 1);
    // The other channel whose sample comes last in a frame stays in `second`.
    const DWORD other = c.channels == 1 ? 0 : (chosen == c.channels - 1 ? c.channels - 2 : c.channels - 1);
    for (size_t i = 0; i < frames; ++i) {
      ASSERT_EQ(Expected(i * c.channels + chosen, c.width), main[i]) << c.width << "/" << i;
      const float second_expected = c.channels == 1 ? -1 : Expected(i * c.channels + other, c.width);
      ASSERT_EQ(second_expected, second[i]) << c.width << "/" << i;
    }
    EXPECT_EQ(-1, main[frames]);  // the partial frame behind the last is not delivered
    // A maximum below the frame count delivers exactly the maximum.
    std::fill(main.begin(), main.end(), -1);
    EXPECT_EQ(1000, LoadImpulseFile(Mem(file), main.data(), nullptr, 1000, c.channel));
    EXPECT_EQ(-1, main[1000]);
  }
}

TEST(IrxRead, FloatSamplesClampRoundAndScale) {
  // On the 32-bit scale 2.5 and 3.5 are ties: they round to the even 2 and 4.
  const float values[] = {1.0f, -1.0f, 2.5f, -7.0f, 0.5f, 1.0f / 65536, 2.5f / 2147483648.0f,
                          3.5f / 2147483648.0f, NAN};
  const float expected[] = {32768.0f, -32768.0f, 32768.0f, -32768.0f, 16384.0f, 0.5f,
                            2.0f / 65536, 4.0f / 65536, 0.0f};
  Bytes stored;
  for (float v : values) {
    DWORD bits = 0;
    std::memcpy(&bits, &v, 4);
    Put32(&stored, bits);
  }
  IrxFields f;
  f.bytesPerSample = 4;
  float main[9];
  ASSERT_EQ(9, LoadImpulseFile(Mem(IrxFile(f, stored)), main, nullptr, 9, 0));
  for (int i = 0; i < 9; ++i) EXPECT_EQ(expected[i], main[i]) << i;
}

TEST(IrxRead, RawDataUnscramblesWholeBlocksForAnyCapacity) {
  const Bytes samples = Counting(2 * kIrxBlockBytes + 777);
  const Bytes file = IrxFile({}, samples);
  for (DWORD capacity : {0u, 1u, 100u, kIrxBlockBytes - 1, kIrxBlockBytes + 5, 3 * kIrxBlockBytes}) {
    Bytes raw(capacity + 1, 0xEE);
    NxFileHandle handle = Mem(file);
    const DWORD got = irx_ReadRawData(handle, raw.data(), capacity);
    NxCloseFile(handle);
    const DWORD expected = std::min<DWORD>(capacity, static_cast<DWORD>(samples.size()));
    ASSERT_EQ(expected, got) << capacity;
    EXPECT_TRUE(std::equal(raw.begin(), raw.begin() + got, samples.begin())) << capacity;
    EXPECT_EQ(0xEE, raw[got]) << capacity;
  }
  NxFileHandle reference = Mem(IrxFile({}, {}, "C:\\a.wav"));
  BYTE raw[8];
  EXPECT_EQ(0u, irx_ReadRawData(reference, raw, 8));
  NxCloseFile(reference);
}

// --- Writing ------------------------------------------------------------------------------

namespace {

// Sample bytes of `count` samples of width `bits` for a wave file: floats within ±1.25 (so that
// clamping shows), integers from a scrambled counter.
Bytes WaveSamples(size_t count, WORD tag, WORD bits, WORD subFormat) {
  const bool isFloat = tag == 3 || (tag == 0xFFFE && subFormat == 3);
  Bytes out;
  for (size_t i = 0; i < count; ++i) {
    const DWORD r = static_cast<DWORD>(i * 2654435761u + 12345);
    if (isFloat) {
      const double x = (static_cast<double>(r % 200001) - 100000) / 80000.0;
      if (bits == 64) {
        ULONGLONG b = 0;
        std::memcpy(&b, &x, 8);
        Put32(&out, static_cast<DWORD>(b));
        Put32(&out, static_cast<DWORD>(b >> 32));
      } else {
        const float f = static_cast<float>(x);
        DWORD b = 0;
        std::memcpy(&b, &f, 4);
        Put32(&out, b);
      }
    } else {
      for (int k = 0; k < bits / 8; ++k) out.push_back(static_cast<BYTE>(r >> (8 * k)));
    }
  }
  return out;
}

// Writes an impulse file from `wave` into memory; the code, and the file's bytes.
int WriteFromWave(const Bytes& wave, Bytes* irx, ULONGLONG sizeLimit = 0) {
  WaveReader reader = {};
  const int opened = WaveReader_OpenFile(Mem(wave), &reader);
  if (opened != 0) return opened;
  NxMemoryFile* out = NxCreateMemoryFile(nullptr, 0, NxMemoryAccess::ReadWrite);
  if (sizeLimit != 0) out->SetSizeLimit(sizeLimit);
  const int result = irx_WriteEmbedded(out, &reader);
  *irx = out->Bytes();
  NxCloseFile(out);
  WaveReader_Close(&reader);
  return result;
}

}  // namespace

TEST(IrxWrite, EveryWaveFormatLoadsBackAsTheWaveLoaderDelivers) {
  struct Case {
    WORD tag;
    WORD bits;
    WORD channels;
    WORD subFormat;
    DWORD storedWidth;
  } cases[] = {
      {1, 8, 1, 0, 2},      {1, 16, 2, 0, 2},     {1, 16, 3, 0, 2},      {1, 24, 1, 0, 3},
      {1, 24, 2, 0, 3},     {1, 32, 2, 0, 4},     {3, 32, 2, 0, 4},      {3, 64, 1, 0, 4},
      {3, 64, 2, 0, 4},     {0xFFFE, 24, 2, 1, 3}, {0xFFFE, 32, 1, 1, 4}, {0xFFFE, 32, 2, 3, 4},
      {0xFFFE, 16, 1, 1, 2}, {7, 8, 1, 0, 2},      {6, 8, 2, 0, 2},
  };
  for (const Case& c : cases) {
    const std::string what = std::to_string(c.tag) + "/" + std::to_string(c.bits) + "/" +
                              std::to_string(c.channels);
    const DWORD frames = 3 * kIrxBlockBytes / (c.bits / 8) / c.channels + 7;
    const Bytes wave = WaveFile(c.tag, c.channels, 22050, c.bits,
                                WaveSamples(size_t{frames} * c.channels, c.tag, c.bits, c.subFormat),
                                {}, {}, c.subFormat);
    Bytes irx;
    ASSERT_EQ(0, WriteFromWave(wave, &irx)) << what;
    IrxLayout layout;
    NxFileHandle file = Mem(irx);
    ASSERT_EQ(0, irx_ReadLayout(file, &layout)) << what;
    NxCloseFile(file);
    EXPECT_EQ(c.storedWidth, layout.info.bytesPerSample) << what;
    EXPECT_EQ(frames * c.channels * c.storedWidth, layout.info.dataBytes) << what;
    EXPECT_EQ(22050u, layout.info.sampleRate) << what;
    for (DWORD channel = 0; channel < c.channels; ++channel) {
      std::vector<float> fromIrx(frames), fromWave(frames);
      ASSERT_EQ(static_cast<int>(frames),
                LoadImpulseFile(Mem(irx), fromIrx.data(), nullptr, frames, channel)) << what;
      ASSERT_EQ(static_cast<int>(frames),
                LoadWaveImpulseFile(Mem(wave), fromWave.data(), nullptr, frames, channel))
          << what;
      // Doubles pass through one float rounding: 2^-24 of the value on the 32-bit scale.
      const bool viaFloat = c.bits == 64;
      for (DWORD i = 0; i < frames; ++i) {
        if (viaFloat) {
          ASSERT_NEAR(fromWave[i], fromIrx[i], 1e-4 + std::fabs(fromWave[i]) * 2.4e-7) << what;
        } else {
          ASSERT_EQ(fromWave[i], fromIrx[i]) << what << " frame " << i;
        }
      }
    }
  }
}

TEST(IrxWrite, PadByteAndSummaryPlacement) {
  const Bytes bitmap(11, 0xD1);
  const Bytes display = DisplayChunk(8, bitmap) + DisplayChunk(1, {'o', 'l', 'd', 0});
  const Bytes info = InfoList({{"INAM", "Great Hall"}, {"DISP", "Shown"}});
  const Bytes infoNoText = InfoList({{"ICMT", "x"}});
  const Bytes samples = WaveSamples(5, 1, 24, 0);  // 15 bytes: odd payload
  struct Case {
    const char* what;
    Bytes before, after;
    bool list;     // a summary is written behind the "fmt " chunk
    bool picture;  // the bitmap item is copied
    const char* text;
  } cases[] = {
      {"no summary", {}, {}, false, false, nullptr},
      {"summary before the data", info + display, {}, false, false, nullptr},
      {"summary after the data", {}, info + display, true, true, "Shown"},
      {"display chunks before, summary after", display, infoNoText, true, true, nullptr},
      {"empty INFO list", {}, ChunkBytes("LIST", {'I', 'N', 'F', 'O'}) + display, false, true,
       nullptr},
  };
  for (const Case& c : cases) {
    Bytes irx;
    ASSERT_EQ(0, WriteFromWave(WaveFile(1, 1, 48000, 24, samples, c.before, c.after), &irx))
        << c.what;
    EXPECT_EQ(55u, Get32(irx, 16)) << c.what;  // 36 + 4 + 15, the pad byte not counted
    EXPECT_EQ(0, irx[20 + 55]) << c.what;
    EXPECT_EQ(irx.size() - 8, Get32(irx, 4)) << c.what;
    if (!c.list && !c.picture) {
      EXPECT_EQ(20u + 56u, irx.size()) << c.what;
      continue;
    }
    ASSERT_GT(irx.size(), 20u + 56u) << c.what;
    EXPECT_EQ(c.list ? NxFourCC('L', 'I', 'S', 'T') : kDisplayChunkId, Get32(irx, 76)) << c.what;
    NxFileHandle file = Mem(irx);
    NxDisplayList list = {};
    displist_Create(&list, kImpulseDisplayFormats, 2);
    ASSERT_EQ(NX_OK, displist_Load(file, &list)) << c.what;
    const NxDisplayItem* text = displist_GetItem(&list, kDisplayFormatText);
    const NxDisplayItem* picture = displist_GetItem(&list, kDisplayFormatBitmap);
    if (c.text != nullptr) {
      EXPECT_EQ(std::string(c.text) + '\0', std::string(text->data, text->data + text->size));
    } else {
      EXPECT_EQ(0u, text->size) << c.what;
    }
    EXPECT_EQ(c.picture ? bitmap : Bytes(), Bytes(picture->data, picture->data + picture->size))
        << c.what;
    displist_Free(&list);
    WCHAR texts[1][kNxSummaryDisplayChars];
    const DWORD ids[1] = {kInfoTitle};
    NxSummary_ReadDisplayTexts(file, ids, 1, texts);
    EXPECT_EQ(std::u16string(c.text != nullptr ? u"Great Hall" : u""),
              std::u16string(reinterpret_cast<const char16_t*>(texts[0]))) << c.what;
    NxCloseFile(file);
  }
}

TEST(IrxWrite, FullDestinationIsAWriteFailure) {
  const Bytes wave = WaveFile(1, 2, 8000, 16, WaveSamples(40000, 1, 16, 0), {},
                              InfoList({{"INAM", "x"}}));
  Bytes irx;
  for (ULONGLONG limit : {10ull, 60ull, 9000ull, 60ull + 80000ull + 4}) {
    EXPECT_EQ(-17, WriteFromWave(wave, &irx, limit)) << limit;
  }
  EXPECT_EQ(0, WriteFromWave(wave, &irx, 60 + 80000 + 26));
}
