// Win32 side of the window helpers: real, hidden windows of user32 owned by the calling thread,
// whose posted messages wait in that thread's queue.
#include "platform/window.h"

namespace {

constexpr WCHAR kPlainClass[] = L"AuralithNxPlainWindow";

HINSTANCE OwnInstance() {
  HMODULE module = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                         GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCWSTR>(&OwnInstance), &module);
  return module;
}

// The class of windows made without one: the default procedure, nothing drawn.
bool RegisterPlainClass() {
  WNDCLASSW wc{};
  if (GetClassInfoW(OwnInstance(), kPlainClass, &wc) != 0) return true;
  wc.lpfnWndProc = DefWindowProcW;
  wc.hInstance = OwnInstance();
  wc.lpszClassName = kPlainClass;
  return RegisterClassW(&wc) != 0;
}

}  // namespace

HWND NxCreateWindow(LPCWSTR className) {
  if (className == nullptr) {
    if (!RegisterPlainClass()) return nullptr;
    className = kPlainClass;
  }
  // Hidden and never shown: it still keeps an update region and receives posted messages.
  return CreateWindowExW(0, className, L"", WS_POPUP, 0, 0, 64, 64, nullptr, nullptr,
                         OwnInstance(), nullptr);
}

BOOL NxGetInvalidation(HWND window, NxInvalidation* record) {
  if (record == nullptr || IsWindow(window) == 0) return FALSE;
  // The system keeps the pending update region, not the calls that made it: one call or more
  // since the last paint count as one.
  *record = NxInvalidation{};
  RECT pending{};
  if (GetUpdateRect(window, &pending, FALSE) == 0) return TRUE;
  RECT client{};
  GetClientRect(window, &client);
  record->count = 1;
  record->lastErase = TRUE;
  record->lastWholeWindow = EqualRect(&pending, &client) ? TRUE : FALSE;
  if (record->lastWholeWindow == FALSE) record->lastRect = pending;
  return TRUE;
}

bool NxIsClassRegistered(LPCWSTR className) {
  WNDCLASSW wc{};
  return GetClassInfoW(OwnInstance(), className, &wc) != 0 ||
         GetClassInfoW(nullptr, className, &wc) != 0;
}
