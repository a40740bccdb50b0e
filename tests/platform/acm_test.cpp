#include "platform/acm.h"

#include "tests/support/test_support.h"

#include <algorithm>
#include <cstdint>

namespace {

// A format record of exactly 18 + 2 * extra.size() bytes, so that reading past it trips ASan.
Bytes MakeFormat(WORD tag, WORD channels, DWORD rate, WORD blockAlign, WORD bits,
                 std::initializer_list<DWORD> extra = {}) {
  return Fmt(tag, channels, rate, blockAlign, bits, Le(extra, 2), true);
}

// `pairs` coefficient pairs counted, `stored` of them present.
Bytes MakeMsAdpcmFormat(WORD channels, WORD blockAlign, DWORD samplesPerBlock, DWORD pairs = 7,
                        DWORD stored = ~0u) {
  const int16_t kStandard[7][2] = {{256, 0}, {512, -256}, {0, 0},     {192, 64},
                                   {240, 0}, {460, -208}, {392, -232}};
  Bytes extra = Le({samplesPerBlock, pairs}, 2);
  for (unsigned i = 0; i < std::min(pairs, stored); ++i)
    extra += Le({WORD(kStandard[i % 7][0]), WORD(kStandard[i % 7][1])}, 2);
  return Fmt(WAVE_FORMAT_ADPCM, channels, 8000, blockAlign, 4, extra, true);
}

Bytes MakeImaFormat(WORD channels, WORD blockAlign) {
  return MakeFormat(WAVE_FORMAT_IMA_ADPCM, channels, 8000, blockAlign, 4,
                    {(blockAlign / (4u * channels) - 1) * 8 + 1});
}

Bytes Pcm(WORD channels, DWORD rate) {
  return MakeFormat(WAVE_FORMAT_PCM, channels, rate, static_cast<WORD>(2 * channels), 16);
}

LPWAVEFORMATEX Wfx(Bytes& record) { return reinterpret_cast<LPWAVEFORMATEX>(record.data()); }

// An open stream to the suggested PCM that closes itself.
struct Stream {
  HACMSTREAM has = nullptr;
  MMRESULT opened;
  explicit Stream(Bytes& format) {
    Bytes pcm = Pcm(format[2], GetLe(format, 4));
    opened = acmStreamOpen(&has, nullptr, Wfx(format), Wfx(pcm), nullptr, 0, 0,
                           ACM_STREAMOPENF_NONREALTIME);
  }
  ~Stream() {
    if (has != nullptr) acmStreamClose(has, 0);
  }
};

struct Converted {
  MMRESULT result;
  DWORD srcUsed, dstUsed;
  Bytes pcm;
};

// One conversion with a freshly prepared header over copies of exactly the given sizes.
Converted Convert(HACMSTREAM has, const uint8_t* src, size_t srcBytes, size_t dstBytes,
                  DWORD flags) {
  Bytes in(src, src + srcBytes), out(dstBytes);
  ACMSTREAMHEADER h{sizeof(h), 0, 0, in.data(), static_cast<DWORD>(in.size()), 0, 0, out.data(),
                    static_cast<DWORD>(out.size()), 0, 0, {}};
  Converted c{acmStreamPrepareHeader(has, &h, 0), 0, 0, {}};
  if (c.result != MMSYSERR_NOERROR) return c;
  c.result = acmStreamConvert(has, &h, flags);
  c.srcUsed = h.cbSrcLengthUsed;
  c.dstUsed = h.cbDstLengthUsed;
  EXPECT_TRUE(c.srcUsed <= srcBytes && c.dstUsed <= dstBytes);
  EXPECT_TRUE(h.fdwStatus & ACMSTREAMHEADER_STATUSF_DONE);
  EXPECT_EQ(acmStreamUnprepareHeader(has, &h, 0), MMSYSERR_NOERROR);
  c.pcm.assign(out.begin(), out.begin() + std::min<size_t>(c.dstUsed, out.size()));
  return c;
}

// ---------------------------------------------------------------------------------------------
// Every law code against sox's expansion (whole ADPCM and law files from sox, ffmpeg and
// libsndfile are compared through the wave loader in the impulse suite).

TEST(AcmAgainstSox, EveryLawCodeExpandsLikeSox) {
  REQUIRE_TOOL("sox");
  TempFolder dir;
  Bytes codes(256);
  for (int i = 0; i < 256; ++i) codes[i] = static_cast<uint8_t>(i);
  dir.Write("codes.raw", codes);
  for (const auto& [encoding, tag] : {std::pair<const char*, WORD>{"u-law", WAVE_FORMAT_MULAW},
                                      std::pair<const char*, WORD>{"a-law", WAVE_FORMAT_ALAW}}) {
    ASSERT_TRUE(RunTool("sox -t raw -r 8000 -c 1 -e " + std::string(encoding) + " -b 8 " +
                        (dir / "codes.raw") + " -t raw -e signed -b 16 " + (dir / "pcm.raw")));
    Bytes format = MakeFormat(tag, 1, 8000, 1, 8);
    Stream stream(format);
    const Converted c = Convert(stream.has, codes.data(), 256, 512, ACM_STREAMCONVERTF_END);
    EXPECT_EQ(c.pcm, dir.Read("pcm.raw")) << encoding;  // little-endian 16-bit, as ours
  }
}

// ---------------------------------------------------------------------------------------------
// The calls' contract

using Results = std::vector<MMRESULT>;

// The wave reader asks for 16-bit PCM of the source's channels and rate, and opens to that.
TEST(AcmFormatSuggest, SuggestsSixteenBitPcmAndHonoursOnlyPossibleConstraints) {
  Bytes ima = MakeImaFormat(2, 512), out(20, 0xEE),
        bits8 = MakeFormat(WAVE_FORMAT_PCM, 2, 8000, 4, 8), mono = Pcm(1, 8000),
        flt = MakeFormat(WAVE_FORMAT_IEEE_FLOAT, 2, 8000, 4, 16);
  const auto suggest = [&](Bytes* src, Bytes& dst, DWORD size, DWORD flags) {
    return acmFormatSuggest(nullptr, src ? Wfx(*src) : nullptr, Wfx(dst), size, flags);
  };
  ASSERT_EQ(suggest(&ima, out, 16, 0), MMSYSERR_NOERROR);
  EXPECT_EQ(out[16], 0xEE) << "only 16 bytes were offered";
  ASSERT_EQ(suggest(&ima, out, 20, ACM_FORMATSUGGESTF_NCHANNELS), 0u);
  EXPECT_EQ(Bytes(out.begin(), out.begin() + 18), Pcm(2, 8000));
  EXPECT_EQ((Results{suggest(&ima, bits8, 18, ACM_FORMATSUGGESTF_WBITSPERSAMPLE),
                     suggest(&ima, mono, 18, ACM_FORMATSUGGESTF_NCHANNELS),
                     suggest(&ima, flt, 18, ACM_FORMATSUGGESTF_WFORMATTAG),
                     suggest(&ima, out, 15, 0), suggest(nullptr, out, 20, 0)}),
            (Results{ACMERR_NOTPOSSIBLE, ACMERR_NOTPOSSIBLE, ACMERR_NOTPOSSIBLE,
                     MMSYSERR_INVALPARAM, MMSYSERR_INVALPARAM}));
}

TEST(AcmStreamOpen, OpensOnlyToTheSuggestedPcmQueriesWithoutAHandleAndClosesOnce) {
  Bytes law = MakeFormat(WAVE_FORMAT_ALAW, 2, 44100, 2, 8), pcm = Pcm(2, 44100),
        mono = Pcm(1, 44100), rate = Pcm(2, 48000);
  HACMSTREAM has = reinterpret_cast<HACMSTREAM>(&pcm);
  const auto open = [&](HACMSTREAM* phas, Bytes& dst, DWORD flags) {
    return acmStreamOpen(phas, nullptr, Wfx(law), Wfx(dst), nullptr, 0, 0, flags);
  };
  EXPECT_EQ((Results{open(nullptr, pcm, ACM_STREAMOPENF_QUERY), open(nullptr, pcm, 0),
                     open(&has, mono, 0), open(&has, rate, 0)}),
            (Results{MMSYSERR_NOERROR, MMSYSERR_INVALPARAM, ACMERR_NOTPOSSIBLE,
                     ACMERR_NOTPOSSIBLE}));
  EXPECT_EQ(has, nullptr);
  ASSERT_EQ(open(&has, pcm, ACM_STREAMOPENF_NONREALTIME), MMSYSERR_NOERROR);
  EXPECT_EQ((Results{acmStreamClose(has, 0), acmStreamClose(has, 0)}),
            (Results{MMSYSERR_NOERROR, MMSYSERR_INVALHANDLE}));
}

TEST(AcmStreamSize, CountsWholeBlocksBothWaysAndRefusesWhatDoesNotFit32Bits) {
  Bytes ima = MakeImaFormat(2, 1024), law = MakeFormat(WAVE_FORMAT_MULAW, 2, 8000, 2, 8);
  Stream s(ima), l(law);  // 1017 frames an IMA block; a law block is one frame
  const DWORD src = ACM_STREAMSIZEF_SOURCE, dst = ACM_STREAMSIZEF_DESTINATION;
  const struct {
    HACMSTREAM has;
    DWORD input, flags;
    MMRESULT result;
    DWORD output;
  } cases[] = {
      // clang-format off
      {s.has, 0, src, 0, 0},              {s.has, 1023, src, ACMERR_NOTPOSSIBLE, 0},
      {s.has, 4072, src, 0, 3 * 1017 * 4}, {s.has, 1, dst, 0, 1024},
      {s.has, 1017 * 4, dst, 0, 1024},    {s.has, 1017 * 4 + 4, dst, 0, 2048},
      {s.has, 0xFFFFFFFF, src, ACMERR_NOTPOSSIBLE, 0}, {s.has, 100, 2, MMSYSERR_INVALFLAG, 7},
      {l.has, 7, src, 0, 12},             {l.has, 7, dst, 0, 4},
      {l.has, 0x80000000u, src, ACMERR_NOTPOSSIBLE, 0},
      // clang-format on
  };
  for (const auto& c : cases) {
    DWORD out = 7;
    EXPECT_EQ(acmStreamSize(c.has, c.input, &out, c.flags), c.result) << c.input;
    EXPECT_EQ(out, c.output) << c.input;
  }
  EXPECT_EQ(acmStreamSize(s.has, 100, nullptr, 0), MMSYSERR_INVALPARAM);
}

TEST(AcmStreamConvert, NeedsAPreparedHeaderWithinItsPreparedLengths) {
  Bytes law = MakeFormat(WAVE_FORMAT_MULAW, 1, 8000, 1, 8), in(64, 0xFF), out(128);
  Stream s(law);
  ACMSTREAMHEADER h{sizeof(h), 0, 0, in.data(), 64, 0, 0, out.data(), 128, 0, 0, {}};
  EXPECT_EQ((Results{acmStreamConvert(s.has, &h, 0), acmStreamUnprepareHeader(s.has, &h, 0)}),
            (Results{ACMERR_UNPREPARED, ACMERR_UNPREPARED}));
  ASSERT_EQ(acmStreamPrepareHeader(s.has, &h, 0), MMSYSERR_NOERROR);
  EXPECT_TRUE(h.fdwStatus & ACMSTREAMHEADER_STATUSF_PREPARED);
  h.cbSrcLength = 65;
  EXPECT_EQ(acmStreamConvert(s.has, &h, 0), MMSYSERR_INVALPARAM) << "beyond the prepared length";
  h.cbSrcLength = 10;
  ASSERT_EQ(acmStreamConvert(s.has, &h, ACM_STREAMCONVERTF_BLOCKALIGN | ACM_STREAMCONVERTF_START),
            0u);
  EXPECT_TRUE(h.cbSrcLengthUsed == 10 && h.cbDstLengthUsed == 20);
  EXPECT_EQ(acmStreamUnprepareHeader(s.has, &h, 0), MMSYSERR_INVALPARAM) << "length not restored";
  h.cbSrcLength = 64;
  EXPECT_EQ(acmStreamUnprepareHeader(s.has, &h, 0), MMSYSERR_NOERROR);
  EXPECT_FALSE(h.fdwStatus & ACMSTREAMHEADER_STATUSF_PREPARED);
}

TEST(AcmStreamConvert, ConvertsOnlyWholeBlocksThatFitTheDestination) {
  Bytes ms = MakeMsAdpcmFormat(1, 256, 500), data(3 * 256 + 100, 0x5A);
  Stream s(ms);
  const auto convert = [&](size_t dst, DWORD flags) {
    const Converted c = Convert(s.has, data.data(), data.size(), dst, flags);
    return std::vector<size_t>{c.result, c.srcUsed, c.dstUsed};
  };
  const DWORD align = ACM_STREAMCONVERTF_BLOCKALIGN, end = ACM_STREAMCONVERTF_END;
  EXPECT_EQ(convert(999, align), (std::vector<size_t>{0, 0, 0}));
  EXPECT_EQ(convert(2 * 1000 + 999, align), (std::vector<size_t>{0, 512, 2000}));
  // Block alignment leaves the partial block; END alone decodes its 2 * (100 - 7) + 2 frames.
  EXPECT_EQ(convert(8000, align | end), (std::vector<size_t>{0, 768, 3000}));
  EXPECT_EQ(convert(8000, end), (std::vector<size_t>{0, data.size(), 3000 + 2 * 188}));
  const Bytes aligned = Convert(s.has, data.data(), data.size(), 8000, align).pcm;
  EXPECT_TRUE(std::equal(aligned.begin(), aligned.end(),
                         Convert(s.has, data.data(), data.size(), 8000, end).pcm.begin()));
}

// ---------------------------------------------------------------------------------------------
// Hostile input

TEST(AcmHostileFormats, AreRefusedBySuggestAndOpen) {
  const uint16_t ima = WAVE_FORMAT_IMA_ADPCM, law = WAVE_FORMAT_ALAW, mu = WAVE_FORMAT_MULAW;
  const Bytes ext =
      MakeFormat(WAVE_FORMAT_EXTENSIBLE, 2, 8000, 4, 16, {16, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0});
  std::vector<std::pair<const char*, Bytes>> cases = {
      // clang-format off
      {"PCM", Pcm(2, 8000)}, {"extensible", ext},
      {"MPEG layer 3", MakeFormat(0x55, 2, 8000, 1, 0, {1, 2, 0, 1, 0, 0})},
      {"law ch 0", MakeFormat(mu, 0, 8000, 0, 8)}, {"law ch 9", MakeFormat(mu, 9, 8000, 9, 8)},
      {"law 16 bits", MakeFormat(law, 1, 8000, 2, 16)}, {"law a0", MakeFormat(law, 1, 8000, 0, 8)},
      {"law rate 0", MakeFormat(law, 1, 0, 1, 8)}, {"law rate", MakeFormat(law, 8, 1u << 29, 8, 8)},
      {"IMA channels 3", MakeFormat(ima, 3, 8000, 768, 4, {505})},
      {"IMA 3 bits", MakeFormat(ima, 1, 8000, 256, 3, {505})},
      {"IMA align below header", MakeFormat(ima, 2, 8000, 4, 4, {1})},
      {"IMA align not whole groups", MakeFormat(ima, 2, 8000, 260, 4, {249})},
      {"IMA huge align", MakeFormat(ima, 1, 8000, 65532, 4, {65529})},
      {"IMA samples per block - 1", MakeFormat(ima, 1, 8000, 256, 4, {504})},
      {"IMA no extra bytes", MakeFormat(ima, 1, 8000, 256, 4)},
      {"MS ch 3", MakeMsAdpcmFormat(3, 1024, 500)}, {"MS align 0", MakeMsAdpcmFormat(1, 0, 500)},
      {"MS align below header", MakeMsAdpcmFormat(2, 13, 2)},
      {"MS samples beyond block", MakeMsAdpcmFormat(1, 256, 501)},
      {"MS samples 1", MakeMsAdpcmFormat(1, 256, 1)},
      {"MS 6 pairs", MakeMsAdpcmFormat(1, 256, 500, 6)},
      {"MS 5 bits", MakeFormat(WAVE_FORMAT_ADPCM, 1, 8000, 256, 5, {500, 7})},
      {"MS cbSize 3", Fmt(WAVE_FORMAT_ADPCM, 1, 8000, 256, 4, Bytes{0xF4, 1, 0}, true)},
      {"MS coefficients past cbSize", MakeMsAdpcmFormat(1, 256, 500, 7, 6)},
      // clang-format on
  };
  for (auto& [name, format] : cases) {
    Bytes pcm = Pcm(std::max<unsigned>(format[2], 1), GetLe(format, 4));
    EXPECT_EQ(acmFormatSuggest(nullptr, Wfx(format), Wfx(pcm), 18, 0), ACMERR_NOTPOSSIBLE) << name;
    HACMSTREAM has = nullptr;
    EXPECT_EQ(acmStreamOpen(&has, nullptr, Wfx(format), Wfx(pcm), nullptr, 0, 0, 0),
              ACMERR_NOTPOSSIBLE)
        << name;
    EXPECT_EQ(has, nullptr) << name;
  }
}

TEST(AcmHostileBlocks, OutOfRangeIndicesDecodeAsClampedValuesAndExtremesStayInBounds) {
  std::mt19937 random(7);
  Bytes block(256), ima = MakeImaFormat(1, 256), ms = MakeMsAdpcmFormat(1, 256, 500);
  for (uint8_t& b : block) b = static_cast<uint8_t>(random());
  Stream imaStream(ima), msStream(ms);
  const auto decode = [&](const Stream& s, size_t at, uint8_t value, size_t dst) {
    block[at] = value;
    return Convert(s.has, block.data(), 256, dst, 0).pcm;
  };
  EXPECT_EQ(decode(imaStream, 2, 200, 1010), decode(imaStream, 2, 88, 1010))
      << "step index 200 is 88";
  const Bytes nine = decode(msStream, 0, 9, 1000);
  EXPECT_EQ(nine.size(), 1000u);
  EXPECT_EQ(nine, decode(msStream, 0, 0, 1000)) << "predictor index 9 of 7 counts as 0";

  // Largest deltas and samples with all-negative nibbles saturate instead of overflowing.
  Bytes big = MakeMsAdpcmFormat(1, 65535, 65535), extreme(65535, 0x88);
  Stream s(big);
  ASSERT_EQ(s.opened, MMSYSERR_NOERROR);
  extreme[0] = 1;  // coefficients (512, -256)
  for (int i = 1; i < 7; ++i) extreme[i] = (i % 2) ? 0xFF : 0x7F;
  Converted c = Convert(s.has, extreme.data(), 65535, 65535 * 2, ACM_STREAMCONVERTF_BLOCKALIGN);
  EXPECT_TRUE(c.srcUsed == 65535 && c.dstUsed == 65535u * 2);
  // A partial block that holds more than wSamplesPerBlock frames gives wSamplesPerBlock frames.
  Bytes slack = MakeMsAdpcmFormat(1, 1000, 100);
  Stream t(slack);
  c = Convert(t.has, extreme.data(), 999, 4000, ACM_STREAMCONVERTF_END);
  EXPECT_TRUE(c.srcUsed == 999 && c.dstUsed == 200);
}

}  // namespace
