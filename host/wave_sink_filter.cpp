#include "host/wave_sink_filter.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "frame/nx_plugin.h"
#include "impulse/wave_writer.h"
#include "platform/byte_order.h"
#include "platform/dshow/filter_graph.h"
#include "platform/dshow/media_type.h"

namespace {

// Bytes before the first data byte.
ULONGLONG HeaderBytes(const WAVEFORMATEX& f) { return WaveFileWriter::HeaderBytes(f); }

// Samples converted per pass, so converting allocates nothing while streaming.
constexpr size_t kConvertSamples = 4096;

bool SameLayout(const WAVEFORMATEX& a, const WAVEFORMATEX& b) {
  return a.wFormatTag == b.wFormatTag && a.wBitsPerSample == b.wBitsPerSample;
}

// One received sample on a full scale of ±1.0.
double ReadSample(const BYTE* p, const WAVEFORMATEX& f) {
  if (f.wFormatTag == WAVE_FORMAT_PCM) return NxGetLeI16(p) / 32768.0;
  return f.wBitsPerSample == 32 ? NxGetLeFloat(p) : NxGetLeDouble(p);
}

// Writes `x` in the format of `f`; true when a 16-bit sample had to be clamped.
bool PutSample(BYTE* p, double x, const WAVEFORMATEX& f) {
  if (f.wFormatTag == WAVE_FORMAT_IEEE_FLOAT) {
    if (f.wBitsPerSample == 32) {
      NxPutLeFloat(p, static_cast<float>(x));
    } else {
      NxPutLeDouble(p, x);
    }
    return false;
  }
  double scaled = std::round(x * 32768.0);
  const bool clamped = !(scaled >= -32768.0 && scaled <= 32767.0);
  if (clamped) scaled = std::isnan(scaled) ? 0.0 : std::clamp(scaled, -32768.0, 32767.0);
  NxPutLeI16(p, static_cast<int16_t>(scaled));
  return clamped;
}

ULONGLONG FullScale16(const BYTE* data, LONG bytes) {
  ULONGLONG count = 0;
  for (LONG i = 0; i + 1 < bytes; i += 2) {
    const int16_t v = NxGetLeI16(data + i);
    count += v == -32768 || v == 32767;
  }
  return count;
}

}  // namespace

bool WaveSinkAccepts(const WAVEFORMATEX& f) {
  if (f.nChannels == 0 || f.nSamplesPerSec == 0) return false;
  if (f.wFormatTag == WAVE_FORMAT_PCM) return f.wBitsPerSample == 16;
  return f.wFormatTag == WAVE_FORMAT_IEEE_FLOAT &&
         (f.wBitsPerSample == 32 || f.wBitsPerSample == 64);
}

CWaveSinkPin::CWaveSinkPin(CWaveSinkFilter* filter, CCritSec* lock)
    : CBaseInputPin("wave sink pin", filter, lock, nullptr, NXW("Input")), m_pSink(filter) {}

HRESULT CWaveSinkPin::CheckMediaType(const CMediaType* mediaType) {
  if (mediaType == nullptr) return E_POINTER;
  WAVEFORMATEX f;
  if (!ReadAudioFormat(*mediaType, &f) || !WaveSinkAccepts(f)) return E_INVALIDARG;
  if (!IsConnected() || IsStopped()) return S_OK;
  std::lock_guard<std::mutex> hold(m_pSink->m_dataMutex);
  if (m_pSink->m_dataBytes == 0) return S_OK;
  const WAVEFORMATEX& now = m_pSink->m_format;
  const bool same = f.wFormatTag == now.wFormatTag && f.nChannels == now.nChannels &&
                    f.nSamplesPerSec == now.nSamplesPerSec &&
                    f.wBitsPerSample == now.wBitsPerSample;
  return same ? S_OK : E_INVALIDARG;
}

HRESULT STDMETHODCALLTYPE CWaveSinkPin::Receive(IMediaSample* pSample) {
  HRESULT hr = CBaseInputPin::Receive(pSample);
  if (hr != S_OK) return hr;
  WaveSinkSample record = {};
  record.timeResult = pSample->GetTime(&record.start, &record.stop);
  record.mediaTimeResult = pSample->GetMediaTime(&record.mediaStart, &record.mediaStop);
  record.discontinuity = pSample->IsDiscontinuity() == S_OK;
  record.syncPoint = pSample->IsSyncPoint() == S_OK;
  AM_MEDIA_TYPE* changed = nullptr;
  if (pSample->GetMediaType(&changed) == S_OK && changed != nullptr) {
    record.typeChanged = true;
    CMediaType mediaType;
    hr = mediaType.Set(*changed);
    DeleteMediaType(changed);
    if (SUCCEEDED(hr)) hr = m_pSink->ChangeFormat(mediaType);
    if (FAILED(hr)) return hr;
  }
  BYTE* data = nullptr;
  pSample->GetPointer(&data);
  record.bytes = pSample->GetActualDataLength();
  return m_pSink->Write(data, record.bytes, record);
}

