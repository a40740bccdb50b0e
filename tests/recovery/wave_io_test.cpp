// Impulse files out (second channels merged in place), and the test file.
#include "recovery/impulse_wave_writer.h"
#include "tests/recovery/recovery_test_util.h"

namespace recovery_test {
namespace {

std::string Bytes(const WString& name) {
  return ReadFileText(std::string(name.begin(), name.end()));
}

TEST(ImpulseWriter, LayoutRoundingClampingAndMerge) {
  Folder folder;
  const WString name = folder / "ir.wav";
  const float left[] = {0.5f, -0.5f, 1.49f, 40000.0f, -40000.0f};
  const float right[] = {32766.0f, -32766.0f, 2.5f, -2.5f, 0.0f};
  ASSERT_EQ(WriteImpulseWave16(name.c_str(), left, right, 5, 48000, 2), 0);
  // Frames (1, 32766), (-1, -32766), (1, 3), (32767, -3), (-32768, 0).
  const ::Bytes wave = WaveFile(1, 2, 48000, 16,
                                Le({1, 32766, 0xFFFF, 0x8002, 1, 3, 32767, 0xFFFD, 0x8000, 0}, 2));
  EXPECT_EQ(Bytes(name), std::string(wave.begin(), wave.end()));
  // Merges that succeed: the balance cases of the recovery runs.
  EXPECT_EQ(MergeSecondChannel16(name.c_str(), left, 6, 1.0f, 1.0f), -1);     // too few frames
  EXPECT_EQ(MergeSecondChannelFloat(name.c_str(), left, 5, 1.0f, 1.0f), -1);  // not float

  ASSERT_EQ(WriteImpulseWaveFloat(name.c_str(), right, nullptr, 5, 44100, 2), 0);
  EXPECT_EQ(Bytes(name).substr(20, 2), std::string("\x03\0", 2));
  EXPECT_EQ(ReadChannel(name, 1, 5)[0], 32768.0);  // 32766 is 1.0
  EXPECT_EQ(WriteImpulseWave16(name.c_str(), left, right, 0x40000000, 44100, 2), -1);  // > 4 GB
}

// A flat spectrum over all N bins; spikes at the first frame and where a clock-true recording
// gives a ratio of 1; the signal 24 dB down and periodic through the spike sections.
TEST(TestSignal, FlatSpectrumSpikesAndPeriod) {
  Signal period(4096);
  ASSERT_TRUE(MakePerfectSweep(period.data(), 4096));
  const Spectrum bins = SpectrumOf(period, 4096);
  for (const auto& bin : bins)
    ASSERT_NEAR(std::abs(bin), std::abs(bins[0]), 1e-9 * std::abs(bins[0]));
  EXPECT_FALSE(MakePerfectSweep(period.data(), 3000));

  Folder folder;
  const WString name = folder / "test.wav";
  TestSignalOptions options{2048, 1500, 40, 44100, 2, 16, -24.0};
  ASSERT_EQ(WriteTestSignalFile(name.c_str(), options), 0);
  const Signal x = ReadChannel(name, 1, 5048);
  const size_t end = 5048 - 41;
  EXPECT_EQ(x[0], 32767.0);
  EXPECT_EQ(x[end], 32767.0);
  double peak = 0.0;
  for (size_t t = 1; t + 2048 < 5048; ++t) {
    if (t == end || t + 2048 == end) continue;
    peak = std::max(peak, std::fabs(x[t]));
    ASSERT_EQ(x[t], x[t + 2048]) << t;
  }
  EXPECT_NEAR(peak, 32767 * std::pow(10.0, -24.0 / 20), 1.0);
  folder.Set("SpikeSpacing", 1500);
  Messages messages;
  LONG start = -1, distance = 0;
  ASSERT_EQ(FindTimingSpikes(messages, name.c_str(), 2048, &start, &distance, kSpikeModeAutoDetect),
            0);
  EXPECT_EQ(start * 10000 + distance, 2 * 1500 + 2048 - 40);

  for (auto bad : {TestSignalOptions{2000, 1500, 40, 44100, 1, 16, -24.0},
                   TestSignalOptions{2048, 40, 40, 44100, 1, 16, -24.0},
                   TestSignalOptions{2048, 1500, 40, 44100, 1, 16, -6.0}}) {
    EXPECT_EQ(WriteTestSignalFile(name.c_str(), bad), kTestSignalBadOptions);
  }
}

}  // namespace
}  // namespace recovery_test
