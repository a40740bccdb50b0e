// Number formatting of the toolkit: unsigned integers with digit grouping for display.
#pragma once

#include "platform/types.h"

// Writes `value` in decimal with a comma between groups of three digits ("44,100") into `text`
// (`capacity` units including the terminator). Returns the units written without the
// terminator; 0 and an empty text (when capacity allows) when it does not fit.
DWORD NxFormatNumber(DWORD value, WCHAR* text, DWORD capacity);
