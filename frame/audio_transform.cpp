#include "frame/audio_transform.h"

#include <algorithm>
#include <cstring>

#include "platform/interlocked.h"
#include "platform/wide_string.h"
#include "recovery/timing_spikes.h"

namespace {

constexpr ParamFieldRule kDryOut{&PlugInParams::dryOut, -800, 200, false};
constexpr ParamFieldRule kWetOut{&PlugInParams::wetOut, -800, 200, false};
constexpr ParamFieldRule kResponseWidth{&PlugInParams::responseWidth, 0, 100, false};
constexpr ParamFieldRule kApplyEnvelope{&PlugInParams::applyEnvelope, 0, 1, true};
constexpr ParamFieldRule kDecayLimit{&PlugInParams::decayLimit, 1, 1200, true};
constexpr ParamFieldRule kResponseDelay{&PlugInParams::responseDelay, -5000, 5000, false};
constexpr ParamFieldRule kHighShelfFreq{&PlugInParams::highShelfFreq, 20, 20000, false};
constexpr ParamFieldRule kHighShelfGain{&PlugInParams::highShelfGain, -150, 150, false};
constexpr ParamFieldRule kLowShelfFreq{&PlugInParams::lowShelfFreq, 20, 15000, false};
constexpr ParamFieldRule kLowShelfGain{&PlugInParams::lowShelfGain, -150, 150, false};
constexpr ParamFieldRule kHighShelfOn{&PlugInParams::highShelfOn, 0, 1, false};
constexpr ParamFieldRule kLowShelfOn{&PlugInParams::lowShelfOn, 0, 1, false};
constexpr ParamFieldRule kRecoveryMode{&PlugInParams::recoveryMode, kSpikeModeNone,
                                       kSpikeModeFileEnds, true};
constexpr ParamFieldRule kRemoveLowFreq{&PlugInParams::removeLowFreq, 0, 1, false};
constexpr ParamFieldRule kPackageImpulse{&PlugInParams::packageImpulse, 0, 1, false};
constexpr ParamFieldRule kQuality{&PlugInParams::quality, 1, 5, true};
constexpr ParamFieldRule kEnvelopeCount{&PlugInParams::envelopeCount, 2, kMaxEnvelopePoints, true};
constexpr ParamFieldRule kMonoToStereo{&PlugInParams::monoToStereo, 0, 1, false};
constexpr ParamFieldRule kPan{&PlugInParams::pan, -100, 100, false};

// The fields a whole-record replacement clamps, in the order it clamps them. The others (shelf
// settings, switches, pan) are stored as given.
constexpr const ParamFieldRule* kClampedOnReplace[] = {
    &kDecayLimit, &kResponseDelay, &kResponseWidth, &kApplyEnvelope, &kEnvelopeCount,
    &kDryOut,     &kWetOut,        &kQuality,       &kRecoveryMode};

LONG Clamp(const ParamFieldRule& rule, LONG value) {
  return std::min(std::max(value, rule.minimum), rule.maximum);
}

}  // namespace

PlugInParams DefaultPlugInParams() {
  PlugInParams p;
  std::memset(&p, 0, sizeof p);
  p.dryOut = -800;
  p.wetOut = 0;
  p.responseWidth = 50;
  p.applyEnvelope = 0;
  p.decayLimit = 140;
  p.responseDelay = 0;
  p.highShelfFreq = 5000;
  p.highShelfGain = 0;
  p.lowShelfFreq = 50;
  p.lowShelfGain = 0;
  p.recoveryMode = kSpikeModeFileEnds;
  p.removeLowFreq = 1;
  p.quality = 3;
  p.envelopeCount = 2;
  p.envelopePoints[0] = {0, 100};
  p.envelopePoints[1] = {1000, 0};
  return p;
}

CAudioTransform::CAudioTransform(IUnknown* owner) : m_owner(owner) {
  std::memset(&m_params, 0, sizeof m_params);
}

HRESULT CAudioTransform::QueryInterface(REFIID riid, void** object) {
  return m_owner->QueryInterface(riid, object);
}

ULONG CAudioTransform::AddRef() { return m_owner->AddRef(); }

ULONG CAudioTransform::Release() { return m_owner->Release(); }

void CAudioTransform::MarkChanged(bool impulseStale) {
  m_paramsChanged = true;
  m_dirty = true;
  if (impulseStale) InterlockedWrite(&m_impulseStale, 1);
}

HRESULT CAudioTransform::GetField(LONG PlugInParams::*field, LONG* value) {
  if (value == nullptr) return E_POINTER;
  // A 4-byte copy under the lock: cheap, and never a data race with a whole-record replacement.
  CAutoLock hold(&m_lock);
  *value = m_params.*field;
  return S_OK;
}

