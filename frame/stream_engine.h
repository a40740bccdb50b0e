// CStreamEngine: the host of the convolution engine inside the filter.
//
// It owns the ConvolverState and runs it on the streaming thread: at stream start it prepares the
// impulse for the two stream formats, at each call it takes a parameter snapshot from the
// parameter object (CAudioTransform) and prepares again when the parameters changed or the last
// preparation failed, and at stream stop it frees every engine buffer. It reads the parameters
// only through TakeParamsSnapshot and the rebuild request only through ExchangeImpulseStale, and
// publishes its progress through the parameter object's status slot.
#pragma once

#include <cstdint>

#include "dsp/convolver.h"
#include "frame/audio_transform.h"
#include "frame/impulse_prep.h"

// The impulse source that finds no file: the engine then runs on its silent stand-by impulse.
ImpulseSource* NullImpulseSource();

class CStreamEngine {
 public:
  // `params` outlives the engine (the filter holds both).
  explicit CStreamEngine(CAudioTransform& params) : m_params(params), m_statusRoute(params) {}
  ~CStreamEngine() = default;
  CStreamEngine(const CStreamEngine&) = delete;
  CStreamEngine& operator=(const CStreamEngine&) = delete;

  // Frame counts are in/out: frames offered, then frames consumed / produced. mode:
  // kStreamStart, kStreamEnd, anything else continues; input may be null to flush the tail. The
  // parameters are snapshotted first and the engine prepared again when they changed or the last
  // preparation failed. After preparation nothing here allocates. 16-bit samples enter the float
  // engine as exact integer values and return truncated toward zero, saturated to
  // -32768..32767.
  HRESULT ConvolveStream(LONG mode, const float* input, DWORD* inFrames, float* output,
                         DWORD* outFrames);
  HRESULT ConvolveStream(LONG mode, const double* input, DWORD* inFrames, double* output,
                         DWORD* outFrames);
  HRESULT ConvolveStream(LONG mode, const int16_t* input, DWORD* inFrames, int16_t* output,
                         DWORD* outFrames);
  // At stream start: stores both formats in the parameter object (owned by the caller, who keeps
  // them alive while they are set), prepares the engine and publishes the status.
  HRESULT AttachStreamFormats(const WAVEFORMATEX* input, const WAVEFORMATEX* output);
  // At stream stop: frees every engine buffer.
  void ReleaseConvolver();
  // Where impulse files are read from; null restores the default, which finds no impulse.
  void SetImpulseSource(ImpulseSource* source);
  // "MaxImpulseSize" of the settings file, clamped to 131071..40000000. The first preparation
  // reads it from the settings file unless it was set here before.
  void SetMaxImpulseFrames(int64_t frames);
  const ConvolverState& Convolver() const { return m_convolver; }

 private:
  // Routes the engine's status reports to the parameter object's status slot.
  class StatusRoute : public ConvolverStatusSink {
   public:
    explicit StatusRoute(CAudioTransform& params) : m_params(params) {}
    void SetStatus(LONG status) override { m_params.SetStatus(status); }

   private:
    CAudioTransform& m_params;
  };

  // Copies the record and takes the rebuild request in one step under the parameter lock. False
  // (nothing taken) when nothing changed since a successful preparation, unless `always`.
  bool TakeSnapshotAndRebuildRequest(PlugInParams* snapshot, bool always, bool* rebuild);
  HRESULT PrepareFromSnapshot(const PlugInParams& snapshot, bool rebuild);
  HRESULT PrepareIfChanged();
  void PublishPrepareResult(HRESULT hr);
  template <typename T>
  HRESULT ConvolveFloat(LONG mode, const T* input, DWORD* inFrames, T* output, DWORD* outFrames);

  CAudioTransform& m_params;
  ConvolverState m_convolver;
  ImpulseSource* m_impulseSource = NullImpulseSource();
  StatusRoute m_statusRoute;
  bool m_prepareSucceeded = false;
  bool m_maxImpulseFramesKnown = false;  // "MaxImpulseSize" is read once per engine
};
