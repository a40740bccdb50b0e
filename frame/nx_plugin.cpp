#include "frame/nx_plugin.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <new>

#include "frame/guids.h"
#include "frame/impulse_file_source.h"
#include "frame/module_info.h"
#include "frame/nx_plugin_input_pin.h"
#include "platform/dshow/media_guids.h"
#include "platform/dshow/task_memory.h"
#include "platform/dshow/transform_output_pin.h"
#include "platform/file.h"
#include "platform/module_file.h"
#include "toolkit/string_table.h"

namespace {

std::atomic<LONG> g_instancesAlive{0};

WCHAR g_inputPinName[] = NXW("Input");
WCHAR g_outputPinName[] = NXW("Output");
const AMOVIESETUP_MEDIATYPE kPinTypes[] = {{&MEDIATYPE_Audio, &MEDIASUBTYPE_NULL}};
const AMOVIESETUP_PIN kSetupPins[] = {
    {g_inputPinName, FALSE, FALSE, FALSE, FALSE, &GUID_NULL, g_outputPinName, 1, kPinTypes},
    {g_outputPinName, FALSE, TRUE, FALSE, FALSE, &GUID_NULL, g_inputPinName, 1, kPinTypes},
};
// Registered at 0x200000: graph building never inserts the reverb on its own.
const AMOVIESETUP_FILTER kSetupFilter = {&CLSID_NxPlugIn, NXW("Quorvex Auralith"),
                                         MERIT_DO_NOT_USE, 2, kSetupPins};

void RemovePackagedImpulse() {
  WCHAR path[kMaxPathUnits];
  if (NxGetPackagedImpulsePath(path)) NxDeleteFile(path);
}

bool UsableSampleFormat(const WAVEFORMATEX& f) {
  if (f.nChannels < 1 || f.nChannels > 2) return false;
  if (f.wFormatTag == WAVE_FORMAT_PCM) return f.wBitsPerSample == 16;
  if (f.wFormatTag == WAVE_FORMAT_IEEE_FLOAT) {
    return f.wBitsPerSample == 32 || f.wBitsPerSample == 64;
  }
  return false;
}

}  // namespace

bool ReadAudioFormat(const AM_MEDIA_TYPE& mediaType, WAVEFORMATEX* format) {
  if (!(mediaType.majortype == MEDIATYPE_Audio) || mediaType.bTemporalCompression) return false;
  if (mediaType.cbFormat < 16 || mediaType.pbFormat == nullptr) return false;
  std::memset(format, 0, sizeof *format);
  std::memcpy(format, mediaType.pbFormat, 16);
  return true;
}

bool ChannelRuleHolds(WORD inputChannels, WORD outputChannels, bool monoToStereo) {
  if (outputChannels < 1 || outputChannels > 2) return false;
  return outputChannels == (monoToStereo ? 2 : inputChannels);
}

CUnknown* CNxPlugIn::CreateInstance(IUnknown* outer, HRESULT* hr) {
  HRESULT result = S_OK;
  CNxPlugIn* filter = new (std::nothrow) CNxPlugIn(outer, &result);
  if (filter == nullptr) result = E_OUTOFMEMORY;
  if (hr != nullptr) *hr = result;
  return filter;
}

CNxPlugIn::CNxPlugIn(IUnknown* outer, HRESULT* /*hr*/)
    : CTransformFilter("Auralith", outer, CLSID_NxPlugIn), CAudioTransform(GetOwner()) {
  ++g_instancesAlive;
  m_engine.SetImpulseSource(FileImpulseSource());
  const PlugInParams defaults = DefaultPlugInParams();
  if (SetParams(&defaults) == S_OK) NotifyWindows(kNotifyParamsReplaced);
  SetStatus(kStatusNone);
}

CNxPlugIn::~CNxPlugIn() {
  // Every filter of the process shares the one packaged impulse file, so it goes with the last
  // of them rather than with the first.
  if (--g_instancesAlive == 0) RemovePackagedImpulse();
  SetStreamFormatPointer(kInputFormat, nullptr);
  SetStreamFormatPointer(kOutputFormat, nullptr);
  m_engine.ReleaseConvolver();
}

LONG CNxPlugIn::InstancesAlive() { return g_instancesAlive.load(); }

