#include "platform/acm.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

// ---------------------------------------------------------------------------------------------
// Format records and small helpers

void PutU16(Bytes& b, size_t at, unsigned v) {
  b[at] = static_cast<uint8_t>(v & 0xFF);
  b[at + 1] = static_cast<uint8_t>((v >> 8) & 0xFF);
}

void PutU32(Bytes& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>((v >> (8 * i)) & 0xFF);
}

uint32_t GetU32(const uint8_t* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (uint32_t{p[3]} << 24);
}

// A format record of exactly 18 + extra.size() bytes, so that reading past it trips ASan.
Bytes MakeFormat(unsigned tag, unsigned channels, uint32_t rate, unsigned blockAlign, unsigned bits,
                 const std::vector<uint16_t>& extra = {}) {
  Bytes f(18 + 2 * extra.size());
  PutU16(f, 0, tag);
  PutU16(f, 2, channels);
  PutU32(f, 4, rate);
  PutU32(f, 8, rate * blockAlign);
  PutU16(f, 12, blockAlign);
  PutU16(f, 14, bits);
  PutU16(f, 16, static_cast<unsigned>(2 * extra.size()));
  for (size_t i = 0; i < extra.size(); ++i) PutU16(f, 18 + 2 * i, extra[i]);
  return f;
}

const int16_t kStandardCoefficients[7][2] = {{256, 0}, {512, -256}, {0, 0},     {192, 64},
                                             {240, 0}, {460, -208}, {392, -232}};

Bytes MakeMsAdpcmFormat(unsigned channels, unsigned blockAlign, unsigned samplesPerBlock,
                        unsigned pairs = 7) {
  std::vector<uint16_t> extra{static_cast<uint16_t>(samplesPerBlock), static_cast<uint16_t>(pairs)};
  for (unsigned i = 0; i < pairs; ++i) {
    extra.push_back(static_cast<uint16_t>(kStandardCoefficients[i % 7][0]));
    extra.push_back(static_cast<uint16_t>(kStandardCoefficients[i % 7][1]));
  }
  return MakeFormat(WAVE_FORMAT_ADPCM, channels, 8000, blockAlign, 4, extra);
}

Bytes MakeImaFormat(unsigned channels, unsigned blockAlign) {
  const unsigned spb = (blockAlign / (4 * channels) - 1) * 8 + 1;
  return MakeFormat(WAVE_FORMAT_IMA_ADPCM, channels, 8000, blockAlign, 4, {uint16_t(spb)});
}

LPWAVEFORMATEX Wfx(Bytes& record) { return reinterpret_cast<LPWAVEFORMATEX>(record.data()); }

WAVEFORMATEX PcmFor(unsigned channels, uint32_t rate) {
  WAVEFORMATEX pcm{};
  pcm.wFormatTag = WAVE_FORMAT_PCM;
  pcm.nChannels = static_cast<WORD>(channels);
  pcm.nSamplesPerSec = rate;
  pcm.nBlockAlign = static_cast<WORD>(2 * channels);
  pcm.nAvgBytesPerSec = rate * pcm.nBlockAlign;
  pcm.wBitsPerSample = 16;
  return pcm;
}

// An open stream that closes itself.
struct Stream {
  HACMSTREAM has = nullptr;
  MMRESULT opened;
  explicit Stream(Bytes& format) {
    WAVEFORMATEX pcm{};
    pcm.wFormatTag = WAVE_FORMAT_PCM;
    pcm.wBitsPerSample = 16;
    opened = acmFormatSuggest(nullptr, Wfx(format), &pcm, sizeof(pcm),
                              ACM_FORMATSUGGESTF_WFORMATTAG | ACM_FORMATSUGGESTF_WBITSPERSAMPLE);
    if (opened == MMSYSERR_NOERROR) {
      opened = acmStreamOpen(&has, nullptr, Wfx(format), &pcm, nullptr, 0, 0,
                             ACM_STREAMOPENF_NONREALTIME);
    }
  }
  ~Stream() {
    if (has != nullptr) acmStreamClose(has, 0);
  }
};

// One conversion with a freshly prepared header over copies of exactly the given sizes.
struct Converted {
  MMRESULT result;
  DWORD srcUsed, dstUsed;
  Bytes pcm;
};

