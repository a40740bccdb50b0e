// The dialog abstraction over real dialogs made from the module's templates: a page window,
// the about box, the progress window, message boxes, the page menu and the Open and Save
// dialogs. Everything here forwards; the pages decide.
#include <commctrl.h>
#include <commdlg.h>
#include <dlgs.h>

#include <algorithm>
#include <new>
#include <vector>

#include "frame/module_info.h"
#include "impulse/settings.h"
#include "toolkit/string_table.h"
#include "ui/pages/about_box.h"
#include "ui/pages/control_table.h"
#include "ui/pages/dialog.h"
#include "ui/pages/file_dialog.h"
#include "ui/view/controls_win32.h"
#include "ui/view/view.h"

namespace {

HINSTANCE g_instance = nullptr;

// The toolkit's status colours: 106 for "[Processing]", 108 for "[Impulse not found]".
COLORREF ToolkitColour(int index) {
  switch (index) {
    case 106:
      return RGB(0, 110, 0);
    case 108:
      return RGB(180, 0, 0);
    default:
      return RGB(0, 0, 0);
  }
}

class Win32Dialog;

class ProgressWindow final : public NxProgressWindow {
 public:
  ProgressWindow(HWND window, NxProgressEvents* events) : m_window(window), m_events(events) {}
  void SetText(LPCWSTR text) override {
    if (IsWindow(m_window)) SetDlgItemTextW(m_window, IDC_PROGRESS_TEXT, text);
  }
  void SetBar(LONG low, LONG high, LONG position) override {
    if (!IsWindow(m_window)) return;
    HWND bar = GetDlgItem(m_window, IDC_PROGRESS_BAR);
    SendMessageW(bar, PBM_SETRANGE32, static_cast<WPARAM>(low), static_cast<LPARAM>(high));
    SendMessageW(bar, PBM_SETPOS, static_cast<WPARAM>(position), 0);
  }
  void SetBarText(LPCWSTR text) override {
    // The bar draws no text of its own; the window's title carries the percentage.
    if (!IsWindow(m_window)) return;
    SetWindowTextW(GetDlgItem(m_window, IDC_PROGRESS_BAR), text);
    const std::basic_string<WCHAR> title =
        std::basic_string<WCHAR>(NxGetString(IDS_MESSAGE_CAPTION)) + L" - " + text;
    SetWindowTextW(m_window, title.c_str());
  }
  void Close() override;  // deletes this
  HWND window() const { return m_window; }
  void Cancel() {
    if (m_events != nullptr) m_events->OnProgressCancel();
  }

 private:
  HWND m_window;
  NxProgressEvents* m_events;
};

INT_PTR CALLBACK ProgressProc(HWND window, UINT message, WPARAM w, LPARAM l) {
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrW(window, DWLP_USER, l);
    return TRUE;
  }
  auto* progress = reinterpret_cast<ProgressWindow*>(GetWindowLongPtrW(window, DWLP_USER));
  if (message == WM_COMMAND && LOWORD(w) == IDCANCEL && progress != nullptr) {
    progress->Cancel();  // the button, or Escape through the dialog manager
    return TRUE;
  }
  return FALSE;
}

void ProgressWindow::Close() {
  if (IsWindow(m_window)) DestroyWindow(m_window);
  delete this;
}

