// Window messages without a windowing system.
//
// A window is an entry of one in-process table. Handles are opaque (HWND is a pointer to an
// incomplete struct, as on Windows) and are never reused while the process lives, so a handle
// kept after DestroyWindow stays dead for good. Posted messages go to one process-wide queue
// that anyone may read with PeekMessageW; nothing dispatches them to a window procedure.
// Every call may be made from any thread: the streaming thread posts while the user-interface
// thread reads.
#pragma once

#include "platform/types.h"

#if defined(_WIN32)
#include "platform/win32_sdk.h"  // user32's windows, classes and messages
#else
#define NX_DECLARE_HANDLE(name) \
  struct name##__;              \
  typedef struct name##__* name

NX_DECLARE_HANDLE(HWND);
NX_DECLARE_HANDLE(HINSTANCE);
NX_DECLARE_HANDLE(HICON);
NX_DECLARE_HANDLE(HBRUSH);
typedef HICON HCURSOR;
typedef WORD ATOM;

#ifndef CALLBACK
#define CALLBACK
#endif

typedef LRESULT(CALLBACK* WNDPROC)(HWND, UINT, WPARAM, LPARAM);

struct POINT {
  LONG x;
  LONG y;
};

struct RECT {
  LONG left;
  LONG top;
  LONG right;
  LONG bottom;
};

struct MSG {
  HWND hwnd;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  DWORD time;  // GetTickCount() when the message was posted
  POINT pt;
};

// Field order of the real record, so that class registration code reads the same everywhere.
// Only lpszClassName matters here; the rest is kept and handed back by GetClassInfoW.
struct WNDCLASSW {
  UINT style;
  WNDPROC lpfnWndProc;
  int cbClsExtra;
  int cbWndExtra;
  HINSTANCE hInstance;
  HICON hIcon;
  HCURSOR hCursor;
  HBRUSH hbrBackground;
  LPCWSTR lpszMenuName;
  LPCWSTR lpszClassName;
};

constexpr UINT WM_NULL = 0x0000;
constexpr UINT WM_CREATE = 0x0001;
constexpr UINT WM_DESTROY = 0x0002;
constexpr UINT WM_PAINT = 0x000F;
constexpr UINT WM_CLOSE = 0x0010;
constexpr UINT WM_ERASEBKGND = 0x0014;
constexpr UINT WM_NOTIFY = 0x004E;
constexpr UINT WM_INITDIALOG = 0x0110;
constexpr UINT WM_COMMAND = 0x0111;
constexpr UINT WM_TIMER = 0x0113;
constexpr UINT WM_HSCROLL = 0x0114;
constexpr UINT WM_VSCROLL = 0x0115;
constexpr UINT WM_USER = 0x0400;
constexpr UINT WM_APP = 0x8000;

constexpr UINT PM_NOREMOVE = 0x0000;
constexpr UINT PM_REMOVE = 0x0001;

#endif  // _WIN32

// Posted messages waiting in the queue at most; PostMessageW fails beyond it (Windows has the
// same per-queue limit), so a window nobody reads cannot grow memory without bound.
constexpr size_t kNxMaxQueuedMessages = 10000;

// Creates a stand-in window. `className` null makes a window of no class; otherwise the class
// must be registered (compared ignoring ASCII letter case). Returns null on failure.
HWND NxCreateWindow(LPCWSTR className);

#if !defined(_WIN32)
BOOL IsWindow(HWND window);

// Removes the window from the table and drops its queued messages. FALSE if it was not live.
BOOL DestroyWindow(HWND window);

// Queues a message for a live window. FALSE for a null or dead window (there are no thread
// queues here) or a full queue.
BOOL PostMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Takes the oldest queued message that matches: `window` null matches every window, otherwise
// only that one (FALSE if it is dead); `first` and `last` both 0 match every message number,
// otherwise first <= message <= last. With PM_REMOVE the message leaves the queue.
BOOL PeekMessageW(MSG* msg, HWND window, UINT first, UINT last, UINT remove);

#endif

#if !defined(_WIN32)
// Records that the window (all of it when `rect` is null) needs repainting; nothing paints.
BOOL InvalidateRect(HWND window, const RECT* rect, BOOL erase);

#endif

// What InvalidateRect recorded for one window since it was created.
struct NxInvalidation {
  UINT count;
  BOOL lastErase;
  BOOL lastWholeWindow;  // the last call passed no rectangle
  RECT lastRect;         // the last rectangle passed, zero when lastWholeWindow
};

// FALSE for a dead window.
BOOL NxGetInvalidation(HWND window, NxInvalidation* record);

#if !defined(_WIN32)
// Registers the class named by wc->lpszClassName. Returns its atom (non-zero), or 0 when the
// name is missing or empty or a class of that name (ignoring ASCII case) is registered already.
ATOM RegisterClassW(const WNDCLASSW* wc);

// FALSE when no such class is registered or a live window still belongs to it. The instance
// handle is accepted for the real signature and ignored.
BOOL UnregisterClassW(LPCWSTR className, HINSTANCE instance);

// Copies the registered class's record; lpszClassName is set to the caller's `className`.
BOOL GetClassInfoW(HINSTANCE instance, LPCWSTR className, WNDCLASSW* wc);

#endif

bool NxIsClassRegistered(LPCWSTR className);
