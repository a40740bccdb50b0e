// CUnknown with aggregation and CMediaType over the task allocator.

#include "tests/support/push_source.h"
#include "tests/support/test_support.h"

#include "platform/dshow/cunknown.h"
#include "platform/dshow/mem_allocator.h"
#include "platform/dshow/task_memory.h"

namespace {

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
