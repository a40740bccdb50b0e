// The stream engine: preparation on parameter and format changes, and the float, double and
// 16-bit entry points of the convolution engine.
#include "frame/stream_engine.h"

#include <algorithm>
#include <cstring>

#include "frame/module_info.h"
#include "platform/file.h"
#include "platform/private_profile.h"

namespace {

static_assert(kConvolverStatusNone == kStatusNone &&
                  kConvolverStatusInitializing == kStatusInitializing &&
                  kConvolverStatusLoading == kStatusLoadingImpulse &&
                  kConvolverStatusPreparing == kStatusPreparing &&
                  kConvolverStatusProcessing == kStatusProcessing &&
                  kConvolverStatusStopping == kStatusStopping &&
                  kConvolverStatusNoImpulse == kStatusNoImpulse,
              "the engine publishes the frame's status codes");
static_assert(kConvolverOk == S_OK && kConvolverNothingToDo == S_FALSE &&
                  kConvolverOutOfMemory == E_OUTOFMEMORY && kConvolverBadFormat == E_INVALIDARG &&
                  kConvolverNotPrepared == E_UNEXPECTED,
              "engine results are HRESULTs");

class NoImpulseSource : public ImpulseSource {
 public:
  bool GetInfo(const WCHAR*, ImpulseSourceInfo*) override { return false; }
  void Load(const WCHAR*, float*, float*, uint32_t) override {}
};

StreamShape ShapeOf(const WAVEFORMATEX& format) {
  return {format.nChannels, format.nSamplesPerSec, format.wBitsPerSample};
}

int16_t TruncateToPcm16(float value) {
  if (!(value == value)) return 0;
  if (value >= 32767.0f) return 32767;
  if (value <= -32768.0f) return -32768;
  return static_cast<int16_t>(value);  // truncates toward zero
}

}  // namespace

ImpulseSource* NullImpulseSource() {
  static NoImpulseSource source;
  return &source;
}

void CStreamEngine::SetImpulseSource(ImpulseSource* source) {
  m_impulseSource = source != nullptr ? source : NullImpulseSource();
}

void CStreamEngine::SetMaxImpulseFrames(int64_t frames) {
  m_convolver.maxImpulseFrames = ClampMaxImpulseFrames(frames);
  m_maxImpulseFramesKnown = true;
}

HRESULT CStreamEngine::PrepareFromSnapshot(const PlugInParams& snapshot, bool rebuild) {
  const WAVEFORMATEX* input;
  const WAVEFORMATEX* output;
  {
    // Both under one hold of the (re-entrant) parameter lock, so they come from one attach.
    CAutoLock hold(m_params.Lock());
    input = m_params.StreamFormatPointer(kInputFormat);
    output = m_params.StreamFormatPointer(kOutputFormat);
  }
  if (input == nullptr || output == nullptr) {
    // Nothing was prepared from the request: keep it for the next preparation.
    if (rebuild) m_params.RestoreImpulseStale();
    return VFW_E_NOT_CONNECTED;
  }
  if (!m_maxImpulseFramesKnown) {
    const INT frames = static_cast<INT>(GetPrivateProfileIntW(
        NXW("Auralith"), NXW("MaxImpulseSize"), kDefaultMaxImpulseFrames, NXW("auralith.ini")));
    SetMaxImpulseFrames(frames);
  }
  WCHAR packaged[kMaxPathUnits];
  const WCHAR* file = snapshot.impulseFile;
  if (snapshot.packageImpulse != 0) {
    NxGetPackagedImpulsePath(packaged);
    file = packaged;
  }
  return PrepareImpulse(m_convolver, snapshot, rebuild, ShapeOf(*input), ShapeOf(*output), file,
                        *m_impulseSource, &m_statusRoute);
}

void CStreamEngine::PublishPrepareResult(HRESULT hr) {
  m_prepareSucceeded = SUCCEEDED(hr);
  if (FAILED(hr)) {
    m_params.SetStatus(kStatusNone);
  } else {
    m_params.SetStatus(m_convolver.impulseLoaded ? kStatusProcessing : kStatusNoImpulse);
  }
}

bool CStreamEngine::TakeSnapshotAndRebuildRequest(PlugInParams* snapshot, bool always,
                                                    bool* rebuild) {
  // Both under the lock, so that a change is either wholly in this snapshot and its rebuild
  // request, or left for the next one: a change landing between the two would otherwise have
  // its request spent on the older snapshot.
  CAutoLock hold(m_params.Lock());
  const LONG changed = m_params.TakeParamsSnapshot(snapshot);
  if (!always && changed == 0 && m_prepareSucceeded) return false;
  *rebuild = m_params.ExchangeImpulseStale() != 0;
  return true;
}

HRESULT CStreamEngine::PrepareIfChanged() {
  PlugInParams snapshot;
  bool rebuild = false;
  if (!TakeSnapshotAndRebuildRequest(&snapshot, false, &rebuild)) return S_OK;
  const HRESULT hr = PrepareFromSnapshot(snapshot, rebuild);
  PublishPrepareResult(hr);
  return hr;
}