Converted Convert(HACMSTREAM has, const uint8_t* src, size_t srcBytes, size_t dstBytes,
                  DWORD flags) {
  Bytes in(src, src + srcBytes);
  Bytes out(dstBytes);
  ACMSTREAMHEADER h{};
  h.cbStruct = sizeof(h);
  h.pbSrc = in.data();
  h.cbSrcLength = static_cast<DWORD>(in.size());
  h.pbDst = out.data();
  h.cbDstLength = static_cast<DWORD>(out.size());
  Converted c{acmStreamPrepareHeader(has, &h, 0), 0, 0, {}};
  if (c.result != MMSYSERR_NOERROR) return c;
  c.result = acmStreamConvert(has, &h, flags);
  c.srcUsed = h.cbSrcLengthUsed;
  c.dstUsed = h.cbDstLengthUsed;
  EXPECT_LE(c.srcUsed, srcBytes);
  EXPECT_LE(c.dstUsed, dstBytes);
  EXPECT_TRUE(h.fdwStatus & ACMSTREAMHEADER_STATUSF_DONE);
  EXPECT_EQ(acmStreamUnprepareHeader(has, &h, 0), MMSYSERR_NOERROR);
  out.resize(std::min<size_t>(c.dstUsed, out.size()));
  c.pcm = out;
  return c;
}

std::vector<int16_t> ToSamples(const Bytes& pcm) {
  std::vector<int16_t> s(pcm.size() / 2);
  for (size_t i = 0; i < s.size(); ++i)
    s[i] = static_cast<int16_t>(pcm[2 * i] | (pcm[2 * i + 1] << 8));
  return s;
}

// Decodes `data` the way the wave reader does: pieces sized from a PCM request, whole blocks
// with BLOCKALIGN, and a trailing partial block with END at the close.
std::vector<int16_t> DecodeLikeAReader(Bytes& format, const Bytes& data, DWORD pieceFrames) {
  Stream s(format);
  EXPECT_EQ(s.opened, MMSYSERR_NOERROR);
  if (s.opened != MMSYSERR_NOERROR) return {};
  const DWORD channels = format[2];
  const DWORD blockAlign = format[12] | (format[13] << 8);
  Bytes pcm;
  size_t pos = 0;
  while (data.size() - pos >= blockAlign) {
    DWORD piece = 0, pieceOut = 0;
    EXPECT_EQ(acmStreamSize(s.has, pieceFrames * channels * 2, &piece, ACM_STREAMSIZEF_DESTINATION),
              MMSYSERR_NOERROR);
    piece = static_cast<DWORD>(std::min<size_t>(piece, data.size() - pos));
    EXPECT_EQ(acmStreamSize(s.has, piece, &pieceOut, ACM_STREAMSIZEF_SOURCE), MMSYSERR_NOERROR);
    const Converted c =
        Convert(s.has, data.data() + pos, piece, pieceOut, ACM_STREAMCONVERTF_BLOCKALIGN);
    EXPECT_EQ(c.result, MMSYSERR_NOERROR);
    EXPECT_EQ(c.srcUsed, piece / blockAlign * blockAlign);
    EXPECT_EQ(c.dstUsed, pieceOut);
    if (c.srcUsed == 0) return {};
    pcm.insert(pcm.end(), c.pcm.begin(), c.pcm.end());
    pos += c.srcUsed;
  }
  if (pos < data.size()) {
    DWORD blockOut = 0;
    EXPECT_EQ(acmStreamSize(s.has, blockAlign, &blockOut, ACM_STREAMSIZEF_SOURCE),
              MMSYSERR_NOERROR);
    const Converted c =
        Convert(s.has, data.data() + pos, data.size() - pos, blockOut, ACM_STREAMCONVERTF_END);
    EXPECT_EQ(c.srcUsed, data.size() - pos);
    pcm.insert(pcm.end(), c.pcm.begin(), c.pcm.end());
  }
  return ToSamples(pcm);
}

// ---------------------------------------------------------------------------------------------
// Files made and decoded by the reference tools

bool ToolPresent(const std::string& versionCommand) {
  return std::system((versionCommand + " >/dev/null 2>&1").c_str()) == 0;
}

