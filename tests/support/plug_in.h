// The filter as a host makes it (holding its one reference), the preset stream it saves, and
// the filter between a push source and a recording sink in a graph; for tests, fuzz targets
// and the corpus writer (so no test framework here).
#pragma once

#include "frame/nx_plugin.h"
#include "host/wave_sink_filter.h"
#include "platform/dshow/filter_graph.h"
#include "platform/dshow/stream.h"
#include "tests/support/push_source.h"
#include "tests/support/riff_bytes.h"

inline CNxPlugIn* NewPlugIn() {
  auto* filter = static_cast<CNxPlugIn*>(CNxPlugIn::CreateInstance(nullptr, nullptr));
  if (filter != nullptr) static_cast<IBaseFilter*>(filter)->AddRef();
  return filter;
}

inline Bytes SavedPreset(CNxPlugIn* filter, BOOL clearDirty = FALSE) {
  CMemoryStream* stream = CMemoryStream::Create();
  filter->Save(stream, clearDirty);
  Bytes bytes = stream->Bytes();
  stream->Release();
  return bytes;
}

// Every whole-number setting's setter and getter, the range the setter clamps to, and whether a
// change makes the prepared impulse stale.
struct ParamField {
  const char* name;
  HRESULT (STDMETHODCALLTYPE CAudioTransform::*set)(LONG);
  HRESULT (STDMETHODCALLTYPE CAudioTransform::*get)(LONG*);
  LONG minimum;
  LONG maximum;
  bool stale;
};
#define PARAM_FIELD(Name, minimum, maximum, stale)                                   \
  ParamField{#Name, &CAudioTransform::Set##Name, &CAudioTransform::Get##Name, minimum, \
             maximum, stale}
inline const ParamField kParamFields[] = {
    PARAM_FIELD(DryOut, -800, 200, false),          PARAM_FIELD(WetOut, -800, 200, false),
    PARAM_FIELD(ResponseDelay, -5000, 5000, false), PARAM_FIELD(ResponseWidth, 0, 100, false),
    PARAM_FIELD(Pan, -100, 100, false),             PARAM_FIELD(ApplyEnvelope, 0, 1, true),
    PARAM_FIELD(MonoToStereo, 0, 1, false),         PARAM_FIELD(EnvelopeCount, 2, 16, true),
    PARAM_FIELD(DecayLimit, 1, 1200, true),         PARAM_FIELD(Quality, 1, 5, true),
    PARAM_FIELD(LowShelfOn, 0, 1, false),           PARAM_FIELD(HighShelfOn, 0, 1, false),
    PARAM_FIELD(LowShelfFreq, 20, 15000, false),    PARAM_FIELD(HighShelfFreq, 20, 20000, false),
    PARAM_FIELD(LowShelfGain, -150, 150, false),    PARAM_FIELD(HighShelfGain, -150, 150, false),
    PARAM_FIELD(RemoveLowFreq, 0, 1, false),        PARAM_FIELD(RecoveryMode, 1503, 1505, true),
    PARAM_FIELD(PackageImpulse, 0, 1, false),
};
#undef PARAM_FIELD

// push source -> `filter` (made here) -> recording sink. The graph holds the source; this
// object holds the filter's first reference and the sink.
struct PushGraph {
  CNxPlugIn* filter = NewPlugIn();
  CFilterGraph* graph = nullptr;
  PushSource* source = nullptr;
  CWaveSinkFilter sink;

  PushGraph() { sink.AddRef(); }
  // Connects a source offering `type` in buffers of `bufferBytes` to the filter's input, and
  // the filter's output to the sink unless `output` is false; returns the first failure.
  HRESULT Connect(const CMediaType& type, LONG bufferBytes = 4096, bool output = true) {
    HRESULT hr = CFilterGraph::Create(&graph);
    if (FAILED(hr)) return hr;
    source = new PushSource(type, bufferBytes);
    hr = graph->AddFilter(source, NXW("source"));
    if (SUCCEEDED(hr)) hr = graph->AddFilter(filter, NXW("reverb"));
    if (SUCCEEDED(hr)) hr = graph->AddFilter(&sink, NXW("sink"));
    if (SUCCEEDED(hr)) hr = graph->ConnectDirect(&source->Pin(), filter->GetPin(0), nullptr);
    if (SUCCEEDED(hr) && output) hr = ConnectOutput();
    return hr;
  }
  HRESULT ConnectOutput() {
    return graph->ConnectDirect(filter->GetPin(1), sink.GetPin(0), nullptr);
  }
  // Stops and releases the graph and the filter; the references left (0 unless one leaked).
  ULONG Close() {
    ULONG left = 0;
    if (graph != nullptr) {
      graph->Stop();
      left += graph->Release();
      graph = nullptr;
    }
    if (filter != nullptr) left += static_cast<IBaseFilter*>(filter)->Release();
    filter = nullptr;
    return left;
  }
};
