#include "ui/pages/control_table.h"

using K = NxControlKind;
using A = NxAlign;

namespace {

constexpr NxControlDef Row(UINT dialog, UINT id, K kind, const char* text, NxDluRect rect,
                           A align = A::Left) {
  return {dialog, id, kind, text, rect, {0, 0, 0, 0}, align};
}
// A trackbar or fader with its caption above it.
constexpr NxControlDef Captioned(UINT dialog, UINT id, K kind, const char* text,
                                 NxDluRect caption, NxDluRect rect) {
  return {dialog, id, kind, text, rect, caption, A::Left};
}

constexpr UINT G = kNxDialogGeneral;
constexpr UINT E = kNxDialogEnvelope;
constexpr UINT R = kNxDialogRecover;
constexpr UINT S = kNxDialogSummary;
constexpr UINT F = kNxDialogFilePanel;

}  // namespace

const NxDialogDef kNxDialogs[] = {
    {kNxDialogGeneral, 323, 209, true},   {kNxDialogEnvelope, 323, 209, true},
    {kNxDialogRecover, 323, 209, true},   {kNxDialogAbout, 200, 78, false},
    {kNxDialogProgress, 200, 58, false},  {kNxDialogSummary, 323, 209, true},
    {kNxDialogFilePanel, 296, 94, true},
};
const size_t kNxDialogCount = sizeof kNxDialogs / sizeof kNxDialogs[0];

// The impulse selector sits on the same line of every page that has one.
#define NX_IMPULSE_SELECTOR(d)                                             \
  Row(d, IDC_IMPULSE_LABEL, K::Label, "&Impulse:", {6, 22, 34, 8}),        \
      Row(d, IDC_IMPULSE, K::DropDownCombo, "", {42, 20, 226, 120}),       \
      Row(d, IDC_IMPULSE_BROWSE, K::Button, "Br&owse...", {272, 19, 46, 14})