Bytes ReadWhole(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

struct Wave {
  Bytes format, data;
};

// Finds "fmt " and "data" at the top level of a RIFF/WAVE file.
bool ParseWave(const Bytes& file, Wave* wave) {
  if (file.size() < 12 || std::memcmp(file.data(), "RIFF", 4) != 0) return false;
  bool haveFormat = false, haveData = false;
  for (size_t pos = 12; pos + 8 <= file.size();) {
    const uint32_t size = GetU32(&file[pos + 4]);
    const size_t body = pos + 8, end = std::min<size_t>(file.size(), body + size);
    if (std::memcmp(&file[pos], "fmt ", 4) == 0) {
      wave->format.assign(file.begin() + body, file.begin() + end);
      haveFormat = true;
    } else if (std::memcmp(&file[pos], "data", 4) == 0) {
      wave->data.assign(file.begin() + body, file.begin() + end);
      haveData = true;
    }
    pos = body + size + (size & 1);
  }
  return haveFormat && haveData && wave->format.size() >= 18;
}

// fmt and data only, with the data cut to `dataBytes`.
void WriteWave(const fs::path& path, const Wave& wave, size_t dataBytes) {
  Bytes file(12);
  std::memcpy(file.data(), "RIFF\0\0\0\0WAVE", 12);
  auto chunk = [&file](const char* id, const uint8_t* body, size_t size) {
    Bytes header(8);
    std::memcpy(header.data(), id, 4);
    PutU32(header, 4, static_cast<uint32_t>(size));
    file.insert(file.end(), header.begin(), header.end());
    file.insert(file.end(), body, body + size);
    if (size & 1) file.push_back(0);
  };
  chunk("fmt ", wave.format.data(), wave.format.size());
  chunk("data", wave.data.data(), dataBytes);
  PutU32(file, 4, static_cast<uint32_t>(file.size() - 8));
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
}

std::vector<int16_t> SoxDecode(const fs::path& wave, const fs::path& raw) {
  const std::string command =
      "sox -V1 '" + wave.string() + "' -t raw -e signed -b 16 '" + raw.string() + "'";
  EXPECT_EQ(std::system(command.c_str()), 0) << command;
  return ToSamples(ReadWhole(raw));
}

class AcmAgainstSox : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!ToolPresent("sox --version"))
      GTEST_SKIP() << "sox is missing: install it to compare decoders";
    dir_ = fs::path(::testing::TempDir()) /
           ("acm_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::create_directories(dir_);
  }
  void TearDown() override {
    std::error_code ignored;
    if (!dir_.empty()) fs::remove_all(dir_, ignored);
  }
  bool Run(const std::string& command) {
    const int status = std::system((command + " 2>/dev/null").c_str());
    EXPECT_EQ(status, 0) << command;
    return status == 0;
  }
  // A sweep on one channel and noise on the other; mono files mix them.
  fs::path Source(unsigned channels, unsigned rate, const char* seconds) {
    const fs::path stereo = dir_ / ("sweep_noise_" + std::to_string(rate) + ".wav");
    const fs::path out =
        dir_ / ("src" + std::to_string(channels) + "_" + std::to_string(rate) + ".wav");
    Run("sox -n -r " + std::to_string(rate) + " -c 2 -b 16 '" + stereo.string() + "' synth " +
        seconds + " sine 30-" + std::to_string(rate / 2) + " whitenoise vol 0.9");
    Run("sox '" + stereo.string() + "' -c " + std::to_string(channels) + " '" + out.string() + "'");
    return out;
  }
  // Compares our decoding with sox's for the whole file and for its data cut to end in a
  // partial block, in pieces of several sizes.
  void Compare(const fs::path& encoded, const std::string& label) {
    Wave wave;
    ASSERT_TRUE(ParseWave(ReadWhole(encoded), &wave)) << label;
    const size_t blockAlign = wave.format[12] | (wave.format[13] << 8);
    // Whole; one byte short; and partial blocks of about half a block and of a few bytes.
    std::vector<size_t> cuts = {wave.data.size(), wave.data.size() - 1};
    if (blockAlign > 8) {
      cuts.push_back(wave.data.size() - blockAlign / 2 - 1);
      cuts.push_back(wave.data.size() - blockAlign + 5 * wave.format[2] + 1);
    }
    for (size_t dataBytes : cuts) {
      const fs::path cut = dir_ / "cut.wav";
      WriteWave(cut, wave, dataBytes);
      const std::vector<int16_t> expected = SoxDecode(cut, dir_ / "cut.raw");
      ASSERT_FALSE(expected.empty()) << label;
      Bytes data(wave.data.begin(), wave.data.begin() + dataBytes);
      for (DWORD pieceFrames : {1u, 777u, 100000u}) {
        const std::vector<int16_t> got = DecodeLikeAReader(wave.format, data, pieceFrames);
        ASSERT_EQ(got.size(), expected.size())
            << label << " data " << dataBytes << " piece " << pieceFrames;
        const auto diff = std::mismatch(got.begin(), got.end(), expected.begin());
        ASSERT_TRUE(diff.first == got.end())
            << label << " data " << dataBytes << " piece " << pieceFrames << ": sample "
            << (diff.first - got.begin()) << " is " << *diff.first << ", sox " << *diff.second;
      }
    }
  }
  fs::path dir_;
};

