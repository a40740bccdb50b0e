// The dialog abstraction the pages run on: what a page window offers its page, and the events
// the window hands to the page.
//
// Controls are addressed by their identifiers (ui/pages/control_table.h lists them with their
// kinds). Setting a control from page code raises no event, as with the platform's dialogs; only
// the user's actions come back as events. A Win32 view implements NxDialog over a real dialog
// window and its custom controls, and forwards the window's messages to NxDialogEvents; it keeps
// no page logic of its own. The tests implement it with a recording fake.
#pragma once

#include <string>
#include <vector>

#include "platform/dshow/property_pages.h"
#include "platform/types.h"
#include "platform/window.h"
#include "ui/controls/envelope_editor.h"
#include "ui/controls/header_strip.h"
#include "ui/controls/range_control.h"

typedef std::basic_string<WCHAR> NxText;

// Notification codes of command events, with the platform's values.
constexpr UINT kNxClicked = 0;             // button or check box (BN_CLICKED)
constexpr UINT kNxComboSelChange = 1;      // CBN_SELCHANGE
constexpr UINT kNxComboKillFocus = 4;      // CBN_KILLFOCUS: the combo's edit field lost the focus
constexpr UINT kNxEditKillFocus = 0x0200;  // EN_KILLFOCUS

// Message box styles and answers, with the platform's values.
constexpr UINT kNxBoxOk = 0x0000;
constexpr UINT kNxBoxIconInformation = 0x0040;
constexpr int kNxAnswerOk = 1;

// A pop-up menu: items with a command, a separator (command 0, no text, no submenu) or a
// submenu.
struct NxMenuItem {
  NxText text;
  UINT command = 0;
  std::vector<NxMenuItem> submenu;
};

// One Open or Save dialog, as ui/pages/file_dialog.h builds it.
struct NxFileDialogRequest {
  bool save = false;
  NxText title;
  // Description and pattern pairs.
  std::vector<std::pair<NxText, NxText>> filters;
  INT filterIndex = 0;  // 1-based as the platform counts; 0 the first
  NxText initialFolder;
  NxText fileName;  // prefilled name; the chosen one on return
  // Open dialogs: the "MR&U Folders:" box and the information panel.
  std::vector<NxText> recentFolders;
};

// The progress window of a recovery (dialog 114).
class NxProgressEvents {
 public:
  virtual void OnProgressCancel() = 0;  // the "Cancel" button

 protected:
  ~NxProgressEvents() = default;
};

class NxProgressWindow {
 public:
  virtual void SetText(LPCWSTR text) = 0;                       // static text 101
  virtual void SetBar(LONG low, LONG high, LONG position) = 0;  // progress bar 100
  virtual void SetBarText(LPCWSTR text) = 0;                    // the bar's own text ("%d %%")
  virtual void Close() = 0;                                     // closes and frees the window

 protected:
  ~NxProgressWindow() = default;
};

class NxDialog {
 public:
  // The page window's handle in the platform's window table: the filter posts its
  // notifications to it.
  virtual HWND Window() = 0;

  // Text of a control; id 0 is the window's title.
  virtual void SetText(UINT id, LPCWSTR text) = 0;
  // At most `maxUnits` units of the control's text.
  virtual NxText GetText(UINT id, size_t maxUnits) = 0;
  virtual void SetCheck(UINT id, bool checked) = 0;
  virtual bool IsChecked(UINT id) = 0;

  // Combo boxes (a drop-down combo also has an edit field, set with SetText).
  virtual void ClearCombo(UINT id) = 0;
  virtual void AddComboItem(UINT id, LPCWSTR text) = 0;
  virtual void SelectComboItem(UINT id, int index) = 0;  // -1 selects none
  virtual int ComboSelection(UINT id) = 0;               // -1 for none
  virtual NxText ComboItem(UINT id, int index) = 0;

  // Trackbars, faders and spinners.
  virtual void SetRange(UINT id, LONG minimum, LONG maximum) = 0;
  virtual void SetSteps(UINT id, LONG line, LONG page) = 0;
  virtual void SetResetValue(UINT id, LONG value) = 0;
  virtual void SetPosition(UINT id, LONG position) = 0;
  virtual NxRangeState Range(UINT id) = 0;
  virtual void SetBuddy(UINT spinner, UINT edit) = 0;
  virtual bool ControlKeyDown() = 0;

