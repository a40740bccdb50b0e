// auralith process, end to end: dry pass-through, a known impulse, the output formats, clipping
// and a missing impulse.

#include "tests/tools/tools_test_util.h"

namespace tools_test {
namespace {

// A folder holding a stereo float impulse: a decaying noise of 0.3 s, and its mono twin.
class Process : public ::testing::Test {
 protected:
  void SetUp() override {
    Audio impulse = Sound(Noise(2 * 13230, 7, 0.8), 2);
    for (size_t i = 0; i < impulse.samples.size(); ++i)
      impulse.samples[i] *= std::exp(-static_cast<double>(i / 2) / 2000.0);
    WriteAudio(folder_ / "room.wav", impulse);
  }

  // Renders `input` with the room and `options`; fails the test unless it succeeded.
  Audio Render(const Audio& input, const std::vector<std::string>& options) {
    WriteAudio(folder_ / "in.wav", input);
    std::vector<std::string> args = {"process", "in.wav", "out.wav", "--impulse", "room.wav"};
    args.insert(args.end(), options.begin(), options.end());
    const RunResult run = RunCli(folder_, args);
    EXPECT_EQ(0, run.status) << run.err;
    const ReadBack back = ReadAudio(folder_ / "out.wav");
    EXPECT_TRUE(back.ok);
    return back.audio;
  }

