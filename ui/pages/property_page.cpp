#include "ui/pages/property_page.h"

#include <algorithm>

#include "frame/guids.h"
#include "frame/module_info.h"
#include "impulse/display_list.h"
#include "impulse/impulse_loader.h"
#include "impulse/summary.h"
#include "platform/dshow/task_memory.h"
#include "platform/file.h"
#include "platform/wide_string.h"
#include "recovery/recovery_message.h"
#include "toolkit/string_table.h"
#include "ui/pages/file_dialog.h"
#include "ui/pages/page_text.h"

namespace {

NxDialogFactory* g_factory = nullptr;

constexpr LONG kMaxMenuPresets = 500;
constexpr UINT kNotifyParamsReplaced = 100;
constexpr UINT kNotifyInputFormat = 0;
constexpr UINT kNotifyOutputFormat = 1;
constexpr UINT kNamesUnits = 260;
// The page template's size: 323 x 209 dialog units, in pixels of the usual dialog font.
constexpr LONG kPageWidthPixels = 323 * 6 / 4;
constexpr LONG kPageHeightPixels = 209 * 13 / 8;

LPOLESTR TaskCopy(LPCWSTR text) {
  const size_t units = NxStrLenW(text) + 1;
  LPOLESTR copy = static_cast<LPOLESTR>(CoTaskMemAlloc(units * sizeof(WCHAR)));
  if (copy != nullptr) NxStrCopyW(copy, units, text);
  return copy;
}

// A menu shows '&' as the mnemonic mark; a name's own '&' is doubled.
NxText FixNameForMenu(LPCWSTR name) {
  NxText text;
  for (LPCWSTR p = name; *p != 0; ++p) {
    text += *p;
    if (*p == '&') text += '&';
  }
  return text;
}

}  // namespace

void NxSetDialogFactory(NxDialogFactory* factory) { g_factory = factory; }
NxDialogFactory* NxGetDialogFactory() { return g_factory; }

NxText NxPackagedImpulsePath() {
  WCHAR path[kMaxPathUnits];
  return NxGetPackagedImpulsePath(path) ? NxText(path) : NxText();
}

DWORD NxImpulseView::Frames() const {
  const ULONGLONG frameBytes = static_cast<ULONGLONG>(info.channels) * info.bytesPerSample;
  return readable && frameBytes != 0 ? static_cast<DWORD>(info.dataBytes / frameBytes) : 0;
}

CNxPropertyPage::CNxPropertyPage(const char* name, IUnknown* outer, UINT dialogId, UINT titleId)
    : CUnknown(name, outer), m_dialogId(dialogId), m_titleId(titleId) {}

CNxPropertyPage::~CNxPropertyPage() {
  if (m_dialog != nullptr) m_dialog->Destroy();
  if (m_prop != nullptr) OnDisconnect();
  if (m_site != nullptr) m_site->Release();
}

HRESULT CNxPropertyPage::NonDelegatingQueryInterface(REFIID riid, void** object) {
  if (riid == IID_IPropertyPage) return GetInterface(static_cast<IPropertyPage*>(this), object);
  return CUnknown::NonDelegatingQueryInterface(riid, object);
}

// ---- IPropertyPage --------------------------------------------------------------------------

HRESULT CNxPropertyPage::SetPageSite(IPropertyPageSite* site) {
  if (site != nullptr && m_site != nullptr) return E_UNEXPECTED;
  if (m_site != nullptr) m_site->Release();
  m_site = site;
  if (m_site != nullptr) m_site->AddRef();
  return S_OK;
}

HRESULT CNxPropertyPage::Activate(HWND parent, const RECT* rect, BOOL) {
  if (rect == nullptr) return E_POINTER;
  if (m_dialog != nullptr) return E_UNEXPECTED;
  if (g_factory == nullptr || g_factory->Create(m_dialogId, parent, this) == nullptr) {
    return E_OUTOFMEMORY;
  }
  OnActivate();
  m_dialog->MoveWindow(*rect);
  m_dialog->ShowWindow(true);
  return S_OK;
}

