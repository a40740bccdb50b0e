// The Summary page (dialog 115): impulse selection, its summary and picture, the faders and the
// quality.
#include <new>

#include "toolkit/string_table.h"
#include "ui/pages/pages.h"
#include "ui/pages/property_page.h"

namespace {

constexpr LONG kWetReset = -800;
const NxRangeBinding kQuality = {
    IDC_QUALITY, IDC_QUALITY_LABEL,          NxRangeKind::Trackbar,      1, 5,    3, 1,
    1,           &INxPlugInProp::GetQuality, &INxPlugInProp::SetQuality, 0, false};

class SummaryPage final : public CNxPropertyPage {
 public:
  explicit SummaryPage(IUnknown* outer)
      : CNxPropertyPage("Summary page", outer, kNxDialogSummary, IDS_PAGE_SUMMARY) {}

 protected:
  bool HasImpulseSelector() const override { return true; }

  void InitControls() override {
    SetupFaders(kWetReset);
    SetupRange(kQuality);
    CNxPropertyPage::InitControls();
  }

  // A new impulse brings its own summary and picture, not only its name.
  void OnImpulseChosen() override { UpdateControls(0); }

  void OnPageScroll(UINT id, UINT action) override {
    if (ScrollFader(id, action, kWetReset)) return;
    if (id == IDC_QUALITY) ScrollRange(kQuality, action);
  }

  void UpdateControls(UINT id) override {
    if (m_dialog == nullptr || m_prop == nullptr) return;
    if (id == 0 || id == IDC_IMPULSE) ShowImpulseName();
    if (id == 0) ShowSummaryFields(ReadImpulse());
    if (id == 0 || id == IDC_QUALITY) ShowRange(kQuality, true);
    ShowFaders(id == 0 || id == IDC_DRY || id == IDC_WET ? id : ~0u);
  }
};

}  // namespace

CUnknown* NxCreateSummaryPage(IUnknown* outer, HRESULT* hr) {
  return NxCreatePage<SummaryPage>(outer, hr);
}
