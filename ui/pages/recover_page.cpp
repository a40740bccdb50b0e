// The Recover page (dialog 103): the recorded file, the test file, the output file, the options
// and the recovery itself.
#include <new>

#include "recovery/recover_impulse.h"
#include "toolkit/string_table.h"
#include "ui/pages/file_dialog.h"
#include "ui/pages/pages.h"
#include "ui/pages/progress_dialog.h"
#include "ui/pages/property_page.h"

namespace {

constexpr DWORD kNameUnits = 260;

// One recovery at a time in the whole module: the progress window dispatches messages, so a
// second press of "Recover Impulse" (on this page or another one) arrives while a run is going.
bool g_recovering = false;

typedef HRESULT (STDMETHODCALLTYPE INxPlugInProp::*NameGetter)(WCHAR*, LONG);

class RecoverPage final : public CNxPropertyPage {
 public:
  explicit RecoverPage(IUnknown* outer)
      : CNxPropertyPage("Recover page", outer, kNxDialogRecover, IDS_PAGE_RECOVER) {}

 protected:
  void LoadRecentLists() override {
    NxMru_Load(kNxMruTestFiles, &m_testList);
    FillTestCombo();
  }

  bool OnPageCommand(UINT id, UINT code) override {
    if ((id == IDC_RECORDED_FILE || id == IDC_OUTPUT_FILE) && code == kNxEditKillFocus) {
      const NxText text = m_dialog->GetText(id, kNameUnits - 1);
      if (id == IDC_RECORDED_FILE) {
        m_prop->SetRecordedFile(text.c_str());
      } else {
        m_prop->SetOutputFile(text.c_str());
      }
      UpdateControls(id);
      return true;
    }
    if (id == IDC_TEST_FILE && (code == kNxComboSelChange || code == kNxComboKillFocus)) {
      const bool edited = code == kNxComboKillFocus;
      const int selected = m_dialog->ComboSelection(id);
      const NxText text = edited ? m_dialog->GetText(id, kNameUnits - 1)
                                 : (selected >= 0 ? m_dialog->ComboItem(id, selected) : NxText());
      if (!edited && selected < 0) return true;
      SetTestFile(text, edited);
      return true;
    }
    if (code != kNxClicked) return false;
    switch (id) {
      case IDC_RECORDED_BROWSE:
        Browse(false, IDS_SELECT_RECORDED_FILE, kNxRecordedLastDir, IDC_RECORDED_FILE);
        return true;
      case IDC_TEST_BROWSE:
        Browse(false, IDS_SELECT_TEST_TONE_FILE, kNxSweepLastDir, IDC_TEST_FILE);
        return true;
      case IDC_OUTPUT_BROWSE:
        Browse(true, IDS_SELECT_DESTINATION_FILE, kNxDestLastDir, IDC_OUTPUT_FILE);
        return true;
      case IDC_REMOVE_LOW:
        m_prop->SetRemoveLowFreq(m_dialog->IsChecked(id) ? 1 : 0);
        UpdateControls(id);
        return true;
      case IDC_MODE_NONE:
      case IDC_MODE_AUTO:
      case IDC_MODE_FILE_ENDS: {
        LONG mode = IDC_MODE_NONE;
        for (UINT radio : {IDC_MODE_NONE, IDC_MODE_AUTO, IDC_MODE_FILE_ENDS}) {
          if (m_dialog->IsChecked(radio)) mode = static_cast<LONG>(radio);
        }
        m_prop->SetRecoveryMode(mode);
        UpdateControls(id);
        return true;
      }
      case IDC_RECOVER:
        Recover();
        return true;
      default:
        return false;
    }
  }