HRESULT CNxPropertyPage::Deactivate() {
  if (m_dialog == nullptr) return E_UNEXPECTED;
  OnDeactivate();
  m_dialog->Destroy();
  return S_OK;
}

HRESULT CNxPropertyPage::GetPageInfo(PROPPAGEINFO* info) {
  if (info == nullptr) return E_POINTER;
  *info = {};
  info->cb = sizeof(PROPPAGEINFO);
  info->pszTitle = TaskCopy(NxGetString(m_titleId));
  info->size = {kPageWidthPixels, kPageHeightPixels};
  WCHAR folder[kNamesUnits];
  const NxText help =
      NxText(NxGetModuleFolder(folder, kNamesUnits) > 0 ? folder : NXW("")) + NXW("AURALITH.HLP");
  info->pszHelpFile = TaskCopy(help.c_str());
  info->dwHelpContext = 1;
  if (info->pszTitle == nullptr || info->pszHelpFile == nullptr) {
    CoTaskMemFree(info->pszTitle);
    CoTaskMemFree(info->pszHelpFile);
    *info = {};
    return E_OUTOFMEMORY;
  }
  return S_OK;
}

HRESULT CNxPropertyPage::SetObjects(ULONG count, IUnknown** objects) {
  if (count == 0) return m_prop != nullptr ? OnDisconnect() : S_OK;
  if (objects == nullptr) return E_POINTER;
  return OnConnect(objects[0]);
}

HRESULT CNxPropertyPage::Show(UINT command) {
  if (m_dialog == nullptr) return E_UNEXPECTED;
  // Another page may have changed the parameters (the impulse, a preset) while this one was
  // hidden; the filter tells the pages only of its own changes.
  if (command != 0 && m_prop != nullptr) UpdateControls(0);
  m_dialog->ShowWindow(command != 0);
  return S_OK;
}

HRESULT CNxPropertyPage::Move(const RECT* rect) {
  if (rect == nullptr) return E_POINTER;
  if (m_dialog == nullptr) return E_UNEXPECTED;
  m_dialog->MoveWindow(*rect);
  return S_OK;
}

HRESULT CNxPropertyPage::IsPageDirty() { return m_dirty ? S_OK : S_FALSE; }

HRESULT CNxPropertyPage::Apply() {
  const HRESULT hr = OnApplyChanges();
  if (hr == S_OK) m_dirty = false;
  return hr;
}

HRESULT CNxPropertyPage::Help(LPCOLESTR) { return E_NOTIMPL; }
HRESULT CNxPropertyPage::TranslateAccelerator(MSG*) { return E_NOTIMPL; }

// ---- Page operations ------------------------------------------------------------------------

HRESULT CNxPropertyPage::OnConnect(IUnknown* object) {
  if (object == nullptr) return E_POINTER;
  if (m_prop != nullptr) OnDisconnect();
  void* found = nullptr;
  if (FAILED(object->QueryInterface(IID_INxPlugInProp, &found)) || found == nullptr) {
    return E_NOINTERFACE;
  }
  m_prop = static_cast<INxPlugInProp*>(found);
  found = nullptr;
  if (SUCCEEDED(object->QueryInterface(IID_IStaticFilterPreset, &found))) {
    m_presets = static_cast<IStaticFilterPreset*>(found);
  }
  if (m_dialog != nullptr) {
    m_prop->RegisterNotifyWindow(m_dialog->Window(), kNxCommandNotify);
    UpdateControls(0);
  }
  return S_OK;
}

HRESULT CNxPropertyPage::OnDisconnect() {
  if (m_prop == nullptr) return E_UNEXPECTED;
  if (m_dialog != nullptr) m_prop->RegisterNotifyWindow(m_dialog->Window(), 0);
  m_prop->Release();
  m_prop = nullptr;
  if (m_presets != nullptr) m_presets->Release();
  m_presets = nullptr;
  return S_OK;
}