TEST_F(AcmAgainstSox, SoxEncodedFilesOfEveryFormatDecodeBitIdentically) {
  const char* encodings[] = {"u-law", "a-law", "ima-adpcm", "ms-adpcm"};
  // sox picks the ADPCM block size from the rate: 256, 512 and 1024 bytes per channel.
  for (unsigned rate : {8000u, 22050u, 44100u}) {
    for (unsigned channels : {1u, 2u}) {
      const fs::path source = Source(channels, rate, "0.2371");
      for (const char* encoding : encodings) {
        const fs::path encoded = dir_ / (std::string(encoding) + ".wav");
        ASSERT_TRUE(
            Run("sox '" + source.string() + "' -e " + encoding + " '" + encoded.string() + "'"));
        Compare(encoded, std::string(encoding) + " " + std::to_string(channels) + " ch " +
                             std::to_string(rate) + " Hz");
      }
    }
  }
}

TEST_F(AcmAgainstSox, FfmpegEncodedAdpcmDecodesLikeSoxDecodesIt) {
  if (!ToolPresent("ffmpeg -version")) GTEST_SKIP() << "ffmpeg is missing";
  for (unsigned channels : {1u, 2u}) {
    const fs::path source = Source(channels, 22050, "0.3117");
    for (const char* codec : {"adpcm_ima_wav", "adpcm_ms"}) {
      for (unsigned blockSize : {256u, 1024u, 2048u}) {
        const fs::path encoded = dir_ / "ffmpeg.wav";
        ASSERT_TRUE(Run("ffmpeg -v error -y -i '" + source.string() + "' -c:a " + codec +
                        " -block_size " + std::to_string(blockSize) + " '" + encoded.string() +
                        "'"));
        Compare(encoded, std::string(codec) + " " + std::to_string(channels) + " ch block " +
                             std::to_string(blockSize));
      }
    }
  }
}

TEST_F(AcmAgainstSox, EveryLawCodeExpandsLikeSox) {
  Bytes codes(256);
  for (int i = 0; i < 256; ++i) codes[i] = static_cast<uint8_t>(i);
  const fs::path raw = dir_ / "codes.raw";
  std::ofstream(raw, std::ios::binary).write(reinterpret_cast<const char*>(codes.data()), 256);
  for (const auto& [encoding, tag] : {std::pair<const char*, WORD>{"u-law", WAVE_FORMAT_MULAW},
                                      std::pair<const char*, WORD>{"a-law", WAVE_FORMAT_ALAW}}) {
    ASSERT_TRUE(Run("sox -t raw -r 8000 -c 1 -e " + std::string(encoding) + " -b 8 '" +
                    raw.string() + "' -t raw -e signed -b 16 '" + (dir_ / "pcm.raw").string() +
                    "'"));
    const std::vector<int16_t> expected = ToSamples(ReadWhole(dir_ / "pcm.raw"));
    Bytes format = MakeFormat(tag, 1, 8000, 1, 8);
    EXPECT_EQ(DecodeLikeAReader(format, codes, 64), expected) << encoding;
  }
}

// ---------------------------------------------------------------------------------------------
// The calls' contract

TEST(AcmFormatSuggest, SuggestsSixteenBitPcmAndHonoursOnlyPossibleConstraints) {
  Bytes ima = MakeImaFormat(2, 512);
  Bytes out(20, 0xEE);
  LPWAVEFORMATEX dst = Wfx(out);
  ASSERT_EQ(acmFormatSuggest(nullptr, Wfx(ima), dst, 16, 0), MMSYSERR_NOERROR);
  EXPECT_EQ(out[16], 0xEE) << "only 16 bytes were offered";
  ASSERT_EQ(acmFormatSuggest(nullptr, Wfx(ima), dst, 20,
                             ACM_FORMATSUGGESTF_NCHANNELS | ACM_FORMATSUGGESTF_NSAMPLESPERSEC),
            MMSYSERR_NOERROR);
  const WAVEFORMATEX expected = PcmFor(2, 8000);
  EXPECT_EQ(std::memcmp(dst, &expected, sizeof(expected)), 0);

  dst->wBitsPerSample = 8;
  EXPECT_EQ(acmFormatSuggest(nullptr, Wfx(ima), dst, 20, ACM_FORMATSUGGESTF_WBITSPERSAMPLE),
            ACMERR_NOTPOSSIBLE);
  *dst = PcmFor(1, 8000);
  EXPECT_EQ(acmFormatSuggest(nullptr, Wfx(ima), dst, 20, ACM_FORMATSUGGESTF_NCHANNELS),
            ACMERR_NOTPOSSIBLE);
  dst->wFormatTag = WAVE_FORMAT_IEEE_FLOAT;
  EXPECT_EQ(acmFormatSuggest(nullptr, Wfx(ima), dst, 20, ACM_FORMATSUGGESTF_WFORMATTAG),
            ACMERR_NOTPOSSIBLE);
  EXPECT_EQ(acmFormatSuggest(nullptr, Wfx(ima), dst, 15, 0), MMSYSERR_INVALPARAM);
  EXPECT_EQ(acmFormatSuggest(nullptr, nullptr, dst, 20, 0), MMSYSERR_INVALPARAM);
  EXPECT_EQ(acmFormatSuggest(nullptr, Wfx(ima), dst, 20, 0x01000000), MMSYSERR_INVALFLAG);
  EXPECT_EQ(acmFormatSuggest(reinterpret_cast<HACMDRIVER>(&out), Wfx(ima), dst, 20, 0),
            MMSYSERR_INVALHANDLE);
}

