// The audio path of CNxPlugIn: Receive, EndOfStream, StartStreaming and StopStreaming.
#include <cstdint>

#include "frame/nx_plugin.h"
#include "platform/dshow/filter_graph.h"
#include "platform/dshow/transform_input_pin.h"
#include "platform/dshow/transform_output_pin.h"

namespace {

// 100 ns units for `frames` at `rate`, rounded to nearest; 0 for an unknown rate.
REFERENCE_TIME FramesToTime(DWORD frames, DWORD rate) {
  if (rate == 0) return 0;
  return static_cast<REFERENCE_TIME>(static_cast<double>(frames) / rate * 10000000.0 + 0.5);
}

template <typename T>
bool Aligned(const BYTE* p) {
  return reinterpret_cast<uintptr_t>(p) % alignof(T) == 0;
}

template <typename T>
HRESULT Convolve(CStreamEngine* engine, LONG mode, const BYTE* input, DWORD* inFrames,
                 BYTE* output, DWORD* outFrames) {
  // Buffers come from allocators with an alignment of the upstream's choosing.
  if (!Aligned<T>(input) || !Aligned<T>(output)) return VFW_E_BADALIGN;
  return engine->ConvolveStream(mode, reinterpret_cast<const T*>(input), inFrames,
                                reinterpret_cast<T*>(output), outFrames);
}

}  // namespace

HRESULT CNxPlugIn::RunEngine(LONG mode, const BYTE* input, DWORD* inFrames, BYTE* output,
                             DWORD* outFrames) {
  const WAVEFORMATEX& f = m_inputFormat;
  if (f.wFormatTag == WAVE_FORMAT_PCM && f.wBitsPerSample == 16) {
    return Convolve<int16_t>(&m_engine, mode, input, inFrames, output, outFrames);
  }
  if (f.wFormatTag == WAVE_FORMAT_IEEE_FLOAT && f.wBitsPerSample == 32) {
    return Convolve<float>(&m_engine, mode, input, inFrames, output, outFrames);
  }
  if (f.wFormatTag == WAVE_FORMAT_IEEE_FLOAT && f.wBitsPerSample == 64) {
    return Convolve<double>(&m_engine, mode, input, inFrames, output, outFrames);
  }
  return E_UNEXPECTED;
}

HRESULT CNxPlugIn::StartStreaming() {
  m_refusedOutputChannels = 0;
  return m_engine.AttachStreamFormats(&m_inputFormat, &m_outputFormat);
}

HRESULT CNxPlugIn::StopStreaming() {
  SetProcessingFlag(0);
  m_engine.ReleaseConvolver();
  if (m_outputTypeSwitched) {
    m_pOutput->CurrentMediaType().Set(m_switchedOutputType);
    m_outputTypeSwitched = false;
  }
  return S_OK;
}

HRESULT CNxPlugIn::FollowChannelSetting(IMediaSample* firstOut) {
  LONG monoToStereo = 0;
  GetMonoToStereo(&monoToStereo);
  if (ChannelRuleHolds(m_inputFormat.nChannels, m_outputFormat.nChannels, monoToStereo != 0)) {
    m_refusedOutputChannels = 0;
    return S_OK;
  }
  CMediaType offered;
  WAVEFORMATEX wanted;
  if (GetMediaType(0, &offered) != S_OK || !ReadAudioFormat(offered, &wanted)) return S_OK;
  if (wanted.nChannels == m_refusedOutputChannels) return S_OK;
  // Samples tagged with a type downstream refuses would be refused whole; samples tagged with a
  // type their data does not have would be misread. So the type is offered first, and once
  // taken the engine is rebuilt to produce it; while refused, the stream keeps its format.
  IPin* downstream = m_pOutput->GetConnected();
  if (downstream == nullptr || downstream->QueryAccept(&offered) != S_OK) {
    m_refusedOutputChannels = wanted.nChannels;
    return S_OK;
  }
  HRESULT hr = firstOut->SetMediaType(&offered);
  if (SUCCEEDED(hr)) hr = StoreFormat(kOutputFormat, &offered);
  if (SUCCEEDED(hr)) hr = m_switchedOutputType.Set(offered);
  if (FAILED(hr)) return hr;
  m_outputTypeSwitched = true;
  NotifyWindows(kNotifyOutputFormat);
  // The rebuild starts a new block, so what the engine held of the old one is not heard.
  m_discontinuityPending = true;
  return m_engine.AttachStreamFormats(&m_inputFormat, &m_outputFormat);
}

HRESULT CNxPlugIn::DeliverProduced(IMediaSample* out, DWORD frames) {
  if (m_discontinuityPending) {
    out->SetDiscontinuity(TRUE);
    m_discontinuityPending = false;
  } else {
    m_start = m_stop;
    m_mediaStart = m_mediaStop;
  }
  m_stop = m_start + FramesToTime(frames, m_outputFormat.nSamplesPerSec);
  m_mediaStop = m_mediaStart + frames;
  out->SetTime(&m_start, &m_stop);
  out->SetMediaTime(&m_mediaStart, &m_mediaStop);
  m_start = m_stop;
  m_mediaStart = m_mediaStop;
  if (m_syncPointPending) {
    out->SetSyncPoint(TRUE);
    m_syncPointPending = false;
  }
  out->SetActualDataLength(static_cast<LONG>(frames * m_outputFormat.nBlockAlign));
  return m_pOutput->Deliver(out);
}

