// CNxPlugIn: the reverb as a DirectShow audio transform filter — one input pin ("Input", also
// found as "In"), one output pin ("Output", also "Out"), the parameter object CAudioTransform
// inside it, and its property pages.
//
// Formats. The input is 16-bit PCM, or 32- or 64-bit IEEE float, with one or two channels. The
// output has the input's tag, width and rate; its channel count follows the channel rule: two
// when mono-to-stereo is on, else the input's. The filter keeps both formats as 18-byte
// WAVEFORMATEX records with cbSize 0, and CAudioTransform points at them.
//
// Streaming (nx_plugin_streaming.cpp). Receive replaces the base class's: each input sample goes
// through CStreamEngine::ConvolveStream and yields as many output samples as the engine fills,
// possibly none (latency of one engine block). Output start times run on from the last
// discontinuity's start, 100 ns per unit: stop = start + round(frames * 10^7 / rate); media
// times count frames. End of stream flushes the final block and the impulse tail, with no
// times, before passing end of stream on. A buffer holds at least 512 bytes, so at least one
// frame of every accepted format.
//
// Lifecycle: stopped -> (Pause: StartStreaming attaches the formats and prepares the impulse) ->
// streaming (Receive / EndOfStream on the upstream thread under the receive lock) -> (Stop:
// StopStreaming frees every engine buffer). The running times survive a stop; the next
// discontinuity replaces them.
//
// Presets (nx_plugin_presets.cpp). IPersistStream writes a 36-byte head (total size, format
// GUID, version 24243), the whole PlugInParams and, when the impulse is packaged, the bytes of
// "~IRX.TMP" from the module folder; it reads that layout and the two older ones. A packaged
// impulse read back is written beside "~IRX.TMP" under another name first and replaces it only
// once complete, so a short or lying stream never leaves a partial impulse in use.
// IStaticFilterPreset offers the four built-in presets.
#pragma once

#include "frame/audio_transform.h"
#include "frame/stream_engine.h"
#include "frame/static_filter_preset.h"
#include "frame/translation_info.h"
#include "platform/dshow/media_type.h"
#include "platform/dshow/persist.h"
#include "platform/dshow/property_pages.h"
#include "platform/dshow/transform_filter.h"

