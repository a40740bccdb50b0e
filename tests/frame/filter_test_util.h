// Shared pieces of the filter and graph tests: HRESULTs printed in hex, audio media types, a
// source whose samples the test pushes by hand, an in-memory impulse, wave files on disk.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "frame/impulse_prep.h"
#include "platform/dshow/base_filter.h"
#include "platform/dshow/base_output_pin.h"
#include "platform/dshow/media_guids.h"
#include "platform/dshow/media_type.h"
#include "platform/dshow/mem_allocator.h"
#include "platform/wave_format.h"

inline std::string Hr(HRESULT hr) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(hr));
  return text;
}
#define EXPECT_HR(expected, actual) EXPECT_EQ(Hr(expected), Hr(actual))
#define ASSERT_HR(expected, actual) ASSERT_EQ(Hr(expected), Hr(actual))

inline WAVEFORMATEX Wave(WORD tag, WORD channels, DWORD rate, WORD bits) {
  WAVEFORMATEX f = {};
  f.wFormatTag = tag;
  f.nChannels = channels;
  f.nSamplesPerSec = rate;
  f.wBitsPerSample = bits;
  f.nBlockAlign = static_cast<WORD>(channels * bits / 8);
  f.nAvgBytesPerSec = rate * f.nBlockAlign;
  return f;
}

// An audio type over `format`; `formatBytes` cuts or pads the block (zero bytes after 18).
inline CMediaType AudioType(const WAVEFORMATEX& format, ULONG formatBytes = 18) {
  CMediaType type(&MEDIATYPE_Audio);
  const GUID subtype = format.wFormatTag == WAVE_FORMAT_PCM ? MEDIASUBTYPE_PCM
                                                            : MEDIASUBTYPE_IEEE_FLOAT;
  type.SetSubtype(&subtype);
  type.SetFormatType(&FORMAT_WaveFormatEx);
  std::vector<BYTE> block(std::max<ULONG>(formatBytes, 18), 0);
  std::memcpy(block.data(), &format, sizeof format);
  type.SetFormat(block.data(), formatBytes);
  return type;
}

inline std::basic_string<WCHAR> Wide(const std::string& text) {
  return std::basic_string<WCHAR>(text.begin(), text.end());
}

// A source pin with one type; the test pushes samples through it on its own thread.
class PushPin : public CBaseOutputPin {
 public:
  PushPin(CBaseFilter* filter, CCritSec* lock)
      : CBaseOutputPin("push pin", filter, lock, nullptr, NXW("Output")) {}
  HRESULT CheckMediaType(const CMediaType* type) override {
    return *type == offered ? S_OK : E_INVALIDARG;
  }
  HRESULT GetMediaType(int position, CMediaType* type) override {
    if (position < 0) return E_INVALIDARG;
    if (position > 0) return VFW_S_NO_MORE_ITEMS;
    return type->Set(offered);
  }
  HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override {
    request->cBuffers = 2;
    request->cbBuffer = bufferBytes;
    request->cbAlign = 8;
    ALLOCATOR_PROPERTIES actual;
    return allocator->SetProperties(request, &actual);
  }
  CMediaType offered;
  LONG bufferBytes = 4096;
};

class PushSource : public CBaseFilter {
 public:
  PushSource(const WAVEFORMATEX& format, LONG bufferBytes)
      : CBaseFilter("push source", nullptr, &lock_, GUID_NULL), pin_(this, &lock_) {
    pin_.offered = AudioType(format);
    pin_.bufferBytes = bufferBytes;
  }
  int GetPinCount() override { return 1; }
  CBasePin* GetPin(int index) override { return index == 0 ? &pin_ : nullptr; }
  PushPin& Pin() { return pin_; }

  // Delivers `bytes` as one sample; `start` < 0 leaves it without times.
  HRESULT Push(const void* bytes, LONG length, bool discontinuity, REFERENCE_TIME start = -1,
               REFERENCE_TIME stop = -1) {
    IMediaSample* sample = nullptr;
    HRESULT hr = pin_.GetDeliveryBuffer(&sample, nullptr, nullptr, 0);
    if (FAILED(hr)) return hr;
    BYTE* data = nullptr;
    sample->GetPointer(&data);
    std::memcpy(data, bytes, static_cast<size_t>(length));
    sample->SetActualDataLength(length);
    sample->SetDiscontinuity(discontinuity);
    sample->SetSyncPoint(TRUE);
    if (start >= 0) sample->SetTime(&start, &stop);
    hr = pin_.Deliver(sample);
    sample->Release();
    return hr;
  }
  HRESULT EndOfStream() { return pin_.DeliverEndOfStream(); }

