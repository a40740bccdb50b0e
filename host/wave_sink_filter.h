// CWaveSinkFilter: a renderer that writes what it receives through its input pin ("Input") to a
// wave file, and records every sample for inspection.
//
// It takes 16-bit PCM and 32/64-bit IEEE float with any non-zero channel count and rate, and
// writes the data exactly as received, in the connected format, through the one wave writer
// (impulse/wave_writer.h). The RIFF, "data" and "fact"
// sizes are written when the stream ends (end of stream or stop); until then they are zero. A
// file that would pass the 32-bit RIFF limit refuses the sample that would cross it.
//
// A sample may carry a new type (a format change downstream of a filter) only before any data
// of the run was written: the file then starts in the new format. Afterwards only the current
// format is accepted, so one file never mixes formats.
//
// The file is written beside its name under a temporary one and replaces it when the run stops,
// only if the run reached end of stream with every write done and DiscardOutput was not called;
// otherwise the file named is left as it was (platform/file_replacement.h).
//
// Without a file name the sink only records, and keeps the received bytes in memory instead.
// End of stream is reported to the graph as EC_COMPLETE once per run.
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "impulse/wave_writer.h"
#include "platform/critical_section.h"
#include "platform/dshow/base_filter.h"
#include "platform/dshow/base_input_pin.h"
#include "platform/file.h"
#include "platform/file_replacement.h"
#include "platform/wave_format.h"

// {ED8A8FDF-95D4-4173-8514-AE62A9F8F6BA}
inline constexpr CLSID CLSID_NxWaveSink = {0xED8A8FDF, 0x95D4, 0x4173,
                                           {0x85, 0x14, 0xAE, 0x62, 0xA9, 0xF8, 0xF6, 0xBA}};

// What arrived with one sample.
struct WaveSinkSample {
  HRESULT timeResult;  // GetTime: S_OK, VFW_S_NO_STOP_TIME or VFW_E_SAMPLE_TIME_NOT_SET
  REFERENCE_TIME start;
  REFERENCE_TIME stop;
  HRESULT mediaTimeResult;
  LONGLONG mediaStart;
  LONGLONG mediaStop;
  bool discontinuity;
  bool syncPoint;
  bool typeChanged;  // a media type was attached
  LONG bytes;
};

class CWaveSinkFilter;

class CWaveSinkPin : public CBaseInputPin {
 public:
  CWaveSinkPin(CWaveSinkFilter* filter, CCritSec* lock);

  HRESULT CheckMediaType(const CMediaType* mediaType) override;
  HRESULT STDMETHODCALLTYPE Receive(IMediaSample* pSample) override;
  HRESULT STDMETHODCALLTYPE EndOfStream() override;
  HRESULT Active() override;
  HRESULT Inactive() override;

 private:
  CWaveSinkFilter* m_pSink;
};

class CWaveSinkFilter : public CBaseFilter {
 public:
  CWaveSinkFilter();
  ~CWaveSinkFilter() override;

  // The file to write at the next run; null or empty: record only. VFW_E_NOT_STOPPED while
  // running.
  HRESULT SetFileName(LPCWSTR path);
  // The format the file is written in: 16-bit PCM or 32/64-bit float (tag and bits), or 0 and
  // 0 for the connected format. Samples are converted as they are written, in one pass:
  // 16-bit samples x / 32768, rounded to nearest (halves away from zero) and clamped; floats
  // narrowed to the nearest float. VFW_E_NOT_STOPPED while running, E_INVALIDARG for any other
  // format.
  HRESULT SetWriteFormat(WORD tag, WORD bits);

  int GetPinCount() override;
  CBasePin* GetPin(int index) override;

  // Of the current or last run.
  std::vector<WaveSinkSample> Samples() const;
  std::vector<BYTE> Data() const;  // record-only mode
  int EndOfStreamCount() const;
  ULONGLONG DataBytes() const;
  WAVEFORMATEX Format() const;
  // 16-bit samples written at full scale (-32768 or 32767) as received, plus samples clamped on
  // the way to 16 bits: where the output clipped.
  ULONGLONG Clipped() const;
  // The first write or header failure of the run, S_OK when none, and what the system said.
  HRESULT WriteResult() const;
  NxFileError WriteError() const;
  // Keeps this run's file from replacing the one named (call before the graph stops).
  void DiscardOutput();

 private:
  friend class CWaveSinkPin;

  HRESULT BeginRun();
  HRESULT Write(const BYTE* data, LONG bytes, const WaveSinkSample& record);
  HRESULT ChangeFormat(const CMediaType& mediaType);
  HRESULT EndStream(bool notify);
  HRESULT StartFile();
  HRESULT WriteHeader();
  bool WriteConverted(const BYTE* data, LONG bytes);
  void CloseFile();

  CCritSec m_lock;
  CWaveSinkPin m_pin;
  mutable std::mutex m_dataMutex;  // the records, against readers on other threads
  std::basic_string<WCHAR> m_path;
  void RecordWriteFailure();

  NxFileReplacement* m_file = nullptr;
  WaveFileWriter m_writer;
  WAVEFORMATEX m_format = {};
  ULONGLONG m_dataBytes = 0;
  std::vector<WaveSinkSample> m_samples;
  std::vector<BYTE> m_data;
  int m_endOfStreams = 0;
  HRESULT m_writeResult = S_OK;
  NxFileError m_writeError = NxFileError::None;
  WORD m_writeTag = 0;
  WORD m_writeBits = 0;
  WAVEFORMATEX m_written = {};  // the file's format this run
  ULONGLONG m_clipped = 0;
  std::vector<BYTE> m_converted;  // sized when the run starts
  bool m_discard = false;
};

// Whether the sink can write this wave format (16-bit PCM, 32/64-bit float).
bool WaveSinkAccepts(const WAVEFORMATEX& format);
