// Basic Windows data types with their real widths.
//
// The same names compile on Linux (this header) and on Windows (where the SDK provides them), so
// code outside platform/ spells types the Windows way and never includes an operating-system
// header. Widths are fixed: LONG and DWORD are 32 bits on both systems (LLP64 on Windows), and a
// UTF-16 code unit is 16 bits everywhere, so stored records have one layout.
#pragma once

#include <cstddef>
#include <cstdint>

#if defined(_WIN32)
// Windows: the SDK's own types (DWORD and LONG are the SDK's `unsigned long` and `long`, 32 bits
// under LLP64; WCHAR is wchar_t).
#include "platform/win32_sdk.h"
typedef LONGLONG REFERENCE_TIME;  // 100-nanosecond units
#define NX_WIDE_LITERAL(s) L##s
#else
typedef int32_t BOOL;
typedef uint8_t BYTE;
typedef uint16_t WORD;
typedef uint32_t DWORD;
typedef int32_t LONG;
typedef uint32_t ULONG;
typedef int32_t INT;
typedef uint32_t UINT;
typedef int64_t LONGLONG;
typedef uint64_t ULONGLONG;
typedef int64_t REFERENCE_TIME;  // 100-nanosecond units
typedef intptr_t INT_PTR;
typedef uintptr_t UINT_PTR;
typedef intptr_t LONG_PTR;
typedef uintptr_t ULONG_PTR;
typedef UINT_PTR WPARAM;
typedef LONG_PTR LPARAM;
typedef LONG_PTR LRESULT;
typedef void* LPVOID;
typedef const void* LPCVOID;

typedef char16_t WCHAR;
#define NX_WIDE_LITERAL(s) u##s
typedef WCHAR* LPWSTR;
typedef const WCHAR* LPCWSTR;
typedef char CHAR;
typedef CHAR* LPSTR;
typedef const CHAR* LPCSTR;
#endif  // _WIN32
static_assert(sizeof(WCHAR) == 2, "a UTF-16 code unit is 16 bits");
static_assert(sizeof(DWORD) == 4 && sizeof(LONG) == 4, "32-bit DWORD and LONG");

// UTF-16 string literal: NXW("text") is u"text" on Linux and L"text" on Windows.
#define NXW(s) NX_WIDE_LITERAL(s)

#if !defined(_WIN32)
#ifndef TRUE
#define TRUE 1
#define FALSE 0
#endif

// Calling convention of COM methods (the SDK's on Windows).
#define STDMETHODCALLTYPE

#define LOWORD(l) (static_cast<WORD>(static_cast<uintptr_t>(l) & 0xffff))
#define HIWORD(l) (static_cast<WORD>((static_cast<uintptr_t>(l) >> 16) & 0xffff))
#define MAKELONG(lo, hi) \
  (static_cast<LONG>(static_cast<DWORD>(static_cast<WORD>(lo)) | \
                     (static_cast<DWORD>(static_cast<WORD>(hi)) << 16)))
#define MAKEWPARAM(lo, hi) (static_cast<WPARAM>(static_cast<DWORD>(MAKELONG(lo, hi))))
#endif  // !_WIN32
