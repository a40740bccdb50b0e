#include "host/wave_source_filter.h"

#include <algorithm>
#include <cstring>

#include "platform/byte_order.h"
#include "platform/dshow/filter_graph.h"
#include "platform/dshow/media_guids.h"

namespace {

// One stored sample on a full scale of ±1.0.
float ToFloat(const BYTE* p, DWORD bytes, WaveSampleKind kind) {
  if (kind == WaveSampleKind::Float) {
    return bytes == 4 ? NxGetLeFloat(p) : static_cast<float>(NxGetLeDouble(p));
  }
  switch (bytes) {
    case 1: return (static_cast<float>(p[0]) - 128.0f) / 128.0f;
    case 2: return static_cast<float>(NxGetLeI16(p)) / 32768.0f;
    case 3: {
      // The three bytes go to the top of a 32-bit word, so the sign comes with them.
      const auto v = static_cast<int32_t>((DWORD{p[0]} << 8) | (DWORD{p[1]} << 16) |
                                          (DWORD{p[2]} << 24));
      return static_cast<float>(v) / 2147483648.0f;
    }
    default: return static_cast<float>(static_cast<double>(NxGetLeI32(p)) / 2147483648.0);
  }
}

WAVEFORMATEX PlainFormat(WORD tag, WORD channels, DWORD rate, WORD bits) {
  WAVEFORMATEX f = {};
  f.wFormatTag = tag;
  f.nChannels = channels;
  f.nSamplesPerSec = rate;
  f.wBitsPerSample = bits;
  f.nBlockAlign = static_cast<WORD>(bits / 8 * channels);
  f.nAvgBytesPerSec = rate * f.nBlockAlign;
  return f;
}

HRESULT FromReaderCode(int code) {
  return code == kImpulseNoMemory ? E_OUTOFMEMORY : E_FAIL;
}

}  // namespace

CWaveSourcePin::CWaveSourcePin(CWaveSourceFilter* filter, CCritSec* lock)
    : CBaseOutputPin("wave source pin", filter, lock, nullptr, NXW("Output")),
      m_pSource(filter) {}

HRESULT CWaveSourcePin::CheckMediaType(const CMediaType* mediaType) {
  if (mediaType == nullptr) return E_POINTER;
  if (!m_pSource->m_open) return E_UNEXPECTED;
  return *mediaType == m_pSource->m_type ? S_OK : E_INVALIDARG;
}

HRESULT CWaveSourcePin::GetMediaType(int position, CMediaType* mediaType) {
  if (mediaType == nullptr) return E_POINTER;
  if (position < 0) return E_INVALIDARG;
  if (position > 0 || !m_pSource->m_open) return VFW_S_NO_MORE_ITEMS;
  return mediaType->Set(m_pSource->m_type);
}

HRESULT CWaveSourcePin::DecideBufferSize(IMemAllocator* allocator,
                                         ALLOCATOR_PROPERTIES* request) {
  if (allocator == nullptr || request == nullptr) return E_POINTER;
  const LONGLONG bytes = LONGLONG{m_pSource->m_framesPerSample} * m_pSource->m_blockAlign;
  if (bytes <= 0 || bytes > 0x10000000) return E_INVALIDARG;
  request->cBuffers = std::max<LONG>(request->cBuffers, 4);
  request->cbBuffer = std::max<LONG>(request->cbBuffer, static_cast<LONG>(bytes));
  request->cbAlign = std::max<LONG>(request->cbAlign, 8);
  ALLOCATOR_PROPERTIES granted = {0, 0, 0, 0};
  HRESULT hr = allocator->SetProperties(request, &granted);
  if (FAILED(hr)) return hr;
  return granted.cbBuffer < bytes ? E_FAIL : S_OK;
}

HRESULT CWaveSourcePin::Active() {
  HRESULT hr = CBaseOutputPin::Active();
  if (FAILED(hr)) return hr;
  m_pSource->StartThread();
  return S_OK;
}

HRESULT CWaveSourcePin::Inactive() {
  m_pSource->m_stopRequested = true;
  // Decommitting first makes a thread that waits for a buffer give up.
  HRESULT hr = CBaseOutputPin::Inactive();
  m_pSource->StopThread();
  return hr;
}

CWaveSourceFilter::CWaveSourceFilter()
    : CBaseFilter("wave source", nullptr, &m_lock, CLSID_NxWaveSource), m_pin(this, &m_lock) {}

CWaveSourceFilter::~CWaveSourceFilter() {
  m_stopRequested = true;
  if (m_pin.Allocator() != nullptr) m_pin.Allocator()->Decommit();
  StopThread();
  Close();
}

int CWaveSourceFilter::GetPinCount() { return 1; }

CBasePin* CWaveSourceFilter::GetPin(int index) { return index == 0 ? &m_pin : nullptr; }

void CWaveSourceFilter::Close() {
  if (m_open) WaveReader_Close(&m_reader);
  m_open = false;
  m_type.InitMediaType();
}

