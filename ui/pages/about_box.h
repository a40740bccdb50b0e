// The about box (dialog 110) that the page menu's "About..." opens: what it shows and how it
// ends. The Win32 view runs it modally over a window that implements NxDialog.
#pragma once

#include "ui/pages/dialog.h"

// Sets the version line (1101), the heading (1100, "%s Plug-In"), the title ("About %s") and
// hides the web link (8), and the logo (99) when `hideLogo` (the toolkit's locale query said
// so).
void NxInitAboutBox(NxDialog& about, bool hideLogo);

// Whether command `id` ends the box, and with which result: OK gives TRUE, Cancel FALSE.
bool NxAboutBoxCommand(UINT id, INT_PTR* result);
