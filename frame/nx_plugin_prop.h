// INxPlugInProp: the parameter interface through which pages, presets and hosts read and change
// the reverb's settings one field at a time.
//
// The slot order after IUnknown is part of the binary interface and must not change. Setters clamp
// their argument into the field's range and always succeed; getters write through their pointer
// argument (E_POINTER when it is null). Units are those of PlugInParams.
#pragma once

#include "frame/plugin_params.h"
#include "platform/unknown.h"
#include "platform/wave_format.h"
#include "platform/window.h"

// {6D41C283-3F7B-11D0-B5E2-00AA004E7C19}
inline constexpr IID IID_INxPlugInProp = {0x6D41C283, 0x3F7B, 0x11D0,
                                          {0xB5, 0xE2, 0x00, 0xAA, 0x00, 0x4E, 0x7C, 0x19}};

// What the processing status slot shows on the pages.
enum ProcessingStatus : LONG {
  kStatusNone = 0,
  kStatusInitializing = 1,    // "Initializing..."
  kStatusLoadingImpulse = 2,  // "Loading impulse..."
  kStatusPreparing = 3,       // "Preparing impulse..."
  kStatusProcessing = 4,      // "[Processing]"
  kStatusStopping = 5,        // "Stopping processing..."
  kStatusNoImpulse = 6,       // "[Impulse not found]"
};

// Stream format selectors of GetStreamFormat.
constexpr LONG kInputFormat = 0;
constexpr LONG kOutputFormat = 1;

struct INxPlugInProp : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE GetParams(PlugInParams* params) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetParams(const PlugInParams* params) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetStreamFormat(WAVEFORMATEX* format, LONG which) = 0;
  virtual HRESULT STDMETHODCALLTYPE RegisterNotifyWindow(HWND window, WORD controlId) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetDryOut(LONG* level) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetDryOut(LONG level) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetWetOut(LONG* level) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetWetOut(LONG level) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetResponseDelay(LONG* tenthsOfMs) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetResponseDelay(LONG tenthsOfMs) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetResponseWidth(LONG* percent) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetResponseWidth(LONG percent) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetPan(LONG* pan) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetPan(LONG pan) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetApplyEnvelope(LONG* on) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetApplyEnvelope(LONG on) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetMonoToStereo(LONG* on) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetMonoToStereo(LONG on) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetEnvelopeCount(LONG* count) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetEnvelopeCount(LONG count) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetDecayLimit(LONG* hundredthsOfS) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetDecayLimit(LONG hundredthsOfS) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetQuality(LONG* quality) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetQuality(LONG quality) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetPackageImpulse(LONG* on) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetPackageImpulse(LONG on) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetLowShelfOn(LONG* on) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetLowShelfOn(LONG on) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetHighShelfOn(LONG* on) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetHighShelfOn(LONG on) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetLowShelfFreq(LONG* hz) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetLowShelfFreq(LONG hz) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetHighShelfFreq(LONG* hz) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetHighShelfFreq(LONG hz) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetLowShelfGain(LONG* tenthsOfDb) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetLowShelfGain(LONG tenthsOfDb) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetHighShelfGain(LONG* tenthsOfDb) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetHighShelfGain(LONG tenthsOfDb) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetRecoveryMode(LONG* mode) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetRecoveryMode(LONG mode) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetRemoveLowFreq(LONG* on) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetRemoveLowFreq(LONG on) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetImpulseFile(WCHAR* buffer, LONG bufferUnits) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetImpulseFile(const WCHAR* name) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetTestFile(WCHAR* buffer, LONG bufferUnits) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetTestFile(const WCHAR* name) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetRecordedFile(WCHAR* buffer, LONG bufferUnits) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetRecordedFile(const WCHAR* name) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetOutputFile(WCHAR* buffer, LONG bufferUnits) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetOutputFile(const WCHAR* name) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetEnvelopePoints(const EnvelopePoint* points, LONG count) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetEnvelopePoints(EnvelopePoint* points, LONG capacity) = 0;
  virtual HRESULT STDMETHODCALLTYPE ClearRedrawFlag() = 0;
  virtual HRESULT STDMETHODCALLTYPE GetRedrawFlag(LONG* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetProcessingFlag(LONG value) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetProcessingFlag(LONG* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetStatus(LONG* status) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetStatus(LONG status) = 0;

 protected:
  ~INxPlugInProp() = default;
};
