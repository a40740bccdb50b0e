// Parameter changes from one thread while another streams through the filter: single setters,
// SetParams and ApplyPreset (preset loads end in SetParams too) race the streaming thread's
// snapshots. Whole records carry levels derived from one number, so a torn snapshot shows as a
// dry gain and a wet scale of two different numbers; after each burst of changes the engine
// must be prepared for the last one, so no rebuild request is lost. Bounded to about a second
// and a few hundred rounds; run under ThreadSanitizer in CI.
#include <atomic>
#include <chrono>
#include <thread>

#include "filter_test_util.h"
#include "frame/builtin_presets.h"

namespace {

constexpr int kLevels = 81;  // records 0..80
constexpr int kMostRounds = 300;
constexpr int kChangesPerRound = 12;
constexpr auto kTimeBound = std::chrono::milliseconds(1000);

// A whole record whose dry and wet levels both follow `n`; the quality rides along.
PlugInParams Record(int n, LONG quality) {
  PlugInParams p = DefaultPlugInParams();
  p.dryOut = -10 * n;
  p.wetOut = -800 + 10 * n;
  p.responseDelay = 10 * n;
  p.pan = n - 40;
  p.quality = quality;
  return p;
}

class StressTest : public ::testing::Test {
 protected:
  void SetUp() override {
    impulse_ = std::make_unique<MemoryImpulse>(RandomSignal(2000, 3, 3000.0f), 44100);
    plugin_->Engine().SetImpulseSource(impulse_.get());
    plugin_->Engine().SetMaxImpulseFrames(131071);
    ASSERT_HR(S_OK, chain_.Connect(AudioType(Wave(WAVE_FORMAT_PCM, 2, 44100, 16))));
  }
  void TearDown() override { EXPECT_EQ(0u, chain_.Close()); }

  // True when the prepared levels are those of one record: a derived one or a built-in preset.
  bool LevelsFromOneRecord() const {
    const ConvolverState& s = plugin_->Engine().Convolver();
    auto matches = [&](LONG dry, LONG wet) {
      return s.dryGain == LevelGain(dry) && s.wetScale == LevelGain(wet) * s.normGain;
    };
    for (int n = 0; n < kLevels; ++n) {
      if (matches(-10 * n, -800 + 10 * n)) return true;
    }
    for (LONG i = 0; i < kBuiltInPresetCount; ++i) {
      const PlugInParams& p = GetBuiltInPreset(i)->params;
      if (matches(p.dryOut, p.wetOut)) return true;
    }
    return false;
  }

  void Change(std::mt19937& rng) {
    const int n = static_cast<int>(rng() % kLevels);
    switch (rng() % 5) {
      case 0: {
        const PlugInParams record = Record(n, static_cast<LONG>(rng() % 5 + 1));
        plugin_->SetParams(&record);
        break;
      }
      case 1: EXPECT_HR(S_OK, plugin_->ApplyPreset(n % kBuiltInPresetCount)); break;
      case 2: plugin_->SetQuality(n % 5 + 1); break;
      case 3:  // single setters, some of which ask for a rebuild
        plugin_->SetResponseDelay(n * 20 - 800);
        plugin_->SetHighShelfGain(n - 40);
        plugin_->SetDecayLimit(n * 10 + 5);
        plugin_->SetImpulseFile(n % 2 == 0 ? NXW("a.irx") : NXW("b.irx"));
        break;
      default: {
        PlugInParams read;
        plugin_->GetParams(&read);
        WAVEFORMATEX format;
        plugin_->GetStreamFormat(&format, kOutputFormat);
        LONG status = 0;
        plugin_->GetStatus(&status);
        break;
      }
    }
  }

  std::unique_ptr<MemoryImpulse> impulse_;
  PushGraph chain_;
  CNxPlugIn* plugin_ = chain_.filter;
};

TEST_F(StressTest, ChangesRacingTheStreamNeverTearOrLoseARebuild) {
  ASSERT_HR(S_OK, chain_.graph->Pause());
  std::atomic<bool> done{false};
  std::atomic<int> checkpoint{0};  // round whose last change the streamer must see
  std::atomic<int> checked{0};
  std::atomic<int> finalLevel{0};
  std::atomic<LONG> finalQuality{3};
  std::atomic<int> torn{0};
  std::atomic<int> lost{0};
  std::atomic<int> pushes{0};

  std::thread streamer([&] {
    std::vector<int16_t> frames(1024 * 2);
    unsigned seed = 1;
    while (!done.load()) {
      for (int16_t& v : frames) v = static_cast<int16_t>((seed = seed * 1103515245 + 12345) >> 16);
      const int round = checkpoint.load();
      const LONG bytes = static_cast<LONG>(frames.size() * 2);
      if (FAILED(chain_.source->Push(frames.data(), bytes, false))) break;
      ++pushes;
      if (!LevelsFromOneRecord()) ++torn;
      if (round > checked.load()) {
        // The round's last change came before `checkpoint` was raised, so this push saw it.
        const ConvolverState& s = plugin_->Engine().Convolver();
        const LONG quality = finalQuality.load();
        const int n = finalLevel.load();
        if (s.dryGain != LevelGain(-10 * n) ||
            s.blockDivisor != QualityPlan(quality, false).blockDivisor) {
          ++lost;
        }
        checked.store(round);
      }
    }
  });

  std::mt19937 rng(20240611);
  const auto start = std::chrono::steady_clock::now();
  int rounds = 0;
  for (; rounds < kMostRounds && std::chrono::steady_clock::now() - start < kTimeBound; ++rounds) {
    for (int i = 0; i < kChangesPerRound; ++i) Change(rng);
    // The last change of the round needs a rebuild (another quality than the one before).
    const int n = static_cast<int>(rng() % kLevels);
    LONG quality = 0;
    plugin_->GetQuality(&quality);
    quality = quality % 5 + 1;
    finalLevel.store(n);
    finalQuality.store(quality);
    const PlugInParams record = Record(n, quality);
    plugin_->SetParams(&record);
    checkpoint.store(rounds + 1);
    while (checked.load() < rounds + 1) {
      if (std::chrono::steady_clock::now() - start > 20 * kTimeBound) break;  // streamer stuck
      std::this_thread::yield();
    }
  }
  done.store(true);
  streamer.join();

  EXPECT_GT(rounds, 10);
  EXPECT_EQ(checked.load(), rounds) << "the streamer stopped before every round was checked";
  EXPECT_EQ(0, torn.load()) << "snapshots mixing two records, of " << pushes.load() << " pushes";
  EXPECT_EQ(0, lost.load()) << "rounds whose last change the engine did not prepare";
}

}  // namespace
