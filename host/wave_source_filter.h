// CWaveSourceFilter: a source filter that plays a wave file into a graph through one output pin
// ("Output").
//
// It offers the format the wave reader delivers: an uncompressed file's own format (PCM of 8 to
// 32 bits, IEEE float, or the file's extensible record as stored), a compressed file as the
// 16-bit PCM it decodes to. With `convertToFloat`, everything but plain 16-bit PCM and plain
// 32/64-bit float is delivered as 32-bit float instead, on a full scale of ±1.0.
//
// Streaming: on leaving the stopped state a thread of the filter reads the file from its start
// and delivers samples of `framesPerSample` frames (the last one shorter), each a sync point
// with start = frames before it * 10^7 / rate (100 ns units), stop the same for its end, media
// times in frames, and the discontinuity flag on the first; then end of stream. A delivery that
// fails ends the stream with EC_ERRORABORT to the graph; stopping ends the thread.
#pragma once

#include <atomic>
#include <thread>
#include <vector>

#include "impulse/wave_reader.h"
#include "platform/critical_section.h"
#include "platform/dshow/base_filter.h"
#include "platform/dshow/base_output_pin.h"

// {FB45A445-914C-4AF1-918C-9AF85DE81B03}
inline constexpr CLSID CLSID_NxWaveSource = {0xFB45A445, 0x914C, 0x4AF1,
                                             {0x91, 0x8C, 0x9A, 0xF8, 0x5D, 0xE8, 0x1B, 0x03}};

struct WaveSourceOptions {
  DWORD framesPerSample = 4096;
  bool convertToFloat = false;
};

class CWaveSourceFilter;

class CWaveSourcePin : public CBaseOutputPin {
 public:
  CWaveSourcePin(CWaveSourceFilter* filter, CCritSec* lock);

  // Only the offered type.
  HRESULT CheckMediaType(const CMediaType* mediaType) override;
  HRESULT GetMediaType(int position, CMediaType* mediaType) override;
  // At least four buffers of framesPerSample frames, aligned to 8 bytes.
  HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override;
  // Start and end the streaming thread.
  HRESULT Active() override;
  HRESULT Inactive() override;

 private:
  CWaveSourceFilter* m_pSource;
};

class CWaveSourceFilter : public CBaseFilter {
 public:
  CWaveSourceFilter();
  ~CWaveSourceFilter() override;

  // Opens `path` and settles the offered type. VFW_E_NOT_STOPPED / VFW_E_ALREADY_CONNECTED
  // unless stopped and unconnected; E_FAIL for a file that cannot be read as wave;
  // VFW_E_INVALIDMEDIATYPE for one the reader cannot deliver; E_INVALIDARG for a zero
  // framesPerSample.
  HRESULT Open(LPCWSTR path, const WaveSourceOptions& options);

  int GetPinCount() override;
  CBasePin* GetPin(int index) override;

  // The offered type; empty before Open.
  const CMediaType& OfferedType() const { return m_type; }
  bool Converting() const { return m_convert; }
  DWORD Frames() const { return m_reader.frames; }

 private:
  friend class CWaveSourcePin;

  void StartThread();
  void StopThread();
  void Stream();
  // Fills `data` with up to `frames` frames as delivered; returns the frames.
  DWORD ReadFrames(BYTE* data, DWORD frames);
  void Close();

  CCritSec m_lock;
  CWaveSourcePin m_pin;
  WaveReader m_reader = {};
  bool m_open = false;
  bool m_convert = false;
  DWORD m_framesPerSample = 0;
  WORD m_blockAlign = 0;  // bytes of one delivered frame
  CMediaType m_type;
  std::vector<BYTE> m_scratch;  // the reader's frames when converting
  std::thread m_thread;
  std::atomic<bool> m_stopRequested{false};
};
