
#include <algorithm>
#include <cmath>
#include <new>

#include "frame/stream_engine.h"
#include "filter_test_util.h"

// The replacement operators below pair malloc with free on purpose; GCC cannot see that once
// they are inlined into their callers.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif

// Heap allocations are counted while a test arms the counter; otherwise these behave as the
// library's own operators.
namespace {
std::atomic<bool> g_countAllocations{false};
std::atomic<int> g_allocations{0};

void* Allocate(std::size_t size) {
  if (g_countAllocations.load()) ++g_allocations;
  return std::malloc(size == 0 ? 1 : size);
}

template <typename Work>
int AllocationsDuring(Work work) {
  g_allocations = 0;
  g_countAllocations = true;
  work();
  g_countAllocations = false;
  return g_allocations.load();
}
}  // namespace

void* operator new(std::size_t size) {
  void* p = Allocate(size);
  if (p == nullptr) throw std::bad_alloc();
  return p;
}
void* operator new[](std::size_t size) { return operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }

namespace {

WAVEFORMATEX Format(WORD channels, WORD bits, DWORD rate = 8000) {
  return Wave(bits == 16 ? WAVE_FORMAT_PCM : WAVE_FORMAT_IEEE_FLOAT, channels, rate, bits);
}

class StreamTest : public ::testing::Test {
 protected:
  StreamTest() : transform(&owner) {
    PlugInParams p = DefaultPlugInParams();
    p.quality = 5;
    transform.SetParams(&p);
    impulse.channel[0] = {0.8f, -0.3f, 0.2f, 0.1f, -0.05f};
  }

  LONG Status() {
    LONG s = -1;
    transform.GetStatus(&s);
    return s;
  }

  // Streams mono frames in calls of `call` frames, then flushes; returns every output frame.
  template <typename T>
  std::vector<T> Run(const std::vector<T>& input, uint32_t call, uint32_t outChannels = 1) {
    std::vector<T> out;
    std::vector<T> buffer(256 * outChannels);
    size_t pos = 0;
    LONG mode = kStreamStart;
    while (pos < input.size()) {
      DWORD in = static_cast<DWORD>(std::min<size_t>(call, input.size() - pos));
      DWORD produced = 256;
      EXPECT_TRUE(SUCCEEDED(
          engine.ConvolveStream(mode, input.data() + pos, &in, buffer.data(), &produced)));
      mode = kStreamContinue;
      pos += in;
      out.insert(out.end(), buffer.begin(), buffer.begin() + produced * outChannels);
    }
    for (mode = kStreamEnd;; mode = kStreamContinue) {
      DWORD in = 0;
      DWORD produced = 256;
      const HRESULT hr = engine.ConvolveStream(mode, static_cast<const T*>(nullptr), &in,
                                                  buffer.data(), &produced);
      out.insert(out.end(), buffer.begin(), buffer.begin() + produced * outChannels);
      if (hr != S_OK || produced == 0) break;
    }
    return out;
  }

