// CNxPropertyPage: what the four pages share. The COM side (IPropertyPage), the connection to
// the filter's parameter interface, the page window's events (status line and its timer, page
// menu with the presets, help, the filter's notifications), the impulse selector with its
// recently used list, the range controls bound to parameters, the faders, the summary fields
// and the wait cursor.
#pragma once

#include <new>
#include <vector>

#include "frame/nx_plugin_prop.h"
#include "frame/static_filter_preset.h"
#include "impulse/impulse_info.h"
#include "impulse/settings.h"
#include "platform/dshow/cunknown.h"
#include "platform/dshow/property_pages.h"
#include "recovery/recovery_sinks.h"
#include "ui/pages/control_table.h"
#include "ui/pages/dialog.h"

// A trackbar, fader or spinner bound to one parameter, with the field that shows its value.
struct NxRangeBinding {
  UINT control;
  UINT display;  // edit field or label beside it
  NxRangeKind kind;
  LONG minimum;
  LONG maximum;
  LONG resetValue;
  LONG lineStep;
  LONG pageStep;
  HRESULT (STDMETHODCALLTYPE INxPlugInProp::*get)(LONG*);
  HRESULT (STDMETHODCALLTYPE INxPlugInProp::*set)(LONG);
  int decimals;     // the display shows value / 10^decimals
  bool levelLabel;  // the display is a level label ("-Inf." at the minimum)
};

// What the pages read of the impulse: the file examined (the packaged copy when the impulse is
// packaged) and its description.
struct NxImpulseView {
  NxText path;
  bool packaged = false;
  bool readable = false;  // the description holds no zero field
  ImpulseInfo info = {};
  DWORD Frames() const;
};

class CNxPropertyPage : public CUnknown, public IPropertyPage, protected NxDialogEvents {
 public:
  CNxPropertyPage(const char* name, IUnknown* outer, UINT dialogId, UINT titleId);
  ~CNxPropertyPage() override;

