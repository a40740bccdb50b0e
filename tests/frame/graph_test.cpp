// Samples through CNxPlugIn: time stamps and flags, blocks and tails, mono-to-stereo, format
// changes while streaming; and whole graphs of wave source, filter and wave sink against the
// engine called directly on the same input.
#include "filter_test_util.h"
#include "frame/impulse_file_source.h"
#include "impulse/wave_reader.h"

namespace {

REFERENCE_TIME Duration(LONG frames, DWORD rate) {
  return static_cast<REFERENCE_TIME>(static_cast<double>(frames) / rate * 1e7 + 0.5);
}

// push source -> CNxPlugIn (in-memory impulse, quality 5: one block of the impulse's length)
// -> recording sink, in a graph.
class StreamChain : public ::testing::Test {
 protected:
  void Build(const WAVEFORMATEX& input, LONG bufferBytes, size_t impulseFrames,
             bool monoToStereo = false) {
    impulse_ = std::make_unique<MemoryImpulse>(RandomSignal(impulseFrames, 7, 3000.0f),
                                               input.nSamplesPerSec);
    plugin_->Engine().SetImpulseSource(impulse_.get());
    plugin_->SetQuality(5);
    plugin_->SetMonoToStereo(monoToStereo ? 1 : 0);
    ASSERT_HR(S_OK, chain_.Connect(AudioType(input), bufferBytes, false));
    if (downstreamAllocator_ != nullptr) {
      IMemInputPin* sinkPin = nullptr;
      ASSERT_HR(S_OK, sink_.GetPin(0)->QueryInterface(IID_IMemInputPin,
                                                      reinterpret_cast<void**>(&sinkPin)));
      sinkPin->NotifyAllocator(downstreamAllocator_, FALSE);
      sinkPin->Release();
    }
    ASSERT_HR(S_OK, chain_.ConnectOutput());
    source_ = chain_.source;
    inAlign_ = input.nBlockAlign;
    ASSERT_HR(S_OK, chain_.graph->Pause());
  }
  void TearDown() override { EXPECT_EQ(0u, chain_.Close()); }
  // Frames of 16-bit noise (whatever the format: only their number matters here).
  HRESULT PushFrames(LONG frames, bool discontinuity, REFERENCE_TIME start = -1) {
    const size_t samples = size_t(frames) * inAlign_ / 2;
    return source_->Push(AsBytes(Noise16(samples, seed_++, 8000.0f)), start, discontinuity);
  }
  static LONG Frames(const WaveSinkSample& s, WORD align) { return s.bytes / align; }

