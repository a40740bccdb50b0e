#include "host/wave_sink_filter.h"

#include "frame/nx_plugin.h"
#include "impulse/wave_writer.h"
#include "platform/dshow/filter_graph.h"
#include "platform/dshow/media_type.h"

namespace {

// Bytes before the first data byte.
ULONGLONG HeaderBytes(const WAVEFORMATEX& f) { return WaveFileWriter::HeaderBytes(f); }

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

HRESULT CWaveSinkFilter::BeginRun() {
  std::lock_guard<std::mutex> hold(m_dataMutex);
  m_samples.clear();
  m_data.clear();
  m_dataBytes = 0;
  m_endOfStreams = 0;
  m_writeResult = S_OK;
  m_writeError = NxFileError::None;
  m_discard = false;
  if (!ReadAudioFormat(m_pin.CurrentMediaType(), &m_format)) return VFW_E_NOT_CONNECTED;
  if (m_path.empty()) return S_OK;
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
  if (m_file == nullptr || m_writer.Start(m_file, m_format)) return S_OK;
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
    if (!m_writer.Append(data, static_cast<DWORD>(bytes))) {
      RecordWriteFailure();
      return E_FAIL;
    }
  } else {
    m_data.insert(m_data.end(), data, data + bytes);
  }
  m_dataBytes += static_cast<ULONGLONG>(bytes);
  return S_OK;
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
