// CAudioTransform: the parameter object of the filter.
//
// It owns the PlugInParams record and the flags that tell the streaming side what changed. The
// pages and presets change it through INxPlugInProp on the user-interface thread; the streaming
// thread reads it only through TakeParamsSnapshot. One re-entrant critical section guards the
// record, the flags, the status and the window table. The rebuild request `impulseStale` is also
// cleared without the lock, by one atomic exchange, so that a change arriving during a rebuild
// raises it again and is never lost.
//
// Windows are told about changes by posted (never sent) WM_COMMAND messages: the slot's control
// identifier in the low word of wParam, the notification code in the high word.
#pragma once

#include <cstdint>

#include "dsp/convolver.h"
#include "frame/impulse_prep.h"
#include "frame/nx_plugin_prop.h"
#include "platform/critical_section.h"

// Notification codes posted to registered windows.
constexpr WORD kNotifyInputFormat = 0;    // the input stream format was set
constexpr WORD kNotifyOutputFormat = 1;   // the output stream format was set
constexpr WORD kNotifyParamsReplaced = 100;  // the whole record was replaced

constexpr int kNotifySlotCount = 6;

// The range a setter clamps one 32-bit field into, and whether a change to it invalidates the
// prepared impulse.
struct ParamFieldRule {
  LONG PlugInParams::*field;
  LONG minimum;
  LONG maximum;
  bool marksImpulseStale;
};

// The record of the "(Default)" preset: every field at its documented default.
PlugInParams DefaultPlugInParams();

class CAudioTransform : public INxPlugInProp {
 public:
  // `owner` is the filter's controlling unknown; IUnknown calls are forwarded to it.
  explicit CAudioTransform(IUnknown* owner);
  ~CAudioTransform() = default;
  CAudioTransform(const CAudioTransform&) = delete;
  CAudioTransform& operator=(const CAudioTransform&) = delete;

  // IUnknown, forwarded to the owner.
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  // INxPlugInProp, in slot order.
  HRESULT STDMETHODCALLTYPE GetParams(PlugInParams* params) override;
  HRESULT STDMETHODCALLTYPE SetParams(const PlugInParams* params) override;
  HRESULT STDMETHODCALLTYPE GetStreamFormat(WAVEFORMATEX* format, LONG which) override;
  HRESULT STDMETHODCALLTYPE RegisterNotifyWindow(HWND window, WORD controlId) override;
  HRESULT STDMETHODCALLTYPE GetDryOut(LONG* level) override;
  HRESULT STDMETHODCALLTYPE SetDryOut(LONG level) override;
  HRESULT STDMETHODCALLTYPE GetWetOut(LONG* level) override;
  HRESULT STDMETHODCALLTYPE SetWetOut(LONG level) override;
  HRESULT STDMETHODCALLTYPE GetResponseDelay(LONG* tenthsOfMs) override;
  HRESULT STDMETHODCALLTYPE SetResponseDelay(LONG tenthsOfMs) override;
  HRESULT STDMETHODCALLTYPE GetResponseWidth(LONG* percent) override;
  HRESULT STDMETHODCALLTYPE SetResponseWidth(LONG percent) override;
  HRESULT STDMETHODCALLTYPE GetPan(LONG* pan) override;
  HRESULT STDMETHODCALLTYPE SetPan(LONG pan) override;
  HRESULT STDMETHODCALLTYPE GetApplyEnvelope(LONG* on) override;
  HRESULT STDMETHODCALLTYPE SetApplyEnvelope(LONG on) override;
  HRESULT STDMETHODCALLTYPE GetMonoToStereo(LONG* on) override;
  HRESULT STDMETHODCALLTYPE SetMonoToStereo(LONG on) override;
  HRESULT STDMETHODCALLTYPE GetEnvelopeCount(LONG* count) override;
  HRESULT STDMETHODCALLTYPE SetEnvelopeCount(LONG count) override;
  HRESULT STDMETHODCALLTYPE GetDecayLimit(LONG* hundredthsOfS) override;
  HRESULT STDMETHODCALLTYPE SetDecayLimit(LONG hundredthsOfS) override;
  HRESULT STDMETHODCALLTYPE GetQuality(LONG* quality) override;
  HRESULT STDMETHODCALLTYPE SetQuality(LONG quality) override;
  HRESULT STDMETHODCALLTYPE GetPackageImpulse(LONG* on) override;
  HRESULT STDMETHODCALLTYPE SetPackageImpulse(LONG on) override;
  HRESULT STDMETHODCALLTYPE GetLowShelfOn(LONG* on) override;
  HRESULT STDMETHODCALLTYPE SetLowShelfOn(LONG on) override;
  HRESULT STDMETHODCALLTYPE GetHighShelfOn(LONG* on) override;
  HRESULT STDMETHODCALLTYPE SetHighShelfOn(LONG on) override;
  HRESULT STDMETHODCALLTYPE GetLowShelfFreq(LONG* hz) override;
  HRESULT STDMETHODCALLTYPE SetLowShelfFreq(LONG hz) override;
  HRESULT STDMETHODCALLTYPE GetHighShelfFreq(LONG* hz) override;
  HRESULT STDMETHODCALLTYPE SetHighShelfFreq(LONG hz) override;
  HRESULT STDMETHODCALLTYPE GetLowShelfGain(LONG* tenthsOfDb) override;
  HRESULT STDMETHODCALLTYPE SetLowShelfGain(LONG tenthsOfDb) override;
  HRESULT STDMETHODCALLTYPE GetHighShelfGain(LONG* tenthsOfDb) override;
  HRESULT STDMETHODCALLTYPE SetHighShelfGain(LONG tenthsOfDb) override;
  HRESULT STDMETHODCALLTYPE GetRecoveryMode(LONG* mode) override;
  HRESULT STDMETHODCALLTYPE SetRecoveryMode(LONG mode) override;
  HRESULT STDMETHODCALLTYPE GetRemoveLowFreq(LONG* on) override;
  HRESULT STDMETHODCALLTYPE SetRemoveLowFreq(LONG on) override;
  HRESULT STDMETHODCALLTYPE GetImpulseFile(WCHAR* buffer, LONG bufferUnits) override;
  HRESULT STDMETHODCALLTYPE SetImpulseFile(const WCHAR* name) override;
  HRESULT STDMETHODCALLTYPE GetTestFile(WCHAR* buffer, LONG bufferUnits) override;
  HRESULT STDMETHODCALLTYPE SetTestFile(const WCHAR* name) override;
  HRESULT STDMETHODCALLTYPE GetRecordedFile(WCHAR* buffer, LONG bufferUnits) override;
  HRESULT STDMETHODCALLTYPE SetRecordedFile(const WCHAR* name) override;
  HRESULT STDMETHODCALLTYPE GetOutputFile(WCHAR* buffer, LONG bufferUnits) override;
  HRESULT STDMETHODCALLTYPE SetOutputFile(const WCHAR* name) override;
  HRESULT STDMETHODCALLTYPE SetEnvelopePoints(const EnvelopePoint* points, LONG count) override;
  HRESULT STDMETHODCALLTYPE GetEnvelopePoints(EnvelopePoint* points, LONG capacity) override;
  HRESULT STDMETHODCALLTYPE ClearRedrawFlag() override;
  HRESULT STDMETHODCALLTYPE GetRedrawFlag(LONG* value) override;
  HRESULT STDMETHODCALLTYPE SetProcessingFlag(LONG value) override;
  HRESULT STDMETHODCALLTYPE GetProcessingFlag(LONG* value) override;
  HRESULT STDMETHODCALLTYPE GetStatus(LONG* status) override;
  HRESULT STDMETHODCALLTYPE SetStatus(LONG status) override;