HRESULT CWaveSourceFilter::Open(LPCWSTR path, const WaveSourceOptions& options) {
  if (path == nullptr) return E_POINTER;
  if (options.framesPerSample == 0) return E_INVALIDARG;
  CAutoLock lock(&m_lock);
  if (!IsStopped()) return VFW_E_NOT_STOPPED;
  if (m_pin.IsConnected()) return VFW_E_ALREADY_CONNECTED;
  Close();
  const int code = WaveReader_Open(path, &m_reader, false);
  if (code < 0) return FromReaderCode(code);
  m_open = true;
  const WaveReader& r = m_reader;
  if (r.bytesPerSample == 0 || r.channels == 0 || r.channels > 0xFFFF ||
      r.bytesPerSample * r.channels > 0xFFFF) {
    Close();
    return VFW_E_INVALIDMEDIATYPE;
  }
  const WORD tag = NxGetLe16(r.format);
  const WORD channels = static_cast<WORD>(r.channels);
  const WORD bits = static_cast<WORD>(r.bytesPerSample * 8);
  const bool compressed = tag != WAVE_FORMAT_PCM && tag != WAVE_FORMAT_IEEE_FLOAT &&
                          tag != WAVE_FORMAT_EXTENSIBLE;
  const bool plainPcm16 = tag == WAVE_FORMAT_PCM && bits == 16;
  const bool plainFloat = tag == WAVE_FORMAT_IEEE_FLOAT && (bits == 32 || bits == 64);
  m_convert = options.convertToFloat && !plainPcm16 && !plainFloat;
  m_framesPerSample = options.framesPerSample;

  m_type.InitMediaType();
  m_type.SetType(&MEDIATYPE_Audio);
  m_type.SetFormatType(&FORMAT_WaveFormatEx);
  WAVEFORMATEX format;
  if (m_convert) {
    format = PlainFormat(WAVE_FORMAT_IEEE_FLOAT, channels, r.sampleRate, 32);
  } else if (compressed) {
    format = PlainFormat(WAVE_FORMAT_PCM, channels, r.sampleRate, 16);
  } else {
    format = PlainFormat(tag == WAVE_FORMAT_EXTENSIBLE ? WAVE_FORMAT_EXTENSIBLE : tag, channels,
                         r.sampleRate, bits);
  }
  m_blockAlign = format.nBlockAlign;
  const GUID subtype = {format.wFormatTag, 0x0000, 0x0010,
                        {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
  m_type.SetSubtype(&subtype);
  m_type.SetSampleSize(format.nBlockAlign);
  bool stored;
  if (format.wFormatTag == WAVE_FORMAT_EXTENSIBLE) {
    // The file's own record, cbSize and SubFormat included.
    stored = m_type.SetFormat(r.format, 18 + ULONG{NxGetLe16(r.format + 16)});
  } else {
    stored = m_type.SetFormat(reinterpret_cast<const BYTE*>(&format), sizeof format);
  }
  m_scratch.clear();
  if (!stored) {
    Close();
    return E_OUTOFMEMORY;
  }
  return S_OK;
}

void CWaveSourceFilter::StartThread() {
  StopThread();
  m_stopRequested = false;
  WaveReader_Seek(&m_reader, 0);
  m_thread = std::thread([this] { Stream(); });
}

void CWaveSourceFilter::StopThread() {
  if (m_thread.joinable()) m_thread.join();
}

DWORD CWaveSourceFilter::ReadFrames(BYTE* data, DWORD frames) {
  const DWORD frameBytes = m_reader.bytesPerSample * m_reader.channels;
  if (!m_convert) return WaveReader_Read(&m_reader, data, frames, 0, true) / frameBytes;
  if (m_scratch.size() < size_t{frames} * frameBytes) m_scratch.resize(size_t{frames} * frameBytes);
  const DWORD got = WaveReader_Read(&m_reader, m_scratch.data(), frames, 0, true) / frameBytes;
  const DWORD samples = got * m_reader.channels;
  for (DWORD i = 0; i < samples; ++i) {
    const float value = ToFloat(m_scratch.data() + size_t{i} * m_reader.bytesPerSample,
                                m_reader.bytesPerSample, m_reader.sampleKind);
    std::memcpy(data + size_t{i} * sizeof(float), &value, sizeof value);
  }
  return got;
}

void CWaveSourceFilter::Stream() {
  const DWORD rate = m_reader.sampleRate;
  LONGLONG position = 0;
  bool first = true;
  while (!m_stopRequested) {
    IMediaSample* sample = nullptr;
    HRESULT hr = m_pin.GetDeliveryBuffer(&sample, nullptr, nullptr, 0);
    if (FAILED(hr)) {
      if (!m_stopRequested) NxNotifyGraph(m_pGraph, EC_ERRORABORT, hr, 0);
      return;
    }
    BYTE* data = nullptr;
    sample->GetPointer(&data);
    const DWORD room = static_cast<DWORD>(sample->GetSize()) / m_blockAlign;
    const DWORD frames = ReadFrames(data, std::min(room, m_framesPerSample));
    if (frames == 0) {
      sample->Release();
      break;
    }
    REFERENCE_TIME start = rate != 0 ? position * 10000000 / rate : 0;
    REFERENCE_TIME stop = rate != 0 ? (position + frames) * 10000000 / rate : 0;
    LONGLONG mediaStart = position;
    LONGLONG mediaStop = position + frames;
    sample->SetTime(&start, &stop);
    sample->SetMediaTime(&mediaStart, &mediaStop);
    sample->SetSyncPoint(TRUE);
    sample->SetDiscontinuity(first);
    sample->SetActualDataLength(static_cast<LONG>(frames * m_blockAlign));
    hr = m_pin.Deliver(sample);
    sample->Release();
    first = false;
    position += frames;
    if (FAILED(hr)) {
      if (!m_stopRequested) NxNotifyGraph(m_pGraph, EC_ERRORABORT, hr, 0);
      return;
    }
    // S_FALSE: downstream wants no more.
    if (hr != S_OK) break;
  }
  if (!m_stopRequested) m_pin.DeliverEndOfStream();
}
