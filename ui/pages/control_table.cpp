#include "ui/pages/control_table.h"

using K = NxControlKind;

// Shared rows repeat under each dialog that has them, so that a template is one run of rows.
#define NX_SHARED_TOP(d) \
  {d, IDC_HEADER, K::HeaderStrip, ""}, { d, IDC_STATUS, K::Label, "" }
#define NX_IMPULSE_SELECTOR(d)                                                             \
  {d, IDC_IMPULSE_LABEL, K::Label, "&Impulse:"}, {d, IDC_IMPULSE, K::DropDownCombo, ""}, { \
    d, IDC_IMPULSE_BROWSE, K::Button, "Br&owse..."                                         \
  }
#define NX_FADERS(d)                                                            \
  {d, IDC_DRY, K::Fader, "&Dry Out"}, {d, IDC_DRY_LABEL, K::Label, "-96.0 dB"}, \
      {d, IDC_WET, K::Fader, "&Wet Out"}, {                                     \
    d, IDC_WET_LABEL, K::Label, "-96.0 dB"                                      \
  }
#define NX_SUMMARY_FIELDS(d)                                              \
  {d, 171, K::Label, "Attributes:"}, {d, IDC_ATTRIBUTES, K::Label, ""},   \
      {d, 174, K::Label, "Author:"}, {d, IDC_AUTHOR, K::Label, ""},       \
      {d, 173, K::Label, "Copyright:"}, {d, IDC_COPYRIGHT, K::Label, ""}, \
      {d, 178, K::Label, "Comments:"}, {d, IDC_COMMENTS, K::Label, ""}, { \
    d, IDC_PICTURE, K::Picture, ""                                        \
  }

const NxControlDef kNxControls[] = {
    NX_SHARED_TOP(kNxDialogGeneral),
    NX_IMPULSE_SELECTOR(kNxDialogGeneral),
    NX_FADERS(kNxDialogGeneral),
    {kNxDialogGeneral, IDC_WIDTH, K::Trackbar, "R&esponse width (0 to 100):"},
    {kNxDialogGeneral, IDC_WIDTH_EDIT, K::Edit, ""},
    {kNxDialogGeneral, IDC_DELAY, K::Trackbar, "Response dela&y (-500 to 500 ms):"},
    {kNxDialogGeneral, IDC_DELAY_EDIT, K::Edit, ""},
    {kNxDialogGeneral, 186, K::Label, "Pan (left to right, -100 to 100):"},
    {kNxDialogGeneral, IDC_PAN, K::Trackbar, ""},
    {kNxDialogGeneral, IDC_PAN_EDIT, K::Edit, ""},
    {kNxDialogGeneral, IDC_APPLY_ENVELOPE, K::CheckBox,
     "Apply en&velope and limit decay to (seconds):"},
    {kNxDialogGeneral, IDC_DECAY, K::Trackbar, ""},
    {kNxDialogGeneral, IDC_DECAY_EDIT, K::Edit, ""},
    {kNxDialogGeneral, IDC_LOW_ON, K::CheckBox, "&Low-shelf start freq. (Hz):"},
    {kNxDialogGeneral, IDC_LOW_FREQ_EDIT, K::Edit, ""},
    {kNxDialogGeneral, IDC_LOW_FREQ, K::Spinner, ""},
    {kNxDialogGeneral, IDC_LOW_GAIN, K::Trackbar, ""},
    {kNxDialogGeneral, IDC_LOW_GAIN_LABEL, K::Label, ""},
    {kNxDialogGeneral, IDC_HIGH_ON, K::CheckBox, "Hi&gh-shelf start freq. (Hz):"},
    {kNxDialogGeneral, IDC_HIGH_FREQ_EDIT, K::Edit, ""},
    {kNxDialogGeneral, IDC_HIGH_FREQ, K::Spinner, ""},
    {kNxDialogGeneral, IDC_HIGH_GAIN, K::Trackbar, ""},
    {kNxDialogGeneral, IDC_HIGH_GAIN_LABEL, K::Label, ""},
    {kNxDialogGeneral, IDC_MONO_TO_STEREO, K::CheckBox, "Conver&t mono to stereo"},
    {kNxDialogGeneral, IDC_QUALITY, K::Trackbar, "&Quality/speed (1 low/fast to 5 high/slow):"},
    {kNxDialogGeneral, IDC_QUALITY_LABEL, K::Label, ""},

    NX_SHARED_TOP(kNxDialogEnvelope),
    NX_IMPULSE_SELECTOR(kNxDialogEnvelope),
    NX_FADERS(kNxDialogEnvelope),
    NX_SUMMARY_FIELDS(kNxDialogEnvelope),
    {kNxDialogEnvelope, IDC_APPLY_ENVELOPE, K::CheckBox, "Apply en&velope and limit decay"},
    {kNxDialogEnvelope, IDC_ENVELOPE, K::EnvelopeEditor, ""},
    {kNxDialogEnvelope, 195, K::Label, "0 dB"},
    {kNxDialogEnvelope, 194, K::Label, "-20"},
    {kNxDialogEnvelope, 193, K::Label, "-40"},
    {kNxDialogEnvelope, 192, K::Label, "-60"},
    {kNxDialogEnvelope, 191, K::Label, "-80"},
    {kNxDialogEnvelope, 196, K::Label, "0"},
    {kNxDialogEnvelope, 170, K::Label, "Time (seconds)"},
    {kNxDialogEnvelope, IDC_LENGTH, K::Label, ""},
    {kNxDialogEnvelope, IDC_POSITION, K::Label, ""},
    {kNxDialogEnvelope, IDC_RESET, K::Button, "Rese&t"},
    {kNxDialogEnvelope, IDC_PACKAGE, K::Button, "Pac&kage Impulse into Preset"},

    NX_SHARED_TOP(kNxDialogRecover),
    {kNxDialogRecover, 152, K::Label, "R&ecorded file:"},
    {kNxDialogRecover, IDC_RECORDED_FILE, K::Edit, ""},
    {kNxDialogRecover, IDC_RECORDED_BROWSE, K::Button, "Browse..."},
    {kNxDialogRecover, 145, K::Label, "&Test file used:"},
    {kNxDialogRecover, IDC_TEST_FILE, K::DropDownCombo, ""},
    {kNxDialogRecover, IDC_TEST_BROWSE, K::Button, "Browse..."},
    {kNxDialogRecover, 148, K::Label, "&Impulse output file:"},
    {kNxDialogRecover, IDC_OUTPUT_FILE, K::Edit, ""},
    {kNxDialogRecover, IDC_OUTPUT_BROWSE, K::Button, "Browse..."},
    {kNxDialogRecover, IDC_REMOVE_LOW, K::CheckBox, "Remove very lo&w frequencies"},
    {kNxDialogRecover, IDC_RECOVER, K::Button, "Reco&ver Impulse"},
    {kNxDialogRecover, 146, K::Label, "Impulse recovery &mode:"},
    {kNxDialogRecover, IDC_MODE_FILE_ENDS, K::RadioButton,
     "Use the start and end of the recorded file as timing spikes"},
    {kNxDialogRecover, 1506, K::Label,
     "The recorded file must be trimmed so that the timing spikes occur at the very start and "
     "end samples of the file."},
    {kNxDialogRecover, IDC_MODE_AUTO, K::RadioButton, "Auto-detect timing spikes"},
    {kNxDialogRecover, 1507, K::Label,
     "The first timing spike must be present within first second of recorded file."},
    {kNxDialogRecover, IDC_MODE_NONE, K::RadioButton, "Do not use timing spikes"},
    {kNxDialogRecover, 1508, K::Label,
     "The recorded test tone begins at the start of the recorded file."},
    {kNxDialogRecover, 0xFFFF, K::Label,
     "This page is used to create your own impulse file from a test tone that you have "
     "recorded and saved to a sound file. It does not affect processing of normal sound files."},

    {kNxDialogAbout, IDC_HEADER, K::HeaderStrip, ""},
    {kNxDialogAbout, IDC_ABOUT_TITLE_LINE, K::Label, ""},
    {kNxDialogAbout, IDC_ABOUT_VERSION_LINE, K::Label, ""},
    {kNxDialogAbout, IDC_ABOUT_LINK, K::Label, ""},
    {kNxDialogAbout, 1, K::Button, "OK"},

    {kNxDialogProgress, IDC_PROGRESS_TEXT, K::Label, ""},
    {kNxDialogProgress, IDC_PROGRESS_BAR, K::ProgressBar, ""},
    {kNxDialogProgress, 2, K::Button, "Cancel"},

    NX_SHARED_TOP(kNxDialogSummary),
    NX_IMPULSE_SELECTOR(kNxDialogSummary),
    NX_FADERS(kNxDialogSummary),
    NX_SUMMARY_FIELDS(kNxDialogSummary),
    {kNxDialogSummary, IDC_QUALITY, K::Trackbar, "&Quality/speed (1 low/fast to 5 high/slow):"},
    {kNxDialogSummary, IDC_QUALITY_LABEL, K::Label, ""},
};
const size_t kNxControlCount = sizeof kNxControls / sizeof kNxControls[0];

