// The Envelope page (dialog 102): the envelope editor over the impulse's waveform with the decay
// marker, the impulse's summary fields, the faders, and packaging the impulse into the preset.
#include <algorithm>
#include <new>
#include <vector>

#include "impulse/impulse_loader.h"
#include "platform/file.h"
#include "platform/muldiv.h"
#include "recovery/recovery_message.h"
#include "toolkit/string_table.h"
#include "ui/pages/page_text.h"
#include "ui/pages/pages.h"
#include "ui/pages/property_page.h"

namespace {

constexpr LONG kLongestDecay = 1200;      // hundredths of a second
constexpr DWORD kDefaultFrames = 220500;  // shown when the impulse cannot be read: 5.00 s
constexpr DWORD kDefaultRate = 44100;
constexpr DWORD kLargestDrawnBytes = 8000000;  // larger impulses get no waveform
// Envelope and Summary pages reset the wet fader to silence; the General page to 0 dB.
constexpr LONG kWetReset = -800;

class EnvelopePage final : public CNxPropertyPage, private NxEnvelopeReceiver {
 public:
  explicit EnvelopePage(IUnknown* outer)
      : CNxPropertyPage("Envelope page", outer, kNxDialogEnvelope, IDS_PAGE_ENVELOPE) {}

 protected:
  bool HasImpulseSelector() const override { return true; }

  void InitControls() override {
    SetupFaders(kWetReset);
    CNxPropertyPage::InitControls();
  }

  void OnImpulseChosen() override {
    UpdateControls(IDC_IMPULSE);
    RefreshEnvelope();
  }

  bool OnPageCommand(UINT id, UINT code) override {
    if (code != kNxClicked) return false;
    if (id == IDC_APPLY_ENVELOPE) {
      const bool on = m_dialog->IsChecked(id);
      m_prop->SetApplyEnvelope(on ? 1 : 0);
      if (NxEnvelopeEditor* editor = m_dialog->EnvelopeEditor(IDC_ENVELOPE)) editor->Enable(on);
      m_dialog->Enable(IDC_ENVELOPE, on);
      return true;
    }
    if (id == IDC_RESET) {
      if (NxEnvelopeEditor* editor = m_dialog->EnvelopeEditor(IDC_ENVELOPE)) {
        editor->SetReceiver(nullptr);  // the points are written once, below
        editor->Reset();
        editor->SetReceiver(this);
        WritePoints(*editor);
      }
      return true;
    }
    if (id == IDC_PACKAGE) {
      Package();
      return true;
    }
    return false;
  }

  void OnPageScroll(UINT id, UINT action) override { ScrollFader(id, action, kWetReset); }

  void UpdateControls(UINT id) override {
    if (m_dialog == nullptr || m_prop == nullptr) return;
    if (id == 0 || id == IDC_IMPULSE) {
      ShowImpulseName();
      ShowSummaryFields(ReadImpulse());
    }
    if (id == 0 || id == IDC_ENVELOPE) RefreshEnvelope();
    ShowFaders(id == 0 || id == IDC_DRY || id == IDC_WET ? id : ~0u);
  }

 private:
  // The impulse's length in frames at its rate; 5.00 s when it cannot be read.
  void Length(const NxImpulseView& impulse, DWORD* frames, DWORD* rate) const {
    *frames = impulse.readable ? impulse.Frames() : kDefaultFrames;
    *rate = impulse.readable ? impulse.info.sampleRate : kDefaultRate;
  }

  void RefreshEnvelope() {
    NxEnvelopeEditor* editor = m_dialog->EnvelopeEditor(IDC_ENVELOPE);
    const NxImpulseView impulse = ReadImpulse();
    Length(impulse, &m_frames, &m_rate);
    const int hundredths =
        MulDiv(static_cast<int>(std::min<DWORD>(m_frames, INT32_MAX)), 100, static_cast<int>(m_rate));
    m_dialog->SetText(IDC_LENGTH,
                     NxFormatText(NXW("%d.%02d"), {hundredths / 100, hundredths % 100}).c_str());
    LONG apply = 0;
    m_prop->GetApplyEnvelope(&apply);
    m_dialog->SetCheck(IDC_APPLY_ENVELOPE, apply != 0);
    m_dialog->Enable(IDC_ENVELOPE, apply != 0);
    if (editor == nullptr) return;
    editor->Enable(apply != 0);
    editor->SetLevelRange(100);
    editor->SetTimeRange(1000);
    editor->SetMaxPoints(NxEnvelopeEditor::kMaxPoints);
    editor->ShowMarker(true);
    editor->SetReceiver(this);
    // Always 2 to 16 valid points: a count outside it is taken into it, and a point that was
    // not delivered stays at the default shape's end.
    LONG count = 0;
    m_prop->GetEnvelopeCount(&count);
    count = std::clamp<LONG>(count, NxEnvelopeEditor::kMinPoints, NxEnvelopeEditor::kMaxPoints);
    std::vector<EnvelopePoint> points(count, EnvelopePoint{1000, 0});
    m_prop->GetEnvelopePoints(points.data(), count);
    editor->SetPoints(points.data(), count);
    editor->SetMarker(NxDecayToMarker(Get(&INxPlugInProp::GetDecayLimit), m_frames, m_rate));
    DrawBackground(*editor, impulse, apply == 0);
  }

