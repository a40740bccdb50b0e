// RecoverImpulse through its edges: a test file of N = 1024 with SpikeSpacing 1100, played
// through a plain wire (the recovered impulse is a single peak), recorded as each case needs.
#include <fstream>

#include "platform/file.h"

#include "tests/recovery/recovery_test_util.h"

namespace recovery_test {
namespace {

constexpr DWORD kN = 1024, kS = 1100, kTrimmed = 2 * kS + kN - 40;

struct Wave {
  WORD tag = 0, channels = 0, bits = 0;
  DWORD rate = 0, frames = 0;
};

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
    return RecoverImpulse({test_.c_str(), recorded_.c_str(), out_.c_str(), mode, lowCut},
                          progress_, messages_);
  }
  Wave Output() const {
    std::ifstream in(std::string(out_.begin(), out_.end()), std::ios::binary);
    unsigned char h[44] = {};
    in.read(reinterpret_cast<char*>(h), 44);
    auto le = [&h](int at, int n) {
      DWORD v = 0;
      for (int i = n - 1; i >= 0; --i) v = v << 8 | h[at + i];
      return v;
    };
    return {WORD(le(20, 2)), WORD(le(22, 2)), WORD(le(34, 2)), le(24, 4),
            le(40, 4) / std::max<DWORD>(1, le(32, 2))};
  }
  std::vector<float> Channel(DWORD channel) const {
    std::vector<float> samples(Output().frames);
    EXPECT_GT(ReadWaveChannel(out_.c_str(), samples.data(), nullptr, DWORD(samples.size()), 0, channel), 0);
    return samples;
  }
  void ExpectOnlyMessage(int code) {
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

TEST_F(Recovery, RefusesBeforeOpeningProgress) {
  struct Case { long spacing; size_t frames; const char* test; const char* output; int result; };
  const Case cases[] = {
      {kS, kTrimmed, "test.wav", "", kRecoveryNamesMissing},
      {kS, kTrimmed, "none.wav", "ir.wav", kRecoveryTestNotFound},
      {kS, kTrimmed, "garbage", "ir.wav", kRecoveryTestReadFailed},
      {kS, kN / 2 - 1, "test.wav", "ir.wav", kRecoveryRecordingTooSmall},
      {1000, kTrimmed, "test.wav", "ir.wav", kRecoveryNotATestFile},  // N = 1248
      {-1, kTrimmed, "test.wav", "ir.wav", kRecoveryNotATestFile},
  };
  const WString garbage = folder_ / "garbage";
  std::ofstream(std::string(garbage.begin(), garbage.end())) << "not a wave";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.result);
    folder_.Set("SpikeSpacing", c.spacing);
    Record({1.0}, 16, 0, c.frames);
    progress_ = Progress();
    messages_ = Messages();
    const WString test = folder_ / c.test, output = c.output[0] ? folder_ / c.output : WString();
    EXPECT_EQ(RecoverImpulse({test.c_str(), recorded_.c_str(), output.c_str(), kSpikeModeFileEnds, FALSE},
                             progress_, messages_), c.result);
    EXPECT_EQ(progress_.begins, 0);
    ExpectOnlyMessage(c.result);
  }
  const WString missing = folder_ / "missing.wav", bad = folder_ / "garbage";
  EXPECT_EQ(RecoverImpulse({test_.c_str(), missing.c_str(), out_.c_str(), kSpikeModeNone, FALSE}, progress_, messages_),
            kRecoveryRecordingNotFound);
  EXPECT_EQ(RecoverImpulse({test_.c_str(), bad.c_str(), out_.c_str(), kSpikeModeNone, FALSE}, progress_, messages_),
            kRecoveryRecordingReadFailed);
  EXPECT_EQ(messages_.shown.back(), RecoveryMessageText(kRecoveryRecordingReadFailed));
  EXPECT_FALSE(NxFileExists(out_.c_str()));
}

