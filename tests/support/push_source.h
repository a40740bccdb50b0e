// Audio media types, and a source filter whose one pin offers and accepts the types a test lists,
// and from which the test pushes samples on its own thread (or any other).
#pragma once

#include <cstring>
#include <vector>

#include "platform/dshow/base_filter.h"
#include "platform/dshow/base_output_pin.h"
#include "platform/dshow/media_guids.h"
#include "platform/dshow/media_type.h"
#include "platform/wave_format.h"

inline WAVEFORMATEX Wave(WORD tag, WORD channels, DWORD rate, WORD bits) {
  const WORD align = static_cast<WORD>(channels * bits / 8);
  return {tag, channels, rate, rate * align, align, bits, 0};
}

// An audio type over `format`; `formatBytes` cuts or pads the block (zero bytes after 18).
inline CMediaType AudioType(const WAVEFORMATEX& format, ULONG formatBytes = 18) {
  CMediaType type(&MEDIATYPE_Audio);
  type.SetSubtype(format.wFormatTag == WAVE_FORMAT_PCM ? &MEDIASUBTYPE_PCM
                                                       : &MEDIASUBTYPE_IEEE_FLOAT);
  type.SetFormatType(&FORMAT_WaveFormatEx);
  std::vector<BYTE> block(formatBytes > 18 ? formatBytes : 18, 0);
  std::memcpy(block.data(), &format, sizeof format);
  type.SetFormat(block.data(), formatBytes);
  return type;
}

// A pin whose offered and accepted types are lists the test fills.
template <typename Base>
class ListPin : public Base {
 public:
  ListPin(CBaseFilter* filter, CCritSec* lock, LPCWSTR name)
      : Base("list pin", filter, lock, nullptr, name) {}
  HRESULT CheckMediaType(const CMediaType* type) override {
    for (const CMediaType& accepted : accepts) {
      if (accepted == *type) return S_OK;
    }
    return E_INVALIDARG;
  }
  HRESULT GetMediaType(int position, CMediaType* type) override {
    if (position < 0) return E_INVALIDARG;
    if (position >= static_cast<int>(offers.size())) return VFW_S_NO_MORE_ITEMS;
    return type->Set(offers[static_cast<size_t>(position)]);
  }
  std::vector<CMediaType> offers;
  std::vector<CMediaType> accepts;
};

// Two buffers of `bufferBytes`, aligned to 8.
class PushPin : public ListPin<CBaseOutputPin> {
 public:
  using ListPin::ListPin;
  HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override {
    request->cBuffers = 2;
    request->cbBuffer = bufferBytes;
    request->cbAlign = 8;
    ALLOCATOR_PROPERTIES actual;
    return allocator->SetProperties(request, &actual);
  }
  LONG bufferBytes = 4096;
};

class PushSource : public CBaseFilter {
 public:
  explicit PushSource(const CMediaType& type, LONG bufferBytes = 4096, REFCLSID clsid = GUID_NULL)
      : CBaseFilter("push source", nullptr, &lock_, clsid), pin_(this, &lock_, NXW("Out")) {
    pin_.offers = {type};
    pin_.accepts = {type};
    pin_.bufferBytes = bufferBytes;
  }
  int GetPinCount() override { return 1; }
  CBasePin* GetPin(int index) override { return index == 0 ? &pin_ : nullptr; }
  PushPin& Pin() { return pin_; }

  // Delivers `bytes` (at most a buffer's worth) as one sample; `start` < 0 leaves it without
  // times.
  HRESULT Push(const void* bytes, LONG length, bool discontinuity, REFERENCE_TIME start = -1,
               REFERENCE_TIME stop = -1) {
    IMediaSample* sample = nullptr;
    HRESULT hr = pin_.GetDeliveryBuffer(&sample, nullptr, nullptr, 0);
    if (FAILED(hr)) return hr;
    BYTE* data = nullptr;
    sample->GetPointer(&data);
    length = length < sample->GetSize() ? length : sample->GetSize();
    if (length > 0) std::memcpy(data, bytes, static_cast<size_t>(length));
    sample->SetActualDataLength(length);
    sample->SetDiscontinuity(discontinuity);
    sample->SetSyncPoint(TRUE);
    if (start >= 0) sample->SetTime(&start, &stop);
    hr = pin_.Deliver(sample);
    sample->Release();
    return hr;
  }
  HRESULT Push(const std::vector<BYTE>& bytes, REFERENCE_TIME start, bool discontinuity) {
    return Push(bytes.data(), static_cast<LONG>(bytes.size()), discontinuity, start, start + 1000);
  }
  HRESULT EndOfStream() { return pin_.DeliverEndOfStream(); }

 private:
  CCritSec lock_;
  PushPin pin_;
};