HRESULT STDMETHODCALLTYPE CWaveSinkPin::EndOfStream() {
  HRESULT hr = CheckStreaming();
  if (hr != S_OK) return hr;
  return m_pSink->EndStream(true);
}

HRESULT CWaveSinkPin::Active() { return m_pSink->BeginRun(); }

HRESULT CWaveSinkPin::Inactive() {
  HRESULT hr = CBaseInputPin::Inactive();
  m_pSink->CloseFile();
  return hr == VFW_E_NO_ALLOCATOR ? S_OK : hr;
}

CWaveSinkFilter::CWaveSinkFilter()
    : CBaseFilter("wave sink", nullptr, &m_lock, CLSID_NxWaveSink), m_pin(this, &m_lock) {}

CWaveSinkFilter::~CWaveSinkFilter() { CloseFile(); }

int CWaveSinkFilter::GetPinCount() { return 1; }

CBasePin* CWaveSinkFilter::GetPin(int index) { return index == 0 ? &m_pin : nullptr; }

HRESULT CWaveSinkFilter::SetFileName(LPCWSTR path) {
  CAutoLock lock(&m_lock);
  if (!IsStopped()) return VFW_E_NOT_STOPPED;
  m_path = path != nullptr ? path : NXW("");
  return S_OK;
}

HRESULT CWaveSinkFilter::SetWriteFormat(WORD tag, WORD bits) {
  CAutoLock lock(&m_lock);
  if (!IsStopped()) return VFW_E_NOT_STOPPED;
  WAVEFORMATEX f = {};
  f.wFormatTag = tag;
  f.wBitsPerSample = bits;
  f.nChannels = 1;
  f.nSamplesPerSec = 1;
  if (!(tag == 0 && bits == 0) && !WaveSinkAccepts(f)) return E_INVALIDARG;
  m_writeTag = tag;
  m_writeBits = bits;
  return S_OK;
}