// The recording decides the format unless OutBits does; the rate is always 44100 Hz, and the
// peak of the louder channel is full scale at frame ImpulsePreSamples.
TEST_F(Recovery, OutputFormatAndScale) {
  struct Case { int bits; long outBits; unsigned rate; WORD tag, outputBits; };
  for (const Case& c : {Case{16, 0, 48000, 1, 16}, Case{24, 0, 44100, 3, 32}, Case{24, 16, 44100, 1, 16},
                        Case{16, 32, 22050, 3, 32}, Case{8, 0, 44100, 1, 16}, Case{0, 0, 44100, 3, 32}}) {
    SCOPED_TRACE(c.bits * 100 + c.outBits);
    folder_.Set("OutBits", c.outBits);
    Record({1.0}, c.bits, 0, kTrimmed, c.rate);
    ASSERT_EQ(Run(), kRecoveryOk);
    const Wave wave = Output();
    EXPECT_EQ(wave.tag, c.tag);
    EXPECT_EQ(wave.bits, c.outputBits);
    EXPECT_EQ(wave.rate, 44100u);
    EXPECT_EQ(wave.frames, kN);
    const std::vector<float> left = Channel(0);
    EXPECT_EQ(std::max_element(left.begin(), left.end()) - left.begin(), 1000);
    EXPECT_NEAR(left[1000], c.tag == 3 ? 32768.0 : 32766.0, 0.5);
  }
}

// Both channels share the louder one's gain, so the balance of the recording survives; more than
// two channels give a two-channel impulse.
TEST_F(Recovery, StereoBalance) {
  struct Case { std::vector<double> gains; long outBits; float left, right; };
  for (const Case& c : {Case{{0.5, 1.0}, 16, 16383, 32766}, Case{{1.0, 0.25}, 16, 32766, 8192},
                        Case{{0.5, 1.0}, 0, 16384, 32768}, Case{{1.0, 0.5, 0.9}, 16, 32766, 16383}}) {
    folder_.Set("OutBits", c.outBits);
    Record(c.gains, 0);  // float, so that the gains are exact
    ASSERT_EQ(Run(), kRecoveryOk);
    EXPECT_EQ(Output().channels, 2);
    EXPECT_NEAR(Channel(0)[1000], c.left, 0.5);
    EXPECT_NEAR(Channel(1)[1000], c.right, 0.5);
  }
}

TEST_F(Recovery, SilentRecordingGivesSilentFile) {
  Record({0.0, 0.0});
  EXPECT_EQ(Run(), kRecoveryOk);
  ExpectOnlyMessage(kRecoveryOk);
  EXPECT_EQ(messages_.styles, std::vector<UINT>{kRecoveryBoxPlain});
  for (DWORD ch : {0u, 1u}) {
    for (float v : Channel(ch)) ASSERT_EQ(v, 0.0f);
  }
}

