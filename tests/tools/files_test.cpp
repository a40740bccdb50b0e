// auralith make-irx, info, preset, test-tone, recover and plot, end to end, and the command line's
// help, version and errors.
#include "tests/tools/tools_test_util.h"

#include <map>

namespace tools_test {
namespace {

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

TEST(Files, MakeIrxThenInfoJsonShowsTheSourcesInfoItems) {
  TempFolder folder;
  WriteAudio(folder / "hall.wav", Sound(Noise(2 * 4410, 5, 0.5), 2, 16),
             {{"INAM", "Stone hall"}, {"IENG", "A. Tester"}, {"ICMT", "Caf\xE9 \"quoted\""},
              {"DISP", "Hall, 0.1 s"}});
  RunResult run = RunCli(folder, {"make-irx", "hall.wav", "hall.irx"});
  ASSERT_EQ(0, run.status) << run.err;
  EXPECT_TRUE(Contains(run.out, "hall.irx: impulse file written")) << run.out;

  run = RunCli(folder, {"info", "hall.irx", "--json"});
  ASSERT_EQ(0, run.status) << run.err;
  for (const char* expected :
       {"\"kind\": \"impulse file with its samples inside\"", "\"headerSize\": 36",
        "\"version\": 100", "\"channels\": 2", "\"bytesPerSample\": 2", "\"dataBytes\": 17640",
        "\"sampleRate\": 44100", "\"attributes\": \"44,100 Hz, 2 Channels, 0.10 Seconds\"",
        "\"id\": \"INAM\",\n      \"text\": \"Stone hall\"",
        "\"id\": \"IENG\",\n      \"text\": \"A. Tester\"",
        "\"id\": \"ICMT\",\n      \"text\": \"Caf\xC3\xA9 \\\"quoted\\\"\"",
        "\"text\": \"Hall, 0.1 s\""})
    EXPECT_TRUE(Contains(run.out, expected)) << expected << "\n" << run.out;

  run = RunCli(folder, {"info", "hall.wav"});
  ASSERT_EQ(0, run.status);
  EXPECT_TRUE(Contains(run.out, "hall.wav: wave file")) << run.out;
  EXPECT_TRUE(Contains(run.out, "INAM              Stone hall")) << run.out;
}

TEST(Files, SavedAndBuiltInPresetsShowEveryFieldBack) {
  TempFolder folder;
  const Audio input = Sound(Noise(3000, 1, 0.2));
  WriteAudio(folder / "in.wav", input);
  WriteAudio(folder / "room.wav", input);
  RunResult run = RunCli(folder, {"process", "in.wav", "out.wav", "--impulse", "room.wav", "--dry",
                                  "-12.5", "--wet", "3", "--width", "80", "--delay", "-12.3",
                                  "--pan", "-40", "--quality", "2", "--mono-to-stereo",
                                  "--envelope", "0:100,250:60,1000:5", "--decay-limit", "2.5",
                                  "--low-shelf", "120:-4.5", "--high-shelf", "6000:7",
                                  "--save-preset", "my.preset"});
  ASSERT_EQ(0, run.status) << run.err;
  run = RunCli(folder, {"preset", "show", "my.preset", "--json"});
  ASSERT_EQ(0, run.status) << run.err;
  const std::string impulse = "\"impulseFile\": \"" + (folder / "room.wav") + "\"";
  for (const std::string& expected : std::vector<std::string>{
           "\"version\": 24243", "\"size\": 2320", "\"packagedImpulseSize\": 0", "\"dryOut\": -125",
           "\"wetOut\": 30", "\"responseWidth\": 80", "\"applyEnvelope\": 1", "\"decayLimit\": 250",
           "\"responseDelay\": -123", "\"highShelfFreq\": 6000", "\"highShelfGain\": 70",
           "\"lowShelfFreq\": 120", "\"lowShelfGain\": -45", "\"highShelfOn\": 1",
           "\"lowShelfOn\": 1", "\"recoveryMode\": 1505", "\"removeLowFreq\": 1",
           "\"packageImpulse\": 0", "\"quality\": 2", impulse, "\"testFile\": \"\"",
           "\"envelopeCount\": 3", "\"position\": 250,\n        \"level\": 60",
           "\"position\": 1000,\n        \"level\": 5", "\"monoToStereo\": 1", "\"pan\": -40"})
    // Whole values: -123 must not pass for -1230.
    EXPECT_TRUE(Contains(run.out, expected + ",") || Contains(run.out, expected + "\n"))
        << expected << "\n" << run.out;

  // The preset brings the same settings back: the same output without the options.
  run = RunCli(folder, {"process", "in.wav", "again.wav", "--preset", "my.preset"});
  ASSERT_EQ(0, run.status) << run.err;
  EXPECT_EQ(ReadFileText(folder / "out.wav"), ReadFileText(folder / "again.wav"));

  // The built-in presets, listed and written.
  run = RunCli(folder, {"preset", "list"});
  ASSERT_EQ(0, run.status);
  EXPECT_TRUE(Contains(run.out, "0  (Default)")) << run.out;
  run = RunCli(folder, {"preset", "builtin", "2", "mono.preset"});
  ASSERT_EQ(0, run.status) << run.err;
  run = RunCli(folder, {"preset", "show", "mono.preset", "--json"});
  EXPECT_TRUE(Contains(run.out, "\"monoToStereo\": 1")) << run.out;
  run = RunCli(folder, {"preset", "builtin", "0", "default.preset"});
  run = RunCli(folder, {"preset", "show", "default.preset"});
  EXPECT_TRUE(Contains(run.out, "monoToStereo     0")) << run.out;
  EXPECT_TRUE(Contains(run.out, "dryOut           -800  off")) << run.out;
}

// A room of three reflections, played as the test tone: the recording is the tone convolved
// with the room, and recovery must give the room back.
TEST(Files, RecoverOnASyntheticRoomWritesTheRoomsImpulse) {
  TempFolder folder;
  std::ofstream(folder / "auralith.ini")
      << "[Auralith]\nSpikeSpacing=2000\nImpulsePreSamples=100\nMaxStoredImpulse=1000\n"
      << "OutBits=32\n";
  RunResult run = RunCli(folder, {"test-tone", "test.wav", "--order", "12", "--spacing", "2000"});
  ASSERT_EQ(0, run.status) << run.err;
  const Audio test = ReadAudio(folder / "test.wav");
  ASSERT_EQ(4096u + 2 * 2000, test.frames());
  const std::pair<size_t, double> room[] = {{0, 1.0}, {37, 0.5}, {150, -0.3}};
  Audio recorded = Sound(std::vector<double>(test.samples.size()));
  for (size_t i = 0; i < test.samples.size(); ++i)
    for (const auto& tap : room)
      if (i >= tap.first) recorded.samples[i] += tap.second * test.samples[i - tap.first];
  WriteAudio(folder / "recorded.wav", recorded);

  run = RunCli(folder, {"recover", "--test", "test.wav", "--recorded", "recorded.wav", "--output",
                        "room.wav", "--mode", "none", "--keep-low-frequencies"});
  ASSERT_EQ(0, run.status) << run.err;
  EXPECT_TRUE(Contains(run.out, "successfully")) << run.out;
  const Audio impulse = ReadAudio(folder / "room.wav");
  ASSERT_GE(impulse.frames(), 100u + 151);
  const std::vector<double> h = Channel(impulse, 0);
  for (const auto& tap : room) EXPECT_NEAR(tap.second, h[100 + tap.first], 0.03) << tap.first;
  double elsewhere = 0.0;
  for (size_t i = 0; i < h.size(); ++i)
    if (i != 100 && i != 137 && i != 250) elsewhere = std::max(elsewhere, std::fabs(h[i]));
  EXPECT_LT(elsewhere, 0.03);  // the 16-bit test tone's rounding noise
}

// Every wave format the program writes, as sox sees it: no header warning, the frame count
// and the samples that Auralith reads back (sox holds samples as 32-bit integers, so float
// samples compare to 2^-31 of full scale; 16-bit ones exactly). The renderings in every format
// and in odd blocks hold the same samples, to the rounding of 16 bits.
TEST(Files, EveryWrittenWaveFormatPassesSoxUnchanged) {
  REQUIRE_TOOL("sox");
  TempFolder folder;
  WriteAudio(folder / "in.wav", Sound(Noise(3000, 7, 0.5)));
  std::vector<double> room(40);
  room[0] = 0.5, room[9] = -0.25;
  WriteAudio(folder / "room.wav", Sound(room));
  const auto process = [](const char* out, const char* option, const char* value) {
    return std::vector<std::string>{"process", "in.wav", out, "--impulse", "room.wav", "--dry",
                                    "off", option, value};
  };
  const std::vector<std::vector<std::string>> commands = {
      process("pcm16.wav", "--format", "pcm16"),
      process("float32.wav", "--format", "float32"),
      process("float64.wav", "--format", "float64"),
      process("blocks.wav", "--block-frames", "37"),
      {"test-tone", "tone16.wav", "--order", "12", "--spacing", "2000"},
      {"recover", "--test", "tone16.wav", "--recorded", "tone16.wav", "--output", "ir32.wav",
       "--mode", "none"},
  };
  std::ofstream(folder / "auralith.ini")
      << "[Auralith]\nSpikeSpacing=2000\nMaxStoredImpulse=1000\nOutBits=32\n";
  std::map<std::string, Audio> rendered;
  for (const std::vector<std::string>& args : commands) {
    const RunResult run = RunCli(folder, args);
    ASSERT_EQ(0, run.status) << args[0] << ": " << run.err;
    const std::string name =
        args[0] == "recover" ? args[6] : args[0] == "process" ? args[2] : args[1];
    const std::string out = folder / name;
    const std::string log = folder / "sox.log";
    ASSERT_EQ(0, std::system(("sox --i -s " + Quote(out) + " >" + Quote(log) + " 2>&1").c_str()));
    const Audio back = rendered[name] = ReadAudio(out);
    ASSERT_NE(0u, back.channels) << out;
    EXPECT_EQ(std::to_string(back.frames()) + "\n", ReadFileText(log)) << out;
    const std::string raw = folder / "sox.raw";
    ASSERT_EQ(0, std::system(("sox -V1 " + Quote(out) + " -t raw -e signed -b 32 " + Quote(raw) +
                              " 2>" + Quote(log)).c_str()));
    EXPECT_EQ("", ReadFileText(log)) << out;
    const std::string decoded = ReadFileText(raw);
    ASSERT_EQ(back.samples.size() * 4, decoded.size()) << out;
    const double tolerance = back.isFloat ? 1.0 : 0.0;  // in units of 2^-31
    for (size_t i = 0; i < back.samples.size(); ++i) {
      int32_t v;
      std::memcpy(&v, decoded.data() + 4 * i, 4);
      ASSERT_NEAR(back.samples[i] * 2147483648.0, double(v), tolerance) << out << " sample " << i;
    }
  }
  const std::vector<double>& floats = rendered["float32.wav"].samples;
  const Audio& pcm = rendered["pcm16.wav"];
  EXPECT_TRUE(rendered["float64.wav"].bits == 64 && pcm.bits == 16 && !pcm.isFloat);
  EXPECT_EQ(floats, rendered["float64.wav"].samples);
  EXPECT_EQ(floats, rendered["blocks.wav"].samples);
  ASSERT_EQ(floats.size(), pcm.samples.size());
  for (size_t i = 0; i < floats.size(); ++i) ASSERT_NEAR(floats[i], pcm.samples[i], 0.6 / 32768);
}

// On a disk that fills up (a file size limit here), each command fails with the file and the
// reason, and the file it would have replaced keeps its bytes; no temporary is left behind.
TEST(Files, FullDiskKeepsThePreviousFile) {
  TempFolder folder;
  std::ofstream(folder / "auralith.ini")
      << "[Auralith]\nSpikeSpacing=2000\nMaxStoredImpulse=20000\n";
  WriteAudio(folder / "in.wav", Sound(Noise(100, 3, 0.5), 1, 16));
  WriteAudio(folder / "room.wav", Sound(Noise(20000, 4, 0.5), 1, 16));
  const RunResult tone =
      RunCli(folder, {"test-tone", "tone.wav", "--order", "12", "--spacing", "2000"});
  ASSERT_EQ(0, tone.status);
  ASSERT_EQ(0, RunCli(folder, {"make-irx", "room.wav", "room.irx"}).status);  // as packaged
  const std::vector<std::string> preset = {"process", "in.wav", "out.wav", "--impulse", "room.wav",
                                           "--save-preset", "p.preset", "--package-impulse"};
  ASSERT_EQ(0, RunCli(folder, preset).status);
  // Room for the rendered output and the packaged impulse, not for the preset holding it.
  const auto size = [&](const char* name) { return std::filesystem::file_size(folder / name); };
  const unsigned long long room = std::max(size("out.wav"), size("room.irx")) + 1;
  ASSERT_LT(room, size("p.preset"));
  const struct {
    std::vector<std::string> args;
    std::string output;
    unsigned long long limit;
  } cases[] = {
      {{"test-tone", "old.wav"}, "old.wav", 16384},
      {{"recover", "--test", "tone.wav", "--recorded", "tone.wav", "--output", "old.wav", "--mode",
        "none"},
       "old.wav", 4096},
      {preset, "p.preset", room},
  };
  for (const auto& c : cases) {
    const std::string before = "previous contents of " + c.output;
    std::ofstream(folder / c.output, std::ios::binary | std::ios::trunc) << before;
    const RunResult run = RunCli(folder, c.args, c.limit);
    EXPECT_EQ(1, run.status) << c.args[0];
    EXPECT_TRUE(OneLine(run.err) && Contains(run.err, c.output + ": ") &&
                Contains(run.err, "file too large"))
        << run.err;
    EXPECT_EQ(before, ReadFileText(folder / c.output)) << c.args[0];
    for (const auto& entry : std::filesystem::directory_iterator(folder.path()))
      EXPECT_FALSE(Contains(entry.path().filename().string(), "~part")) << entry.path();
  }
}

// --- The command line ---------------------------------------------------------------------------

struct ErrorCase {
  std::vector<std::string> args;
  int status;
  const char* message;
};

// Processes `input` with in.wav as the impulse, with `more` options.
std::vector<std::string> Process(std::initializer_list<std::string> more,
                                 const std::string& input = "in.wav") {
  std::vector<std::string> args = {"process", input, "o.wav", "--impulse", "in.wav"};
  args.insert(args.end(), more);
  return args;
}

TEST(CommandLine, BadArgumentsAndMissingFilesGiveTheirStatusAndOneLine) {
  TempFolder folder;
  WriteAudio(folder / "in.wav", Sound(Noise(1000, 1, 0.1)));
  WriteAudio(folder / "empty.wav", Audio());
  WriteAudio(folder / "six.wav", Sound(Noise(6 * 100, 1, 0.1), 6));
  std::ofstream(folder / "junk.bin") << "not audio at all";
  const ErrorCase cases[] = {
      {{}, 2, "missing a command"},
      {{"frobnicate"}, 2, "unknown command 'frobnicate'"},
      {{"process", "in.wav"}, 2, "missing INPUT and OUTPUT"},
      {Process({"--wet"}), 2, "'--wet' needs a value"},
      {Process({"--wet", "loud"}), 2, "'--wet' needs a number"},
      {Process({"--width", "101"}), 2, "'--width' must lie in 0..100"},
      {Process({"--quality", "0"}), 2, "'--quality' must lie in 1..5"},
      {Process({"--envelope", "0:100"}), 2, "2 to 16 points"},
      {Process({"--low-shelf", "100"}), 2, "needs HZ:DB"},
      {Process({"--format", "mp3"}), 2, "'--format' is pcm16"},
      {Process({"--mono-to-stereo=1"}), 2, "takes no value"},
      {Process({"--shout"}), 2, "unknown option '--shout'"},
      {Process({"--", "--wet"}), 2, "unexpected argument '--wet'"},
      {{"process", "in.wav", "o.wav"}, 2, "no impulse: give --impulse FILE"},
      {{"process", "in.wav", "o.wav", "--impulse", "gone.irx"}, 1, "gone.irx: impulse not found"},
      {Process({}, "six.wav"), 1, "six.wav: 6 channels"},
      {Process({}, "empty.wav"), 1, "empty.wav: holds no audio"},
      {Process({}, "gone.wav"), 1, "gone.wav: no such file"},
      {Process({}, "junk.bin"), 1, "junk.bin: cannot be opened as a wave file"},
      {{"process", "in.wav", "o.wav", "--preset", "junk.bin"}, 1,
       "junk.bin: not an Auralith preset"},
      {{"process", "in.wav", "no/such/o.wav", "--impulse", "in.wav"}, 1, "does not exist"},
      {{"make-irx", "gone.wav", "x.irx"}, 1, "gone.wav: no such file"},
      {{"make-irx", "junk.bin", "x.irx"}, 1, "junk.bin: not a wave or impulse file"},
      {{"info", "gone.irx"}, 1, "gone.irx: no such file"},
      {{"info", "junk.bin", "--json"}, 1, "junk.bin: not an impulse or wave file"},
      {{"preset", "show", "junk.bin"}, 1, "junk.bin: not an Auralith preset"},
      {{"preset", "builtin", "4", "x.preset"}, 2, "must lie in 0..3"},
      {{"preset", "mangle"}, 2, "unknown subcommand 'mangle'"},
      {{"recover", "--test", "t.wav", "--recorded", "r.wav"}, 2, "missing --output FILE"},
      {{"recover", "--test", "gone.wav", "--recorded", "in.wav", "--output", "x.wav"}, 1,
       "gone.wav: The specified test file could not be found."},
      {{"recover", "--test", "t.wav", "--recorded", "r.wav", "--output", "x.wav", "--mode", "odd"},
       2, "'--mode' is none, auto or ends"},
      {{"test-tone", "t.wav", "--order", "30"}, 2, "'--order' must lie in 10..23"},
  };
  for (const ErrorCase& c : cases) {
    const RunResult run = RunCli(folder, c.args);
    std::string line;
    for (const std::string& arg : c.args) line += arg + " ";
    EXPECT_EQ(c.status, run.status) << line << "\n" << run.err;
    EXPECT_TRUE(OneLine(run.err)) << line << "\n" << run.err;
    EXPECT_TRUE(Contains(run.err, c.message)) << line << "\n" << run.err;
    EXPECT_EQ(0u, run.err.rfind("auralith: ", 0)) << run.err;
  }
  EXPECT_FALSE(std::filesystem::exists(folder / "o.wav"));
  EXPECT_FALSE(std::filesystem::exists(folder / "x.irx"));
}

TEST(CommandLine, HelpForTheToolAndEveryCommandAndTheVersion) {
  TempFolder folder;
  RunResult run = RunCli(folder, {"--help"});
  EXPECT_EQ(0, run.status);
  for (const char* command :
       {"process", "make-irx", "info", "preset", "test-tone", "recover", "demo"}) {
    EXPECT_TRUE(Contains(run.out, std::string("  ") + command)) << command;
    const RunResult help = RunCli(folder, {command, "--help"});
    EXPECT_EQ(0, help.status) << command;
    EXPECT_EQ(0u, help.out.find(std::string("usage: auralith ") + command)) << help.out;
    EXPECT_EQ("", help.err);
  }
  run = RunCli(folder, {"--version"});
  EXPECT_EQ(0, run.status);
  EXPECT_EQ(0u, run.out.find("auralith "));
}

TEST(CommandLine, DemoWritesItsFilesAndTheyPlay) {
  TempFolder folder;
  const RunResult run = RunCli(folder, {"demo", "out", "--quiet"});
  ASSERT_EQ(0, run.status) << run.err;
  for (const char* name : {"dry.wav", "hall.wav", "hall.irx", "wet.wav", "hall.preset"})
    EXPECT_TRUE(std::filesystem::exists(folder.path() / "out" / name)) << name;
  const Audio dry = ReadAudio(folder / "out/dry.wav");
  const Audio wet = ReadAudio(folder / "out/wet.wav");
  EXPECT_EQ(1u, dry.channels);
  EXPECT_EQ(2u, wet.channels);
  EXPECT_GT(wet.frames(), dry.frames() + 44100);  // the hall's tail
  const std::vector<double> right = Channel(wet, 1);
  EXPECT_TRUE(std::any_of(right.begin(), right.end(), [](double x) { return x != 0.0; }));
  // The same program writes the same demo.
  const RunResult again = RunCli(folder, {"demo", "again", "--quiet"});
  ASSERT_EQ(0, again.status);
  EXPECT_EQ(ReadFileText(folder / "out/wet.wav"), ReadFileText(folder / "again/wet.wav"));
}

TEST(Files, PlotDrawsTheWaveformEnvelopeAndDecayMarker) {
  TempFolder folder;
  WriteAudio(folder / "room.wav", Sound(Noise(88200, 7, 0.5)));  // 2.00 s, mono
  RunResult run = RunCli(folder, {"plot", "room.wav", "room.svg", "--envelope",
                                  "0:100,500:50,1000:0", "--decay", "1"});
  ASSERT_EQ(0, run.status) << run.err;
  const std::string svg = ReadFileText(folder / "room.svg");
  // 900 px wide with 56 px to the left and 16 to the right of the plot: 1.00 s of 2.00 s is
  // the middle, x = 56 + 828 / 2.
  EXPECT_TRUE(Contains(svg, "<line x1=\"470.0\" y1=\"28\"")) << svg.substr(0, 400);
  EXPECT_TRUE(Contains(svg, "decay 1.00 s"));
  const std::string marker = "width=\"6\"";
  size_t points = 0;
  for (size_t at = svg.find(marker); at != std::string::npos; at = svg.find(marker, at + 1))
    ++points;
  EXPECT_EQ(3u, points);
  run = RunCli(folder, {"plot", "room.wav", "plain.svg"});
  ASSERT_EQ(0, run.status) << run.err;
  EXPECT_FALSE(Contains(ReadFileText(folder / "plain.svg"), "decay"));
}

}  // namespace
}  // namespace tools_test
