// CMediaSample and CMemAllocator: sample properties and lengths, allocator properties, commit
// and decommit, and GetBuffer waiting across threads.

#include "tests/support/test_support.h"

#include <thread>

#include "platform/dshow/media_guids.h"
#include "platform/dshow/media_sample.h"
#include "platform/dshow/media_type.h"
#include "platform/dshow/mem_allocator.h"

namespace {

// A stand-alone sample (no allocator) over a local buffer; deletes itself on its last Release.
IMediaSample* NewSample(BYTE* buffer, LONG size) {
  auto* sample = new CMediaSample("test sample", nullptr, buffer, size);
  sample->AddRef();
  return sample;
}

TEST(CMediaSampleTest, DataLengthStaysWithinTheBuffer) {
  BYTE buffer[16];
  IMediaSample* sample = NewSample(buffer, sizeof buffer);
  ExpectInterfaces(sample, {&IID_IUnknown, &IID_IMediaSample}, {&IID_IMemAllocator});
  BYTE* pointer = nullptr;
  EXPECT_HR(S_OK, sample->GetPointer(&pointer));
  EXPECT_EQ(pointer, buffer);
  EXPECT_EQ(sample->GetSize(), 16);
  EXPECT_HR(S_OK, sample->SetActualDataLength(16));
  EXPECT_HR(VFW_E_BUFFER_OVERFLOW, sample->SetActualDataLength(17));
  EXPECT_HR(VFW_E_BUFFER_OVERFLOW, sample->SetActualDataLength(-1));
  EXPECT_EQ(sample->GetActualDataLength(), 16);
  sample->Release();
}

// Setting and getting both times is the allocator's and the filter suite's.
TEST(CMediaSampleTest, TimesFlagsAndTypeAreUnsetUntilSetAndCanBeCleared) {
  BYTE buffer[4];
  IMediaSample* sample = NewSample(buffer, sizeof buffer);
  REFERENCE_TIME start = 5000000, stop = 5100000;
  EXPECT_HR(VFW_E_SAMPLE_TIME_NOT_SET, sample->GetTime(&start, &stop));
  EXPECT_HR(S_OK, sample->SetTime(&start, &stop));
  EXPECT_HR(S_OK, sample->SetTime(&start, nullptr));  // forgets the stop
  EXPECT_HR(VFW_S_NO_STOP_TIME, sample->GetTime(&start, &stop));
  EXPECT_EQ(stop, 5000001);
  EXPECT_HR(S_OK, sample->SetTime(nullptr, nullptr));
  EXPECT_HR(VFW_E_SAMPLE_TIME_NOT_SET, sample->GetTime(&start, &stop));

  LONGLONG frames[2] = {100, 4510}, got[2] = {};
  EXPECT_HR(VFW_E_MEDIA_TIME_NOT_SET, sample->GetMediaTime(&got[0], &got[1]));
  EXPECT_HR(S_OK, sample->SetMediaTime(&frames[0], &frames[1]));
  EXPECT_HR(S_OK, sample->GetMediaTime(&got[0], &got[1]));
  EXPECT_TRUE(got[0] == 100 && got[1] == 4510) << got[0] << " " << got[1];

  sample->SetSyncPoint(TRUE);
  EXPECT_HR(S_OK, sample->IsSyncPoint());
  sample->SetSyncPoint(FALSE);
  EXPECT_HR(S_FALSE, sample->IsSyncPoint());

  AM_MEDIA_TYPE* type = reinterpret_cast<AM_MEDIA_TYPE*>(buffer);
  EXPECT_HR(S_FALSE, sample->GetMediaType(&type));
  EXPECT_EQ(type, nullptr);
  CMediaType audio(&MEDIATYPE_Audio);
  EXPECT_HR(S_OK, sample->SetMediaType(&audio));
  EXPECT_HR(S_OK, sample->GetMediaType(&type));
  ASSERT_NE(type, nullptr);
  EXPECT_TRUE(type->majortype == MEDIATYPE_Audio);
  DeleteMediaType(type);
  sample->Release();
}

class AllocatorTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_HR(S_OK, CreateMemoryAllocator(&allocator_)); }
  void TearDown() override {
    if (allocator_ != nullptr) {
      EXPECT_EQ(allocator_->Release(), 0u);
    }
  }
  HRESULT Set(LONG count, LONG size, LONG align, LONG prefix) {
    ALLOCATOR_PROPERTIES request = {count, size, align, prefix};
    return allocator_->SetProperties(&request, &actual_);
  }
  IMemAllocator* allocator_ = nullptr;
  ALLOCATOR_PROPERTIES actual_ = {};
};