// Without spikes the window is placed around the largest sample, read circularly.
TEST_F(Recovery, StoredWindow) {
  struct Case { long pre, maxStored; DWORD frames; long peakAt; };
  for (const Case& c : {Case{1000, 262144, kN, 1000}, Case{0, 500, 500, 0}, Case{5000, 1, 2, -1},
                        Case{-3, 1000, 1000, -1}}) {
    folder_.Set("ImpulsePreSamples", c.pre);
    folder_.Set("MaxStoredImpulse", c.maxStored);
    Record({1.0}, 16, kS + 300, kN);
    ASSERT_EQ(Run(kSpikeModeNone), kRecoveryOk);
    ASSERT_EQ(Output().frames, c.frames);
    const std::vector<float> left = Channel(0);
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
  const std::vector<float> h = Channel(0);
  auto magnitude = [&h](int bin) {
    std::complex<double> sum = 0.0;
    for (size_t i = 0; i < h.size(); ++i) sum += double(h[i]) * std::polar(1.0, 2 * M_PI * bin * i / kN);
    return std::abs(sum);
  };
  // The cut index MulDiv(2000, 1024, 22050) = 93 clears bins 0 to 46 (1981 Hz).
  for (int bin : {0, 1, 20, 46}) EXPECT_LT(magnitude(bin), 1e-3 * magnitude(47)) << bin;
  EXPECT_NEAR(magnitude(47), magnitude(300), 1e-3 * magnitude(300));
}

// A cancel at any progress report ends the run silently, with the window closed.
TEST_F(Recovery, CancelAtEveryStep) {
  Record({1.0, 0.7}, 16, 0, kTrimmed + 7);  // a clock error, so resampling reports too
  ASSERT_EQ(Run(), kRecoveryOk);
  const int steps = progress_.steps;
  EXPECT_TRUE(progress_.positionOk);
  EXPECT_EQ(progress_.texts, (std::vector<WString>{NXW("Resampling"), NXW("Recovering Impulse"),
                                                   NXW("Resampling"), NXW("Recovering Impulse")}));
  EXPECT_EQ(progress_.beginText, NXW("Recovering Impulse"));
  for (int at = 1; at <= steps; ++at) {
    progress_ = Progress();
    progress_.cancelAtStep = at;
    messages_ = Messages();
    EXPECT_EQ(Run(), kRecoveryCancelled) << at;
    EXPECT_TRUE(messages_.shown.empty());
    EXPECT_EQ(progress_.begins, 1);
    EXPECT_EQ(progress_.ends, 1);
  }
}

TEST_F(Recovery, FailuresAfterProgressOpened) {
  // Noise where the spikes should be: Cancel at the first question ends the run silently.
  std::mt19937 random(1);
  std::uniform_real_distribution<double> noise(-1000, 1000);
  Signal take(3 * kN + 2 * kS);
  for (double& v : take) v = noise(random);
  WriteWave(recorded_, {take}, 16);
  messages_.answers = {kRecoveryAnswerCancel};
  EXPECT_EQ(Run(kSpikeModeAutoDetect), kRecoverySpikeQuestionCancel);
  EXPECT_EQ(messages_.shown, std::vector<WString>{RecoveryMessageText(kRecoveryFirstSpikeLow)});
  EXPECT_EQ(progress_.ends, 1);

  Record({1.0});
  folder_.Set("SpikeLength", 2 * kS + kN);  // no spike distance is left
  messages_ = Messages();
  EXPECT_EQ(Run(), kRecoveryNotATestFile);
  ExpectOnlyMessage(kRecoveryNotATestFile);

  folder_.Set("SpikeLength", 40);
  out_ = folder_ / "no/such/folder/ir.wav";
  messages_ = Messages();
  EXPECT_EQ(Run(), kRecoveryWriteFailed);
  ExpectOnlyMessage(kRecoveryWriteFailed);
}

TEST(RecoveryMessages, TextsCaptionsAndStyles) {
  struct Case { int code; UINT style; const char16_t* start; };
  const Case cases[] = {
      {0, kRecoveryBoxPlain, u"The recovered impulse was successfully"},
      {-1252, kRecoveryBoxInformation, u"The selected recorded file is much smaller"},
      {-1251, kRecoveryBoxInformation, u"Insufficient memory."},
      {-1250, kRecoveryBoxInformation, u"An error occured while writing the output file."},
      {-1249, kRecoveryBoxInformation, u"The selected file is not a valid test file."},
      {-1248, kRecoveryBoxQuestion, u"The level of the second spike is low.\n\nDo you"},
      {-1247, kRecoveryBoxInformation, u"The end spike was not found."},
      {-1246, kRecoveryBoxQuestion, u"The left and right spikes found are misaligned.\n\n"},
      {-1245, kRecoveryBoxQuestion, u"The level of the first spike is low.\n\nDo you"},
      {-1243, kRecoveryBoxInformation, u"An error occured reading the test file."},
      {-1242, kRecoveryBoxInformation, u"An error occured reading the recorded file."},
      {-1240, kRecoveryBoxInformation, u"The selected recorded file is much larger"},
      {-1239, kRecoveryBoxInformation, u"Before recovering an impulse, you must first"},
      {-1238, kRecoveryBoxInformation, u"The specified recorded file could not be found."},
      {-1237, kRecoveryBoxInformation, u"The specified test file could not be found."},
      {64300, kRecoveryBoxInformation, u"An error occured trying to package the preset."},
      {12345, kRecoveryBoxInformation, u""}};
  for (const Case& c : cases) {
    Messages messages;
    messages.answers = {kRecoveryAnswerYes};
    EXPECT_EQ(ShowRecoveryMessage(messages, c.code), kRecoveryAnswerYes);
    EXPECT_EQ(messages.styles, std::vector<UINT>{c.style}) << c.code;
    ASSERT_EQ(messages.shown.size(), 1u);
    const std::u16string start(c.start);
    EXPECT_EQ(std::u16string(messages.shown[0].begin(), messages.shown[0].end()).substr(0, start.size()), start);
    EXPECT_EQ(messages.captions, std::vector<WString>{NXW("Auralith")});
  }
  EXPECT_EQ(kRecoveryBoxQuestion, 0x0123u);  // Yes/No/Cancel, question icon, No the default
  Messages messages;
  EXPECT_EQ(ShowRecoveryMessage(messages, kRecoveryCancelled), kRecoveryAnswerNone);
  EXPECT_EQ(ShowRecoveryMessage(messages, kRecoverySpikeQuestionCancel), kRecoveryAnswerNone);
  EXPECT_TRUE(messages.shown.empty());
}

}  // namespace
}  // namespace recovery_test
