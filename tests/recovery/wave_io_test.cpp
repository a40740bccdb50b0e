// Wave channels in, impulse files out, second channels merged in place, and the test file.
#include <fstream>

#include "recovery/impulse_wave_writer.h"
#include "tests/recovery/recovery_test_util.h"

namespace recovery_test {
namespace {

std::string Bytes(const WString& name) {
  std::ifstream in(std::string(name.begin(), name.end()), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Every stored width lands on the 16-bit scale; a second buffer takes channel 1, zeros when the
// file is mono.
TEST(ReadWaveChannel, FormatsChannelsAndLimits) {
  Folder folder;
  const WString name = folder / "in.wav";
  const Signal left = {0, 256, -256, 32512, -32768}, right = {512, -512, 1024, 0, 256};
  for (int bits : {8, 16, 24, 32, 0}) {
    WriteWave(name, {left, right}, bits);
    std::vector<float> a(5), b(5, 9.0f);
    ASSERT_EQ(ReadWaveChannel(name.c_str(), a.data(), b.data(), 5, 0, 0), 5) << bits;
    for (size_t i = 0; i < 5; ++i) {
      EXPECT_EQ(a[i], left[i]) << bits;
      EXPECT_EQ(b[i], right[i]) << bits;
    }
    ASSERT_EQ(ReadWaveChannel(name.c_str(), a.data(), nullptr, 3, 2, 1), 3);
    EXPECT_EQ(a[0], 1024.0f);
  }
  WriteWave(name, {left}, 16);
  std::vector<float> a(5), b(5, 9.0f);
  EXPECT_EQ(ReadWaveChannel(name.c_str(), a.data(), b.data(), 5, 0, 0), 5);
  EXPECT_EQ(b, std::vector<float>(5, 0.0f));
  EXPECT_EQ(ReadWaveChannel(name.c_str(), a.data(), nullptr, 5, 0, 3), 5);  // no such channel
  EXPECT_EQ(a, std::vector<float>(5, 0.0f));
  EXPECT_EQ(ReadWaveChannel(name.c_str(), a.data(), nullptr, 5, 1, 0), 0);  // runs past the end
  EXPECT_EQ(ReadWaveChannel(name.c_str(), a.data(), nullptr, 1, 6, 0), 0);
  EXPECT_EQ(ReadWaveChannel(name.c_str(), a.data(), nullptr, 0, 0, 0), 0);
  EXPECT_EQ(ReadWaveChannel((folder / "none.wav").c_str(), a.data(), nullptr, 1, 0, 0), -1);
  // Reads cross the 4096-frame blocks.
  Signal ramp(10000);
  for (size_t i = 0; i < ramp.size(); ++i) ramp[i] = double(i) - 5000;
  WriteWave(name, {ramp, ramp}, 16);
  EXPECT_EQ(ReadChannel(name, 1, 10000), ramp);
}

TEST(ImpulseWriter, HeaderRoundingAndClamping) {
  Folder folder;
  const WString name = folder / "ir.wav";
  const float left[] = {0.5f, -0.5f, 1.49f, 40000.0f, -40000.0f};
  const float right[] = {32766.0f, -32766.0f, 2.5f, -2.5f, 0.0f};
  ASSERT_EQ(WriteImpulseWave16(name.c_str(), left, right, 5, 48000, 2), 0);
  std::string expected("RIFF\x38\0\0\0WAVEfmt \x10\0\0\0\x01\0\x02\0\x80\xbb\0\0\0\xee\x02\0\x04\0\x10\0data\x14\0\0\0", 44);
  const int16_t samples[] = {1, 32766, -1, -32766, 1, 3, 32767, -3, -32768, 0};
  for (int16_t v : samples) expected += std::string{char(v & 0xff), char((v >> 8) & 0xff)};
  EXPECT_EQ(Bytes(name), expected);

  ASSERT_EQ(WriteImpulseWaveFloat(name.c_str(), right, nullptr, 5, 44100, 1), 0);
  const std::string bytes = Bytes(name);
  ASSERT_EQ(bytes.size(), 44u + 20u);
  EXPECT_EQ(bytes.substr(20, 2), std::string("\x03\0", 2));
  EXPECT_EQ(bytes.substr(34, 2), std::string("\x20\0", 2));
  float first;
  std::memcpy(&first, bytes.data() + 44, 4);
  EXPECT_EQ(first, 1.0f);

  EXPECT_EQ(WriteImpulseWave16(name.c_str(), left, right, 5, 44100, 0), -1);
  EXPECT_EQ(WriteImpulseWave16(name.c_str(), left, right, 0x40000000, 44100, 2), -1);  // > 4 GB
  EXPECT_EQ(WriteImpulseWaveFloat((folder / "no/dir.wav").c_str(), left, right, 5, 44100, 2), -1);
}

// The merge rewrites channel 1 in place across blocks and scales channel 0 unless its factor is
// exactly 1; files of another layout or with too few frames are refused.
TEST(ImpulseWriter, MergeSecondChannel) {
  Folder folder;
  const WString name = folder / "ir.wav";
  constexpr DWORD kFrames = 9000;
  std::vector<float> first(kFrames), second(kFrames);
  for (DWORD i = 0; i < kFrames; ++i) {
    first[i] = float(i % 2001) - 1000.5f;
    second[i] = float(i % 1001) * 3.0f;
  }
  for (bool isFloat : {false, true}) {
    auto write = isFloat ? WriteImpulseWaveFloat : WriteImpulseWave16;
    auto merge = isFloat ? MergeSecondChannelFloat : MergeSecondChannel16;
    ASSERT_EQ(write(name.c_str(), first.data(), first.data(), kFrames, 44100, 2), 0);
    const Signal before = ReadChannel(name, 0, kFrames);
    ASSERT_EQ(merge(name.c_str(), second.data(), kFrames, 1.0f, 0.5f), 0);
    EXPECT_EQ(ReadChannel(name, 0, kFrames), before);
    Signal right = ReadChannel(name, 1, kFrames);
    for (DWORD i = 0; i < kFrames; i += 997) {
      EXPECT_NEAR(right[i], isFloat ? second[i] * 0.5 * 32768 / 32766 : std::round(second[i] * 0.5), 0.01);
    }
    ASSERT_EQ(merge(name.c_str(), second.data(), kFrames, 0.25f, 2.0f), 0);
    const Signal left = ReadChannel(name, 0, kFrames);
    right = ReadChannel(name, 1, kFrames);
    for (DWORD i = 0; i < kFrames; i += 997) {
      EXPECT_NEAR(left[i], isFloat ? before[i] * 0.25 : std::round(before[i] * 0.25), 0.01);
      EXPECT_NEAR(right[i], std::min(32767.0, second[i] * 2.0 * (isFloat ? 32768.0 / 32766 : 1.0)), 0.01);
    }
    EXPECT_EQ(merge(name.c_str(), second.data(), kFrames + 1, 1.0f, 1.0f), -1);
    auto otherMerge = isFloat ? MergeSecondChannel16 : MergeSecondChannelFloat;
    EXPECT_EQ(otherMerge(name.c_str(), second.data(), kFrames, 1.0f, 1.0f), -1);
    ASSERT_EQ(write(name.c_str(), first.data(), nullptr, kFrames, 44100, 1), 0);
    EXPECT_EQ(merge(name.c_str(), second.data(), kFrames, 1.0f, 1.0f), -1);
  }
}

TEST(TestSignal, FlatSpectrumAndSweep) {
  constexpr DWORD kN = 4096;
  Signal period(kN);
  ASSERT_TRUE(MakePerfectSweep(period.data(), kN));
  double peak = 0.0, power = 0.0;
  for (double v : period) peak = std::max(peak, std::fabs(v)), power += v * v;
  EXPECT_DOUBLE_EQ(peak, 1.0);
  EXPECT_GT(power / kN, 0.4);  // nearly a constant envelope: crest factor below 1.6
  FFTSETUP* setup = NxSig_PrepareFFT(nullptr, kN, nullptr, 0);
  NxSig_FFT(setup, period.data(), kN, 1.0);
  NxSig_UnprepareFFT(setup);
  const double dc = std::fabs(period[0]);
  EXPECT_NEAR(std::fabs(period[1]), dc, 1e-12);
  for (DWORD k = 1; k < kN / 2; ++k) {
    ASSERT_NEAR(std::hypot(period[2 * k], period[2 * k + 1]), dc, 1e-9 * dc) << k;
  }
  EXPECT_FALSE(MakePerfectSweep(period.data(), 3000));
}

// Spikes at the first frame and where a clock-true recording gives a ratio of 1; the signal
// 24 dB down, periodic through the spike sections.
TEST(TestSignal, FileLayout) {
  Folder folder;
  TestSignalOptions options{2048, 1500, 40, 44100, 2, 16, -24.0};
  ASSERT_EQ(TestFileFrames(options), 5048u);
  const WString name = folder / "test.wav";
  ASSERT_EQ(WriteTestSignalFile(name.c_str(), options), 0);
  const Signal x = ReadChannel(name, 1, 5048);
  EXPECT_EQ(x[0], 32767.0);
  EXPECT_EQ(x[5048 - 41], 32767.0);
  double peak = 0.0;
  for (size_t t = 1; t < 5048; ++t) {
    if (t == 5048 - 41) continue;
    peak = std::max(peak, std::fabs(x[t]));
    if (t + 2048 < 5048 && t + 2048 != 5048 - 41) {
      ASSERT_EQ(x[t], x[t + 2048]) << t;
    }
  }
  EXPECT_NEAR(peak, 32767 * std::pow(10.0, -24.0 / 20), 1.0);
  // Trimmed at its spikes, the file itself has the nominal timing.
  folder.Set("SpikeSpacing", 1500);
  Messages messages;
  LONG start = -1, distance = 0;
  ASSERT_EQ(FindTimingSpikes(messages, name.c_str(), 2048, &start, &distance, kSpikeModeAutoDetect), 0);
  EXPECT_EQ(start, 0);
  EXPECT_EQ(distance, LONG(2 * 1500 + 2048 - 40));

  for (TestSignalOptions bad : {TestSignalOptions{2000, 1500, 40, 44100, 1, 16, -24.0},
                                TestSignalOptions{2048, 40, 40, 44100, 1, 16, -24.0},
                                TestSignalOptions{2048, 1500, 40, 44100, 3, 16, -24.0},
                                TestSignalOptions{2048, 1500, 40, 44100, 1, 24, -24.0},
                                TestSignalOptions{2048, 1500, 40, 44100, 1, 16, -6.0}}) {
    EXPECT_EQ(WriteTestSignalFile(name.c_str(), bad), kTestSignalBadOptions);
  }
  options.bitsPerSample = 32;
  ASSERT_EQ(WriteTestSignalFile(name.c_str(), options), 0);
  EXPECT_EQ(ReadChannel(name, 0, 5048)[0], 32768.0);  // 1.0 in the file
}

}  // namespace
}  // namespace recovery_test