HRESULT STDMETHODCALLTYPE CNxPlugIn::NonDelegatingQueryInterface(REFIID riid, void** object) {
  if (object == nullptr) return E_POINTER;
  if (riid == IID_INxPlugInProp) return GetInterface(static_cast<INxPlugInProp*>(this), object);
  if (riid == IID_ISpecifyPropertyPages) {
    return GetInterface(static_cast<ISpecifyPropertyPages*>(this), object);
  }
  if (riid == IID_IPersistStream) return GetInterface(static_cast<IPersistStream*>(this), object);
  if (riid == IID_IStaticFilterPreset) {
    return GetInterface(static_cast<IStaticFilterPreset*>(this), object);
  }
  if (riid == IID_INxTranslationInfo) {
    return GetInterface(static_cast<INxTranslationInfo*>(this), object);
  }
  return CTransformFilter::NonDelegatingQueryInterface(riid, object);
}

HRESULT STDMETHODCALLTYPE CNxPlugIn::SetLanguage(WORD language) {
  constexpr WORD kPrimaryLanguageMask = 0x3FF;
  constexpr WORD kEnglish = 0x09;
  const bool translated = (language & kPrimaryLanguageMask) != kEnglish;
  // The module's own path may be longer than a stored file name.
  constexpr DWORD kModulePathUnits = 4096;
  WCHAR module[kModulePathUnits];
  const bool known = GetModuleFileNameW(NxModuleInstance(), module, kModulePathUnits) != 0;
  return NxSwitchStringTable(known ? module : nullptr, translated) ? S_OK : E_FAIL;
}

CBasePin* CNxPlugIn::GetPin(int index) {
  CAutoLock lock(&m_csFilter);
  if (m_pInput == nullptr) {
    HRESULT hr = S_OK;
    m_pInput = new (std::nothrow) CNxPlugInInputPin(this, &hr, g_inputPinName);
    if (m_pInput != nullptr && SUCCEEDED(hr)) {
      m_pOutput = new (std::nothrow)
          CTransformOutputPin("Auralith output pin", this, &hr, g_outputPinName);
    }
    if (m_pOutput == nullptr || FAILED(hr)) {
      delete m_pInput;
      delete m_pOutput;
      m_pInput = nullptr;
      m_pOutput = nullptr;
    }
  }
  if (index == 0) return m_pInput;
  if (index == 1) return m_pOutput;
  return nullptr;
}

const AMOVIESETUP_FILTER* CNxPlugIn::GetSetupData() { return &kSetupFilter; }

HRESULT CNxPlugIn::Transform(IMediaSample* /*in*/, IMediaSample* /*out*/) { return E_INVALIDARG; }

HRESULT CNxPlugIn::CheckInputType(const CMediaType* in) {
  if (in == nullptr) return E_POINTER;
  WAVEFORMATEX format;
  if (!ReadAudioFormat(*in, &format) || !UsableSampleFormat(format)) return E_INVALIDARG;
  return S_OK;
}

HRESULT CNxPlugIn::CheckTransform(const CMediaType* in, const CMediaType* out) {
  if (in == nullptr || out == nullptr) return E_POINTER;
  WAVEFORMATEX a;
  WAVEFORMATEX b;
  if (!ReadAudioFormat(*in, &a) || !ReadAudioFormat(*out, &b)) return E_INVALIDARG;
  if (a.wFormatTag != b.wFormatTag || a.wBitsPerSample != b.wBitsPerSample ||
      a.nSamplesPerSec != b.nSamplesPerSec) {
    return E_INVALIDARG;
  }
  LONG monoToStereo = 0;
  GetMonoToStereo(&monoToStereo);
  return ChannelRuleHolds(a.nChannels, b.nChannels, monoToStereo != 0) ? S_OK : E_INVALIDARG;
}

HRESULT CNxPlugIn::DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* properties) {
  if (allocator == nullptr || properties == nullptr) return E_POINTER;
  // Output buffers as large and as many as the input's: mono-to-stereo then needs two output
  // buffers per input buffer, never a larger one.
  if (m_pInput != nullptr && m_pInput->IsConnected()) {
    IMemAllocator* inputAllocator = nullptr;
    HRESULT hr = m_pInput->GetAllocator(&inputAllocator);
    if (FAILED(hr)) return hr;
    hr = inputAllocator->GetProperties(properties);
    inputAllocator->Release();
    if (FAILED(hr)) return hr;
  }
  ALLOCATOR_PROPERTIES granted = {0, 0, 0, 0};
  HRESULT hr = allocator->SetProperties(properties, &granted);
  if (FAILED(hr)) return hr;
  *properties = granted;
  return granted.cbBuffer < 512 ? E_FAIL : S_OK;
}