TEST_F(AllocatorTest, PropertiesAreValidatedAndRoundedToTheAlignment) {
  EXPECT_HR(VFW_E_BADALIGN, Set(2, 100, 0, 0));
  EXPECT_HR(VFW_E_BADALIGN, Set(2, 100, 12, 0));
  EXPECT_HR(E_INVALIDARG, Set(2, -100, 1, 0));
  EXPECT_HR(E_INVALIDARG, Set(0x10000, 0x10000, 1, 0));  // more than a LONG can address

  EXPECT_HR(S_OK, Set(3, 100, 16, 8));
  ALLOCATOR_PROPERTIES got = {};
  EXPECT_HR(S_OK, allocator_->GetProperties(&got));
  for (const ALLOCATOR_PROPERTIES& p : {actual_, got})  // 8 + 104 = 7 units of 16
    EXPECT_EQ((std::vector<LONG>{3, 104, 16, 8}),
              (std::vector<LONG>{p.cBuffers, p.cbBuffer, p.cbAlign, p.cbPrefix}));

  ASSERT_HR(S_OK, allocator_->Commit());
  IMediaSample* sample = nullptr;
  ASSERT_HR(S_OK, allocator_->GetBuffer(&sample, nullptr, nullptr, 0));
  BYTE* data = nullptr;
  sample->GetPointer(&data);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(data - 8) % 16, 0u);  // prefix starts aligned
  EXPECT_EQ(sample->GetSize(), 104);
  EXPECT_HR(VFW_E_ALREADY_COMMITTED, Set(1, 10, 1, 0));
  allocator_->Decommit();
  EXPECT_HR(VFW_E_BUFFERS_OUTSTANDING, Set(1, 10, 1, 0));
  sample->Release();
  EXPECT_HR(S_OK, Set(1, 10, 1, 0));
}

TEST_F(AllocatorTest, OutstandingSamplesHoldTheAllocatorAndComeBackClean) {
  ASSERT_HR(S_OK, Set(2, 8, 1, 0));
  ASSERT_HR(S_OK, allocator_->Commit());
  REFERENCE_TIME start = 10, stop = 20;
  IMediaSample* first = nullptr;
  ASSERT_HR(S_OK, allocator_->GetBuffer(&first, &start, &stop, 0));
  REFERENCE_TIME gotStart = 0, gotStop = 0;
  EXPECT_HR(S_OK, first->GetTime(&gotStart, &gotStop));
  EXPECT_EQ(gotStop, 20);
  first->SetDiscontinuity(TRUE);
  first->SetActualDataLength(3);
  BYTE* firstData = nullptr;
  first->GetPointer(&firstData);
  EXPECT_EQ(first->Release(), 0u);  // and its hold on the allocator, as the end shows

  // The buffer comes back without the old properties.
  IMediaSample* again = nullptr;
  ASSERT_HR(S_OK, allocator_->GetBuffer(&again, nullptr, nullptr, 0));
  BYTE* againData = nullptr;
  again->GetPointer(&againData);
  EXPECT_EQ(againData, firstData);
  EXPECT_HR(S_FALSE, again->IsDiscontinuity());
  EXPECT_HR(VFW_E_SAMPLE_TIME_NOT_SET, again->GetTime(&gotStart, &gotStop));
  EXPECT_EQ(again->GetActualDataLength(), 8);

  // The allocator's last outside reference goes while a sample is out: the sample keeps it.
  IMemAllocator* allocator = allocator_;
  allocator_ = nullptr;
  EXPECT_EQ(allocator->Release(), 1u);
  again->Release();  // frees the allocator too (ASan would report otherwise)
}

// A decommit waking the waiters is the filter suite's (StopReleasesAStreamingThread...).
TEST_F(AllocatorTest, GetBufferWaitsForARelease) {
  ASSERT_HR(S_OK, Set(1, 8, 1, 0));
  ASSERT_HR(S_OK, allocator_->Commit());
  IMediaSample* held = nullptr;
  ASSERT_HR(S_OK, allocator_->GetBuffer(&held, nullptr, nullptr, 0));
  IMediaSample* waited = nullptr;
  EXPECT_HR(VFW_E_TIMEOUT, allocator_->GetBuffer(&waited, nullptr, nullptr, AM_GBF_NOWAIT));
  HRESULT waiterResult = E_FAIL;
  std::thread waiter([&] { waiterResult = allocator_->GetBuffer(&waited, nullptr, nullptr, 0); });
  held->Release();
  waiter.join();
  ASSERT_HR(S_OK, waiterResult);
  waited->Release();
}

}  // namespace