  // For the streaming side: copies the record under the lock and returns `paramsChanged`,
  // clearing it.
  LONG TakeParamsSnapshot(PlugInParams* snapshot);
  // For impulse preparation: returns the rebuild request and clears it in one atomic step.
  LONG ExchangeImpulseStale();

  // For the filter: posts `code` to every registered window, dropping windows that are gone.
  void NotifyWindows(WORD code);
  // The filter owns the formats; null clears. `which` is kInputFormat or kOutputFormat.
  void SetStreamFormatPointer(LONG which, const WAVEFORMATEX* format);

  // Persistence: unsaved changes.
  bool IsDirty();
  void ClearDirty();

  // The lock, for callers that make several changes as one (preset loading).
  CCritSec* Lock() { return &m_lock; }

  // The format pointer last set for `which` (kInputFormat or kOutputFormat), or null.
  const WAVEFORMATEX* StreamFormatPointer(LONG which);
  // Raises the rebuild request again, for a preparation that could not use the one it took.
  void RestoreImpulseStale();

 private:
  struct NotifySlot {
    HWND window;
    WORD controlId;
  };
  typedef WCHAR(PlugInParams::*TextField)[kMaxPathUnits];

  HRESULT GetField(LONG PlugInParams::*field, LONG* value);
  HRESULT SetField(const ParamFieldRule& rule, LONG value);
  HRESULT GetText(TextField field, WCHAR* buffer, LONG bufferUnits);
  HRESULT SetText(TextField field, const WCHAR* text);
  // Sets paramsChanged and dirty, and the rebuild request when the impulse is affected.
  void MarkChanged(bool impulseStale);

  IUnknown* m_owner;
  CCritSec m_lock;
  PlugInParams m_params;
  bool m_paramsChanged = true;
  LONG volatile m_impulseStale = 1;
  bool m_dirty = false;
  LONG m_status = kStatusNone;
  LONG m_processingFlag = 0;
  NotifySlot m_slots[kNotifySlotCount] = {};
  const WAVEFORMATEX* m_formats[2] = {nullptr, nullptr};
};
