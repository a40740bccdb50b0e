// A host of the filter's property pages, as an audio editor shows them: the filter from the
// registered module, its pages through ISpecifyPropertyPages, the system's property frame from
// OleCreatePropertyFrame. A thread timer runs a script inside the frame's modal loop.
//
//   auralith_page_host shots OUTDIR FIXDIR   screenshots (BMP) of every page, the about box, the
//                                            Open dialog with its panel, the progress window
//                                            and recovery's message
//   auralith_page_host check FIXDIR          each page's controls where its template puts them,
//                                            with their texts; then the user's actions on the
//                                            real controls, checked through INxPlugInProp
//
// FIXDIR holds hall.wav (an impulse with title, author, copyright, comments and a picture),
// tone.wav (the recovery test tone) and big.wav (a longer one). Exit status 0 when everything
// held, 1 otherwise (each failure is printed).
#ifndef UNICODE
#define UNICODE
#endif
#include <windows.h>  // before the headers that build on it

#include <commctrl.h>
#include <dlgs.h>
#include <ocidl.h>
#include <olectl.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "frame/guids.h"
#include "frame/nx_plugin_prop.h"
#include "ui/pages/control_table.h"

// The driving checks, after the layout checks.
void AddDrivingChecks();

namespace {

typedef std::wstring Text;

int g_failures = 0;
Text g_out;
Text g_fixtures;
INxPlugInProp* g_prop = nullptr;
HWND g_frame = nullptr;

void Fail(const char* what, const Text& detail = Text()) {
  ++g_failures;
  std::printf("FAIL: %s %ls\n", what, detail.c_str());
  std::fflush(stdout);
}

void Check(bool ok, const char* what, const Text& detail = Text()) {
  if (!ok) Fail(what, detail);
}

// ---- Windows of this thread -------------------------------------------------------------

HWND FindTopLevel(const std::function<bool(HWND)>& wanted) {
  struct Search {
    const std::function<bool(HWND)>* wanted;
    HWND found;
  } search = {&wanted, nullptr};
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND w, LPARAM l) -> BOOL {
        auto* s = reinterpret_cast<Search*>(l);
        if (IsWindowVisible(w) && (*s->wanted)(w)) {
          s->found = w;
          return FALSE;
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

Text TitleOf(HWND w) {
  WCHAR text[256] = {};
  GetWindowTextW(w, text, 256);
  return text;
}

Text ClassOf(HWND w) {
  WCHAR text[128] = {};
  GetClassNameW(w, text, 128);
  return text;
}

HWND FindDescendant(HWND root, const std::function<bool(HWND)>& wanted) {
  struct Search {
    const std::function<bool(HWND)>* wanted;
    HWND found;
  } search = {&wanted, nullptr};
  EnumChildWindows(
      root,
      [](HWND w, LPARAM l) -> BOOL {
        auto* s = reinterpret_cast<Search*>(l);
        if ((*s->wanted)(w)) {
          s->found = w;
          return FALSE;
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// Our page window inside the frame's current page: the visible parent of a header strip.
HWND CurrentPage() {
  HWND header = FindDescendant(g_frame, [](HWND w) {
    return GetDlgCtrlID(w) == static_cast<int>(IDC_HEADER) && IsWindowVisible(GetParent(w)) &&
           ClassOf(w) == L"auralithBld0LogoClass";
  });
  return header != nullptr ? GetParent(header) : nullptr;
}

// ---- Screenshots --------------------------------------------------------------------------

void Shot(HWND w, const wchar_t* name) {
  if (!IsWindow(w)) return Fail("gone before its screenshot:", name);
  RedrawWindow(w, nullptr, nullptr,
               RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
  // The X server shows what Wine drew a little later: let the paints through and wait.
  for (int i = 0; i < 8; ++i) {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    GdiFlush();
    Sleep(50);
  }
  if (!IsWindow(w)) return Fail("gone before its screenshot:", name);
  RECT r;
  GetWindowRect(w, &r);
  const int width = r.right - r.left;
  const int height = r.bottom - r.top;
  HDC screen = GetDC(nullptr);
  HDC dc = CreateCompatibleDC(screen);
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(dc, bitmap);
  BitBlt(dc, 0, 0, width, height, screen, r.left, r.top, SRCCOPY);
  GdiFlush();
  const DWORD stride = ((width * 3 + 3) / 4) * 4;
  const DWORD bytes = stride * height;
  BITMAPFILEHEADER file = {};
  file.bfType = 0x4D42;
  file.bfOffBits = sizeof file + sizeof(BITMAPINFOHEADER);
  file.bfSize = file.bfOffBits + bytes;
  const Text path = g_out + L"\\" + name + L".bmp";
  FILE* out = _wfopen(path.c_str(), L"wb");
  if (out != nullptr) {
    std::fwrite(&file, sizeof file, 1, out);
    std::fwrite(&info.bmiHeader, sizeof(BITMAPINFOHEADER), 1, out);
    std::fwrite(bits, 1, bytes, out);
    std::fclose(out);
    std::printf("shot %ls (%d x %d)\n", name, width, height);
  } else {
    Fail("cannot write", path);
  }
  SelectObject(dc, old);
  DeleteObject(bitmap);
  DeleteDC(dc);
  ReleaseDC(nullptr, screen);
}

// ---- The script ---------------------------------------------------------------------------

// Steps run one per timer tick; a step returns false to be run again at the next tick (it
// waits for something), true when done.
std::vector<std::function<bool()>> g_steps;
size_t g_step = 0;
int g_waited = 0;
constexpr int kTickMs = 150;
constexpr int kMostTicks = 100;  // a step that waits 15 s has failed

void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
  static bool running = false;
  if (running) return;  // a step's own modal loop dispatches ticks too
  if (g_step >= g_steps.size()) return;
  running = true;
  if (g_steps[g_step]()) {
    ++g_step;
    g_waited = 0;
  } else if (++g_waited > kMostTicks) {
    Fail("step timed out:", std::to_wstring(g_step));
    FindTopLevel([](HWND w) {
      std::printf("  window \"%ls\" of class %ls\n", TitleOf(w).c_str(), ClassOf(w).c_str());
      return false;
    });
    ++g_step;
    g_waited = 0;
  }
  running = false;
}

// A step that waits `ticks` ticks.
std::function<bool()> Pause(int ticks) {
  auto left = std::make_shared<int>(ticks);
  return [left] { return --*left <= 0; };
}

void Then(std::function<bool()> step) { g_steps.push_back(std::move(step)); }
void Do(std::function<void()> action) {
  g_steps.push_back([action] {
    action();
    return true;
  });
}

void SelectPage(int index) {
  Do([index] { SendMessageW(g_frame, PSM_SETCURSEL, static_cast<WPARAM>(index), 0); });
  Then(Pause(3));
}

// Posts a command to our current page window, as a click on a button of it would.
void PostCommand(UINT id, UINT code = BN_CLICKED) {
  Do([id, code] {
    HWND page = CurrentPage();
    PostMessageW(page, WM_COMMAND, MAKEWPARAM(id, code),
                 reinterpret_cast<LPARAM>(GetDlgItem(page, static_cast<int>(id))));
  });
}

HWND g_found = nullptr;
// Waits for a visible top-level window with this title (a prefix when `prefix`).
void WaitForWindow(const Text& title, bool prefix = false) {
  Then([title, prefix] {
    g_found = FindTopLevel([&](HWND w) {
      const Text t = TitleOf(w);
      return prefix ? t.compare(0, title.size(), title) == 0 : t == title;
    });
    return g_found != nullptr;
  });
}

void AddShots() {
  // The frame's tabs in the filter's order.
  const wchar_t* names[] = {L"page-general", L"page-envelope", L"page-summary", L"page-recover"};
  for (int i = 0; i < 4; ++i) {
    SelectPage(i);
    const wchar_t* name = names[i];
    Do([name] { Shot(g_frame, name); });
  }
  // The about box, from the page menu's command.
  PostCommand(kNxCommandAbout);
  WaitForWindow(L"About Auralith");
  Then(Pause(2));
  Do([] { Shot(g_found, L"about"); });
  Do([] { PostMessageW(g_found, WM_COMMAND, IDOK, 0); });
  Then(Pause(2));
  // The Open dialog, its panel showing the impulse under the cursor.
  SelectPage(0);
  PostCommand(IDC_IMPULSE_BROWSE);
  WaitForWindow(L"Open Impulse File");
  Then(Pause(4));
  Do([] {
    HWND list = FindDescendant(g_found, [](HWND w) { return ClassOf(w) == L"SysListView32"; });
    const int count = list != nullptr ? ListView_GetItemCount(list) : 0;
    for (int i = 0; i < count; ++i) {
      WCHAR text[MAX_PATH] = {};
      LVITEMW item = {};
      item.pszText = text;
      item.cchTextMax = MAX_PATH;
      SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item));
      if (Text(text).find(L"hall") == 0) {
        SetFocus(list);
        ListView_SetItemState(list, i, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
        return;
      }
    }
    Fail("the Open dialog does not list hall.wav");
  });
  Then(Pause(4));
  Do([] { Shot(g_found, L"open-dialog"); });
  Do([] { PostMessageW(g_found, WM_COMMAND, IDCANCEL, 0); });
  Then(Pause(3));
  // A recovery of the long test tone: its progress window, then its message.
  SelectPage(3);
  PostCommand(IDC_RECOVER);
  Then([] {
    g_found = FindTopLevel([](HWND w) {
      return GetDlgItem(w, static_cast<int>(IDC_PROGRESS_BAR)) != nullptr &&
             ClassOf(GetDlgItem(w, static_cast<int>(IDC_PROGRESS_BAR))) == PROGRESS_CLASSW;
    });
    // Once the bar shows some progress ("Auralith - 25 %"), at once: the window lasts only as
    // long as the run.
    if (g_found == nullptr) return false;
    const Text title = TitleOf(g_found);
    const size_t dash = title.find(L" - ");
    if (dash == Text::npos || _wtoi(title.c_str() + dash + 3) < 20) return false;
    Shot(g_found, L"progress");
    return true;
  });
  Then([] {
    g_found = FindTopLevel([](HWND w) {
      return TitleOf(w) == L"Auralith" && ClassOf(w) == L"#32770" &&
             GetDlgItem(w, static_cast<int>(IDC_PROGRESS_BAR)) == nullptr;
    });
    return g_found != nullptr;
  });
  Then(Pause(2));
  Do([] { Shot(g_found, L"recovery-message"); });
  Do([] { PostMessageW(g_found, WM_COMMAND, IDOK, 0); });
  Then(Pause(2));
}

// ---- Layout -------------------------------------------------------------------------------

const wchar_t* ExpectedClass(NxControlKind kind) {
  switch (kind) {
    case NxControlKind::Label:
      return L"Static";
    case NxControlKind::Edit:
      return L"Edit";
    case NxControlKind::Button:
    case NxControlKind::CheckBox:
    case NxControlKind::RadioButton:
    case NxControlKind::GroupBox:
      return L"Button";
    case NxControlKind::DropDownCombo:
      return L"ComboBox";
    case NxControlKind::Trackbar:
      return L"auralithBld0TrackbarClass";
    case NxControlKind::Fader:
      return L"auralithBld0FaderClass";
    case NxControlKind::Spinner:
      return L"auralithBld0SpinnerClass";
    case NxControlKind::Picture:
      return L"auralithBld0StaticClass";
    case NxControlKind::EnvelopeEditor:
      return L"auralithBld0EnvelopeClass";
    case NxControlKind::HeaderStrip:
      return L"auralithBld0LogoClass";
    case NxControlKind::ProgressBar:
      return PROGRESS_CLASSW;
  }
  return L"";
}

Text Wide(const char* text) { return Text(text, text + std::strlen(text)); }

RECT ClientRectOf(HWND control, HWND page) {
  RECT r;
  GetWindowRect(control, &r);
  MapWindowPoints(nullptr, page, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

bool SameRect(const RECT& a, const RECT& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

Text Describe(UINT dialog, UINT id, const RECT& r) {
  return std::to_wstring(dialog) + L"/" + std::to_wstring(id) + L" at " + std::to_wstring(r.left) +
         L"," + std::to_wstring(r.top) + L"," + std::to_wstring(r.right) + L"," +
         std::to_wstring(r.bottom);
}

// Every control of the template's rows: there, of its kind, where the row puts it (dialog
// units mapped by the page's own font) and, for fixed texts, carrying them; a trackbar's or
// fader's caption is the static just before it.
void CheckLayout(UINT dialog) {
  HWND page = CurrentPage();
  if (page == nullptr) return Fail("no page window for", std::to_wstring(dialog));
  int checked = 0;
  for (size_t i = 0; i < kNxControlCount; ++i) {
    const NxControlDef& def = kNxControls[i];
    if (def.dialog != dialog || def.id == IDC_UNNAMED) continue;
    HWND control = GetDlgItem(page, static_cast<int>(def.id));
    if (control == nullptr) {
      Fail("missing control", Describe(dialog, def.id, {}));
      continue;
    }
    ++checked;
    Check(lstrcmpiW(ClassOf(control).c_str(), ExpectedClass(def.kind)) == 0, "wrong class",
          Describe(dialog, def.id, {}) + L" " + ClassOf(control));
    RECT want = {def.rect.x, def.rect.y, def.rect.x + def.rect.cx, def.rect.y + def.rect.cy};
    MapDialogRect(page, &want);
    RECT got = ClientRectOf(control, page);
    if (def.kind == NxControlKind::DropDownCombo) got.bottom = want.bottom;  // the drop height
    Check(SameRect(want, got), "misplaced", Describe(dialog, def.id, got));
    const bool captioned = def.kind == NxControlKind::Trackbar || def.kind == NxControlKind::Fader;
    const bool pageSetsText = def.id == IDC_DRY_LABEL || def.id == IDC_WET_LABEL;
    if (def.text[0] == 0 || pageSetsText) continue;
    HWND holder = captioned ? GetWindow(control, GW_HWNDPREV) : control;
    Check(TitleOf(holder) == Wide(def.text), "wrong text",
          Describe(dialog, def.id, {}) + L" \"" + TitleOf(holder) + L"\"");
    if (captioned) {
      RECT cap = {def.caption.x, def.caption.y, def.caption.x + def.caption.cx,
                  def.caption.y + def.caption.cy};
      MapDialogRect(page, &cap);
      Check(SameRect(cap, ClientRectOf(holder, page)), "misplaced caption",
            Describe(dialog, def.id, ClientRectOf(holder, page)));
    }
  }
  std::printf("layout of dialog %u: %d controls checked\n", dialog, checked);
}

void AddLayoutChecks() {
  const UINT dialogs[] = {kNxDialogGeneral, kNxDialogEnvelope, kNxDialogSummary, kNxDialogRecover};
  for (int i = 0; i < 4; ++i) {
    SelectPage(i);
    const UINT dialog = dialogs[i];
    Do([dialog] { CheckLayout(dialog); });
  }
}

// ---- Set-up -------------------------------------------------------------------------------

Text Fixture(const wchar_t* name) { return g_fixtures + L"\\" + name; }

typedef HRESULT(STDAPICALLTYPE* EntryPoint)();

int Run(bool shots) {
  HMODULE dll = LoadLibraryW(L"auralith_x64.dll");
  if (dll == nullptr) return Fail("cannot load auralith_x64.dll"), 1;
  auto registerServer = reinterpret_cast<EntryPoint>(
      reinterpret_cast<void*>(GetProcAddress(dll, "DllRegisterServer")));
  if (registerServer == nullptr || FAILED(registerServer())) return Fail("registration"), 1;
  // Dialogs start in the fixtures' folder.
  WritePrivateProfileStringW(L"Auralith", L"ImpulseLastDir", g_fixtures.c_str(), L"auralith.ini");
  IUnknown* filter = nullptr;
  HRESULT hr = CoCreateInstance(CLSID_NxPlugIn, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                reinterpret_cast<void**>(&filter));
  if (FAILED(hr)) return Fail("CoCreateInstance of the filter"), 1;
  filter->QueryInterface(IID_INxPlugInProp, reinterpret_cast<void**>(&g_prop));
  ISpecifyPropertyPages* specify = nullptr;
  filter->QueryInterface(IID_ISpecifyPropertyPages, reinterpret_cast<void**>(&specify));
  if (g_prop == nullptr || specify == nullptr) return Fail("the filter's interfaces"), 1;
  g_prop->SetImpulseFile(Fixture(L"hall.wav").c_str());
  g_prop->SetTestFile(Fixture(shots ? L"big.wav" : L"tone.wav").c_str());
  g_prop->SetRecordedFile(Fixture(shots ? L"big.wav" : L"tone.wav").c_str());
  g_prop->SetOutputFile(Fixture(L"recovered.wav").c_str());
  g_prop->SetRecoveryMode(IDC_MODE_FILE_ENDS);
  CAUUID pages = {};
  specify->GetPages(&pages);
  std::printf("the filter has %lu pages\n", pages.cElems);
  Check(pages.cElems == 4, "four pages");

  Then([] {
    g_frame = FindTopLevel([](HWND w) { return ClassOf(w) == L"#32770"; });
    if (g_frame != nullptr) SetWindowPos(g_frame, nullptr, 20, 20, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    return g_frame != nullptr;
  });
  Then(Pause(3));
  if (shots) {
    AddShots();
  } else {
    AddLayoutChecks();
    AddDrivingChecks();
  }
  Do([] { PostMessageW(g_frame, WM_COMMAND, IDOK, 0); });
  Then([] { return false; });  // the frame closes; nothing more to run

  SetTimer(nullptr, 0, kTickMs, Tick);
  hr = OleCreatePropertyFrame(nullptr, 0, 0, L"Auralith", 1, &filter, pages.cElems, pages.pElems, 0,
                              0, nullptr);
  Check(SUCCEEDED(hr), "OleCreatePropertyFrame");
  Check(g_step + 1 >= g_steps.size(), "the script ran to its end");
  CoTaskMemFree(pages.pElems);
  specify->Release();
  g_prop->Release();
  filter->Release();
  return g_failures == 0 ? 0 : 1;
}

}  // namespace

// ---- The user's actions -------------------------------------------------------------------

LONG Value(HRESULT (STDMETHODCALLTYPE INxPlugInProp::*get)(LONG*)) {
  LONG value = 0;
  (g_prop->*get)(&value);
  return value;
}

Text ShownText(UINT id) {
  HWND page = CurrentPage();
  WCHAR text[300] = {};
  GetDlgItemTextW(page, static_cast<int>(id), text, 300);
  return text;
}

// Mouse input at a point of a control, in its client pixels.
void Mouse(UINT id, UINT message, int x, int y, WPARAM keys = 0) {
  HWND control = GetDlgItem(CurrentPage(), static_cast<int>(id));
  SendMessageW(control, message, keys, MAKELPARAM(x, y));
}

void Key(UINT id, WPARAM key) {
  HWND control = GetDlgItem(CurrentPage(), static_cast<int>(id));
  SetFocus(control);
  SendMessageW(control, WM_KEYDOWN, key, 0);
  SendMessageW(control, WM_KEYUP, key, 0);
}

// Types into an edit field and leaves it, as a user tabbing on would.
void Type(UINT id, const Text& text) {
  HWND page = CurrentPage();
  HWND control = GetDlgItem(page, static_cast<int>(id));
  SetFocus(control);
  SetWindowTextW(control, text.c_str());
  SetFocus(GetDlgItem(page, static_cast<int>(IDC_HEADER)));
  SetFocus(nullptr);
}

void Expect(const char* what, LONG got, LONG want, UINT shownId, const Text& shown) {
  if (got != want) {
    Fail(what, L"value " + std::to_wstring(got) + L", want " + std::to_wstring(want));
  }
  if (shownId != 0 && ShownText(shownId) != shown) {
    Fail(what, L"shows \"" + ShownText(shownId) + L"\", want \"" + shown + L"\"");
  }
  std::printf("%s: %ld\n", what, static_cast<long>(got));
}

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) {
    std::printf("usage: auralith_page_host shots OUTDIR FIXDIR | check FIXDIR\n");
    return 2;
  }
  const Text mode = argv[1];
  const bool shots = mode == L"shots";
  if (shots && argc < 4) return 2;
  g_out = shots ? argv[2] : Text();
  g_fixtures = shots ? argv[3] : argv[2];
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_WIN95_CLASSES};
  InitCommonControlsEx(&controls);
  OleInitialize(nullptr);
  const int result = Run(shots);
  OleUninitialize();
  std::printf("%s\n", result == 0 ? "PASSED" : "FAILED");
  return result;
}

// Clicks a button or check box of the current page, as the mouse would.
void Click(UINT id) {
  HWND control = GetDlgItem(CurrentPage(), static_cast<int>(id));
  SendMessageW(control, BM_CLICK, 0, 0);
}

SIZE SizeOf(UINT id) {
  RECT r = {};
  GetClientRect(GetDlgItem(CurrentPage(), static_cast<int>(id)), &r);
  return {r.right, r.bottom};
}

std::vector<EnvelopePoint> Points() {
  LONG count = 0;
  g_prop->GetEnvelopeCount(&count);
  std::vector<EnvelopePoint> points(16);
  g_prop->GetEnvelopePoints(points.data(), 16);
  points.resize(static_cast<size_t>(std::max<LONG>(0, std::min<LONG>(count, 16))));
  return points;
}

void AddDrivingChecks() {
  // General: the width trackbar by keys and by a click beside its thumb.
  SelectPage(0);
  Do([] {
    Key(IDC_WIDTH, VK_HOME);
    Expect("width after Home", Value(&INxPlugInProp::GetResponseWidth), 0, IDC_WIDTH_EDIT, L"0");
    Key(IDC_WIDTH, VK_RIGHT);
    Expect("width after Right", Value(&INxPlugInProp::GetResponseWidth), 1, IDC_WIDTH_EDIT, L"1");
    const SIZE size = SizeOf(IDC_WIDTH);
    Mouse(IDC_WIDTH, WM_LBUTTONDOWN, size.cx - 2, size.cy / 2, MK_LBUTTON);
    Mouse(IDC_WIDTH, WM_LBUTTONUP, size.cx - 2, size.cy / 2);
    Expect("width after a click right of the thumb (one page of 10)",
           Value(&INxPlugInProp::GetResponseWidth), 11, IDC_WIDTH_EDIT, L"11");
  });
  // The wet fader: Home is its top (+20 dB), a click under the thumb pages down 3 dB, a
  // double-click goes back to this page's default (0 dB), a drag to the bottom gives silence.
  Do([] {
    Key(IDC_WET, VK_HOME);
    Expect("wet after Home", Value(&INxPlugInProp::GetWetOut), 200, IDC_WET_LABEL, L"20.0 dB");
    Key(IDC_WET, VK_DOWN);
    Expect("wet after Down", Value(&INxPlugInProp::GetWetOut), 199, IDC_WET_LABEL, L"19.9 dB");
    const SIZE size = SizeOf(IDC_WET);
    Mouse(IDC_WET, WM_LBUTTONDOWN, size.cx / 2, size.cy - 2, MK_LBUTTON);
    Mouse(IDC_WET, WM_LBUTTONUP, size.cx / 2, size.cy - 2);
    Expect("wet after a click under the thumb", Value(&INxPlugInProp::GetWetOut), 169,
           IDC_WET_LABEL, L"16.9 dB");
    Mouse(IDC_WET, WM_LBUTTONDBLCLK, size.cx / 2, size.cy / 2, MK_LBUTTON);
    Mouse(IDC_WET, WM_LBUTTONUP, size.cx / 2, size.cy / 2);
    Expect("wet after a double-click", Value(&INxPlugInProp::GetWetOut), 0, IDC_WET_LABEL,
           L"0.0 dB");
  });
  Do([] {
    // The thumb of 0 dB sits a fifth of the travel below the top (200 of 1000 tenths of a dB);
    // grab it there and drag past the bottom.
    const SIZE size = SizeOf(IDC_WET);
    const int y = 7 + (size.cy - 15) / 5;
    Mouse(IDC_WET, WM_LBUTTONDOWN, size.cx / 2, y, MK_LBUTTON);
    Mouse(IDC_WET, WM_MOUSEMOVE, size.cx / 2, size.cy + 40, MK_LBUTTON);
    Mouse(IDC_WET, WM_LBUTTONUP, size.cx / 2, size.cy + 40);
    Expect("wet dragged to the bottom", Value(&INxPlugInProp::GetWetOut), -800, IDC_WET_LABEL,
           L"-Inf.");
  });
  // A delay typed into its field.
  Do([] {
    Type(IDC_DELAY_EDIT, L"-250.05");
    Expect("typed delay", Value(&INxPlugInProp::GetResponseDelay), -2500, IDC_DELAY_EDIT,
           L"-250.0");
  });
  // An impulse chosen by typing its path.
  Do([] {
    const Text path = g_fixtures + L"\\tone.wav";
    Type(IDC_IMPULSE, path);
    WCHAR name[300] = {};
    g_prop->GetImpulseFile(name, 300);
    Check(path == name, "typed impulse", name);
    Check(ShownText(IDC_IMPULSE) == path, "the impulse box shows", ShownText(IDC_IMPULSE));
    std::printf("impulse: %ls\n", name);
  });
  // Envelope: the check box, then a point dragged, added and deleted.
  SelectPage(1);
  Do([] {
    const LONG before = Value(&INxPlugInProp::GetApplyEnvelope);
    Click(IDC_APPLY_ENVELOPE);
    Expect("envelope toggled", Value(&INxPlugInProp::GetApplyEnvelope), before == 0 ? 1 : 0, 0,
           L"");
    if (Value(&INxPlugInProp::GetApplyEnvelope) == 0) Click(IDC_APPLY_ENVELOPE);
    Check(IsWindowEnabled(GetDlgItem(CurrentPage(), static_cast<int>(IDC_ENVELOPE))) != 0,
          "the editor is enabled with the envelope on");
  });
  Do([] {
    const std::vector<EnvelopePoint> start = Points();
    if (start.size() < 2) return Fail("fewer than two envelope points");
    // The first point sits at the top-left corner (time 0, full level); halfway down the dB
    // axis (0 to -80 dB) is -40 dB, a gain of 1 %.
    const SIZE size = SizeOf(IDC_ENVELOPE);
    Mouse(IDC_ENVELOPE, WM_LBUTTONDOWN, 0, 0, MK_LBUTTON);
    Mouse(IDC_ENVELOPE, WM_MOUSEMOVE, 0, (size.cy - 1) / 2, MK_LBUTTON);
    Mouse(IDC_ENVELOPE, WM_LBUTTONUP, 0, (size.cy - 1) / 2);
    const std::vector<EnvelopePoint> moved = Points();
    Expect("dragged point's level", moved.empty() ? -1 : moved[0].level, 1, IDC_POSITION,
           L"1 % at 0.00 Seconds");
    Expect("dragged point's time", moved.empty() ? -1 : moved[0].position, 0, 0, L"");
    // A click on the top edge in the middle adds a point at full level, a right click on it
    // deletes it.
    Mouse(IDC_ENVELOPE, WM_LBUTTONDOWN, (size.cx - 1) / 2, 0, MK_LBUTTON);
    Mouse(IDC_ENVELOPE, WM_LBUTTONUP, (size.cx - 1) / 2, 0);
    const std::vector<EnvelopePoint> added = Points();
    Expect("points after adding one", static_cast<LONG>(added.size()),
           static_cast<LONG>(moved.size()) + 1, 0, L"");
    Mouse(IDC_ENVELOPE, WM_RBUTTONDOWN, (size.cx - 1) / 2, 0, MK_RBUTTON);
    Expect("points after deleting it", static_cast<LONG>(Points().size()),
           static_cast<LONG>(moved.size()), 0, L"");
  });
  // A built-in preset from the page menu, opened with the menu key and walked with the keys:
  // Presets, then up twice from where the submenu opens (its first entry, or none) to the
  // second of its three entries, "Reset, highest quality, with mono to stereo conversion".
  SelectPage(0);
  Do([] {
    HWND page = CurrentPage();
    for (WPARAM key : {VK_DOWN, VK_RIGHT, VK_UP, VK_UP, VK_RETURN}) {
      PostMessageW(page, WM_KEYDOWN, key, 0);
      PostMessageW(page, WM_KEYUP, key, 0);
    }
    SendMessageW(page, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(page), -1);
  });
  Then(Pause(3));
  Do([] {
    Expect("mono to stereo after the preset", Value(&INxPlugInProp::GetMonoToStereo), 1, 0, L"");
    Check(IsDlgButtonChecked(CurrentPage(), static_cast<int>(IDC_MONO_TO_STEREO)) == BST_CHECKED,
          "the mono to stereo box is checked after the preset");
    Expect("width after the preset", Value(&INxPlugInProp::GetResponseWidth), 50, IDC_WIDTH_EDIT,
           L"50");
  });
  // A recovery of the small test tone from the Recover page (the preset emptied the names):
  // the names typed, the mode clicked.
  SelectPage(3);
  Do([] {
    const Text tone = g_fixtures + L"\\tone.wav";
    const Text output = g_fixtures + L"\\recovered.wav";
    DeleteFileW(output.c_str());
    Type(IDC_RECORDED_FILE, tone);
    Type(IDC_TEST_FILE, tone);
    Type(IDC_OUTPUT_FILE, output);
    Click(IDC_MODE_FILE_ENDS);
    WCHAR name[300] = {};
    g_prop->GetRecordedFile(name, 300);
    Check(tone == name, "typed recorded file", name);
    g_prop->GetTestFile(name, 300);
    Check(tone == name, "typed test file", name);
    g_prop->GetOutputFile(name, 300);
    Check(output == name, "typed output file", name);
    Expect("mode clicked", Value(&INxPlugInProp::GetRecoveryMode), IDC_MODE_FILE_ENDS, 0, L"");
  });
  PostCommand(IDC_RECOVER);
  Then([] {
    g_found = FindTopLevel([](HWND w) {
      return TitleOf(w) == L"Auralith" && ClassOf(w) == L"#32770" &&
             GetDlgItem(w, static_cast<int>(IDC_PROGRESS_BAR)) == nullptr;
    });
    return g_found != nullptr;
  });
  Do([] {
    const Text message = TitleOf(GetDlgItem(g_found, 0xFFFF));
    Check(message == L"The recovered impulse was successfully output to the destination file.",
          "recovery's message", message);
    PostMessageW(g_found, WM_COMMAND, IDOK, 0);
  });
  Then(Pause(2));
  Do([] {
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    const bool written = GetFileAttributesExW((g_fixtures + L"\\recovered.wav").c_str(),
                                              GetFileExInfoStandard, &data) != 0;
    Check(written && data.nFileSizeLow > 44, "the recovered impulse file is written");
    std::printf("recovered.wav: %lu bytes\n", written ? data.nFileSizeLow : 0UL);
  });
  // Escape in the progress window of a longer recovery: the run stops without a word.
  Do([] {
    const Text big = g_fixtures + L"\\big.wav";
    Type(IDC_RECORDED_FILE, big);
    Type(IDC_TEST_FILE, big);
    DeleteFileW((g_fixtures + L"\\recovered.wav").c_str());
  });
  PostCommand(IDC_RECOVER);
  Then([] {
    g_found = FindTopLevel(
        [](HWND w) { return GetDlgItem(w, static_cast<int>(IDC_PROGRESS_BAR)) != nullptr; });
    if (g_found != nullptr) PostMessageW(g_found, WM_KEYDOWN, VK_ESCAPE, 0);
    return g_found != nullptr;
  });
  Then(Pause(6));
  Do([] {
    Check(!IsWindow(g_found), "Escape closes the progress window");
    Check(FindTopLevel([](HWND w) { return TitleOf(w) == L"Auralith"; }) == nullptr,
          "no message after Escape");
    Check(GetFileAttributesW((g_fixtures + L"\\recovered.wav").c_str()) ==
              INVALID_FILE_ATTRIBUTES,
          "no impulse written after Escape");
    std::printf("Escape during a recovery: the run stopped\n");
  });
  // The host destroys the page window while a recovery pumps messages: the run stops without a
  // word, and nothing is left pointing at the window.
  PostCommand(IDC_RECOVER);
  Then([] {
    g_found = FindTopLevel(
        [](HWND w) { return GetDlgItem(w, static_cast<int>(IDC_PROGRESS_BAR)) != nullptr; });
    if (g_found != nullptr) DestroyWindow(CurrentPage());
    return g_found != nullptr;
  });
  Then(Pause(6));
  Do([] {
    Check(!IsWindow(g_found), "the progress window closes with the page");
    Check(FindTopLevel([](HWND w) { return TitleOf(w) == L"Auralith"; }) == nullptr,
          "no message after the page went");
    std::printf("page destroyed during a recovery: the run stopped\n");
  });
}