TEST(AcmStreamOpen, OpensOnlyToTheSuggestedPcmAndQueriesWithoutAHandle) {
  Bytes law = MakeFormat(WAVE_FORMAT_ALAW, 2, 44100, 2, 8);
  WAVEFORMATEX pcm = PcmFor(2, 44100);
  EXPECT_EQ(acmStreamOpen(nullptr, nullptr, Wfx(law), &pcm, nullptr, 0, 0, ACM_STREAMOPENF_QUERY),
            MMSYSERR_NOERROR);
  EXPECT_EQ(acmStreamOpen(nullptr, nullptr, Wfx(law), &pcm, nullptr, 0, 0, 0), MMSYSERR_INVALPARAM);
  HACMSTREAM has = reinterpret_cast<HACMSTREAM>(&pcm);
  EXPECT_EQ(acmStreamOpen(&has, nullptr, Wfx(law), &pcm, nullptr, 0, 0, ACM_STREAMOPENF_ASYNC),
            ACMERR_NOTPOSSIBLE);
  EXPECT_EQ(has, nullptr);
  WAVEFILTER filter{};
  EXPECT_EQ(acmStreamOpen(&has, nullptr, Wfx(law), &pcm, &filter, 0, 0, 0), ACMERR_NOTPOSSIBLE);
  EXPECT_EQ(acmStreamOpen(&has, nullptr, Wfx(law), &pcm, nullptr, 0, 0, 0x100), MMSYSERR_INVALFLAG);
  for (WAVEFORMATEX wrong : {PcmFor(1, 44100), PcmFor(2, 48000)}) {
    EXPECT_EQ(acmStreamOpen(&has, nullptr, Wfx(law), &wrong, nullptr, 0, 0, 0), ACMERR_NOTPOSSIBLE);
  }
  ASSERT_EQ(
      acmStreamOpen(&has, nullptr, Wfx(law), &pcm, nullptr, 0, 0, ACM_STREAMOPENF_NONREALTIME),
      MMSYSERR_NOERROR);
  ASSERT_NE(has, nullptr);
  EXPECT_EQ(acmStreamClose(has, 0), MMSYSERR_NOERROR);
  DWORD size = 0;
  EXPECT_EQ(acmStreamSize(has, 100, &size, ACM_STREAMSIZEF_SOURCE), MMSYSERR_INVALHANDLE);
  EXPECT_EQ(acmStreamClose(has, 0), MMSYSERR_INVALHANDLE);
}

TEST(AcmStreamSize, CountsWholeBlocksBothWaysAndRefusesWhatDoesNotFit32Bits) {
  Bytes ima = MakeImaFormat(2, 1024);  // 1017 frames a block
  Stream s(ima);
  ASSERT_EQ(s.opened, MMSYSERR_NOERROR);
  DWORD out = 7;
  EXPECT_EQ(acmStreamSize(s.has, 0, &out, ACM_STREAMSIZEF_SOURCE), MMSYSERR_NOERROR);
  EXPECT_EQ(out, 0u);
  EXPECT_EQ(acmStreamSize(s.has, 1023, &out, ACM_STREAMSIZEF_SOURCE), ACMERR_NOTPOSSIBLE);
  EXPECT_EQ(acmStreamSize(s.has, 3 * 1024 + 1000, &out, ACM_STREAMSIZEF_SOURCE), MMSYSERR_NOERROR);
  EXPECT_EQ(out, 3u * 1017 * 4);
  EXPECT_EQ(acmStreamSize(s.has, 1, &out, ACM_STREAMSIZEF_DESTINATION), MMSYSERR_NOERROR);
  EXPECT_EQ(out, 1024u);
  EXPECT_EQ(acmStreamSize(s.has, 1017 * 4, &out, ACM_STREAMSIZEF_DESTINATION), MMSYSERR_NOERROR);
  EXPECT_EQ(out, 1024u);
  EXPECT_EQ(acmStreamSize(s.has, 1017 * 4 + 4, &out, ACM_STREAMSIZEF_DESTINATION),
            MMSYSERR_NOERROR);
  EXPECT_EQ(out, 2048u);
  EXPECT_EQ(acmStreamSize(s.has, 0xFFFFFFFF, &out, ACM_STREAMSIZEF_SOURCE), ACMERR_NOTPOSSIBLE);
  EXPECT_EQ(acmStreamSize(s.has, 100, &out, 2), MMSYSERR_INVALFLAG);
  EXPECT_EQ(acmStreamSize(s.has, 100, nullptr, 0), MMSYSERR_INVALPARAM);

  Bytes law = MakeFormat(WAVE_FORMAT_MULAW, 2, 8000, 2, 8);
  Stream l(law);
  EXPECT_EQ(acmStreamSize(l.has, 7, &out, ACM_STREAMSIZEF_SOURCE), MMSYSERR_NOERROR);
  EXPECT_EQ(out, 12u);
  EXPECT_EQ(acmStreamSize(l.has, 7, &out, ACM_STREAMSIZEF_DESTINATION), MMSYSERR_NOERROR);
  EXPECT_EQ(out, 4u);
  EXPECT_EQ(acmStreamSize(l.has, 0x80000000u, &out, ACM_STREAMSIZEF_SOURCE), ACMERR_NOTPOSSIBLE);
}

