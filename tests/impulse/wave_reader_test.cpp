#include "impulse/wave_reader.h"

#include <cmath>
#include <cstring>
#include <random>

#include "impulse/wave_loader.h"
#include "tests/impulse/wave_fixtures.h"

namespace {

struct Loaded {
  int result;
  std::vector<float> main, second;
};

Loaded Load(NxFileHandle file, DWORD maxFrames, DWORD channel = 0) {
  Loaded out{0, std::vector<float>(maxFrames + 1, -1.0f), std::vector<float>(maxFrames + 1, -1.0f)};
  out.result = LoadWaveImpulseFile(file, out.main.data(), out.second.data(), maxFrames, channel);
  return out;
}

Bytes Samples16(const std::vector<int>& values) {
  Bytes out;
  for (int v : values) PutLe(&out, static_cast<DWORD>(v), 2);
  return out;
}

// Stereo 16-bit PCM: frames (100, -100), (200, -200), (300, -300).
const Bytes kStereo16 = Samples16({100, -100, 200, -200, 300, -300});
Bytes Pcm16File(std::vector<Chunk> before = {}, std::vector<Chunk> after = {}) {
  std::vector<Chunk> chunks{{"fmt ", Fmt(1, 2, 44100, 4, 16)}};
  chunks.insert(chunks.end(), before.begin(), before.end());
  chunks.push_back({"data", kStereo16});
  chunks.insert(chunks.end(), after.begin(), after.end());
  return Riff(chunks);
}

// Stereo IMA ADPCM, 512-byte blocks of 505 frames, 10 whole blocks and a 300-byte tail of noise:
// any bytes decode, so no tool is needed to exercise the compressed paths.
Bytes ImaFile(DWORD fact = 0) {
  Bytes data(10 * 512 + 300);
  std::mt19937 random(7);
  for (BYTE& b : data) b = static_cast<BYTE>(random());
  std::vector<Chunk> chunks{{"fmt ", Fmt(0x11, 2, 22050, 512, 4, Samples16({505}))}};
  if (fact != 0)
    chunks.push_back(
        {"fact", Samples16({static_cast<int>(fact & 0xFFFF), static_cast<int>(fact >> 16)})});
  chunks.push_back({"data", data});
  return Riff(chunks);
}
constexpr DWORD kImaFrames = 10 * 505 + 8 * ((300 - 8) / 8) + 1;  // tail: 36 groups of 8 + 1

// --- Formats and scaling, from bytes ------------------------------------------------------

float FloatBits(DWORD bits) {
  float f;
  std::memcpy(&f, &bits, 4);
  return f;
}

TEST(WaveReader, RawSamplesAndLoadScaleByWidth) {
  const Bytes f32 = Samples16({0, 0x3F00, 0, 0x4000, 0, 0xBF80, 0x0000, 0x3000});  // .5 2 -1 2^-31
  const Bytes f64 = Samples16({0, 0, 0, 0x3FE0, 0, 0, 0, 0xC000});                 // .5 -2
  struct Row {
    const char* name;
    Bytes fmt;
    Bytes data;
    std::vector<LONG> raw;
    std::vector<float> loaded;
  } rows[] = {
      {"8-bit", Fmt(1, 1, 8000, 1, 8), {0, 128, 255}, {0, 128, 255}, {-32768, 0, 32512}},
      {"16-bit", Fmt(1, 1, 8000, 2, 16), Samples16({-32768, 7}), {-32768, 7}, {-32768, 7}},
      {"24-bit",
       Fmt(1, 1, 8000, 3, 24),
       {0x80, 0, 0x80, 0xFF, 0xFF, 0x7F},
       {-8388480, 8388607},
       {-32767.5f, 32767.99609375f}},
      {"32-bit int",
       Fmt(1, 1, 8000, 4, 32),
       Samples16({0, 0x8000, 0x8000, 0}),
       {INT32_MIN, 0x8000},
       {-32768, 0.5f}},
      {"32-bit float",
       Fmt(3, 1, 8000, 4, 32),
       f32,
       {1 << 30, INT32_MAX, INT32_MIN, 1},
       {16384, 32768, -32768, 1.0f / 65536}},
      {"64-bit float", Fmt(3, 1, 8000, 8, 64), f64, {1 << 30, INT32_MIN}, {16384, -32768}},
      {"extensible float",
       Fmt(0xFFFE, 1, 8000, 4, 32, ExtensibleTail(32, 3)),
       f32,
       {1 << 30, INT32_MAX, INT32_MIN, 1},
       {16384, 32768, -32768, 1.0f / 65536}},
      {"extensible int32",
       Fmt(0xFFFE, 1, 8000, 4, 32, ExtensibleTail(32, 1)),
       Samples16({0, 0x8000}),
       {INT32_MIN},
       {-32768}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const Bytes file = Riff({{"fmt ", row.fmt}, {"data", row.data}});
    WaveReader reader;
    ASSERT_EQ(0, WaveReader_OpenFile(MemoryFile(file), &reader));
    ASSERT_EQ(row.raw.size(), reader.frames);
    std::vector<BYTE> buffer(reader.dataBytes);
    EXPECT_EQ(reader.dataBytes, WaveReader_Read(&reader, buffer.data(), 99, 0, true));
    for (size_t i = 0; i < row.raw.size(); ++i) {
      EXPECT_EQ(row.raw[i], WaveReader_GetSample(&reader, buffer.data(), i, 0)) << i;
    }
    EXPECT_EQ(0, WaveReader_GetSample(&reader, buffer.data(), 0, 1));  // no such channel
    WaveReader_Close(&reader);
    const Loaded loaded = Load(MemoryFile(file), 99);
    ASSERT_EQ(static_cast<int>(row.loaded.size()), loaded.result);
    for (size_t i = 0; i < row.loaded.size(); ++i) EXPECT_EQ(row.loaded[i], loaded.main[i]) << i;
    EXPECT_EQ(-1.0f, loaded.second[0]);  // mono leaves the second buffer alone
  }
}

TEST(WaveReader, FloatRoundsTiesToEvenAndClampsNaNAndInfinity) {
  WaveReader reader{};
  reader.channels = 1;
  reader.bytesPerSample = 4;
  reader.sampleKind = WaveSampleKind::Float;
  const struct {
    float value;
    LONG raw;
  } rows[] = {{std::ldexp(1.0f, -32), 0},   {std::ldexp(3.0f, -32), 2},
              {std::ldexp(-3.0f, -32), -2}, {2.0f, INT32_MAX},
              {-2.0f, INT32_MIN},           {FloatBits(0x7F800000), INT32_MAX},
              {FloatBits(0x7FC00000), 0}};
  for (const auto& row : rows) {
    EXPECT_EQ(row.raw, WaveReader_GetSample(&reader, &row.value, 0, 0)) << row.value;
  }
}

// --- Layout, hostile input and codes ------------------------------------------------------

TEST(WaveReader, FileLayoutsAndHostileInputGiveTheirCodes) {
  const Bytes ok16 = Fmt(1, 2, 44100, 4, 16);
  constexpr int kLoads3 = 3;
  struct Row {
    const char* name;
    Bytes file;
    int load;   // LoadWaveImpulse's result
    bool info;  // GetWaveImpulseInfo's verdict
  } rows[] = {
      {"plain", Pcm16File(), kLoads3, true},
      {"PAD, zero-size and INFO chunks before data",
       Pcm16File({{"PAD ", {1, 2, 3, 4, 5}}, {"junk", {}}, {"LIST", {'I', 'N', 'F', 'O'}}}),
       kLoads3, true},
      {"INFO list after data", Pcm16File({}, {{"LIST", {'I', 'N', 'F', 'O', 'I', 'N', 'A', 'M'}}}),
       kLoads3, true},
      {"duplicate fmt: the first counts", Pcm16File({{"fmt ", Fmt(1, 1, 8000, 1, 8)}}), kLoads3,
       true},
      {"data size past the end", Pcm16File({}, {}), kLoads3, true},
      {"not RIFF", Bytes{'R', 'I', 'F', 'X', 4, 0, 0, 0, 'W', 'A', 'V', 'E'}, -1, false},
      {"not WAVE", Riff({{"fmt ", ok16}, {"data", kStereo16}}, "IRXP"), -1, false},
      {"no fmt", Riff({{"data", kStereo16}}), -1, false},
      {"no data", Riff({{"fmt ", ok16}}), -1, false},
      {"fmt too short",
       Riff({{"fmt ", Bytes(ok16.begin(), ok16.begin() + 14)}, {"data", kStereo16}}), -1, false},
      {"fmt of size 0", Riff({{"fmt ", {}}, {"data", kStereo16}}), -1, false},
      {"fmt claims 4 GB", Riff({{"data", kStereo16}, {"fmt ", ok16, 0xFFFFFFFF}}), kLoads3, true},
      {"chunk of 0xFFFFFFFF before data",
       Riff({{"fmt ", ok16}, {"big ", {}, 0xFFFFFFFF}, {"data", kStereo16}}), -1, false},
      {"empty data", Riff({{"fmt ", ok16}, {"data", {}}}), -12, false},
      {"zero channels", Riff({{"fmt ", Fmt(1, 0, 44100, 4, 16)}, {"data", kStereo16}}), -1, false},
      {"zero rate", Riff({{"fmt ", Fmt(1, 2, 0, 4, 16)}, {"data", kStereo16}}), kLoads3, false},
      {"zero bits", Riff({{"fmt ", Fmt(1, 2, 44100, 4, 0)}, {"data", kStereo16}}), -1, false},
      {"40-bit PCM", Riff({{"fmt ", Fmt(1, 2, 44100, 10, 40)}, {"data", kStereo16}}), -1, false},
      {"48-bit float", Riff({{"fmt ", Fmt(3, 1, 44100, 6, 48)}, {"data", kStereo16}}), -1, false},
      {"extensible without extension",
       Riff({{"fmt ", Fmt(0xFFFE, 2, 44100, 4, 16, {}, true)}, {"data", kStereo16}}), -1, false},
      {"extensible, unknown SubFormat",
       Riff(
           {{"fmt ", Fmt(0xFFFE, 2, 44100, 4, 16, ExtensibleTail(16, 0x55))}, {"data", kStereo16}}),
       -1, false},
      {"unknown codec", Riff({{"fmt ", Fmt(0x55, 2, 44100, 4, 16)}, {"data", kStereo16}}), -1,
       false},
      {"IMA with zero block align",
       Riff({{"fmt ", Fmt(0x11, 2, 44100, 0, 4, Samples16({505}))}, {"data", kStereo16}}), -1,
       false},
      {"IMA whose cbSize passes the chunk",
       Riff({{"fmt ", Fmt(0x11, 2, 44100, 512, 4, {}, true), 18}, {"data", kStereo16}}), -1, false},
  };
  // Hand-made lies: a data chunk claiming 4 GB, a cbSize of 0xFFFF past an 18-byte chunk.
  rows[4].file[40] = rows[4].file[41] = rows[4].file[42] = rows[4].file[43] = 0xFF;
  rows[23].file[36] = rows[23].file[37] = 0xFF;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const Loaded loaded = Load(MemoryFile(row.file), 10, 1);
    EXPECT_EQ(row.load, loaded.result);
    if (row.load == kLoads3) {
      EXPECT_EQ((std::vector<float>{-100, -200, -300}),
                std::vector<float>(loaded.main.begin(), loaded.main.begin() + 3));
    }
    ImpulseInfo info;
    EXPECT_EQ(row.info, GetWaveImpulseInfoFile(MemoryFile(row.file), &info));
    if (row.info) {
      EXPECT_EQ(12u, info.dataBytes);
      EXPECT_EQ(0u, info.headerSize);
      EXPECT_EQ(100u, info.version);
    }
  }
}

TEST(WaveReader, EveryPrefixOfAFileIsSafe) {
  const Bytes files[] = {
      Pcm16File({{"fact", Samples16({3, 0})}}, {{"LIST", {'I', 'N', 'F', 'O'}}}), ImaFile(5000),
      Riff({{"fmt ", Fmt(0xFFFE, 2, 8000, 8, 32, ExtensibleTail(32, 3))}, {"data", Bytes(64, 1)}}),
      Riff({{"fmt ", Fmt(7, 2, 8000, 2, 8, {}, true)},
            {"fact", Samples16({5, 0})},
            {"data", Bytes(10, 0x55)}})};
  for (const Bytes& full : files) {
    DWORD fullFrames = 0;
    for (size_t size = 0; size <= full.size(); ++size) {
      const Bytes prefix(full.begin(), full.begin() + size);
      const Loaded loaded = Load(MemoryFile(prefix), 6000);
      EXPECT_TRUE(loaded.result == -1 || loaded.result == -12 || loaded.result > 0) << size;
      if (loaded.result > 0) {
        EXPECT_GE(static_cast<DWORD>(loaded.result), fullFrames) << size;  // grows with the file
        fullFrames = loaded.result;
      }
      ImpulseInfo info;
      GetWaveImpulseInfoFile(MemoryFile(prefix), &info);
    }
    EXPECT_GT(fullFrames, 0u);
  }
}

// --- Compressed data: lengths, seeking and one-channel reads --------------------------------

TEST(WaveReader, CompressedLengthTrustsFactOnlyInsideTheLastBlock) {
  const struct {
    DWORD fact;
    DWORD frames;
  } rows[] = {{0, kImaFrames},
              {kImaFrames - 1, kImaFrames - 1},
              {kImaFrames - 504, kImaFrames - 504},
              {kImaFrames - 505, kImaFrames},
              {kImaFrames / 2, kImaFrames},
              {kImaFrames + 1, kImaFrames},
              {0xFFFFFFFF, kImaFrames}};
  for (const auto& row : rows) {
    WaveReader reader;
    ASSERT_EQ(0, WaveReader_OpenFile(MemoryFile(ImaFile(row.fact)), &reader));
    EXPECT_EQ(row.frames, reader.frames) << row.fact;
    EXPECT_EQ(row.frames * 4, reader.dataBytes);
    EXPECT_EQ(2u, reader.bytesPerSample);
    WaveReader_Close(&reader);
  }
}

TEST(WaveReader, CompressedSeeksAndOneChannelReadsDeliverEveryFrame) {
  WaveReader reader;
  ASSERT_EQ(0, WaveReader_OpenFile(MemoryFile(ImaFile()), &reader));
  std::vector<int16_t> all(kImaFrames * 2);
  ASSERT_EQ(kImaFrames * 4, WaveReader_Read(&reader, all.data(), kImaFrames + 9, 0, true));
  EXPECT_EQ(0u, WaveReader_Read(&reader, all.data(), 1, 0, true));  // at the end

  // Channel 1 alone in one call, then in odd pieces that start inside blocks.
  std::vector<int16_t> right(kImaFrames, 0);
  ASSERT_TRUE(WaveReader_Seek(&reader, 0));
  ASSERT_EQ(kImaFrames * 2, WaveReader_Read(&reader, right.data(), kImaFrames, 1, false));
  for (DWORD i = 0; i < kImaFrames; ++i) ASSERT_EQ(all[2 * i + 1], right[i]) << i;
  ASSERT_TRUE(WaveReader_Seek(&reader, 777));
  for (DWORD at = 777; at < kImaFrames; at += 333) {
    int16_t piece[333];
    const DWORD bytes = WaveReader_Read(&reader, piece, 333, 0, false);
    ASSERT_EQ(std::min<DWORD>(333, kImaFrames - at) * 2, bytes);
    for (DWORD i = 0; i < bytes / 2; ++i) ASSERT_EQ(all[2 * (at + i)], piece[i]) << at + i;
  }
  EXPECT_FALSE(WaveReader_Seek(&reader, kImaFrames + 1));
  EXPECT_EQ(0u, WaveReader_Read(&reader, right.data(), 1, 2, false));  // no channel 2
  WaveReader_Close(&reader);
  WaveReader_Close(&reader);  // twice is harmless
  ASSERT_EQ(-1, WaveReader_Open(NXW("/nonexistent/x.wav"), &reader, false));
  WaveReader_Close(&reader);  // and after a failed open
}

TEST(WaveLoader, ChannelsMaximumAndSecondBuffer) {
  // Three channels: frame i holds (10i, 10i + 1, 10i + 2).
  const Bytes data = Samples16({0, 1, 2, 10, 11, 12, 20, 21, 22});
  const Bytes file = Riff({{"fmt ", Fmt(1, 3, 8000, 6, 16)}, {"data", data}});
  const Loaded two = Load(MemoryFile(file), 2, 2);
  ASSERT_EQ(2, two.result);
  EXPECT_EQ((std::vector<float>{2, 12, -1}), two.main);
  EXPECT_EQ((std::vector<float>{1, 11, -1}), two.second);
  EXPECT_EQ(3, Load(MemoryFile(file), 3, 9).result);  // a channel past the last loads the last
  EXPECT_EQ(22.0f, Load(MemoryFile(file), 3, 9).main[2]);
  EXPECT_EQ(0, Load(MemoryFile(file), 0).result);
  float sample = 0;
  EXPECT_EQ(-1, LoadWaveImpulse(NXW("/nonexistent/x.wav"), &sample, nullptr, 1, 0));
}

// --- Files from the reference tools, against what sox decodes ------------------------------

enum class Oracle { Int16, Int32, Float32, Float64 };
const char* const kOracleOptions[] = {"-e signed -b 16", "-e signed -b 32",
                                      "-e floating-point -b 32", "-e floating-point -b 64"};

struct ToolRow {
  const char* command;  // {src}: 16-bit stereo source, {out}: the file to make
  Oracle oracle;
  DWORD bytesPerSample;
  DWORD frames;  // 0: as many as sox decodes
  DWORD channels = 2;
  DWORD channel = 0;
};

const ToolRow kToolRows[] = {
    {"sox {src} -b 8 -e unsigned-integer {out}", Oracle::Int16, 1, 0},
    {"sox {src} -b 24 -t wavpcm {out}", Oracle::Int32, 3, 0},
    {"sox {src} -b 24 {out}", Oracle::Int32, 3, 0},
    {"sox {src} -b 32 -e signed-integer {out}", Oracle::Int32, 4, 0},
    {"sox {src} -b 32 -e floating-point {out}", Oracle::Float32, 4, 0},
    {"sox {src} -b 64 -e floating-point {out}", Oracle::Float64, 8, 0},
    {"sox {src} -e ima-adpcm {out}", Oracle::Int16, 2, 22050},
    {"sox {src} -e ms-adpcm {out}", Oracle::Int16, 2, 22050},
    {"sox {src} -e a-law {out}", Oracle::Int16, 2, 0},
    {"sox {src} -e u-law {out}", Oracle::Int16, 2, 0},
    {"sox -n -r 44100 -c 6 -b 16 {out} synth 0.1 sine 300 sine 400 sine 500 sine 600 sine 700 "
     "sine 800",
     Oracle::Int16, 2, 0, 6, 4},
    {"ffmpeg -i {src} -c:a pcm_s16le -bitexact -metadata title=T -metadata artist=A "
     "-metadata copyright=C -metadata comment=Odd {out}",
     Oracle::Int16, 2, 0},
    {"ffmpeg -i {src} -c:a pcm_u8 {out}", Oracle::Int16, 1, 0},
    {"ffmpeg -i {src} -c:a pcm_s24le {out}", Oracle::Int32, 3, 0},
    {"ffmpeg -i {src} -c:a pcm_s32le {out}", Oracle::Int32, 4, 0},
    {"ffmpeg -i {src} -c:a pcm_f32le {out}", Oracle::Float32, 4, 0},
    {"ffmpeg -i {src} -c:a pcm_f64le {out}", Oracle::Float64, 8, 0},
    {"ffmpeg -i {src} -c:a adpcm_ima_wav {out}", Oracle::Int16, 2, 0},
    {"ffmpeg -i {src} -c:a adpcm_ms {out}", Oracle::Int16, 2, 0},
    {"ffmpeg -i {src} -c:a pcm_alaw {out}", Oracle::Int16, 2, 0},
    {"ffmpeg -i {src} -c:a pcm_mulaw {out}", Oracle::Int16, 2, 0},
    {"sndfile-metadata-set --str-title T --str-artist A --str-copyright C --str-comment Odd "
     "{src} {out}",
     Oracle::Int16, 2, 0},
    {"sndfile-convert -pcmu8 {src} {out}", Oracle::Int16, 1, 0},
    {"sndfile-convert -pcm24 {src} {out}", Oracle::Int32, 3, 0},
    {"sndfile-convert -pcm32 {src} {out}", Oracle::Int32, 4, 0},
    {"sndfile-convert -float32 {src} {out}", Oracle::Float32, 4, 0},
    {"sndfile-convert -float64 {src} {out}", Oracle::Float64, 8, 0},
    {"sndfile-convert -ima-adpcm {src} {out}", Oracle::Int16, 2, 0},
    {"sndfile-convert -ms-adpcm {src} {out}", Oracle::Int16, 2, 22050},
    {"sndfile-convert -alaw {src} {out}", Oracle::Int16, 2, 0},
    {"sndfile-convert -ulaw {src} {out}", Oracle::Int16, 2, 0},
};

std::string Fill(std::string text, const std::string& key, const std::string& value) {
  for (size_t at = 0; (at = text.find(key, at)) != std::string::npos; at += value.size()) {
    text.replace(at, key.size(), value);
  }
  return text;
}

// What the loader must deliver for one sample that sox decoded with the row's oracle.
std::vector<float> SoxReference(const std::string& raw, Oracle oracle) {
  const Bytes bytes = ReadFileBytes(raw);
  const size_t width = oracle == Oracle::Int16 ? 2 : oracle == Oracle::Float64 ? 8 : 4;
  std::vector<float> out(bytes.size() / width);
  for (size_t i = 0; i < out.size(); ++i) {
    const BYTE* p = bytes.data() + i * width;
    int16_t i16;
    int32_t i32;
    float f;
    double d;
    switch (oracle) {
      case Oracle::Int16:
        std::memcpy(&i16, p, 2);
        out[i] = i16;
        break;
      case Oracle::Int32:
        std::memcpy(&i32, p, 4);
        out[i] = float(i32 / 65536.0);
        break;
      case Oracle::Float32:
        std::memcpy(&f, p, 4);
        d = f;
        [[fallthrough]];
      case Oracle::Float64:
        if (oracle == Oracle::Float64) std::memcpy(&d, p, 8);
        d = std::nearbyint(std::fmax(-2147483648.0, std::fmin(2147483647.0, d * 2147483648.0)));
        out[i] = float(d / 65536.0);
        break;
    }
  }
  return out;
}

TEST(WaveLoader, ToolMadeFilesMatchWhatSoxDecodes) {
  if (!HaveTool("sox")) GTEST_SKIP() << "sox is not installed: it makes the source and decodes";
  const ToolFolder folder;
  const std::string src = folder / "src.wav";
  ASSERT_TRUE(RunTool("sox -n -r 44100 -c 2 -b 16 " + src + " synth 0.5 sine 440 sine 660"));
  std::string missing;
  int index = 0;
  for (const ToolRow& row : kToolRows) {
    SCOPED_TRACE(row.command);
    const std::string tool(row.command, std::strcspn(row.command, " "));
    if (!HaveTool(tool)) {
      missing += " " + tool;
      continue;
    }
    const std::string out = folder / ("f" + std::to_string(++index) + ".wav");
    const std::string raw = out + ".raw";
    ASSERT_TRUE(RunTool(Fill(Fill(Fill(row.command, "{src}", src), "{out}", out), "ffmpeg ",
                             "ffmpeg -nostdin -y -v error ")));
    ASSERT_TRUE(RunTool("sox " + out + " -t raw " + kOracleOptions[int(row.oracle)] + " " + raw));
    const std::vector<float> expected = SoxReference(raw, row.oracle);
    const DWORD soxFrames = expected.size() / row.channels;
    const DWORD frames = row.frames != 0 ? row.frames : soxFrames;
    ASSERT_LE(frames, soxFrames);

    ImpulseInfo info;
    ASSERT_TRUE(GetWaveImpulseInfo(Wide(out).c_str(), &info));
    EXPECT_EQ(row.bytesPerSample, info.bytesPerSample);
    EXPECT_EQ(row.channels, info.channels);
    EXPECT_EQ(44100u, info.sampleRate);
    EXPECT_EQ(frames * row.bytesPerSample * row.channels, info.dataBytes);
    std::vector<float> main(frames + 1), second(frames + 1);
    ASSERT_EQ(int(frames), LoadWaveImpulse(Wide(out).c_str(), main.data(), second.data(),
                                           frames + 1, row.channel));
    // sox reads floats at 24-bit precision (steps of 2^-24 full scale, 1/512 here), which only
    // shows on float data that is not on 16-bit steps (libsndfile's float conversion).
    const float tolerance = row.oracle >= Oracle::Float32 ? 1.0f / 512 : 0.0f;
    DWORD mismatches = 0;
    for (DWORD i = 0; i < frames; ++i) {
      mismatches += std::fabs(main[i] - expected[i * row.channels + row.channel]) > tolerance;
      mismatches += std::fabs(second[i] - expected[i * row.channels + 1]) > tolerance;
    }
    EXPECT_EQ(0u, mismatches);
  }
  if (!missing.empty()) GTEST_SKIP() << "rows skipped, tools not installed:" << missing;
}

}  // namespace
