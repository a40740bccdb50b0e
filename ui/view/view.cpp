// Without a windowing system: the classes exist so that windows of them can be made and
// looked up, but nothing dispatches messages to a window procedure here.
#include "ui/view/view.h"

namespace {

LRESULT CALLBACK PlaceholderProc(HWND, UINT, WPARAM, LPARAM) { return 0; }

}  // namespace

bool NxInitControlClass(size_t, HINSTANCE instance, LPCWSTR className) {
  WNDCLASSW windowClass = {};
  windowClass.lpfnWndProc = PlaceholderProc;
  windowClass.hInstance = instance;
  windowClass.lpszClassName = className;
  return RegisterClassW(&windowClass) != 0;
}

void NxTermControlClass(size_t, HINSTANCE instance, LPCWSTR className) {
  UnregisterClassW(className, instance);
}

void NxInstallView(HINSTANCE) {}
void NxRemoveView() {}
