// The streaming side of CAudioTransform: preparation on parameter and format changes, and the
// float, double and 16-bit entry points of the convolution engine.
#include <algorithm>
#include <cstring>

#include "frame/audio_transform.h"
#include "platform/file.h"
#include "platform/interlocked.h"
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

constexpr WCHAR kPackagedImpulseName[] = NXW("~IRX.TMP");

// The packaged impulse lives beside the module; an unknown module folder leaves the name empty.
void PackagedImpulsePath(WCHAR (&path)[kMaxPathUnits]) {
  const DWORD folder = NxGetModuleWorkFolder(path, kMaxPathUnits);
  const DWORD nameUnits = sizeof kPackagedImpulseName / sizeof(WCHAR);
  if (folder == 0 || folder + nameUnits > kMaxPathUnits) {
    path[0] = 0;
    return;
  }
  std::copy(kPackagedImpulseName, kPackagedImpulseName + nameUnits, path + folder);
}

int16_t ToPcm16(float value) {
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

void CAudioTransform::SetImpulseSource(ImpulseSource* source) {
  impulseSource_ = source != nullptr ? source : NullImpulseSource();
}

void CAudioTransform::SetMaxImpulseFrames(int64_t frames) {
  convolver_.maxImpulseFrames = ClampMaxImpulseFrames(frames);
  maxImpulseFramesKnown_ = true;
}

HRESULT CAudioTransform::PrepareFromSnapshot(const PlugInParams& snapshot, bool rebuild) {
  const WAVEFORMATEX* input;
  const WAVEFORMATEX* output;
  {
    CAutoLock hold(&lock_);
    input = formats_[kInputFormat];
    output = formats_[kOutputFormat];
  }
  if (input == nullptr || output == nullptr) {
    // Nothing was prepared from the request: keep it for the next preparation.
    if (rebuild) InterlockedWrite(&impulseStale_, 1);
    return VFW_E_NOT_CONNECTED;
  }
  if (!maxImpulseFramesKnown_) {
    const INT frames = static_cast<INT>(GetPrivateProfileIntW(
        NXW("Auralith"), NXW("MaxImpulseSize"), kDefaultMaxImpulseFrames, NXW("auralith.ini")));
    SetMaxImpulseFrames(frames);
  }
  WCHAR packaged[kMaxPathUnits];
  const WCHAR* file = snapshot.impulseFile;
  if (snapshot.packageImpulse != 0) {
    PackagedImpulsePath(packaged);
    file = packaged;
  }
  return PrepareImpulse(convolver_, snapshot, rebuild, ShapeOf(*input), ShapeOf(*output), file,
                        *impulseSource_, &statusRoute_);
}

void CAudioTransform::PublishPrepareResult(HRESULT hr) {
  prepareSucceeded_ = SUCCEEDED(hr);
  if (FAILED(hr)) {
    SetStatus(kStatusNone);
  } else {
    SetStatus(convolver_.impulseLoaded ? kStatusProcessing : kStatusNoImpulse);
  }
}

bool CAudioTransform::TakeSnapshotAndRebuildRequest(PlugInParams* snapshot, bool always,
                                                    bool* rebuild) {
  // Both under the lock, so that a change is either wholly in this snapshot and its rebuild
  // request, or left for the next one: a change landing between the two would otherwise have
  // its request spent on the older snapshot.
  CAutoLock hold(&lock_);
  const LONG changed = TakeParamsSnapshot(snapshot);
  if (!always && changed == 0 && prepareSucceeded_) return false;
  *rebuild = ExchangeImpulseStale() != 0;
  return true;
}

HRESULT CAudioTransform::PrepareIfChanged() {
  PlugInParams snapshot;
  bool rebuild = false;
  if (!TakeSnapshotAndRebuildRequest(&snapshot, false, &rebuild)) return S_OK;
  const HRESULT hr = PrepareFromSnapshot(snapshot, rebuild);
  PublishPrepareResult(hr);
  return hr;
}

HRESULT CAudioTransform::AttachStreamFormats(const WAVEFORMATEX* input,
                                             const WAVEFORMATEX* output) {
  SetStatus(kStatusInitializing);
  SetStreamFormatPointer(kInputFormat, input);
  SetStreamFormatPointer(kOutputFormat, output);
  PlugInParams snapshot;
  bool rebuild = false;
  TakeSnapshotAndRebuildRequest(&snapshot, true, &rebuild);
  const HRESULT hr = PrepareFromSnapshot(snapshot, rebuild);
  PublishPrepareResult(hr);
  return hr;
}

void CAudioTransform::ReleaseConvolver() {
  ::ReleaseConvolver(convolver_, &statusRoute_);
  prepareSucceeded_ = false;
}

template <typename T>
HRESULT CAudioTransform::ConvolveFloat(LONG mode, const T* input, DWORD* inFrames, T* output,
                                       DWORD* outFrames) {
  uint32_t in = (input != nullptr && inFrames != nullptr) ? *inFrames : 0;
  uint32_t out = (output != nullptr && outFrames != nullptr) ? *outFrames : 0;
  if (inFrames != nullptr) *inFrames = 0;
  if (outFrames != nullptr) *outFrames = 0;
  const HRESULT prepared = PrepareIfChanged();
  if (FAILED(prepared)) return prepared;
  LONG width = 50;
  GetResponseWidth(&width);
  const HRESULT hr = ConvolverProcess(convolver_, mode, input, &in, output, &out, width);
  if (inFrames != nullptr) *inFrames = in;
  if (outFrames != nullptr) *outFrames = out;
  return hr;
}

HRESULT CAudioTransform::ConvolveStream(LONG mode, const float* input, DWORD* inFrames,
                                        float* output, DWORD* outFrames) {
  return ConvolveFloat(mode, input, inFrames, output, outFrames);
}

HRESULT CAudioTransform::ConvolveStream(LONG mode, const double* input, DWORD* inFrames,
                                        double* output, DWORD* outFrames) {
  return ConvolveFloat(mode, input, inFrames, output, outFrames);
}

// Runs the float engine in chunks through the scratch buffers made at preparation.
HRESULT CAudioTransform::ConvolveStream(LONG mode, const int16_t* input, DWORD* inFrames,
                                        int16_t* output, DWORD* outFrames) {
  const uint32_t inTotal = (input != nullptr && inFrames != nullptr) ? *inFrames : 0;
  const uint32_t outTotal = (output != nullptr && outFrames != nullptr) ? *outFrames : 0;
  if (inFrames != nullptr) *inFrames = 0;
  if (outFrames != nullptr) *outFrames = 0;
  const HRESULT prepared = PrepareIfChanged();
  if (FAILED(prepared)) return prepared;
  if (convolver_.doublePrecision || convolver_.pcmInput == nullptr) return E_UNEXPECTED;
  LONG width = 50;
  GetResponseWidth(&width);
  const uint32_t inChannels = convolver_.inputChannels;
  const uint32_t outChannels = convolver_.outputChannels;
  uint32_t consumed = 0;
  uint32_t produced = 0;
  HRESULT result = S_FALSE;
  for (bool first = true;; first = false) {
    const uint32_t inChunk = std::min(inTotal - consumed, kPcmChunkFrames);
    const uint32_t outChunk = std::min(outTotal - produced, kPcmChunkFrames);
    for (uint32_t i = 0; i < inChunk * inChannels; ++i) {
      convolver_.pcmInput[i] = input[size_t(consumed) * inChannels + i];
    }
    // End of stream may close the final block only once the caller's input is used up.
    LONG chunkMode = first ? mode : kStreamContinue;
    if (chunkMode == kStreamEnd && consumed + inChunk < inTotal) chunkMode = kStreamContinue;
    if (mode == kStreamEnd && consumed + inChunk == inTotal) chunkMode = kStreamEnd;
    uint32_t in = inChunk;
    uint32_t out = outChunk;
    const HRESULT hr =
        ConvolverProcess(convolver_, chunkMode, input ? convolver_.pcmInput : nullptr, &in,
                         convolver_.pcmOutput, &out, width);
    if (FAILED(hr)) return hr;
    if (hr == S_OK) result = S_OK;
    for (uint32_t i = 0; i < out * outChannels; ++i) {
      output[size_t(produced) * outChannels + i] = ToPcm16(convolver_.pcmOutput[i]);
    }
    consumed += in;
    produced += out;
    if (inFrames != nullptr) *inFrames = consumed;
    if (outFrames != nullptr) *outFrames = produced;
    if (in == 0 && out == 0) break;
  }
  return result;
}