  std::unique_ptr<MemoryImpulse> impulse_;
  PushGraph chain_;
  CNxPlugIn* plugin_ = chain_.filter;
  CWaveSinkFilter& sink_ = chain_.sink;
  PushSource* source_ = nullptr;
  RefusingAllocator* downstreamAllocator_ = nullptr;  // offered to the filter when set
  WORD inAlign_ = 0;
  unsigned seed_ = 1;
};

TEST_F(StreamChain, TimesRunOnFromTheDiscontinuity) {
  Build(Wave(WAVE_FORMAT_PCM, 2, 44100, 16), 4096, 5);  // blocks of 8 frames
  ASSERT_HR(S_OK, PushFrames(1000, true, 5000000));
  ASSERT_HR(S_OK, PushFrames(1000, false));
  const std::vector<WaveSinkSample> got = sink_.Samples();
  ASSERT_EQ(2u, got.size());
  EXPECT_HR(S_OK, got[0].timeResult);
  EXPECT_EQ(5000000, got[0].start);
  EXPECT_TRUE(got[0].discontinuity && got[0].syncPoint && !got[1].discontinuity);
  EXPECT_EQ(5000000 + Duration(1000, 44100), got[1].start);
  EXPECT_EQ(got[1].start + Duration(1000, 44100), got[1].stop);
  EXPECT_EQ(1000, got[1].mediaStart);
  EXPECT_EQ(2000, got[1].mediaStop);
  // A later discontinuity takes its own time again.
  ASSERT_HR(S_OK, PushFrames(800, true, 100));
  const WaveSinkSample last = sink_.Samples().back();
  EXPECT_TRUE(last.discontinuity);
  EXPECT_EQ(100, last.start);
  EXPECT_EQ(100 + Duration(800, 44100), last.stop);
}

TEST_F(StreamChain, MonoToStereoFillsTwoBuffersAnd4410FramesLastOneMillion) {
  // Output buffers are as large as the input's: 8820 mono frames in, 4410 stereo frames out.
  Build(Wave(WAVE_FORMAT_PCM, 1, 44100, 16), 17640, 5, true);
  ASSERT_HR(S_OK, PushFrames(8820, true, 0));
  const std::vector<WaveSinkSample> got = sink_.Samples();
  ASSERT_EQ(2u, got.size());
  EXPECT_EQ(17640, got[0].bytes);
  EXPECT_EQ(0, got[0].start);
  EXPECT_EQ(1000000, got[0].stop);
  EXPECT_EQ(1000000, got[1].start);
  EXPECT_EQ(1000000 + Duration(Frames(got[1], 4), 44100), got[1].stop);
  EXPECT_EQ(8816, Frames(got[0], 4) + Frames(got[1], 4));  // whole blocks of 8
  EXPECT_FALSE(got[1].typeChanged);
}

TEST_F(StreamChain, InputThatOnlyFillsABlockProducesNothingYet) {
  Build(Wave(WAVE_FORMAT_IEEE_FLOAT, 2, 48000, 32), 8192, 1000);  // blocks of 1024 frames
  ASSERT_HR(S_OK, PushFrames(600, true, 0));
  EXPECT_TRUE(sink_.Samples().empty());
  ASSERT_HR(S_OK, PushFrames(600, false));
  const std::vector<WaveSinkSample> got = sink_.Samples();
  ASSERT_EQ(1u, got.size());
  EXPECT_EQ(1024, Frames(got[0], 8));
  EXPECT_EQ(0, got[0].start);
  EXPECT_TRUE(got[0].discontinuity);
}

TEST_F(StreamChain, EndOfStreamFlushesTheTailOnceWithoutTimes) {
  Build(Wave(WAVE_FORMAT_IEEE_FLOAT, 2, 48000, 32), 8192, 300);  // blocks of 512, tail 300
  ASSERT_HR(S_OK, PushFrames(1000, true, 0));
  ASSERT_HR(S_OK, PushFrames(1000, false));
  const size_t timed = sink_.Samples().size();
  ASSERT_HR(S_OK, source_->EndOfStream());
  EXPECT_EQ(1, sink_.EndOfStreamCount());
  const std::vector<WaveSinkSample> got = sink_.Samples();
  ASSERT_GT(got.size(), timed);
  LONG total = 0;
  for (size_t i = 0; i < got.size(); ++i) {
    total += Frames(got[i], 8);
    if (i < timed) continue;
    EXPECT_HR(VFW_E_SAMPLE_TIME_NOT_SET, got[i].timeResult);
    EXPECT_FALSE(got[i].discontinuity || got[i].syncPoint);
  }
  EXPECT_EQ(2000 + 300, total);
  // A second end of stream has no tail left to give, and is passed on again.
  ASSERT_HR(S_OK, source_->EndOfStream());
  EXPECT_EQ(got.size(), sink_.Samples().size());
  EXPECT_EQ(2, sink_.EndOfStreamCount());
}

TEST_F(StreamChain, NoBufferForTheTailStillEndsTheStreamOnceAndAbortsTheGraph) {
  RefusingAllocator* allocator = new RefusingAllocator;
  allocator->AddRef();
  downstreamAllocator_ = allocator;
  Build(Wave(WAVE_FORMAT_IEEE_FLOAT, 2, 48000, 32), 8192, 300);
  ASSERT_HR(S_OK, PushFrames(1000, true, 0));
  // Input used up, no buffer is asked for that is not delivered.
  ASSERT_FALSE(sink_.Samples().empty());
  EXPECT_EQ(sink_.Samples().size(), size_t(allocator->requests.load()));
  allocator->refuse = E_OUTOFMEMORY;
  EXPECT_HR(E_OUTOFMEMORY, source_->EndOfStream());
  EXPECT_EQ(1, sink_.EndOfStreamCount());
  LONG event = 0;
  EXPECT_HR(E_OUTOFMEMORY, chain_.graph->WaitForCompletion(0, &event));
  EXPECT_EQ(EC_ERRORABORT, event);
  allocator->Release();
}

TEST_F(StreamChain, EndOfStreamWithAnEmptyEngineDeliversNoData) {
  Build(Wave(WAVE_FORMAT_PCM, 2, 44100, 16), 4096, 5);
  ASSERT_HR(S_OK, source_->EndOfStream());
  EXPECT_EQ(1, sink_.EndOfStreamCount());
  EXPECT_TRUE(sink_.Samples().empty());
}

TEST_F(StreamChain, PartFrameAtTheEndOfASampleIsDropped) {
  Build(Wave(WAVE_FORMAT_PCM, 2, 44100, 16), 4096, 5);
  std::vector<BYTE> bytes(4 * 4 + 1, 1);
  ASSERT_HR(S_OK, source_->Push(bytes.data(), 17, true, 0, 1));
  ASSERT_HR(S_OK, PushFrames(4, false));
  const std::vector<WaveSinkSample> got = sink_.Samples();
  ASSERT_EQ(1u, got.size());
  EXPECT_EQ(8, Frames(got[0], 4));
}

TEST_F(StreamChain, MonoToStereoSwitchedBeforeDataChangesTheStreamFormat) {
  Build(Wave(WAVE_FORMAT_PCM, 1, 44100, 16), 4096, 5);
  plugin_->SetMonoToStereo(1);  // connected mono to mono, streaming, no data yet
  ASSERT_HR(S_OK, PushFrames(1000, true, 0));
  ASSERT_HR(S_OK, PushFrames(1000, false));
  const std::vector<WaveSinkSample> got = sink_.Samples();
  ASSERT_FALSE(got.empty());
  EXPECT_TRUE(got[0].typeChanged);
  LONG bytes = 0;
  for (size_t i = 0; i < got.size(); ++i) {
    EXPECT_EQ(i == 0, got[i].typeChanged) << i;
    bytes += got[i].bytes;
  }
  EXPECT_EQ(2000 * 4, bytes);  // stereo data under the stereo type
  EXPECT_EQ(2, sink_.Format().nChannels);
  ASSERT_HR(S_OK, chain_.graph->Stop());
  WAVEFORMATEX f;
  ASSERT_TRUE(ReadAudioFormat(plugin_->GetPin(1)->CurrentMediaType(), &f));
  EXPECT_EQ(2, f.nChannels);
}

TEST_F(StreamChain, MonoToStereoRefusedDownstreamKeepsTheFormat) {
  Build(Wave(WAVE_FORMAT_PCM, 1, 44100, 16), 4096, 5);
  ASSERT_HR(S_OK, PushFrames(1000, true, 0));
  plugin_->SetMonoToStereo(1);  // the sink has written mono data and takes no other format
  ASSERT_HR(S_OK, PushFrames(1000, false));
  ASSERT_HR(S_OK, PushFrames(1000, false));
  LONG bytes = 0;
  for (const WaveSinkSample& s : sink_.Samples()) {
    EXPECT_FALSE(s.typeChanged);
    bytes += s.bytes;
  }
  EXPECT_EQ(3000 * 2, bytes);
  EXPECT_EQ(1, sink_.Format().nChannels);
}

// The engine on its own: the whole input in one call, then the tail until it is done.
template <typename T>
std::vector<T> EngineOutput(const PlugInParams& params, const WAVEFORMATEX& in,
                            const WAVEFORMATEX& out, const std::vector<T>& input) {
  Owner owner;
  CAudioTransform transform(&owner);
  transform.SetParams(&params);
  CStreamEngine engine(transform);
  engine.SetImpulseSource(FileImpulseSource());
  EXPECT_HR(S_OK, engine.AttachStreamFormats(&in, &out));
  const DWORD frames = static_cast<DWORD>(input.size() / in.nChannels);
  std::vector<T> result(size_t{frames} * 4 * out.nChannels);
  DWORD consumed = frames;
  DWORD produced = frames * 4;
  EXPECT_HR(S_OK, engine.ConvolveStream(kStreamStart, input.data(), &consumed, result.data(),
                                        &produced));
  EXPECT_EQ(frames, consumed);
  size_t total = produced;
  for (;;) {
    DWORD none = 0;
    DWORD room = static_cast<DWORD>(result.size() / out.nChannels - total);
    const HRESULT hr = engine.ConvolveStream(kStreamEnd, static_cast<const T*>(nullptr), &none,
                                             result.data() + total * out.nChannels, &room);
    total += room;
    if (hr != S_OK || room == 0) break;
  }
  result.resize(total * out.nChannels);
  engine.ReleaseConvolver();
  return result;
}

// wave source -> CNxPlugIn (real impulse file) -> wave sink, on disk.
class FileGraph : public ::testing::Test {
 protected:
  void SetUp() override { WriteImpulseFile(folder_ / "impulse.wav"); }
  // Runs the file through the graph; returns the graph's result.
  HRESULT Run(const std::string& input, const WaveSourceOptions& options, bool monoToStereo) {
    auto* plugin = static_cast<CNxPlugIn*>(CNxPlugIn::CreateInstance(nullptr, nullptr));
    plugin->SetImpulseFile(Wide(folder_ / "impulse.wav").c_str());
    plugin->SetMonoToStereo(monoToStereo ? 1 : 0);
    plugin->GetParams(&params_);
    return RunWaveGraph(plugin, input, folder_ / "out.wav", options);
  }
  // The output file's samples, checking its format on the way (the writer's layout is checked
  // against sox by the command line's suite).
  template <typename T>
  std::vector<T> Output(const WAVEFORMATEX& expected) {
    WaveReader reader;
    EXPECT_EQ(0, WaveReader_Open(Wide(folder_ / "out.wav").c_str(), &reader, false));
    EXPECT_EQ(expected.nChannels, reader.channels);
    EXPECT_EQ(expected.nSamplesPerSec, reader.sampleRate);
    EXPECT_EQ(expected.wBitsPerSample / 8u, reader.bytesPerSample);
    std::vector<T> samples(size_t{reader.frames} * reader.channels);
    WaveReader_Read(&reader, samples.data(), reader.frames, 0, true);
    WaveReader_Close(&reader);
    return samples;
  }
  // `input` in `in` through the graph, in samples of `framesPerSample`, gives in `out` what the
  // engine alone gives, tail included.
  template <typename T>
  void ExpectEngineOutput(const std::vector<T>& input, const WAVEFORMATEX& in,
                          const WAVEFORMATEX& out, DWORD framesPerSample) {
    WriteWaveFile(folder_ / "in.wav", in.wFormatTag, in.nChannels, in.nSamplesPerSec,
                  in.wBitsPerSample, AsBytes(input));
    WaveSourceOptions options;
    options.framesPerSample = framesPerSample;
    ASSERT_HR(S_OK, Run(folder_ / "in.wav", options, in.nChannels != out.nChannels));
    const std::vector<T> expected = EngineOutput(params_, in, out, input);
    const std::vector<T> got = Output<T>(out);
    EXPECT_GT(got.size(), input.size() / in.nChannels * out.nChannels);  // the tail came through
    EXPECT_TRUE(expected == got);
  }
  TempFolder folder_;
  PlugInParams params_ = {};
};

TEST_F(FileGraph, FloatStereoAndSixteenBitMonoToStereoGiveWhatTheEngineGives) {
  const WAVEFORMATEX floats = Wave(WAVE_FORMAT_IEEE_FLOAT, 2, 44100, 32);
  ExpectEngineOutput(RandomSignal(2 * 5000, 11, 0.5f), floats, floats, 1000);
  ExpectEngineOutput(Noise16(3001, 5, 12000.0f), Wave(WAVE_FORMAT_PCM, 1, 44100, 16),
                     Wave(WAVE_FORMAT_PCM, 2, 44100, 16), 512);
}

TEST_F(FileGraph, ASinkThatCannotWriteFailsThePause) {
  const std::vector<float> input = RandomSignal(2 * 100, 1, 0.5f);
  WriteWaveFile(folder_ / "in.wav", WAVE_FORMAT_IEEE_FLOAT, 2, 44100, 32, AsBytes(input));
  // A folder where the file is written before it replaces "out.wav".
  std::filesystem::create_directories(folder_ / "out.wav.~part");
  EXPECT_HR(E_FAIL, Run(folder_ / "in.wav", WaveSourceOptions(), false));
}

}  // namespace
