// User-visible texts by numeric identifier.
//
// The English texts are built in, in a table sorted by identifier. The texts are UTF-16, live as
// long as the program and may contain printf-style conversions that the caller fills in.
#pragma once

#include "platform/types.h"

// Attributes of an impulse: sample rate (already formatted), channels, whole seconds and
// hundredths.
constexpr UINT IDS_IMPULSE_ATTRIBUTES = 233;

// The text `id`, or an empty text for an identifier the table does not hold. Never null.
LPCWSTR NxGetString(UINT id);
