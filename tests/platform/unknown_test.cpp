#include <gtest/gtest.h>

#include <cstring>
#include <type_traits>

#include "platform/unknown.h"

namespace {

// An interface that adds one method; its slot must come right after IUnknown's three.
struct IDerivedProbe : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE Fourth() = 0;

 protected:
  ~IDerivedProbe() = default;
};

#if defined(__GNUC__) || defined(__clang__)
// Itanium C++ ABI (GCC and Clang, also mingw-w64): a pointer to a virtual member function holds
// 1 + the byte offset of its vtable slot.
template <typename Method>
size_t VtableSlot(Method method) {
  static_assert(sizeof(Method) == 2 * sizeof(uintptr_t), "Itanium member function pointer");
  uintptr_t words[2];
  std::memcpy(words, &method, sizeof words);
  EXPECT_EQ(words[0] % sizeof(void*), 1u) << "not a virtual member";
  return (words[0] - 1) / sizeof(void*);
}

TEST(IUnknownLayout, MethodsOccupySlotsZeroOneTwoAndNothingElse) {
  // Cast: the SDK's IUnknown adds a template overload of QueryInterface (not virtual).
  typedef HRESULT (STDMETHODCALLTYPE IUnknown::*QueryMethod)(REFIID, void**);
  EXPECT_EQ(VtableSlot(static_cast<QueryMethod>(&IUnknown::QueryInterface)), 0u);
  EXPECT_EQ(VtableSlot(&IUnknown::AddRef), 1u);
  EXPECT_EQ(VtableSlot(&IUnknown::Release), 2u);
  EXPECT_EQ(VtableSlot(&IDerivedProbe::Fourth), 3u);
}
#endif

TEST(IUnknownLayout, IsAPureInterfaceOfOneVtablePointer) {
  EXPECT_EQ(sizeof(IUnknown), sizeof(void*));
  EXPECT_TRUE(std::is_abstract<IUnknown>::value);
  EXPECT_FALSE(std::has_virtual_destructor<IUnknown>::value);
}

}  // namespace
