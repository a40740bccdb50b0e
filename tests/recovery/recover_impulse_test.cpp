// RecoverImpulse at its edges: a test file of N = 1024 with SpikeSpacing 1100, played through a
// plain wire, so the recovered impulse is a single peak.
#include "impulse/wave_reader.h"
#include "platform/file.h"
#include "platform/wave_format.h"
#include "tests/recovery/recovery_test_util.h"

namespace recovery_test {
namespace {

constexpr DWORD kN = 1024, kS = 1100, kTrimmed = 2 * kS + kN - 40;

class Recovery : public ::testing::Test {
 protected:
  Recovery() {
    folder_.Set("SpikeSpacing", kS);
    EXPECT_EQ(WriteTestSignalFile(test_.c_str(), {kN, kS, 40, 44100, 1, 16, -24.0}), 0);
    x_ = ReadChannel(test_, 0, kN + 2 * kS);
  }
  // The test file from `first` on, one channel per gain.
  void Record(const std::vector<double>& gains, int bits = 16, size_t first = 0,
              size_t frames = kTrimmed, unsigned rate = 44100) {
    std::vector<Signal> channels;
    for (double gain : gains) {
      channels.emplace_back(x_.begin() + first, x_.begin() + first + frames);
      for (double& v : channels.back()) v *= gain;
    }
    WriteWave(recorded_, channels, bits, rate);
  }
  int Run(LONG mode = kSpikeModeFileEnds, BOOL lowCut = FALSE) {
    const int cancelAtStep = progress_.cancelAtStep;
    progress_ = Progress();
    progress_.cancelAtStep = cancelAtStep;
    messages_ = Messages();
    return RecoverImpulse({test_.c_str(), recorded_.c_str(), out_.c_str(), mode, lowCut}, progress_,
                          messages_);
  }
  // Format tag, channels, rate, bits and frames of the output file.
  std::vector<DWORD> Header() const {
    WaveReader r = {};
    if (WaveReader_Open(out_.c_str(), &r, false) != 0) return {0, 0, 0, 0, 0};
    const WORD tag = r.sampleKind == WaveSampleKind::Float ? WAVE_FORMAT_IEEE_FLOAT : WAVE_FORMAT_PCM;
    std::vector<DWORD> h = {tag, r.channels, r.sampleRate, 8 * r.bytesPerSample, r.frames};
    WaveReader_Close(&r);
    return h;
  }
  Signal Channel(DWORD channel) const { return ReadChannel(out_, channel, Header()[4]); }
  void ExpectOnlyMessage(int code) const {
    EXPECT_EQ(messages_.shown, std::vector<WString>{RecoveryMessageText(code)});
    EXPECT_EQ(messages_.captions, std::vector<WString>{NXW("Auralith")});
    EXPECT_EQ(progress_.begins, progress_.ends);
  }