HRESULT CAudioTransform::SetField(const ParamFieldRule& rule, LONG value) {
  value = Clamp(rule, value);
  CAutoLock hold(&m_lock);
  if (m_params.*rule.field != value) {
    m_params.*rule.field = value;
    MarkChanged(rule.marksImpulseStale);
  }
  return S_OK;
}

HRESULT CAudioTransform::GetText(TextField field, WCHAR* buffer, LONG bufferUnits) {
  if (bufferUnits < 1) return S_OK;
  if (buffer == nullptr) return E_POINTER;
  CAutoLock hold(&m_lock);
  NxStrCopyW(buffer, static_cast<size_t>(bufferUnits), m_params.*field);
  return S_OK;
}

HRESULT CAudioTransform::SetText(TextField field, const WCHAR* text) {
  if (text == nullptr) return E_POINTER;
  CAutoLock hold(&m_lock);
  WCHAR* stored = m_params.*field;
  // Compare what would be stored: a longer text that agrees in its first 259 units is no change.
  const size_t n = NxStrLenBoundedW(text, kMaxPathUnits - 1);
  if (NxStrLenBoundedW(stored, kMaxPathUnits) == n &&
      std::memcmp(stored, text, n * sizeof(WCHAR)) == 0)
    return S_OK;
  NxStrCopyW(stored, kMaxPathUnits, text);
  MarkChanged(true);
  return S_OK;
}

HRESULT CAudioTransform::GetParams(PlugInParams* params) {
  if (params == nullptr) return E_POINTER;
  CAutoLock hold(&m_lock);
  std::memcpy(params, &m_params, sizeof m_params);
  return S_OK;
}

HRESULT CAudioTransform::SetParams(const PlugInParams* params) {
  if (params == nullptr) return E_POINTER;
  CAutoLock hold(&m_lock);
  std::memcpy(&m_params, params, sizeof m_params);
  m_paramsChanged = true;
  m_dirty = true;
  InterlockedWrite(&m_impulseStale, 1);
  for (const ParamFieldRule* rule : kClampedOnReplace)
    m_params.*rule->field = Clamp(*rule, m_params.*rule->field);
  // A record from a stream may carry names without a terminator; every reader relies on one.
  for (TextField field : {&PlugInParams::impulseFile, &PlugInParams::testFile,
                          &PlugInParams::recordedFile, &PlugInParams::outputFile})
    (m_params.*field)[kMaxPathUnits - 1] = 0;
  return S_OK;
}

HRESULT CAudioTransform::GetStreamFormat(WAVEFORMATEX* format, LONG which) {
  if (format == nullptr) return E_POINTER;
  CAutoLock hold(&m_lock);
  if (which != kInputFormat && which != kOutputFormat) return VFW_E_NOT_CONNECTED;
  const WAVEFORMATEX* current = m_formats[which];
  if (current == nullptr) return VFW_E_NOT_CONNECTED;
  std::memcpy(format, current, sizeof(WAVEFORMATEX));
  return S_OK;
}

void CAudioTransform::SetStreamFormatPointer(LONG which, const WAVEFORMATEX* format) {
  if (which != kInputFormat && which != kOutputFormat) return;
  CAutoLock hold(&m_lock);
  m_formats[which] = format;
}

const WAVEFORMATEX* CAudioTransform::StreamFormatPointer(LONG which) {
  if (which != kInputFormat && which != kOutputFormat) return nullptr;
  CAutoLock hold(&m_lock);
  return m_formats[which];
}

void CAudioTransform::RestoreImpulseStale() { InterlockedWrite(&m_impulseStale, 1); }

HRESULT CAudioTransform::RegisterNotifyWindow(HWND window, WORD controlId) {
  // A null handle would match every empty slot.
  if (window == nullptr) return E_INVALIDARG;
  CAutoLock hold(&m_lock);
  NotifySlot* chosen = nullptr;
  for (NotifySlot& slot : m_slots) {
    if (slot.window == window) {
      chosen = &slot;
      break;
    }
    if (slot.window == nullptr) chosen = &slot;
  }
  if (chosen == nullptr) return controlId != 0 ? E_OUTOFMEMORY : S_OK;
  if (controlId != 0)
    *chosen = {window, controlId};
  else
    *chosen = {nullptr, 0};
  return S_OK;
}

void CAudioTransform::NotifyWindows(WORD code) {
  CAutoLock hold(&m_lock);
  for (NotifySlot& slot : m_slots) {
    if (slot.window == nullptr) continue;
    if (IsWindow(slot.window))
      PostMessageW(slot.window, WM_COMMAND, MAKEWPARAM(slot.controlId, code), 0);
    else
      slot = {nullptr, 0};
  }
}

