#include <gtest/gtest.h>

#include <set>
#include <thread>
#include <vector>

#include "platform/types.h"
#include "platform/window.h"

namespace {

// Takes every queued message for `window` (null: all windows).
std::vector<MSG> Drain(HWND window) {
  std::vector<MSG> out;
  MSG msg;
  while (PeekMessageW(&msg, window, 0, 0, PM_REMOVE)) out.push_back(msg);
  return out;
}

TEST(WindowTable, PostedMessagesQueueInOrderAndFilterByWindowAndRange) {
  HWND a = NxCreateWindow(nullptr);
  HWND b = NxCreateWindow(nullptr);
  ASSERT_NE(a, nullptr);
  ASSERT_NE(b, nullptr);
  EXPECT_NE(a, b);
  EXPECT_TRUE(IsWindow(a));

  const WPARAM notify = MAKEWPARAM(1001, 100);
  EXPECT_TRUE(PostMessageW(a, WM_COMMAND, notify, 0));
  EXPECT_TRUE(PostMessageW(b, WM_USER + 1, 7, 8));
  EXPECT_TRUE(PostMessageW(a, WM_TIMER, 2, 3));

  MSG msg = {};
  ASSERT_TRUE(PeekMessageW(&msg, b, 0, 0, PM_NOREMOVE));
  EXPECT_EQ(msg.hwnd, b);
  EXPECT_EQ(msg.message, WM_USER + 1);
  EXPECT_EQ(msg.wParam, 7u);
  EXPECT_EQ(msg.lParam, 8);

  ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE));
  EXPECT_EQ(msg.hwnd, a);
  EXPECT_EQ(msg.message, WM_TIMER);
  EXPECT_FALSE(PeekMessageW(&msg, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE));

  const std::vector<MSG> forA = Drain(a);
  ASSERT_EQ(forA.size(), 1u);
  EXPECT_EQ(forA[0].message, WM_COMMAND);
  EXPECT_EQ(LOWORD(forA[0].wParam), 1001);
  EXPECT_EQ(HIWORD(forA[0].wParam), 100);

  EXPECT_EQ(Drain(nullptr).size(), 1u);  // b's message was only peeked
  EXPECT_FALSE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_FALSE(PostMessageW(nullptr, WM_COMMAND, 0, 0));
  DestroyWindow(a);
  DestroyWindow(b);
}

TEST(WindowTable, DestroyedWindowStaysDeadAndLosesItsMessages) {
  HWND window = NxCreateWindow(nullptr);
  HWND survivor = NxCreateWindow(nullptr);
  ASSERT_TRUE(PostMessageW(window, WM_COMMAND, 1, 0));
  ASSERT_TRUE(PostMessageW(survivor, WM_COMMAND, 2, 0));

  EXPECT_TRUE(DestroyWindow(window));
  EXPECT_FALSE(IsWindow(window));
  EXPECT_FALSE(DestroyWindow(window));
  EXPECT_FALSE(PostMessageW(window, WM_COMMAND, 3, 0));
  EXPECT_FALSE(InvalidateRect(window, nullptr, TRUE));
  MSG msg;
  EXPECT_FALSE(PeekMessageW(&msg, window, 0, 0, PM_REMOVE));
  NxInvalidation record;
  EXPECT_FALSE(NxGetInvalidation(window, &record));

  const std::vector<MSG> left = Drain(nullptr);
  ASSERT_EQ(left.size(), 1u);
  EXPECT_EQ(left[0].hwnd, survivor);

  // New windows never take the old handle.
  for (int i = 0; i < 100; ++i) {
    HWND fresh = NxCreateWindow(nullptr);
    EXPECT_NE(fresh, window);
    DestroyWindow(fresh);
  }
  EXPECT_FALSE(IsWindow(window));
  EXPECT_FALSE(IsWindow(nullptr));
  DestroyWindow(survivor);
}