  void UpdateControls(UINT id) override {
    if (m_dialog == nullptr || m_prop == nullptr) return;
    if (id == 0 || id == IDC_TEST_FILE) ShowName(IDC_TEST_FILE, &INxPlugInProp::GetTestFile);
    if (id == 0 || id == IDC_RECORDED_FILE)
      ShowName(IDC_RECORDED_FILE, &INxPlugInProp::GetRecordedFile);
    if (id == 0 || id == IDC_OUTPUT_FILE) ShowName(IDC_OUTPUT_FILE, &INxPlugInProp::GetOutputFile);
    if (id != 0) return;
    m_dialog->SetCheck(IDC_REMOVE_LOW, Get(&INxPlugInProp::GetRemoveLowFreq) != 0);
    const LONG mode = Get(&INxPlugInProp::GetRecoveryMode);
    for (UINT radio : {IDC_MODE_NONE, IDC_MODE_AUTO, IDC_MODE_FILE_ENDS}) {
      m_dialog->SetCheck(radio, static_cast<LONG>(radio) == mode);
    }
  }

 private:
  NxText Name(NameGetter get) const {
    WCHAR name[kNameUnits] = {};
    (m_prop->*get)(name, kNameUnits);
    return name;
  }

  void ShowName(UINT id, NameGetter get) { m_dialog->SetText(id, Name(get).c_str()); }

  void FillTestCombo() {
    m_dialog->ClearCombo(IDC_TEST_FILE);
    for (const NxText& name : m_testList) m_dialog->AddComboItem(IDC_TEST_FILE, name.c_str());
  }

  void SetTestFile(const NxText& name, bool addToList) {
    m_prop->SetTestFile(name.c_str());
    if (addToList && NxMru_Add(&m_testList, kNxMruTestFiles, name.c_str(), NxMruKind::Files) >= 0) {
      FillTestCombo();
      m_dialog->SelectComboItem(IDC_TEST_FILE, 0);
    }
    UpdateControls(IDC_TEST_FILE);
  }

  // The browse dialog of the name shown in `field`.
  void Browse(bool save, UINT titleId, LPCWSTR folderKey, UINT field) {
    NxText name = Name(field == IDC_TEST_FILE       ? &INxPlugInProp::GetTestFile
                       : field == IDC_RECORDED_FILE ? &INxPlugInProp::GetRecordedFile
                                                    : &INxPlugInProp::GetOutputFile);
    if (NxChooseFile(*m_dialog, save, titleId, IDS_FILTER_WAVE, folderKey, &name)) {
      if (field == IDC_TEST_FILE) {
        SetTestFile(name, true);
      } else if (field == IDC_RECORDED_FILE) {
        m_prop->SetRecordedFile(name.c_str());
      } else {
        m_prop->SetOutputFile(name.c_str());
      }
    }
    // Confirmed or not, the page is shown afresh.
    InitControls();
    UpdateControls(0);
  }

  void Recover() {
    if (g_recovering) return;
    g_recovering = true;
    const NxText test = Name(&INxPlugInProp::GetTestFile);
    const NxText recorded = Name(&INxPlugInProp::GetRecordedFile);
    const NxText output = Name(&INxPlugInProp::GetOutputFile);
    RecoveryRequest request = {test.c_str(), recorded.c_str(), output.c_str(),
                               Get(&INxPlugInProp::GetRecoveryMode),
                               Get(&INxPlugInProp::GetRemoveLowFreq) != 0};
    // The run pumps messages: the page window may be destroyed before it returns, and the page
    // with it once the host lets go, so the run holds both.
    NxDialog* dialog = m_dialog;
    NonDelegatingAddRef();
    dialog->Hold();
    {
      NxProgressDialog progress(dialog);
      NxBoxMessages messages(dialog);
      RecoverImpulse(request, progress, messages);
    }
    dialog->Release();
    g_recovering = false;
    NonDelegatingRelease();  // last: it may delete this page
  }

  NxMruBox m_testList;
};

}  // namespace

CUnknown* NxCreateRecoverPage(IUnknown* outer, HRESULT* hr) {
  return NxCreatePage<RecoverPage>(outer, hr);
}
