#include "platform/window.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/types.h"

namespace {

// Takes every queued message for `window` (null: all windows).
std::vector<MSG> Drain(HWND window) {
  std::vector<MSG> out;
  MSG msg;
  while (PeekMessageW(&msg, window, 0, 0, PM_REMOVE)) out.push_back(msg);
  return out;
}

// Messages are taken by window and range, in the order posted; a destroyed window's messages go
// with it, and its handle is never handed out again.
TEST(WindowTable, MessagesQueueByWindowAndRangeAndGoWithTheirWindow) {
  HWND a = NxCreateWindow(nullptr), b = NxCreateWindow(nullptr), gone = NxCreateWindow(nullptr);
  ASSERT_TRUE(a != nullptr && b != nullptr && a != b && IsWindow(a));
  EXPECT_TRUE(PostMessageW(a, WM_COMMAND, MAKEWPARAM(1001, 100), 0));
  EXPECT_TRUE(PostMessageW(gone, WM_COMMAND, 1, 0));
  EXPECT_TRUE(PostMessageW(b, WM_USER + 1, 7, 8));
  EXPECT_TRUE(PostMessageW(a, WM_TIMER, 2, 3));
  EXPECT_FALSE(PostMessageW(nullptr, WM_COMMAND, 0, 0));
  EXPECT_TRUE(DestroyWindow(gone));
  EXPECT_FALSE(IsWindow(gone) || IsWindow(nullptr) || DestroyWindow(gone));
  EXPECT_FALSE(PostMessageW(gone, WM_COMMAND, 3, 0));
  MSG msg = {};
  EXPECT_FALSE(PeekMessageW(&msg, gone, 0, 0, PM_REMOVE));
  ASSERT_TRUE(PeekMessageW(&msg, b, 0, 0, PM_NOREMOVE));
  EXPECT_TRUE(msg.hwnd == b && msg.message == WM_USER + 1 && msg.wParam == 7 && msg.lParam == 8);
  ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE));
  EXPECT_TRUE(msg.hwnd == a && msg.message == WM_TIMER);
  EXPECT_FALSE(PeekMessageW(&msg, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE));
  const std::vector<MSG> forA = Drain(a);
  ASSERT_EQ(forA.size(), 1u);
  EXPECT_TRUE(forA[0].message == WM_COMMAND && forA[0].wParam == MAKEWPARAM(1001, 100));
  const std::vector<MSG> left = Drain(nullptr);  // b's message was only peeked
  ASSERT_EQ(left.size(), 1u);
  EXPECT_EQ(left[0].hwnd, b);
  HWND fresh = NxCreateWindow(nullptr);
  EXPECT_NE(fresh, gone);  // new windows never take the old handle
  DestroyWindow(fresh);
  DestroyWindow(a);
  DestroyWindow(b);
}

LRESULT CALLBACK TestWindowProc(HWND, UINT, WPARAM, LPARAM) { return 0; }

// (The module's load step proves registering, finding in any case and unregistering.)
TEST(WindowTable, ClassesRegisterOnceByNameAndStayWhileTheyHaveWindows) {
  const WCHAR* name = NXW("auralithBld0TestClass");
  WNDCLASSW wc = {}, info = {};
  wc.lpfnWndProc = TestWindowProc;
  wc.cbWndExtra = 8;
  wc.lpszClassName = name;
  EXPECT_EQ(NxCreateWindow(name), nullptr);
  EXPECT_NE(RegisterClassW(&wc), 0);
  wc.lpszClassName = NXW("auralithbld0testclass");
  EXPECT_EQ(RegisterClassW(&wc), 0);  // same name in other case
  ASSERT_TRUE(GetClassInfoW(nullptr, name, &info));
  EXPECT_TRUE(info.lpfnWndProc == &TestWindowProc && info.cbWndExtra == 8);
  HWND control = NxCreateWindow(name);
  ASSERT_NE(control, nullptr);
  EXPECT_FALSE(UnregisterClassW(name, nullptr));  // a window still uses it
  DestroyWindow(control);
  EXPECT_TRUE(UnregisterClassW(name, nullptr));
  EXPECT_FALSE(UnregisterClassW(name, nullptr) || GetClassInfoW(nullptr, name, &info));
}

TEST(WindowTable, QueueIsBoundedAndDestroyingAWindowFreesItsShare) {
  HWND reader = NxCreateWindow(nullptr), flood = NxCreateWindow(nullptr);
  size_t posted = 0;
  while (PostMessageW(flood, WM_USER, 0, 0)) ++posted;
  EXPECT_EQ(posted, kNxMaxQueuedMessages);
  EXPECT_FALSE(PostMessageW(reader, WM_USER, 0, 0));
  DestroyWindow(flood);
  EXPECT_TRUE(PostMessageW(reader, WM_USER, 0, 0));
  EXPECT_EQ(Drain(nullptr).size(), 1u);
  DestroyWindow(reader);
}

}  // namespace