const NxControlDef kNxControls[] = {
    // ---- General ----
    Row(G, IDC_HEADER, K::HeaderStrip, "", {0, 0, 323, 16}),
    NX_IMPULSE_SELECTOR(G),
    Captioned(G, IDC_WIDTH, K::Trackbar, "R&esponse width (0 to 100):", {6, 38, 200, 8},
              {6, 47, 198, 14}),
    Row(G, IDC_WIDTH_EDIT, K::Edit, "", {208, 48, 36, 12}),
    Captioned(G, IDC_DELAY, K::Trackbar, "Response dela&y (-500 to 500 ms):", {6, 64, 200, 8},
              {6, 73, 198, 14}),
    Row(G, IDC_DELAY_EDIT, K::Edit, "", {208, 74, 36, 12}),
    Row(G, 186, K::Label, "Pan (left to right, -100 to 100):", {6, 90, 200, 8}),
    Row(G, IDC_PAN, K::Trackbar, "", {6, 99, 198, 14}),
    Row(G, IDC_PAN_EDIT, K::Edit, "", {208, 100, 36, 12}),
    Row(G, IDC_APPLY_ENVELOPE, K::CheckBox, "Apply en&velope and limit decay to (seconds):",
        {6, 116, 200, 10}),
    Row(G, IDC_DECAY, K::Trackbar, "", {6, 127, 198, 14}),
    Row(G, IDC_DECAY_EDIT, K::Edit, "", {208, 128, 36, 12}),
    Row(G, IDC_LOW_ON, K::CheckBox, "&Low-shelf start freq. (Hz):", {6, 146, 116, 10}),
    Row(G, IDC_LOW_FREQ_EDIT, K::Edit, "", {124, 145, 30, 12}),
    Row(G, IDC_LOW_FREQ, K::Spinner, "", {154, 145, 10, 12}),
    Row(G, IDC_LOW_GAIN, K::Trackbar, "", {166, 144, 52, 14}),
    Row(G, IDC_LOW_GAIN_LABEL, K::Label, "", {218, 147, 32, 8}, A::Right),
    Row(G, IDC_HIGH_ON, K::CheckBox, "Hi&gh-shelf start freq. (Hz):", {6, 162, 116, 10}),
    Row(G, IDC_HIGH_FREQ_EDIT, K::Edit, "", {124, 161, 30, 12}),
    Row(G, IDC_HIGH_FREQ, K::Spinner, "", {154, 161, 10, 12}),
    Row(G, IDC_HIGH_GAIN, K::Trackbar, "", {166, 160, 52, 14}),
    Row(G, IDC_HIGH_GAIN_LABEL, K::Label, "", {218, 163, 32, 8}, A::Right),
    Row(G, IDC_MONO_TO_STEREO, K::CheckBox, "Conver&t mono to stereo", {6, 177, 110, 10}),
    Captioned(G, IDC_QUALITY, K::Trackbar, "&Quality/speed (1 low/fast to 5 high/slow):",
              {6, 190, 158, 8}, {166, 187, 52, 14}),
    Row(G, IDC_QUALITY_LABEL, K::Label, "", {222, 190, 12, 8}),
    Captioned(G, IDC_DRY, K::Fader, "&Dry Out", {252, 38, 32, 8}, {256, 48, 24, 118}),
    Row(G, IDC_DRY_LABEL, K::Label, "-96.0 dB", {250, 168, 34, 8}, A::Centre),
    Captioned(G, IDC_WET, K::Fader, "&Wet Out", {286, 38, 32, 8}, {290, 48, 24, 118}),
    Row(G, IDC_WET_LABEL, K::Label, "-96.0 dB", {284, 168, 34, 8}, A::Centre),
    Row(G, IDC_STATUS, K::Label, "", {240, 190, 78, 8}, A::Centre),

    // ---- Envelope ----
    Row(E, IDC_HEADER, K::HeaderStrip, "", {0, 0, 323, 16}),
    NX_IMPULSE_SELECTOR(E),
    Row(E, IDC_APPLY_ENVELOPE, K::CheckBox, "Apply en&velope and limit decay", {6, 36, 140, 10}),
    Row(E, IDC_POSITION, K::Label, "", {130, 37, 124, 8}, A::Right),
    Row(E, 195, K::Label, "0 dB", {2, 46, 24, 8}, A::Right),
    Row(E, 194, K::Label, "-20", {2, 62, 24, 8}, A::Right),
    Row(E, 193, K::Label, "-40", {2, 79, 24, 8}, A::Right),
    Row(E, 192, K::Label, "-60", {2, 96, 24, 8}, A::Right),
    Row(E, 191, K::Label, "-80", {2, 110, 24, 8}, A::Right),
    Row(E, IDC_ENVELOPE, K::EnvelopeEditor, "", {28, 49, 227, 68}),
    Row(E, 196, K::Label, "0", {28, 119, 20, 8}),
    Row(E, 170, K::Label, "Time (seconds)", {101, 119, 80, 8}, A::Centre),
    Row(E, IDC_LENGTH, K::Label, "", {205, 119, 50, 8}, A::Right),
    Captioned(E, IDC_DRY, K::Fader, "&Dry Out", {260, 37, 28, 8}, {264, 49, 20, 68}),
    Row(E, IDC_DRY_LABEL, K::Label, "-96.0 dB", {257, 119, 32, 8}, A::Centre),
    Captioned(E, IDC_WET, K::Fader, "&Wet Out", {290, 37, 28, 8}, {294, 49, 20, 68}),
    Row(E, IDC_WET_LABEL, K::Label, "-96.0 dB", {288, 119, 32, 8}, A::Centre),
    Row(E, IDC_RESET, K::Button, "Rese&t", {6, 131, 46, 14}),
    Row(E, IDC_PACKAGE, K::Button, "Pac&kage Impulse into Preset", {56, 131, 116, 14}),
    Row(E, 171, K::Label, "Attributes:", {6, 150, 44, 8}),
    Row(E, IDC_ATTRIBUTES, K::Label, "", {50, 150, 150, 8}),
    Row(E, 174, K::Label, "Author:", {6, 160, 44, 8}),
    Row(E, IDC_AUTHOR, K::Label, "", {50, 160, 150, 8}),
    Row(E, 173, K::Label, "Copyright:", {6, 170, 44, 8}),
    Row(E, IDC_COPYRIGHT, K::Label, "", {50, 170, 150, 8}),
    Row(E, 178, K::Label, "Comments:", {6, 180, 44, 8}),
    Row(E, IDC_COMMENTS, K::Label, "", {50, 180, 150, 16}),
    Row(E, IDC_PICTURE, K::Picture, "", {206, 131, 112, 64}),
    Row(E, IDC_STATUS, K::Label, "", {6, 199, 311, 8}, A::Centre),

    // ---- Recover ----
    Row(R, IDC_HEADER, K::HeaderStrip, "", {0, 0, 323, 16}),
    Row(R, IDC_UNNAMED, K::Label,
        "This page is used to create your own impulse file from a test tone that you have "
        "recorded and saved to a sound file. It does not affect processing of normal sound files.",
        {6, 20, 311, 18}),
    Row(R, 152, K::Label, "R&ecorded file:", {6, 44, 70, 8}),
    Row(R, IDC_RECORDED_FILE, K::Edit, "", {80, 42, 188, 12}),
    Row(R, IDC_RECORDED_BROWSE, K::Button, "Browse...", {272, 41, 46, 14}),
    Row(R, 145, K::Label, "&Test file used:", {6, 61, 70, 8}),
    Row(R, IDC_TEST_FILE, K::DropDownCombo, "", {80, 59, 188, 120}),
    Row(R, IDC_TEST_BROWSE, K::Button, "Browse...", {272, 58, 46, 14}),
    Row(R, 148, K::Label, "&Impulse output file:", {6, 78, 70, 8}),
    Row(R, IDC_OUTPUT_FILE, K::Edit, "", {80, 76, 188, 12}),
    Row(R, IDC_OUTPUT_BROWSE, K::Button, "Browse...", {272, 75, 46, 14}),
    Row(R, IDC_REMOVE_LOW, K::CheckBox, "Remove very lo&w frequencies", {80, 95, 150, 10}),
    Row(R, IDC_RECOVER, K::Button, "Reco&ver Impulse", {238, 93, 80, 14}),
    Row(R, 146, K::Label, "Impulse recovery &mode:", {6, 114, 150, 8}),
    Row(R, IDC_MODE_FILE_ENDS, K::RadioButton,
        "Use the start and end of the recorded file as timing spikes", {12, 126, 300, 10}),
    Row(R, 1506, K::Label,
        "The recorded file must be trimmed so that the timing spikes occur at the very start and "
        "end samples of the file.",
        {24, 137, 290, 16}),
    Row(R, IDC_MODE_AUTO, K::RadioButton, "Auto-detect timing spikes", {12, 155, 300, 10}),
    Row(R, 1507, K::Label,
        "The first timing spike must be present within first second of recorded file.",
        {24, 166, 290, 8}),
    Row(R, IDC_MODE_NONE, K::RadioButton, "Do not use timing spikes", {12, 176, 300, 10}),
    Row(R, 1508, K::Label, "The recorded test tone begins at the start of the recorded file.",
        {24, 187, 290, 8}),
    Row(R, IDC_STATUS, K::Label, "", {6, 199, 311, 8}, A::Centre),

    // ---- About box ----
    Row(kNxDialogAbout, IDC_HEADER, K::HeaderStrip, "", {0, 0, 200, 16}),
    Row(kNxDialogAbout, IDC_ABOUT_TITLE_LINE, K::Label, "", {6, 24, 188, 10}, A::Centre),
    Row(kNxDialogAbout, IDC_ABOUT_VERSION_LINE, K::Label, "", {6, 37, 188, 8}, A::Centre),
    Row(kNxDialogAbout, IDC_ABOUT_LINK, K::Label, "", {6, 47, 188, 8}, A::Centre),
    Row(kNxDialogAbout, 1, K::Button, "OK", {75, 58, 50, 14}),

    // ---- Progress window ----
    Row(kNxDialogProgress, IDC_PROGRESS_TEXT, K::Label, "", {8, 8, 184, 8}),
    Row(kNxDialogProgress, IDC_PROGRESS_BAR, K::ProgressBar, "", {8, 20, 184, 12}),
    Row(kNxDialogProgress, 2, K::Button, "Cancel", {75, 38, 50, 14}),

    // ---- Summary ----
    Row(S, IDC_HEADER, K::HeaderStrip, "", {0, 0, 323, 16}),
    NX_IMPULSE_SELECTOR(S),
    Row(S, IDC_PICTURE, K::Picture, "", {6, 36, 243, 99}),
    Captioned(S, IDC_DRY, K::Fader, "&Dry Out", {254, 36, 32, 8}, {258, 46, 24, 89}),
    Row(S, IDC_DRY_LABEL, K::Label, "-96.0 dB", {252, 137, 34, 8}, A::Centre),
    Captioned(S, IDC_WET, K::Fader, "&Wet Out", {286, 36, 32, 8}, {290, 46, 24, 89}),
    Row(S, IDC_WET_LABEL, K::Label, "-96.0 dB", {284, 137, 34, 8}, A::Centre),
    Row(S, 171, K::Label, "Attributes:", {6, 148, 44, 8}),
    Row(S, IDC_ATTRIBUTES, K::Label, "", {52, 148, 242, 8}),
    Row(S, 174, K::Label, "Author:", {6, 157, 44, 8}),
    Row(S, IDC_AUTHOR, K::Label, "", {52, 157, 242, 8}),
    Row(S, 173, K::Label, "Copyright:", {6, 166, 44, 8}),
    Row(S, IDC_COPYRIGHT, K::Label, "", {52, 166, 242, 8}),
    Row(S, 178, K::Label, "Comments:", {6, 175, 44, 8}),
    Row(S, IDC_COMMENTS, K::Label, "", {52, 175, 242, 8}),
    Captioned(S, IDC_QUALITY, K::Trackbar, "&Quality/speed (1 low/fast to 5 high/slow):",
              {6, 189, 158, 8}, {166, 186, 52, 14}),
    Row(S, IDC_QUALITY_LABEL, K::Label, "", {222, 189, 12, 8}),
    Row(S, IDC_STATUS, K::Label, "", {240, 189, 78, 8}, A::Centre),

    // ---- The file dialogs' information panel ----
    Row(F, IDC_PANEL_MRU_LABEL, K::Label, "MR&U folders:", {6, 4, 56, 8}),
    Row(F, IDC_PANEL_MRU, K::DropDownCombo, "", {64, 2, 170, 100}),
    Row(F, IDC_PANEL_HELP, K::Button, "&Help", {240, 1, 50, 14}),
    Row(F, IDC_PANEL_GROUP, K::GroupBox, "Information", {6, 20, 284, 70}),
    Row(F, 1583, K::Label, "Title:", {12, 32, 40, 8}),
    Row(F, IDC_PANEL_TITLE, K::Label, "", {54, 32, 150, 8}),
    Row(F, 1584, K::Label, "Author:", {12, 43, 40, 8}),
    Row(F, IDC_PANEL_AUTHOR, K::Label, "", {54, 43, 150, 8}),
    Row(F, 1585, K::Label, "Copyright:", {12, 54, 40, 8}),
    Row(F, IDC_PANEL_COPYRIGHT, K::Label, "", {54, 54, 150, 8}),
    Row(F, 1586, K::Label, "Comments:", {12, 65, 40, 8}),
    Row(F, IDC_PANEL_COMMENTS, K::Label, "", {54, 65, 150, 20}),
    Row(F, IDC_PANEL_PICTURE, K::Picture, "", {210, 30, 74, 54}),
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
