// Conversion between UTF-16 and the system's ANSI code page, which is Windows-1252.
//
// Only CP_ACP and 1252 are known; any other code page converts nothing and returns 0. Sizes:
// `srcBytes` / `srcUnits` -1 means the source is NUL-terminated and the terminator is
// converted and counted; 0 or below -1 is an error. A destination size of 0 returns the size
// needed without writing; a destination too small returns 0 and writes nothing. Every byte
// 0x00..0xFF has a UTF-16 unit: 0x80..0x9F follow the Windows-1252 table (0x80 is U+20AC) and
// the five bytes the table leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to U+0081 etc.
// Going back, every unit with no byte (never best-fit: U+0100 is not turned into 'A') becomes
// the default character. `flags` are accepted and ignored.
#pragma once

#include "platform/types.h"

#if defined(_WIN32)
// kernel32's conversions and the system's own ANSI code page (GetACP), which may be a
// multi-byte one: callers never assume one UTF-16 unit per byte.
#include "platform/win32_sdk.h"
#else
constexpr UINT CP_ACP = 0;
constexpr UINT kNxAnsiCodePage = 1252;

constexpr DWORD MB_PRECOMPOSED = 0x00000001;
constexpr DWORD MB_ERR_INVALID_CHARS = 0x00000008;
constexpr DWORD WC_NO_BEST_FIT_CHARS = 0x00000400;

// Returns the UTF-16 units written (or needed), 0 on error.
int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR src, int srcBytes, LPWSTR dst,
                        int dstUnits);

// Returns the bytes written (or needed), 0 on error. `defaultChar` null means '?'; otherwise its
// first byte is used. `usedDefaultChar`, when given, tells whether any unit had no byte.
int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR src, int srcUnits, LPSTR dst,
                        int dstBytes, LPCSTR defaultChar, BOOL* usedDefaultChar);
#endif  // _WIN32