TEST(AcmStreamConvert, NeedsAPreparedHeaderWithinItsPreparedLengths) {
  Bytes law = MakeFormat(WAVE_FORMAT_MULAW, 1, 8000, 1, 8);
  Stream s(law);
  Bytes in(64, 0xFF), out(128);
  ACMSTREAMHEADER h{};
  h.cbStruct = sizeof(h);
  h.pbSrc = in.data();
  h.cbSrcLength = 64;
  h.pbDst = out.data();
  h.cbDstLength = 128;
  EXPECT_EQ(acmStreamConvert(s.has, &h, 0), ACMERR_UNPREPARED);
  EXPECT_EQ(acmStreamUnprepareHeader(s.has, &h, 0), ACMERR_UNPREPARED);
  ASSERT_EQ(acmStreamPrepareHeader(s.has, &h, 0), MMSYSERR_NOERROR);
  EXPECT_TRUE(h.fdwStatus & ACMSTREAMHEADER_STATUSF_PREPARED);
  h.cbSrcLength = 65;
  EXPECT_EQ(acmStreamConvert(s.has, &h, 0), MMSYSERR_INVALPARAM);
  h.cbSrcLength = 10;
  EXPECT_EQ(acmStreamConvert(s.has, &h, 0x40), MMSYSERR_INVALFLAG);
  ASSERT_EQ(acmStreamConvert(s.has, &h, ACM_STREAMCONVERTF_BLOCKALIGN | ACM_STREAMCONVERTF_START),
            MMSYSERR_NOERROR);
  EXPECT_EQ(h.cbSrcLengthUsed, 10u);
  EXPECT_EQ(h.cbDstLengthUsed, 20u);
  EXPECT_EQ(acmStreamUnprepareHeader(s.has, &h, 0), MMSYSERR_INVALPARAM) << "length not restored";
  h.cbSrcLength = 64;
  EXPECT_EQ(acmStreamUnprepareHeader(s.has, &h, 0), MMSYSERR_NOERROR);
  EXPECT_FALSE(h.fdwStatus & ACMSTREAMHEADER_STATUSF_PREPARED);
  h.cbStruct = sizeof(h) - 1;
  EXPECT_EQ(acmStreamPrepareHeader(s.has, &h, 0), MMSYSERR_INVALPARAM);
  EXPECT_EQ(acmStreamPrepareHeader(nullptr, &h, 0), MMSYSERR_INVALHANDLE);
}

TEST(AcmStreamConvert, ConvertsOnlyWholeBlocksThatFitTheDestination) {
  Bytes ms = MakeMsAdpcmFormat(1, 256, 500);
  Stream s(ms);
  Bytes data(3 * 256 + 100, 0x5A);
  const Converted small =
      Convert(s.has, data.data(), data.size(), 999, ACM_STREAMCONVERTF_BLOCKALIGN);
  EXPECT_EQ(small.result, MMSYSERR_NOERROR);
  EXPECT_EQ(small.srcUsed, 0u);
  EXPECT_EQ(small.dstUsed, 0u);
  const Converted two =
      Convert(s.has, data.data(), data.size(), 2 * 1000 + 999, ACM_STREAMCONVERTF_BLOCKALIGN);
  EXPECT_EQ(two.srcUsed, 512u);
  EXPECT_EQ(two.dstUsed, 2000u);
  const Converted aligned = Convert(s.has, data.data(), data.size(), 8000,
                                    ACM_STREAMCONVERTF_BLOCKALIGN | ACM_STREAMCONVERTF_END);
  EXPECT_EQ(aligned.srcUsed, 768u) << "block alignment leaves the partial block";
  const Converted all = Convert(s.has, data.data(), data.size(), 8000, ACM_STREAMCONVERTF_END);
  EXPECT_EQ(all.srcUsed, data.size());
  EXPECT_EQ(all.dstUsed, 3000u + 2 * (2 * (100 - 7) + 2));
  EXPECT_TRUE(std::equal(aligned.pcm.begin(), aligned.pcm.end(), all.pcm.begin()));
}