TEST(WindowTable, InvalidationIsRecordedPerWindow) {
  HWND a = NxCreateWindow(nullptr);
  HWND b = NxCreateWindow(nullptr);
  NxInvalidation record;
  ASSERT_TRUE(NxGetInvalidation(a, &record));
  EXPECT_EQ(record.count, 0u);

  EXPECT_TRUE(InvalidateRect(a, nullptr, TRUE));
  ASSERT_TRUE(NxGetInvalidation(a, &record));
  EXPECT_EQ(record.count, 1u);
  EXPECT_TRUE(record.lastErase);
  EXPECT_TRUE(record.lastWholeWindow);

  const RECT area = {1, 2, 30, 40};
  EXPECT_TRUE(InvalidateRect(a, &area, FALSE));
  ASSERT_TRUE(NxGetInvalidation(a, &record));
  EXPECT_EQ(record.count, 2u);
  EXPECT_FALSE(record.lastErase);
  EXPECT_FALSE(record.lastWholeWindow);
  EXPECT_EQ(record.lastRect.right, 30);
  EXPECT_EQ(record.lastRect.bottom, 40);

  ASSERT_TRUE(NxGetInvalidation(b, &record));
  EXPECT_EQ(record.count, 0u);
  EXPECT_FALSE(InvalidateRect(nullptr, nullptr, TRUE));
  DestroyWindow(a);
  DestroyWindow(b);
}

LRESULT CALLBACK TestWindowProc(HWND, UINT, WPARAM, LPARAM) { return 0; }

TEST(WindowTable, ClassesRegisterByNameIgnoringCase) {
  WNDCLASSW wc = {};
  wc.lpfnWndProc = TestWindowProc;
  wc.cbWndExtra = 8;
  wc.lpszClassName = NXW("auralithBld0TestClass");
  EXPECT_FALSE(NxIsClassRegistered(NXW("auralithBld0TestClass")));
  EXPECT_EQ(NxCreateWindow(NXW("auralithBld0TestClass")), nullptr);

  const ATOM atom = RegisterClassW(&wc);
  EXPECT_NE(atom, 0);
  EXPECT_TRUE(NxIsClassRegistered(NXW("AURALITHBLD0TESTCLASS")));
  wc.lpszClassName = NXW("auralithbld0testclass");
  EXPECT_EQ(RegisterClassW(&wc), 0);  // same name in other case
  wc.lpszClassName = NXW("");
  EXPECT_EQ(RegisterClassW(&wc), 0);

  WNDCLASSW info = {};
  ASSERT_TRUE(GetClassInfoW(nullptr, NXW("auralithBld0TestClass"), &info));
  EXPECT_EQ(info.lpfnWndProc, &TestWindowProc);
  EXPECT_EQ(info.cbWndExtra, 8);

  HWND control = NxCreateWindow(NXW("auralithBld0TestClass"));
  ASSERT_NE(control, nullptr);
  EXPECT_FALSE(UnregisterClassW(NXW("auralithBld0TestClass"), nullptr));  // a window still uses it
  DestroyWindow(control);
  EXPECT_TRUE(UnregisterClassW(NXW("auralithBld0TestClass"), nullptr));
  EXPECT_FALSE(NxIsClassRegistered(NXW("auralithBld0TestClass")));
  EXPECT_FALSE(UnregisterClassW(NXW("auralithBld0TestClass"), nullptr));
  EXPECT_FALSE(GetClassInfoW(nullptr, NXW("auralithBld0TestClass"), &info));
}

TEST(WindowTable, PostingFromSeveralThreadsWhileOneReadsLosesNothing) {
  constexpr int kThreads = 4;
  constexpr int kPerThread = 1000;
  HWND window = NxCreateWindow(nullptr);
  std::vector<std::thread> posters;
  for (int t = 0; t < kThreads; ++t) {
    posters.emplace_back([window, t] {
      for (int i = 0; i < kPerThread; ++i) {
        while (!PostMessageW(window, WM_COMMAND, static_cast<WPARAM>(t), i)) std::this_thread::yield();
      }
    });
  }
  std::vector<int> next(kThreads, 0);
  int received = 0;
  bool inPostingOrder = true;
  while (received < kThreads * kPerThread && inPostingOrder) {
    MSG msg;
    if (!PeekMessageW(&msg, window, 0, 0, PM_REMOVE)) {
      std::this_thread::yield();
      continue;
    }
    // Each poster's messages arrive in the order it posted them.
    inPostingOrder = msg.wParam < static_cast<WPARAM>(kThreads) && msg.lParam == next[msg.wParam];
    if (inPostingOrder) ++next[msg.wParam];
    ++received;
  }
  for (std::thread& poster : posters) poster.join();
  EXPECT_TRUE(inPostingOrder);
  EXPECT_EQ(received, kThreads * kPerThread);
  EXPECT_TRUE(Drain(nullptr).empty());
  DestroyWindow(window);
}

TEST(WindowTable, QueueIsBoundedAndDestroyingAWindowFreesItsShare) {
  HWND reader = NxCreateWindow(nullptr);
  HWND flood = NxCreateWindow(nullptr);
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