HRESULT CNxPlugIn::GetMediaType(int position, CMediaType* mediaType) {
  if (mediaType == nullptr) return E_POINTER;
  if (m_pInput == nullptr || !m_pInput->IsConnected()) return E_UNEXPECTED;
  if (position < 0) return E_INVALIDARG;
  if (position > 0) return VFW_S_NO_MORE_ITEMS;
  HRESULT hr = mediaType->Set(m_pInput->CurrentMediaType());
  if (FAILED(hr)) return hr;
  WAVEFORMATEX format;
  if (!ReadAudioFormat(*mediaType, &format)) return E_UNEXPECTED;
  LONG monoToStereo = 0;
  GetMonoToStereo(&monoToStereo);
  if (monoToStereo != 0) format.nChannels = 2;
  format.nBlockAlign = static_cast<WORD>(format.wBitsPerSample / 8 * format.nChannels);
  format.nAvgBytesPerSec = format.nSamplesPerSec * format.nBlockAlign;
  // A 16-byte block has no cbSize field to clear; a 17-byte one only its first byte.
  const ULONG written = std::min<ULONG>(mediaType->FormatLength(), sizeof format);
  std::memcpy(mediaType->Format(), &format, written);
  if (mediaType->IsFixedSize()) mediaType->SetSampleSize(format.nBlockAlign);
  return S_OK;
}

HRESULT CNxPlugIn::StoreFormat(LONG which, const CMediaType* mediaType) {
  WAVEFORMATEX format;
  if (mediaType == nullptr || mediaType->Format() == nullptr || mediaType->FormatLength() < 16) {
    return E_INVALIDARG;
  }
  std::memset(&format, 0, sizeof format);
  std::memcpy(&format, mediaType->Format(), 16);
  format.nBlockAlign = static_cast<WORD>(format.wBitsPerSample / 8 * format.nChannels);
  format.nAvgBytesPerSec = format.nSamplesPerSec * format.nBlockAlign;
  WAVEFORMATEX* target = which == kInputFormat ? &m_inputFormat : &m_outputFormat;
  {
    // GetStreamFormat copies the record under the parameter lock on other threads.
    CAutoLock hold(Lock());
    *target = format;
  }
  SetStreamFormatPointer(which, target);
  return S_OK;
}

HRESULT CNxPlugIn::SetMediaType(PIN_DIRECTION direction, const CMediaType* mediaType) {
  const LONG which = direction == PINDIR_INPUT ? kInputFormat : kOutputFormat;
  HRESULT hr = StoreFormat(which, mediaType);
  if (FAILED(hr)) return hr;
  NotifyWindows(direction == PINDIR_INPUT ? kNotifyInputFormat : kNotifyOutputFormat);
  return S_OK;
}

HRESULT CNxPlugIn::CompleteConnect(PIN_DIRECTION direction, IPin* /*receivePin*/) {
  if (direction == PINDIR_OUTPUT) return S_OK;
  if (m_pOutput == nullptr || !m_pOutput->IsConnected()) return S_OK;
  if (CheckTransform(&m_pInput->CurrentMediaType(), &m_pOutput->CurrentMediaType()) == S_OK) {
    return S_OK;
  }
  IFilterGraph* graph = GetFilterGraph();
  if (graph == nullptr) return VFW_E_NOT_IN_GRAPH;
  return graph->Reconnect(m_pOutput);
}

HRESULT STDMETHODCALLTYPE CNxPlugIn::GetPages(CAUUID* pages) {
  if (pages == nullptr) return E_POINTER;
  static const GUID kPages[] = {CLSID_NxGeneralPage, CLSID_NxEnvelopePage, CLSID_NxSummaryPage,
                                CLSID_NxRecoverPage};
  pages->cElems = 0;
  pages->pElems = static_cast<GUID*>(CoTaskMemAlloc(sizeof kPages));
  if (pages->pElems == nullptr) return E_OUTOFMEMORY;
  std::memcpy(pages->pElems, kPages, sizeof kPages);
  pages->cElems = sizeof kPages / sizeof kPages[0];
  return S_OK;
}
