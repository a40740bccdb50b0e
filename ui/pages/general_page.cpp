// The General page (dialog 101): every setting that shapes the impulse and the mix.
#include <algorithm>
#include <new>

#include "platform/muldiv.h"
#include "recovery/recovery_message.h"
#include "toolkit/string_table.h"
#include "ui/pages/page_text.h"
#include "ui/pages/pages.h"
#include "ui/pages/property_page.h"

namespace {

using P = INxPlugInProp;
using K = NxRangeKind;

constexpr LONG kLongestDecay = 1200;  // hundredths of a second
constexpr LONG kWetReset = 0;

// The ranges of the page; the decay's maximum follows the impulse.
const NxRangeBinding kWidth = {
    IDC_WIDTH, IDC_WIDTH_EDIT,       K::Trackbar,          0, 100,  50, 1,
    10,        &P::GetResponseWidth, &P::SetResponseWidth, 0, false};
const NxRangeBinding kDelay = {
    IDC_DELAY, IDC_DELAY_EDIT,       K::Trackbar,          -5000, 5000, 0, 1,
    100,       &P::GetResponseDelay, &P::SetResponseDelay, 1,     false};
const NxRangeBinding kPan = {IDC_PAN, IDC_PAN_EDIT, K::Trackbar, -100,       100, 0,
                             1,       10,           &P::GetPan,  &P::SetPan, 0,   false};
const NxRangeBinding kDecay = {
    IDC_DECAY, IDC_DECAY_EDIT,    K::Trackbar,       1, kLongestDecay, 140, 1,
    50,        &P::GetDecayLimit, &P::SetDecayLimit, 2, false};
const NxRangeBinding kLowFreq = {
    IDC_LOW_FREQ, IDC_LOW_FREQ_EDIT,   K::Spinner,          20, 15000, 0, 1,
    10,           &P::GetLowShelfFreq, &P::SetLowShelfFreq, 0,  false};
const NxRangeBinding kHighFreq = {
    IDC_HIGH_FREQ, IDC_HIGH_FREQ_EDIT,   K::Spinner,           20, 20000, 0, 1,
    100,           &P::GetHighShelfFreq, &P::SetHighShelfFreq, 0,  false};
const NxRangeBinding kLowGain = {
    IDC_LOW_GAIN, IDC_LOW_GAIN_LABEL,  K::Trackbar,         -150, 150, 0, 1,
    10,           &P::GetLowShelfGain, &P::SetLowShelfGain, 1,    true};
const NxRangeBinding kHighGain = {
    IDC_HIGH_GAIN,        IDC_HIGH_GAIN_LABEL,  K::Trackbar, -150, 150, 0, 1, 10,
    &P::GetHighShelfGain, &P::SetHighShelfGain, 1,           true};
const NxRangeBinding kQuality = {IDC_QUALITY, IDC_QUALITY_LABEL, K::Trackbar,    1, 5,    3, 1,
                                 1,           &P::GetQuality,    &P::SetQuality, 0, false};

const NxRangeBinding* const kRanges[] = {&kWidth,    &kDelay,   &kPan,      &kDecay,  &kLowFreq,
                                         &kHighFreq, &kLowGain, &kHighGain, &kQuality};

struct CheckRow {
  UINT id;
  HRESULT (STDMETHODCALLTYPE P::*get)(LONG*);
  HRESULT (STDMETHODCALLTYPE P::*set)(LONG);
  UINT enables[4];  // controls enabled while checked, 0-terminated
};
const CheckRow kChecks[] = {
    {IDC_APPLY_ENVELOPE, &P::GetApplyEnvelope, &P::SetApplyEnvelope, {IDC_DECAY, IDC_DECAY_EDIT}},
    {IDC_LOW_ON,
     &P::GetLowShelfOn,
     &P::SetLowShelfOn,
     {IDC_LOW_GAIN, IDC_LOW_FREQ_EDIT, IDC_LOW_GAIN_LABEL, IDC_LOW_FREQ}},
    {IDC_HIGH_ON,
     &P::GetHighShelfOn,
     &P::SetHighShelfOn,
     {IDC_HIGH_GAIN, IDC_HIGH_FREQ_EDIT, IDC_HIGH_GAIN_LABEL, IDC_HIGH_FREQ}},
    {IDC_MONO_TO_STEREO, &P::GetMonoToStereo, &P::SetMonoToStereo, {}},
};

class GeneralPage final : public CNxPropertyPage {
 public:
  explicit GeneralPage(IUnknown* outer)
      : CNxPropertyPage("General page", outer, kNxDialogGeneral, IDS_PAGE_GENERAL) {}

 protected:
  bool HasImpulseSelector() const override { return true; }

  void InitControls() override {
    for (const NxRangeBinding* range : kRanges) SetupRange(*range);
    SetupFaders(kWetReset);
    CNxPropertyPage::InitControls();
  }

  void OnImpulseChosen() override { UpdateControls(IDC_IMPULSE); }