// Centres `window` over `owner` (over the screen when it has none), kept on the screen.
void CentreOver(HWND window, HWND owner) {
  RECT box;
  GetWindowRect(window, &box);
  RECT area;
  if (owner != nullptr) {
    GetWindowRect(owner, &area);
  } else {
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
  }
  const LONG w = box.right - box.left;
  const LONG h = box.bottom - box.top;
  LONG x = area.left + (area.right - area.left - w) / 2;
  LONG y = area.top + (area.bottom - area.top - h) / 2;
  x = std::max<LONG>(0, std::min<LONG>(x, GetSystemMetrics(SM_CXSCREEN) - w));
  y = std::max<LONG>(0, std::min<LONG>(y, GetSystemMetrics(SM_CYSCREEN) - h));
  SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

HMENU BuildMenu(const std::vector<NxMenuItem>& items) {
  HMENU menu = CreatePopupMenu();
  for (const NxMenuItem& item : items) {
    if (!item.submenu.empty()) {
      AppendMenuW(menu, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(BuildMenu(item.submenu)),
                  item.text.c_str());
    } else if (item.command == 0) {
      AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    } else {
      AppendMenuW(menu, MF_STRING, item.command, item.text.c_str());
    }
  }
  return menu;
}

class Win32Dialog final : public NxDialog {
 public:
  Win32Dialog(NxDialogEvents* events, bool modal) : m_events(events), m_modal(modal) {}

  static INT_PTR CALLBACK Proc(HWND window, UINT message, WPARAM w, LPARAM l);

  // ---- NxDialog ----
  HWND Window() override { return m_window; }
  void SetText(UINT id, LPCWSTR text) override {
    if (m_window == nullptr) return;
    if (id == 0) {
      SetWindowTextW(m_window, text);
    } else {
      SetDlgItemTextW(m_window, static_cast<int>(id), text);
    }
  }
  NxText GetText(UINT id, size_t maxUnits) override {
    if (m_window == nullptr) return NxText();
    std::vector<WCHAR> buffer(maxUnits + 1, 0);
    GetDlgItemTextW(m_window, static_cast<int>(id), buffer.data(), static_cast<int>(maxUnits + 1));
    return NxText(buffer.data());
  }
  void SetCheck(UINT id, bool checked) override {
    if (m_window != nullptr) CheckDlgButton(m_window, static_cast<int>(id), checked ? 1 : 0);
  }
  bool IsChecked(UINT id) override {
    return m_window != nullptr && IsDlgButtonChecked(m_window, static_cast<int>(id)) == BST_CHECKED;
  }
  void ClearCombo(UINT id) override { Send(id, CB_RESETCONTENT, 0, 0); }
  void AddComboItem(UINT id, LPCWSTR text) override {
    Send(id, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
  }
  void SelectComboItem(UINT id, int index) override {
    Send(id, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
  }
  int ComboSelection(UINT id) override {
    const LRESULT index = Send(id, CB_GETCURSEL, 0, 0);
    return index == CB_ERR ? -1 : static_cast<int>(index);
  }
  NxText ComboItem(UINT id, int index) override {
    const LRESULT length = Send(id, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
    if (length == CB_ERR || length < 0) return NxText();
    std::vector<WCHAR> buffer(static_cast<size_t>(length) + 1, 0);
    Send(id, CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(buffer.data()));
    return NxText(buffer.data());
  }
  void SetRange(UINT id, LONG minimum, LONG maximum) override {
    if (NxRangeState* r = Range_(id)) {
      r->minimum = minimum;
      r->maximum = maximum;
      r->position = std::clamp(r->position, std::min(minimum, maximum), std::max(minimum, maximum));
    }
  }
  void SetSteps(UINT id, LONG line, LONG page) override {
    if (NxRangeState* r = Range_(id)) r->lineStep = line, r->pageStep = page;
  }
  void SetResetValue(UINT id, LONG value) override {
    if (NxRangeState* r = Range_(id)) r->resetValue = value;
  }
  void SetPosition(UINT id, LONG position) override {
    if (NxRangeState* r = Range_(id)) r->position = position;
  }
  NxRangeState Range(UINT id) override {
    NxRangeState* r = Range_(id);
    return r != nullptr ? *r : NxRangeState{};
  }
  void SetBuddy(UINT spinner, UINT edit) override {
    NxControlModels m;
    if (Models(spinner, &m) && m.buddy != nullptr) {
      *m.buddy = GetDlgItem(m_window, static_cast<int>(edit));
    }
  }
  bool ControlKeyDown() override { return GetKeyState(VK_CONTROL) < 0; }
  void Enable(UINT id, bool enabled) override {
    if (HWND c = Item(id)) EnableWindow(c, enabled ? TRUE : FALSE);
  }
  void Show(UINT id, bool shown) override {
    if (HWND c = Item(id)) ::ShowWindow(c, shown ? SW_SHOWNA : SW_HIDE);
  }
  void SetFocus(UINT id) override {
    if (HWND c = Item(id)) ::SetFocus(c);
  }
  SIZE ControlSize(UINT id) override {
    RECT r = {};
    if (HWND c = Item(id)) GetClientRect(c, &r);
    return {r.right, r.bottom};
  }
  NxEnvelopeEditor* EnvelopeEditor(UINT id) override {
    NxControlModels m;
    return Models(id, &m) ? m.envelope : nullptr;
  }
  NxHeaderStrip* HeaderStrip(UINT id) override {
    NxControlModels m;
    return Models(id, &m) ? m.header : nullptr;
  }
  void SetPicture(UINT id, const BYTE* bitmap, size_t bytes) override {
    NxControlModels m;
    if (!Models(id, &m) || m.picture == nullptr) return;
    if (bitmap == nullptr) bytes = 0;
    m.picture->assign(bitmap, bitmap + bytes);
  }
  void SetTimer(UINT id, UINT milliseconds) override {
    if (m_window != nullptr) ::SetTimer(m_window, id, milliseconds, nullptr);
  }
  void KillTimer(UINT id) override {
    if (m_window != nullptr) ::KillTimer(m_window, id);
  }
  // The wait cursor stays over the page while it is set, also when the pointer moves (the
  // window's class cursor would replace it at once).
  HCURSOR SetCursor(HCURSOR cursor) override {
    m_waitCursor = cursor == WaitCursor() ? cursor : nullptr;
    return ::SetCursor(cursor);
  }
  HCURSOR m_waitCursor = nullptr;
  HCURSOR WaitCursor() override {
    return LoadCursorW(nullptr, MAKEINTRESOURCEW(32514));  // the hourglass
  }
  int ShowMessageBox(LPCWSTR text, LPCWSTR caption, UINT style) override;
  bool RunFileDialog(NxFileDialogRequest& request) override;
  UINT TrackPopupMenu(const std::vector<NxMenuItem>& menu, POINT at) override {
    if (m_window == nullptr) return 0;
    HMENU popup = BuildMenu(menu);
    ClientToScreen(m_window, &at);
    Hold();
    const UINT chosen = static_cast<UINT>(::TrackPopupMenu(
        popup, TPM_RETURNCMD | TPM_NONOTIFY | TPM_RIGHTBUTTON, at.x, at.y, 0, m_window, nullptr));
    DestroyMenu(popup);
    const bool alive = m_window != nullptr;
    Release();
    return alive ? chosen : 0;
  }
  RECT ClientRect() override {
    RECT r = {};
    if (m_window != nullptr) GetClientRect(m_window, &r);
    return r;
  }
  // The help file's system (WinHelp) is gone from current systems; nothing to show.
  void ShowHelp(DWORD, bool) override {}
  INT_PTR RunAboutBox() override;
  NxProgressWindow* OpenProgressWindow(NxProgressEvents* events) override;
  bool DispatchOneMessage() override;
  void MoveWindow(const RECT& rect) override {
    if (m_window != nullptr) {
      ::MoveWindow(m_window, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
                   TRUE);
    }
  }
  void ShowWindow(bool shown) override {
    if (m_window != nullptr) ::ShowWindow(m_window, shown ? SW_SHOWNORMAL : SW_HIDE);
  }
  void SetControlParent(bool on) override {
    if (m_window == nullptr) return;
    LONG_PTR style = GetWindowLongPtrW(m_window, GWL_EXSTYLE);
    style = on ? (style | WS_EX_CONTROLPARENT) : (style & ~LONG_PTR{WS_EX_CONTROLPARENT});
    SetWindowLongPtrW(m_window, GWL_EXSTYLE, style);
  }
  void Destroy() override {
    if (m_window == nullptr) return;
    if (m_modal) {
      EndDialog(m_window, m_result);
    } else {
      DestroyWindow(m_window);
    }
  }
  // After a creation that failed: whatever happened to the window, the object goes at the
  // last Release.
  void Abandon() {
    m_events = nullptr;
    m_window = nullptr;
    m_gone = true;
  }
  void Hold() override { ++m_holds; }
  void Release() override {
    if (--m_holds == 0 && m_window == nullptr && m_gone) delete this;
  }

  HWND m_window = nullptr;
  INT_PTR m_result = 0;

 private:
  LRESULT Send(UINT id, UINT message, WPARAM w, LPARAM l) {
    return m_window != nullptr ? SendDlgItemMessageW(m_window, static_cast<int>(id), message, w, l)
                               : 0;
  }
  HWND Item(UINT id) {
    return m_window != nullptr ? GetDlgItem(m_window, static_cast<int>(id)) : nullptr;
  }
  bool Models(UINT id, NxControlModels* m) {
    HWND control = Item(id);
    if (!NxGetControlModels(control, m)) return false;
    // The page changes the model after this returns; the control paints it afterwards.
    InvalidateRect(control, nullptr, FALSE);
    return true;
  }
  NxRangeState* Range_(UINT id) {
    NxControlModels m;
    return Models(id, &m) ? m.range : nullptr;
  }
  // The window is gone: the events stop, and the object goes once nobody holds it.
  void Gone() {
    if (m_events != nullptr) m_events->OnDestroy();
    m_events = nullptr;
    m_window = nullptr;
    m_gone = true;
    if (m_holds == 0) delete this;
  }

  NxDialogEvents* m_events;
  const bool m_modal;
  int m_holds = 0;
  bool m_gone = false;
};

INT_PTR CALLBACK Win32Dialog::Proc(HWND window, UINT message, WPARAM w, LPARAM l) {
  if (message == WM_INITDIALOG) {
    auto* self = reinterpret_cast<Win32Dialog*>(l);
    SetWindowLongPtrW(window, DWLP_USER, l);
    self->m_window = window;
    self->m_events->OnInit(self);
    return TRUE;
  }
  auto* self = reinterpret_cast<Win32Dialog*>(GetWindowLongPtrW(window, DWLP_USER));
  if (self == nullptr || self->m_events == nullptr) return FALSE;
  NxDialogEvents* events = self->m_events;
  switch (message) {
    case WM_COMMAND:
      events->OnCommand(LOWORD(w), HIWORD(w));
      return TRUE;
    case WM_HSCROLL:
    case WM_VSCROLL:
      if (l != 0) {
        events->OnScroll(static_cast<UINT>(GetDlgCtrlID(reinterpret_cast<HWND>(l))), LOWORD(w));
      }
      return TRUE;
    case WM_TIMER:
      events->OnTimer(static_cast<UINT>(w));
      return TRUE;
    case WM_CONTEXTMENU: {
      const bool keyboard = l == -1;
      POINT at = {static_cast<short>(LOWORD(l)), static_cast<short>(HIWORD(l))};
      if (!keyboard) ScreenToClient(window, &at);
      events->OnContextMenu(at, keyboard);
      return TRUE;
    }
    case WM_HELP: {
      const auto* info = reinterpret_cast<const HELPINFO*>(l);
      const bool control = info != nullptr && info->iContextType == HELPINFO_WINDOW;
      events->OnHelp(control ? static_cast<UINT>(info->iCtrlId) : 0);
      return TRUE;
    }
    case WM_CTLCOLORSTATIC:
      if (GetDlgCtrlID(reinterpret_cast<HWND>(l)) == static_cast<int>(IDC_STATUS)) {
        HDC dc = reinterpret_cast<HDC>(w);
        SetTextColor(dc, ToolkitColour(events->StatusTextColour()));
        SetBkColor(dc, GetSysColor(COLOR_3DFACE));
        return reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_3DFACE));
      }
      return FALSE;
    case WM_SETCURSOR:
      if (self->m_waitCursor == nullptr) return FALSE;
      ::SetCursor(self->m_waitCursor);
      SetWindowLongPtrW(window, DWLP_MSGRESULT, TRUE);
      return TRUE;
    case WM_DESTROY:
      self->Gone();
      SetWindowLongPtrW(window, DWLP_USER, 0);
      return TRUE;
    default:
      return FALSE;
  }
}

int Win32Dialog::ShowMessageBox(LPCWSTR text, LPCWSTR caption, UINT style) {
  if (m_gone) return IDCANCEL;  // the page is gone: nobody to tell
  Hold();
  const int answer = MessageBoxW(m_window != nullptr ? GetAncestor(m_window, GA_ROOT) : nullptr,
                                 text, caption, style);
  Release();
  return answer;
}

bool Win32Dialog::DispatchOneMessage() {
  if (m_gone) return true;
  MSG msg;
  if (!PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) return false;
  if (msg.message == WM_QUIT) {
    PostQuitMessage(static_cast<int>(msg.wParam));  // for the loop that owns it
    return true;
  }
  const bool escape = msg.message == WM_KEYDOWN && msg.wParam == VK_ESCAPE;
  Hold();
  HWND root = msg.hwnd != nullptr ? GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
  if (root == nullptr || !IsDialogMessageW(root, &msg)) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  const bool gone = m_gone;
  Release();  // may delete this
  return escape || gone;
}

NxProgressWindow* Win32Dialog::OpenProgressWindow(NxProgressEvents* events) {
  if (m_window == nullptr) return nullptr;
  HWND owner = GetAncestor(m_window, GA_ROOT);
  auto* progress = new (std::nothrow) ProgressWindow(nullptr, events);
  if (progress == nullptr) return nullptr;
  HWND window = CreateDialogParamW(g_instance, MAKEINTRESOURCEW(kNxDialogProgress), owner,
                                   ProgressProc, reinterpret_cast<LPARAM>(progress));
  if (window == nullptr) {
    delete progress;
    return nullptr;
  }
  *progress = ProgressWindow(window, events);
  SetWindowTextW(window, NxGetString(IDS_MESSAGE_CAPTION));
  CentreOver(window, owner);
  ::ShowWindow(window, SW_SHOW);
  UpdateWindow(window);
  return progress;
}

// ---- About box ------------------------------------------------------------------------------

class AboutEvents final : public NxDialogEvents {
 public:
  void OnInit(NxDialog* dialog) override {
    m_dialog = dialog;
    HWND window = dialog->Window();
    CentreOver(window, GetWindow(window, GW_OWNER));
    NxInitAboutBox(*dialog, false);
    if (NxHeaderStrip* header = dialog->HeaderStrip(IDC_HEADER)) {
      header->title = NxGetString(IDS_PRODUCT_NAME);
    }
  }
  void OnDestroy() override {}
  void OnCommand(UINT id, UINT) override {
    INT_PTR result = 0;
    if (NxAboutBoxCommand(id, &result)) EndDialog(m_dialog->Window(), result);
  }
  void OnScroll(UINT, UINT) override {}
  void OnTimer(UINT) override {}
  void OnContextMenu(POINT, bool) override {}
  void OnHelp(UINT) override {}
  int StatusTextColour() override { return 0; }

 private:
  NxDialog* m_dialog = nullptr;
};

INT_PTR Win32Dialog::RunAboutBox() {
  AboutEvents events;
  auto* about = new (std::nothrow) Win32Dialog(&events, true);
  if (about == nullptr) return -1;
  about->Hold();
  Hold();
  const INT_PTR result =
      DialogBoxParamW(g_instance, MAKEINTRESOURCEW(kNxDialogAbout),
                      m_window != nullptr ? GetAncestor(m_window, GA_ROOT) : nullptr, Proc,
                      reinterpret_cast<LPARAM>(about));
  about->Abandon();  // the box is closed; its object goes now
  about->Release();
  Release();
  return result;
}

// ---- Open and Save dialogs ------------------------------------------------------------------

// The Open dialog's own state while it runs: the recently used folders and the panel's picture.
struct FileDialogState {
  NxFileDialogRequest* request;
  std::vector<BYTE> picture;
};

void ShowPanel(HWND panel, LPCWSTR path) {
  const NxFileInfoPanel info =
      path != nullptr && path[0] != 0 ? NxDescribeFileForPanel(path) : NxFileInfoPanel{};
  SetDlgItemTextW(panel, IDC_PANEL_TITLE, info.title.c_str());
  SetDlgItemTextW(panel, IDC_PANEL_AUTHOR, info.author.c_str());
  SetDlgItemTextW(panel, IDC_PANEL_COPYRIGHT, info.copyright.c_str());
  SetDlgItemTextW(panel, IDC_PANEL_COMMENTS, info.comments.c_str());
  HWND picture = GetDlgItem(panel, IDC_PANEL_PICTURE);
  NxControlModels m;
  if (NxGetControlModels(picture, &m) && m.picture != nullptr) {
    *m.picture = info.picture;
    InvalidateRect(picture, nullptr, FALSE);
  }
  ShowWindow(picture, info.picture.empty() ? SW_HIDE : SW_SHOWNA);
}

// The panel's rows under the dialog's own: the folder box as wide as the file type box, its
// label under the file type's label, the help button under Cancel, the information group across.
void LineUpPanel(HWND panel) {
  HWND dialog = GetParent(panel);
  auto placeOf = [&](HWND control) {
    RECT r;
    GetWindowRect(control, &r);
    MapWindowPoints(nullptr, panel, reinterpret_cast<POINT*>(&r), 2);
    return r;
  };
  HWND types = GetDlgItem(dialog, cmb1);
  HWND typesLabel = GetDlgItem(dialog, stc2);
  HWND cancel = GetDlgItem(dialog, IDCANCEL);
  if (types == nullptr || typesLabel == nullptr || cancel == nullptr) return;
  const RECT box = placeOf(types);
  const RECT label = placeOf(typesLabel);
  const RECT button = placeOf(cancel);
  auto move = [&](UINT id, LONG left, LONG right) {
    HWND control = GetDlgItem(panel, static_cast<int>(id));
    RECT r = placeOf(control);
    SetWindowPos(control, nullptr, left, r.top, right - left, r.bottom - r.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
  };
  const RECT mruLabel = placeOf(GetDlgItem(panel, IDC_PANEL_MRU_LABEL));
  move(IDC_PANEL_MRU_LABEL, label.left, std::max(label.right, mruLabel.right));
  move(IDC_PANEL_MRU, box.left, box.right);
  move(IDC_PANEL_HELP, button.left, button.right);
  const RECT group = placeOf(GetDlgItem(panel, IDC_PANEL_GROUP));
  const LONG shift = button.right - group.right;
  move(IDC_PANEL_GROUP, group.left, button.right);
  const RECT picture = placeOf(GetDlgItem(panel, IDC_PANEL_PICTURE));
  move(IDC_PANEL_PICTURE, picture.left + shift, picture.right + shift);
}

UINT_PTR CALLBACK OpenHook(HWND panel, UINT message, WPARAM w, LPARAM l) {
  switch (message) {
    case WM_INITDIALOG: {
      const auto* ofn = reinterpret_cast<const OPENFILENAMEW*>(l);
      auto* state = reinterpret_cast<FileDialogState*>(ofn->lCustData);
      SetWindowLongPtrW(panel, DWLP_USER, reinterpret_cast<LONG_PTR>(state));
      for (const NxText& folder : state->request->recentFolders) {
        SendDlgItemMessageW(panel, IDC_PANEL_MRU, CB_ADDSTRING, 0,
                            reinterpret_cast<LPARAM>(folder.c_str()));
      }
      ShowWindow(GetDlgItem(panel, IDC_PANEL_PICTURE), SW_HIDE);
      return TRUE;
    }
    case WM_COMMAND:
      if (LOWORD(w) == IDC_PANEL_MRU && HIWORD(w) == CBN_SELCHANGE) {
        // Into the chosen folder: its name in the file name field and Enter, as a user would.
        HWND dialog = GetParent(panel);
        const LRESULT index = SendDlgItemMessageW(panel, IDC_PANEL_MRU, CB_GETCURSEL, 0, 0);
        if (index == CB_ERR) return TRUE;
        std::vector<WCHAR> folder(MAX_PATH + 1, 0);
        if (SendDlgItemMessageW(panel, IDC_PANEL_MRU, CB_GETLBTEXTLEN, static_cast<WPARAM>(index),
                                0) > MAX_PATH) {
          return TRUE;
        }
        SendDlgItemMessageW(panel, IDC_PANEL_MRU, CB_GETLBTEXT, static_cast<WPARAM>(index),
                            reinterpret_cast<LPARAM>(folder.data()));
        SendMessageW(dialog, CDM_SETCONTROLTEXT, cmb13, reinterpret_cast<LPARAM>(folder.data()));
        SendMessageW(dialog, CDM_SETCONTROLTEXT, edt1, reinterpret_cast<LPARAM>(folder.data()));
        PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
        return TRUE;
      }
      return FALSE;
    case WM_NOTIFY: {
      const auto* note = reinterpret_cast<const OFNOTIFYW*>(l);
      if (note->hdr.code == CDN_INITDONE) LineUpPanel(panel);
      if (note->hdr.code == CDN_INITDONE || note->hdr.code == CDN_FOLDERCHANGE) {
        // The folder the dialog shows is selected in the box when it is listed there.
        WCHAR folder[MAX_PATH] = {};
        const LRESULT length = SendMessageW(GetParent(panel), CDM_GETFOLDERPATH, MAX_PATH,
                                            reinterpret_cast<LPARAM>(folder));
        const LRESULT index =
            length > 0 && length <= MAX_PATH
                ? SendDlgItemMessageW(panel, IDC_PANEL_MRU, CB_FINDSTRINGEXACT,
                                      static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(folder))
                : CB_ERR;
        SendDlgItemMessageW(panel, IDC_PANEL_MRU, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
      }
      if (note->hdr.code == CDN_SELCHANGE) {
        WCHAR path[MAX_PATH] = {};
        const LRESULT length = SendMessageW(GetParent(panel), CDM_GETFILEPATH, MAX_PATH,
                                            reinterpret_cast<LPARAM>(path));
        ShowPanel(panel, length > 0 && length <= MAX_PATH ? path : nullptr);
      }
      return FALSE;
    }
    default:
      return FALSE;
  }
}

// The Save dialog: the name in the file name field follows the chosen type's extension.
UINT_PTR CALLBACK SaveHook(HWND hook, UINT message, WPARAM, LPARAM l) {
  if (message == WM_INITDIALOG) {
    const auto* ofn = reinterpret_cast<const OPENFILENAMEW*>(l);
    SetWindowLongPtrW(hook, DWLP_USER, ofn->lCustData);
    return TRUE;
  }
  if (message != WM_NOTIFY) return FALSE;
  const auto* note = reinterpret_cast<const OFNOTIFYW*>(l);
  if (note->hdr.code != CDN_INITDONE && note->hdr.code != CDN_TYPECHANGE) return FALSE;
  const auto* state = reinterpret_cast<const FileDialogState*>(GetWindowLongPtrW(hook, DWLP_USER));
  const DWORD type = note->lpOFN->nFilterIndex;
  if (state == nullptr || type == 0 || type > state->request->filters.size()) return FALSE;
  HWND dialog = GetParent(hook);
  WCHAR name[MAX_PATH] = {};
  const LRESULT length =
      SendMessageW(dialog, CDM_GETSPEC, MAX_PATH, reinterpret_cast<LPARAM>(name));
  if (length <= 0 || length > MAX_PATH) return FALSE;
  const NxText renamed =
      NxApplySaveExtension(name, state->request->filters[type - 1].first.c_str());
  // The file name field is a combo box (cmb13) on current systems, an edit field (edt1) on
  // older ones; the one that is not there ignores the message.
  SendMessageW(dialog, CDM_SETCONTROLTEXT, cmb13, reinterpret_cast<LPARAM>(renamed.c_str()));
  SendMessageW(dialog, CDM_SETCONTROLTEXT, edt1, reinterpret_cast<LPARAM>(renamed.c_str()));
  return FALSE;
}

bool Win32Dialog::RunFileDialog(NxFileDialogRequest& request) {
  if (m_gone) return false;
  // Filter: description and pattern pairs, each ended by a terminator, the list by another.
  std::basic_string<WCHAR> filter;
  for (const auto& pair : request.filters) {
    filter += pair.first;
    filter += L'\0';
    filter += pair.second;
    filter += L'\0';
  }
  filter += L'\0';
  std::vector<WCHAR> name(MAX_PATH, 0);
  std::copy_n(request.fileName.c_str(), std::min<size_t>(request.fileName.size(), MAX_PATH - 1),
              name.begin());
  FileDialogState state = {&request, {}};
  OPENFILENAMEW ofn = {};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = m_window != nullptr ? GetAncestor(m_window, GA_ROOT) : nullptr;
  ofn.hInstance = g_instance;
  ofn.lpstrFilter = filter.c_str();
  ofn.nFilterIndex = static_cast<DWORD>(std::max(1, request.filterIndex));
  ofn.lpstrFile = name.data();
  ofn.nMaxFile = MAX_PATH;
  ofn.lpstrTitle = request.title.c_str();
  ofn.lpstrInitialDir = request.initialFolder.empty() ? nullptr : request.initialFolder.c_str();
  ofn.lCustData = reinterpret_cast<LPARAM>(&state);
  ofn.Flags = OFN_EXPLORER | OFN_ENABLEHOOK | OFN_HIDEREADONLY;
  Hold();
  BOOL chosen;
  if (request.save) {
    ofn.Flags |= OFN_PATHMUSTEXIST | OFN_OVERWRITEPROMPT;
    ofn.lpfnHook = SaveHook;
    chosen = GetSaveFileNameW(&ofn);
  } else {
    ofn.Flags |= OFN_FILEMUSTEXIST | OFN_ENABLETEMPLATE;
    ofn.lpTemplateName = MAKEINTRESOURCEW(kNxDialogFilePanel);
    ofn.lpfnHook = OpenHook;
    chosen = GetOpenFileNameW(&ofn);
  }
  const bool alive = !m_gone;
  Release();
  if (!chosen || !alive) return false;
  request.fileName = name.data();
  request.filterIndex = static_cast<INT>(ofn.nFilterIndex);
  return true;
}

class Win32DialogFactory final : public NxDialogFactory {
 public:
  NxDialog* Create(UINT templateId, HWND parent, NxDialogEvents* events) override {
    auto* dialog = new (std::nothrow) Win32Dialog(events, false);
    if (dialog == nullptr) return nullptr;
    // Held through the creation: a window destroyed while it is made takes the object only at
    // the Release below.
    dialog->Hold();
    HWND window = CreateDialogParamW(g_instance, MAKEINTRESOURCEW(templateId), parent,
                                     Win32Dialog::Proc, reinterpret_cast<LPARAM>(dialog));
    if (window == nullptr) dialog->Abandon();
    dialog->Release();
    return window != nullptr ? dialog : nullptr;
  }
};

Win32DialogFactory g_factory;

}  // namespace

void NxInstallView(HINSTANCE instance) {
  g_instance = instance;
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);
  NxSetDialogFactory(&g_factory);
}

void NxRemoveView() {
  if (NxGetDialogFactory() == &g_factory) NxSetDialogFactory(nullptr);
  g_instance = nullptr;
}