HRESULT CNxPropertyPage::OnActivate() {
  m_dialog->SetControlParent(true);
  return S_OK;
}

HRESULT CNxPropertyPage::OnDeactivate() {
  m_dialog->SetControlParent(false);
  return S_OK;
}

HRESULT CNxPropertyPage::OnApplyChanges() { return S_OK; }

void CNxPropertyPage::InitControls() {
  NxHeaderStrip* header = m_dialog->HeaderStrip(IDC_HEADER);
  if (header == nullptr) return;
  header->items.clear();
  header->items.push_back({NxGetString(IDS_HELP_ITEM), kNxCommandHelp});
  header->title = NxHeaderTitle(NxGetString(IDS_PRODUCT_NAME));
}

bool CNxPropertyPage::OnPageCommand(UINT, UINT) { return false; }
void CNxPropertyPage::OnPageScroll(UINT, UINT) {}

void CNxPropertyPage::LoadRecentLists() {
  if (!HasImpulseSelector()) return;
  NxMru_Load(kNxMruImpulseFiles, &m_impulseList);
  FillImpulseCombo();
}

// ---- Window events --------------------------------------------------------------------------

void CNxPropertyPage::OnInit(NxDialog* dialog) {
  m_dialog = dialog;
  if (m_prop != nullptr) m_prop->RegisterNotifyWindow(m_dialog->Window(), kNxCommandNotify);
  LoadRecentLists();
  InitControls();
  if (m_prop != nullptr) UpdateControls(0);
  if (!m_timerStarted) {
    m_dialog->SetTimer(kNxStatusTimer, kNxStatusPeriodMs);
    m_timerStarted = true;
  }
}

void CNxPropertyPage::OnDestroy() {
  if (m_dialog == nullptr) return;
  if (m_prop != nullptr) m_prop->RegisterNotifyWindow(m_dialog->Window(), 0);
  m_dialog->KillTimer(kNxStatusTimer);
  if (m_waitDepth > 0) m_dialog->SetCursor(m_savedCursor);
  m_waitDepth = 0;
  m_statusWait = false;
  m_timerStarted = false;
  m_lastStatus = -1;
  m_dialog = nullptr;
}

void CNxPropertyPage::OnCommand(UINT id, UINT code) {
  if (m_dialog == nullptr) return;
  if (id == kNxCommandHelp) {
    m_dialog->ShowHelp(1, false);
    return;
  }
  if (id == kNxCommandAbout) {
    m_dialog->RunAboutBox();
    return;
  }
  if (m_prop == nullptr) return;  // the page is inert without the parameters
  if (id == kNxCommandNotify) {
    // Formats (codes 0 and 1) show on no control; the status line follows at once.
    if (code == kNotifyParamsReplaced) {
      UpdateControls(0);
    } else if (code == kNotifyInputFormat || code == kNotifyOutputFormat) {
      PollStatus();
    } else {
      UpdateControls(code);
    }
    return;
  }
  if (id >= kNxCommandFirstPreset && id <= kNxCommandLastPreset) {
    const size_t k = id - kNxCommandFirstPreset;
    if (m_presets != nullptr && k < m_presetMenu.size()) m_presets->ApplyPreset(m_presetMenu[k]);
    return;
  }
  if (HasImpulseSelector()) {
    if (id == IDC_IMPULSE && code == kNxComboSelChange) {
      const int selected = m_dialog->ComboSelection(IDC_IMPULSE);
      if (selected >= 0) ChooseImpulse(m_dialog->ComboItem(IDC_IMPULSE, selected), false);
      return;
    }
    if (id == IDC_IMPULSE && code == kNxComboKillFocus) {
      ChooseImpulse(m_dialog->GetText(IDC_IMPULSE, kNamesUnits - 1), true);
      return;
    }
    if (id == IDC_IMPULSE_BROWSE && code == kNxClicked) {
      NxText name;
      if (NxChooseFile(*m_dialog, false, IDS_OPEN_IMPULSE_FILE, IDS_FILTER_IMPULSE,
                       kNxImpulseLastDir, &name)) {
        ChooseImpulse(name, true);
      }
      return;
    }
  }
  OnPageCommand(id, code);
}