HRESULT CWaveSinkFilter::BeginRun() {
  std::lock_guard<std::mutex> hold(m_dataMutex);
  m_samples.clear();
  m_data.clear();
  m_dataBytes = 0;
  m_endOfStreams = 0;
  m_writeResult = S_OK;
  m_writeError = NxFileError::None;
  m_discard = false;
  m_clipped = 0;
  if (!ReadAudioFormat(m_pin.CurrentMediaType(), &m_format)) return VFW_E_NOT_CONNECTED;
  if (m_path.empty()) return S_OK;
  try {
    m_converted.resize(kConvertSamples * 8);
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
  if (m_file != nullptr) NxCloseFile(m_file);
  m_file = NxFileReplacement::Create(m_path.c_str(), NxFileAccess::ReadWrite);
  if (m_file == nullptr) {
    RecordWriteFailure();
    return E_FAIL;
  }
  return StartFile();
}

void CWaveSinkFilter::RecordWriteFailure() {
  if (FAILED(m_writeResult)) return;
  m_writeResult = E_FAIL;
  m_writeError = NxGetLastFileError();
}

HRESULT CWaveSinkFilter::StartFile() {
  m_written = m_format;
  if (m_writeTag != 0) {
    m_written.wFormatTag = m_writeTag;
    m_written.wBitsPerSample = m_writeBits;
  }
  if (m_file == nullptr || m_writer.Start(m_file, m_written)) return S_OK;
  RecordWriteFailure();
  return E_FAIL;
}

HRESULT CWaveSinkFilter::WriteHeader() {
  if (m_file == nullptr || m_writer.Finish()) return S_OK;
  RecordWriteFailure();
  return E_FAIL;
}

HRESULT CWaveSinkFilter::ChangeFormat(const CMediaType& mediaType) {
  std::lock_guard<std::mutex> hold(m_dataMutex);
  WAVEFORMATEX f;
  if (m_dataBytes != 0 || !ReadAudioFormat(mediaType, &f) || !WaveSinkAccepts(f)) {
    return VFW_E_INVALIDMEDIATYPE;
  }
  // This thread delivers; the pin's type changes only while no data has been written.
  HRESULT hr = m_pin.CurrentMediaType().Set(mediaType);
  if (FAILED(hr)) return hr;
  m_format = f;
  return StartFile();
}

HRESULT CWaveSinkFilter::Write(const BYTE* data, LONG bytes, const WaveSinkSample& record) {
  std::lock_guard<std::mutex> hold(m_dataMutex);
  m_samples.push_back(record);
  if (bytes <= 0) return S_OK;
  // The RIFF size (everything after its first 8 bytes, pad included) must fit in 32 bits.
  const ULONGLONG end = HeaderBytes(m_format) + m_dataBytes + static_cast<ULONGLONG>(bytes);
  if (end + 1 - 8 > 0xFFFFFFFFull) {
    if (SUCCEEDED(m_writeResult)) {
      m_writeResult = E_FAIL;
      m_writeError = NxFileError::TooLarge;
    }
    return E_FAIL;
  }
  if (m_file != nullptr) {
    if (!WriteConverted(data, bytes)) {
      RecordWriteFailure();
      return E_FAIL;
    }
  } else {
    m_data.insert(m_data.end(), data, data + bytes);
  }
  m_dataBytes += static_cast<ULONGLONG>(bytes);
  return S_OK;
}

bool CWaveSinkFilter::WriteConverted(const BYTE* data, LONG bytes) {
  if (SameLayout(m_format, m_written)) {
    if (m_written.wFormatTag == WAVE_FORMAT_PCM) m_clipped += FullScale16(data, bytes);
    return m_writer.Append(data, static_cast<DWORD>(bytes));
  }
  const size_t inWidth = m_format.wBitsPerSample / 8;
  const size_t outWidth = m_written.wBitsPerSample / 8;
  const size_t samples = static_cast<size_t>(bytes) / inWidth;
  for (size_t first = 0; first < samples; first += kConvertSamples) {
    const size_t count = std::min(kConvertSamples, samples - first);
    const BYTE* in = data + first * inWidth;
    BYTE* out = m_converted.data();
    for (size_t i = 0; i < count; ++i, in += inWidth, out += outWidth) {
      if (m_format.wFormatTag == WAVE_FORMAT_PCM) {
        const int16_t v = NxGetLeI16(in);
        m_clipped += v == -32768 || v == 32767;
      }
      m_clipped += PutSample(out, ReadSample(in, m_format), m_written);
    }
    if (!m_writer.Append(m_converted.data(), static_cast<DWORD>(count * outWidth))) return false;
  }
  return true;
}

ULONGLONG CWaveSinkFilter::Clipped() const {
  std::lock_guard<std::mutex> hold(m_dataMutex);
  return m_clipped;
}

HRESULT CWaveSinkFilter::EndStream(bool notify) {
  HRESULT hr;
  int count;
  {
    std::lock_guard<std::mutex> hold(m_dataMutex);
    count = ++m_endOfStreams;
    hr = WriteHeader();
  }
  if (notify && count == 1) NxNotifyGraph(m_pGraph, EC_COMPLETE, S_OK, 0);
  return hr;
}

void CWaveSinkFilter::CloseFile() {
  std::lock_guard<std::mutex> hold(m_dataMutex);
  if (m_file == nullptr) return;
  WriteHeader();
  if (m_endOfStreams > 0 && SUCCEEDED(m_writeResult) && !m_discard && !m_file->Commit()) {
    RecordWriteFailure();
  }
  NxCloseFile(m_file);
  m_file = nullptr;
}

void CWaveSinkFilter::DiscardOutput() {
  std::lock_guard<std::mutex> hold(m_dataMutex);
  m_discard = true;
}

NxFileError CWaveSinkFilter::WriteError() const {
  std::lock_guard<std::mutex> hold(m_dataMutex);
  return m_writeError;
}

std::vector<WaveSinkSample> CWaveSinkFilter::Samples() const {
  std::lock_guard<std::mutex> hold(m_dataMutex);
  return m_samples;
}

std::vector<BYTE> CWaveSinkFilter::Data() const {
  std::lock_guard<std::mutex> hold(m_dataMutex);
  return m_data;
}

int CWaveSinkFilter::EndOfStreamCount() const {
  std::lock_guard<std::mutex> hold(m_dataMutex);
  return m_endOfStreams;
}

ULONGLONG CWaveSinkFilter::DataBytes() const {
  std::lock_guard<std::mutex> hold(m_dataMutex);
  return m_dataBytes;
}

WAVEFORMATEX CWaveSinkFilter::Format() const {
  std::lock_guard<std::mutex> hold(m_dataMutex);
  return m_format;
}

HRESULT CWaveSinkFilter::WriteResult() const {
  std::lock_guard<std::mutex> hold(m_dataMutex);
  return m_writeResult;
}