// ---------------------------------------------------------------------------------------------
// Hostile input

TEST(AcmHostileFormats, AreRefusedBySuggestAndOpen) {
  std::vector<std::pair<const char*, Bytes>> cases = {
      {"PCM", MakeFormat(WAVE_FORMAT_PCM, 2, 8000, 4, 16)},
      {"extensible",
       MakeFormat(WAVE_FORMAT_EXTENSIBLE, 2, 8000, 4, 16, {16, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0})},
      {"MPEG layer 3", MakeFormat(0x55, 2, 8000, 1, 0, {1, 2, 0, 1, 0, 0})},
      {"law channels 0", MakeFormat(WAVE_FORMAT_MULAW, 0, 8000, 0, 8)},
      {"law channels 9", MakeFormat(WAVE_FORMAT_MULAW, 9, 8000, 9, 8)},
      {"law 16 bits", MakeFormat(WAVE_FORMAT_ALAW, 1, 8000, 2, 16)},
      {"law block align 0", MakeFormat(WAVE_FORMAT_ALAW, 1, 8000, 0, 8)},
      {"law rate 0", MakeFormat(WAVE_FORMAT_ALAW, 1, 0, 1, 8)},
      {"law rate too high", MakeFormat(WAVE_FORMAT_ALAW, 8, 0x20000000, 8, 8)},
      {"IMA channels 0", MakeFormat(WAVE_FORMAT_IMA_ADPCM, 0, 8000, 256, 4, {505})},
      {"IMA channels 3", MakeFormat(WAVE_FORMAT_IMA_ADPCM, 3, 8000, 768, 4, {505})},
      {"IMA 3 bits", MakeFormat(WAVE_FORMAT_IMA_ADPCM, 1, 8000, 256, 3, {505})},
      {"IMA block align 0", MakeFormat(WAVE_FORMAT_IMA_ADPCM, 1, 8000, 0, 4, {1})},
      {"IMA block align below header", MakeFormat(WAVE_FORMAT_IMA_ADPCM, 2, 8000, 4, 4, {1})},
      {"IMA block align not whole groups",
       MakeFormat(WAVE_FORMAT_IMA_ADPCM, 2, 8000, 260, 4, {249})},
      {"IMA huge block align", MakeFormat(WAVE_FORMAT_IMA_ADPCM, 1, 8000, 65532, 4, {65529})},
      {"IMA samples per block off by one",
       MakeFormat(WAVE_FORMAT_IMA_ADPCM, 1, 8000, 256, 4, {504})},
      {"IMA no extra bytes", MakeFormat(WAVE_FORMAT_IMA_ADPCM, 1, 8000, 256, 4)},
      {"MS channels 3", MakeMsAdpcmFormat(3, 1024, 500)},
      {"MS block align 0", MakeMsAdpcmFormat(1, 0, 500)},
      {"MS block align below header", MakeMsAdpcmFormat(2, 13, 2)},
      {"MS samples per block beyond block", MakeMsAdpcmFormat(1, 256, 501)},
      {"MS samples per block 1", MakeMsAdpcmFormat(1, 256, 1)},
      {"MS 6 coefficients", MakeMsAdpcmFormat(1, 256, 500, 6)},
      {"MS 5 bits", MakeFormat(WAVE_FORMAT_ADPCM, 1, 8000, 256, 5, {500, 7})},
  };
  // wNumCoef 7 with room for only 6 pairs, and cbSize 3 for the two words it must hold.
  Bytes shortCoefficients = MakeMsAdpcmFormat(1, 256, 500);
  shortCoefficients.resize(shortCoefficients.size() - 4);
  PutU16(shortCoefficients, 16, static_cast<unsigned>(shortCoefficients.size() - 18));
  cases.push_back({"MS coefficients past cbSize", shortCoefficients});
  Bytes oddExtra = MakeFormat(WAVE_FORMAT_ADPCM, 1, 8000, 256, 4, {500, 0});
  oddExtra.pop_back();
  PutU16(oddExtra, 16, 3);
  cases.push_back({"MS cbSize 3", oddExtra});

  for (auto& [name, format] : cases) {
    WAVEFORMATEX pcm = PcmFor(std::max<unsigned>(format[2], 1), GetU32(&format[4]));
    EXPECT_EQ(acmFormatSuggest(nullptr, Wfx(format), &pcm, sizeof(pcm), 0), ACMERR_NOTPOSSIBLE)
        << name;
    HACMSTREAM has = nullptr;
    EXPECT_EQ(acmStreamOpen(&has, nullptr, Wfx(format), &pcm, nullptr, 0, 0, 0), ACMERR_NOTPOSSIBLE)
        << name;
    EXPECT_EQ(has, nullptr) << name;
  }
}