 private:
  CCritSec lock_;
  PushPin pin_;
};

// An allocator that hands out buffers until the test sets `refuse`, then fails with it.
class RefusingAllocator : public CMemAllocator {
 public:
  RefusingAllocator() : CMemAllocator("refusing allocator", nullptr) {}
  HRESULT STDMETHODCALLTYPE GetBuffer(IMediaSample** sample, REFERENCE_TIME* start,
                                      REFERENCE_TIME* stop, DWORD flags) override {
    ++requests;
    if (FAILED(refuse)) return *sample = nullptr, refuse;
    return CMemAllocator::GetBuffer(sample, start, stop, flags);
  }
  std::atomic<HRESULT> refuse{S_OK};
  std::atomic<int> requests{0};
};

class MemoryImpulse : public ImpulseSource {
 public:
  MemoryImpulse(std::vector<float> samples, uint32_t rate) : samples_(std::move(samples)), rate_(rate) {}
  bool GetInfo(const WCHAR*, ImpulseSourceInfo* info) override {
    *info = {1, 4, static_cast<uint32_t>(samples_.size() * 4), rate_};
    return true;
  }
  void Load(const WCHAR*, float* c0, float*, uint32_t frames) override {
    for (uint32_t i = 0; i < frames && i < samples_.size(); ++i) c0[i] = samples_[i];
  }

 private:
  std::vector<float> samples_;
  uint32_t rate_;
};

inline std::vector<float> RandomSignal(size_t count, unsigned seed, float scale) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<float> dist(-scale, scale);
  std::vector<float> out(count);
  for (float& v : out) v = dist(rng);
  return out;
}

// A temporary folder, removed with its contents at the end.
class TempFolder {
 public:
  TempFolder()
      : path_(std::filesystem::temp_directory_path() /
              ("auralith_frame_" + std::to_string(std::random_device{}()))) {
    std::filesystem::create_directories(path_);
  }
  ~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  std::string operator/(const std::string& name) const { return (path_ / name).string(); }
  std::string Path() const { return path_.string() + "/"; }

 private:
  std::filesystem::path path_;
};

// A wave file with a plain "fmt " chunk (18 bytes with cbSize when `extensibleSub` is 0,
// else a 40-byte extensible record of that SubFormat tag) and `data` as its samples.
inline void WriteWaveFile(const std::string& path, WORD tag, WORD channels, DWORD rate, WORD bits,
                          const std::vector<BYTE>& data, WORD extensibleSub = 0) {
  std::vector<BYTE> out;
  auto put = [&](uint32_t v, int n) {
    for (int i = 0; i < n; ++i) out.push_back(static_cast<BYTE>(v >> (8 * i)));
  };
  auto id = [&](const char* s) { out.insert(out.end(), s, s + 4); };
  const WORD align = static_cast<WORD>(channels * bits / 8);
  const uint32_t fmtBytes = extensibleSub != 0 ? 40 : 18;
  id("RIFF");
  put(static_cast<uint32_t>(4 + 8 + fmtBytes + 8 + data.size() + (data.size() & 1)), 4);
  id("WAVE");
  id("fmt ");
  put(fmtBytes, 4);
  put(extensibleSub != 0 ? WAVE_FORMAT_EXTENSIBLE : tag, 2);
  put(channels, 2);
  put(rate, 4);
  put(rate * align, 4);
  put(align, 2);
  put(bits, 2);
  if (extensibleSub != 0) {
    put(22, 2);
    put(bits, 2);
    put(channels == 2 ? 3 : 4, 4);
    put(extensibleSub, 2);
    const BYTE tail[] = {0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71};
    out.insert(out.end(), tail, tail + sizeof tail);
  } else {
    put(0, 2);
  }
  id("data");
  put(static_cast<uint32_t>(data.size()), 4);
  out.insert(out.end(), data.begin(), data.end());
  if (data.size() & 1) out.push_back(0);
  FILE* f = std::fopen(path.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  std::fwrite(out.data(), 1, out.size(), f);
  std::fclose(f);
}

template <typename T>
std::vector<BYTE> AsBytes(const std::vector<T>& values) {
  std::vector<BYTE> out(values.size() * sizeof(T));
  std::memcpy(out.data(), values.data(), out.size());
  return out;
}