HRESULT CAudioTransform::GetDryOut(LONG* v) { return GetField(&PlugInParams::dryOut, v); }
HRESULT CAudioTransform::SetDryOut(LONG v) { return SetField(kDryOut, v); }
HRESULT CAudioTransform::GetWetOut(LONG* v) { return GetField(&PlugInParams::wetOut, v); }
HRESULT CAudioTransform::SetWetOut(LONG v) { return SetField(kWetOut, v); }
HRESULT CAudioTransform::GetResponseDelay(LONG* v) { return GetField(&PlugInParams::responseDelay, v); }
HRESULT CAudioTransform::SetResponseDelay(LONG v) { return SetField(kResponseDelay, v); }
HRESULT CAudioTransform::GetResponseWidth(LONG* v) { return GetField(&PlugInParams::responseWidth, v); }
HRESULT CAudioTransform::SetResponseWidth(LONG v) { return SetField(kResponseWidth, v); }
HRESULT CAudioTransform::GetPan(LONG* v) { return GetField(&PlugInParams::pan, v); }
HRESULT CAudioTransform::SetPan(LONG v) { return SetField(kPan, v); }
HRESULT CAudioTransform::GetApplyEnvelope(LONG* v) { return GetField(&PlugInParams::applyEnvelope, v); }
HRESULT CAudioTransform::SetApplyEnvelope(LONG v) { return SetField(kApplyEnvelope, v); }
HRESULT CAudioTransform::GetMonoToStereo(LONG* v) { return GetField(&PlugInParams::monoToStereo, v); }
HRESULT CAudioTransform::SetMonoToStereo(LONG v) { return SetField(kMonoToStereo, v); }
HRESULT CAudioTransform::GetEnvelopeCount(LONG* v) { return GetField(&PlugInParams::envelopeCount, v); }
HRESULT CAudioTransform::SetEnvelopeCount(LONG v) { return SetField(kEnvelopeCount, v); }
HRESULT CAudioTransform::GetDecayLimit(LONG* v) { return GetField(&PlugInParams::decayLimit, v); }
HRESULT CAudioTransform::SetDecayLimit(LONG v) { return SetField(kDecayLimit, v); }
HRESULT CAudioTransform::GetQuality(LONG* v) { return GetField(&PlugInParams::quality, v); }
HRESULT CAudioTransform::SetQuality(LONG v) { return SetField(kQuality, v); }
HRESULT CAudioTransform::GetPackageImpulse(LONG* v) { return GetField(&PlugInParams::packageImpulse, v); }
HRESULT CAudioTransform::SetPackageImpulse(LONG v) { return SetField(kPackageImpulse, v); }
HRESULT CAudioTransform::GetLowShelfOn(LONG* v) { return GetField(&PlugInParams::lowShelfOn, v); }
HRESULT CAudioTransform::SetLowShelfOn(LONG v) { return SetField(kLowShelfOn, v); }
HRESULT CAudioTransform::GetHighShelfOn(LONG* v) { return GetField(&PlugInParams::highShelfOn, v); }
HRESULT CAudioTransform::SetHighShelfOn(LONG v) { return SetField(kHighShelfOn, v); }
HRESULT CAudioTransform::GetLowShelfFreq(LONG* v) { return GetField(&PlugInParams::lowShelfFreq, v); }
HRESULT CAudioTransform::SetLowShelfFreq(LONG v) { return SetField(kLowShelfFreq, v); }
HRESULT CAudioTransform::GetHighShelfFreq(LONG* v) { return GetField(&PlugInParams::highShelfFreq, v); }
HRESULT CAudioTransform::SetHighShelfFreq(LONG v) { return SetField(kHighShelfFreq, v); }
HRESULT CAudioTransform::GetLowShelfGain(LONG* v) { return GetField(&PlugInParams::lowShelfGain, v); }
HRESULT CAudioTransform::SetLowShelfGain(LONG v) { return SetField(kLowShelfGain, v); }
HRESULT CAudioTransform::GetHighShelfGain(LONG* v) { return GetField(&PlugInParams::highShelfGain, v); }
HRESULT CAudioTransform::SetHighShelfGain(LONG v) { return SetField(kHighShelfGain, v); }
HRESULT CAudioTransform::GetRecoveryMode(LONG* v) { return GetField(&PlugInParams::recoveryMode, v); }
HRESULT CAudioTransform::SetRecoveryMode(LONG v) { return SetField(kRecoveryMode, v); }
HRESULT CAudioTransform::GetRemoveLowFreq(LONG* v) { return GetField(&PlugInParams::removeLowFreq, v); }
HRESULT CAudioTransform::SetRemoveLowFreq(LONG v) { return SetField(kRemoveLowFreq, v); }