TEST(AcmHostileBlocks, OutOfRangeIndicesDecodeAsTheirClampedValues) {
  std::mt19937 random(7);
  Bytes block(256);
  for (uint8_t& b : block) b = static_cast<uint8_t>(random());

  Bytes ima = MakeImaFormat(1, 256);
  Stream imaStream(ima);
  block[2] = 200;
  const Bytes wild = Convert(imaStream.has, block.data(), 256, 1010, 0).pcm;
  block[2] = 88;
  const Bytes top = Convert(imaStream.has, block.data(), 256, 1010, 0).pcm;
  EXPECT_EQ(wild.size(), 1010u);
  EXPECT_EQ(wild, top) << "step index 200 counts as 88";

  Bytes ms = MakeMsAdpcmFormat(1, 256, 500);
  Stream msStream(ms);
  block[0] = 9;
  const Bytes nine = Convert(msStream.has, block.data(), 256, 1000, 0).pcm;
  block[0] = 0;
  const Bytes zero = Convert(msStream.has, block.data(), 256, 1000, 0).pcm;
  EXPECT_EQ(nine.size(), 1000u);
  EXPECT_EQ(nine, zero) << "predictor index 9 of 7 counts as 0";
}

TEST(AcmHostileBlocks, ExtremeHeadersAndSlackBlocksStayInBounds) {
  // Largest deltas and samples with all-negative nibbles saturate instead of overflowing.
  Bytes ms = MakeMsAdpcmFormat(1, 65535, 65535);
  Stream s(ms);
  ASSERT_EQ(s.opened, MMSYSERR_NOERROR);
  Bytes block(65535, 0x88);
  block[0] = 1;  // coefficients (512, -256)
  for (int i = 1; i < 7; ++i) block[i] = (i % 2) ? 0xFF : 0x7F;
  Converted c =
      Convert(s.has, block.data(), block.size(), 65535 * 2, ACM_STREAMCONVERTF_BLOCKALIGN);
  EXPECT_EQ(c.srcUsed, 65535u);
  EXPECT_EQ(c.dstUsed, 65535u * 2);
  DWORD size = 0;
  EXPECT_EQ(acmStreamSize(s.has, 0xFFFFFFFF, &size, ACM_STREAMSIZEF_SOURCE), ACMERR_NOTPOSSIBLE);
  // A partial block that holds more than wSamplesPerBlock frames gives wSamplesPerBlock frames.
  Bytes slack = MakeMsAdpcmFormat(1, 1000, 100);
  Stream t(slack);
  c = Convert(t.has, block.data(), 999, 4000, ACM_STREAMCONVERTF_END);
  EXPECT_EQ(c.srcUsed, 999u);
  EXPECT_EQ(c.dstUsed, 200u);
}

TEST(AcmHostileBlocks, RandomBytesThroughEveryFormatNeverCrash) {
  std::vector<Bytes> formats = {MakeFormat(WAVE_FORMAT_MULAW, 3, 8000, 3, 8),
                                MakeFormat(WAVE_FORMAT_ALAW, 1, 8000, 1, 8),
                                MakeImaFormat(1, 36),
                                MakeImaFormat(2, 2048),
                                MakeMsAdpcmFormat(1, 7, 2),
                                MakeMsAdpcmFormat(2, 300, 200, 40)};
  std::mt19937 random(12345);
  for (Bytes& format : formats) {
    Stream s(format);
    ASSERT_EQ(s.opened, MMSYSERR_NOERROR);
    for (int round = 0; round < 40; ++round) {
      Bytes data(random() % 5000);
      for (uint8_t& b : data) b = static_cast<uint8_t>(random());
      const DWORD flags = random() % 2 ? ACM_STREAMCONVERTF_BLOCKALIGN : ACM_STREAMCONVERTF_END;
      const size_t dstBytes = random() % 20000;
      const Converted c = Convert(s.has, data.data(), data.size(), dstBytes, flags);
      EXPECT_EQ(c.result, MMSYSERR_NOERROR);
      DWORD expectedOut = 0;
      const DWORD blockAlign = format[12] | (format[13] << 8);
      if (c.srcUsed != 0 && c.srcUsed % blockAlign == 0) {
        acmStreamSize(s.has, c.srcUsed, &expectedOut, ACM_STREAMSIZEF_SOURCE);
        EXPECT_EQ(c.dstUsed, expectedOut);
      }
    }
  }
}

}  // namespace
