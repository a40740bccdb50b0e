// The Windows SDK headers (mingw-w64's) that take the place of this folder's stand-in
// declarations when building for Windows, included in one place with the switches that keep
// their macros out of the rest of the tree: no min/max macros, no rarely used parts of
// windows.h. Only platform/ headers include this.
#pragma once

#if defined(_WIN32)
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#endif
