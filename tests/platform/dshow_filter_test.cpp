// Filters and pins: a test source, a byte-copying CTransformFilter and a test sink connected and
// run through the base classes — QueryInterface, reference counts, pin and type enumeration,
// negotiation, state changes and samples flowing.

#include "tests/support/push_source.h"
#include "tests/support/test_support.h"

#include <chrono>
#include <functional>
#include <future>
#include <thread>

#include "platform/dshow/base_input_pin.h"
#include "platform/dshow/task_memory.h"
#include "platform/dshow/transform_filter.h"
#include "platform/dshow/transform_input_pin.h"
#include "platform/dshow/transform_output_pin.h"

namespace {

// 16-bit PCM or 32-bit float at 44100 Hz.
CMediaType AudioType(const GUID& subtype, WORD channels) {
  const bool pcm = subtype == MEDIASUBTYPE_PCM;
  return AudioType(
      Wave(pcm ? WAVE_FORMAT_PCM : WAVE_FORMAT_IEEE_FLOAT, channels, 44100, pcm ? 16 : 32));
}

class SinkPin : public ListPin<CBaseInputPin> {
 public:
  using ListPin::ListPin;
  HRESULT STDMETHODCALLTYPE Receive(IMediaSample* sample) override {
    HRESULT hr = CBaseInputPin::Receive(sample);
    if (hr != S_OK) return hr;
    BYTE* data = nullptr;
    sample->GetPointer(&data);
    received.emplace_back(data, data + sample->GetActualDataLength());
    REFERENCE_TIME start = -1, stop = -1;
    sample->GetTime(&start, &stop);
    starts.push_back(start);
    discontinuities.push_back(sample->IsDiscontinuity() == S_OK);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE EndOfStream() override {
    ++endOfStreams;
    return S_OK;
  }
  std::vector<std::vector<BYTE>> received;
  std::vector<REFERENCE_TIME> starts;
  std::vector<bool> discontinuities;
  int endOfStreams = 0;
};

class TestSink : public CBaseFilter {
 public:
  TestSink() : CBaseFilter("test sink", nullptr, &lock_, GUID_NULL),
               pin_(this, &lock_, NXW("In")) {}
  int GetPinCount() override { return 1; }
  CBasePin* GetPin(int index) override { return index == 0 ? &pin_ : nullptr; }
  SinkPin& Pin() { return pin_; }