void CNxPropertyPage::OnScroll(UINT id, UINT action) {
  if (m_dialog != nullptr && m_prop != nullptr) OnPageScroll(id, action);
}

void CNxPropertyPage::OnTimer(UINT id) {
  if (id == kNxStatusTimer && m_dialog != nullptr && m_prop != nullptr) PollStatus();
}

void CNxPropertyPage::OnContextMenu(POINT at, bool fromKeyboard) {
  if (m_dialog != nullptr) ShowPageMenu(at, fromKeyboard);
}

void CNxPropertyPage::OnHelp(UINT controlId) {
  if (m_dialog == nullptr) return;
  const DWORD context = NxHelpContext(controlId);
  m_dialog->ShowHelp(context != 0 ? context : 1, context != 0);
}

int CNxPropertyPage::StatusTextColour() { return NxStatusColour(m_lastStatus); }

void CNxPropertyPage::PollStatus() {
  LONG status = 0;
  m_prop->GetStatus(&status);
  if (status == m_lastStatus) return;
  m_dialog->SetText(IDC_STATUS, NxStatusText(status).c_str());
  const bool busy = NxStatusIsBusy(status);
  if (busy && !m_statusWait) BeginWait();
  if (!busy && m_statusWait) EndWait();
  m_statusWait = busy;
  m_lastStatus = status;
}

void CNxPropertyPage::BeginWait() {
  if (m_waitDepth++ == 0) m_savedCursor = m_dialog->SetCursor(m_dialog->WaitCursor());
}

void CNxPropertyPage::EndWait() {
  if (m_waitDepth > 0 && --m_waitDepth == 0) m_dialog->SetCursor(m_savedCursor);
}

void CNxPropertyPage::ShowPageMenu(POINT at, bool fromKeyboard) {
  NxMenuItem presets;
  presets.text = NxGetString(IDS_MENU_PRESETS);
  m_presetMenu.clear();
  LONG count = 0;
  if (m_presets != nullptr && m_presets->GetPresetCount(&count) == S_OK) {
    count = std::clamp<LONG>(count, 0, kMaxMenuPresets);
    for (LONG index = 0; index < count; ++index) {
      WCHAR name[kNamesUnits] = {};
      if (m_presets->GetPresetName(index, name, kNamesUnits) != S_OK) continue;
      const UINT command = kNxCommandFirstPreset + static_cast<UINT>(m_presetMenu.size());
      presets.submenu.push_back({FixNameForMenu(name), command, {}});
      m_presetMenu.push_back(index);
    }
  }
  std::vector<NxMenuItem> menu = {presets,
                                  NxMenuItem{},
                                  {NxGetString(IDS_MENU_HELP), kNxCommandHelp, {}},
                                  {NxGetString(IDS_MENU_ABOUT), kNxCommandAbout, {}}};
  if (fromKeyboard) {
    const RECT r = m_dialog->ClientRect();
    at = {(r.left + r.right) / 2, r.top + (r.bottom - r.top) / 4};
  }
  const UINT command = m_dialog->TrackPopupMenu(menu, at);
  if (command != 0) OnCommand(command, kNxClicked);
}

// ---- Impulse selector -----------------------------------------------------------------------

void CNxPropertyPage::FillImpulseCombo() {
  m_dialog->ClearCombo(IDC_IMPULSE);
  for (const NxText& name : m_impulseList) m_dialog->AddComboItem(IDC_IMPULSE, name.c_str());
}

