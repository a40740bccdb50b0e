// Shared pieces of the filter and graph tests (with the support headers: HRESULTs printed in
// hex, audio media types, the filter in a push graph, an in-memory impulse): a refusing
// allocator, a counting owner, noise, wave files on disk and a whole graph run from file to file.
#pragma once

#include "tests/support/memory_impulse.h"
#include "tests/support/plug_in.h"
#include "tests/support/test_support.h"

#include <atomic>
#include <cmath>

#include "frame/guids.h"
#include "frame/nx_plugin_prop.h"
#include "host/wave_source_filter.h"
#include "platform/dshow/mem_allocator.h"

// An allocator that hands out buffers until the test sets `refuse`, then fails with it.
class RefusingAllocator : public CMemAllocator {
 public:
  RefusingAllocator() : CMemAllocator("refusing allocator", nullptr) {}
  HRESULT STDMETHODCALLTYPE GetBuffer(IMediaSample** sample, REFERENCE_TIME* start,
                                      REFERENCE_TIME* stop, DWORD flags) override {
    ++requests;
    if (FAILED(refuse)) return *sample = nullptr, refuse;
    return CMemAllocator::GetBuffer(sample, start, stop, flags);
  }
  std::atomic<HRESULT> refuse{S_OK};
  std::atomic<int> requests{0};
};

// A controlling unknown for an object used alone or aggregated: counts the references passed
// to it and answers no interface.
class Owner : public IUnknown {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** object) override {
    if (object != nullptr) *object = nullptr;
    return object == nullptr ? E_POINTER : E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
  ULONG STDMETHODCALLTYPE Release() override { return --refs; }
  ULONG refs = 1;
};

inline void WriteWaveFile(const std::string& path, WORD tag, WORD channels, DWORD rate, WORD bits,
                          const std::vector<BYTE>& data) {
  WriteFileBytes(path, WaveFile(tag, channels, rate, bits, data));
}

// `count` samples of 16-bit noise at `scale`, falling by e every `fade` samples when set.
inline std::vector<int16_t> Noise16(size_t count, unsigned seed, float scale, float fade = 0) {
  const std::vector<float> noise = RandomSignal(count, seed, scale);
  std::vector<int16_t> out(count);
  for (size_t i = 0; i < count; ++i)
    out[i] = static_cast<int16_t>(noise[i] * (fade > 0 ? std::exp(-float(i) / fade) : 1.0f));
  return out;
}

template <typename T>
std::vector<BYTE> AsBytes(const std::vector<T>& values) {
  std::vector<BYTE> out(values.size() * sizeof(T));
  std::memcpy(out.data(), values.data(), out.size());
  return out;
}

// A 16-bit mono impulse file at 44100 Hz: 700 frames of decaying noise.
inline void WriteImpulseFile(const std::string& path) {
  WriteWaveFile(path, WAVE_FORMAT_PCM, 1, 44100, 16, AsBytes(Noise16(700, 3, 20000.0f, 150.0f)));
}

// wave source reading `input` -> `reverb` -> wave sink writing `output`, in a graph run to the
// end; returns the first failure. A run that succeeds must have found and used the impulse.
inline HRESULT RunWaveGraph(IBaseFilter* reverb, const std::string& input,
                            const std::string& output, const WaveSourceOptions& options) {
  CFilterGraph* graph = nullptr;
  CFilterGraph::Create(&graph);
  auto* source = new CWaveSourceFilter();
  auto* sink = new CWaveSinkFilter();
  graph->AddFilter(source, NXW("source"));
  graph->AddFilter(reverb, NXW("reverb"));
  graph->AddFilter(sink, NXW("sink"));
  IPin* in = nullptr;
  IPin* out = nullptr;
  EXPECT_HR(S_OK, reverb->FindPin(NXW("Input"), &in));
  EXPECT_HR(S_OK, reverb->FindPin(NXW("Output"), &out));
  HRESULT hr = source->Open(Wide(input).c_str(), options);
  if (SUCCEEDED(hr)) hr = sink->SetFileName(Wide(output).c_str());
  if (SUCCEEDED(hr)) hr = graph->ConnectDirect(source->GetPin(0), in, nullptr);
  if (SUCCEEDED(hr)) hr = graph->ConnectDirect(out, sink->GetPin(0), nullptr);
  if (SUCCEEDED(hr)) hr = graph->Run();
  if (SUCCEEDED(hr)) hr = graph->WaitForCompletion(30000, nullptr);
  INxPlugInProp* prop = nullptr;
  if (SUCCEEDED(hr) &&
      SUCCEEDED(reverb->QueryInterface(IID_INxPlugInProp, reinterpret_cast<void**>(&prop)))) {
    LONG status = 0;
    prop->GetStatus(&status);
    EXPECT_EQ(kStatusProcessing, status);
    prop->Release();
  }
  graph->Stop();
  in->Release();
  out->Release();
  EXPECT_EQ(0u, graph->Release());
  return hr;
}