  Folder folder_;
  WString test_ = folder_ / "test.wav", recorded_ = folder_ / "rec.wav", out_ = folder_ / "ir.wav";
  Signal x_;
  Progress progress_;
  Messages messages_;
};

TEST_F(Recovery, RefusalsBeforeTheProgressWindow) {
  const WString garbage = folder_ / "garbage", none = folder_ / "none.wav", empty;
  std::ofstream(std::string(garbage.begin(), garbage.end())) << "not a wave";
  struct Case {
    long spacing;
    size_t frames;
    const WString *test, *recorded, *output;
    int result;
  };
  for (const Case& c :
       {Case{kS, kTrimmed, &test_, &recorded_, &empty, kRecoveryNamesMissing},
        Case{kS, kTrimmed, &test_, &none, &out_, kRecoveryRecordingNotFound},
        Case{kS, kTrimmed, &garbage, &recorded_, &out_, kRecoveryTestReadFailed},
        Case{kS, kTrimmed, &test_, &garbage, &out_, kRecoveryRecordingReadFailed},
        Case{kS, kN / 2 - 1, &test_, &recorded_, &out_, kRecoveryRecordingTooSmall},
        Case{1000, kTrimmed, &test_, &recorded_, &out_, kRecoveryNotATestFile},  // N = 1248
        Case{-1, kTrimmed, &test_, &recorded_, &out_, kRecoveryNotATestFile}}) {
    folder_.Set("SpikeSpacing", c.spacing);
    Record({1.0}, 16, 0, c.frames);
    messages_ = Messages{};
    EXPECT_EQ(RecoverImpulse({c.test->c_str(), c.recorded->c_str(), c.output->c_str(),
                              kSpikeModeFileEnds, FALSE},
                             progress_, messages_),
              c.result);
    ExpectOnlyMessage(c.result);
    EXPECT_EQ(progress_.begins, 0);
  }
  EXPECT_FALSE(NxFileExists(out_.c_str()));
}

// The recording decides the format unless OutBits does, the rate is 44100 Hz whatever the
// recording's, the louder channel peaks at full scale ImpulsePreSamples frames in, and the other
// keeps its balance. More than two channels give two; a silent take gives a silent file.
TEST_F(Recovery, FormatsScaleAndBalance) {
  struct Case {
    int bits;
    long outBits;
    unsigned rate;
    std::vector<double> gains;
    std::vector<DWORD> header;
    double left, right;
  };
  for (const Case& c : {Case{16, 0, 48000, {1.0}, {1, 1, 44100, 16, kN}, 32766, 0},
                        Case{24, 0, 44100, {1.0}, {3, 1, 44100, 32, kN}, 32768, 0},
                        Case{16, 32, 22050, {1.0}, {3, 1, 44100, 32, kN}, 32768, 0},
                        Case{8, 0, 44100, {1.0}, {1, 1, 44100, 16, kN}, 32766, 0},
                        Case{0, 16, 44100, {0.5, 1.0}, {1, 2, 44100, 16, kN}, 16383, 32766},
                        Case{0, 16, 44100, {1.0, 0.25}, {1, 2, 44100, 16, kN}, 32766, 8192},
                        Case{0, 0, 44100, {0.5, 1.0}, {3, 2, 44100, 32, kN}, 16384, 32768},
                        Case{0, 16, 44100, {1.0, 0.5, 0.9}, {1, 2, 44100, 16, kN}, 32766, 16383},
                        Case{16, 0, 44100, {0.0, 0.0}, {1, 2, 44100, 16, kN}, 0, 0}}) {
    SCOPED_TRACE(c.bits * 1000 + c.outBits);
    folder_.Set("OutBits", c.outBits);
    Record(c.gains, c.bits, 0, kTrimmed, c.rate);
    ASSERT_EQ(Run(), kRecoveryOk);
    ExpectOnlyMessage(kRecoveryOk);
    ASSERT_EQ(Header(), c.header);
    const Signal left = Channel(0);
    EXPECT_NEAR(left[1000], c.left, 0.5);
    EXPECT_EQ(std::max_element(left.begin(), left.end()) - left.begin(), c.left != 0 ? 1000 : 0);
    if (c.header[1] == 2) {
      EXPECT_NEAR(Channel(1)[1000], c.right, 0.5);
    }
  }
}

// Without spikes the window is placed around the largest sample (here frame 724 of the
// circular result) and read circularly.
TEST_F(Recovery, StoredWindow) {
  struct Case {
    long pre, maxStored;
    DWORD frames;
    long peakAt;
  };
  for (const Case& c : {Case{1000, 262144, kN, 1000}, Case{0, 500, 500, 0}, Case{5000, 1, 2, -1},
                        Case{-3, 1000, 1000, -1}, Case{-1000, 1024, 1024, 24}}) {
    folder_.Set("ImpulsePreSamples", c.pre);
    folder_.Set("MaxStoredImpulse", c.maxStored);
    Record({1.0}, 16, kS + 300, kN);
    ASSERT_EQ(Run(kSpikeModeNone), kRecoveryOk);
    ASSERT_EQ(Header()[4], c.frames);
    const Signal left = Channel(0);
    if (c.peakAt >= 0) {
      EXPECT_EQ(std::max_element(left.begin(), left.end()) - left.begin(), c.peakAt);
    }
  }
}

TEST_F(Recovery, LowFrequenciesRemoved) {
  folder_.Set("LowCutFreq", 2000);
  folder_.Set("OutBits", 32);
  Record({1.0});
  ASSERT_EQ(Run(kSpikeModeFileEnds, TRUE), kRecoveryOk);
  const Spectrum h = SpectrumOf(Channel(0), kN);
  // MulDiv(2000, 1024, 22050) = 93 clears bins 0 to 46 (up to 1981 Hz).
  for (int bin : {0, 1, 20, 46}) EXPECT_LT(std::abs(h[bin]), 1e-4 * std::abs(h[47])) << bin;
  EXPECT_NEAR(std::abs(h[47]), std::abs(h[300]), 1e-4 * std::abs(h[300]));
}

// A cancel at any report, also while resampling, ends the run silently with the window closed.
// The transforms also report on a timer, so runs differ in their count of reports: the cancels
// go on until a run ends before the report it was to cancel at.
TEST_F(Recovery, CancelAtEveryStep) {
  Record({1.0, 0.7}, 16, 0, kTrimmed + 7);  // a clock error, so both channels are resampled
  ASSERT_EQ(Run(), kRecoveryOk);
  EXPECT_TRUE(progress_.positionsOk);
  EXPECT_EQ(progress_.beginText, NXW("Recovering Impulse"));
  EXPECT_EQ(progress_.texts, (std::vector<WString>{NXW("Resampling"), NXW("Recovering Impulse"),
                                                   NXW("Resampling"), NXW("Recovering Impulse")}));
  for (int at = 1;; ++at) {
    progress_.cancelAtStep = at;
    const int result = Run();
    if (result == kRecoveryOk && progress_.steps < at) break;
    EXPECT_EQ(result, kRecoveryCancelled) << at;
    EXPECT_TRUE(messages_.shown.empty());
    EXPECT_EQ(progress_.begins * 10 + progress_.ends, 11);
  }
}

// (A cancelled spike question: the timing spike cases.)
TEST_F(Recovery, FailuresAfterTheProgressWindowOpened) {
  Record({1.0});
  folder_.Set("SpikeLength", 2 * kS + kN);  // leaves no spike distance
  EXPECT_EQ(Run(), kRecoveryNotATestFile);
  ExpectOnlyMessage(kRecoveryNotATestFile);
  folder_.Set("SpikeLength", 40);
  out_ = folder_ / "no/such/folder/ir.wav";
  EXPECT_EQ(Run(), kRecoveryWriteFailed);
  ExpectOnlyMessage(kRecoveryWriteFailed);
}

// Every code shows its own text under "Auralith"; the three questions are Yes/No/Cancel with
// No the default; cancels show nothing and an unknown code shows an empty text.
TEST(RecoveryMessages, TextsCaptionsAndStyles) {
  const std::vector<int> questions = {-1248, -1246, -1245};
  std::vector<WString> texts;
  for (int code : {0, -1252, -1251, -1250, -1249, -1248, -1247, -1246, -1245, -1243, -1242, -1240,
                   -1239, -1238, -1237, 64300, 12345, 1, -1253}) {
    Messages messages;
    messages.answers = {kRecoveryAnswerCancel};
    const bool silent = code == 1 || code == -1253;
    EXPECT_EQ(ShowRecoveryMessage(messages, code),
              silent ? kRecoveryAnswerNone : kRecoveryAnswerCancel);
    if (silent) continue;
    const bool question = std::count(questions.begin(), questions.end(), code) != 0;
    EXPECT_EQ(messages.styles[0], question ? 0x123u : code == 0 ? 0u : 0x40u) << code;
    EXPECT_EQ(messages.captions[0], NXW("Auralith"));
    EXPECT_EQ(std::count(texts.begin(), texts.end(), messages.shown[0]), 0) << code;
    texts.push_back(messages.shown[0]);
  }
  EXPECT_EQ(texts[6], NXW("The end spike was not found."));
  EXPECT_EQ(
      texts[8],
      NXW("The level of the first spike is low.\n\nDo you wish to use it as a timing spike?"));
  EXPECT_EQ(texts[16], NXW(""));
}

}  // namespace
}  // namespace recovery_test
