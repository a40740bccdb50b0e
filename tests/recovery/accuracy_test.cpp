// Recovery of known stereo rooms from the test file played in them, compared after the best
// delay and gain.
#include "tests/recovery/recovery_test_util.h"

namespace recovery_test {
namespace {

struct RoomCase {
  const char* name;
  LONG mode;
  DWORD n, spacing;
  size_t roomFrames;
  double ppm;      // the recorder's clock error
  double noiseDb;  // noise against the recording's RMS level; 0: none
  double band;     // compared below this fraction of Nyquist
  double limitDb;
};
// ctest lists the case by its name, not its bytes.
void PrintTo(const RoomCase& c, std::ostream* out) { *out << c.name; }

class RoomAccuracy : public ::testing::TestWithParam<RoomCase> {};

TEST_P(RoomAccuracy, RecoveredImpulseMatchesTheRoom) {
  const RoomCase& c = GetParam();
  Folder folder;
  folder.Set("SpikeSpacing", c.spacing);
  folder.Set("OutBits", 32);
  const WString test = folder / "test.wav", recorded = folder / "rec.wav", out = folder / "ir.wav";
  const TestSignalOptions options{c.n, c.spacing, 40, 44100, 1, 16, -24.0};
  ASSERT_EQ(WriteTestSignalFile(test.c_str(), options), 0);
  const Signal x = ReadChannel(test, 0, TestFileFrames(options));
  std::vector<Signal> rooms = {Room(c.roomFrames, 30, 1), Room(c.roomFrames, 45, 2)}, takes;
  for (double& v : rooms[0]) v *= 0.8;  // the right channel is the louder
  std::mt19937 random(7);
  for (const Signal& room : rooms) {
    Signal wet = Convolve(x, room);
    if (c.ppm != 0.0) wet = Reclock(wet, c.ppm);
    // What the user keeps: the steady part (1503), the take cut at its spikes (1505), or the
    // whole take after some silence (1504).
    Signal take(c.mode == kSpikeModeAutoDetect ? 5000 : 0);
    const size_t first = c.mode == kSpikeModeNone       ? c.spacing + 777
                         : c.mode == kSpikeModeFileEnds ? 30
                                                        : 0;
    const size_t frames = c.mode == kSpikeModeNone       ? c.n + 500
                          : c.mode == kSpikeModeFileEnds ? 2 * c.spacing + c.n - 40
                                                         : wet.size();
    take.insert(take.end(), wet.begin() + first, wet.begin() + first + frames);
    double power = 0.0;
    for (double v : take) power += v * v / take.size();
    std::normal_distribution<double> noise(0.0, std::sqrt(power) * std::pow(10.0, c.noiseDb / 20));
    for (double& v : take) v += c.noiseDb != 0.0 ? noise(random) : 0.0;
    takes.push_back(take);
  }
  WriteWave(recorded, takes, 0);
  Progress progress;
  Messages messages;
  ASSERT_EQ(RecoverImpulse({test.c_str(), recorded.c_str(), out.c_str(), c.mode, FALSE}, progress,
                           messages),
            0);
  const double error = ErrorDb({ReadChannel(out, 0, c.n), ReadChannel(out, 1, c.n)}, rooms, c.band);
  EXPECT_LT(error, c.limitDb);
}

INSTANTIATE_TEST_SUITE_P(
    Rooms, RoomAccuracy,
    ::testing::Values(
        RoomCase{"no_spikes", kSpikeModeNone, 16384, 6000, 4000, 0, 0, 1.0, -80},
        RoomCase{"file_ends", kSpikeModeFileEnds, 16384, 6000, 4000, 0, 0, 1.0, -80},
        RoomCase{"auto_spikes", kSpikeModeAutoDetect, 16384, 6000, 4000, 0, 0, 1.0, -80},
        RoomCase{"file_ends_noise", kSpikeModeFileEnds, 16384, 6000, 4000, 0, -60, 1.0, -55},
        // The long case: a 2 s room, the default spike spacing, a recorder 100 ppm fast.
        RoomCase{"auto_spikes_clock", kSpikeModeAutoDetect, 131072, 150000, 88200, 100, 0, 0.5,
                 -35},
        RoomCase{"auto_spikes_slow_clock", kSpikeModeAutoDetect, 131072, 150000, 88200, -100, 0,
                 0.5, -35}),
    [](const ::testing::TestParamInfo<RoomCase>& param) { return std::string(param.param.name); });

}  // namespace
}  // namespace recovery_test