  Owner owner;
  CAudioTransform transform;
  CStreamEngine engine{transform};
  MemoryImpulse impulse{{}, 8000};
  WAVEFORMATEX mono16 = Format(1, 16);
  WAVEFORMATEX monoFloat = Format(1, 32);
};

TEST_F(StreamTest, SixteenBitTruncatesTowardZeroAndSaturates) {
  impulse.channel[0] = {1.0f, 0.0f};  // 8 data bytes: the least an impulse file may hold
  engine.SetImpulseSource(&impulse);
  transform.SetWetOut(60);  // x 1.995
  ASSERT_EQ(engine.AttachStreamFormats(&mono16, &mono16), S_OK);
  const std::vector<int16_t> input = {3, -3, 20000, -20000, 0, 1, 1000};
  const std::vector<int16_t> out = Run(input, 2);
  const std::vector<int16_t> want = {5, -5, 32767, -32768, 0, 1, 1995, 0, 0};
  EXPECT_EQ(out, want);
}

TEST_F(StreamTest, SixteenBitRunsInChunksLikeTheFloatEngine) {
  engine.SetImpulseSource(&impulse);
  ASSERT_EQ(engine.AttachStreamFormats(&mono16, &mono16), S_OK);
  std::vector<int16_t> input(3000);
  for (size_t i = 0; i < input.size(); ++i)
    input[i] = static_cast<int16_t>((i * 7919) % 20000 - 10000);
  // One call larger than the conversion chunk, then flush.
  std::vector<int16_t> out(4000);
  DWORD in = 3000;
  DWORD produced = 4000;
  ASSERT_EQ(engine.ConvolveStream(kStreamEnd, input.data(), &in, out.data(), &produced), S_OK);
  EXPECT_TRUE(in == 3000u && produced == 3005u) << in << " " << produced;
  out.resize(produced);
  ASSERT_EQ(engine.AttachStreamFormats(&mono16, &mono16), S_OK);
  EXPECT_EQ(out, Run(input, 1));
}

// A stream started again without a new preparation (a seek to the start in a running graph)
// gives what the first gave: no shelf, overlap or delay memory carries over.
TEST_F(StreamTest, AStreamStartedAgainRepeatsTheFirst) {
  engine.SetImpulseSource(&impulse);
  transform.SetLowShelfOn(1);
  transform.SetLowShelfGain(60);
  transform.SetHighShelfOn(1);
  transform.SetHighShelfGain(-60);
  transform.SetResponseDelay(20);
  ASSERT_EQ(engine.AttachStreamFormats(&monoFloat, &monoFloat), S_OK);
  std::vector<float> input(700);
  for (size_t i = 0; i < input.size(); ++i) input[i] = 1000.0f * std::sin(0.05f * i);
  const std::vector<float> first = Run(input, 64);
  EXPECT_EQ(Run(input, 64), first);
}

TEST_F(StreamTest, StreamingAllocatesNothingAfterPreparation) {
  engine.SetImpulseSource(&impulse);
  transform.SetDryOut(-30);
  transform.SetResponseDelay(20);
  transform.SetQuality(3);
  std::vector<float> input(2000, 1.0f);
  std::vector<int16_t> input16(2000, 100);
  ASSERT_EQ(engine.AttachStreamFormats(&monoFloat, &monoFloat), S_OK);
  std::vector<float> buffer(64);
  EXPECT_EQ(0, AllocationsDuring([&] {
    size_t pos = 0;
    for (LONG mode = kStreamStart; pos < input.size(); mode = kStreamContinue) {
      DWORD in = static_cast<DWORD>(std::min<size_t>(37, input.size() - pos));
      DWORD produced = 64;
      transform.SetResponseWidth(pos % 100 > 50 ? 80 : 50);  // read live; a quick update at most
      engine.ConvolveStream(mode, input.data() + pos, &in, buffer.data(), &produced);
      pos += in;
    }
  }));

  ASSERT_EQ(engine.AttachStreamFormats(&mono16, &mono16), S_OK);
  std::vector<int16_t> buffer16(3000);
  DWORD in = 2000;
  DWORD produced = 3000;
  EXPECT_EQ(0, AllocationsDuring([&] {
    engine.ConvolveStream(kStreamEnd, input16.data(), &in, buffer16.data(), &produced);
  }));
  EXPECT_EQ(in, 2000u);
}

TEST_F(StreamTest, FailuresAreReportedAndRetried) {
  float in[4] = {};
  float out[4] = {};
  DWORD ni = 2;
  DWORD no = 4;
  EXPECT_EQ(engine.ConvolveStream(kStreamStart, in, &ni, out, &no), VFW_E_NOT_CONNECTED);
  EXPECT_TRUE(Status() == kStatusNone && ni == 0u);
  // A 16-bit call on a 64-bit stream is refused rather than misread.
  WAVEFORMATEX wide = Format(1, 64);
  ASSERT_EQ(engine.AttachStreamFormats(&wide, &wide), S_OK);
  int16_t pcm[2] = {};
  ni = 1;
  no = 1;
  EXPECT_EQ(engine.ConvolveStream(kStreamStart, pcm, &ni, pcm, &no), E_UNEXPECTED);
}

// The limit's clamping is the settings suite's; here, when the engine reads it.
TEST(StreamSettings, TheFirstPreparationReadsTheImpulseLimitOnce) {
  TempFolder folder("AURALITH_CONFIG_DIR");
  folder.Write("auralith.ini", B("[Auralith]\nMaxImpulseSize=200000\n"));
  WAVEFORMATEX format = Format(1, 32);
  Owner owner;
  CAudioTransform transform(&owner);
  CStreamEngine engine(transform);
  EXPECT_EQ(engine.Convolver().maxImpulseFrames, 524287);  // until it is read
  ASSERT_EQ(engine.AttachStreamFormats(&format, &format), S_OK);
  EXPECT_EQ(engine.Convolver().maxImpulseFrames, 200000);
  // Read once per object: a later change of the file is not seen.
  folder.Write("auralith.ini", B("[Auralith]\nMaxImpulseSize=300000\n"));
  transform.SetQuality(4);
  ASSERT_EQ(engine.AttachStreamFormats(&format, &format), S_OK);
  EXPECT_EQ(engine.Convolver().maxImpulseFrames, 200000);
}

}  // namespace
