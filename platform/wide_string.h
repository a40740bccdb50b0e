// Helpers for NUL-terminated UTF-16 text (WCHAR units).
//
// Lengths and capacities count code units, capacities include the terminator. Sources may be
// fixed-size fields of records that came from a file and lack a terminator: every helper that
// copies into a buffer of capacity n reads at most n - 1 units of the source, and the bounded
// length reads at most `maxUnits`.
#pragma once

#include "platform/types.h"

// Units before the terminator.
size_t NxStrLenW(LPCWSTR text);

// Units before the terminator, but at most `maxUnits` (reads no further).
size_t NxStrLenBoundedW(LPCWSTR text, size_t maxUnits);

// Copies `src` into `dst`, truncated to capacity - 1 units, and always terminates. Nothing is
// written when `capacity` is 0. Returns the units copied, terminator excluded. A null `src`
// copies as empty text.
size_t NxStrCopyW(LPWSTR dst, size_t capacity, LPCWSTR src);

// Appends `src` to the text in `dst` within the same capacity rule; returns the new length.
size_t NxStrCatW(LPWSTR dst, size_t capacity, LPCWSTR src);

// Ordinal comparison by code unit: negative, zero or positive.
int NxStrCmpW(LPCWSTR a, LPCWSTR b);

// As NxStrCmpW with the ASCII letters A..Z folded to lower case (file extensions, class names).
int NxStrCmpIW(LPCWSTR a, LPCWSTR b);