HRESULT CNxPlugIn::Receive(IMediaSample* sample) {
  if (sample == nullptr) return E_POINTER;
  if (m_inputFormat.nBlockAlign == 0) return VFW_E_NOT_CONNECTED;
  IMediaSample* out = nullptr;
  HRESULT hr = m_pOutput->GetDeliveryBuffer(&out, nullptr, nullptr, 0);
  if (FAILED(hr)) return hr;
  LONG mode = kStreamContinue;
  if (sample->IsDiscontinuity() == S_OK) {
    m_discontinuityPending = true;
    REFERENCE_TIME start = 0;
    REFERENCE_TIME stop = 0;
    if (SUCCEEDED(sample->GetTime(&start, &stop))) {
      m_start = start;
      m_stop = stop;
    }
    LONGLONG mediaStart = 0;
    LONGLONG mediaStop = 0;
    if (sample->GetMediaTime(&mediaStart, &mediaStop) == S_OK) {
      m_mediaStart = mediaStart;
      m_mediaStop = mediaStop;
    }
    mode = kStreamStart;
  }
  if (sample->IsSyncPoint() == S_OK) m_syncPointPending = true;
  BYTE* input = nullptr;
  sample->GetPointer(&input);
  LONG remaining = sample->GetActualDataLength();

  hr = FollowChannelSetting(out);
  const DWORD inAlign = m_inputFormat.nBlockAlign;
  const DWORD outAlign = m_outputFormat.nBlockAlign;
  HRESULT result = hr;
  while (SUCCEEDED(hr) && outAlign != 0) {
    BYTE* output = nullptr;
    out->GetPointer(&output);
    DWORD outFrames = static_cast<DWORD>(out->GetSize()) / outAlign;
    DWORD inFrames = static_cast<DWORD>(remaining) / inAlign;
    hr = RunEngine(mode, input, &inFrames, output, &outFrames);
    if (FAILED(hr)) {
      result = hr;
      break;
    }
    // The engine's "nothing to do" is no request to stop sending.
    result = S_OK;
    const LONG consumed = static_cast<LONG>(inFrames * inAlign);
    if (outFrames > 0) {
      result = hr = DeliverProduced(out, outFrames);
      if (FAILED(hr)) break;
    }
    if (consumed >= remaining) break;
    // No progress: a trailing part frame (a length that is no whole number of frames) is
    // dropped rather than offered again for ever.
    if (consumed == 0 && outFrames == 0) break;
    remaining -= consumed;
    input += consumed;
    mode = kStreamContinue;
    if (outFrames > 0) {
      out->Release();
      out = nullptr;
      result = hr = m_pOutput->GetDeliveryBuffer(&out, nullptr, nullptr, 0);
      if (FAILED(hr)) break;
    }
  }
  if (out != nullptr) out->Release();
  return result;
}

HRESULT CNxPlugIn::EndOfStream() {
  if (m_pOutput == nullptr) return S_OK;
  bool ownFailure = false;
  const HRESULT hr = DeliverTail(&ownFailure);
  // A failure of the filter's own (no buffer, an engine error) goes to the graph before the end
  // of stream, as the source base class reports its own; a refusal downstream is downstream's
  // to report, and a buffer refused because the filter is stopping is no failure at all.
  if (ownFailure && hr != VFW_E_NOT_COMMITTED) {
    NxNotifyGraph(GetFilterGraph(), EC_ERRORABORT, hr, 0);
  }
  // Downstream learns the stream is over exactly once, whatever failed.
  const HRESULT ended = m_pOutput->DeliverEndOfStream();
  return FAILED(hr) ? hr : ended;
}

HRESULT CNxPlugIn::DeliverTail(bool* ownFailure) {
  *ownFailure = true;
  IMediaSample* out = nullptr;
  HRESULT hr = m_pOutput->GetDeliveryBuffer(&out, nullptr, nullptr, 0);
  if (FAILED(hr)) return hr;
  const DWORD outAlign = m_outputFormat.nBlockAlign;
  DWORD produced = 0;
  for (;;) {
    BYTE* output = nullptr;
    out->GetPointer(&output);
    DWORD noInput = 0;
    produced = outAlign != 0 ? static_cast<DWORD>(out->GetSize()) / outAlign : 0;
    hr = RunEngine(kStreamEnd, nullptr, &noInput, output, &produced);
    if (hr == S_FALSE) break;
    if (FAILED(hr)) {
      out->Release();
      return hr;
    }
    // Success that yields nothing would never end.
    if (produced == 0) break;
    out->SetActualDataLength(static_cast<LONG>(produced * outAlign));
    hr = m_pOutput->Deliver(out);
    out->Release();
    out = nullptr;
    if (FAILED(hr)) {
      *ownFailure = false;
      return hr;
    }
    hr = m_pOutput->GetDeliveryBuffer(&out, nullptr, nullptr, 0);
    if (FAILED(hr)) return hr;
  }
  HRESULT delivered = S_OK;
  if (produced > 0) {
    out->SetActualDataLength(static_cast<LONG>(produced * outAlign));
    delivered = m_pOutput->Deliver(out);
  }
  out->Release();
  *ownFailure = false;
  return delivered;
}
