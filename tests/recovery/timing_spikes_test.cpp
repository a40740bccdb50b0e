// Timing spikes found in made-up recordings: N = 32768 and SpikeSpacing 2000, so a nominal
// spike distance of 36768 frames and an end-spike window from frame 35129 to 38406 after the
// first spike.
#include "tests/recovery/recovery_test_util.h"

namespace recovery_test {
namespace {

constexpr DWORD kN = 32768;
constexpr LONG kNominal = 36768;

struct SpikeCase {
  const char* name;
  LONG mode;
  size_t frames;
  std::vector<size_t> left, right;  // spike frames; `right` empty: mono
  bool noise;                       // steady noise at 1000 under the spikes
  std::deque<int> answers;
  int result;
  LONG start, distance;
  std::vector<int> questions;  // codes of the questions asked
};
// ctest lists the case by its name, not its bytes.
void PrintTo(const SpikeCase& c, std::ostream* out) { *out << c.name; }

class TimingSpikes : public ::testing::TestWithParam<SpikeCase> {};

TEST_P(TimingSpikes, FindsSpikesAndAsksWhenDoubtful) {
  const SpikeCase& c = GetParam();
  Folder folder;
  folder.Set("SpikeSpacing", 2000);
  std::mt19937 random(5);
  std::uniform_real_distribution<double> level(-1000.0, 1000.0);
  std::vector<Signal> channels(c.right.empty() ? 1 : 2, Signal(c.frames));
  for (size_t ch = 0; ch < channels.size(); ++ch) {
    for (double& v : channels[ch]) v = c.noise ? level(random) : 0.0;
    for (size_t at : ch == 0 ? c.left : c.right) channels[ch][at] = -30000.0;
  }
  const WString recorded = folder / "rec.wav";
  WriteWave(recorded, channels, 16);
  Messages messages;
  messages.answers = c.answers;
  LONG start = -5, distance = -5;
  EXPECT_EQ(FindTimingSpikes(messages, recorded.c_str(), kN, &start, &distance, c.mode), c.result);
  if (c.result == 0) {
    EXPECT_EQ(std::make_pair(start, distance), std::make_pair(c.start, c.distance));
  }
  std::vector<WString> asked;
  for (int code : c.questions) asked.push_back(RecoveryMessageText(code));
  EXPECT_EQ(messages.shown, asked);
}

constexpr int kFirstLow = kRecoveryFirstSpikeLow, kEndLow = kRecoverySecondSpikeLow,
              kMisaligned = kRecoverySpikesMisaligned;
constexpr int kYes = kRecoveryAnswerYes, kNo = kRecoveryAnswerNo, kCancel = kRecoveryAnswerCancel;
constexpr LONG kAuto = kSpikeModeAutoDetect, kEnds = kSpikeModeFileEnds;

// clang-format off
INSTANTIATE_TEST_SUITE_P(Recordings, TimingSpikes, ::testing::Values(
    // Both spikes counted: 100 and 36867 give the nominal distance.
    SpikeCase{"stereo", kAuto, 40000, {100, 150, 36867, 36870}, {102, 36869}, false, {}, 0, 100, kNominal, {}},
    SpikeCase{"noisy_clean_spikes", kAuto, 40000, {300, 37100}, {}, true, {}, 0, 300, 36801, {}},
    // Steady noise in the first second: No makes frame 0 the first spike.
    SpikeCase{"first_low_no", kAuto, 40000, {36767}, {}, true, {kNo}, 0, 0, kNominal, {kFirstLow}},
    SpikeCase{"first_misaligned_no", kAuto, 40000, {100, 36867}, {1500, 36867}, false, {kNo}, 0, 0, 36868, {kMisaligned}},
    SpikeCase{"end_low_no", kAuto, 40000, {100}, {}, true, {kNo}, 0, 100, kNominal, {kEndLow}},
    SpikeCase{"end_low_cancel", kAuto, 40000, {100}, {}, true, {kCancel}, kRecoverySpikeQuestionCancel, 0, 0, {kEndLow}},
    SpikeCase{"end_misaligned_no", kAuto, 40000, {100, 36867}, {100, 35300}, false, {kNo}, 0, 100, kNominal, {kMisaligned}},
    SpikeCase{"too_short", kAuto, 35000, {100}, {}, false, {}, kRecoveryEndSpikeNotFound, 0, 0, {}},
    SpikeCase{"ends_exact", kEnds, 36768, {0}, {}, false, {}, 0, 0, kNominal, {}},
    SpikeCase{"ends_too_large", kEnds, 40445, {0}, {}, false, {}, kRecoveryRecordingTooLarge, 0, 0, {}},
    SpikeCase{"ends_too_small", kEnds, 33091, {0}, {}, false, {}, kRecoveryRecordingTooSmall, 0, 0, {}}),
    [](const ::testing::TestParamInfo<SpikeCase>& param) { return std::string(param.param.name); });
// clang-format on

}  // namespace
}  // namespace recovery_test
