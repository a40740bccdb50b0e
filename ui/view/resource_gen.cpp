// Writes the module's resource script: the string table from the built-in English texts, the
// dialog templates from the control table, and the version record. The build runs it on the
// build machine and compiles its output with the resource compiler into the DLL, so texts and
// layout each have one source.
//
// Usage: auralith_resgen OUTPUT.rc
#include <cstdio>
#include <string>

#include "toolkit/english_strings.h"
#include "ui/pages/control_table.h"

namespace {

// Window and control styles, with the platform's values (this program runs where the platform's
// headers are not).
constexpr unsigned long kChild = 0x40000000, kVisible = 0x10000000, kTabStop = 0x00010000,
                        kGroup = 0x00020000, kBorder = 0x00800000, kVScroll = 0x00200000,
                        kPopup = 0x80000000, kCaption = 0x00C00000, kSysMenu = 0x00080000,
                        kClipSiblings = 0x04000000;
constexpr unsigned long kDsSetFont = 0x40, kDsModalFrame = 0x80, kDs3dLook = 0x4,
                        kDsControl = 0x400, kDsFixedSys = 0x8;
constexpr unsigned long kSsNoPrefix = 0x80, kEsAutoHScroll = 0x80, kCbsDropDown = 0x2,
                        kCbsAutoHScroll = 0x40, kBsAutoCheckBox = 0x3, kBsAutoRadio = 0x9,
                        kBsGroupBox = 0x7, kPbsSmooth = 0x1;
constexpr unsigned long kExClientEdge = 0x200;

// A resource-script string: quotes doubled, control characters as escapes. The texts are
// ASCII; anything else stops the build rather than being written wrongly.
bool Quote(const std::u16string& text, std::string* out) {
  *out = "\"";
  for (char16_t c : text) {
    if (c == '"') {
      *out += "\"\"";
    } else if (c == '\\') {
      *out += "\\\\";
    } else if (c == '\n') {
      *out += "\\n";
    } else if (c == '\t') {
      *out += "\\t";
    } else if (c >= 0x20 && c < 0x7F) {
      *out += static_cast<char>(c);
    } else {
      return false;
    }
  }
  *out += "\"";
  return true;
}

std::u16string Wide(const char* text) {
  std::u16string out;
  for (const char* p = text; *p != 0; ++p) out += static_cast<char16_t>(*p);
  return out;
}

struct ControlClass {
  const char* name;
  unsigned long style;
  unsigned long exStyle;
};

ControlClass ClassOf(const NxControlDef& def) {
  using K = NxControlKind;
  const unsigned long align = def.align == NxAlign::Centre  ? 1
                              : def.align == NxAlign::Right ? 2
                                                            : 0;
  switch (def.kind) {
    case K::Label:
      // Texts the page fills in may hold '&' of their own.
      return {"STATIC", align | (def.text[0] == 0 ? kSsNoPrefix : 0), 0};
    case K::Edit:
      return {"EDIT", kEsAutoHScroll | kBorder | kTabStop | kGroup, kExClientEdge};
    case K::Button:
      return {"BUTTON", kTabStop | kGroup, 0};
    case K::CheckBox:
      return {"BUTTON", kBsAutoCheckBox | kTabStop | kGroup, 0};
    case K::RadioButton:
      return {"BUTTON", kBsAutoRadio, 0};
    case K::DropDownCombo:
      return {"COMBOBOX", kCbsDropDown | kCbsAutoHScroll | kVScroll | kTabStop | kGroup, 0};
    case K::Trackbar:
      return {"auralithBld0TrackbarClass", kTabStop | kGroup, 0};
    case K::Fader:
      return {"auralithBld0FaderClass", kTabStop | kGroup, 0};
    case K::Spinner:
      return {"auralithBld0SpinnerClass", kTabStop | kGroup, 0};
    case K::Picture:
      return {"auralithBld0StaticClass", 0, 0};
    case K::EnvelopeEditor:
      return {"auralithBld0EnvelopeClass", kTabStop | kGroup, 0};
    case K::HeaderStrip:
      return {"auralithBld0LogoClass", 0, 0};
    case K::ProgressBar:
      return {"msctls_progress32", kPbsSmooth | kBorder, 0};
    case K::GroupBox:
      return {"BUTTON", kBsGroupBox, 0};
  }
  return {"STATIC", 0, 0};
}

void WriteControl(FILE* out, int id, const std::string& text, const ControlClass& cls,
                  unsigned long extraStyle, const NxDluRect& r) {
  std::fprintf(out, "  CONTROL %s, %d, \"%s\", 0x%08lX, %d, %d, %d, %d, 0x%lX\n", text.c_str(), id,
               cls.name, kChild | kVisible | cls.style | extraStyle, r.x, r.y, r.cx, r.cy,
               cls.exStyle);
}

bool WriteDialog(FILE* out, const NxDialogDef& dialog) {
  const unsigned long style =
      dialog.child ? kDsSetFont | kDsFixedSys | kDsControl | kChild | kDs3dLook | kClipSiblings
                   : kDsSetFont | kDsFixedSys | kDsModalFrame | kPopup | kCaption | kSysMenu;
  std::fprintf(out, "%u DIALOGEX 0, 0, %d, %d\nSTYLE 0x%08lX\n", dialog.id, dialog.cx, dialog.cy,
               style);
  if (!dialog.child) std::fprintf(out, "CAPTION \"\"\n");
  std::fprintf(out, "FONT 8, \"MS Shell Dlg\", 400, 0, 1\n{\n");
  bool inRadioRun = false;
  for (size_t i = 0; i < kNxControlCount; ++i) {
    const NxControlDef& def = kNxControls[i];
    if (def.dialog != dialog.id) continue;
    std::string text;
    if (!Quote(Wide(def.text), &text)) return false;
    const bool captioned = def.kind == NxControlKind::Trackbar || def.kind == NxControlKind::Fader;
    if (captioned && def.text[0] != 0) {
      WriteControl(out, -1, text, ClassOf({0, 0, NxControlKind::Label, "x", {}, {}, NxAlign::Left}),
                   0, def.caption);
      text = "\"\"";
    }
    // The first radio button of a run starts the group that arrow keys move within.
    const bool radio = def.kind == NxControlKind::RadioButton;
    const unsigned long extra = radio && !inRadioRun ? kGroup | kTabStop : 0;
    if (radio) inRadioRun = true;
    if (!radio && def.kind != NxControlKind::Label) inRadioRun = false;
    WriteControl(out, def.id == IDC_UNNAMED ? -1 : static_cast<int>(def.id), text, ClassOf(def),
                 extra, def.rect);
  }
  std::fprintf(out, "}\n\n");
  return true;
}

bool WriteStrings(FILE* out) {
  std::fprintf(out, "STRINGTABLE\n{\n");
  for (size_t i = 0; i < kNxEnglishStringCount; ++i) {
    std::string text;
    if (!Quote(kNxEnglishStrings[i].text, &text)) return false;
    std::fprintf(out, "  %u, L%s\n", kNxEnglishStrings[i].id, text.c_str());
  }
  std::fprintf(out, "}\n\n");
  return true;
}

void WriteVersion(FILE* out) {
  std::fprintf(out,
               "1 VERSIONINFO\nFILEVERSION 1,1,2200,0\nPRODUCTVERSION 1,1,2200,0\n"
               "FILEFLAGSMASK 0x3F\nFILEFLAGS 0\nFILEOS 0x40004\nFILETYPE 0x2\nFILESUBTYPE 0\n{\n"
               "  BLOCK \"StringFileInfo\"\n  {\n    BLOCK \"040904B0\"\n    {\n"
               "      VALUE \"CompanyName\", \"Quorvex\"\n"
               "      VALUE \"FileDescription\", \"Quorvex Auralith\"\n"
               "      VALUE \"FileVersion\", \"1.1 (Build 2200)\"\n"
               "      VALUE \"InternalName\", \"auralith_x64.dll\"\n"
               "      VALUE \"OriginalFilename\", \"auralith_x64.dll\"\n"
               "      VALUE \"ProductName\", \"Auralith\"\n"
               "      VALUE \"ProductVersion\", \"1.1\"\n"
               "    }\n  }\n"
               "  BLOCK \"VarFileInfo\"\n  {\n    VALUE \"Translation\", 0x409, 1200\n  }\n}\n");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUTPUT.rc\n", argv[0]);
    return 2;
  }
  FILE* out = std::fopen(argv[1], "w");
  if (out == nullptr) {
    std::perror(argv[1]);
    return 1;
  }
  std::fprintf(out,
               "// Generated by auralith_resgen from the control table and the built-in "
               "texts; do not edit.\nLANGUAGE 9, 1\n\n");
  bool ok = WriteStrings(out);
  for (size_t i = 0; ok && i < kNxDialogCount; ++i) ok = WriteDialog(out, kNxDialogs[i]);
  WriteVersion(out);
  if (std::fclose(out) != 0 || !ok) {
    std::fprintf(stderr, "%s: a text holds a character the resource script cannot take\n", argv[0]);
    std::remove(argv[1]);
    return 1;
  }
  return 0;
}
