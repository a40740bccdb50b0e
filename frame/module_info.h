// What the filter and the pages know of the module they are built into: its instance handle
// (which the module's entry point sets) and the about box's texts.
#pragma once

#include <string>

#include "frame/plugin_params.h"
#include "platform/types.h"
#include "platform/window.h"

// The module instance DllMain was given at attach (null before and after).
HINSTANCE NxModuleInstance();
void NxSetModuleInstance(HINSTANCE instance);

// While a filter uses an impulse that came packaged in a preset, the impulse lives whole as this
// file in the module's working folder; the last filter released removes it.
constexpr WCHAR kPackagedImpulseName[] = NXW("~IRX.TMP");

// The packaged impulse's full path; false (and an empty `path`) when the working folder is
// unknown or the path would not fit.
bool NxGetPackagedImpulsePath(WCHAR (&path)[kMaxPathUnits]);

// The about box's texts: item 1101 (the version), item 1100 (string 211 with the product name)
// and the window title (string 218 with the product name).
struct NxAboutTexts {
  std::basic_string<WCHAR> version;
  std::basic_string<WCHAR> heading;
  std::basic_string<WCHAR> title;
};
NxAboutTexts NxGetAboutTexts();

// Dialog identifiers of the about box.
constexpr UINT IDD_ABOUT = 110;
constexpr UINT IDC_ABOUT_HEADING = 1100;
constexpr UINT IDC_ABOUT_VERSION = 1101;

// Whether command `id` ends the about box, and with which result: OK (1) gives TRUE, Cancel (2)
// FALSE; other commands are ignored.
bool NxAboutBoxEnds(WORD id, INT_PTR* result);
