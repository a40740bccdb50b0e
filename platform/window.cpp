#include "platform/window.h"

#include <algorithm>
#include <deque>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/tick.h"
#include "platform/wide_string.h"

namespace {

// Class atoms lie where Windows puts registered class atoms.
constexpr ATOM kFirstClassAtom = 0xC000;

struct WindowEntry {
  ATOM classAtom = 0;  // 0: a window of no class
  NxInvalidation invalidation = {};
};

struct ClassEntry {
  std::basic_string<WCHAR> name;
  ATOM atom = 0;
  WNDCLASSW info = {};
};

struct WindowTable {
  std::mutex mutex;
  // Handles count up from here and are never handed out twice.
  uint64_t lastHandle = 0;
  std::unordered_map<uintptr_t, WindowEntry> windows;
  std::vector<ClassEntry> classes;
  std::deque<MSG> queue;
};

// Never destroyed, so that a thread still posting while the process exits finds it intact.
WindowTable& Table() {
  static WindowTable* table = new WindowTable;
  return *table;
}

uintptr_t HandleValue(HWND window) { return reinterpret_cast<uintptr_t>(window); }

WindowEntry* LookUpWindow(WindowTable& table, HWND window) {
  if (window == nullptr) return nullptr;
  auto it = table.windows.find(HandleValue(window));
  return it == table.windows.end() ? nullptr : &it->second;
}

ClassEntry* FindClass(WindowTable& table, LPCWSTR name) {
  if (name == nullptr) return nullptr;
  for (ClassEntry& entry : table.classes) {
    if (NxStrCmpIW(entry.name.c_str(), name) == 0) return &entry;
  }
  return nullptr;
}

ATOM FreeClassAtom(const WindowTable& table) {
  for (uint32_t atom = kFirstClassAtom; atom <= 0xFFFF; ++atom) {
    const bool taken = std::any_of(table.classes.begin(), table.classes.end(),
                                   [atom](const ClassEntry& e) { return e.atom == atom; });
    if (!taken) return static_cast<ATOM>(atom);
  }
  return 0;
}

bool MessageMatches(const MSG& msg, HWND window, UINT first, UINT last) {
  if (window != nullptr && msg.hwnd != window) return false;
  if (first == 0 && last == 0) return true;
  return msg.message >= first && msg.message <= last;
}

}  // namespace

HWND NxCreateWindow(LPCWSTR className) {
  WindowTable& table = Table();
  std::lock_guard<std::mutex> lock(table.mutex);
  WindowEntry entry;
  if (className != nullptr) {
    const ClassEntry* windowClass = FindClass(table, className);
    if (windowClass == nullptr) return nullptr;
    entry.classAtom = windowClass->atom;
  }
  if (table.lastHandle >= UINTPTR_MAX) return nullptr;
  const uintptr_t handle = static_cast<uintptr_t>(++table.lastHandle);
  table.windows.emplace(handle, entry);
  return reinterpret_cast<HWND>(handle);
}

BOOL IsWindow(HWND window) {
  WindowTable& table = Table();
  std::lock_guard<std::mutex> lock(table.mutex);
  return LookUpWindow(table, window) != nullptr ? TRUE : FALSE;
}

BOOL DestroyWindow(HWND window) {
  WindowTable& table = Table();
  std::lock_guard<std::mutex> lock(table.mutex);
  if (LookUpWindow(table, window) == nullptr) return FALSE;
  table.windows.erase(HandleValue(window));
  auto& queue = table.queue;
  queue.erase(std::remove_if(queue.begin(), queue.end(),
                             [window](const MSG& msg) { return msg.hwnd == window; }),
              queue.end());
  return TRUE;
}