void CNxPropertyPage::ChooseImpulse(const NxText& name, bool addToList) {
  if (name.empty()) return;
  LONG packaged = 0;
  m_prop->GetPackageImpulse(&packaged);
  if (packaged != 0 && name == NxGetString(IDS_IMPULSE_IN_PRESET)) {
    OnImpulseChosen();
    return;
  }
  m_prop->SetImpulseFile(name.c_str());
  m_prop->SetPackageImpulse(0);
  m_refusedImpulse.clear();  // a new choice may show its refusal again
  if (addToList &&
      NxMru_Add(&m_impulseList, kNxMruImpulseFiles, name.c_str(), NxMruKind::Files) >= 0) {
    FillImpulseCombo();
    m_dialog->SelectComboItem(IDC_IMPULSE, 0);
  }
  OnImpulseChosen();
}

void CNxPropertyPage::ShowImpulseName() {
  const NxImpulseView impulse = ReadImpulse();
  if (impulse.packaged) {
    m_dialog->SetText(IDC_IMPULSE, NxGetString(IDS_IMPULSE_IN_PRESET));
    return;
  }
  WCHAR name[kNamesUnits] = {};
  m_prop->GetImpulseFile(name, kNamesUnits);
  m_dialog->SetText(IDC_IMPULSE, name);
}

NxImpulseView CNxPropertyPage::ReadImpulse() const {
  NxImpulseView view;
  LONG packaged = 0;
  m_prop->GetPackageImpulse(&packaged);
  view.packaged = packaged != 0;
  if (view.packaged) {
    view.path = NxPackagedImpulsePath();
  } else {
    WCHAR name[kNamesUnits] = {};
    m_prop->GetImpulseFile(name, kNamesUnits);
    view.path = name;
  }
  // The loader already refuses a description with a zero field; the pages divide by these.
  view.readable = !view.path.empty() && GetImpulseInfo(view.path.c_str(), &view.info, nullptr) &&
                  view.info.channels != 0 && view.info.bytesPerSample != 0 &&
                  view.info.sampleRate != 0;
  if (view.readable && view.Frames() == 0) view.readable = false;
  return view;
}

void CNxPropertyPage::ShowSummaryFields(const NxImpulseView& impulse) {
  WCHAR source[kNamesUnits] = {};
  const bool named = !impulse.path.empty() &&
                     GetImpulseSourceName(impulse.path.c_str(), source, kNamesUnits, nullptr) >= 0;
  WCHAR attributes[kNamesUnits] = {};
  WCHAR texts[3][kNxSummaryDisplayChars] = {};
  std::vector<BYTE> picture;
  if (named) {
    GetImpulseInfoText(impulse.path.c_str(), attributes, kNamesUnits);
    NxSummary_ReadDisplayTextsFromPath(source, kPageSummaryItems, 3, texts);
    NxFileHandle file = NxOpenFile(source, NxFileAccess::Read, NxFileCreate::OpenExisting);
    NxDisplayList list = {};
    if (file != nullptr && displist_Create(&list, kImpulseDisplayFormats, 2) == NX_OK) {
      displist_Load(file, &list);
      const NxDisplayItem* bitmap = displist_GetItem(&list, kDisplayFormatBitmap);
      if (bitmap != nullptr && bitmap->size > 0) {
        picture.assign(bitmap->data, bitmap->data + bitmap->size);
      }
    }
    displist_Free(&list);
    NxCloseFile(file);
  }
  m_dialog->SetText(IDC_ATTRIBUTES, attributes);
  m_dialog->SetText(IDC_COMMENTS, texts[0]);
  m_dialog->SetText(IDC_AUTHOR, texts[1]);
  m_dialog->SetText(IDC_COPYRIGHT, texts[2]);
  m_dialog->SetPicture(IDC_PICTURE, picture.empty() ? nullptr : picture.data(), picture.size());
  m_dialog->Show(IDC_PICTURE, !picture.empty());
  m_dialog->Show(IDC_HEADER, picture.empty());
}

void CNxPropertyPage::ShowResultMessage(int code) {
  NxBoxMessages messages(m_dialog);
  ShowRecoveryMessage(messages, code);
}

// ---- Range controls -------------------------------------------------------------------------