const NxControlDef* NxFindControl(UINT dialog, UINT id) {
  for (const NxControlDef& def : kNxControls) {
    if (def.dialog == dialog && def.id == id) return &def;
  }
  return nullptr;
}

namespace {

struct HelpRow {
  DWORD context;
  UINT ids[7];  // zero-terminated when shorter
};

constexpr HelpRow kHelpRows[] = {
    {1001, {116, 117, 165}}, {1003, {118, 119, 166}},
    {1015, {120}},           {1016, {121, 122}},
    {1018, {123, 125, 167}}, {1022, {127, 128, 168}},
    {1024, {1500, 169}},     {1039, {131}},
    {1040, {132}},           {1042, {157}},
    {1043, {185}},           {1044, {141}},
    {1045, {142}},           {1046, {144, 170}},
    {1218, {159, 178}},      {1219, {160, 171}},
    {1220, {161, 172}},      {1221, {162, 173}},
    {1222, {163, 174}},      {1223, {164, 191, 192, 193, 194, 195, 196}},
    {1224, {130, 153, 190}}, {1225, {148, 151}},
    {1226, {179}},           {1227, {183}},
    {1228, {152, 156}},      {1229, {182}},
    {1230, {181}},           {1232, {145, 1501}},
    {1233, {180}},           {1234, {184}},
    {1235, {133}},           {1236, {139, 147}},
    {1237, {124, 149}},      {1238, {135, 136}},
    {1239, {137, 138}},      {1244, {146, 1503, 1504, 1505, 1506, 1507, 1508}},
    {1247, {189}},           {1248, {186, 187, 188}},
};

}  // namespace

DWORD NxHelpContext(UINT controlId) {
  if (controlId == 0) return 0;
  for (const HelpRow& row : kHelpRows) {
    for (UINT id : row.ids) {
      if (id == controlId) return row.context;
    }
  }
  return 0;
}