  TempFolder folder_;
};

Audio StereoNoise(size_t frames, unsigned bits = 32) {
  return Sound(Noise(2 * frames, 3, 0.25), 2, bits);
}

// A single sample of 0.5 at frame 100, then silence, so the output is the prepared impulse.
Audio Click(unsigned channels, size_t frames) {
  Audio audio = Sound(std::vector<double>(frames * channels), channels);
  for (unsigned c = 0; c < channels; ++c) audio.samples[100 * channels + c] = 0.5;
  return audio;
}

TEST_F(Process, WetOffDryZeroReturnsAFloatInputBitForBit) {
  Audio input = StereoNoise(20000);  // 16-bit input is rendered by the clipping case below
  for (double& x : input.samples) x = static_cast<float>(x == 0.0 ? 0.125 : x);
  WriteAudio(folder_ / "in.wav", input);
  const RunResult run = RunCli(folder_, {"process", "in.wav", "out.wav", "--impulse", "room.wav",
                                         "--wet", "off", "--dry", "0", "--quiet"});
  ASSERT_EQ(0, run.status) << run.err;
  EXPECT_EQ("", run.out);
  const ReadBack in = ReadAudio(folder_ / "in.wav");
  const ReadBack out = ReadAudio(folder_ / "out.wav");
  ASSERT_TRUE(out.ok);
  EXPECT_EQ(32u, out.audio.bits);
  ASSERT_GE(out.raw.size(), in.raw.size());
  EXPECT_EQ(0, std::memcmp(in.raw.data(), out.raw.data(), in.raw.size()));
  for (size_t i = in.audio.samples.size(); i < out.audio.samples.size(); ++i)
    ASSERT_EQ(0.0, out.audio.samples[i]) << "tail sample " << i;
}

// --- Output formats ---------------------------------------------------------------------------
// What each option sets is checked through the saved preset (files_test) and what the settings do
// to the sound by the engine's suites; here one rendering per output format and an odd block size.

TEST_F(Process, EveryOutputFormatAndBlockSizeKeepsTheSamples) {
  const Audio input = StereoNoise(20000);
  const std::vector<std::string> base = {"--dry", "off", "--wet", "0"};
  auto with = [&](std::vector<std::string> options) {
    options.insert(options.begin(), base.begin(), base.end());
    return Render(input, options);
  };
  const Audio floats = Render(input, base);
  ASSERT_FALSE(floats.samples.empty());
  const Audio doubles = with({"--format", "float64"});
  EXPECT_EQ(64u, doubles.bits);
  EXPECT_EQ(floats.samples, doubles.samples);
  const Audio pcm = with({"--format", "pcm16"});
  EXPECT_TRUE(pcm.bits == 16 && !pcm.isFloat);
  ASSERT_EQ(floats.samples.size(), pcm.samples.size());
  for (size_t i = 0; i < floats.samples.size(); ++i)
    ASSERT_NEAR(floats.samples[i], pcm.samples[i], 0.6 / 32768);
  EXPECT_EQ(floats.samples, with({"--block-frames", "37"}).samples);
}

// --- Formats, clipping, impulses --------------------------------------------------------------

TEST_F(Process, TwentyFourBitInputIsConvertedToFloat) {
  WriteAudio(folder_ / "in24.wav", StereoNoise(5000, 24));
  const RunResult run = RunCli(folder_, {"process", "in24.wav", "out.wav", "--impulse", "room.wav"});
  ASSERT_EQ(0, run.status) << run.err;
  EXPECT_NE(std::string::npos, run.out.find("converted to 32-bit float"));
  const Audio out = ReadAudio(folder_ / "out.wav").audio;
  EXPECT_TRUE(out.isFloat);
  EXPECT_EQ(32u, out.bits);
}

TEST_F(Process, SaturatedSixteenBitOutputIsCounted) {
  Audio input = StereoNoise(5000, 16);
  for (double& x : input.samples) x *= 3.5;  // near full scale
  WriteAudio(folder_ / "loud.wav", input);
  RunResult run = RunCli(folder_, {"process", "loud.wav", "out.wav", "--impulse", "room.wav", "--wet",
                                "12", "--dry", "6", "--quiet"});
  ASSERT_EQ(0, run.status) << run.err;
  EXPECT_TRUE(OneLine(run.err)) << run.err;
  EXPECT_NE(std::string::npos, run.err.find("samples clipped")) << run.err;

  run = RunCli(folder_, {"process", "loud.wav", "quiet.wav", "--impulse", "room.wav", "--wet", "-40",
                         "--quality", "5"});
  ASSERT_EQ(0, run.status);
  EXPECT_EQ("", run.err);
}

// Without an impulse it is an error (the command line's table) unless allowed.
TEST_F(Process, AMissingImpulseWhenAllowedRendersDry) {
  const Audio input = StereoNoise(3000);
  WriteAudio(folder_ / "in.wav", input);
  const RunResult run = RunCli(folder_, {"process", "in.wav", "out.wav", "--impulse", "gone.irx",
                                         "--allow-missing-impulse", "--dry", "0"});
  ASSERT_EQ(0, run.status) << run.err;
  EXPECT_NE(std::string::npos, run.out.find("rendered dry"));
  const Audio out = ReadAudio(folder_ / "out.wav").audio;
  for (size_t i = 0; i < input.samples.size(); ++i)
    ASSERT_EQ(static_cast<float>(input.samples[i]), out.samples[i]);
}

// --- What the filter does to the impulse -----------------------------------------------------

// A constant impulse: a click through it renders a plateau exactly as long as the part kept.
Audio Plateau(unsigned channels, unsigned rate, size_t frames) {
  return Sound(std::vector<double>(frames * channels, 0.5), channels, 32, rate);
}

TEST_F(Process, NotesSayWhenTheImpulseIsCutOrAChannelUnusedAndNeverWhenQuiet) {
  Audio mono = Plateau(1, 44100, 13230);
  WriteAudio(folder_ / "mono.wav", mono);
  WriteAudio(folder_ / "tiny.wav", Plateau(2, 44100, 16));
  WriteAudio(folder_ / "long.wav", Plateau(1, 8000, 140000));
  struct Case {
    const char* impulse;
    unsigned inputChannels, inputRate;
    std::vector<std::string> options;
    std::vector<std::string> notes;  // what the lines on standard error contain, in order
  } cases[] = {
      {"room.wav", 2, 44100, {"--quality", "5"}, {}},
      {"room.wav", 2, 44100, {}, {"room.wav: impulse cut to 0.19 s of 0.30 s by quality 3 (quality 5 keeps up to 0.30 s)"}},
      {"room.wav", 2, 44100, {"--quality", "4"}, {"by quality 4 (quality 5 keeps up to 0.30 s)"}},
      {"room.wav", 2, 44100, {"--quality", "5", "--decay-limit", "0.1"},
       {"room.wav: impulse cut to 0.10 s of 0.30 s by the decay limit"}},
      {"room.wav", 2, 44100, {"--decay-limit", "0.1"}, {"by quality 3 (quality 5 keeps up to 0.10 s)"}},
      {"room.wav", 2, 44100, {"--quality", "5", "--decay-limit", "1"}, {}},
      {"tiny.wav", 2, 44100, {}, {}},
      {"long.wav", 1, 8000, {"--quality", "5"},
       {"long.wav: impulse cut to 16.38 s of 17.50 s by MaxImpulseSize in auralith.ini "
        "(MaxImpulseSize=140000 keeps 17.50 s)"}},
      {"room.wav", 1, 44100, {"--quality", "5"},
       {"room.wav: only the impulse's first channel is used (--mono-to-stereo renders both)"}},
      {"room.wav", 1, 44100, {"--quality", "5", "--mono-to-stereo"}, {}},
      {"room.wav", 2, 44100, {"--quality", "1"},
       {"by quality 1", "only the impulse's first channel is used (quality 2 renders both)"}},
      {"mono.wav", 1, 44100, {"--quality", "5"}, {}},
      {"mono.wav", 2, 44100, {"--quality", "5"}, {}},
  };
  std::ofstream(folder_ / "auralith.ini") << "[Auralith]\nMaxImpulseSize=131071\n";
  for (const Case& c : cases) {
    Audio input = StereoNoise(2000);
    input.rate = c.inputRate;
    if (c.inputChannels == 1) input.samples.resize(2000);
    input.channels = c.inputChannels;
    WriteAudio(folder_ / "in.wav", input);
    std::vector<std::string> args = {"process", "in.wav", "out.wav", "--impulse", c.impulse};
    args.insert(args.end(), c.options.begin(), c.options.end());
    const std::string line = std::string(c.impulse) + " " + std::to_string(c.inputChannels) + " ch " +
                             (c.options.empty() ? "" : c.options[1]);
    RunResult run = RunCli(folder_, args);
    ASSERT_EQ(0, run.status) << line << "\n" << run.err;
    std::istringstream lines(run.err);
    std::string note;
    size_t count = 0;
    while (std::getline(lines, note)) {
      ASSERT_LT(count, c.notes.size()) << line << "\n" << run.err;
      EXPECT_EQ(0u, note.rfind("auralith: ", 0)) << note;
      EXPECT_NE(std::string::npos, note.find(c.notes[count++])) << line << "\n" << note;
    }
    EXPECT_EQ(c.notes.size(), count) << line << "\n" << run.err;
    args.push_back("--quiet");
    run = RunCli(folder_, args);
    ASSERT_EQ(0, run.status) << line;
    EXPECT_EQ("", run.err) << line;
  }
}

// Seconds of the impulse kept, as info --json gives them for `quality` and the input layout
// (a mono input has a row of its own only where it keeps a different length).
double InfoKeptSeconds(const std::string& json, int quality, bool monoInput) {
  for (const char* input : monoInput ? std::vector<const char*>{"mono", "stereo"}
                                     : std::vector<const char*>{"stereo"}) {
    const std::string row = "\"quality\": " + std::to_string(quality) + ",\n      \"input\": \"" +
                            input + "\"";
    const size_t at = json.find(row);
    if (at == std::string::npos) continue;
    const size_t kept = json.find("\"keptSeconds\": ", at);
    return kept == std::string::npos ? -1.0 : std::strtod(json.c_str() + kept + 15, nullptr);
  }
  return -1.0;
}

TEST_F(Process, InfoGivesPerQualityTheLengthARenderingKeeps) {
  // 17.5 s at 8000 Hz against a limit of 131071 frames: every quality cuts, quality 5 by the limit.
  WriteAudio(folder_ / "long.wav", Plateau(2, 8000, 140000));
  std::ofstream(folder_ / "auralith.ini") << "[Auralith]\nMaxImpulseSize=131071\n";
  const RunResult info = RunCli(folder_, {"info", "long.wav", "--json"});
  ASSERT_EQ(0, info.status) << info.err;
  EXPECT_NE(std::string::npos, info.out.find("\"cutBy\": \"MaxImpulseSize\"")) << info.out;
  for (const unsigned channels : {1u, 2u}) {
    Audio click = Click(channels, 150000);
    click.rate = 8000;
    WriteAudio(folder_ / "click.wav", click);
    for (int quality = 1; quality <= 5; ++quality) {
      const double kept = InfoKeptSeconds(info.out, quality, channels == 1);
      ASSERT_GT(kept, 0.0) << quality << "\n" << info.out;
      const RunResult run = RunCli(folder_, {"process", "click.wav", "out.wav", "--impulse", "long.wav",
                                             "--quality", std::to_string(quality), "--quiet"});
      ASSERT_EQ(0, run.status) << run.err;
      const std::vector<double> out = Channel(ReadAudio(folder_ / "out.wav").audio, 0);
      double peak = 0.0;
      for (const double x : out) peak = std::max(peak, std::fabs(x));
      size_t last = 0;
      for (size_t i = 0; i < out.size(); ++i)
        if (std::fabs(out[i]) > 0.01 * peak) last = i;
      // The plateau starts at the click (frame 100; at half rate the pair that holds it) and
      // ends where the kept impulse ends, its last fifth faded out where the quality cut it.
      const double measured = (last + 1.0 - 100.0) / 8000.0;
      EXPECT_NEAR(measured, kept, 0.005 * kept + 2.0 / 8000) << channels << " ch, quality " << quality;
    }
  }
}

}  // namespace
}  // namespace tools_test
