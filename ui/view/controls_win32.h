// The custom controls' windows on Windows: each window owns its model (ui/controls/), draws it
// with GDI and turns the user's mouse and keys into the events the pages handle: scroll
// messages to the parent (WM_HSCROLL for trackbars, WM_VSCROLL for faders and spinners, with the
// scroll action and the control as the platform's trackbars send them), the envelope model's
// reports, and WM_COMMAND for the header strip's items.
#pragma once

#include <vector>

#include "platform/window.h"
#include "ui/controls/envelope_editor.h"
#include "ui/controls/header_strip.h"
#include "ui/controls/range_control.h"

// The models of one control window; null for a window that is not one of ours.
struct NxControlModels {
  NxRangeState* range;
  HWND* buddy;  // the spinner's edit field
  NxEnvelopeEditor* envelope;
  NxHeaderStrip* header;
  std::vector<BYTE>* picture;  // a packed device-independent bitmap, or empty
};
bool NxGetControlModels(HWND control, NxControlModels* models);

// The header strip's drawing, shared with the about box.
constexpr COLORREF kNxHeaderBack = RGB(28, 44, 74);