HRESULT CAudioTransform::GetImpulseFile(WCHAR* b, LONG n) { return GetText(&PlugInParams::impulseFile, b, n); }
HRESULT CAudioTransform::SetImpulseFile(const WCHAR* t) { return SetText(&PlugInParams::impulseFile, t); }
HRESULT CAudioTransform::GetTestFile(WCHAR* b, LONG n) { return GetText(&PlugInParams::testFile, b, n); }
HRESULT CAudioTransform::SetTestFile(const WCHAR* t) { return SetText(&PlugInParams::testFile, t); }
HRESULT CAudioTransform::GetRecordedFile(WCHAR* b, LONG n) { return GetText(&PlugInParams::recordedFile, b, n); }
HRESULT CAudioTransform::SetRecordedFile(const WCHAR* t) { return SetText(&PlugInParams::recordedFile, t); }
HRESULT CAudioTransform::GetOutputFile(WCHAR* b, LONG n) { return GetText(&PlugInParams::outputFile, b, n); }
HRESULT CAudioTransform::SetOutputFile(const WCHAR* t) { return SetText(&PlugInParams::outputFile, t); }

HRESULT CAudioTransform::SetEnvelopePoints(const EnvelopePoint* points, LONG count) {
  // An envelope needs a start and an end point; fewer (or a negative count) would break the
  // record's own invariant of 2..16 points.
  if (points == nullptr) return E_POINTER;
  if (count < kEnvelopeCount.minimum) return E_INVALIDARG;
  count = std::min<LONG>(count, kMaxEnvelopePoints);
  const size_t bytes = static_cast<size_t>(count) * sizeof(EnvelopePoint);
  CAutoLock hold(&m_lock);
  if (m_params.envelopeCount == count && std::memcmp(m_params.envelopePoints, points, bytes) == 0)
    return S_OK;
  std::memcpy(m_params.envelopePoints, points, bytes);
  // Points past the count stay zero, so equal envelopes are equal records.
  std::memset(m_params.envelopePoints + count, 0, sizeof m_params.envelopePoints - bytes);
  m_params.envelopeCount = count;
  MarkChanged(true);
  return S_OK;
}

HRESULT CAudioTransform::GetEnvelopePoints(EnvelopePoint* points, LONG capacity) {
  if (capacity < 1) return S_OK;
  if (points == nullptr) return E_POINTER;
  CAutoLock hold(&m_lock);
  const LONG n = std::min(capacity, m_params.envelopeCount);
  std::memcpy(points, m_params.envelopePoints, static_cast<size_t>(n) * sizeof(EnvelopePoint));
  return S_OK;
}

// Nothing raises the redraw flag, so it reads 0 and the processing flag never has windows
// redrawn; the two calls keep their slots in the interface.
HRESULT CAudioTransform::ClearRedrawFlag() { return S_OK; }

HRESULT CAudioTransform::GetRedrawFlag(LONG* value) {
  if (value == nullptr) return E_POINTER;
  *value = 0;
  return S_OK;
}

HRESULT CAudioTransform::SetProcessingFlag(LONG value) {
  CAutoLock hold(&m_lock);
  m_processingFlag = value;
  return S_OK;
}

HRESULT CAudioTransform::GetProcessingFlag(LONG* value) {
  if (value == nullptr) return E_POINTER;
  CAutoLock hold(&m_lock);
  *value = m_processingFlag;
  return S_OK;
}

HRESULT CAudioTransform::GetStatus(LONG* status) {
  if (status == nullptr) return E_POINTER;
  CAutoLock hold(&m_lock);
  *status = m_status;
  return S_OK;
}

HRESULT CAudioTransform::SetStatus(LONG status) {
  CAutoLock hold(&m_lock);
  m_status = status;
  return S_OK;
}

LONG CAudioTransform::TakeParamsSnapshot(PlugInParams* snapshot) {
  CAutoLock hold(&m_lock);
  std::memcpy(snapshot, &m_params, sizeof m_params);
  const LONG changed = m_paramsChanged ? 1 : 0;
  m_paramsChanged = false;
  return changed;
}

LONG CAudioTransform::ExchangeImpulseStale() { return InterlockedExchange(&m_impulseStale, 0); }

bool CAudioTransform::IsDirty() {
  CAutoLock hold(&m_lock);
  return m_dirty;
}

void CAudioTransform::ClearDirty() {
  CAutoLock hold(&m_lock);
  m_dirty = false;
}