BOOL PostMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  const DWORD now = GetTickCount();
  WindowTable& table = Table();
  std::lock_guard<std::mutex> lock(table.mutex);
  if (LookUpWindow(table, window) == nullptr) return FALSE;
  if (table.queue.size() >= kNxMaxQueuedMessages) return FALSE;
  MSG msg = {};
  msg.hwnd = window;
  msg.message = message;
  msg.wParam = wParam;
  msg.lParam = lParam;
  msg.time = now;
  table.queue.push_back(msg);
  return TRUE;
}

BOOL PeekMessageW(MSG* msg, HWND window, UINT first, UINT last, UINT remove) {
  if (msg == nullptr) return FALSE;
  WindowTable& table = Table();
  std::lock_guard<std::mutex> lock(table.mutex);
  if (window != nullptr && LookUpWindow(table, window) == nullptr) return FALSE;
  auto& queue = table.queue;
  auto it = std::find_if(queue.begin(), queue.end(), [&](const MSG& m) {
    return MessageMatches(m, window, first, last);
  });
  if (it == queue.end()) return FALSE;
  *msg = *it;
  if ((remove & PM_REMOVE) != 0) queue.erase(it);
  return TRUE;
}

BOOL InvalidateRect(HWND window, const RECT* rect, BOOL erase) {
  WindowTable& table = Table();
  std::lock_guard<std::mutex> lock(table.mutex);
  WindowEntry* entry = LookUpWindow(table, window);
  if (entry == nullptr) return FALSE;
  NxInvalidation& record = entry->invalidation;
  ++record.count;
  record.lastErase = erase ? TRUE : FALSE;
  record.lastWholeWindow = rect == nullptr ? TRUE : FALSE;
  record.lastRect = rect != nullptr ? *rect : RECT{};
  return TRUE;
}

BOOL NxGetInvalidation(HWND window, NxInvalidation* record) {
  if (record == nullptr) return FALSE;
  WindowTable& table = Table();
  std::lock_guard<std::mutex> lock(table.mutex);
  const WindowEntry* entry = LookUpWindow(table, window);
  if (entry == nullptr) return FALSE;
  *record = entry->invalidation;
  return TRUE;
}

ATOM RegisterClassW(const WNDCLASSW* wc) {
  if (wc == nullptr || wc->lpszClassName == nullptr || wc->lpszClassName[0] == 0) return 0;
  WindowTable& table = Table();
  std::lock_guard<std::mutex> lock(table.mutex);
  if (FindClass(table, wc->lpszClassName) != nullptr) return 0;
  ClassEntry entry;
  entry.atom = FreeClassAtom(table);
  if (entry.atom == 0) return 0;
  entry.name = wc->lpszClassName;
  entry.info = *wc;
  entry.info.lpszClassName = nullptr;  // the caller's text need not outlive the call
  table.classes.push_back(entry);
  return entry.atom;
}

BOOL UnregisterClassW(LPCWSTR className, HINSTANCE /*instance*/) {
  WindowTable& table = Table();
  std::lock_guard<std::mutex> lock(table.mutex);
  const ClassEntry* entry = FindClass(table, className);
  if (entry == nullptr) return FALSE;
  const ATOM atom = entry->atom;
  const bool hasWindows =
      std::any_of(table.windows.begin(), table.windows.end(),
                  [atom](const auto& window) { return window.second.classAtom == atom; });
  if (hasWindows) return FALSE;
  table.classes.erase(table.classes.begin() + (entry - table.classes.data()));
  return TRUE;
}

BOOL GetClassInfoW(HINSTANCE /*instance*/, LPCWSTR className, WNDCLASSW* wc) {
  if (wc == nullptr) return FALSE;
  WindowTable& table = Table();
  std::lock_guard<std::mutex> lock(table.mutex);
  const ClassEntry* entry = FindClass(table, className);
  if (entry == nullptr) return FALSE;
  *wc = entry->info;
  wc->lpszClassName = className;
  return TRUE;
}

bool NxIsClassRegistered(LPCWSTR className) {
  WindowTable& table = Table();
  std::lock_guard<std::mutex> lock(table.mutex);
  return FindClass(table, className) != nullptr;
}
