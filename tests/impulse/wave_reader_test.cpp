#include "impulse/wave_reader.h"

#include <cmath>
#include <cstring>

#include "impulse/wave_loader.h"
#include "tests/impulse/impulse_test_util.h"

namespace {

// Loads into buffers one float longer than asked, pre-set to -1, so that writes past the count
// show; returns the result followed by both buffers.
std::vector<float> Load(const Bytes& file, DWORD maxFrames, DWORD channel = 0) {
  std::vector<float> out(2 * maxFrames + 3, -1.0f);
  out[0] = static_cast<float>(
      LoadWaveImpulseFile(Mem(file), &out[1], &out[maxFrames + 2], maxFrames, channel));
  return out;
}

// Stereo 16-bit frames (100, -100), (200, -200), (300, -300).
const Bytes kStereo16 = Le({100, DWORD(-100), 200, DWORD(-200), 300, DWORD(-300)}, 2);
const Bytes kFmt16 = Fmt(1, 2, 44100, 4, 16);

Bytes WithFmt(const Bytes& fmt) { return Riff(Chunk("fmt ", fmt) + Chunk("data", kStereo16)); }
Bytes Pcm16(const Bytes& before = {}, const Bytes& after = {}) {
  return Riff(Chunk("fmt ", kFmt16) + before + Chunk("data", kStereo16) + after);
}
// A mono "fmt " of `bits` bits; `subTag` makes it extensible.
Bytes Mono(WORD tag, WORD bits, WORD subTag = 0) {
  return Fmt(tag, 1, 8000, bits / 8, bits, subTag ? ExtensibleTail(bits, subTag) : Bytes());
}
// The Ambisonic B-format SubFormat that some tools write instead of `fmt`'s.
Bytes BFormat(Bytes fmt) {
  const Bytes tail{0x21, 0x07, 0xD3, 0x11, 0x86, 0x44, 0xC8, 0xC1, 0xCA, 0, 0, 0};
  std::copy(tail.begin(), tail.end(), fmt.begin() + 28);
  return fmt;
}

// Stereo IMA ADPCM: 512-byte blocks of 505 frames, then a 300-byte tail (289 frames). Noise
// decodes like any other bytes, so the compressed paths need no tool.
Bytes ImaFile(DWORD fact, DWORD blocks = 10) {
  Bytes data(blocks * 512 + 300);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<BYTE>(i * 2654435761u >> 13);
  return Riff(Chunk("fmt ", Fmt(0x11, 2, 22050, 512, 4, Le({505}, 2))) +
              (fact != 0 ? Chunk("fact", Le({fact})) : Bytes()) + Chunk("data", data));
}
constexpr DWORD kImaFrames = 10 * 505 + 289;

TEST(WaveReader, RawSamplesAndLoadScaleByWidth) {
  // 0.5, 2, -1, 2^-31, 2^-32 (a tie, to 0), 1.5 * 2^-31 (a tie, to 2), NaN
  const Bytes f32 =
      Le({0x3F000000, 0x40000000, 0xBF800000, 0x30000000, 0x2F800000, 0x30400000, 0x7FC00000});
  const std::vector<LONG> f32Raw{1 << 30, INT32_MAX, INT32_MIN, 1, 0, 2, 0};
  // Loading keeps floats past full scale (the impulse is normalised afterwards).
  const std::vector<float> f32Loaded{16384, 65536, -32768, 1.0f / 65536, 0, 2.0f / 65536, 0};
  const Bytes s24{0x80, 0, 0x80, 0xFF, 0xFF, 0x7F};
  const std::vector<LONG> s24Raw{-8388480, 8388607};
  const std::vector<float> s24Loaded{-32767.5f, 32767.99609375f};
  const struct {
    Bytes fmt, data;
    std::vector<LONG> raw;
    std::vector<float> loaded;
  } rows[] = {
      {Mono(1, 8), {0, 128, 255}, {0, 128, 255}, {-32768, 0, 32512}},
      {Mono(1, 16), Le({0x8000, 7}, 2), {-32768, 7}, {-32768, 7}},
      {Mono(1, 24), s24, s24Raw, s24Loaded},
      {BFormat(Mono(0xFFFE, 24, 1)), s24, s24Raw, s24Loaded},
      {Mono(1, 32), Le({0x80000000, 0x8000}), {INT32_MIN, 0x8000}, {-32768, 0.5f}},
      {Mono(3, 32), f32, f32Raw, f32Loaded},
      {Mono(0xFFFE, 32, 3), f32, f32Raw, f32Loaded},
      {BFormat(Mono(0xFFFE, 32, 3)), f32, f32Raw, f32Loaded},
      {Mono(0xFFFE, 32, 1), Le({0x80000000}), {INT32_MIN}, {-32768}},
      {Mono(3, 64), Le({0, 0x3FE00000, 0, 0xC0000000}), {1 << 30, INT32_MIN}, {16384, -65536}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(GetLe(row.fmt, 12));  // block align and bits
    const Bytes file = Riff(Chunk("fmt ", row.fmt) + Chunk("data", row.data));
    WaveReader reader;
    ASSERT_EQ(0, WaveReader_OpenFile(Mem(file), &reader));
    ASSERT_EQ(row.raw.size(), reader.frames);
    Bytes buffer(reader.dataBytes);
    EXPECT_EQ(reader.dataBytes, WaveReader_Read(&reader, buffer.data(), 99, 0, true));
    std::vector<LONG> raw;
    for (DWORD i = 0; i < reader.frames; ++i) {
      raw.push_back(WaveReader_GetSample(&reader, buffer.data(), i, 0));
    }
    EXPECT_EQ(row.raw, raw);
    WaveReader_Close(&reader);
    // Writes nothing past the frames, and nothing to the second buffer of a mono file.
    std::vector<float> expected(2 * 9 + 3, -1.0f);
    expected[0] = static_cast<float>(row.loaded.size());
    std::copy(row.loaded.begin(), row.loaded.end(), expected.begin() + 1);
    EXPECT_EQ(expected, Load(file, 9));
  }
}

TEST(WaveReader, FileLayoutsAndHostileInputGiveTheirCodes) {
  constexpr int kAll = 3;  // loads the three frames
  Bytes dataPastEnd = Pcm16(), cbSizePastChunk = WithFmt(Fmt(0x11, 2, 44100, 512, 4, {}, true));
  std::memset(&dataPastEnd[40], 0xFF, 4);
  std::memset(&cbSizePastChunk[36], 0xFF, 2);
  const Bytes big = Chunk("big ", {}, 0xFFFFFFFF);
  const struct {
    const char* name;
    Bytes file;
    int load;
    bool info;
  } rows[] = {
      {"chunks before data",
       Pcm16(Chunk("PAD ", B("12345")) + Chunk("junk", {}) + List("INFO", {})), kAll, true},
      {"second fmt ignored", Pcm16(Chunk("fmt ", Fmt(1, 1, 8000, 1, 8))), kAll, true},
      {"data size 0xFFFFFFFF", dataPastEnd, kAll, true},
      {"fmt claims 4 GB", Riff(Chunk("data", kStereo16) + Chunk("fmt ", kFmt16, ~0u)), kAll, true},
      {"zero rate", WithFmt(Fmt(1, 2, 0, 4, 16)), kAll, false},
      {"empty data", Riff(Chunk("fmt ", kFmt16) + Chunk("data", {})), -12, false},
      {"not WAVE", Riff(Chunk("fmt ", kFmt16) + Chunk("data", kStereo16), "IRXP"), -1, false},
      {"no fmt", Riff(Chunk("data", kStereo16)), -1, false},
      {"fmt too short", WithFmt(Bytes(14, 1)), -1, false},
      {"4 GB before data", Riff(Chunk("fmt ", kFmt16) + big + Chunk("data", kStereo16)), -1, false},
      {"zero channels", WithFmt(Fmt(1, 0, 44100, 4, 16)), -1, false},
      {"40-bit PCM", WithFmt(Fmt(1, 2, 44100, 10, 40)), -1, false},
      {"unknown SubFormat", WithFmt(Fmt(0xFFFE, 2, 44100, 4, 16, ExtensibleTail(16, 0x55))), -1,
       false},
      {"unknown codec", WithFmt(Fmt(0x55, 2, 44100, 4, 16)), -1, false},
      {"IMA of block align 0", WithFmt(Fmt(0x11, 2, 44100, 0, 4, Le({505}, 2))), -1, false},
      {"IMA cbSize past the chunk", cbSizePastChunk, -1, false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    const std::vector<float> loaded = Load(row.file, 10, 1);
    EXPECT_EQ(row.load, loaded[0]);
    const std::vector<float> main(loaded.begin() + 1, loaded.begin() + 5);
    EXPECT_TRUE(row.load != kAll || main == std::vector<float>({-100, -200, -300, -1}));
    ImpulseInfo info;
    EXPECT_EQ(row.info, GetWaveImpulseInfoFile(Mem(row.file), &info));
    EXPECT_TRUE(!row.info || info.dataBytes == 12) << info.dataBytes;
  }
}

TEST(WaveReader, CompressedLengthSeeksAndOneChannelReads) {
  // The fact count is trusted only inside the last block: not beyond the data, not before it
  // (whole blocks, or libsndfile's halved stereo IMA count).
  for (const DWORD fact : std::initializer_list<DWORD>{0, kImaFrames - 1, kImaFrames - 504,
                                                       kImaFrames - 505, kImaFrames / 2,
                                                       kImaFrames + 1, 0xFFFFFFFFu}) {
    ImpulseInfo info;
    ASSERT_TRUE(GetWaveImpulseInfoFile(Mem(ImaFile(fact)), &info));
    const bool trusted = fact == kImaFrames - 1 || fact == kImaFrames - 504;
    EXPECT_EQ((trusted ? fact : kImaFrames) * 4, info.dataBytes) << fact;
  }
  WaveReader reader;
  ASSERT_EQ(0, WaveReader_OpenFile(Mem(ImaFile(0)), &reader));
  std::vector<int16_t> all(kImaFrames * 2), right(kImaFrames);
  ASSERT_EQ(kImaFrames * 4, WaveReader_Read(&reader, all.data(), kImaFrames + 9, 0, true));
  EXPECT_EQ(0u, WaveReader_Read(&reader, all.data(), 1, 0, true));  // at the end
  ASSERT_TRUE(WaveReader_Seek(&reader, 0));
  ASSERT_EQ(kImaFrames * 2, WaveReader_Read(&reader, right.data(), kImaFrames, 1, false));
  for (DWORD i = 0; i < kImaFrames; ++i) ASSERT_EQ(all[2 * i + 1], right[i]) << i;
  ASSERT_TRUE(WaveReader_Seek(&reader, 777));  // inside a block, then pieces across blocks
  for (DWORD at = 777; at < kImaFrames; at += 333) {
    int16_t piece[333];
    const DWORD bytes = WaveReader_Read(&reader, piece, 333, 0, false);
    ASSERT_EQ(std::min<DWORD>(333, kImaFrames - at) * 2, bytes);
    for (DWORD i = 0; i < bytes / 2; ++i) ASSERT_EQ(all[2 * (at + i)], piece[i]) << at + i;
  }
  ASSERT_TRUE(WaveReader_Seek(&reader, kImaFrames));  // the end itself, with nothing after it
  EXPECT_EQ(0u, WaveReader_Read(&reader, right.data(), 1, 0, false));
  EXPECT_FALSE(WaveReader_Seek(&reader, kImaFrames + 1));
  WaveReader_Close(&reader);
}

TEST(WaveReader, DecodedSizeOfAHugeCompressedFileStaysWithin32Bits) {
  // Mono IMA of 256-byte blocks (505 frames): 1.1 GB of data, sparse, decode to 4.5 GB.
  TempFolder dir;
  const Bytes head = Riff(Chunk("fmt ", Fmt(0x11, 1, 44100, 256, 4, Le({505}, 2))) +
                          Chunk("data", {}, 0x48000000u));
  dir.Write("huge.wav", head);
  std::filesystem::resize_file(dir / "huge.wav", head.size() + 0x48000000ull);
  ImpulseInfo info;
  ASSERT_TRUE(GetWaveImpulseInfo(dir.Wide("huge.wav"), &info));
  EXPECT_EQ(0xFFFFFFFEu, info.dataBytes);
}

TEST(WaveLoader, ChannelsMaximumAndSecondBuffer) {
  // Three channels: frame i holds (10i, 10i + 1, 10i + 2).
  const Bytes file = Riff(Chunk("fmt ", Fmt(1, 3, 8000, 6, 16)) +
                          Chunk("data", Le({0, 1, 2, 10, 11, 12, 20, 21, 22}, 2)));
  EXPECT_EQ((std::vector<float>{2, 2, 12, -1, 1, 11, -1}), Load(file, 2, 2));
  EXPECT_EQ(22.0f, Load(file, 3, 9)[3]);  // a channel past the last: the last
  EXPECT_EQ(0, Load(file, 0)[0]);
}

// --- Files from the reference tools against what sox decodes -----------------------------


// One format as sox or libsndfile makes it from the 16-bit stereo source: sox takes its options
// after the source, libsndfile's programs before it. sox decodes integer formats to 32-bit
// integers (exact for every width here) and floats to doubles.
const struct ToolRow {
  const char *tool, *options;
  bool isFloat;
  DWORD bytesPerSample, frames = 0;  // 0: as many frames as sox decodes
  DWORD channels = 2, channel = 0;
} kToolRows[] = {
    {"sox", "-b 24", false, 3},  // extensible
    {"sndfile-convert", "-float32", true, 4},
    {"sox", "-e ima-adpcm", false, 2, 22050},
    {"sndfile-convert", "-ms-adpcm", false, 2, 22050},
    {"sox", "-e a-law", false, 2},
    {"sndfile-convert", "-ulaw", false, 2},
    {"sox", "-c 6", false, 2, 0, 6, 4},
    // an INFO list behind the data
    {"sndfile-metadata-set", "--str-title T --str-artist A --str-comment Odd", false, 2},
};

// What sox decodes from `name`, on the loader's scale.
std::vector<float> SoxDecoding(const TempFolder& dir, const std::string& name, bool isFloat) {
  EXPECT_TRUE(RunTool("sox " + dir / name + " -t raw " +
                      (isFloat ? "-e floating-point -b 64 " : "-e signed -b 32 ") + dir / "raw"));
  const Bytes bytes = dir.Read("raw");
  std::vector<float> out(bytes.size() / (isFloat ? 8 : 4));
  for (size_t i = 0; i < out.size(); ++i) {
    int32_t integer = 0;
    double d = 0.0;
    std::memcpy(isFloat ? static_cast<void*>(&d) : &integer, &bytes[i * (isFloat ? 8 : 4)],
                isFloat ? 8 : 4);
    if (isFloat)
      d = std::nearbyint(std::fmax(-2147483648.0, std::fmin(2147483647.0, d * 2147483648.0)));
    out[i] = float((isFloat ? d : integer) / 65536.0);
  }
  return out;
}

TEST(WaveLoader, ToolMadeFilesMatchWhatSoxDecodes) {
  REQUIRE_TOOL("sox");
  REQUIRE_TOOL("sndfile-convert");
  TempFolder dir;
  const std::string src = dir / "src.wav", out = dir / "f.wav";
  ASSERT_TRUE(RunTool("sox -n -r 44100 -c 2 -b 16 " + src + " synth 0.5 sine 440 sine 660"));
  for (const ToolRow& row : kToolRows) {
    const std::string tool = row.tool, options = row.options;
    const std::string command = tool == "sox" ? tool + " " + src + " " + options + " " + out
                                              : tool + " " + options + " " + src + " " + out;
    SCOPED_TRACE(command);
    ASSERT_TRUE(RunTool(command));
    const std::vector<float> expected = SoxDecoding(dir, "f.wav", row.isFloat);
    const DWORD frames = row.frames ? row.frames : DWORD(expected.size() / row.channels);
    ASSERT_LE(frames * row.channels, expected.size());
    ImpulseInfo info;
    ASSERT_TRUE(GetWaveImpulseInfo(dir.Wide("f.wav"), &info));
    EXPECT_TRUE(info.bytesPerSample == row.bytesPerSample && info.channels == row.channels &&
                info.sampleRate == 44100 &&
                info.dataBytes == frames * row.bytesPerSample * row.channels);
    std::vector<float> main(frames + 1), second(frames + 1);
    ASSERT_EQ(int(frames), LoadWaveImpulse(dir.Wide("f.wav"), main.data(), second.data(),
                                           frames + 1, row.channel));
    // sox reads floats at 24-bit precision (steps of 1/512 here); that shows only on float
    // data off the 16-bit steps, as libsndfile writes it.
    const float tolerance = row.isFloat ? 1.0f / 512 : 0.0f;
    DWORD mismatches = 0;
    for (DWORD i = 0; i < frames; ++i) {
      mismatches += std::fabs(main[i] - expected[i * row.channels + row.channel]) > tolerance;
      mismatches += std::fabs(second[i] - expected[i * row.channels + 1]) > tolerance;
    }
    EXPECT_EQ(0u, mismatches);
  }
}

}  // namespace