  DECLARE_IUNKNOWN
  HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID riid, void** object) override;

  // IPropertyPage.
  HRESULT STDMETHODCALLTYPE SetPageSite(IPropertyPageSite* site) override;
  HRESULT STDMETHODCALLTYPE Activate(HWND parent, const RECT* rect, BOOL modal) override;
  HRESULT STDMETHODCALLTYPE Deactivate() override;
  HRESULT STDMETHODCALLTYPE GetPageInfo(PROPPAGEINFO* info) override;
  HRESULT STDMETHODCALLTYPE SetObjects(ULONG count, IUnknown** objects) override;
  HRESULT STDMETHODCALLTYPE Show(UINT command) override;
  HRESULT STDMETHODCALLTYPE Move(const RECT* rect) override;
  HRESULT STDMETHODCALLTYPE IsPageDirty() override;
  HRESULT STDMETHODCALLTYPE Apply() override;
  HRESULT STDMETHODCALLTYPE Help(LPCOLESTR helpDir) override;
  HRESULT STDMETHODCALLTYPE TranslateAccelerator(MSG* msg) override;

 protected:
  // Page operations, in the base's slot order.
  virtual HRESULT OnConnect(IUnknown* object);
  virtual HRESULT OnDisconnect();
  virtual HRESULT OnActivate();
  virtual HRESULT OnDeactivate();
  virtual HRESULT OnApplyChanges();
  // Sets up the header strip; pages add their ranges.
  virtual void InitControls();
  // Shows the parameters; 0 refreshes every control, an id what shows that control's value.
  virtual void UpdateControls(UINT id) = 0;
  // Commands and scrolls of the page's own controls; false when not handled.
  virtual bool OnPageCommand(UINT id, UINT code);
  virtual void OnPageScroll(UINT id, UINT action);
  // After the user chose an impulse.
  virtual void OnImpulseChosen() { UpdateControls(IDC_IMPULSE); }
  virtual bool HasImpulseSelector() const { return false; }
  // Fills the recently used lists the page's combo boxes show.
  virtual void LoadRecentLists();

  // NxDialogEvents.
  void OnInit(NxDialog* dialog) override;
  void OnDestroy() override;
  void OnCommand(UINT id, UINT code) override;
  void OnScroll(UINT id, UINT action) override;
  void OnTimer(UINT id) override;
  void OnContextMenu(POINT at, bool fromKeyboard) override;
  void OnHelp(UINT controlId) override;
  int StatusTextColour() override;

  // ---- Helpers for the pages ----
  void SetupRange(const NxRangeBinding& binding);
  // Writes the position the user scrolled to, then refreshes that control.
  void ScrollRange(const NxRangeBinding& binding, UINT action);
  // Writes the number typed into the binding's edit field, then refreshes the field.
  void TypedRange(const NxRangeBinding& binding);
  // Shows the parameter in the display; moves the control too when `moveControl`.
  void ShowRange(const NxRangeBinding& binding, bool moveControl);
  LONG Get(HRESULT (STDMETHODCALLTYPE INxPlugInProp::*get)(LONG*)) const;
  void Set(HRESULT (STDMETHODCALLTYPE INxPlugInProp::*set)(LONG), LONG value);
  // The faders (123, 127) with their labels, with the wet fader's reset value of this page.
  void SetupFaders(LONG wetReset);
  void ShowFaders(UINT id);
  bool ScrollFader(UINT id, UINT action, LONG wetReset);

  NxImpulseView ReadImpulse() const;
  // The impulse combo's edit field: the name, or "<Impulse is contained in preset>".
  void ShowImpulseName();
  // Attributes, author, copyright, comments and the picture of the impulse's sample source.
  void ShowSummaryFields(const NxImpulseView& impulse);
  // Shows the message of a recovery result over the page.
  void ShowResultMessage(int code);
  // The wait cursor, nested: the normal cursor is saved once when the first wait begins and
  // restored when the last one ends.
  void BeginWait();
  void EndWait();

  NxDialog* m_dialog = nullptr;
  INxPlugInProp* m_prop = nullptr;
  IStaticFilterPreset* m_presets = nullptr;
  // The impulse that was refused for its channel count, so its message shows once.
  NxText m_refusedImpulse;

 private:
  void PollStatus();
  void ShowPageMenu(POINT at, bool fromKeyboard);
  void ChooseImpulse(const NxText& name, bool addToList);
  void FillImpulseCombo();

  const UINT m_dialogId;
  const UINT m_titleId;
  IPropertyPageSite* m_site = nullptr;
  bool m_dirty = false;
  bool m_timerStarted = false;
  LONG m_lastStatus = -1;
  bool m_statusWait = false;
  int m_waitDepth = 0;
  HCURSOR m_savedCursor = nullptr;
  NxMruBox m_impulseList;
  // Command 40500 + k applies preset m_presetMenu[k].
  std::vector<LONG> m_presetMenu;
};

// Recovery's messages as message boxes over a page window.
class NxBoxMessages final : public RecoveryMessageSink {
 public:
  explicit NxBoxMessages(NxDialog* dialog) : m_dialog(dialog) {}
  int Show(LPCWSTR text, LPCWSTR caption, UINT style) override {
    return m_dialog->ShowMessageBox(text, caption, style);
  }

 private:
  NxDialog* m_dialog;
};

// The packaged impulse's file, "~IRX.TMP" in the module's folder (empty when unknown).
NxText NxPackagedImpulsePath();

// Creates one page for the class factory; E_OUTOFMEMORY in `hr` when there is no memory.
template <class Page>
CUnknown* NxCreatePage(IUnknown* outer, HRESULT* hr) {
  CUnknown* page = new (std::nothrow) Page(outer);
  if (hr != nullptr) *hr = page != nullptr ? S_OK : E_OUTOFMEMORY;
  return page;
}
