// A page window without a windowing system: it records what the page sets on each control and
// lets a test act as the user (type, click, scroll, drag, choose from a combo or a menu), answer
// message boxes and file dialogs, and deliver the filter's notifications from the platform's
// window table and message queue. Installs itself as the dialog factory while it lives.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "platform/window.h"
#include "ui/pages/control_table.h"
#include "ui/pages/dialog.h"

class FakeDialog final : public NxDialog {
 public:
  struct Control {
    NxText text;
    bool checked = false;
    bool enabled = true;
    bool shown = true;
    std::vector<NxText> items;
    int selection = -1;
    NxRangeState range;
    NxEnvelopeEditor editor;
    NxHeaderStrip header;
    std::vector<BYTE> picture;
  };

  FakeDialog(UINT dialogTemplate, NxDialogEvents* events)
      : templateId(dialogTemplate), events_(events), window_(NxCreateWindow(nullptr)) {}
  ~FakeDialog() { DestroyWindow(window_); }

  // ---- The user ----
  Control& operator[](UINT id) { return controls[id]; }
  void Type(UINT id, const NxText& text) {
    controls[id].text = text;
    const NxControlDef* def = NxFindControl(templateId, id);
    const bool combo = def != nullptr && def->kind == NxControlKind::DropDownCombo;
    events_->OnCommand(id, combo ? kNxComboKillFocus : kNxEditKillFocus);
  }
  void Click(UINT id) {
    const NxControlDef* def = NxFindControl(templateId, id);
    if (def != nullptr && def->kind == NxControlKind::CheckBox) controls[id].checked ^= true;
    if (def != nullptr && def->kind == NxControlKind::RadioButton) {
      for (UINT radio : {IDC_MODE_NONE, IDC_MODE_AUTO, IDC_MODE_FILE_ENDS}) {
        controls[radio].checked = radio == id;
      }
    }
    events_->OnCommand(id, kNxClicked);
  }
  void Choose(UINT id, int index) {
    controls[id].selection = index;
    controls[id].text = controls[id].items.at(index);
    events_->OnCommand(id, kNxComboSelChange);
  }
  void Scroll(UINT id, UINT action) { events_->OnScroll(id, action); }
  void Drag(UINT id, LONG position) {
    controls[id].range.position = position;
    events_->OnScroll(id, kNxScrollThumbTrack);
  }
  void DoubleClick(UINT id) { Drag(id, controls[id].range.resetValue); }
  void Tick() { events_->OnTimer(kNxStatusTimer); }
  // Opens the page menu and picks the item whose text is `text` (or nothing for empty).
  void PageMenu(const NxText& text) {
    menuChoice_ = text;
    events_->OnContextMenu({10, 10}, false);
  }
  // Delivers the queued notifications of this window, as the message loop would.
  int Pump() {
    int delivered = 0;
    MSG msg;
    while (PeekMessageW(&msg, window_, WM_COMMAND, WM_COMMAND, PM_REMOVE)) {
      events_->OnCommand(LOWORD(msg.wParam), HIWORD(msg.wParam));
      ++delivered;
    }
    return delivered;
  }

  // ---- What the page did ----
  std::map<UINT, Control> controls;
  std::vector<NxText> boxes;  // the texts of the message boxes shown
  std::vector<std::vector<NxMenuItem>> menus;
  std::vector<NxFileDialogRequest> fileDialogs;
  std::deque<std::optional<NxText>> fileAnswers;  // nullopt cancels
  std::vector<std::pair<DWORD, bool>> helps;
  std::map<UINT, UINT> timers;
  HCURSOR cursor = kArrow;
  int abouts = 0;
  bool destroyed = false;
  bool visible = true;  // ShowWindow
  // Runs while a message box is up, as its message loop would dispatch.
  std::function<void()> onBox;
  // Called for each message the progress window lets through; true for Escape.
  std::function<bool()> onDispatch;
  // The progress window: the bar texts it was given, whether it is open and how often it was.
  struct Progress {
    std::vector<NxText> barTexts;
    bool open = false;
    int opened = 0;
    NxProgressEvents* events = nullptr;
  } progress;
  const UINT templateId;
  static inline const HCURSOR kArrow = reinterpret_cast<HCURSOR>(1);
  static inline const HCURSOR kWait = reinterpret_cast<HCURSOR>(2);

