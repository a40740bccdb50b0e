// Every control of the four page templates, the about box, the progress window and the file
// dialogs' information panel: its identifier, kind, English text and place, in one table that
// the pages' code, the Win32 view and its resource file share (the build generates the dialog
// templates from it, so there is one source of layout). Also the control identifiers and the
// help contexts.
//
// Places are in dialog units (a quarter of the dialog font's average character width, an eighth
// of its height), as dialog templates give them.
#pragma once

#include <cstddef>

#include "platform/types.h"

// Dialog templates.
constexpr UINT kNxDialogGeneral = 101;
constexpr UINT kNxDialogEnvelope = 102;
constexpr UINT kNxDialogRecover = 103;
constexpr UINT kNxDialogAbout = 110;
constexpr UINT kNxDialogProgress = 114;
constexpr UINT kNxDialogSummary = 115;
// The child template that the explorer-style Open dialog adds below its own controls.
constexpr UINT kNxDialogFilePanel = 1556;

enum class NxControlKind {
  Label,  // static text
  Edit,
  Button,
  CheckBox,
  RadioButton,
  DropDownCombo,   // combo box with an edit field
  Trackbar,        // "auralithBld0TrackbarClass"
  Fader,           // "auralithBld0FaderClass", vertical
  Spinner,         // "auralithBld0SpinnerClass", tied to the edit field left of it
  Picture,         // "auralithBld0StaticClass"
  EnvelopeEditor,  // "auralithBld0EnvelopeClass"
  HeaderStrip,     // "auralithBld0LogoClass"
  ProgressBar,
  GroupBox,
};

enum class NxAlign { Left, Centre, Right };

struct NxDluRect {
  short x;
  short y;
  short cx;
  short cy;
};

struct NxControlDef {
  UINT dialog;
  UINT id;
  NxControlKind kind;
  // English text of the template (UTF-8), empty when the page sets it. A trackbar's or
  // fader's text is its caption: a static text of its own at `caption`, just before it in the
  // tab order, so that the caption's mnemonic moves the focus to the control.
  const char* text;
  NxDluRect rect;
  NxDluRect caption;
  NxAlign align;  // of static texts
};

// A dialog template: its size in dialog units and whether it is a child (the pages and the
// file dialogs' panel) or a window of its own (the about box and the progress window).
struct NxDialogDef {
  UINT id;
  short cx;
  short cy;
  bool child;
};
extern const NxDialogDef kNxDialogs[];
extern const size_t kNxDialogCount;

// The table, ordered by dialog and, within one, in tab order.
extern const NxControlDef kNxControls[];
extern const size_t kNxControlCount;
const NxControlDef* NxFindControl(UINT dialog, UINT id);

// Help context of a control (the first row that lists it), 0 for none.
DWORD NxHelpContext(UINT controlId);

// Shared controls.
constexpr UINT IDC_HEADER = 99;
constexpr UINT IDC_STATUS = 141;
constexpr UINT IDC_IMPULSE_LABEL = 169;
constexpr UINT IDC_IMPULSE = 1500;
constexpr UINT IDC_IMPULSE_BROWSE = 131;
constexpr UINT IDC_DRY = 123;
constexpr UINT IDC_DRY_LABEL = 125;
constexpr UINT IDC_WET = 127;
constexpr UINT IDC_WET_LABEL = 128;
constexpr UINT IDC_QUALITY = 130;
constexpr UINT IDC_QUALITY_LABEL = 153;
// General page.
constexpr UINT IDC_WIDTH = 116;
constexpr UINT IDC_WIDTH_EDIT = 117;
constexpr UINT IDC_DELAY = 118;
constexpr UINT IDC_DELAY_EDIT = 119;
constexpr UINT IDC_APPLY_ENVELOPE = 120;
constexpr UINT IDC_DECAY = 121;
constexpr UINT IDC_DECAY_EDIT = 122;
constexpr UINT IDC_HIGH_GAIN = 124;
constexpr UINT IDC_HIGH_ON = 133;
constexpr UINT IDC_LOW_FREQ_EDIT = 135;
constexpr UINT IDC_LOW_FREQ = 136;
constexpr UINT IDC_HIGH_FREQ_EDIT = 137;
constexpr UINT IDC_HIGH_FREQ = 138;
constexpr UINT IDC_LOW_GAIN = 139;
constexpr UINT IDC_LOW_GAIN_LABEL = 147;
constexpr UINT IDC_HIGH_GAIN_LABEL = 149;
constexpr UINT IDC_LOW_ON = 184;
constexpr UINT IDC_PAN = 187;
constexpr UINT IDC_PAN_EDIT = 188;
constexpr UINT IDC_MONO_TO_STEREO = 189;
// Envelope and Summary pages.
constexpr UINT IDC_PACKAGE = 132;
constexpr UINT IDC_PICTURE = 142;
constexpr UINT IDC_LENGTH = 144;
constexpr UINT IDC_POSITION = 157;
constexpr UINT IDC_COMMENTS = 159;
constexpr UINT IDC_ATTRIBUTES = 160;
constexpr UINT IDC_COPYRIGHT = 162;
constexpr UINT IDC_AUTHOR = 163;
constexpr UINT IDC_ENVELOPE = 164;
constexpr UINT IDC_RESET = 185;
// Recover page.
constexpr UINT IDC_OUTPUT_FILE = 151;
constexpr UINT IDC_RECORDED_FILE = 156;
constexpr UINT IDC_OUTPUT_BROWSE = 179;
constexpr UINT IDC_TEST_BROWSE = 180;
constexpr UINT IDC_RECOVER = 181;
constexpr UINT IDC_RECORDED_BROWSE = 182;
constexpr UINT IDC_REMOVE_LOW = 183;
constexpr UINT IDC_TEST_FILE = 1501;
constexpr UINT IDC_MODE_NONE = 1503;
constexpr UINT IDC_MODE_AUTO = 1504;
constexpr UINT IDC_MODE_FILE_ENDS = 1505;
// About box and progress window.
constexpr UINT IDC_ABOUT_TITLE_LINE = 1100;
constexpr UINT IDC_ABOUT_VERSION_LINE = 1101;
constexpr UINT IDC_ABOUT_LINK = 8;
constexpr UINT IDC_PROGRESS_BAR = 100;
constexpr UINT IDC_PROGRESS_TEXT = 101;
// The file dialogs' information panel.
constexpr UINT IDC_PANEL_HELP = 0x040E;  // the system's help button id (pshHelp)
constexpr UINT IDC_PANEL_MRU_LABEL = 1580;
constexpr UINT IDC_PANEL_MRU = 1581;
constexpr UINT IDC_PANEL_GROUP = 1582;
constexpr UINT IDC_PANEL_TITLE = 1588;
constexpr UINT IDC_PANEL_AUTHOR = 1589;
constexpr UINT IDC_PANEL_COPYRIGHT = 1590;
constexpr UINT IDC_PANEL_COMMENTS = 1591;
constexpr UINT IDC_PANEL_PICTURE = 1592;
// A static text that nothing addresses.
constexpr UINT IDC_UNNAMED = 0xFFFF;

// Commands.
constexpr UINT kNxCommandFirstPreset = 40500;
constexpr UINT kNxCommandLastPreset = 40999;
constexpr UINT kNxCommandHelp = 41000;
constexpr UINT kNxCommandAbout = 41001;
// The filter's notifications arrive as this command, with the notification code.
constexpr UINT kNxCommandNotify = 32700;
// The status poll timer and its period.
constexpr UINT kNxStatusTimer = 1000;
constexpr UINT kNxStatusPeriodMs = 500;