LONG CNxPropertyPage::Get(HRESULT (STDMETHODCALLTYPE INxPlugInProp::*get)(LONG*)) const {
  LONG value = 0;
  (m_prop->*get)(&value);
  return value;
}

void CNxPropertyPage::Set(HRESULT (STDMETHODCALLTYPE INxPlugInProp::*set)(LONG), LONG value) {
  if (set != nullptr) (m_prop->*set)(value);
}

void CNxPropertyPage::SetupRange(const NxRangeBinding& b) {
  m_dialog->SetRange(b.control, b.minimum, b.maximum);
  m_dialog->SetSteps(b.control, b.lineStep, b.pageStep);
  if (b.kind == NxRangeKind::Spinner) {
    m_dialog->SetBuddy(b.control, b.display);
  } else {
    m_dialog->SetResetValue(b.control, b.resetValue);
  }
}

void CNxPropertyPage::ScrollRange(const NxRangeBinding& b, UINT action) {
  LONG next;
  if (b.kind == NxRangeKind::Spinner && action == kNxScrollEnd) {
    // The user may have typed into the buddy since: the scroll ends on its number.
    next = NxParseFixed(m_dialog->GetText(b.display, 9), 0);
  } else {
    next = NxScrollPosition(b.kind, m_dialog->Range(b.control), action, m_dialog->ControlKeyDown());
  }
  Set(b.set, next);
  UpdateControls(b.control);
}

void CNxPropertyPage::TypedRange(const NxRangeBinding& b) {
  Set(b.set, NxParseFixed(m_dialog->GetText(b.display, 9), b.decimals));
  UpdateControls(b.display);
}

void CNxPropertyPage::ShowRange(const NxRangeBinding& b, bool moveControl) {
  const LONG value = Get(b.get);
  if (moveControl) m_dialog->SetPosition(b.control, value);
  const NxText text = b.levelLabel ? NxLevelText(value, b.minimum) : NxFixedText(value, b.decimals);
  m_dialog->SetText(b.display, text.c_str());
}

namespace {

NxRangeBinding Fader(UINT control, UINT label, LONG reset,
                     HRESULT (STDMETHODCALLTYPE INxPlugInProp::*get)(LONG*),
                     HRESULT (STDMETHODCALLTYPE INxPlugInProp::*set)(LONG)) {
  return {control, label, NxRangeKind::Fader, -800, 200, reset, 1, 30, get, set, 1, true};
}

}  // namespace

void CNxPropertyPage::SetupFaders(LONG wetReset) {
  SetupRange(
      Fader(IDC_DRY, IDC_DRY_LABEL, -800, &INxPlugInProp::GetDryOut, &INxPlugInProp::SetDryOut));
  SetupRange(Fader(IDC_WET, IDC_WET_LABEL, wetReset, &INxPlugInProp::GetWetOut,
                   &INxPlugInProp::SetWetOut));
}

void CNxPropertyPage::ShowFaders(UINT id) {
  // The faders move only on a full refresh: the one being dragged stays under the pointer.
  if (id == 0 || id == IDC_DRY) {
    ShowRange(Fader(IDC_DRY, IDC_DRY_LABEL, -800, &INxPlugInProp::GetDryOut, nullptr), id == 0);
  }
  if (id == 0 || id == IDC_WET) {
    ShowRange(Fader(IDC_WET, IDC_WET_LABEL, 0, &INxPlugInProp::GetWetOut, nullptr), id == 0);
  }
}

bool CNxPropertyPage::ScrollFader(UINT id, UINT action, LONG wetReset) {
  if (id == IDC_DRY) {
    ScrollRange(
        Fader(IDC_DRY, IDC_DRY_LABEL, -800, &INxPlugInProp::GetDryOut, &INxPlugInProp::SetDryOut),
        action);
    return true;
  }
  if (id == IDC_WET) {
    ScrollRange(Fader(IDC_WET, IDC_WET_LABEL, wetReset, &INxPlugInProp::GetWetOut,
                      &INxPlugInProp::SetWetOut),
                action);
    return true;
  }
  return false;
}