 private:
  CCritSec lock_;
  SinkPin pin_;
};

// Accepts audio only and passes bytes through unchanged; counts streaming starts and stops.
class CopyTransform : public CTransformFilter {
 public:
  CopyTransform() : CTransformFilter("copy transform", nullptr, GUID_NULL) {}
  HRESULT Transform(IMediaSample* in, IMediaSample* out) override {
    BYTE* from = nullptr;
    BYTE* to = nullptr;
    in->GetPointer(&from);
    out->GetPointer(&to);
    const LONG length = in->GetActualDataLength();
    if (length > out->GetSize()) return E_FAIL;
    std::memcpy(to, from, static_cast<size_t>(length));
    return out->SetActualDataLength(length);
  }
  HRESULT CheckInputType(const CMediaType* in) override {
    return *in->Type() == MEDIATYPE_Audio ? S_OK : E_INVALIDARG;
  }
  HRESULT CheckTransform(const CMediaType* in, const CMediaType* out) override {
    return *in == *out ? S_OK : E_INVALIDARG;
  }
  HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override {
    request->cBuffers = 1;
    request->cbBuffer = 128;
    ALLOCATOR_PROPERTIES actual;
    return allocator->SetProperties(request, &actual);
  }
  HRESULT GetMediaType(int position, CMediaType* type) override {
    if (!m_pInput->IsConnected()) return E_UNEXPECTED;
    if (position < 0) return E_INVALIDARG;
    if (position > 0) return VFW_S_NO_MORE_ITEMS;
    return type->Set(m_pInput->CurrentMediaType());
  }
  CCritSec* FilterLock() { return &m_csFilter; }
  HRESULT StartStreaming() override {
    ++starts;
    return S_OK;
  }
  HRESULT StopStreaming() override {
    ++stops;
    return S_OK;
  }
  int starts = 0;
  int stops = 0;
};

IPin* PinOf(IBaseFilter* filter, LPCWSTR name) {
  IPin* pin = nullptr;
  EXPECT_HR(S_OK, filter->FindPin(name, &pin));
  if (pin != nullptr) pin->Release();  // the filter keeps its pins alive
  return pin;
}

// Source -> copy transform -> sink, each held through IBaseFilter.
class GraphTest : public ::testing::Test {
 protected:
  void SetUp() override {
    alive_ = CUnknown::ObjectsActive();
    source_ = new PushSource(AudioType(MEDIASUBTYPE_PCM, 2), 64);
    copy_ = new CopyTransform;
    sink_ = new TestSink;
    for (IBaseFilter* filter : Filters()) filter->AddRef();
    sink_->Pin().accepts = {AudioType(MEDIASUBTYPE_PCM, 2)};
  }
  void TearDown() override {
    for (IBaseFilter* filter : Filters()) filter->Stop();
    for (IPin* pin : {PinOf(source_, NXW("Out")), PinOf(copy_, NXW("In")),
                      PinOf(copy_, NXW("Out")), PinOf(sink_, NXW("In"))}) {
      pin->Disconnect();
    }
    for (IBaseFilter* filter : Filters()) EXPECT_EQ(filter->Release(), 0u);
    EXPECT_EQ(CUnknown::ObjectsActive(), alive_);
  }
  std::vector<IBaseFilter*> Filters() { return {source_, copy_, sink_}; }
  void ConnectAll() {
    ASSERT_HR(S_OK, PinOf(source_, NXW("Out"))->Connect(PinOf(copy_, NXW("In")), nullptr));
    ASSERT_HR(S_OK, PinOf(copy_, NXW("Out"))->Connect(PinOf(sink_, NXW("In")), nullptr));
  }
  HRESULT SetState(FILTER_STATE state) {
    // Downstream first, as a graph does.
    for (IBaseFilter* filter : {static_cast<IBaseFilter*>(sink_), static_cast<IBaseFilter*>(copy_),
                                static_cast<IBaseFilter*>(source_)}) {
      HRESULT hr = state == State_Stopped  ? filter->Stop()
                   : state == State_Paused ? filter->Pause()
                                           : filter->Run(0);
      if (FAILED(hr)) return hr;
    }
    return S_OK;
  }