class CNxPlugIn : public CTransformFilter,
                  public CAudioTransform,
                  public ISpecifyPropertyPages,
                  public IPersistStream,
                  public IStaticFilterPreset,
                  public INxTranslationInfo {
 public:
  // The factory's create function: a new filter with no references yet, or null with
  // E_OUTOFMEMORY in *hr.
  static CUnknown* CreateInstance(IUnknown* outer, HRESULT* hr);

  CNxPlugIn(IUnknown* outer, HRESULT* hr);
  ~CNxPlugIn() override;

  DECLARE_IUNKNOWN
  // INxPlugInProp, ISpecifyPropertyPages, IPersistStream, IStaticFilterPreset,
  // INxTranslationInfo, then IBaseFilter, IMediaFilter, IPersist, IAMovieSetup and IUnknown.
  HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID riid, void** object) override;

  // CBaseFilter.
  CBasePin* GetPin(int index) override;
  const AMOVIESETUP_FILTER* GetSetupData() override;

  // CTransformFilter.
  HRESULT Transform(IMediaSample* in, IMediaSample* out) override;
  HRESULT CheckInputType(const CMediaType* in) override;
  HRESULT CheckTransform(const CMediaType* in, const CMediaType* out) override;
  HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* properties) override;
  HRESULT GetMediaType(int position, CMediaType* mediaType) override;
  HRESULT StartStreaming() override;
  HRESULT StopStreaming() override;
  HRESULT SetMediaType(PIN_DIRECTION direction, const CMediaType* mediaType) override;
  HRESULT CompleteConnect(PIN_DIRECTION direction, IPin* receivePin) override;
  HRESULT Receive(IMediaSample* sample) override;
  HRESULT EndOfStream() override;

  // ISpecifyPropertyPages: General, Envelope, Summary, Recover, task-allocated.
  HRESULT STDMETHODCALLTYPE GetPages(CAUUID* pages) override;

  // IBaseFilter and IPersistStream: the filter's CLSID.
  HRESULT STDMETHODCALLTYPE GetClassID(CLSID* clsid) override;

  // IPersistStream. Load and Save hold the parameter lock for the whole transfer. Save fails,
  // leaving `dirty` set, when the stream refuses a write or the packaged impulse cannot be read
  // whole. Load refuses a head that is short, has another GUID or a total below 1256 bytes,
  // and a record that is cut short, with the parameters untouched; once the record is whole it
  // replaces the parameters even when the packaged impulse after it fails (that result is
  // returned).
  HRESULT STDMETHODCALLTYPE IsDirty() override;
  HRESULT STDMETHODCALLTYPE Load(IStream* stream) override;
  HRESULT STDMETHODCALLTYPE Save(IStream* stream, BOOL clearDirty) override;
  HRESULT STDMETHODCALLTYPE GetSizeMax(ULARGE_INTEGER* size) override;

  // IStaticFilterPreset.
  HRESULT STDMETHODCALLTYPE GetPresetCount(LONG* count) override;
  HRESULT STDMETHODCALLTYPE GetPresetName(LONG index, WCHAR* buffer, LONG bufferUnits) override;
  HRESULT STDMETHODCALLTYPE ApplyPreset(LONG index) override;

  // INxTranslationInfo: the language file beside the module for a language other than English.
  HRESULT STDMETHODCALLTYPE SetLanguage(WORD language) override;

  // Filters alive in the process; the last one to go removes the packaged impulse file.
  static LONG InstancesAlive();

  // The engine host that runs the stream on this filter's parameters.
  CStreamEngine& Engine() { return m_engine; }

 private:
  // The engine variant of the input format; frame counts in, consumed and produced out.
  HRESULT RunEngine(LONG mode, const BYTE* input, DWORD* inFrames, BYTE* output,
                    DWORD* outFrames);
  // Flushes the final block and the impulse tail downstream; `ownFailure` tells a failure of the
  // filter's own from a refusal downstream.
  HRESULT DeliverTail(bool* ownFailure);
  // Stamps, flags and delivers one output sample carrying `frames` frames.
  HRESULT DeliverProduced(IMediaSample* out, DWORD frames);
  // Mono-to-stereo changed while connected: offers downstream the type the filter would now
  // offer, on `firstOut`, and switches to it when downstream accepts it.
  HRESULT FollowChannelSetting(IMediaSample* firstOut);
  HRESULT StoreFormat(LONG which, const CMediaType* mediaType);

  CStreamEngine m_engine{*this};
  WAVEFORMATEX m_inputFormat = {};
  WAVEFORMATEX m_outputFormat = {};
  bool m_discontinuityPending = false;
  bool m_syncPointPending = false;
  REFERENCE_TIME m_start = 0;
  REFERENCE_TIME m_stop = 0;
  LONGLONG m_mediaStart = 0;
  LONGLONG m_mediaStop = 0;
  // An output type switched to while streaming, given to the output pin at the next stop
  // (the pin's type may only change under the filter lock).
  CMediaType m_switchedOutputType;
  bool m_outputTypeSwitched = false;
  // Channel count downstream last refused while the channel rule was broken (0: none).
  WORD m_refusedOutputChannels = 0;
};

// Reads the wave format of an audio media type: major type audio, no temporal compression and
// a format block of at least 16 bytes. The first 16 bytes land in `format`, cbSize 0.
bool ReadAudioFormat(const AM_MEDIA_TYPE& mediaType, WAVEFORMATEX* format);

// The output channel count the filter requires (the channel rule).
bool ChannelRuleHolds(WORD inputChannels, WORD outputChannels, bool monoToStereo);
