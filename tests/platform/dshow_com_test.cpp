// Interface layouts, CUnknown with aggregation and CMediaType over the task allocator.

#include "tests/support/push_source.h"
#include "tests/support/test_support.h"

#include "platform/dshow/cunknown.h"
#include "platform/dshow/interfaces.h"
#include "platform/dshow/mem_allocator.h"
#include "platform/dshow/persist.h"
#include "platform/dshow/property_pages.h"
#include "platform/dshow/task_memory.h"

namespace {

#if defined(__GNUC__) || defined(__clang__)
// Itanium C++ ABI: a pointer to a virtual member function holds 1 + the slot's byte offset.
template <typename Method>
size_t VtableSlot(Method method) {
  uintptr_t words[2];
  std::memcpy(words, &method, sizeof words);
  return (words[0] - 1) / sizeof(void*);
}

TEST(DShowInterfaceLayout, LastMethodsSitInTheirRealSlots) {
  EXPECT_EQ(VtableSlot(&IPin::Connect), 3u);
  EXPECT_EQ(VtableSlot(&IPin::NewSegment), 17u);
  EXPECT_EQ(VtableSlot(&IBaseFilter::EnumPins), 10u);
  EXPECT_EQ(VtableSlot(&IBaseFilter::QueryVendorInfo), 14u);
  EXPECT_EQ(VtableSlot(&IMediaSample::GetPointer), 3u);
  EXPECT_EQ(VtableSlot(&IMediaSample::SetMediaTime), 18u);
  EXPECT_EQ(VtableSlot(&IMemAllocator::ReleaseBuffer), 8u);
  EXPECT_EQ(VtableSlot(&IMemInputPin::ReceiveCanBlock), 8u);
  EXPECT_EQ(VtableSlot(&IEnumMediaTypes::Clone), 6u);
  EXPECT_EQ(VtableSlot(&IFilterGraph::Reconnect), 8u);
  EXPECT_EQ(VtableSlot(&IStream::Clone), 13u);
  EXPECT_EQ(VtableSlot(&IPersistStream::GetSizeMax), 7u);
  EXPECT_EQ(VtableSlot(&ISpecifyPropertyPages::GetPages), 3u);
  EXPECT_EQ(VtableSlot(&IAMovieSetup::Unregister), 4u);
}
#endif

// An outer object that aggregates a CMemAllocator and counts the calls it receives.
class Outer : public IUnknown {
 public:
  Outer() : inner_(new CMemAllocator("aggregated", this)) { Inner()->AddRef(); }
  ~Outer() { Inner()->Release(); }
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
    ++queries;
    if (riid == IID_IUnknown) {
      *object = static_cast<IUnknown*>(this);
      AddRef();
      return S_OK;
    }
    return inner_->NonDelegatingUnknown()->QueryInterface(riid, object);
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
  ULONG STDMETHODCALLTYPE Release() override { return --refs; }
  IUnknown* Inner() { return inner_->NonDelegatingUnknown(); }

  ULONG refs = 1;
  int queries = 0;

 private:
  CMemAllocator* inner_;
};

TEST(CUnknownTest, AggregatedObjectDelegatesToTheOuterUnknown) {
  Outer outer;
  // (The module suite proves that references through the inner object count on the outer.)
  IMemAllocator* allocator = nullptr;
  ASSERT_HR(S_OK, outer.QueryInterface(IID_IMemAllocator, reinterpret_cast<void**>(&allocator)));

  // QueryInterface through the inner object's interface is the outer's: its identity is the
  // outer IUnknown.
  const int queriesBefore = outer.queries;
  IUnknown* identity = nullptr;
  ASSERT_HR(S_OK, allocator->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity)));
  EXPECT_EQ(identity, static_cast<IUnknown*>(&outer));
  EXPECT_EQ(outer.queries, queriesBefore + 1);
  identity->Release();
  allocator->Release();
  // QueryInterface checks its out-pointer before GetInterface could see a null one.
  EXPECT_HR(E_POINTER, GetInterface(&outer, nullptr));
}

CMediaType PcmType() { return AudioType(Wave(WAVE_FORMAT_PCM, 2, 44100, 16)); }

TEST(CMediaTypeTest, CopiesAreDeepAndFreeTheirFormatBlocks) {
  const LONG blocks = NxTaskMemOutstanding();
  {
    CMediaType original = PcmType();
    CMediaType copy(original);
    EXPECT_NE(copy.Format(), original.Format());
    EXPECT_TRUE(copy == original);
    copy.Format()[0] = 3;
    EXPECT_TRUE(copy != original);

    AM_MEDIA_TYPE plain;
    ASSERT_HR(S_OK, CopyMediaType(&plain, &original));
    FreeMediaType(plain);
    EXPECT_EQ(plain.pbFormat, nullptr);
    EXPECT_EQ(plain.cbFormat, 0u);
  }
  EXPECT_EQ(NxTaskMemOutstanding(), blocks);
}

TEST(CMediaTypeTest, RefusesMalformedRecordsAndReportsShortMemory) {
  AM_MEDIA_TYPE malformed = {};
  malformed.majortype = MEDIATYPE_Audio;
  malformed.cbFormat = 18;  // but no block
  CMediaType type;
  EXPECT_HR(E_POINTER, type.Set(malformed));
  EXPECT_FALSE(type.IsValid());
  EXPECT_EQ(CreateMediaType(&malformed), nullptr);

  CMediaType pcm = PcmType();
  NxTaskMemFailNext(1);
  EXPECT_HR(E_OUTOFMEMORY, type.Set(pcm));
  EXPECT_EQ(type.Format(), nullptr);
}

}  // namespace