  // ---- NxDialog ----
  HWND Window() override { return window_; }
  void SetText(UINT id, LPCWSTR text) override { controls[id].text = text; }
  NxText GetText(UINT id, size_t maxUnits) override {
    return controls[id].text.substr(0, maxUnits);
  }
  void SetCheck(UINT id, bool checked) override { controls[id].checked = checked; }
  bool IsChecked(UINT id) override { return controls[id].checked; }
  void ClearCombo(UINT id) override { controls[id].items.clear(), controls[id].selection = -1; }
  void AddComboItem(UINT id, LPCWSTR text) override { controls[id].items.push_back(text); }
  void SelectComboItem(UINT id, int index) override { controls[id].selection = index; }
  int ComboSelection(UINT id) override { return controls[id].selection; }
  NxText ComboItem(UINT id, int index) override { return controls[id].items.at(index); }
  void SetRange(UINT id, LONG minimum, LONG maximum) override {
    controls[id].range.minimum = minimum, controls[id].range.maximum = maximum;
  }
  void SetSteps(UINT id, LONG line, LONG page) override {
    controls[id].range.lineStep = line, controls[id].range.pageStep = page;
  }
  void SetResetValue(UINT id, LONG value) override { controls[id].range.resetValue = value; }
  void SetPosition(UINT id, LONG position) override { controls[id].range.position = position; }
  NxRangeState Range(UINT id) override { return controls[id].range; }
  void SetBuddy(UINT, UINT) override {}
  bool ControlKeyDown() override { return controlKey; }
  void Enable(UINT id, bool enabled) override { controls[id].enabled = enabled; }
  void Show(UINT id, bool shown) override { controls[id].shown = shown; }
  void SetFocus(UINT) override {}
  SIZE ControlSize(UINT) override { return {200, 60}; }
  NxEnvelopeEditor* EnvelopeEditor(UINT id) override { return &controls[id].editor; }
  NxHeaderStrip* HeaderStrip(UINT id) override { return &controls[id].header; }
  void SetPicture(UINT id, const BYTE* bitmap, size_t bytes) override {
    controls[id].picture.assign(bitmap, bitmap + (bitmap != nullptr ? bytes : 0));
  }
  void SetTimer(UINT id, UINT ms) override { timers[id] = ms; }
  void KillTimer(UINT id) override { timers.erase(id); }
  HCURSOR SetCursor(HCURSOR next) override { return std::exchange(cursor, next); }
  HCURSOR WaitCursor() override { return kWait; }
  int ShowMessageBox(LPCWSTR text, LPCWSTR, UINT) override {
    boxes.push_back(text);
    if (onBox) onBox();  // the box's own message loop
    return kNxAnswerOk;
  }
  bool RunFileDialog(NxFileDialogRequest& request) override {
    fileDialogs.push_back(request);
    const std::optional<NxText> answer = fileAnswers.empty() ? std::nullopt : fileAnswers.front();
    if (!fileAnswers.empty()) fileAnswers.pop_front();
    if (answer) request.fileName = *answer;
    return answer.has_value();
  }
  UINT TrackPopupMenu(const std::vector<NxMenuItem>& menu, POINT) override {
    menus.push_back(menu);
    return Find(menu);
  }
  RECT ClientRect() override { return {0, 0, 484, 339}; }
  void ShowHelp(DWORD context, bool popup) override { helps.push_back({context, popup}); }
  INT_PTR RunAboutBox() override { return ++abouts, 1; }
  NxProgressWindow* OpenProgressWindow(NxProgressEvents* events) override {
    progress.open = true;
    ++progress.opened;
    progress.events = events;
    return &progressWindow_;
  }
  bool DispatchOneMessage() override { return onDispatch ? onDispatch() : false; }
  void MoveWindow(const RECT&) override {}
  void ShowWindow(bool show) override { visible = show; }
  void SetControlParent(bool) override {}
  void Destroy() override {
    if (destroyed) return;
    events_->OnDestroy();
    destroyed = true;
  }
  void Hold() override {}
  void Release() override {}

  bool controlKey = false;

 private:
  struct ProgressWindow final : NxProgressWindow {
    explicit ProgressWindow(Progress* p) : p_(p) {}
    void SetText(LPCWSTR) override {}
    void SetBar(LONG, LONG, LONG) override {}
    void SetBarText(LPCWSTR text) override { p_->barTexts.push_back(text); }
    void Close() override { p_->open = false; }
    Progress* p_;
  };
  // The command of the item (in `items` or a submenu) whose text is menuChoice_, 0 for none.
  UINT Find(const std::vector<NxMenuItem>& items) const {
    for (const NxMenuItem& item : items) {
      if (item.command != 0 && item.text == menuChoice_) return item.command;
      if (UINT found = Find(item.submenu)) return found;
    }
    return 0;
  }

  NxDialogEvents* events_;
  HWND window_;
  NxText menuChoice_;
  ProgressWindow progressWindow_{&progress};
};

// Makes FakeDialogs for the pages and keeps them; the newest is `last`.
class FakeDialogFactory final : public NxDialogFactory {
 public:
  FakeDialogFactory() { NxSetDialogFactory(this); }
  ~FakeDialogFactory() { NxSetDialogFactory(nullptr); }
  NxDialog* Create(UINT templateId, HWND, NxDialogEvents* events) override {
    dialogs.push_back(std::make_unique<FakeDialog>(templateId, events));
    last = dialogs.back().get();
    events->OnInit(last);
    return last;
  }
  std::vector<std::unique_ptr<FakeDialog>> dialogs;
  FakeDialog* last = nullptr;
};