  LONG alive_ = 0;
  PushSource* source_ = nullptr;
  CopyTransform* copy_ = nullptr;
  TestSink* sink_ = nullptr;
};

TEST_F(GraphTest, PinsCountOnTheirFilterAndAnswerPinInterfaces) {
  IPin* in = PinOf(copy_, NXW("In"));
  IPin* out = PinOf(copy_, NXW("Out"));
  EXPECT_EQ(in->AddRef(), 2u);  // the filter's count
  EXPECT_EQ(copy_->AddRef(), 3u);
  copy_->Release();
  in->Release();

  ExpectInterfaces(in, {&IID_IUnknown, &IID_IPin, &IID_IMemInputPin}, {&IID_IBaseFilter});
  // Seeking is passed upstream, as graphs seek through their renderers.
  ExpectInterfaces(out, {&IID_IUnknown, &IID_IPin, &IID_IMediaSeeking},
                   {&IID_IMemInputPin, &IID_IBaseFilter});
}

// The rules pin and media type enumerators share, over `e` at its start with n >= 2 items:
// `take` checks and releases the item fetched at a position; `change` changes the owner's items,
// which refuses the enumerator until a Reset, after which it holds `nAfter` items.
template <typename Enum, typename Item>
void CheckEnumerator(Enum* e, ULONG n, const std::function<void(ULONG, Item*)>& take,
                     const std::function<void()>& change, ULONG nAfter) {
  std::vector<Item*> got(n + 1);
  ULONG fetched = 99;
  EXPECT_HR(E_INVALIDARG, e->Next(2, got.data(), nullptr));
  EXPECT_HR(S_FALSE, e->Next(n + 1, got.data(), &fetched));
  ASSERT_EQ(fetched, n);
  for (ULONG i = 0; i < n; ++i) take(i, got[i]);
  EXPECT_HR(S_FALSE, e->Next(1, got.data(), &fetched));
  EXPECT_EQ(fetched, 0u);

  EXPECT_HR(S_OK, e->Reset());
  EXPECT_HR(S_OK, e->Skip(1));
  Enum* clone = nullptr;
  ASSERT_HR(S_OK, e->Clone(&clone));
  EXPECT_HR(S_FALSE, e->Skip(n));  // one short of n left; the clone keeps its own place
  EXPECT_HR(S_OK, clone->Next(1, got.data(), nullptr));
  take(1, got[0]);
  EXPECT_EQ(clone->Release(), 0u);

  change();
  EXPECT_HR(VFW_E_ENUM_OUT_OF_SYNC, e->Next(1, got.data(), &fetched));
  EXPECT_HR(VFW_E_ENUM_OUT_OF_SYNC, e->Skip(1));
  EXPECT_HR(VFW_E_ENUM_OUT_OF_SYNC, e->Clone(&clone));
  EXPECT_HR(S_OK, e->Reset());
  EXPECT_HR(S_OK, e->Skip(nAfter));  // exactly to the end
  EXPECT_HR(S_FALSE, e->Skip(1));
  EXPECT_EQ(e->Release(), 0u);
}

TEST_F(GraphTest, PinAndMediaTypeEnumeratorsFollowTheNextSkipResetCloneRules) {
  IEnumPins* pins = nullptr;
  ASSERT_HR(S_OK, copy_->EnumPins(&pins));
  EXPECT_EQ(copy_->AddRef(), 3u);  // ours, the enumerator's, this one
  copy_->Release();
  const IPin* order[] = {PinOf(copy_, NXW("In")), PinOf(copy_, NXW("Out"))};
  const auto take = [&](ULONG i, IPin* pin) {
    EXPECT_EQ(pin, order[i]);
    pin->Release();
  };
  CheckEnumerator<IEnumPins, IPin>(pins, 2, take, [&] { copy_->IncrementPinVersion(); }, 2);

  // Types come as copies, with their own format blocks.
  PushPin& pin = source_->Pin();
  pin.offers = {AudioType(MEDIASUBTYPE_PCM, 1), AudioType(MEDIASUBTYPE_PCM, 2),
                AudioType(MEDIASUBTYPE_IEEE_FLOAT, 2)};
  IEnumMediaTypes* types = nullptr;
  ASSERT_HR(S_OK, pin.EnumMediaTypes(&types));
  const auto takeType = [&](ULONG i, AM_MEDIA_TYPE* type) {
    EXPECT_TRUE(CMediaType(*type) == pin.offers[i]) << i;
    EXPECT_NE(type->pbFormat, pin.offers[i].Format());
    DeleteMediaType(type);
  };
  CheckEnumerator<IEnumMediaTypes, AM_MEDIA_TYPE>(types, 3, takeType, [&] {
    pin.offers.pop_back();
    pin.IncrementTypeVersion();
  }, 2);
}

TEST_F(GraphTest, ConnectionNegotiatesAndRefusesTypes) {
  IPin* sourceOut = PinOf(source_, NXW("Out"));
  IPin* copyIn = PinOf(copy_, NXW("In"));
  IPin* copyOut = PinOf(copy_, NXW("Out"));
  IPin* sinkIn = PinOf(sink_, NXW("In"));

  // The output side cannot connect before the input has a type.
  EXPECT_HR(VFW_E_NO_ACCEPTABLE_TYPES, copyOut->Connect(sinkIn, nullptr));
  CMediaType video(&MEDIATYPE_Video);
  video.SetFormatType(&FORMAT_None);
  source_->Pin().offers = {video, AudioType(MEDIASUBTYPE_PCM, 2)};
  source_->Pin().accepts = source_->Pin().offers;
  EXPECT_HR(VFW_E_TYPE_NOT_ACCEPTED, sourceOut->Connect(copyIn, &video));  // fully specified
  EXPECT_FALSE(source_->Pin().IsConnected());

  ASSERT_HR(S_OK, sourceOut->Connect(copyIn, nullptr));  // video refused, audio taken
  AM_MEDIA_TYPE type;
  ASSERT_HR(S_OK, copyIn->ConnectionMediaType(&type));
  EXPECT_TRUE(type.majortype == MEDIATYPE_Audio);
  FreeMediaType(type);
  EXPECT_HR(VFW_E_ALREADY_CONNECTED, copyIn->ReceiveConnection(sourceOut, &type));

  // The output offers the input's type; the sink accepts only mono, so it is refused.
  sink_->Pin().accepts = {AudioType(MEDIASUBTYPE_PCM, 1)};
  EXPECT_HR(VFW_E_NO_ACCEPTABLE_TYPES, copyOut->Connect(sinkIn, nullptr));
  IPin* peer = nullptr;
  EXPECT_HR(VFW_E_NOT_CONNECTED, sinkIn->ConnectedTo(&peer));
  sink_->Pin().accepts = {AudioType(MEDIASUBTYPE_PCM, 2)};
  EXPECT_HR(S_OK, copyOut->Connect(sinkIn, nullptr));
  EXPECT_HR(S_OK, copyIn->QueryAccept(&source_->Pin().CurrentMediaType()));
  EXPECT_HR(S_FALSE, copyIn->QueryAccept(&video));

}

TEST_F(GraphTest, ReceiversTypesAreTriedBeforeOurs) {
  const CMediaType pcm = AudioType(MEDIASUBTYPE_PCM, 2);
  const CMediaType floats = AudioType(MEDIASUBTYPE_IEEE_FLOAT, 2);
  source_->Pin().offers = {pcm, floats};
  source_->Pin().accepts = {pcm, floats};
  sink_->Pin().offers = {floats};
  sink_->Pin().accepts = {pcm, floats};
  IPin* sinkIn = PinOf(sink_, NXW("In"));
  ASSERT_HR(S_OK, source_->Pin().Connect(sinkIn, nullptr));
  EXPECT_TRUE(source_->Pin().CurrentMediaType() == floats);
  source_->Pin().Disconnect();
  sinkIn->Disconnect();

  // A partial type narrows the candidates.
  CMediaType audioPcm(&MEDIATYPE_Audio);
  audioPcm.SetSubtype(&MEDIASUBTYPE_PCM);
  ASSERT_HR(S_OK, source_->Pin().Connect(sinkIn, &audioPcm));
  EXPECT_TRUE(source_->Pin().CurrentMediaType() == pcm);
  EXPECT_TRUE(sink_->Pin().CurrentMediaType() == pcm);
}

TEST_F(GraphTest, StateChangesStartAndStopStreamingOnce) {
  ConnectAll();
  const struct {
    FILTER_STATE state;
    int starts, stops;
  } steps[] = {{State_Stopped, 0, 0}, {State_Paused, 1, 0},  {State_Running, 1, 0},
               {State_Paused, 1, 0},  {State_Stopped, 1, 1}, {State_Stopped, 1, 1},
               {State_Running, 2, 1}};  // via paused
  for (const auto& step : steps) {
    ASSERT_HR(S_OK, SetState(step.state));
    FILTER_STATE state;
    EXPECT_HR(S_OK, copy_->GetState(0, &state));
    EXPECT_EQ(step.state, state);
    EXPECT_EQ(std::make_pair(step.starts, step.stops), std::make_pair(copy_->starts, copy_->stops));
    if (step.state != State_Stopped) {
      EXPECT_HR(VFW_E_NOT_STOPPED, PinOf(copy_, NXW("Out"))->Disconnect());
    }
  }
}

TEST_F(GraphTest, SamplesFlowThroughTheTransformWithTimesAndFlags) {
  ConnectAll();
  EXPECT_HR(VFW_E_NOT_COMMITTED, source_->Push({1, 2, 3}, 0, false));  // stopped
  ASSERT_HR(S_OK, SetState(State_Running));
  ASSERT_HR(S_OK, source_->Push({1, 2, 3}, 5000000, true));
  ASSERT_HR(S_OK, source_->Push({4, 5, 6, 7}, 5001000, false));
  ASSERT_HR(S_OK, PinOf(copy_, NXW("In"))->EndOfStream());

  SinkPin& sink = sink_->Pin();
  EXPECT_EQ((std::vector<std::vector<BYTE>>{{1, 2, 3}, {4, 5, 6, 7}}), sink.received);
  EXPECT_EQ((std::vector<REFERENCE_TIME>{5000000, 5001000}), sink.starts);
  EXPECT_EQ((std::vector<bool>{true, false}), sink.discontinuities);
  EXPECT_EQ(sink.endOfStreams, 1);

  // Flushing drops samples quietly and is passed downstream.
  IPin* copyIn = PinOf(copy_, NXW("In"));
  ASSERT_HR(S_OK, copyIn->BeginFlush());
  EXPECT_TRUE(sink.IsFlushing());
  EXPECT_HR(S_FALSE, source_->Push({9}, 0, false));
  ASSERT_HR(S_OK, copyIn->EndFlush());
  EXPECT_FALSE(sink.IsFlushing());
  EXPECT_HR(S_OK, copyIn->NewSegment(0, 10000000, 1.0));
  EXPECT_EQ(sink.CurrentStopTime(), 10000000);
  EXPECT_HR(S_OK, source_->Push({8}, 0, false));
  EXPECT_EQ(sink.received.size(), 3u);

  ASSERT_HR(S_OK, SetState(State_Stopped));
  EXPECT_HR(VFW_E_WRONG_STATE, copyIn->EndOfStream());
}

TEST_F(GraphTest, StopReleasesAStreamingThreadWaitingForABuffer) {
  ConnectAll();
  ASSERT_HR(S_OK, SetState(State_Running));
  IMediaSample* held[2] = {};
  ASSERT_HR(S_OK, source_->Pin().GetDeliveryBuffer(&held[0], nullptr, nullptr, 0));
  ASSERT_HR(S_OK, source_->Pin().GetDeliveryBuffer(&held[1], nullptr, nullptr, 0));
  HRESULT pushed = S_OK;
  std::thread streaming([&] { pushed = source_->Push({1}, 0, false); });
  ASSERT_HR(S_OK, SetState(State_Stopped));
  streaming.join();
  EXPECT_HR(VFW_E_NOT_COMMITTED, pushed);
  held[0]->Release();
  held[1]->Release();
}

// A renderer asks for the stop position from the streaming thread at end of stream, while Stop
// holds the filter lock and waits for that thread: seeking never waits for the filter lock.
TEST_F(GraphTest, SeekingPassesUpstreamWithoutTheFilterLock) {
  ConnectAll();
  IMediaSeeking* seeking = nullptr;
  ASSERT_HR(S_OK, PinOf(copy_, NXW("Out"))->QueryInterface(IID_IMediaSeeking,
                                                            reinterpret_cast<void**>(&seeking)));
  std::promise<void> held;
  std::promise<void> release;
  std::thread stopping([&] {
    CAutoLock lock(copy_->FilterLock());
    held.set_value();
    release.get_future().wait();
  });
  held.get_future().wait();
  std::future<HRESULT> asked = std::async(std::launch::async, [&] {
    LONGLONG stop = 0;
    return seeking->GetStopPosition(&stop);
  });
  const bool answered = asked.wait_for(std::chrono::seconds(10)) == std::future_status::ready;
  release.set_value();
  stopping.join();
  EXPECT_TRUE(answered);
  EXPECT_HR(E_NOTIMPL, asked.get());  // the push source cannot seek
  seeking->Release();
}

TEST_F(GraphTest, PausingWithoutAnInputPassesEndOfStreamOnce) {
  ConnectAll();
  ASSERT_HR(S_OK, PinOf(copy_, NXW("In"))->Disconnect());
  ASSERT_HR(S_OK, PinOf(source_, NXW("Out"))->Disconnect());
  ASSERT_HR(S_OK, copy_->Pause());
  ASSERT_HR(S_OK, copy_->Run(0));
  ASSERT_HR(S_OK, copy_->Pause());
  EXPECT_EQ(sink_->Pin().endOfStreams, 1);
  EXPECT_EQ(copy_->starts, 0);
  EXPECT_HR(VFW_E_NOT_STOPPED,
            PinOf(source_, NXW("Out"))->Connect(PinOf(copy_, NXW("In")), nullptr));
}

}  // namespace