  bool OnPageCommand(UINT id, UINT code) override {
    if (code == kNxEditKillFocus) {
      for (const NxRangeBinding* range : kRanges) {
        if (range->display == id && !range->levelLabel && range != &kQuality) {
          TypedRange(*range);
          return true;
        }
      }
    }
    if (code == kNxClicked) {
      for (const CheckRow& row : kChecks) {
        if (row.id == id) {
          Set(row.set, m_dialog->IsChecked(id) ? 1 : 0);
          UpdateControls(id);
          return true;
        }
      }
    }
    return false;
  }

  void OnPageScroll(UINT id, UINT action) override {
    if (ScrollFader(id, action, kWetReset)) return;
    for (const NxRangeBinding* range : kRanges) {
      if (range->control != id) continue;
      if (range == &kDecay) {
        // The decay's range follows the impulse, not the binding's.
        NxRangeBinding decay = kDecay;
        decay.maximum = m_decayMaximum;
        ScrollRange(decay, action);
      } else {
        ScrollRange(*range, action);
      }
      return;
    }
  }

  void UpdateControls(UINT id) override {
    if (m_dialog == nullptr || m_prop == nullptr) return;
    const bool all = id == 0;
    auto names = [id](std::initializer_list<UINT> ids) {
      return id == 0 || std::find(ids.begin(), ids.end(), id) != ids.end();
    };
    if (names({IDC_IMPULSE})) {
      ShowImpulseName();
      RefreshDecayRange();
    }
    if (names({IDC_WIDTH, IDC_WIDTH_EDIT})) ShowRange(kWidth, all || id == IDC_WIDTH_EDIT);
    if (names({IDC_PAN, IDC_PAN_EDIT})) ShowRange(kPan, all || id == IDC_PAN_EDIT);
    if (names({IDC_QUALITY})) ShowRange(kQuality, true);
    if (names({IDC_DELAY, IDC_DELAY_EDIT})) ShowRange(kDelay, id != IDC_DELAY);
    if (names({IDC_LOW_GAIN})) ShowRange(kLowGain, true);
    if (names({IDC_HIGH_GAIN})) ShowRange(kHighGain, true);
    if (names({IDC_MONO_TO_STEREO})) ShowCheck(kChecks[3], all);
    if (names({IDC_APPLY_ENVELOPE})) ShowCheck(kChecks[0], all);
    if (names({IDC_DECAY, IDC_DECAY_EDIT, IDC_IMPULSE})) ShowDecay(id != IDC_DECAY);
    ShowFaders(id == IDC_DRY || id == IDC_WET ? id : (all ? 0 : ~0u));
    if (names({IDC_LOW_FREQ, IDC_LOW_FREQ_EDIT})) ShowSpinner(kLowFreq);
    if (names({IDC_HIGH_FREQ, IDC_HIGH_FREQ_EDIT})) ShowSpinner(kHighFreq);
    if (names({IDC_LOW_ON})) ShowCheck(kChecks[1], all);
    if (names({IDC_HIGH_ON})) ShowCheck(kChecks[2], all);
  }

 private:
  void ShowCheck(const CheckRow& row, bool setCheck) {
    const bool on = Get(row.get) != 0;
    if (setCheck) m_dialog->SetCheck(row.id, on);
    for (UINT control : row.enables) {
      if (control != 0) m_dialog->Enable(control, on);
    }
  }

  void ShowSpinner(const NxRangeBinding& range) {
    // The spinner's position is the value it steps from next.
    ShowRange(range, true);
  }

  // The decay trackbar spans 1 to the impulse's length (at most 12 s). A stored limit beyond it
  // is shown clamped but not written back: opening the page must not change the settings.
  void RefreshDecayRange() {
    const NxImpulseView impulse = ReadImpulse();
    m_decayMaximum = kLongestDecay;
    if (impulse.readable && impulse.info.channels > 2) {
      RefuseImpulse(impulse);
      return;
    }
    if (impulse.readable) {
      const int length = MulDiv(static_cast<int>(impulse.Frames()), 100,
                                static_cast<int>(impulse.info.sampleRate));
      m_decayMaximum = std::clamp<LONG>(length, 1, kLongestDecay);
    }
    m_dialog->SetRange(IDC_DECAY, 1, m_decayMaximum);
  }

  void ShowDecay(bool moveControl) {
    const LONG shown = std::clamp<LONG>(Get(&P::GetDecayLimit), 1, m_decayMaximum);
    if (moveControl) m_dialog->SetPosition(IDC_DECAY, shown);
    m_dialog->SetText(IDC_DECAY_EDIT, NxFixedText(shown, 2).c_str());
  }

  // More than two channels: the impulse is dropped and its message shown once for this choice,
  // also when a refresh comes again while the message is up.
  void RefuseImpulse(const NxImpulseView& impulse) {
    m_prop->SetImpulseFile(NXW(""));
    m_prop->SetPackageImpulse(0);
    m_dialog->SetText(IDC_IMPULSE, NXW(""));
    m_dialog->SetRange(IDC_DECAY, 1, m_decayMaximum);
    if (m_refusedImpulse == impulse.path) return;
    m_refusedImpulse = impulse.path;
    ShowResultMessage(kRecoveryNotATestFile);
  }

  LONG m_decayMaximum = kLongestDecay;
};

}  // namespace

CUnknown* NxCreateGeneralPage(IUnknown* outer, HRESULT* hr) {
  return NxCreatePage<GeneralPage>(outer, hr);
}