  virtual void Enable(UINT id, bool enabled) = 0;
  virtual void Show(UINT id, bool shown) = 0;
  virtual void SetFocus(UINT id) = 0;
  // Client size of a control, in pixels.
  virtual SIZE ControlSize(UINT id) = 0;

  // The custom controls' models, owned by the window.
  virtual NxEnvelopeEditor* EnvelopeEditor(UINT id) = 0;
  virtual NxHeaderStrip* HeaderStrip(UINT id) = 0;
  // A device-independent bitmap for the picture control; null and 0 clear it.
  virtual void SetPicture(UINT id, const BYTE* bitmap, size_t bytes) = 0;

  virtual void SetTimer(UINT id, UINT milliseconds) = 0;
  virtual void KillTimer(UINT id) = 0;

  // Makes `cursor` the one in use and returns the one it replaced; WaitCursor() is the
  // hourglass.
  virtual HCURSOR SetCursor(HCURSOR cursor) = 0;
  virtual HCURSOR WaitCursor() = 0;

  // (Not "MessageBox": the platform headers make that name a macro.)
  virtual int ShowMessageBox(LPCWSTR text, LPCWSTR caption, UINT style) = 0;
  // Runs the dialog; true when the user chose a file (request.fileName and filterIndex then
  // hold the choice).
  virtual bool RunFileDialog(NxFileDialogRequest& request) = 0;
  // Shows the menu at `at` (client coordinates) and returns the chosen command, 0 for none.
  virtual UINT TrackPopupMenu(const std::vector<NxMenuItem>& menu, POINT at) = 0;
  virtual RECT ClientRect() = 0;
  // Help: the pop-up help of `context` for a control, or the help file's page of `context`.
  virtual void ShowHelp(DWORD context, bool popup) = 0;
  // The module's about box (dialog 110), modal; returns its result.
  virtual INT_PTR RunAboutBox() = 0;

  // The progress window, modeless over this one; null when it cannot be made.
  virtual NxProgressWindow* OpenProgressWindow(NxProgressEvents* events) = 0;
  // Removes and dispatches at most one pending message of the thread (the progress window's
  // way of staying responsive); true when it was a press of the Escape key.
  virtual bool DispatchOneMessage() = 0;

  // Page window placement, for the page's frame.
  virtual void MoveWindow(const RECT& rect) = 0;
  virtual void ShowWindow(bool shown) = 0;
  virtual void SetControlParent(bool on) = 0;  // keyboard navigation enters the page
  // Destroys the window; the page gets OnDestroy before this returns.
  virtual void Destroy() = 0;
  // Keeps this object (not its window) alive until the matching Release, also when the window
  // is destroyed meanwhile (a progress window's message pump can let the host close the page):
  // then every call does nothing, DispatchOneMessage answers true so that a run stops, and
  // message boxes show nothing.
  virtual void Hold() = 0;
  virtual void Release() = 0;

 protected:
  ~NxDialog() = default;
};

// Events from the window to its page.
class NxDialogEvents {
 public:
  // The window exists (the platform's dialog initialisation), before Create returns.
  virtual void OnInit(NxDialog* dialog) = 0;
  virtual void OnDestroy() = 0;
  virtual void OnCommand(UINT id, UINT code) = 0;
  // A trackbar, fader or spinner was scrolled. A drag has already moved the control (its
  // position is where the user left it); for the other actions the page computes the position.
  virtual void OnScroll(UINT id, UINT action) = 0;
  virtual void OnTimer(UINT id) = 0;
  // `fromKeyboard`: the menu key, so `at` is meaningless.
  virtual void OnContextMenu(POINT at, bool fromKeyboard) = 0;
  // Help asked for a control (0: from a menu).
  virtual void OnHelp(UINT controlId) = 0;
  // The toolkit colour of the status line's text: 0 black, else a user-interface colour index.
  virtual int StatusTextColour() = 0;

 protected:
  ~NxDialogEvents() = default;
};

// Makes page windows from the module's dialog templates. The Win32 view installs one at load;
// tests install the fake.
class NxDialogFactory {
 public:
  // A new window of template `templateId` under `parent`, sending its events to `events`
  // (OnInit before it returns); null when it cannot be made.
  virtual NxDialog* Create(UINT templateId, HWND parent, NxDialogEvents* events) = 0;

 protected:
  ~NxDialogFactory() = default;
};

void NxSetDialogFactory(NxDialogFactory* factory);
NxDialogFactory* NxGetDialogFactory();