HRESULT CStreamEngine::AttachStreamFormats(const WAVEFORMATEX* input,
                                             const WAVEFORMATEX* output) {
  m_params.SetStatus(kStatusInitializing);
  m_params.SetStreamFormatPointer(kInputFormat, input);
  m_params.SetStreamFormatPointer(kOutputFormat, output);
  PlugInParams snapshot;
  bool rebuild = false;
  TakeSnapshotAndRebuildRequest(&snapshot, true, &rebuild);
  const HRESULT hr = PrepareFromSnapshot(snapshot, rebuild);
  PublishPrepareResult(hr);
  return hr;
}

void CStreamEngine::ReleaseConvolver() {
  ::ReleaseConvolver(m_convolver, &m_statusRoute);
  m_prepareSucceeded = false;
}

template <typename T>
HRESULT CStreamEngine::ConvolveFloat(LONG mode, const T* input, DWORD* inFrames, T* output,
                                       DWORD* outFrames) {
  uint32_t in = (input != nullptr && inFrames != nullptr) ? *inFrames : 0;
  uint32_t out = (output != nullptr && outFrames != nullptr) ? *outFrames : 0;
  if (inFrames != nullptr) *inFrames = 0;
  if (outFrames != nullptr) *outFrames = 0;
  const HRESULT prepared = PrepareIfChanged();
  if (FAILED(prepared)) return prepared;
  LONG width = 50;
  m_params.GetResponseWidth(&width);
  const HRESULT hr = ConvolverProcess(m_convolver, mode, input, &in, output, &out, width);
  if (inFrames != nullptr) *inFrames = in;
  if (outFrames != nullptr) *outFrames = out;
  return hr;
}

HRESULT CStreamEngine::ConvolveStream(LONG mode, const float* input, DWORD* inFrames,
                                        float* output, DWORD* outFrames) {
  return ConvolveFloat(mode, input, inFrames, output, outFrames);
}

HRESULT CStreamEngine::ConvolveStream(LONG mode, const double* input, DWORD* inFrames,
                                        double* output, DWORD* outFrames) {
  return ConvolveFloat(mode, input, inFrames, output, outFrames);
}

// Runs the float engine in chunks through the scratch buffers made at preparation.
HRESULT CStreamEngine::ConvolveStream(LONG mode, const int16_t* input, DWORD* inFrames,
                                        int16_t* output, DWORD* outFrames) {
  const uint32_t inTotal = (input != nullptr && inFrames != nullptr) ? *inFrames : 0;
  const uint32_t outTotal = (output != nullptr && outFrames != nullptr) ? *outFrames : 0;
  if (inFrames != nullptr) *inFrames = 0;
  if (outFrames != nullptr) *outFrames = 0;
  const HRESULT prepared = PrepareIfChanged();
  if (FAILED(prepared)) return prepared;
  if (m_convolver.doublePrecision || m_convolver.pcmInput == nullptr) return E_UNEXPECTED;
  LONG width = 50;
  m_params.GetResponseWidth(&width);
  const uint32_t inChannels = m_convolver.inputChannels;
  const uint32_t outChannels = m_convolver.outputChannels;
  uint32_t consumed = 0;
  uint32_t produced = 0;
  HRESULT result = S_FALSE;
  for (bool first = true;; first = false) {
    const uint32_t inChunk = std::min(inTotal - consumed, kPcmChunkFrames);
    const uint32_t outChunk = std::min(outTotal - produced, kPcmChunkFrames);
    for (uint32_t i = 0; i < inChunk * inChannels; ++i) {
      m_convolver.pcmInput[i] = input[size_t(consumed) * inChannels + i];
    }
    // End of stream may close the final block only once the caller's input is used up.
    LONG chunkMode = first ? mode : kStreamContinue;
    if (chunkMode == kStreamEnd && consumed + inChunk < inTotal) chunkMode = kStreamContinue;
    if (mode == kStreamEnd && consumed + inChunk == inTotal) chunkMode = kStreamEnd;
    uint32_t in = inChunk;
    uint32_t out = outChunk;
    const HRESULT hr =
        ConvolverProcess(m_convolver, chunkMode, input ? m_convolver.pcmInput : nullptr, &in,
                         m_convolver.pcmOutput, &out, width);
    if (FAILED(hr)) return hr;
    if (hr == S_OK) result = S_OK;
    for (uint32_t i = 0; i < out * outChannels; ++i) {
      output[size_t(produced) * outChannels + i] = TruncateToPcm16(m_convolver.pcmOutput[i]);
    }
    consumed += in;
    produced += out;
    if (inFrames != nullptr) *inFrames = consumed;
    if (outFrames != nullptr) *outFrames = produced;
    if (in == 0 && out == 0) break;
  }
  return result;
}