  void DrawBackground(NxEnvelopeEditor& editor, const NxImpulseView& impulse, bool envelopeOff) {
    if (!impulse.readable || impulse.info.dataBytes >= kLargestDrawnBytes) {
      editor.SetBackground(nullptr);
      return;
    }
    BeginWait();
    const DWORD frames = impulse.Frames();
    std::vector<float> first(frames), second(frames);
    const bool stereo = impulse.info.channels >= 2;
    const int loaded = LoadImpulse(impulse.path.c_str(), first.data(),
                                   stereo ? second.data() : nullptr, frames, 0);
    if (loaded > 0) {
      const SIZE size = m_dialog->ControlSize(IDC_ENVELOPE);
      NxWaveform waveform = NxReduceWaveform(first.data(), stereo ? second.data() : nullptr,
                                             static_cast<DWORD>(loaded),
                                             static_cast<DWORD>(std::max<LONG>(size.cx, 1)));
      waveform.envelopeOff = envelopeOff;
      editor.SetBackground(&waveform);
    } else {
      editor.SetBackground(nullptr);
    }
    EndWait();
  }

  void WritePoints(const NxEnvelopeEditor& editor) {
    EnvelopePoint points[NxEnvelopeEditor::kMaxPoints];
    const LONG count = editor.GetPoints(points, NxEnvelopeEditor::kMaxPoints);
    if (count >= NxEnvelopeEditor::kMinPoints) m_prop->SetEnvelopePoints(points, count);
  }

  // NxEnvelopeReceiver.
  void OnEnvelopePointsChanged() override {
    if (NxEnvelopeEditor* editor = m_dialog->EnvelopeEditor(IDC_ENVELOPE)) WritePoints(*editor);
  }
  void OnEnvelopePointsReset() override { OnEnvelopePointsChanged(); }
  void OnEnvelopePointer(LONG time, LONG level) override {
    const LONG hundredths = NxMarkerToDecay(time, m_frames, m_rate);
    m_dialog->SetText(IDC_POSITION, NxFormatText(NxGetString(IDS_ENVELOPE_POSITION),
                                                {level, hundredths / 100, hundredths % 100})
                                       .c_str());
  }
  void OnEnvelopeMarkerMoved(LONG position) override {
    const LONG decay =
        std::clamp<LONG>(NxMarkerToDecay(position, m_frames, m_rate), 1, kLongestDecay);
    m_prop->SetDecayLimit(decay);
  }

  void Package() {
    LONG packaged = 0;
    m_prop->GetPackageImpulse(&packaged);
    WCHAR name[260] = {};
    m_prop->GetImpulseFile(name, 260);
    if (packaged != 0 || name[0] == 0) return;
    const NxText target = NxPackagedImpulsePath();
    if (target.empty()) {
      ShowResultMessage(kRecoveryPackageFailed);
      return;
    }
    BeginWait();
    const int result = SaveImpulseFile(target.c_str(), name);
    EndWait();
    if (result < 0) {
      ShowResultMessage(kRecoveryPackageFailed);
      return;
    }
    m_prop->SetImpulseFile(target.c_str());
    m_prop->SetPackageImpulse(1);
    m_dialog->SetText(IDC_IMPULSE, NxGetString(IDS_IMPULSE_IN_PRESET));
  }

  DWORD m_frames = kDefaultFrames;
  DWORD m_rate = kDefaultRate;
};

}  // namespace

CUnknown* NxCreateEnvelopePage(IUnknown* outer, HRESULT* hr) {
  return NxCreatePage<EnvelopePage>(outer, hr);
}
