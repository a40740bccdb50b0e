// auralith process, end to end: dry pass-through, clipping, a missing impulse, and the notes and
// info lengths on how much of the impulse is kept. The output formats are in files_test.

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

  // Writes `input` as in.wav and processes it into out.wav through `impulse` with `options`.
  RunResult Run(const Audio& input, std::vector<std::string> options,
                const std::string& impulse = "room.wav") {
    WriteAudio(folder_ / "in.wav", input);
    options.insert(options.begin(), {"process", "in.wav", "out.wav", "--impulse", impulse});
    return RunCli(folder_, options);
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

// The dry signal alone at 0 dB gives the input back bit for bit in float: with the wet signal
// off, from 24-bit input, and without an impulse where that is allowed (else it is an error: the
// command line's table). 16-bit input is rendered by the clipping case below.
TEST_F(Process, DryAloneReturnsTheInputBitForBit) {
  const struct {
    unsigned bits;
    const char* impulse;
    std::vector<std::string> options;
    const char* says;  // on standard output
  } cases[] = {
      {32, "room.wav", {"--wet", "off", "--dry", "0", "--quiet"}, ""},
      {24, "room.wav", {"--wet", "off", "--dry", "0"}, "converted to 32-bit float"},
      {32, "gone.irx", {"--allow-missing-impulse", "--dry", "0"}, "rendered dry"},
  };
  for (const auto& c : cases) {
    Audio input = StereoNoise(20000, c.bits);
    // Values that 24 bits and floats hold exactly, and no zero (whose sign could differ).
    for (double& x : input.samples) x = std::round((x == 0.0 ? 0.125 : x) * 0x1p23) / 0x1p23;
    const RunResult run = Run(input, c.options, c.impulse);
    ASSERT_EQ(0, run.status) << run.err;
    EXPECT_TRUE(run.out.find(c.says) != std::string::npos && (*c.says != 0 || run.out.empty()))
        << run.out;
    const Audio out = ReadAudio(folder_ / "out.wav");
    EXPECT_TRUE(out.isFloat && out.bits == 32) << c.bits;
    ASSERT_GE(out.samples.size(), input.samples.size());
    input.samples.resize(out.samples.size());
    EXPECT_EQ(input.samples, out.samples) << c.impulse << " " << c.bits;
  }
}

TEST_F(Process, SaturatedSixteenBitOutputIsCounted) {
  Audio input = StereoNoise(5000, 16);
  for (double& x : input.samples) x *= 3.5;  // near full scale
  RunResult run = Run(input, {"--wet", "12", "--dry", "6", "--quiet"});
  ASSERT_EQ(0, run.status) << run.err;
  EXPECT_TRUE(OneLine(run.err)) << run.err;
  EXPECT_NE(std::string::npos, run.err.find("samples clipped")) << run.err;

  run = Run(input, {"--wet", "-40", "--quality", "5"});
  ASSERT_EQ(0, run.status);
  EXPECT_EQ("", run.err);
}

// --- What the filter does to the impulse -----------------------------------------------------

// A constant impulse: a click through it renders a plateau exactly as long as the part kept.
Audio Plateau(unsigned channels, unsigned rate, size_t frames) {
  return Sound(std::vector<double>(frames * channels, 0.5), channels, 32, rate);
}

TEST_F(Process, NotesSayWhenTheImpulseIsCutOrAChannelUnusedAndNeverWhenQuiet) {
  WriteAudio(folder_ / "mono.wav", Plateau(1, 44100, 13230));
  WriteAudio(folder_ / "tiny.wav", Plateau(2, 44100, 16));
  WriteAudio(folder_ / "long.wav", Plateau(1, 8000, 140000));
  struct Case {
    const char* impulse;
    unsigned inputChannels, inputRate;
    std::vector<std::string> options;
    std::vector<std::string> notes;  // what the lines on standard error contain, in order
  } cases[] = {
      {"room.wav", 2, 44100, {"--quality", "5"}, {}},
      {"room.wav", 2, 44100, {},
       {"room.wav: impulse cut to 0.19 s of 0.30 s by quality 3 (quality 5 keeps up to 0.30 s)"}},
      {"room.wav", 2, 44100, {"--quality", "4"}, {"by quality 4 (quality 5 keeps up to 0.30 s)"}},
      {"room.wav", 2, 44100, {"--quality", "5", "--decay-limit", "0.1"},
       {"room.wav: impulse cut to 0.10 s of 0.30 s by the decay limit"}},
      {"room.wav", 2, 44100, {"--decay-limit", "0.1"},
       {"by quality 3 (quality 5 keeps up to 0.10 s)"}},
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
    const Audio input = Sound(Noise(2000 * c.inputChannels, 3, 0.25), c.inputChannels, 32,
                              c.inputRate);
    const std::string line = std::string(c.impulse) + " " + std::to_string(c.inputChannels) +
                             " ch " + (c.options.empty() ? "" : c.options[1]);
    RunResult run = Run(input, c.options, c.impulse);
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
    std::vector<std::string> quiet = c.options;
    quiet.push_back("--quiet");
    run = Run(input, quiet, c.impulse);
    ASSERT_EQ(0, run.status) << line;
    EXPECT_EQ("", run.err) << line;
  }
}

// Seconds of the impulse kept at quality 1 for an `input` layout, as info --json gives them (a
// mono input has a row of its own only where it keeps a different length, as at quality 1).
double InfoKeptSeconds(const std::string& json, const char* input) {
  const size_t at = json.find(std::string("\"quality\": 1,\n      \"input\": \"") + input + "\"");
  const size_t kept = json.find("\"keptSeconds\": ", at);
  return at == std::string::npos || kept == std::string::npos
             ? -1.0
             : std::strtod(json.c_str() + kept + 15, nullptr);
}

TEST_F(Process, InfoGivesTheLengthARenderingKeeps) {
  // 17.5 s at 8000 Hz against a limit of 131071 frames: every quality cuts, quality 5 by the limit.
  WriteAudio(folder_ / "long.wav", Plateau(2, 8000, 140000));
  std::ofstream(folder_ / "auralith.ini") << "[Auralith]\nMaxImpulseSize=131071\n";
  const RunResult info = RunCli(folder_, {"info", "long.wav", "--json"});
  ASSERT_EQ(0, info.status) << info.err;
  EXPECT_NE(std::string::npos, info.out.find("\"cutBy\": \"MaxImpulseSize\"")) << info.out;
  for (const unsigned channels : {1u, 2u}) {
    const double kept = InfoKeptSeconds(info.out, channels == 1 ? "mono" : "stereo");
    ASSERT_GT(kept, 0.0) << channels << " ch\n" << info.out;
    Audio click = Click(channels, 150000);
    click.rate = 8000;
    const RunResult run = Run(click, {"--quality", "1", "--quiet"}, "long.wav");
    ASSERT_EQ(0, run.status) << run.err;
    const std::vector<double> out = Channel(ReadAudio(folder_ / "out.wav"), 0);
    double peak = 0.0;
    for (const double x : out) peak = std::max(peak, std::fabs(x));
    size_t last = 0;
    for (size_t i = 0; i < out.size(); ++i)
      if (std::fabs(out[i]) > 0.01 * peak) last = i;
    // The plateau starts at the click (frame 100; at half rate the pair that holds it) and
    // ends where the kept impulse ends, its last fifth faded out where the quality cut it.
    const double measured = (last + 1.0 - 100.0) / 8000.0;
    EXPECT_NEAR(measured, kept, 0.005 * kept + 2.0 / 8000) << channels << " ch";
  }
}

}  // namespace
}  // namespace tools_test
